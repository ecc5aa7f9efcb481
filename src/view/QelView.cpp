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

void NoteNotBuilt(std::string_view what) { AfxNote("not built yet: " + std::string(what)); }

CQelView::CQelView(CQelDoc& doc, int pane)
    : m_doc(doc),
      m_pModel(std::make_unique<PlainTextModel>()),
      media_(std::make_unique<ViewMediaState>()),
      table_(std::make_unique<ViewTableState>()),
      richText_(std::make_unique<ViewRichTextState>()),
      image_(std::make_unique<ViewImageState>()),
      region_(std::make_unique<ViewRegionState>()) {
  Pane().m_nPane = pane;
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
  const ViewRequests request = m_doc.m_nViewRequest;
  if (request.Has(ViewRequest::kClosing)) return;
  const bool forThisPane = request.ForPane(Pane().m_nPane);
  if (forThisPane && request.Has(ViewRequest::kRedisplay)) ShowDocumentText();
  if (forThisPane && request.Has(ViewRequest::kTakeName)) Pane().m_strFileName = m_doc.m_strPathName;
  if (forThisPane && !m_doc.m_nViewAction.Is(ViewActionKind::kNone)) {
    const ViewAction action = m_doc.m_nViewAction;
    m_doc.m_nViewAction = {};
    m_doc.m_nViewActionResult = PerformImageAction(action);
  }
  PerformMediaRequest();
}

void CQelView::ShowDocumentText() {
  // The player lets go of its file before another one shows.
  const bool another = m_doc.m_strPathName != Pane().m_strFileName;
  if (another && MediaPlaying()) MediaCommand(kActionClose, 0);
  Pane().m_strFileName = m_doc.m_strPathName;
  Pane().m_nShownKind = m_doc.m_nFileKind;
  Pane().m_nShownForm = m_doc.m_nDisplayForm;
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
  if (IsImageKind(Pane().m_nShownKind) && m_doc.m_nDisplayForm == 0 && m_doc.LoadedImageFacts().held && m_doc.LoadedImageFacts().loadState >= 1) {
    TakeDocumentImage();
  }
  if (IsMediaKind(Pane().m_nShownKind) && m_doc.m_nDisplayForm == 0) ShowMediaFile(another);
}

// The update runs for the preview only: the pane keeps what it shows (a cropped
// region to print, an edited picture) rather than showing the document again.
void CQelView::OnFilePrintPreview() {
  const ViewRequests request = m_doc.m_nViewRequest;
  m_doc.m_nViewRequest = {};
  OnUpdate();
  m_doc.m_nViewRequest = request;
  NoteNotBuilt("printing (print mode 2)");
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
  const bool repaint = id == ImageRepaintTimer(Pane().m_nPane) || (Pane().m_nPane == 0 && id == kTimerFirstPaneRepaint);
  if (!repaint) return;
  // Nothing will serve a timer whose handler is not built: it is stopped.
  KillTimer(id);
  if (IsImageKind(Pane().m_nShownKind)) {
    RepaintImage();
    return;
  }
  NoteNotBuilt("timer " + std::to_string(id) + " (image repaint)");
}
