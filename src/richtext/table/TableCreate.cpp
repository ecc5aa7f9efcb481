// Tables made from text: a new table at the caret, the selection (or the caret line)
// made a table, and the selected lines made a table. In rich text the selection is
// converted on a trimmed copy of the control; the whole text is kept in a work file
// with a unique name in TMP, reloaded, and the table pasted back where the selection
// was (view timer 40), so the rest of the document keeps its formatting and the step
// can be undone.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/FileKind.h"
#include "app/Globals.h"
#include "app/ViewCodes.h"
#include "frame/MainFrame.h"
#include "platform/os/Files.h"
#include "richtext/table/TableEngine.h"
#include "richtext/ViewTableState.h"
#include "view/QelView.h"

namespace {

constexpr char kCellMark = '\x06';
constexpr char kPictureMark = '\x7F';  // a picture's place in the cell text: DEL, never text of RTF
constexpr int kPasteBackMs = 100;
constexpr int kMaxWorkNames = 999;

constexpr char kNewTable[] =
    "Title\r\n  A1\t  A2\t  A3\t  A4\t  A5\t  A6\r\n\t\t\t\t\t\r\n\t\t\t\t\t\r\n\t\t\t\t\t\r\n\t\t\t\t\t\r\n..\t..\t..\t\t\t\r\n";

// The empty 6 x 6 grid: leaders on the first row, five cell marks a row.
std::string EmptyGrid() {
  std::string grid;
  for (int row = 0; row < 6; ++row) {
    grid += row == 0 ? ".." : "  ";
    grid.append(5, kCellMark);
    grid += " \r\n";
  }
  return grid;
}

}  // namespace


// The new table goes in as paragraphs of its own: at the caret's line when the caret
// stands at its start, else after that line, so no line is split.
int CQelView::BuildRtfTable(int mode) {
  if (mode != 1) return 0;
  ConvertToTable(kNewTable);
  return 0;
}

int CQelView::OnTableConvertLines(int mode) {
  int a = 0, b = 0;
  m_pModel->GetSel(a, b);
  // Every line the selection touches (one ending at a line's start leaves that line
  // out); without a selection the caret's line.
  const int start = std::min(a, b), end = std::max(a, b);
  const int first = m_pModel->LineFromChar(start);
  int last = m_pModel->LineFromChar(end);
  if (end > start && last > first && m_pModel->LineIndex(last) == end) --last;
  if (mode == 0) {
    if (ConvertToCsv(1, first, last) < 0) return -1;
    return TableCommand(TableKey::kLinesToTable, {.firstLine = first, .lastLine = last + 1});
  }
  if (mode == 1) {
    Table().m_cellStore = EmptyGrid();
    Table().m_pTextBuf = Table().m_cellStore.data();
    Table().m_nCellTextLen = static_cast<int>(Table().m_cellStore.size());
    Table().m_nRows = Table().m_nColumns = 6;
    Table().m_nRowLimit = std::max(m_doc.m_nTableRows, 17);
    return TableCommand(TableKey::kNewGrid);
  }
  return mode;
}

// A work name for the whole text: "<name>_NNN.rtf" in the program's TMP folder, one
// that no file has yet, so no user file is ever overwritten or deleted.
std::string CQelView::PasteBackWorkName() const {
  const std::string tmp = m_doc.TmpFolder();
  const std::string base = CQelDoc::GetPathPart(Pane().m_strFileName.empty() ? std::string("table") : Pane().m_strFileName, PathPart::kStem);
  for (int n = 1; n <= kMaxWorkNames; ++n) {
    char tail[16];
    std::snprintf(tail, sizeof tail, "_%03d.rtf", n);
    std::string name = tmp + "\\" + base + tail;
    if (!plat::Exists(name)) return name;
  }
  return {};
}

