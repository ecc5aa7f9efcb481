// The media player: one entry point turns a MediaRequest into an internal action
// by the player state, then into MCI strings addressed by the quoted media path.
// Positions and lengths are milliseconds; the arithmetic on them (seek targets from
// a fraction of the length, repeat marks) is done in 64 bits, since length x 199
// passes 32 bits at about three hours.
#include <algorithm>
#include <cstdio>
#include <sstream>

#include "app/FileKind.h"
#include "app/Globals.h"
#include "frame/MainFrame.h"
#include "media/MediaHost.h"
#include "view/QelView.h"

namespace {

constexpr int kCloseRequest = 89;
constexpr int kPositionTimer = 12;
constexpr int kSeekStep = 5000;
constexpr int kJumpStep = 60000;
constexpr int kAudioStep = 125;
constexpr uint32_t kVolumeOnFailure = 0x1FFF1FFF;

bool IsVideoKind(int kind) { return kind >= kKindVideo && kind <= kKindMp4; }
bool IsAudioKind(int kind) { return kind == kKindMidi || kind == kKindWave || kind == kKindAudio; }

std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

int ReplyInt(const std::string& reply) {
  long long v = 0;
  std::istringstream in(reply);
  in >> v;
  return static_cast<int>(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
}

// The translation of a request by the player state s: the action, or -1 for none.
int TranslateRequest(int code, int s) {
  if (code >= 51 && code <= 54) return code == 51 ? 0 : code == 52 ? 1 : code;
  if (s < 1) return code == 3 || code == 4 ? 1 : -1;
  if (s == 1 && (code == 3 || code == 4)) return code == 3 ? 2 : 0;
  if (s == 2 && (code == 3 || code == 4)) return 1;
  if (s == 2 && (code == 1 || code == 2)) return code + 10;
  if (code == 1 || code == 2 || code == 7 || code == 8) return code + 20;
  if (code == 5 || code == 6) return code + 26;
  if (code == 41 || code == 42 || code == 21 || code == 22 || code > 95) return code;
  if (code == 9) return 35;
  return -1;
}

// One volume step on both words: up adds the step (at most 0xFFFF), down takes
// step - 1 away (a word below 2 becomes 0). Signed, so a word never wraps to loud.
uint32_t StepVolume(uint32_t value, bool up, bool fine) {
  const int32_t high = static_cast<int32_t>(value >> 16);
  const int32_t step = fine ? 0x200 : high < 0x1000 ? 0x200 : high < 0x2000 ? 0x400 : high < 0x4000 ? 0x800 : high < 0x8000 ? 0x1000 : 0x2000;
  auto word = [&](int32_t w) {
    int32_t v = up ? std::min(w + step, 0xFFFF) : w - (step - 1);
    if (v < 2) v = 0;
    return static_cast<uint32_t>(v);
  };
  return word(high) << 16 | word(static_cast<int32_t>(value & 0xFFFF));
}

}  // namespace

int CQelView::MediaCommand(int code, int flag) {
  CQelDoc& doc = m_doc;
  const int s = m_nPlayerState;
  int action = code;
  if (doc.m_nMediaRequest == kCloseRequest) {
    action = 9;
    m_strFileName.clear();
  } else if (flag > 0) {
    if (code == 10) {
      m_bFitToWindow = doc.m_bMediaRepeat;
      return 0;
    }
    if (code > 90) {
      doc.m_nViewRequest = 6;
      doc.UpdateAllViews();
      action = s > 0 ? code : 1;
    } else {
      action = TranslateRequest(code, s);
      if (action < 0) return 0;
    }
  }

  const std::string name = !doc.m_strPlayFile.empty() ? doc.m_strPlayFile : m_strFileName;
  const int kind = doc.GetFileKind(name);
  const bool quiet = doc.m_nQuietState != 0;
  if (quiet && kind >= 1 && kind <= 49) return 0;
  if (action == 9) {
    if (name == m_strMciDevice) return -1;
    action = 8;
  }
  const std::string dev = Quoted(name);
  std::string command;
  plat::MCIERROR kept = 0;  // an open or window error shown at the end
  std::string reply;
  auto position = [&]() {
    SendMci(doc, "status " + dev + " position ", &reply, 50);
    return ReplyInt(reply);
  };
  // The path goes in quotes here too: a bare path with a blank names another device.
  const std::string pauseCommand = "pause " + dev;

  // Volume: read on every call for the media kinds, stepped by 41/42 (all kinds) and
  // by 31/32 (the audio kinds, whose zoom keys are the volume).
  if (IsMediaKind(kind)) {
    plat::MciHost* host = MediaHost(doc);
    const bool midi = kind == kKindMidi;
    uint32_t value = host ? (midi ? host->MidiVolume() : host->WaveVolume()) : kVolumeOnFailure;
    const bool step = action == 41 || action == 42 || ((action == 31 || action == 32) && IsAudioKind(kind));
    if (step && host) {
      value = StepVolume(value, action == 42 || action == 32, m_bCtrlDown == 1);
      midi ? host->SetMidiVolume(value) : host->SetWaveVolume(value);
    }
    m_nVolume = static_cast<int>(value >> 9 & 0x7F);
  }

  const bool playAction = action == 1 || action == 54;
  if (action == 0 || action == 8) {
    if (!m_strMciDevice.empty()) {
      SendMci(doc, "stop " + Quoted(m_strMciDevice), &reply);
      SendMci(doc, "close " + Quoted(m_strMciDevice), &reply);
    }
    KillTimer(kPositionTimer);
    m_strMciDevice = name;
    doc.m_strPlayFile.clear();
    m_nRepeatStart = m_nRepeatEnd = -1;
    m_nVideoWidth = m_nVideoHeight = -1;
    m_nPlayerState = -1;
    if (!quiet && g_pStatusBar) {
      g_pStatusBar->SetPaneText(0, doc.m_bEnglishMode ? "  [STOP]     PLAY      PAUSE" : Sjis("　【停止】　再生　　一時停止"));
    }
  } else if (playAction) {
    if (s < 1) {
      if (g_pStatusBar) {
        g_pStatusBar->SetPaneText(0, doc.m_bEnglishMode ? "   STOP     [PLAY]     PAUSE  : Wait a moment"
                                                        : Sjis("　　停止　【再生】　一時停止　：　お待ちください"));
      }
      if (kind >= kKindVideo && kind <= kKindAudio) {
        char open[64];
        std::snprintf(open, sizeof open, " parent %d style child ", 0x1000 + m_nPane);
        const plat::MCIERROR e = SendMci(doc, "open " + dev + open, &reply, 50);
        if (e != 0 && e != plat::MCIERR_DEVICE_OPEN && e != plat::MCIERR_NO_WINDOW && g_pStatusBar) {
          g_pStatusBar->SetPaneText(0, MciErrorText(e, 128));
        }
        const plat::MCIERROR where = SendMci(doc, "where " + dev + " window", &reply, 50);
        int numbers[4] = {-1, -1, -1, -1};
        std::istringstream in(reply);
        for (int i = 0; i < 4 && in >> numbers[i]; ++i) {
        }
        m_nVideoWidth = reply.empty() ? -1 : numbers[2];
        m_nVideoHeight = reply.empty() ? -1 : numbers[3];
        if (where != 0 && where != plat::MCIERR_NO_WINDOW && IsVideoKind(kind)) kept = where;
        doc.m_ptLastClick = CPoint{-1, -1};
        m_rcRegion.right = m_nVideoWidth;
        m_rcRegion.bottom = m_nVideoHeight;
      } else if (kind == kKindMidi) {
        kept = SendMci(doc, "open " + dev + " type sequencer", &reply);
      } else if (kind == kKindWave) {
        kept = SendMci(doc, "open " + dev + " type waveaudio buffer 6", &reply);
      }
      if (kept == plat::MCIERR_DEVICE_OPEN) kept = 0;
      SendMci(doc, "set " + dev + " time format milliseconds ", &reply, 20);
      SendMci(doc, "status " + dev + " length ", &reply, 50);
      m_nMediaLength = ReplyInt(reply);
    }
    if (s == 2 || action == 54) {
      const int from = kind >= kKindVideo && kind <= kKindMp4 ? position() : m_nMediaPos;
      command = "play " + dev + " from " + std::to_string(from);
    } else if (s >= 1 && kind != kKindMidi && kind != kKindWave) {
      command = "resume " + dev;
    } else {
      command = "play " + dev;
    }
    m_strMciDevice = name;
  } else if (action == 2 || action == 53) {
    if (s != 1 && action == 2) {
      command = (IsAudioKind(kind) ? "play " : "resume ") + dev;
      action = 1;
    } else {
      if (action == 53) {
        m_nPlayerState = 2;
        ShowPlayerStatus(m_nMediaPos, m_nMediaLength);
      }
      if (IsAudioKind(kind) || action == 53) {
        command = "stop " + dev;
      } else if (kind == kKindVideo) {
        SendMci(doc, pauseCommand, &reply);
        command = "step " + dev + " by 1";
      } else {
        command = pauseCommand;
      }
    }
  } else if (action == 11 || action == 12) {
    const bool forward = action == 12;
    const int p = s == 1 || IsVideoKind(kind) ? position() : m_nMediaPos;
    int target = -1;
    if (IsVideoKind(kind)) {
      SendMci(doc, "status " + dev + " nominal frame rate ", &reply, 50);
      const int rate = ReplyInt(reply);
      const int frame = rate > 500 ? 1000000 / rate : 30;
      if (forward) {
        target = std::min(p + frame, m_nMediaLength);
      } else {
        target = p - frame - (kind == kKindMp4 ? 120 : 0);
        if (target <= 0) target = -1;
      }
      if (kind == kKindMp4) {
        SendMci(doc, "play " + dev + " from " + std::to_string(std::max(target, 0)), &reply);
        command = pauseCommand;
      } else {
        command = "step " + dev + (forward ? " by 1" : " by -1");
      }
    } else if (!(p == 0 && m_nMediaPos > 250 && m_nMediaPos < m_nMediaLength)) {
      target = forward ? std::min(p + kAudioStep, m_nMediaLength) : std::max(p - kAudioStep, 0);
      if (!(forward && p >= m_nMediaLength)) SendMci(doc, "seek " + dev + " to " + std::to_string(target) + " ", &reply);
    }
    if (target > 0) m_nMediaPos = target;
  } else if (action == 21 || action == 22 || action == 27 || action == 28 || (action >= 91 && action <= 299)) {
    if (quiet) {
      const int64_t p = static_cast<int64_t>(doc.m_nPlayStep) * doc.m_nPlayIndex;
      const std::string c = doc.m_nMediaState == 1 ? "play " + dev + " from " + std::to_string(p) : pauseCommand;
      SendMci(doc, c, &reply);
      return 0;
    }
    int64_t target = m_nMediaPos;
    if (action == 21 || action == 22) {
      target += action == 21 ? -kSeekStep : kSeekStep;
      if (target < 0) target = 0;
    } else if (action == 27 || action == 28) {
      const int step = s == 1 ? kJumpStep : kSeekStep;
      target += action == 27 ? -step : step;
      if (target <= 0) target = 1;
    } else {
      const int v = std::max(action, 101);
      target = std::max<int64_t>(static_cast<int64_t>(m_nMediaLength) * (v - 100) / 180, 0);
      action = 21;
    }
    // Past the end: a second before it, and never before the start (a short medium).
    if (target > m_nMediaLength) target = std::max(m_nMediaLength - 1000, 0);
    m_nMediaPos = static_cast<int>(target);
    command = "play " + dev + " from " + std::to_string(target);
    if (s != 1) {
      SendMci(doc, command, &reply);
      if (kind == kKindVideo) {
        SendMci(doc, pauseCommand, &reply);
        command = "step " + dev + " by 1";
      } else {
        command = pauseCommand;
      }
    }
  } else if (action >= 31 && action <= 34) {
    // Volume was stepped above for the audio kinds; the video kinds zoom.
  } else if (action == 35 || (action >= 391 && action <= 599)) {
    int64_t p = m_nMediaPos;
    if (action >= 391) p = static_cast<int64_t>(m_nMediaLength) * (std::max(action, 400) - 400) / 180;
    if (m_nRepeatStart >= 0 && m_nRepeatEnd >= 0) {
      m_nRepeatStart = m_nRepeatEnd = -1;
    } else if (m_nRepeatStart >= 0) {
      m_nRepeatEnd = static_cast<int>(p);
    } else {
      m_nRepeatStart = p > 0 && p < 2000 && s == 1 ? 0 : static_cast<int>(p);
      m_nRepeatEnd = -1;
    }
    action = 35;
  }

  // Video zoom and window placement.
  if (IsVideoKind(kind) && ((action >= 31 && action <= 34) || action == 1 || action == 2)) PlaceVideoWindow(action, dev);

  // End of the call: the command, the position, the state.
  plat::MCIERROR error = 0;
  if (!command.empty()) error = SendMci(doc, command, &reply, command.rfind("play ", 0) == 0 ? 1000000 : 50);
  // The failed open explains a failed play better than the play's own error.
  if ((error != 0 || kept != 0) && g_pStatusBar) g_pStatusBar->SetPaneText(0, MciErrorText(kept != 0 ? kept : error, 128));
  if (action == 2 || action == 35 || (action == 1 && s == 1)) m_nMediaPos = position();

  const bool playFailed = (playAction || action == 1) && (error != 0 || kept != 0);
  const bool closed = action == 0 || action == 8;
  const bool firstPlay = action == 1 && s < 1 && !playFailed;
  auto restartPositionTimer = [&]() {
    KillTimer(kPositionTimer);
    SetTimer(kPositionTimer, m_nMediaLength <= 30000 ? 200 : 1000);
  };
  if (playFailed) {
    m_nPlayerState = -2;
  } else if (closed) {
    if (doc.m_nMediaRequest == kCloseRequest) {
      doc.m_nMediaRequest = 0;
      m_nPlayerState = 0;
    } else {
      m_nPlayerState = -2;
    }
  } else if (firstPlay) {
    FitMediaWindow(kind == kKindMpeg || kind == kKindMp4 ? 1 : 2, 200);
    restartPositionTimer();
    m_nPlayerState = 1;
  } else if (action == 1 || action == 54 || ((action == 21 || action == 22) && s == 1)) {
    restartPositionTimer();
    m_nPlayerState = 1;
  } else if (action == 2 || action == 11 || action == 12) {
    m_nPlayerState = 2;
  }

  if (m_nPlayerState > 0 && !quiet && IsVideoKind(kind)) {
    if (action == 31 || action == 32) {
      FitMediaWindow(2, kind == kKindMp4 ? 50 : 20);
    } else if (action == 33 || action == 34) {
      if (kind == kKindMpeg || kind == kKindMp4) FitMediaWindow(2, 200);
      if (kind == kKindVideo && action == 33 && m_nPlayerState == 2) FitMediaWindow(2, 10);
    }
  }
  if (IsAudioKind(kind)) m_nVideoHeight = 0;
  if (!closed && !firstPlay) ShowPlayerStatus(m_nMediaPos, m_nMediaLength);
  doc.m_nMediaState = m_nPlayerState;
  doc.m_strMediaFile = m_nPlayerState > 0 ? name : "";
  return 0;
}
