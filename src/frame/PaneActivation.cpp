// Which pane has the focus: a file list or a text pane.
#include "app/Globals.h"
#include "app/QelDoc.h"
#include "frame/MainFrame.h"

namespace {

constexpr int kListLayouts = 19;

}  // namespace

void CMainFrame::ActivateListPane(int /*nFixed*/, int nList) {
  m_nActiveListPane = nList == 0 || nList == 1 ? nList : 0;
  m_bListPaneActive = 1;
  if (g_pDoc) g_pDoc->m_nActiveList = m_nActiveListPane + 1;
}

void CMainFrame::ActivateViewPane(int nKind, int nIndex) {
  m_nActiveViewKind = nKind >= 0 && nKind <= 2 ? nKind : 0;
  m_nActiveViewIndex = nIndex == 0 || nIndex == 1 ? nIndex : 0;
  m_bListPaneActive = 0;
  // Image edits and the player status follow the active text pane (1 or 2).
  if (g_pDoc) g_pDoc->m_nActivePane = m_nActiveViewIndex + 1;
}

void CMainFrame::ActivateNextViewPane(int nStay) {
  const int kind = nStay == 0 ? (m_nActiveViewKind + 1) % 3 : m_nActiveViewKind;
  ActivateViewPane(kind, m_nActiveViewIndex);
}

void CMainFrame::OnListDisplay() {
  if (!g_pDoc) return;
  const int layout = g_pDoc->m_nListLayout;
  g_pDoc->m_nListLayout = layout >= 0 && layout < kListLayouts - 1 ? layout + 1 : 0;
}

void CMainFrame::OnSwitchScreen() { ActivateListPane(0, m_bListPaneActive ? 1 - m_nActiveListPane : m_nActiveListPane); }

void CMainFrame::ShowTextTwoPane() {
  m_nScreenLayout = kScreenLayoutTextTwoPane;
  ActivateViewPane(0, 0);
}
