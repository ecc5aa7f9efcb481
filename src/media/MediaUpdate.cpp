// The media road of the pane's update: the document's MediaRequest (31 and 32 are
// the recorder's, whatever the pane shows; the others the player's, in media
// kinds), and a media file that comes to be shown.
#include "app/FileKind.h"
#include "app/FrameHost.h"
#include "media/MediaCodes.h"
#include "media/MediaHost.h"
#include "media/MediaState.h"
#include "media/ViewMediaState.h"
#include "view/QelView.h"

void CQelView::PerformMediaRequest() {
  const int request = m_doc.m_nMediaRequest;
  if (request == 0) return;
  if (request == kMediaClose) {
    MediaCommand(kActionStop, 0);  // the request stays set for the call, which resets it
    return;
  }
  if (request != kMediaRecord && request != kMediaRecordPause && !IsMediaKind(Pane().m_nShownKind)) return;
  m_doc.m_nMediaRequest = 0;
  if (request == kMediaRecord) {
    OnRecord();
  } else if (request == kMediaRecordPause) {
    RecordWave(kRecordPause);
  } else {
    MediaCommand(request, 1);
  }
}

// The pane that shows a media file writes the player's status; the player binds to
// the file, takes the document's repeat setting and, with auto-play, starts.
void CQelView::ShowMediaFile(bool another) {
  m_doc.m_nActivePane = Pane().m_nPane;
  MediaCommand(kMediaTakeRepeat, 1);
  MediaCommand(kActionOpenCheck, 0);
  // A file auto-play cannot play stops it there, and says why.
  if (another && m_doc.Media().m_bMediaAutoPlay == 1 && MediaCommand(kMediaPlayStop, 1) < 0) {
    AfxNote(Media().m_strPlayFailure + Sjis(" (自動再生はここで止まります)"));
  }
}
