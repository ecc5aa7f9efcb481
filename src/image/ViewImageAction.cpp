// The text pane's one-shot jobs the document posts (CQelDoc::PostViewAction):
// captures, the save of the shown picture to a name asked, the save of the source
// picture beside the shown file, and metafile loads. A save needs a shown picture;
// without one the job is dropped, never kept for the next picture. When the pane
// shows the document again in the same update, it does so first and the job then
// saves the picture just taken.
#include "app/FileKind.h"
#include "app/FrameHost.h"
#include "app/ViewCodes.h"
#include "image/ImageState.h"
#include "image/ViewImageState.h"
#include "image/saving/ImageSaveFormats.h"
#include "view/QelView.h"

namespace {

bool IsSave(ViewActionKind kind) {
  switch (kind) {
    case ViewActionKind::kSaveAsked:
    case ViewActionKind::kSaveSource: return true;
    default: return false;
  }
}

}  // namespace

int CQelView::PerformImageAction(const ViewAction& action) {
  using Kind = ViewActionKind;
  const bool image = IsImageKind(Pane().m_nShownKind) && Image().m_pImageBits != nullptr;
  // A picture object goes back to the painted image before its pixels are read (or
  // a metafile replaces it).
  const bool leavesObject = IsSave(action.kind) || action.Is(Kind::kLoadMetafile);
  if (leavesObject && image) LeavePictureObjectMode();
  switch (action.kind) {
    case Kind::kCapture: return CaptureScreen(action.captureCode) < 0 ? -1 : 0;
    case Kind::kLoadMetafile:
      if (LoadMetafileImage(m_doc.m_strPathName) == 0 && IsImageKind(Pane().m_nShownKind)) TakeDocumentImage();
      return 0;
    case Kind::kNone: return 0;
    default: break;
  }
  const std::string dropped = "image save " + std::to_string(SaveCodeNumber(action.saveCode)) + " dropped: ";
  if (!image) {
    AfxNote(dropped + "no picture is shown");
    return -1;
  }
  switch (action.kind) {
    case Kind::kSaveAsked: return SaveImageAs(action.saveCode, SaveImageMode::kAsk).ok() ? 0 : -1;
    case Kind::kSaveSource: {
      BITMAPINFO source;
      if (!SourceImageInfo(source)) {
        AfxNote(dropped + "the picture could not be rendered");
        return -1;
      }
      return SaveSourceImage(action.saveCode, source) > 0 ? 0 : -1;
    }
    default: return 0;
  }
}
