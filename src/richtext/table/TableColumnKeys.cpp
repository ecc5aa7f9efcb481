// The edit road's column keys: boundaries (VK_LEFT, VK_RIGHT), columns inserted,
// removed, split and joined ('E', 'R', 'I', 'U'), vertical rules and rule segments
// ('3' to '6'), and the 1-point leader walks ('7', '8'). The tab-stop columns are
// re-rendered by BuildSheetRtf; columns in the leader area by TableSelectCell.
#include <algorithm>
#include <cstdio>
#include <string>

#include "app/Globals.h"
#include "frame/MainFrame.h"
#include "platform/ui/Keys.h"
#include "richtext/table/BlockRules.h"
#include "richtext/table/TableEngine.h"
#include "richtext/ViewTableState.h"
#include "view/QelView.h"

namespace {

constexpr int kSlotSearch = 90;
constexpr int kMaxAmount = 3168;  // tens of twips: a boundary moves at most across the control

std::string CharText(const plat::RichEdit& rich, int cp) { return rich.GetTextRange(cp, cp + 1); }

bool IsClear(const plat::CharFormat2& cf) { return (cf.dwEffects & plat::CFE_AUTOBACKCOLOR) != 0; }

void Replace(plat::RichEdit& rich, int cp, const char* text) {
  rich.ExSetSel(cp, cp + 1);
  rich.ReplaceSel(text, true);
}

constexpr int kTwipsPerPixel = 15;
constexpr int kStepLimit = 4900;
constexpr int kOvershoot = 20;  // pixels

int Pixels(int twips) { return twips / kTwipsPerPixel; }

// From `at`, the caret steps right (at most 4,900 characters, not past its line's
// end) until its x reaches `x` pixels from the line's start; one past it by more
// than 20 pixels steps back.
int StepToX(const plat::RichEdit& rich, int at, int x) {
  const int line = rich.ExLineFromChar(at);
  const int start = rich.LineIndex(line);
  const int x0 = rich.XInLineTwips(start);
  auto xOf = [&](int cp) { return Pixels(rich.XInLineTwips(cp) - x0); };
  // x rises with the position: the first one that reaches x, halved for.
  int lo = at, hi = std::min(table::LineEnd(rich, line), at + kStepLimit);
  if (lo > hi) return at;
  while (lo < hi) {
    const int mid = lo + (hi - lo) / 2;
    if (xOf(mid) >= x) hi = mid; else lo = mid + 1;
  }
  return lo > start && xOf(lo) > x + kOvershoot ? lo - 1 : lo;
}

void Status(const char* text) {
  if (g_pStatusBar) g_pStatusBar->SetPaneText(0, text);
}

}  // namespace

// A drag names its lines (lastLine non-zero); otherwise a selection reaching over two
// rows or more is the block of rows. One row, or none named, gives 0 and 0: the rows
// from the caret's on. A selection ending at a line start leaves that line out.
void CQelView::TableColumnRows(int& firstLine, int& lastLine) {
  plat::RichEdit& rich = UseRichText();
  const int lines = rich.GetLineCount();
  if (lastLine > 0) {
    firstLine = std::clamp(firstLine, 0, std::max(lines - 1, 0));
    lastLine = std::clamp(lastLine, firstLine + 1, std::max(lines, firstLine + 1));
    return;
  }
  int selA = 0, selB = 0;
  rich.ExGetSel(selA, selB);
  const int a = std::min(selA, selB), b = std::max(selA, selB);
  firstLine = lastLine = 0;
  if (a == b) return;
  const int first = rich.ExLineFromChar(a);
  int last = rich.ExLineFromChar(b);
  if (b == rich.LineIndex(last)) --last;
  if (last > first) {
    firstLine = first;
    lastLine = last + 1;
  }
}

