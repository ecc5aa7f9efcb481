// The main frame: owner of the status bar and of the window system's stand-in
// (message boxes, keys, cursor, clock). Long operations poll it for Esc.
#pragma once

#include <string>
#include <string_view>

#include "frame/StatusBar.h"
#include "platform/Ui.h"

class CMainFrame {
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

  plat::UiHost& Ui() { return m_ui; }
  CStatusBar& StatusBar() { return m_wndStatusBar; }

  int m_bDrawToolbar = 0;     // the drawing toolbar is shown
  int m_nMenuSignature = 0;   // 0 makes the next menu rebuild complete
  int m_nCompactMenu = 0;     // compact-menu state; above 0 the browser view ignores updates
  int m_nScreenLayout = 0;    // arrangement of the view splitters, 0 to 20

 private:
  plat::UiHost m_ui;
  std::string m_strTitle = "Pelnorix";
  CStatusBar m_wndStatusBar;
};

// A message box through the frame (or on standard error when there is no frame);
// returns the answer. The text is CP932.
int AfxMessageBox(std::string_view text, unsigned type = plat::MB_OK);
// The same with a string-table text.
int AfxMessageBox(int stringId, unsigned type = plat::MB_OK);
// A note that needs no answer (a settings line that was refused, ...): on the
// message stream of the frame, or standard error.
void AfxNote(std::string_view text);
