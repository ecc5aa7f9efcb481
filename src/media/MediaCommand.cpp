// The media player: one entry point turns a MediaRequest into an internal action
// by the player state, then into MCI strings addressed by the quoted media path.
// Each action has its handler below; the end of the call sends the command the
// handler left, reads the position back and sets the player state.
// Positions and lengths are milliseconds; the arithmetic on them (seek targets from
// a fraction of the length, repeat marks) is done in 64 bits, since length x 199
// passes 32 bits at about three hours.
#include <algorithm>
#include <cstdio>
#include <sstream>

#include "app/FileKind.h"
#include "app/Globals.h"
#include "frame/MainFrame.h"
#include "media/MediaCodes.h"
#include "media/MediaHost.h"
#include "media/MediaState.h"
#include "media/ViewMediaState.h"
#include "platform/mci/player/FrameTime.h"
#include "view/QelView.h"

namespace {

constexpr int kSeekStep = 5000;
constexpr int kJumpStep = 60000;
constexpr int kAudioStep = 125;
constexpr int kUnknownFrameMs = 30;       // a video frame step when the file gives no rate
constexpr int kShortMedia = 30000;        // up to this length the position is polled five times a second
constexpr uint32_t kVolumeOnFailure = 0x1FFF1FFF;
constexpr unsigned kLongReply = 1000000;  // play, stop, close and the MIDI and wave opens
constexpr unsigned kShortReply = 50;      // status, where, put, seek and the video open
constexpr unsigned kErrorTextLength = 128;

bool IsVideoKind(int kind) { return kind >= kKindVideo && kind <= kKindMp4; }
bool IsAudioKind(int kind) { return kind == kKindMidi || kind == kKindWave || kind == kKindAudio; }
bool IsSeekAction(int action) { return action >= kActionSeekFirst && action <= kActionSeekLast; }
bool IsMarkAction(int action) { return action >= kActionMarkFirst && action <= kActionMarkLast; }

std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

int ReplyInt(const std::string& reply) {
  long long v = 0;
  std::istringstream in(reply);
  in >> v;
  return static_cast<int>(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
}

// The translation of a request by the player state s: the action, or -1 for none.
int TranslateRequest(int code, int s) {
  switch (code) {
    case kMediaDirectStop: return kActionStop;
    case kMediaDirectPlay: return kActionPlay;
    case kMediaDirectHold: return kActionHold;
    case kMediaDirectPlayFrom: return kActionPlayFrom;
    default: break;
  }
  const bool playOrPause = code == kMediaPause || code == kMediaPlayStop;
  if (s < 1) return playOrPause ? kActionPlay : -1;
  if (s == 1 && playOrPause) return code == kMediaPause ? kActionPause : kActionStop;
  if (s == 2 && playOrPause) return kActionPlay;
  if (s == 2 && code == kMediaRewind) return kActionFrameBack;
  if (s == 2 && code == kMediaForward) return kActionFrameForward;
  switch (code) {
    case kMediaRewind: return kActionSeekBack;
    case kMediaForward: return kActionSeekForward;
    case kMediaJumpBack: return kActionJumpBack;
    case kMediaJumpForward: return kActionJumpForward;
    case kMediaDown: return kActionDown;
    case kMediaUp: return kActionUp;
    case kMediaVolumeDown:
    case kMediaVolumeUp:
    case kMediaSeekBack:
    case kMediaSeekForward: return code;
    case kMediaRepeatMark: return kActionRepeatMark;
    default: return code > 95 ? code : -1;
  }
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

// One call of MediaCommand after the translation: the file, its kind, the state it
// started from, and what the action's handler leaves for the end of the call.
class MediaCall {
 public:
  MediaCall(CQelView& view, int action)
      : view_(view), doc_(view.GetDocument()), s_(view.Media().m_nPlayerState), action_(action) {
    name_ = !doc_.Media().m_strPlayFile.empty() ? doc_.Media().m_strPlayFile : view.Pane().m_strFileName;
    kind_ = doc_.GetFileKind(name_);
    quiet_ = doc_.m_nQuietState != 0;
    dev_ = Quoted(name_);
    // The path goes in quotes here too: a bare path with a blank names another device.
    pause_ = "pause " + dev_;
  }

  int Run();

 private:
  int Position() {
    SendMci(doc_, "status " + dev_ + " position ", &reply_, kShortReply);
    return ReplyInt(reply_);
  }
  void Volume();
  void Close();
  void Play();
  void OpenDevice();
  void Pause();
  void FrameStep();
  bool Seek();
  void RepeatMark();
  int Finish();

  CQelView& view_;
  CQelDoc& doc_;
  const int s_;  // the player state the call started from
  int action_;
  std::string name_;
  int kind_ = kKindNone;
  bool quiet_ = false;  // a slide show drives the position
  std::string dev_;
  std::string pause_;
  std::string command_;      // sent at the end of the call
  plat::MCIERROR kept_ = 0;  // an open or window error shown at the end
  std::string reply_;
};

int MediaCall::Run() {
  if (quiet_ && kind_ >= 1 && kind_ <= 49) return 0;
  if (action_ == kActionOpenCheck) {
    if (name_ == view_.Media().m_strMciDevice) return -1;
    action_ = kActionClose;
  }
  Volume();
  if (action_ == kActionStop || action_ == kActionClose) {
    Close();
  } else if (action_ == kActionPlay || action_ == kActionPlayFrom) {
    Play();
  } else if (action_ == kActionPause || action_ == kActionHold) {
    Pause();
  } else if (action_ == kActionFrameBack || action_ == kActionFrameForward) {
    FrameStep();
  } else if (action_ == kActionSeekBack || action_ == kActionSeekForward || action_ == kActionJumpBack ||
             action_ == kActionJumpForward || IsSeekAction(action_)) {
    if (!Seek()) return 0;
  } else if (action_ == kActionRepeatMark || IsMarkAction(action_)) {
    RepeatMark();
  }
  // Actions 31 to 34 step the volume (audio kinds, above) or zoom and place the video.
  const bool window = (action_ >= kActionDown && action_ <= kActionScrollY) || action_ == kActionPlay || action_ == kActionPause;
  if (IsVideoKind(kind_) && window) view_.PlaceVideoWindow(action_, dev_);
  return Finish();
}

// The volume is read on every call for the media kinds, and stepped by 41/42 (all
// kinds) and by 31/32 (the audio kinds, whose zoom keys are the volume).
void MediaCall::Volume() {
  if (!IsMediaKind(kind_)) return;
  plat::MciHost* host = MediaHost(doc_);
  const bool midi = kind_ == kKindMidi;
  uint32_t value = host ? (midi ? host->MidiVolume() : host->WaveVolume()) : kVolumeOnFailure;
  const bool down = action_ == kActionVolumeDown || (action_ == kActionDown && IsAudioKind(kind_));
  const bool up = action_ == kActionVolumeUp || (action_ == kActionUp && IsAudioKind(kind_));
  if ((down || up) && host) {
    value = StepVolume(value, up, doc_.m_bCtrlDown == 1);
    midi ? host->SetMidiVolume(value) : host->SetWaveVolume(value);
  }
  view_.Media().m_nVolume = static_cast<int>(value >> 9 & 0x7F);
}

void MediaCall::Close() {
  if (!view_.Media().m_strMciDevice.empty()) {
    SendMci(doc_, "stop " + Quoted(view_.Media().m_strMciDevice), &reply_);
    SendMci(doc_, "close " + Quoted(view_.Media().m_strMciDevice), &reply_);
  }
  // A closed video window shows the pane under it again.
  if (view_.Media().m_nVideoWidth > 0 && view_.Media().m_nVideoHeight > 0) view_.RepaintMediaPane();
  view_.KillTimer(kTimerPosition);
  view_.Media().m_strMciDevice = name_;
  doc_.Media().m_strPlayFile.clear();
  view_.Media().m_nRepeatStart = view_.Media().m_nRepeatEnd = -1;
  view_.Media().m_nVideoWidth = view_.Media().m_nVideoHeight = -1;
  view_.Media().m_nPlayerState = -1;
  if (!quiet_ && g_pStatusBar) {
    g_pStatusBar->SetPaneText(0, doc_.m_bEnglishMode ? "  [STOP]     PLAY      PAUSE" : Sjis("　【停止】　再生　　一時停止"));
  }
}

// A closed player opens the file first: a video as a child window of the pane
// (whose size the "where" reply gives), MIDI as a sequencer, a wave as wave audio.
void MediaCall::OpenDevice() {
  if (g_pStatusBar) {
    g_pStatusBar->SetPaneText(0, doc_.m_bEnglishMode ? "   STOP     [PLAY]     PAUSE  : Wait a moment"
                                                     : Sjis("　　停止　【再生】　一時停止　：　お待ちください"));
  }
  if (kind_ >= kKindVideo && kind_ <= kKindAudio) {
    if (IsVideoKind(kind_)) view_.AttachMediaWindow();
    char open[64];
    std::snprintf(open, sizeof open, " parent %d style child ", static_cast<int>(view_.MediaWindowHandle()));
    const plat::MCIERROR e = SendMci(doc_, "open " + dev_ + open, &reply_, kShortReply);
    if (e != 0 && e != plat::MCIERR_DEVICE_OPEN && e != plat::MCIERR_NO_WINDOW) {
      if (g_pStatusBar) g_pStatusBar->SetPaneText(0, MciErrorText(e, kErrorTextLength));
      kept_ = e;
    }
    const plat::MCIERROR where = SendMci(doc_, "where " + dev_ + " window", &reply_, kShortReply);
    int numbers[4] = {-1, -1, -1, -1};
    std::istringstream in(reply_);
    for (int i = 0; i < 4 && in >> numbers[i]; ++i) {
    }
    view_.Media().m_nVideoWidth = reply_.empty() ? -1 : numbers[2];
    view_.Media().m_nVideoHeight = reply_.empty() ? -1 : numbers[3];
    if (kept_ == 0 && where != 0 && where != plat::MCIERR_NO_WINDOW && IsVideoKind(kind_)) kept_ = where;
    doc_.SetImageClick(CPoint{-1, -1});
    view_.SetRegionCorner(view_.Media().m_nVideoWidth, view_.Media().m_nVideoHeight);
  } else if (kind_ == kKindMidi) {
    kept_ = SendMci(doc_, "open " + dev_ + " type sequencer", &reply_);
  } else if (kind_ == kKindWave) {
    kept_ = SendMci(doc_, "open " + dev_ + " type waveaudio buffer 6", &reply_);
  } else {
    kept_ = plat::MCIERR_INVALID_FILE;  // no media kind: nothing the device plays
  }
  if (kept_ == plat::MCIERR_DEVICE_OPEN) kept_ = 0;
  SendMci(doc_, "set " + dev_ + " time format milliseconds ", &reply_, 20);
  SendMci(doc_, "status " + dev_ + " length ", &reply_, kShortReply);
  view_.Media().m_nMediaLength = ReplyInt(reply_);
}

void MediaCall::Play() {
  if (s_ < 1) OpenDevice();
  if (s_ == 2 || action_ == kActionPlayFrom) {
    const int from = IsVideoKind(kind_) ? Position() : view_.Media().m_nMediaPos;
    command_ = "play " + dev_ + " from " + std::to_string(from);
  } else if (s_ >= 1 && kind_ != kKindMidi && kind_ != kKindWave) {
    command_ = "resume " + dev_;
  } else {
    command_ = "play " + dev_;
  }
  view_.Media().m_strMciDevice = name_;
}

void MediaCall::Pause() {
  if (s_ != 1 && action_ == kActionPause) {
    command_ = (IsAudioKind(kind_) ? "play " : "resume ") + dev_;
    action_ = kActionPlay;
    return;
  }
  if (action_ == kActionHold) {
    view_.Media().m_nPlayerState = 2;
    view_.ShowPlayerStatus(view_.Media().m_nMediaPos, view_.Media().m_nMediaLength);
  }
  if (IsAudioKind(kind_) || action_ == kActionHold) {
    command_ = "stop " + dev_;
  } else if (kind_ == kKindVideo) {
    SendMci(doc_, pause_, &reply_);
    command_ = "step " + dev_ + " by 1";
  } else {
    command_ = pause_;
  }
}

void MediaCall::FrameStep() {
  const bool forward = action_ == kActionFrameForward;
  const int p = s_ == 1 || IsVideoKind(kind_) ? Position() : view_.Media().m_nMediaPos;
  const int length = view_.Media().m_nMediaLength;
  int target = -1;
  if (IsVideoKind(kind_)) {
    SendMci(doc_, "status " + dev_ + " nominal frame rate ", &reply_, kShortReply);
    // The next (previous) frame by its index; a file without a rate steps 30 ms.
    const int rate = ReplyInt(reply_);
    const int64_t step = forward ? 1 : -1;
    const int64_t to = rate > 500 ? plat::StepFrames(p, step, rate) : p + step * kUnknownFrameMs;
    if (forward) {
      target = static_cast<int>(std::min<int64_t>(to, length));
    } else {
      target = to <= 0 ? -1 : static_cast<int>(to);
    }
    if (kind_ == kKindMp4) {
      SendMci(doc_, "play " + dev_ + " from " + std::to_string(std::max(target, 0)), &reply_);
      command_ = pause_;
    } else {
      command_ = "step " + dev_ + (forward ? " by 1" : " by -1");
    }
  } else if (!(p == 0 && view_.Media().m_nMediaPos > 250 && view_.Media().m_nMediaPos < length)) {
    target = forward ? std::min(p + kAudioStep, length) : std::max(p - kAudioStep, 0);
    if (!(forward && p >= length)) SendMci(doc_, "seek " + dev_ + " to " + std::to_string(target) + " ", &reply_);
  }
  if (target > 0) view_.Media().m_nMediaPos = target;
}

// False when the call ends here (a slide show sets the position itself).
bool MediaCall::Seek() {
  if (quiet_) {
    const int64_t p = static_cast<int64_t>(doc_.Media().m_nPlayStep) * doc_.Media().m_nPlayIndex;
    SendMci(doc_, doc_.Media().m_nMediaState == 1 ? "play " + dev_ + " from " + std::to_string(p) : pause_, &reply_);
    return false;
  }
  const int length = view_.Media().m_nMediaLength;
  int64_t target = view_.Media().m_nMediaPos;
  if (action_ == kActionSeekBack || action_ == kActionSeekForward) {
    target += action_ == kActionSeekBack ? -kSeekStep : kSeekStep;
    if (target < 0) target = 0;
  } else if (action_ == kActionJumpBack || action_ == kActionJumpForward) {
    const int step = s_ == 1 ? kJumpStep : kSeekStep;
    target += action_ == kActionJumpBack ? -step : step;
    if (target <= 0) target = 1;
  } else {
    const int v = std::max(action_, kMediaSeekBase + 1);
    target = std::max<int64_t>(static_cast<int64_t>(length) * (v - kMediaSeekBase) / kMediaFractionSteps, 0);
    action_ = kActionSeekBack;
  }
  // Past the end: a second before it, and never before the start (a short medium).
  if (target > length) target = std::max(length - 1000, 0);
  view_.Media().m_nMediaPos = static_cast<int>(target);
  command_ = "play " + dev_ + " from " + std::to_string(target);
  if (s_ != 1) {
    SendMci(doc_, command_, &reply_);
    if (kind_ == kKindVideo) {
      SendMci(doc_, pause_, &reply_);
      command_ = "step " + dev_ + " by 1";
    } else {
      command_ = pause_;
    }
  }
  return true;
}

void MediaCall::RepeatMark() {
  int64_t p = view_.Media().m_nMediaPos;
  if (IsMarkAction(action_)) {
    p = static_cast<int64_t>(view_.Media().m_nMediaLength) * (std::max(action_, kMediaMarkBase) - kMediaMarkBase) / kMediaFractionSteps;
  }
  if (view_.Media().m_nRepeatStart >= 0 && view_.Media().m_nRepeatEnd >= 0) {
    view_.Media().m_nRepeatStart = view_.Media().m_nRepeatEnd = -1;
  } else if (view_.Media().m_nRepeatStart >= 0) {
    view_.Media().m_nRepeatEnd = static_cast<int>(p);
  } else {
    view_.Media().m_nRepeatStart = p > 0 && p < 2000 && s_ == 1 ? 0 : static_cast<int>(p);
    view_.Media().m_nRepeatEnd = -1;
  }
  action_ = kActionRepeatMark;
}

// The end of the call: the command, the position, the state, the window fits and
// the status line; -1 when a play failed (its reason kept for the caller to show).
int MediaCall::Finish() {
  plat::MCIERROR error = 0;
  if (!command_.empty()) error = SendMci(doc_, command_, &reply_, command_.rfind("play ", 0) == 0 ? kLongReply : kShortReply);
  // The failed open explains a failed play better than the play's own error.
  if ((error != 0 || kept_ != 0) && g_pStatusBar) g_pStatusBar->SetPaneText(0, MciErrorText(kept_ != 0 ? kept_ : error, kErrorTextLength));
  if (action_ == kActionPause || action_ == kActionRepeatMark || (action_ == kActionPlay && s_ == 1)) view_.Media().m_nMediaPos = Position();

  const bool playAction = action_ == kActionPlay || action_ == kActionPlayFrom;
  const bool playFailed = playAction && (error != 0 || kept_ != 0);
  const bool closed = action_ == kActionStop || action_ == kActionClose;
  const bool firstPlay = action_ == kActionPlay && s_ < 1 && !playFailed;
  auto restartPositionTimer = [&]() {
    view_.KillTimer(kTimerPosition);
    view_.SetTimer(kTimerPosition, view_.Media().m_nMediaLength <= kShortMedia ? 200 : 1000);
  };
  view_.Media().m_strPlayFailure.clear();
  if (playFailed) {
    view_.Media().m_nPlayerState = -2;
    const std::string why = MciErrorText(kept_ != 0 ? kept_ : error, kErrorTextLength);
    view_.Media().m_strPlayFailure = name_.empty() ? why : UserFileName(name_) + ": " + why;
  } else if (closed) {
    if (doc_.m_nMediaRequest == kMediaClose) {
      doc_.m_nMediaRequest = 0;
      view_.Media().m_nPlayerState = 0;
    } else {
      view_.Media().m_nPlayerState = -2;
    }
  } else if (firstPlay) {
    view_.FitMediaWindow(kind_ == kKindMpeg || kind_ == kKindMp4 ? 1 : 2, 200);
    restartPositionTimer();
    view_.Media().m_nPlayerState = 1;
  } else if (playAction || ((action_ == kActionSeekBack || action_ == kActionSeekForward) && s_ == 1)) {
    restartPositionTimer();
    view_.Media().m_nPlayerState = 1;
  } else if (action_ == kActionPause || action_ == kActionFrameBack || action_ == kActionFrameForward) {
    view_.Media().m_nPlayerState = 2;
  }

  if (view_.Media().m_nPlayerState > 0 && !quiet_ && IsVideoKind(kind_)) {
    if (action_ == kActionDown || action_ == kActionUp) {
      view_.FitMediaWindow(2, kind_ == kKindMp4 ? 50 : 20);
    } else if (action_ == kActionScrollX || action_ == kActionScrollY) {
      if (kind_ == kKindMpeg || kind_ == kKindMp4) view_.FitMediaWindow(2, 200);
      if (kind_ == kKindVideo && action_ == kActionScrollX && view_.Media().m_nPlayerState == 2) view_.FitMediaWindow(2, 10);
    }
  }
  if (IsAudioKind(kind_)) view_.Media().m_nVideoHeight = 0;
  if (!closed && !firstPlay) view_.ShowPlayerStatus(view_.Media().m_nMediaPos, view_.Media().m_nMediaLength);
  doc_.Media().m_nMediaState = view_.Media().m_nPlayerState;
  doc_.Media().m_strMediaFile = view_.Media().m_nPlayerState > 0 ? name_ : "";
  return playFailed ? -1 : 0;
}

}  // namespace

int CQelView::MediaCommand(int code, int flag) {
  CQelDoc& doc = m_doc;
  int action = code;
  if (doc.m_nMediaRequest == kMediaClose) {
    action = kActionOpenCheck;
    Pane().m_strFileName.clear();
  } else if (flag > 0) {
    if (code == kMediaTakeRepeat) {
      Media().m_bPlayRepeat = doc.Media().m_bMediaRepeat;
      return 0;
    }
    if (code > kMediaSeekRequest) {
      doc.m_nViewRequest = kRefreshLists;
      doc.UpdateAllViews();
      action = Media().m_nPlayerState > 0 ? code : kActionPlay;
    } else {
      action = TranslateRequest(code, Media().m_nPlayerState);
      if (action < 0) return 0;
    }
  }
  return MediaCall(*this, action).Run();
}