void CQelView::TableColumnKey(TableKey code, int number, int cellOnly, int firstLine, int lastLine) {
  plat::RichEdit& rich = UseRichText();
  TableColumnRows(firstLine, lastLine);
  const bool rows = lastLine > 0;
  int selA = 0, selB = 0;
  rich.ExGetSel(selA, selB);
  const int caretLine = rich.ExLineFromChar(selB);
  const int lineStart = rich.LineIndex(caretLine);
  Table().m_rcBlock.top = caretLine;
  Table().m_rcBlock.left = selB - lineStart;
  const int caretX = Pixels(rich.XInLineTwips(selB) - rich.XInLineTwips(lineStart));
  // The column: the columns that end before the caret, or before the start of a
  // selection over rows (its end may stand at a line start).
  const int c = table::LeaderColumnAt(rich, rows ? std::min(selA, selB) : selB) - 1;
  // The rows' first line stands for them all: a range that starts at the table's
  // head line still begins there. 'E', 'R', 'I', 'U' with 0 take one row past the
  // end given, so the end is named one row earlier.
  const bool oneMore = IsColumnKey(code) && number == 0;
  const int endLine = rows && oneMore ? lastLine - 1 : lastLine;
  // The cell commands and the Shift forms of the column commands, without a block,
  // change the caret's row only ("1行のみ"), not every row down to the table's end.
  const bool oneRow = !rows && cellOnly != 0 && code != TableKey::kColumnLeft && code != TableKey::kColumnRight;

  // Over a rule line the row's rules belong to it: the reference goes up with them.
  int position = rows ? rich.LineIndex(firstLine) : selB;
  if (!rows && c > 0 && c < 31 && table::IsRuleLine(rich, caretLine - 1)) {
    const int up = table::IsRuleLine(rich, caretLine - 2) ? 2 : 1;
    const int line = caretLine - up;
    position = std::min(rich.LineIndex(line) + (selB - lineStart), table::LineEnd(rich, line));
    if (code == TableKey::kInsertColumn) position = std::min(position + 2, table::LineEnd(rich, line));
    if (code == TableKey::kDeleteColumn) position = std::max(position - 2, rich.LineIndex(line));
  }
  plat::UiHost* ui = g_pMainFrame ? &g_pMainFrame->Ui() : nullptr;
  if (ui) ui->BeginWaitCursor();
  if (code == TableKey::kColumnLeft || code == TableKey::kColumnRight) {
    const int a = number >= 2 ? std::min(number, kMaxAmount) : (c < 32 ? 2 : 9);
    char text[64];
    std::snprintf(text, sizeof text, "column %d  moved %c%d", c, code == TableKey::kColumnRight ? '+' : '-', 2 * a / 3);
    Status(text);
    if (c < 32) {
      BuildSheetRtf(code, position, firstLine, c + 1, endLine, a, selA, 1);
    } else {
      rich.ExSetSel(selB, selB);
      TableSelectCell(code, a, 0, cellOnly);
    }
  } else {
    Status("");  // a refusal of an earlier edit does not stand for this one
    if (c < (code == TableKey::kJoin ? 32 : 31) && oneRow) {
      BuildSheetRtf(code, selB, caretLine, c + 1, caretLine + 1, number, selA, 1, true);
    } else if (c < (code == TableKey::kJoin ? 32 : 31)) {
      BuildSheetRtf(code, position, firstLine, c + 1, endLine, number, selA, 1);
    } else {
      rich.ExSetSel(selB, selB);
      TableSelectCell(code, 0, c, cellOnly);
    }
    // The caret goes back to where the command began; after a removal or a join the
    // cells there may be of other widths, so it steps right to its former x.
    const int line = std::min(Table().m_rcBlock.top, rich.GetLineCount() - 1);
    int at = std::min(rich.LineIndex(line) + Table().m_rcBlock.left, table::LineEnd(rich, line));
    if (code == TableKey::kDeleteColumn || code == TableKey::kJoin) at = StepToX(rich, at, caretX);
    rich.ExSetSel(at, at);
  }
  if (ui) ui->EndWaitCursor();
}

