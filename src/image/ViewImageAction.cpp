// The text pane's one-shot jobs the document posts (CQelDoc::PostViewAction):
// captures, saves of the shown or the source picture, metafile loads and the file
// list's batch conversion. A save needs a shown picture; without one the job is
// dropped, never kept for the next picture.
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
    case ViewActionKind::kSaveToDocument:
    case ViewActionKind::kSaveSource:
    case ViewActionKind::kConvertSave: return true;
    default: return false;
  }
}

}  // namespace

void CQelView::PerformImageAction(const ViewAction& action) {
  using Kind = ViewActionKind;
  const bool image = IsImageKind(Pane().m_nShownKind) && Image().m_pImageBits != nullptr;
  // A picture object goes back to the painted image before its pixels are read (or
  // a metafile replaces it).
  const bool leavesObject = IsSave(action.kind) || action.Is(Kind::kSaveRegion) || action.Is(Kind::kLoadMetafile);
  if (leavesObject && image) LeavePictureObjectMode();
  switch (action.kind) {
    case Kind::kCapture: CaptureScreen(action.captureCode); return;
    case Kind::kSaveRegion: NoteNotBuilt("region copy and save"); return;
    case Kind::kLoadMetafile:
      if (LoadMetafileImage(m_doc.m_strPathName) == 0 && IsImageKind(Pane().m_nShownKind)) TakeDocumentImage();
      return;
    case Kind::kNone:
    case Kind::kSaveKeepsLists: return;
    default: break;
  }
  if (!image) {
    AfxNote("image save " + std::to_string(SaveCodeNumber(action.saveCode)) + " dropped: no picture is shown");
    return;
  }
  switch (action.kind) {
    case Kind::kSaveAsked: SaveImageAs(action.saveCode, SaveImageMode::kAsk); break;
    case Kind::kSaveToDocument: SaveImageAs(ImageSaveCode::kBmp, SaveImageMode::kDocumentPath); break;  // the path's extension decides
    case Kind::kConvertSave: SaveImageAs(action.saveCode, SaveImageMode::kConvert); break;
    case Kind::kSaveSource:
      // The refresh takes the pending save and writes the source picture.
      m_doc.m_nViewAction = action;
      RefreshImage(RefreshMode::kRender);
      m_doc.m_nViewAction = {};
      break;
    default: break;
  }
}
