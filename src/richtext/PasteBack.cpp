// View timer 40: after a selection of rich text became a table through a reload of
// its saved copy, the table on the clipboard goes back where the selection was.
#include "app/FileKind.h"
#include "app/Globals.h"
#include "frame/MainFrame.h"
#include "platform/Files.h"
#include "view/QelView.h"

void CQelView::OnPasteBackTimer() {
  KillTimer(40);
  if (g_pMainFrame) {
    plat::RichEdit& rich = UseRichText();
    rich.BeginUndoGroup();
    rich.ExSetSel(m_nPasteBackStart, m_nPasteBackEnd);
    rich.ReplaceSel("", true);
    rich.Paste(g_pMainFrame->Ui().GetClipboard());
    rich.EndUndoGroup();
    rich.SetScrollPos(CPoint{0, m_nPasteBackFirstLine});
    g_pMainFrame->Ui().EndWaitCursor();
  }
  m_nFileKind = kKindRtf;
  ReleaseTableLock();
  if (!m_strPasteBackFile.empty()) {
    plat::RemoveFile(m_strPasteBackFile);
    // The view's name is the ".rtf" the copy was made from.
    const std::string tail = "_001.rtf";
    if (m_strPasteBackFile.size() > tail.size() && m_strPasteBackFile.ends_with(tail)) {
      m_strFileName = m_strPasteBackFile.substr(0, m_strPasteBackFile.size() - tail.size()) + ".rtf";
    }
    m_strPasteBackFile.clear();
  }
  int a = 0, b = 0;
  m_pModel->GetSel(a, b);
  m_nAnchor = a;
  SyncSelection();
}
