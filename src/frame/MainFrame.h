// The main frame: owner of the status bar and of the window system's stand-in
// (message boxes, keys, cursor, clock). Long operations poll it for Esc.
#pragma once

#include <string>
#include <string_view>

#include "app/FrameHost.h"
#include "frame/StatusBar.h"
#include "platform/mci/Mci.h"
#include "platform/ui/Ui.h"

// Arrangements of the view splitters (CMainFrame::m_nScreenLayout) that the program names.
enum ScreenLayout : int { kScreenLayoutTextTwoPane = 2, kScreenLayoutHomePageClosed = 11 };

class CMainFrame final : public CFrameHost {
 public:
  CMainFrame();
  ~CMainFrame();
  CMainFrame(const CMainFrame&) = delete;
  CMainFrame& operator=(const CMainFrame&) = delete;

  // Takes one pending key-down; on Esc asks whether to stop, and on Yes sets the
  // document's abort flag and returns 1. Any other key is consumed; returns 0.
  int CheckUserAbort();

  // The main window's title (CP932).
  void SetWindowText(std::string_view title) { m_strTitle = std::string(title); }
  const std::string& GetWindowText() const { return m_strTitle; }

  // Pane activation. ActivateListPane makes file list nList (0 or 1; another value
  // is taken as 0) the active pane and the document's active list; ActivateViewPane
  // makes the text pane active (nKind 0 to 2, nIndex 0 or 1; out of range taken as 0).
  void ActivateListPane(int nFixed, int nList);
  void ActivateViewPane(int nKind, int nIndex);
  // With nStay 0 steps the active text pane to the next view splitter (0 to 2).
  void ActivateNextViewPane(int nStay);
  // Advances the list layout (ListLayout 0 to 18) of the document.
  void OnListDisplay();
  // Moves the focus to the other pane of the list splitter.
  void OnSwitchScreen();
  // The screen layout of two text panes, the first of them active (the browser
  // pane's "ﾃｷｽﾄ2画面" asks for it).
  void ShowTextTwoPane();
  bool IsListPaneActive() const { return m_bListPaneActive != 0; }
  int ActiveListPane() const { return m_nActiveListPane; }

  plat::UiHost& Ui() { return m_ui; }
  // The media devices, on the clock of Ui().
  plat::MciHost& Mci() { return m_mci; }
  CStatusBar& StatusBar() { return m_wndStatusBar; }

  // The document's view of the frame (app/FrameHost.h).
  plat::UiHost& MessageHost() override { return m_ui; }
  void StatusText(int pane, std::string_view text) override { m_wndStatusBar.SetPaneText(pane, text); }

  int m_bDrawToolbar = 0;     // the drawing toolbar is shown
  int m_nMenuSignature = 0;   // 0 makes the next menu rebuild complete
  int m_nCompactMenu = 0;     // compact-menu state; above 0 the browser view ignores updates
  int m_nScreenLayout = 0;    // arrangement of the view splitters, 0 to 20 (ScreenLayout)
  int m_nActiveListPane = 0;  // 0 or 1: the list of the list splitter last activated
  int m_bListPaneActive = 0;  // a list pane, not a text pane, has the focus
  int m_nActiveViewKind = 0;  // the view splitter and pane of the active text pane
  int m_nActiveViewIndex = 0;

 private:
  plat::UiHost m_ui;
  plat::MciHost m_mci{m_ui};
  std::string m_strTitle = "Pelnorix";
  CStatusBar m_wndStatusBar;
};