namespace {

// What the cell text cannot carry, in text order: a picture (its RTF), or a
// character CP932 cannot write (its stand-in and its Unicode value).
struct Carried {
  std::string picture;
  std::string standIn;
  char32_t code = 0;
};

// The pictures and the characters CP932 cannot write of the control, in order; with
// mark, each such character is replaced by the mark in the control, so that its place
// comes through the cell text.
std::vector<Carried> TakeCarried(plat::RichEdit& rich, bool mark) {
  std::vector<Carried> carried;
  for (int cp = 0; cp < rich.GetTextLength(); ++cp) {
    if (const std::string* object = rich.ObjectAt(cp)) {
      carried.push_back({*object, {}, 0});
    } else if (rich.IsWideAt(cp)) {
      carried.push_back({{}, rich.GetTextRange(cp, cp + 1), rich.UnicodeAt(cp)});
      if (!mark) continue;
      rich.ExSetSel(cp, cp + 1);
      rich.ReplaceSel(std::string(1, kPictureMark), false);
    }
  }
  return carried;
}

// Each mark of the rendered sheet becomes what it stands for, in order: its picture,
// or its character (in the mark's format). Pictures left over go in a paragraph of
// their own after the table.
void PutCarriedBack(plat::RichEdit& rich, const std::vector<Carried>& carried, bool marked) {
  if (carried.empty()) return;
  size_t next = 0;
  for (int cp = 0; marked && cp < rich.GetTextLength() && next < carried.size(); ++cp) {
    if (rich.GetTextRange(cp, cp + 1) != std::string(1, kPictureMark)) continue;
    const Carried& c = carried[next++];
    rich.ExSetSel(cp, cp + 1);
    if (c.picture.empty()) {
      rich.ReplaceSelWide(c.standIn, c.code, false);
    } else {
      rich.StreamInRtf("{\\rtf1 " + c.picture + "}", true);
    }
  }
  std::string rest;
  for (; next < carried.size(); ++next) rest += carried[next].picture;
  if (rest.empty()) return;
  rich.ExSetSel(rich.GetTextLength(), rich.GetTextLength());
  rich.StreamInRtf("{\\rtf1 \\pard " + rest + "\\par}", true);
}

}  // namespace

// The plain road: lines first..last become cell text, rendered as a sheet in the
// control. The sheet is made from the cells' text, so the pictures of the lines
// (objects, one character each) and the characters CP932 cannot write (a '?' or
// other stand-in in the text) are carried through it by a mark in their cells and
// put back in place of the marks; a picture whose mark did not come through, or every
// picture when the text itself holds the mark character, follows the table. Below 0
// when the cell text could not be made.
int CQelView::ConvertSelectionToSheet(int first, int last, int h) {
  plat::RichEdit& rich = UseRichText();
  const bool marked = rich.Text().find(kPictureMark) == std::string::npos;
  const std::vector<Carried> carried = TakeCarried(rich, marked);
  if (ConvertToCsv(1, first, last) < 0) return -1;
  if (marked) {
    std::replace(Table().m_cellStore.begin(), Table().m_cellStore.end(), plat::kObjectChar, kPictureMark);
    Table().m_pTextBuf = Table().m_cellStore.data();
  }
  int marks = 0;
  for (int i = 0; i < std::min(Table().m_nCellTextLen, 2000); ++i) {
    const char c = Table().m_pTextBuf[i];
    if (c == '\r' || c == '\n' || c == '\0') break;
    if (c == kCellMark) ++marks;
  }
  Table().m_nFirstDataLine = marks > 0 ? first + 1 : first + 2;
  Table().m_nFirstDataOffset = 1;
  const int step = Table().m_nFontSizeStepFixed;
  Pane().m_nShownKind = kKindCsv;
  Table().m_nTextMode = 3;
  Table().m_nFontSizeStepFixed = h / 15 - 3;
  m_doc.m_bTableMode = 0;
  Table().m_bSheetVerticalRules = 1;
  m_doc.m_nDisplayState = 99;
  Table().m_nPageStart = 0;
  if (TableCommand(TableKey::kWholeSheet, {.number = SheetSizeNumber()}) == 0) {
    StreamRtfText(std::string_view(m_doc.m_pText, static_cast<size_t>(std::max(m_doc.m_nTextLen, 0))), false);
  }
  PutCarriedBack(rich, carried, marked);
  rich.SetModify(false);
  m_doc.m_nDisplayState = 0;
  Table().m_nFontSizeStepFixed = step;
  return 0;
}

void CQelView::OnTableConvertSelection() { ConvertToTable({}); }

