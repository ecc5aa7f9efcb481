// The media road of the pane's update: the document's MediaRequest (31 and 32 are
// the recorder's, whatever the pane shows; the others the player's, in media
// kinds), and a media file that comes to be shown.
#include "app/FileKind.h"
#include "view/QelView.h"

namespace {

constexpr int kRecordRequest = 31;
constexpr int kRecordPauseRequest = 32;
constexpr int kCloseRequest = 89;

}  // namespace

void CQelView::PerformMediaRequest() {
  const int request = m_doc.m_nMediaRequest;
  if (request == 0) return;
  if (request == kCloseRequest) {
    MediaCommand(0, 0);  // the request stays set for the call, which resets it
    return;
  }
  if (request != kRecordRequest && request != kRecordPauseRequest && !IsMediaKind(m_nFileKind)) return;
  m_doc.m_nMediaRequest = 0;
  if (request == kRecordRequest) {
    OnRecord();
  } else if (request == kRecordPauseRequest) {
    RecordWave(2);
  } else {
    MediaCommand(request, 1);
  }
}

// The pane that shows a media file writes the player's status; the player binds to
// the file, takes the document's repeat setting and, with auto-play, starts.
void CQelView::ShowMediaFile(bool another) {
  m_doc.m_nActivePane = m_nPane;
  MediaCommand(10, 1);
  MediaCommand(9, 0);
  if (another && m_doc.m_bMediaAutoPlay == 1) MediaCommand(4, 1);
}
