// The frame as the document sees it. The document's own code in app/ shows its
// message boxes, notes and status text through this interface, which the frame
// (frame/MainFrame.h) implements and is handed to the document it shows
// (CQelDoc::FrameHost), so app/ needs nothing of frame/ (the frame uses the document,
// never the other way). Without a frame, boxes and notes go to standard error and the
// status text is dropped.
#pragma once

#include <string_view>

#include "platform/ui/Ui.h"

class CFrameHost {
 public:
  // The window system's stand-in that boxes and notes go through.
  virtual plat::UiHost& MessageHost() = 0;
  // Sets the text (CP932) of a status bar pane.
  virtual void StatusText(int pane, std::string_view text) = 0;

 protected:
  ~CFrameHost() = default;
};

// A message box through the frame of the program's document, g_pDoc (or on standard
// error when there is no document or it has no frame); returns the answer. The text
// is CP932.
int AfxMessageBox(std::string_view text, unsigned type = plat::MB_OK);
// The same with a string-table text.
int AfxMessageBox(int stringId, unsigned type = plat::MB_OK);
// A note that needs no answer (a settings line that was refused, ...): on the
// message stream of the frame, or standard error.
void AfxNote(std::string_view text);
