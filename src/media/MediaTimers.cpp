// The pane's media timers and keys. Timer 10 and 11 end a window fit (11 also has
// the video window repainted), 12 polls the position (repeat, the end of the
// media, auto-play onward through the file list, the status line), 50 is the
// recording clock.
#include <cstdio>

#include "app/FileKind.h"
#include "app/FrameHost.h"
#include "app/Globals.h"
#include "frame/StatusBar.h"
#include "media/MediaCodes.h"
#include "media/MediaHost.h"
#include "media/MediaState.h"
#include "media/ViewMediaState.h"
#include "platform/ui/Keys.h"
#include "view/QelView.h"

namespace {

constexpr int kEndSlack = 10;        // ms before the length that count as the end
constexpr int kRepeatWindow = 5000;  // how far past the end mark a repeat still jumps back

int ReplyInt(const std::string& reply) {
  long long v = 0;
  return std::sscanf(reply.c_str(), "%lld", &v) == 1 && v >= INT32_MIN && v <= INT32_MAX ? static_cast<int>(v) : 0;
}

}  // namespace

bool CQelView::OnMediaTimer(int id) {
  CQelDoc& doc = m_doc;
  const bool quiet = doc.m_nQuietState != 0;
  const std::string name = !doc.Media().m_strPlayFile.empty() ? doc.Media().m_strPlayFile : Pane().m_strFileName;
  const std::string dev = "\"" + name + "\"";
  std::string reply;
  switch (id) {
    case kTimerFitFrame:
      KillTimer(id);
      Media().m_bMediaFitPending = 0;
      return true;
    case kTimerFitWindow: {
      KillTimer(id);
      Media().m_bMediaFitPending = 0;
      const std::string pane = "\"" + Pane().m_strFileName + "\"";
      SendMci(doc, "window " + pane + " state restore", &reply, 50);
      if (Media().m_nPlayerState == 2 && (Pane().m_nShownKind == kKindVideo || Pane().m_nShownKind == kKindMpeg)) {
        SendMci(doc, "step " + pane + " by 1", &reply, 50);
        SendMci(doc, "step " + pane + " by -1", &reply, 50);
      } else if (Media().m_nPlayerState == 2 && Pane().m_nShownKind == kKindMp4) {
        SendMci(doc, "status " + pane + " nominal frame rate ", &reply, 50);
        const int rate = ReplyInt(reply);
        const int frame = rate > 500 ? 1000000 / rate : 30;
        SendMci(doc, "play " + pane + " from " + std::to_string(std::max(Media().m_nMediaPos - frame, 0)), &reply, 50);
        SendMci(doc, "pause " + pane, &reply, 50);
      }
      return true;
    }
    case kTimerPosition: {
      if (Media().m_nPlayerState < 1 && !quiet) {
        KillTimer(id);
        return true;
      }
      if (Media().m_nPlayerState == 2) return true;
      int length = Media().m_nMediaLength;
      if (quiet) {
        Media().m_nMediaPos = doc.Media().m_nPlayIndex * doc.Media().m_nPlayStep;
        length = doc.Media().m_nPlayLast * doc.Media().m_nPlayStep;
      } else {
        SendMci(doc, "status " + dev + " position ", &reply, 50);
        Media().m_nMediaPos = ReplyInt(reply);
      }
      const int pos = Media().m_nMediaPos;
      const int end = Media().m_nRepeatEnd >= 0 ? Media().m_nRepeatEnd : length - kEndSlack;
      if (Media().m_bPlayRepeat && pos > end && pos < end + kRepeatWindow) {
        SendMci(doc, "play " + dev + " from " + std::to_string(Media().m_nRepeatStart >= 0 ? Media().m_nRepeatStart : 0), &reply);
        return true;
      }
      if (pos > length - kEndSlack) {
        Media().m_nMediaLength = pos;
        MediaCommand(kActionClose, 0);
        if (doc.Media().m_bMediaAutoPlay == 1) PlayNextListEntry();
        return true;
      }
      ShowPlayerStatus(pos, length);
      return true;
    }
    case kTimerRecord: {
      // A recording that reached the WAV limit, or whose work file could not be written
      // (its disk full), has stopped: the time stops with it.
      plat::MciHost* host = MediaHost(doc);
      const auto device = static_cast<uint32_t>(Media().m_nRecordDevice);
      const bool full = host && host->RecorderFull(device);
      const std::string failed = host ? host->RecorderWorkFailure(device) : "";
      if (doc.Media().m_nRecordState != 2 && !full && failed.empty()) ++Media().m_nRecordSeconds;
      char text[96];
      std::snprintf(text, sizeof text,
                    full             ? " Recording stopped at the WAV limit (4 GiB)     %d min %d sec"
                    : failed.empty() ? " Recording     %d min %d sec"
                                     : " Recording stopped: its work file cannot grow     %d min %d sec",
                    Media().m_nRecordSeconds / 60, Media().m_nRecordSeconds % 60);
      if (g_pStatusBar) g_pStatusBar->SetPaneText(0, text);
      if (!failed.empty()) {
        // Said once, at once; the recording is saved whole up to here when it is ended.
        KillTimer(kTimerRecord);
        AfxMessageBox(Sjis("録音を止めました。作業ファイルに書き込めません: " + failed +
                           "。ここまでの録音は欠けずに保存します。"));
      }
      return true;
    }
    default: return false;
  }
}

