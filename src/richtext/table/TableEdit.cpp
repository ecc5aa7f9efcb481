// The edit road of the table engine: rules, rows and line spacing of a table that
// stands in the rich-text control, edited in place through the control's selection.
// Each code is one undo group, so one undo takes a whole command back.
#include <algorithm>
#include <cstdio>

#include "app/Globals.h"
#include "frame/MainFrame.h"
#include "platform/ui/Keys.h"
#include "richtext/table/TableEngine.h"
#include "view/QelView.h"

namespace {

void ShowFormatPane(const char* text) {
  if (!g_pStatusBar) return;
  g_pStatusBar->SetPaneText(g_pStatusBar->CommandToIndex(ID_INDICATOR_FORMAT), text);
}

// '0': the rule lines under text line `line` go; the line after them gives back the
// 30 twips a rule added. A delete that removes nothing ends the loop.
void TableRemoveRules(table::TableEngine& eng, int line, int number) {
  plat::RichEdit& rich = eng.Edit();
  int removed = 0;
  while (table::IsRuleLine(rich, line + 1)) {
    if (!eng.DeleteLine(line + 1)) break;
    ++removed;
    if (number == 1) break;
  }
  if (removed > 0 && (number == -1 || number == 0) && line + 1 < rich.GetLineCount() &&
      !table::IsRuleLine(rich, line + 1)) {
    eng.AdjustLineSpacing(line + 1, -30);
  }
}

// '1' and '2' on text line `line`: the rule line below it is made, doubled, removed
// or, with cellOnly, only the caret cell's segment changes. A new rule line takes the
// columns of line `model` (the line itself, or the row below it when the line above
// a table's first row is no row).
void TableRule(table::TableEngine& eng, TableKey code, int line, int model, int number, int cellOnly) {
  plat::RichEdit& rich = eng.Edit();
  const int column = table::GetCaretColumn(rich);
  const int cls = table::GetRuleLineClass(rich, line + 1);
  auto segment = [&](int ruleLine, bool on) {
    const int a = table::ColumnStart(rich, ruleLine, column);
    int b = table::ColumnStart(rich, ruleLine, column + 1);
    if (b <= a) b = table::LineEnd(rich, ruleLine);
    // The Tab opening the column belongs to its segment.
    eng.SetRuleHighlight(column > 1 ? a - 1 : a, std::max(b - 1, a + 1), on);
  };
  if (cls != 0 && cellOnly == 0) {
    if (cls == 2) {
      if (number != 2) TableRemoveRules(eng, line, number);
    } else if (number == -1 || number == 2) {
      eng.CopyLineTo(line + 1, line + 2);
    } else if (number == 0) {
      TableRemoveRules(eng, line, number);
    }
    return;
  }
  if (cls != 0) {
    if (cls == 1) {
      if (number == -1 || number == 2) {
        eng.CopyLineTo(model, line + 1);
        eng.ClearLineCells(line + 1, 0);
        segment(line + 1, true);
        segment(line + 2, true);
      } else if (number == 1 || number == 0) {
        segment(line + 1, number == 1);
      }
      return;
    }
    const bool first = eng.SegmentHighlighted(line + 1, column);
    const bool second = eng.SegmentHighlighted(line + 2, column);
    switch (number) {
      case 2: segment(line + 1, true); segment(line + 2, true); break;
      case 1: segment(line + 1, code == TableKey::kBottomRule); segment(line + 2, false); break;
      case 0: segment(line + 1, false); segment(line + 2, false); break;
      case -1:
        if (first && second) {
          segment(line + 1, false);
          segment(line + 2, false);
        } else if (first || second) {
          segment(line + 1, true);
          segment(line + 2, true);
        }
        break;
      default: break;
    }
    return;
  }
  if (number == 0 || number == 9) return;
  eng.CopyLineTo(model, line + 1);
  eng.ClearLineCells(line + 1, 0);
  if (cellOnly == 0) {
    const int a = rich.LineIndex(line + 1);
    eng.SetRuleHighlight(a, table::LineEnd(rich, line + 1), true);
  } else {
    segment(line + 1, true);
  }
  int after = line + 2;
  if (number == 2) {
    eng.CopyLineTo(line + 1, line + 2);
    ++after;
  }
  // The text line under a new rule gets the room the rule takes.
  if (after < rich.GetLineCount() && !table::IsRuleLine(rich, after)) eng.AdjustLineSpacing(after, 30);
}

}  // namespace

