// The pane's media timers and keys. Timer 10 and 11 end a window fit (11 also has
// the video window repainted), 12 polls the position (repeat, the end of the
// media, auto-play, the status line), 50 is the recording clock.
#include <cstdio>

#include "app/FileKind.h"
#include "app/Globals.h"
#include "frame/StatusBar.h"
#include "media/MediaHost.h"
#include "platform/ui/Keys.h"
#include "view/QelView.h"

namespace {

constexpr int kFitFrameTimer = 10;
constexpr int kFitWindowTimer = 11;
constexpr int kPositionTimer = 12;
constexpr int kRecordTimer = 50;
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
  const std::string name = !doc.m_strPlayFile.empty() ? doc.m_strPlayFile : m_strFileName;
  const std::string dev = "\"" + name + "\"";
  std::string reply;
  switch (id) {
    case kFitFrameTimer:
      KillTimer(id);
      m_bMediaFitPending = 0;
      return true;
    case kFitWindowTimer: {
      KillTimer(id);
      m_bMediaFitPending = 0;
      const std::string pane = "\"" + m_strFileName + "\"";
      SendMci(doc, "window " + pane + " state restore", &reply, 50);
      if (m_nPlayerState == 2 && (m_nFileKind == kKindVideo || m_nFileKind == kKindMpeg)) {
        SendMci(doc, "step " + pane + " by 1", &reply, 50);
        SendMci(doc, "step " + pane + " by -1", &reply, 50);
      } else if (m_nPlayerState == 2 && m_nFileKind == kKindMp4) {
        SendMci(doc, "status " + pane + " nominal frame rate ", &reply, 50);
        const int rate = ReplyInt(reply);
        const int frame = rate > 500 ? 1000000 / rate : 30;
        SendMci(doc, "play " + pane + " from " + std::to_string(std::max(m_nMediaPos - frame, 0)), &reply, 50);
        SendMci(doc, "pause " + pane, &reply, 50);
      }
      return true;
    }
    case kPositionTimer: {
      if (m_nPlayerState < 1 && !quiet) {
        KillTimer(id);
        return true;
      }
      if (m_nPlayerState == 2) return true;
      int length = m_nMediaLength;
      if (quiet) {
        m_nMediaPos = doc.m_nPlayIndex * doc.m_nPlayStep;
        length = doc.m_nPlayLast * doc.m_nPlayStep;
      } else {
        SendMci(doc, "status " + dev + " position ", &reply, 50);
        m_nMediaPos = ReplyInt(reply);
      }
      const int pos = m_nMediaPos;
      const int end = m_nRepeatEnd >= 0 ? m_nRepeatEnd : length - kEndSlack;
      if (m_bFitToWindow && pos > end && pos < end + kRepeatWindow) {
        SendMci(doc, "play " + dev + " from " + std::to_string(m_nRepeatStart >= 0 ? m_nRepeatStart : 0), &reply);
        return true;
      }
      if (pos > length - kEndSlack) {
        m_nMediaLength = pos;
        MediaCommand(8, 0);
        if (doc.m_bMediaAutoPlay == 1) {
          doc.m_nViewRequest = 6;
          doc.UpdateAllViews();
          if (IsMediaKind(doc.GetFileKind(m_strFileName))) {
            if (m_nFileKind == kKindMp4) {
              m_nPlayerState = 1;
            } else {
              MediaCommand(4, 1);
            }
          }
        }
        return true;
      }
      ShowPlayerStatus(pos, length);
      return true;
    }
    case kRecordTimer: {
      if (doc.m_nRecordState != 2) ++m_nRecordSeconds;
      char text[64];
      std::snprintf(text, sizeof text, " Recording     %d min %d sec", m_nRecordSeconds / 60, m_nRecordSeconds % 60);
      if (g_pStatusBar) g_pStatusBar->SetPaneText(0, text);
      return true;
    }
    default: return false;
  }
}

bool CQelView::OnMediaKey(int code, bool ctrl) {
  CQelDoc& doc = m_doc;
  switch (code) {
    case 'O': m_bFitToWindow = m_bFitToWindow == 1 ? 0 : 1; break;
    case 'H': doc.m_bMediaAutoPlay = doc.m_bMediaAutoPlay == 1 ? 0 : 1; break;
    case 'I': MediaCommand(9, 1); break;
    case 'P': MediaCommand(4, 1); break;
    case plat::VK_SPACE:
      if (doc.m_nRecordState != 0) {
        RecordWave(2);
      } else {
        MediaCommand(4, 1);
      }
      break;
    case 'B':
      if (doc.m_nRecordState != 0) {
        RecordWave(2);
      } else {
        MediaCommand(3, 1);
      }
      break;
    case 'R': OnRecord(); break;
    case plat::VK_LEFT: MediaCommand(ctrl ? 7 : 1, 1); break;
    case plat::VK_RIGHT: MediaCommand(ctrl ? 8 : 2, 1); break;
    case '1':
    case '2':
      if (!ctrl) return false;
      MediaCommand(code == '1' ? 7 : 8, 1);
      break;
    default: return false;
  }
  return true;
}
