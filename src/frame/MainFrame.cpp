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