// Auto-play at the end of a file: the next file of the active list is shown (and,
// being a media file shown with auto-play, started), the lists take it as their
// current file; after the last file of the list the player stays stopped.
void CQelView::PlayNextListEntry() {
  CQelDoc& doc = m_doc;
  const std::string next = doc.NextListEntry();
  if (next.empty()) return;
  (doc.m_nActiveList == 2 ? doc.m_strFileName2 : doc.m_strFileName1) = next;
  doc.LoadDocument(next);
  doc.m_nViewRequest = kRefreshLists;
  doc.UpdateAllViews();
  if (IsMediaKind(doc.GetFileKind(Pane().m_strFileName)) && Media().m_nPlayerState < 1) MediaCommand(kMediaPlayStop, 1);
}

// 'F' switches the recording rate between 48,000 and 44,100 Hz and says it.
void CQelView::SwitchRecordRate() {
  m_doc.Media().m_nRecordRate = m_doc.Media().m_nRecordRate == 48 ? 44 : 48;
  if (g_pStatusBar) g_pStatusBar->SetPaneText(0, m_doc.Media().m_nRecordRate == 48 ? "Rec.frequency = 48000 Hz" : "Rec.frequency = 44100 Hz");
}

bool CQelView::OnMediaKey(int code, bool ctrl) {
  CQelDoc& doc = m_doc;
  switch (code) {
    case 'O': Media().m_bPlayRepeat = Media().m_bPlayRepeat == 1 ? 0 : 1; break;
    case 'H': doc.Media().m_bMediaAutoPlay = doc.Media().m_bMediaAutoPlay == 1 ? 0 : 1; break;
    case 'I': MediaCommand(kMediaRepeatMark, 1); break;
    case 'P':
    case plat::VK_SPACE:
      if (code == plat::VK_SPACE && doc.Media().m_nRecordState != 0) {
        RecordWave(kRecordPause);
      } else if (MediaCommand(kMediaPlayStop, 1) < 0) {
        Pane().m_strKeyFailure = Media().m_strPlayFailure;  // the play the key started failed
      }
      break;
    case 'B':
      if (doc.Media().m_nRecordState != 0) {
        RecordWave(kRecordPause);
      } else {
        MediaCommand(kMediaPause, 1);
      }
      break;
    case 'R': OnRecord(); break;
    case 'F': SwitchRecordRate(); break;
    // "VOL = < >": the volume of every media kind, down and up.
    case plat::VK_OEM_COMMA: MediaCommand(kMediaVolumeDown, 1); break;
    case plat::VK_OEM_PERIOD: MediaCommand(kMediaVolumeUp, 1); break;
    case plat::VK_LEFT: MediaCommand(ctrl ? kMediaJumpBack : kMediaRewind, 1); break;
    case plat::VK_RIGHT: MediaCommand(ctrl ? kMediaJumpForward : kMediaForward, 1); break;
    case '1':
    case '2':
      if (!ctrl) return false;
      MediaCommand(code == '1' ? kMediaJumpBack : kMediaJumpForward, 1);
      break;
    default: return false;
  }
  return true;
}
