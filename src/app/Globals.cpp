#include "app/Globals.h"

CQelDoc* g_pDoc = nullptr;
CMainFrame* g_pMainFrame = nullptr;
CStatusBar* g_pStatusBar = nullptr;