// '3' and '4' set a vertical rule on the slot of a cell, '5' and '6' clear and set
// the caret cell's segment in the rule lines above: the slot is found by stepping
// from the caret to the first 1-point character. With a block of rows, '3' and '4'
// work each text line of the block at the block's left or right column instead.
void CQelView::TableVerticalRuleKey(TableKey code, int number, int cellOnly, int firstLine, int lastLine) {
  plat::RichEdit& rich = UseRichText();
  TableColumnRows(firstLine, lastLine);
  const bool rows = lastLine > 0;
  int selA = 0, selB = 0;
  rich.ExGetSel(selA, selB);
  const int caretLine = rich.ExLineFromChar(selB);
  if (rows && (code == TableKey::kLeftRule || code == TableKey::kRightRule)) {
    // The block's corners: the left column at the selection's start, the right one
    // at its end, each as a distance from its line's start.
    const int a = std::min(selA, selB), b = std::max(selA, selB);
    const int left = rich.XInLineTwips(a) - rich.XInLineTwips(rich.LineIndex(rich.ExLineFromChar(a)));
    const int right = rich.XInLineTwips(b) - rich.XInLineTwips(rich.LineIndex(rich.ExLineFromChar(b)));
    const table::BlockLines block = table::WidenBlockByRules(rich, firstLine, lastLine);
    Table().m_rcBlock.top = block.first;
    Table().m_rcBlock.bottom = block.last - 1;
    Table().m_rcBlock.left = left;
    Table().m_rcBlock.right = right;
    const int lineA = rich.ExLineFromChar(selA), lineB = rich.ExLineFromChar(selB);
    const int offA = selA - rich.LineIndex(lineA), offB = selB - rich.LineIndex(lineB);
    table::SetBlockRule(rich, block.first, block.last, code == TableKey::kLeftRule ? left : right, m_doc.m_clrTextBack);
    // The selection keeps its lines and offsets, so that the block stays on its rows
    // and the next press works the same slot.
    rich.ExSetSel(std::min(rich.LineIndex(lineA) + offA, table::LineEnd(rich, lineA)),
                  std::min(rich.LineIndex(lineB) + offB, table::LineEnd(rich, lineB)));
    return;
  }
  // A cell past the tab stops is opened by a separator, not a Tab: it has no rule
  // slot these keys set, and a slot found beyond it belongs to another column.
  const int caretColumn = table::LeaderColumnAt(rich, selB) - 1;
  int tabs = 0;
  for (int cp = rich.LineIndex(caretLine); cp < selB; ++cp) tabs += CharText(rich, cp) == "\t" ? 1 : 0;
  if (caretColumn > tabs) {
    Status(("column " + std::to_string(caretColumn) + ": no rule slot past the tab stops: nothing changed").c_str());
    return;
  }
  const int step = code == TableKey::kLeftRule ? -1 : 1;
  int slot = -1;
  for (int k = 0, cp = selB + (step < 0 ? -1 : 0); k < kSlotSearch && cp >= 0 && cp < rich.GetTextLength(); ++k, cp += step) {
    if (CharText(rich, cp) != "\t" && CharText(rich, cp) != "\r" && rich.FormatAt(cp).yHeight < table::kTextHeight) {
      slot = cp;
      break;
    }
  }
  if (slot < 0) return;  // no slot: nothing changes
  // The column is the Tab that opens the slot's cell ('5' and '6': the caret's cell).
  const int lineStart = rich.LineIndex(rich.ExLineFromChar(slot));
  int column = 0;
  const int upTo = code == TableKey::kBottomRuleCtrl || code == TableKey::kTopRuleCtrl ? selB : slot;
  for (int cp = lineStart; cp < upTo; ++cp) column += CharText(rich, cp) == "\t" ? 1 : 0;
  if (!rows) {
    firstLine = cellOnly ? caretLine : 0;
    lastLine = cellOnly ? caretLine + 1 : 0;
  }
  BuildSheetRtf(code, rows ? rich.LineIndex(firstLine) : slot, firstLine, column, lastLine, number, selA, 1);
  rich.ExSetSel(std::min(selA, rich.GetTextLength()), std::min(selB, rich.GetTextLength()));
}

// '7' clears the rule colour of the selected 1-point characters, '8' draws the
// leader dots again; a character next to the previous 1-point one continues its run.
void CQelView::TableLeaderWalk(TableKey code) {
  plat::RichEdit& rich = UseRichText();
  int selA = 0, selB = 0;
  rich.ExGetSel(selA, selB);
  const int end = selA == selB ? table::LineEnd(rich, rich.ExLineFromChar(selA)) : selB;
  const COLORREF background = m_doc.m_clrTextBack;
  plat::UiHost* ui = g_pMainFrame ? &g_pMainFrame->Ui() : nullptr;
  if (ui) ui->BeginWaitCursor();
  int previous = -2;
  for (int cp = selA; cp < end && cp < rich.GetTextLength(); ++cp) {
    if (rich.FormatAt(cp).yHeight >= table::kTextHeight) continue;
    const std::string ch = CharText(rich, cp);
    if (ch == "\t" || ch == "\r") continue;
    const bool adjacent = cp == previous + 1;
    previous = cp;
    if (code == TableKey::kLeftRuleCtrl) {
      if (!adjacent && IsClear(rich.FormatAt(cp))) Replace(rich, cp, ",");
      table::SetBackColour(rich, cp, cp + 1, background);
      continue;
    }
    if (!adjacent) {
      if (ch == ",") {
        Replace(rich, cp, "_");
        table::SetBackColour(rich, cp, cp + 1, background);
      } else {
        table::SetBackColour(rich, cp, cp + 1, table::kRuleColour);
      }
      continue;
    }
    const bool dotAfterDot = ch == "." && cp > 0 && CharText(rich, cp - 1) == ".";
    const bool afterTab = cp >= 2 && CharText(rich, cp - 2) == "\t" && ch != "_";
    table::SetBackColour(rich, cp, cp + 1, dotAfterDot || afterTab ? table::kRuleColour : background);
  }
  if (ui) ui->EndWaitCursor();
  rich.ExSetSel(selA, selB);
}
