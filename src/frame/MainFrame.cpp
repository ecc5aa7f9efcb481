#include "frame/MainFrame.h"

#include "app/Globals.h"
#include "app/QelDoc.h"
#include "app/StringTable.h"

CMainFrame::CMainFrame() {
  g_pMainFrame = this;
  g_pStatusBar = &m_wndStatusBar;
}

CMainFrame::~CMainFrame() {
  if (g_pMainFrame == this) g_pMainFrame = nullptr;
  if (g_pStatusBar == &m_wndStatusBar) g_pStatusBar = nullptr;
}

int CMainFrame::CheckUserAbort() {
  if (m_ui.PopKeyDown() != plat::VK_ESCAPE) return 0;
  if (m_ui.MessageBox(LoadString(IDS_ABORT_QUESTION), plat::MB_YESNO) != plat::IDYES) return 0;
  if (g_pDoc) g_pDoc->m_bUserAbort = 1;
  return 1;
}

int AfxMessageBox(std::string_view text, unsigned type) {
  if (g_pMainFrame) return g_pMainFrame->Ui().MessageBox(text, type);
  plat::UiHost fallback;
  return fallback.MessageBox(text, type);
}

int AfxMessageBox(int stringId, unsigned type) { return AfxMessageBox(LoadString(stringId), type); }

void AfxNote(std::string_view text) {
  if (g_pMainFrame) {
    g_pMainFrame->Ui().Note(text);
  } else {
    plat::UiHost fallback;
    fallback.Note(text);
  }
}
