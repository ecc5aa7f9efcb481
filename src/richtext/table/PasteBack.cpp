// View timer 40: after a selection of rich text became a table through a reload of
// its saved copy, the table goes back where the selection was. The piece is the one
// the conversion made, held by the view (the clipboard may hold anything by then).
// The timer waits for the reload to be complete, and gives up after a bounded wait.
// Until then the control holds the selection's characters: an edit that would change
// them is refused, saying why (the table made from them would replace it unseen);
// edits elsewhere are kept and move the held place. Where a whole new text took the
// hold away, the place is found again from the text around it.
#include <algorithm>

#include "app/FileKind.h"
#include "app/Globals.h"
#include "app/StringTable.h"
#include "app/ViewCodes.h"
#include "frame/MainFrame.h"
#include "platform/os/Files.h"
#include "richtext/ViewTableState.h"
#include "view/QelView.h"

namespace {

constexpr int kMaxPasteBackTicks = 50;  // 5 s at 100 ms

struct ByteRange {
  size_t start = 0;
  size_t end = 0;
  bool found = false;
};

// Where bytes [start, end) of `was` stand in `now`, one edit later, when no hold
// kept the place: the text before and after them unchanged (an edit inside them is
// replaced by the table too), or the text from start on unchanged (an edit before
// them), or the text up to end unchanged (an edit after them).
ByteRange FindAgain(const std::string& was, const std::string& now, size_t start, size_t end) {
  if (now == was) return {start, end, true};
  const size_t shorter = std::min(was.size(), now.size());
  size_t prefix = 0;
  while (prefix < shorter && was[prefix] == now[prefix]) ++prefix;
  size_t suffix = 0;
  while (suffix < shorter - prefix && was[was.size() - 1 - suffix] == now[now.size() - 1 - suffix]) ++suffix;
  const size_t after = was.size() - end;
  if (prefix >= start && suffix >= after && now.size() - after >= start) return {start, now.size() - after, true};
  if (suffix >= was.size() - start) {
    const size_t at = now.size() - (was.size() - start);
    return {at, at + (end - start), true};
  }
  if (prefix >= end) return {start, end, true};
  return {};
}

}  // namespace

// The reloaded text is complete: note it and the selection's bytes in it.
bool CQelView::NotePasteBackText() {
  if (Table().m_nPasteBackStartByte >= 0) return true;
  plat::RichEdit* rich = Rich();
  if (Table().m_strPasteBackFile.empty() || m_doc.m_strPathName != Table().m_strPasteBackFile || rich == nullptr) return false;
  Table().m_strPasteBackText = rich->Text();
  Table().m_nPasteBackStartByte = rich->ByteFromChar(std::min(Table().m_nPasteBackStart, rich->GetTextLength()));
  Table().m_nPasteBackEndByte = rich->ByteFromChar(std::min(Table().m_nPasteBackEnd, rich->GetTextLength()));
  rich->HoldRange(Table().m_nPasteBackStart, Table().m_nPasteBackEnd, [] {
    if (g_pStatusBar) g_pStatusBar->SetPaneText(0, "edit refused: these lines are becoming a table; edit them once it is in place");
  });
  return true;
}

void CQelView::OnPasteBackTimer() {
  // The reloaded text must still be the one shown.
  const bool loaded = NotePasteBackText() && m_doc.m_strPathName == Table().m_strPasteBackFile && Rich() != nullptr;
  if (!loaded && ++Table().m_nPasteBackTicks < kMaxPasteBackTicks && !Table().m_strPasteBackFile.empty()) return;
  KillTimer(kTimerPasteBack);
  if (g_pMainFrame) g_pMainFrame->Ui().EndWaitCursor();
  if (loaded) {
    plat::RichEdit& rich = UseRichText();
    int heldMin = 0, heldMax = 0;
    ByteRange place;
    if (rich.GetHeldRange(heldMin, heldMax)) {
      place = {static_cast<size_t>(rich.ByteFromChar(heldMin)), static_cast<size_t>(rich.ByteFromChar(heldMax)), true};
    } else {
      place = FindAgain(Table().m_strPasteBackText, rich.Text(), static_cast<size_t>(Table().m_nPasteBackStartByte),
                        static_cast<size_t>(Table().m_nPasteBackEndByte));
    }
    rich.ReleaseHold();
    rich.BeginUndoGroup();
    if (place.found) {
      rich.ExSetSel(rich.CharFromByte(static_cast<int>(place.start)), rich.CharFromByte(static_cast<int>(place.end)));
      rich.ReplaceSel("", true);
    } else {
      // The text around the selection changed on both sides: nothing is taken away,
      // the table goes in before the selection's old place and the status says so.
      const int at = rich.CharFromByte(std::min(Table().m_nPasteBackStartByte, static_cast<int>(rich.Text().size())));
      rich.ExSetSel(at, at);
      if (g_pStatusBar) g_pStatusBar->SetPaneText(0, "table pasted back before the selection: the text changed around it");
    }
    if (!rich.StreamInRtf(Table().m_strPasteBackPiece, true)) AfxMessageBox(OutOfMemoryText(" 302"));
    rich.EndUndoGroup();
    rich.SetScrollPos(CPoint{0, Table().m_nPasteBackFirstLine});
    Pane().m_nShownKind = kKindRtf;
  } else {
    if (Rich() != nullptr) Rich()->ReleaseHold();
    if (g_pStatusBar) g_pStatusBar->SetPaneText(0, "table not pasted back: the document did not reload");
  }
  ReleaseTableLock();
  Table().m_strPasteBackPiece.clear();
  Table().m_strPasteBackText.clear();
  Table().m_nPasteBackStartByte = Table().m_nPasteBackEndByte = -1;
  if (!Table().m_strPasteBackFile.empty()) {
    plat::RemoveFile(Table().m_strPasteBackFile);
    // The view and the document take back the name of the file the text came from.
    const std::string tail = "_001.rtf";
    if (!Table().m_strPasteBackName.empty()) {
      Pane().m_strFileName = Table().m_strPasteBackName;
    } else if (Table().m_strPasteBackFile.size() > tail.size() && Table().m_strPasteBackFile.ends_with(tail)) {
      Pane().m_strFileName = Table().m_strPasteBackFile.substr(0, Table().m_strPasteBackFile.size() - tail.size()) + ".rtf";
    }
    if (!Table().m_strPasteBackPath.empty()) m_doc.m_strPathName = Table().m_strPasteBackPath;
    Table().m_strPasteBackName.clear();
    Table().m_strPasteBackPath.clear();
    Table().m_strPasteBackFile.clear();
  }
  int a = 0, b = 0;
  m_pModel->GetSel(a, b);
  m_nAnchor = a;
  SyncSelection();
}
