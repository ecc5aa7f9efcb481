#include "image/ImageStatus.h"

#include "app/Globals.h"
#include "app/StringTable.h"
#include "frame/MainFrame.h"
#include "frame/StatusBar.h"

void ShowImageFormat(const std::string& text) {
  if (!g_pStatusBar) return;
  const int pane = g_pStatusBar->CommandToIndex(ID_INDICATOR_FORMAT);
  if (pane >= 0) g_pStatusBar->SetPaneText(pane, text);
}

void ShowImageOutOfMemory(const char* place) { AfxMessageBox(LoadString(IDS_OUT_OF_MEMORY) + place); }
