// View timer 40: after a selection of rich text became a table through a reload of
// its saved copy, the table on the clipboard goes back where the selection was. The
// timer waits for the reload to be complete, and gives up after a bounded wait.
#include "app/FileKind.h"
#include "app/Globals.h"
#include "app/ViewCodes.h"
#include "frame/MainFrame.h"
#include "platform/os/Files.h"
#include "view/QelView.h"

namespace {

constexpr int kMaxPasteBackTicks = 50;  // 5 s at 100 ms

}  // namespace

void CQelView::OnPasteBackTimer() {
  const bool loaded = !m_strPasteBackFile.empty() && m_doc.m_strPathName == m_strPasteBackFile && Rich() != nullptr;
  if (!loaded && ++m_nPasteBackTicks < kMaxPasteBackTicks && !m_strPasteBackFile.empty()) return;
  KillTimer(kTimerPasteBack);
  if (g_pMainFrame) g_pMainFrame->Ui().EndWaitCursor();
  if (loaded && g_pMainFrame) {
    plat::RichEdit& rich = UseRichText();
    rich.BeginUndoGroup();
    rich.ExSetSel(m_nPasteBackStart, m_nPasteBackEnd);
    rich.ReplaceSel("", true);
    rich.Paste(g_pMainFrame->Ui().GetClipboard());
    rich.EndUndoGroup();
    rich.SetScrollPos(CPoint{0, m_nPasteBackFirstLine});
    m_nFileKind = kKindRtf;
  } else if (g_pStatusBar) {
    g_pStatusBar->SetPaneText(0, "table not pasted back: the document did not reload");
  }
  ReleaseTableLock();
  if (!m_strPasteBackFile.empty()) {
    plat::RemoveFile(m_strPasteBackFile);
    // The view and the document take back the name of the file the text came from.
    const std::string tail = "_001.rtf";
    if (!m_strPasteBackName.empty()) {
      m_strFileName = m_strPasteBackName;
    } else if (m_strPasteBackFile.size() > tail.size() && m_strPasteBackFile.ends_with(tail)) {
      m_strFileName = m_strPasteBackFile.substr(0, m_strPasteBackFile.size() - tail.size()) + ".rtf";
    }
    if (!m_strPasteBackPath.empty()) m_doc.m_strPathName = m_strPasteBackPath;
    m_strPasteBackName.clear();
    m_strPasteBackPath.clear();
    m_strPasteBackFile.clear();
  }
  int a = 0, b = 0;
  m_pModel->GetSel(a, b);
  m_nAnchor = a;
  SyncSelection();
}