void CQelView::ConvertToTable(std::string_view newTable) {
  if (!Table().m_strPasteBackFile.empty()) {
    // The last conversion's table is not in place yet: its state would be lost.
    if (g_pStatusBar) g_pStatusBar->SetPaneText(0, "conversion refused: the last table is not pasted back yet");
    return;
  }
  plat::RichEdit& rich = UseRichText();
  const int firstVisible = rich.GetScrollPos().y;
  const int h = rich.GetCharFormat(true).yHeight / 2;
  int start = 0, end = 0;
  rich.ExGetSel(start, end);
  bool breakBefore = false;  // a new table after the text's last line needs a line end
  plat::ParaFormat2 lastPara;  // and that line keeps its own format
  if (!newTable.empty()) {
    const int line = rich.ExLineFromChar(end);
    lastPara = rich.ParaOfLine(line);
    start = rich.LineIndex(line);
    if (end != start) {
      start = line + 1 < rich.GetLineCount() ? rich.LineIndex(line + 1) : rich.GetTextLength();
      breakBefore = line + 1 >= rich.GetLineCount();
    }
    end = start;
  } else if (end <= start) {
    // No selection: the caret line, and only it.
    const int line = rich.ExLineFromChar(end);
    start = rich.LineIndex(line);
    end = start + rich.LineLength(start);
  }
  int first = rich.ExLineFromChar(start);
  int last = rich.ExLineFromChar(std::max(end - 1, start));
  const bool richText = Pane().m_nShownKind == kKindRtf;
  const std::string originalName = Pane().m_strFileName;
  const std::string originalPath = m_doc.m_strPathName;
  std::string work;
  bool keepMark = false;
  if (richText) {
    if (g_pMainFrame) g_pMainFrame->Ui().LockWindowUpdate(Pane().m_nPane);
    ++m_doc.m_nLockUpdateDepth;
    work = PasteBackWorkName();
    if (work.empty() || SaveToTempAndSettings(work, 3, 0) < 0) {
      // Nothing is converted when the whole text could not be kept.
      ReleaseTableLock();
      return;
    }
    // The control keeps the selection alone (or the new table's text alone): the table
    // replaces exactly the selection, so the text of its first and last lines outside
    // it stays once, after the table. A selection that ends at its last line's end
    // keeps that line's paragraph mark, which carries the line's tab stops.
    keepMark = newTable.empty() && end < rich.GetTextLength() && rich.GetTextRange(end, end + 1) == "\r";
    rich.BeginUndoGroup();
    if (newTable.empty()) {
      rich.ExSetSel(end + (keepMark ? 1 : 0), rich.GetTextLength());
      rich.ReplaceSel("", true);
      rich.ExSetSel(0, start);
      rich.ReplaceSel("", true);
    } else {
      rich.ExSetSel(0, -1);
      rich.ReplaceSel(newTable, true);
    }
    rich.EndUndoGroup();
    last = newTable.empty() ? last - first : rich.ExLineFromChar(std::max(rich.GetTextLength() - 1, 0));
    first = 0;
  } else if (!newTable.empty()) {
    return;  // a new table is made in rich text only
  }
  if (m_doc.m_bCtrlDown == 1) {
    TableCommand(TableKey::kTabsToTable, {.number = h, .firstLine = first, .lastLine = last + 1});
    rich.SetModify(false);
    m_doc.m_bCtrlDown = 0;
  } else if (ConvertSelectionToSheet(first, last, h) < 0) {
    if (richText) ReleaseTableLock();
    return;
  }
  if (richText) {
    // The piece goes back from the view's own copy; the clipboard gets it as well.
    if (breakBefore) {
      rich.ExSetSel(0, 0);
      rich.ReplaceSel("\r", true);
      rich.ExSetSel(0, 0);
      rich.SetParaFormat(lastPara);
    }
    rich.ExSetSel(0, -1);
    Table().m_strPasteBackPiece = rich.StreamOutRtf(true);
    if (g_pMainFrame) {
      plat::Clipboard& clip = g_pMainFrame->Ui().GetClipboard();
      clip.Empty();
      rich.Copy(clip);
      g_pMainFrame->Ui().BeginWaitCursor();
    }
    Table().m_strPasteBackText.clear();
    Table().m_nPasteBackStartByte = Table().m_nPasteBackEndByte = -1;
    Table().m_strPasteBackFile = work;
    Table().m_strPasteBackName = originalName;
    Table().m_strPasteBackPath = originalPath;
    Table().m_nPasteBackStart = start;
    Table().m_nPasteBackEnd = end + (keepMark ? 1 : 0);
    Table().m_nPasteBackFirstLine = firstVisible;
    Table().m_nPasteBackTicks = 0;
    m_doc.LoadDocument(work);
    NotePasteBackText();
    SetTimer(kTimerPasteBack, kPasteBackMs);
    return;
  }
  Pane().m_nShownKind = kKindRtf;
  rich.SetScrollPos(CPoint{0, firstVisible});
  int a = 0, b = 0;
  m_pModel->GetSel(a, b);
  m_nAnchor = a;
  SyncSelection();
}
