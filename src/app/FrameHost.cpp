#include "app/FrameHost.h"

#include "app/Globals.h"
#include "app/QelDoc.h"
#include "app/StringTable.h"

namespace {

// The frame the program's document is shown in, if any.
CFrameHost* DocumentFrame() { return g_pDoc ? g_pDoc->FrameHost() : nullptr; }

}  // namespace

int AfxMessageBox(std::string_view text, unsigned type) {
  if (CFrameHost* host = DocumentFrame()) return host->MessageHost().MessageBox(text, type);
  plat::UiHost fallback;
  return fallback.MessageBox(text, type);
}

int AfxMessageBox(int stringId, unsigned type) { return AfxMessageBox(LoadString(stringId), type); }

void AfxNote(std::string_view text) {
  if (CFrameHost* host = DocumentFrame()) {
    host->MessageHost().Note(text);
  } else {
    plat::UiHost fallback;
    fallback.Note(text);
  }
}
