// The three program-wide pointers: the one document, the frame and its status bar.
// Each is set by its object's constructor and cleared by its destructor.
#pragma once

class CQelDoc;
class CMainFrame;
class CStatusBar;

extern CQelDoc* g_pDoc;
extern CMainFrame* g_pMainFrame;
extern CStatusBar* g_pStatusBar;
