#include "richtext/table/PaneCells.h"

#include <algorithm>
#include <map>
#include <vector>

#include "richtext/table/TableEngine.h"

namespace table {

namespace {

constexpr char kCellMark = '\x06';

struct PaneRow {
  std::vector<std::string> cells;
  bool freeText = false;
  char top = 0, bottom = 0;
};

std::string Trimmed(const std::string& text) {
  const size_t a = text.find_first_not_of(' ');
  return a == std::string::npos ? std::string() : text.substr(a, text.find_last_not_of(' ') - a + 1);
}

bool RuleColoured(const plat::CharFormat2& cf) { return !(cf.dwEffects & plat::CFE_AUTOBACKCOLOR) && cf.crBackColor == kRuleColour; }

}  // namespace

PaneCells CellTextOfPane(const plat::RichEdit& rich) {
  PaneCells out;
  std::vector<PaneRow> rows;
  std::map<int, int> heights;  // text height in twips: characters
  int rule = 0;                // the rule lines met since the last row
  for (int line = 0; line < rich.GetLineCount(); ++line) {
    if (IsRuleLine(rich, line)) {
      bool drawn = false;
      for (int cp = rich.LineIndex(line); cp < LineEnd(rich, line) && !drawn; ++cp) drawn = RuleColoured(rich.FormatAt(cp));
      if (drawn) ++rule;
      continue;
    }
    const int start = rich.LineIndex(line), end = LineEnd(rich, line);
    const std::string text = rich.GetTextRange(start, end);
    PaneRow row;
    row.freeText = text.find('\t') == std::string::npos;
    row.cells.emplace_back();
    bool cellHasText = false;
    for (int cp = start; cp < end; ++cp) {
      const std::string ch = rich.GetTextRange(cp, cp + 1);
      const plat::CharFormat2& cf = rich.FormatAt(cp);
      if (ch == "\t") {
        row.cells.emplace_back();
        cellHasText = false;
      } else if (ch[0] == plat::kObjectChar || ch[0] == plat::kPageChar) {
        continue;
      } else if (cf.yHeight < kTextHeight) {
        // A 1-point run: a cell's rule slot, or in the leader area the next cell's start.
        if (cellHasText && !row.freeText) {
          row.cells.emplace_back();
          cellHasText = false;
        }
        if (RuleColoured(cf)) out.verticalRules = true;
      } else {
        row.cells.back() += ch;
        cellHasText = true;
        if (ch != " ") heights[cf.yHeight] += 1;
      }
    }
    for (std::string& cell : row.cells) cell = Trimmed(cell);
    if (row.freeText && row.cells[0].empty()) continue;  // a blank line is no row
    if (rule > 0) row.top = rule >= 2 ? '2' : '1';
    rule = 0;
    rows.push_back(std::move(row));
  }
  if (rule > 0 && !rows.empty()) rows.back().bottom = rule >= 2 ? '2' : '1';

  // A first column empty in every row goes.
  const bool leading = std::any_of(rows.begin(), rows.end(), [](const PaneRow& r) { return !r.freeText; }) &&
                       std::all_of(rows.begin(), rows.end(), [](const PaneRow& r) { return r.freeText || r.cells[0].empty(); });
  for (PaneRow& row : rows) {
    if (leading && !row.freeText) row.cells.erase(row.cells.begin());
    if (row.freeText) out.cells += '~';
    for (size_t c = 0; c < row.cells.size(); ++c) {
      if (c > 0) out.cells += kCellMark;
      out.cells += row.cells[c];
    }
    if (row.top || row.bottom) {
      out.cells += '^';
      out.cells += row.top ? row.top : '0';
      out.cells += row.bottom ? row.bottom : '0';
    }
    out.cells += "\r\n";
    out.columns = std::max(out.columns, static_cast<int>(row.cells.size()));
  }
  out.rows = static_cast<int>(rows.size());
  if (!heights.empty()) {
    const auto most = std::max_element(heights.begin(), heights.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
    out.number = most->first / 10 * 5;
  }
  return out;
}

}  // namespace table
