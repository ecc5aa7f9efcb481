#include "view/QelView.h"

#include "app/FileKind.h"
#include "app/Globals.h"
#include "app/ViewCodes.h"
#include "frame/MainFrame.h"
#include "image/ViewImageState.h"
#include "image/ViewRegionState.h"
#include "media/MediaCodes.h"
#include "media/ViewMediaState.h"
#include "richtext/ViewRichTextState.h"
#include "richtext/ViewTableState.h"
#include "view/PlainTextModel.h"

namespace {

constexpr int kClosing = -1;
constexpr int kPaneAddressed = 16;  // above: (pane << 4) | action, for one pane only
constexpr int kRedisplay = 1;

}  // namespace

void NoteNotBuilt(std::string_view what) { AfxNote("not built yet: " + std::string(what)); }

CQelView::CQelView(CQelDoc& doc, int pane)
    : m_doc(doc),
      m_pModel(std::make_unique<PlainTextModel>()),
      media_(std::make_unique<ViewMediaState>()),
      table_(std::make_unique<ViewTableState>()),
      richText_(std::make_unique<ViewRichTextState>()),
      image_(std::make_unique<ViewImageState>()),
      region_(std::make_unique<ViewRegionState>()) {
  m_nPane = pane;
  m_doc.AddView(this);
}

CQelView::~CQelView() {
  ReleaseMediaWindow();
  m_doc.RemoveView(this);
  if (g_pMainFrame) g_pMainFrame->Ui().KillTimers(this);
}

void CQelView::SetTextModel(std::unique_ptr<TextModel> model) {
  if (!model) return;
  const ScrollPos scroll = m_pModel->GetScrollPos();
  model->SetText(m_pModel->GetText());
  model->SetScrollPos(scroll);
  m_pModel = std::move(model);
  SyncSelection();
}

void CQelView::OnUpdate() {
  const int request = m_doc.m_nViewRequest;
  if (request == kClosing) return;
  const bool forThisPane = request > kPaneAddressed ? (request >> 4) == m_nPane : true;
  if (forThisPane && (request & kRedisplay)) ShowDocumentText();
  if (forThisPane && m_doc.m_nViewAction != 0) {
    const int action = m_doc.m_nViewAction;
    m_doc.m_nViewAction = 0;
    PerformViewAction(action);
  }
  PerformMediaRequest();
  if (m_doc.m_nPrintMode != 0) {
    NoteNotBuilt("printing (print mode " + std::to_string(m_doc.m_nPrintMode) + ")");
    m_doc.m_nPrintMode = 0;
  }
}

void CQelView::ShowDocumentText() {
  // The player lets go of its file before another one shows.
  const bool another = m_doc.m_strPathName != m_strFileName;
  if (another && MediaPlaying()) MediaCommand(kActionClose, 0);
  m_strFileName = m_doc.m_strPathName;
  m_nFileKind = m_doc.m_nFileKind;
  m_nDisplayForm = m_doc.m_nDisplayForm;
  // A picture shown before is not painted over what shows now; an image shown now
  // is painted afresh.
  Image().m_pDisplayBitmap.reset();
  Image().m_hImageBitmap = 0;
  if (ShowRichTextFile() || ShowSheet()) return;
  if (Rich()) m_pModel = std::make_unique<PlainTextModel>();
  const char* text = m_doc.m_pText ? m_doc.m_pText : "";
  m_pModel->SetText(std::string_view(text, static_cast<size_t>(std::max(m_doc.m_nTextLen, 0))));
  m_nAnchor = 0;
  SyncSelection();
  if (IsImageKind(m_nFileKind) && m_doc.m_nDisplayForm == 0 && m_doc.LoadedImageFacts().held && m_doc.LoadedImageFacts().loadState >= 1) {
    TakeDocumentImage();
  }
  if (IsMediaKind(m_nFileKind) && m_doc.m_nDisplayForm == 0) ShowMediaFile(another);
}

// The one-shot actions the document leaves for the pane: captures, image saves,
// metafile loads and the file list's batch conversion. Saves need a shown image;
// without one the action is dropped, never kept for the next image.
void CQelView::PerformViewAction(int action) {
  const std::string code = "ViewAction " + std::to_string(action);
  const bool image = IsImageKind(m_nFileKind) && Image().m_pImageBits != nullptr;
  const bool capture = action == kCaptureDesktop || action == kCaptureNumbered || action == kCaptureClickedWindow ||
                       action == kCaptureClickedSeries;
  const bool save = !capture && ((action >= kViewActionSaveFirst && action <= kViewActionSaveShownLast) ||
                                  action > kViewActionSourceSave);
  // A picture object goes back to the painted image before its pixels are read.
  if (save && image) LeavePictureObjectMode();
  if (capture) {
    CaptureScreen(action);
  } else if (action >= kViewActionRegionSaveFirst && action <= kViewActionRegionSaveLast) {
    NoteNotBuilt(code + " (region copy and save)");
  } else if (action == kViewActionMetafile || action == kViewActionLoadMetafile) {
    if (LoadMetafileImage(m_doc.m_strPathName) == 0 && IsImageKind(m_nFileKind)) TakeDocumentImage();
  } else if (save && !image) {
    AfxNote(code + " dropped: no picture is shown");
  } else if (action >= kViewActionSaveFirst && action <= kViewActionSaveLast) {
    SaveImageAs(action, SaveImageMode::kAsk);
  } else if (action >= kViewActionSaveShownFirst && action <= kViewActionSaveShownLast) {
    SaveImageAs(1, SaveImageMode::kDocumentPath);  // 1: the format of the path's extension
  } else if (action > kViewActionConvertSave && action <= kViewActionConvertSaveLast) {
    SaveImageAs(action - kViewActionConvertSave, SaveImageMode::kConvert);
  } else if (action > kViewActionSourceSave) {
    // The refresh saves the source picture with the code action - 20.
    m_doc.m_nViewAction = action;
    RefreshImage(RefreshMode::kRender);
    m_doc.m_nViewAction = kViewActionNone;
  }
}

// The update runs for the preview only: the pane keeps what it shows (a cropped
// region to print, an edited picture) rather than showing the document again.
void CQelView::OnFilePrintPreview() {
  m_doc.m_nPrintMode = 2;
  const int request = m_doc.m_nViewRequest;
  m_doc.m_nViewRequest = 0;
  OnUpdate();
  m_doc.m_nViewRequest = request;
}

void CQelView::SetTimer(int id, uint32_t ms) {
  if (g_pMainFrame) g_pMainFrame->Ui().SetTimer(this, id, ms, [this](int timer) { OnTimer(timer); });
}

void CQelView::KillTimer(int id) {
  if (g_pMainFrame) g_pMainFrame->Ui().KillTimer(this, id);
}

// The pane's timers: its repaint timer repaints the picture once; the paste back
// returns a selection after it became a table; the media timers go to the player.
void CQelView::OnTimer(int id) {
  if (OnMediaTimer(id)) return;
  if (id == kTimerPasteBack) return OnPasteBackTimer();
  const bool repaint = id == ImageRepaintTimer(m_nPane) || (m_nPane == 0 && id == kTimerFirstPaneRepaint);
  if (!repaint) return;
  // Nothing will serve a timer whose handler is not built: it is stopped.
  KillTimer(id);
  if (IsImageKind(m_nFileKind)) {
    RepaintImage();
    return;
  }
  NoteNotBuilt("timer " + std::to_string(id) + " (image repaint)");
}
