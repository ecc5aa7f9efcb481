#include "app/FrameHost.h"

#include "app/StringTable.h"

namespace {

// The registered frame: the one CMainFrame that g_pMainFrame points at, seen
// through the interface the document declares.
CFrameHost*& Registered() {
  static CFrameHost* host = nullptr;
  return host;
}

}  // namespace

void RegisterFrameHost(CFrameHost* host) { Registered() = host; }

void WithdrawFrameHost(CFrameHost* host) {
  if (Registered() == host) Registered() = nullptr;
}

CFrameHost* FrameHost() { return Registered(); }

int AfxMessageBox(std::string_view text, unsigned type) {
  if (CFrameHost* host = FrameHost()) return host->MessageHost().MessageBox(text, type);
  plat::UiHost fallback;
  return fallback.MessageBox(text, type);
}

int AfxMessageBox(int stringId, unsigned type) { return AfxMessageBox(LoadString(stringId), type); }

void AfxNote(std::string_view text) {
  if (CFrameHost* host = FrameHost()) {
    host->MessageHost().Note(text);
  } else {
    plat::UiHost fallback;
    fallback.Note(text);
  }
}