namespace table {

// "line space = %d.%d": whole points and (5 x spacing) mod 100, 50 shown as 5.
std::string LineSpaceText(int twips) {
  int frac = (5 * twips) % 100;
  if (frac == 50) frac = 5;
  char text[48];
  std::snprintf(text, sizeof text, "line space = %d.%d", twips / 20, frac);
  return text;
}

}  // namespace table

void CQelView::TableEditRoad(TableKey code, int number, int cellOnly, int firstLine, int lastLine) {
  plat::RichEdit& rich = UseRichText();
  plat::Clipboard fallback;
  plat::Clipboard& clip = g_pMainFrame ? g_pMainFrame->Ui().GetClipboard() : fallback;
  table::TableEngine eng(rich, clip, m_doc.m_clrTextBack);
  int selA = 0, selB = 0;
  rich.ExGetSel(selA, selB);
  const int caretLine = rich.ExLineFromChar(selB);

  rich.BeginUndoGroup();
  switch (code) {
    case TableKey::kBottomRule:
    case TableKey::kTopRule: {
      int line = caretLine;
      int model = caretLine;
      if (code == TableKey::kTopRule) {
        // The top rule of a row is the bottom rule of the text line above it; above
        // a table's first row (a line with no cells) the rule line takes the row's
        // own columns, so that it shows.
        line = caretLine - 1;
        while (line >= 0 && table::IsRuleLine(rich, line)) --line;
        if (line < 0) break;  // no line above: nothing to rule
        if (rich.GetLine(line).find('\t') != std::string::npos) model = line;
      }
      TableRule(eng, code, line, model, number, cellOnly);
      rich.ExSetSel(selA, selA);
      break;
    }
    case TableKey::kRemoveRules: TableRemoveRules(eng, caretLine, number); rich.ExSetSel(selA, selA); break;
    case TableKey::kInsertRow: {
      const int lineStart = rich.LineIndex(caretLine);
      eng.CopyLineTo(caretLine, caretLine + 1);
      eng.ClearLineCells(selB - lineStart < 2 ? caretLine : caretLine + 1, 1);
      rich.ExSetSel(rich.LineIndex(caretLine), rich.LineIndex(caretLine));
      break;
    }
    case TableKey::kDeleteRow: {
      const bool between = table::IsRuleLine(rich, caretLine - 1) && table::IsRuleLine(rich, caretLine + 1);
      const int start = rich.LineIndex(caretLine);
      if (between && caretLine + 2 < rich.GetLineCount()) {
        rich.ExSetSel(start, rich.LineIndex(caretLine + 2));
        rich.ReplaceSel("", true);
      } else {
        if (between) eng.DeleteLine(caretLine + 1);
        eng.DeleteLine(caretLine);
      }
      const int at = rich.LineIndex(std::min(caretLine, rich.GetLineCount() - 1));
      rich.ExSetSel(at, at);
      break;
    }
    case TableKey::kLineNarrower:
    case TableKey::kLineWider: {
      int step = number > 10 ? number : (m_doc.m_bShiftDown ? 50 : 10);
      if (code == TableKey::kLineNarrower) step = -step;
      const int spacing = eng.AdjustLineSpacing(-1, step);
      rich.ExSetSel(selA, selB);
      ShowFormatPane(table::LineSpaceText(spacing).c_str());
      break;
    }
    case TableKey::kColumnLeft:
    case TableKey::kColumnRight:
    case TableKey::kInsertColumn:
    case TableKey::kDeleteColumn:
    case TableKey::kSplit:
    case TableKey::kJoin: TableColumnKey(code, number, cellOnly, firstLine, lastLine); break;
    case TableKey::kLeftRule:
    case TableKey::kRightRule:
    case TableKey::kBottomRuleCtrl:
    case TableKey::kTopRuleCtrl: TableVerticalRuleKey(code, number, cellOnly, firstLine, lastLine); break;
    case TableKey::kLeftRuleCtrl:
    case TableKey::kRightRuleCtrl: TableLeaderWalk(code); break;
    default: break;  // '9': selection and scroll restored
  }
  rich.EndUndoGroup();
  int a = 0, b = 0;
  m_pModel->GetSel(a, b);
  m_nAnchor = a;
  SyncSelection();
}
