// CQelView::TableSelectCell: column edits in a sheet's leader area, past the row's
// 30th Tab, where the cells have no tab stops of their own: each stands after a
// 1-point separator character after its text and is padded with blanks. The edit is made row by row
// down the column through the control's selection: blanks inserted or taken away
// before the separator (VK_RIGHT, VK_LEFT), a column inserted ('E'), removed ('R'),
// split at the caret's offset ('I') or joined with the one before ('U'). Rule lines
// are passed over. Every walk is bounded: at most 10,000 rows, each read from its
// start to the caret's column and no further than its end, however long the row.
#include <algorithm>
#include <climits>
#include <cstdint>

#include "platform/ui/Ui.h"
#include "richtext/table/TableEngine.h"
#include "view/QelView.h"

namespace {

constexpr int kTabColumns = 30;  // Tabs that open tab-stop columns; the leader area follows
constexpr int kMaxRows = 10000;
constexpr int kNewCellBlanks = 5;
constexpr int kMaxBlankAmount = 4500;  // at most 500 blanks a row

bool IsTab(const plat::RichEdit& rich, int cp) { return rich.GetTextRange(cp, cp + 1) == "\t"; }
bool IsPoint(const plat::RichEdit& rich, int cp) { return rich.FormatAt(cp).yHeight < table::kTextHeight; }

// Where each column of a text line starts: column 1 at the line start, one more
// after each Tab, and past the 30th Tab one more after each 1-point separator. The
// line is read up to `until` (the starts at or before it), or until `most` starts
// are found, and never past its end.
std::vector<int> ColumnStarts(const plat::RichEdit& rich, int line, int until = INT_MAX, size_t most = SIZE_MAX) {
  std::vector<int> starts;
  const int start = rich.LineIndex(line);
  if (start < 0) return starts;
  starts.push_back(start);
  const int end = std::min(table::LineEnd(rich, line), until);
  int tabs = 0;
  for (int cp = start; cp < end && starts.size() < most; ++cp) {
    if (IsTab(rich, cp)) {
      ++tabs;
      starts.push_back(cp + 1);
    } else if (tabs >= kTabColumns && IsPoint(rich, cp) && cp > start && !IsTab(rich, cp - 1) && !IsPoint(rich, cp - 1)) {
      // A cell's own slot follows its Tab; a separator follows text.
      starts.push_back(cp + 1);
    }
  }
  return starts;
}

bool AllBlanks(const std::string& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c == ' '; });
}

}  // namespace

namespace table {

int LeaderColumnAt(const plat::RichEdit& rich, int cp) {
  const std::vector<int> starts = ColumnStarts(rich, rich.ExLineFromChar(cp), cp);
  int column = 1;
  for (size_t k = 1; k < starts.size(); ++k) {
    if (starts[k] <= cp) column = static_cast<int>(k) + 1;
  }
  return column;
}

}  // namespace table

void CQelView::TableSelectCell(TableKey code, int number, int column, int cellOnly) {
  (void)column;
  plat::RichEdit& rich = UseRichText();
  int caret = 0, selEnd = 0;
  rich.ExGetSel(caret, selEnd);
  const int col = table::LeaderColumnAt(rich, caret);
  int line = rich.ExLineFromChar(caret);
  const std::vector<int> caretStarts = ColumnStarts(rich, line, caret);
  if (col < 2 || col > static_cast<int>(caretStarts.size())) return;
  const int offset = caret - caretStarts[static_cast<size_t>(col) - 1];
  // The rows of the caret's cell start above its rule lines.
  const int up = table::IsRuleLine(rich, line - 1) ? (table::IsRuleLine(rich, line - 2) ? 2 : 1) : 0;
  line -= up;
  const int cellRows = up + 1;
  const int k = std::max(1, (std::clamp(number, 0, kMaxBlankAmount) + 8) / 9);
  const std::string blanks(static_cast<size_t>(k), ' ');

  rich.BeginUndoGroup();
  for (int row = 0; row < kMaxRows && line < rich.GetLineCount(); ++row, ++line) {
    if (cellOnly == 1 && (code == TableKey::kSplit || code == TableKey::kJoin) && row >= cellRows) break;
    if (table::IsRuleLine(rich, line)) continue;
    // The row is read as far as the start of the column after the caret's.
    const std::vector<int> starts = ColumnStarts(rich, line, INT_MAX, static_cast<size_t>(col) + 1);
    if (col > static_cast<int>(starts.size())) break;  // past the table: the walk ends
    const int p = starts[static_cast<size_t>(col) - 1];
    const int sep = p - 1;  // the separator (or Tab) that opens the column
    const int next = col < static_cast<int>(starts.size()) ? starts[static_cast<size_t>(col)] - 1 : table::LineEnd(rich, line);
    bool stop = false;
    switch (code) {
      case TableKey::kColumnRight:
        rich.ExSetSel(sep, sep);
        rich.ReplaceSel(blanks, true);
        break;
      case TableKey::kColumnLeft: {
        // Only blanks are taken away; a row without them ends the walk.
        const int a = std::max(sep - k, rich.LineIndex(line));
        if (AllBlanks(rich.GetTextRange(a, sep))) {
          rich.ExSetSel(a, sep);
          rich.ReplaceSel("", true);
        } else {
          stop = true;
        }
        break;
      }
      case TableKey::kJoin:
        if (IsTab(rich, sep)) break;  // a tab-stop column is joined by the re-renderer
        {
          plat::CharFormat2 text = rich.FormatAt(std::max(sep - 1, rich.LineIndex(line)));
          text.dwMask = plat::CFM_ALL2;
          rich.ExSetSel(sep, p);
          rich.ReplaceSel(" ", true);
          rich.ExSetSel(sep, sep + 1);
          rich.SetCharFormat(text, true);
        }
        break;
      case TableKey::kDeleteColumn:
        rich.ExSetSel(sep, next);
        rich.ReplaceSel("", true);
        break;
      case TableKey::kInsertColumn: {
        // A new empty column before the caret's: blanks and a separator of its own.
        plat::CharFormat2 text = rich.FormatAt(std::min(p, std::max(table::LineEnd(rich, line) - 1, p)));
        text.dwMask = plat::CFM_ALL2;
        text.yHeight = std::max(text.yHeight, table::kTextHeight);
        rich.ExSetSel(p, p);
        rich.ReplaceSel(std::string(kNewCellBlanks + 1, ' '), true);
        rich.ExSetSel(p, p + kNewCellBlanks);
        rich.SetCharFormat(text, true);
        plat::CharFormat2 point = text;
        point.yHeight = table::kPointRun;
        rich.ExSetSel(p + kNewCellBlanks, p + kNewCellBlanks + 1);
        rich.SetCharFormat(point, true);
        break;
      }
      case TableKey::kSplit: {
        // The cell splits where the caret stands in its own cell, within the cell.
        const int at = std::min(p + std::max(offset, 0), next);
        if (at <= p) break;
        plat::CharFormat2 point = rich.FormatAt(at - 1);
        point.dwMask = plat::CFM_ALL2;
        point.yHeight = table::kPointRun;
        rich.ExSetSel(at, at);
        rich.ReplaceSel(" ", true);
        rich.ExSetSel(at, at + 1);
        rich.SetCharFormat(point, true);
        break;
      }
      default: break;  // other codes only walk the rows
    }
    if (stop) break;
  }
  rich.EndUndoGroup();
  const int at = std::min(caret, rich.GetTextLength());
  rich.ExSetSel(at, at);
}
