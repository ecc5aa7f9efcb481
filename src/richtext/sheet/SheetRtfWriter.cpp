// Sheet RTF from the cell text. Each sheet is laid out once (column widths from the
// cells' measures, tab stops from the widths), then its rows are written: a rule line
// where the rows' rule characters ask for one, the text line with one 1-point slot
// per cell for its left rule, and the page marks. Cell text is escaped ('\', '{', '}'
// and every byte above 0x7F as \'hh), so no cell can end the RTF or lose its text.
// Limits: 1,000 column widths, 500 column records, the view's 500-entry sheet table,
// 30 columns with tab stops (later ones are padded runs), 65,535 bytes of a cell,
// 510 of a column's condition.
#include "richtext/sheet/SheetRtfWriter.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "richtext/sheet/SheetMarkup.h"
#include "richtext/sheet/SheetObjects.h"

namespace sheet {

namespace {

constexpr char kCellMark = '\x06';
constexpr int kMaxWidths = 1000;
constexpr int kMaxStopColumns = 30;
constexpr int kMaxSheets = 499;  // the view's sheet table has 500 entries, from 1
constexpr size_t kMaxCell = 65535;
constexpr size_t kMaxCondition = 510;
constexpr int kMaxLeaderBlanks = 500;

constexpr int kColours[24][3] = {{255, 0, 0},     {0, 160, 0},     {0, 0, 255},     {240, 240, 128}, {128, 64, 64},
                                 {128, 0, 192},   {128, 128, 128}, {255, 0, 255},   {0, 128, 255},   {255, 128, 0},
                                 {255, 255, 255}, {0, 0, 0},       {255, 192, 192}, {208, 255, 176}, {160, 176, 255},
                                 {255, 255, 192}, {192, 160, 160}, {192, 160, 224}, {192, 192, 192}, {255, 192, 255},
                                 {192, 208, 255}, {255, 192, 160}, {255, 255, 255}, {0, 0, 0}};

bool IsLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

void Append(std::string& out, const char* format, int value) {
  char buf[64];
  std::snprintf(buf, sizeof buf, format, value);
  out += buf;
}

// Cell text into RTF: '\', '{', '}' escaped, a double-byte character as \'hh\'hh.
void AppendCellText(std::string& out, std::string_view text) {
  static const char kHex[] = "0123456789abcdef";
  for (size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (IsLead(b) && i + 1 < text.size()) {
      // A double-byte character whole: its trail byte may be a backslash or a brace.
      for (int k = 0; k < 2; ++k) {
        const auto v = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
        out += "\\'";
        out += kHex[v >> 4];
        out += kHex[v & 15];
      }
      ++i;
    } else if (b == '\\' || b == '{' || b == '}') {
      out += '\\';
      out += static_cast<char>(b);
    } else if (b >= 0x80 || b < 0x20) {
      if (b < 0x20 && b != '\t') continue;
      if (b == '\t') {
        out += ' ';
        continue;
      }
      out += "\\'";
      out += kHex[b >> 4];
      out += kHex[b & 15];
    } else {
      out += static_cast<char>(b);
    }
  }
}

struct Row {
  std::string_view line;
  size_t offset = 0;
  LineClass cls = LineClass::Data;
};

std::vector<Row> SplitLines(std::string_view text) {
  std::vector<Row> rows;
  size_t i = 0;
  while (i < text.size()) {
    size_t end = i;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n') {
      end += IsLead(static_cast<unsigned char>(text[end])) && end + 1 < text.size() && text[end + 1] != '\r' &&
                     text[end + 1] != '\n'
                 ? 2
                 : 1;
    }
    end = std::min(end, text.size());
    Row r;
    r.line = text.substr(i, end - i);
    r.offset = i;
    r.cls = ClassifyLine(r.line);
    rows.push_back(r);
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
    i = end + 1;
  }
  return rows;
}

std::vector<std::string_view> SplitCells(std::string_view line) {
  std::vector<std::string_view> cells;
  size_t start = 0;
  for (size_t i = 0; i <= line.size(); ++i) {
    if (i == line.size() || line[i] == kCellMark) {
      cells.push_back(line.substr(start, i - start));
      start = i + 1;
    } else if (IsLead(static_cast<unsigned char>(line[i])) && i + 1 < line.size()) {
      ++i;
    }
  }
  return cells;
}

// Cells in a line: the count of SplitCells without the cells.
size_t CellCount(std::string_view line) {
  size_t n = 1;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == kCellMark) ++n;
    else if (IsLead(static_cast<unsigned char>(line[i])) && i + 1 < line.size()) ++i;
  }
  return n;
}

// One data row after its format items are taken off. Its cells are split when they
// are used, so that a sheet of millions of cells holds one record per row.
struct DataRow {
  std::string_view text;  // the cells, cell marks between them
  RowFormat format;
  bool freeText = false;
  bool hasFormat = false;
  size_t offset = 0;
};

// A data row's cells, each cut at the longest cell.
std::vector<std::string_view> CellsOf(const DataRow& row) {
  std::vector<std::string_view> cells = SplitCells(row.text);
  for (std::string_view& c : cells) c = c.substr(0, kMaxCell);
  return cells;
}

// Everything one sheet holds.
struct Sheet {
  size_t headOffset = 0;
  bool rowFormatMode = false;
  SettingsLine settings;
  bool settingsSeen = false;
  std::vector<ColumnFormat> columns;
  std::vector<std::string> conditions;  // per column: its "if:" text, or empty
  std::vector<SheetObject> objects;
  std::vector<DataRow> rows;
};

std::vector<Sheet> ReadSheets(const std::vector<Row>& lines, bool workbook) {
  std::vector<Sheet> sheets(1);
  bool rowsEnded = false;
  bool inBlock = false;
  for (const Row& r : lines) {
    Sheet& s = sheets.back();
    switch (r.cls) {
      case LineClass::SheetHead:
      case LineClass::RowFormatHead: {
        // A head directly after a head (or at the very start) opens no second sheet.
        const bool empty = s.rows.empty() && s.columns.empty() && !s.settingsSeen;
        if (!empty) sheets.emplace_back();
        Sheet& n = sheets.back();
        if (empty) n.headOffset = r.offset;
        n.headOffset = r.offset;
        rowsEnded = inBlock = false;
        if (r.cls == LineClass::RowFormatHead) {
          n.rowFormatMode = true;
          std::vector<std::string_view> f = SplitCells(r.line);
          std::string_view last = f.back();
          if (f.size() == 1) last.remove_prefix(2);
          if (!last.empty() && last[0] == '^') last.remove_prefix(1);
          n.settings.format = ParseSheetFormat(last);
        } else if (r.line.size() > 2 && r.line[1] == '#' && r.line.substr(2, 2) == "XL") {
          n.settings = ParseSettingsLine(r.line.substr(2));
          n.settingsSeen = true;
        }
        break;
      }
      case LineClass::Settings:
        if (s.rows.empty() && !s.settingsSeen) {
          s.settings = ParseSettingsLine(r.line);
          s.settingsSeen = true;
        }
        break;
      case LineClass::ColumnBlock:
        s.columns.clear();
        s.conditions.clear();
        s.objects.clear();
        rowsEnded = inBlock = true;
        break;
      case LineClass::Objects:
        rowsEnded = true;
        inBlock = false;
        break;
      case LineClass::FreeText:
      case LineClass::Data: {
        if (inBlock) {
          const bool ends = r.line.empty() || r.line[0] == '!' || r.line[0] == '$' || r.line[0] == '~' ||
                            (r.line.size() >= 1 && r.line[0] == kCellMark);
          if (ends || static_cast<int>(s.columns.size()) >= kMaxColumns) {
            inBlock = false;
          } else {
            ColumnFormat col = ParseColumnLine(r.line, workbook);
            s.conditions.emplace_back(ConditionOfColumnLine(r.line, col).substr(0, kMaxCondition));
            SheetObject object;
            if (ObjectOfColumnLine(r.line, col, object)) s.objects.push_back(std::move(object));
            if (col.kind != 0 && col.range[0] != -9999) {
              // An object's line formats no column of its own.
              col.rules = {'X', 0, 0, 0};
              col.placement = col.numberForm = 0;
              col.ruleColours = {};
              col.direction = 0;
            }
            s.columns.push_back(std::move(col));
            break;
          }
        }
        if (rowsEnded) break;
        DataRow row;
        row.offset = r.offset;
        row.freeText = r.cls == LineClass::FreeText;
        std::string_view text = row.freeText ? r.line.substr(1) : r.line;
        const size_t caret = s.rowFormatMode ? text.find(kCellMark) : FindRowFormat(text);
        if (caret != std::string_view::npos) {
          row.format = ParseRowFormat(text.substr(caret + 1));
          row.hasFormat = true;
          text = text.substr(0, caret);
        }
        row.text = text;
        s.rows.push_back(std::move(row));
        break;
      }
    }
  }
  return sheets;
}

// The display page of table text mode 3 from a pre-scan of the cell text. Lines are
// counted from 1, leaving out a settings line of the sheet kind 'S' (its table's
// first row is a width line) and the lines after a "!%" or "!$" line up to the next
// sheet head or settings line. The page holds the counted lines first..last; its
// sheet opens at the last head before it that stands more than two counted lines
// after the previous head, so that the sheet's markup applies.
struct PagePlan {
  std::vector<size_t> offsets;  // every line's text offset
  std::vector<int> counts;      // its count, or the count before it when left out
  int total = 0;
  int first = 1, last = 1000;
  size_t startOffset = 0;
  size_t endOffset = SIZE_MAX;  // the first line after the page; SIZE_MAX the text's end
  size_t sheetOffset = 0;

  int CountAt(size_t offset) const {
    const auto it = std::lower_bound(offsets.begin(), offsets.end(), offset);
    return it == offsets.end() ? total + 1 : counts[static_cast<size_t>(it - offsets.begin())];
  }
};

PagePlan PreScan(const std::vector<Row>& lines, int pageStart, int pageRows) {
  PagePlan plan;
  plan.first = std::max(pageStart, 0) + 1;
  plan.last = static_cast<int>(std::min<int64_t>(int64_t{plan.first} + std::max(pageRows, 1) - 1, INT32_MAX));
  bool skipping = false;
  bool started = false;
  int lastHead = -100;
  for (const Row& r : lines) {
    const bool head = r.cls == LineClass::SheetHead || r.cls == LineClass::RowFormatHead;
    if (head || r.cls == LineClass::Settings) skipping = false;
    bool counted = !skipping;
    if (r.cls == LineClass::Settings && ParseSettingsLine(r.line).kind == 'S') counted = false;
    if (r.cls == LineClass::ColumnBlock || r.cls == LineClass::Objects) skipping = true;
    if (counted) ++plan.total;
    plan.offsets.push_back(r.offset);
    plan.counts.push_back(plan.total);
    if (!counted) continue;
    if (head && !started) {
      if (plan.total > lastHead + 2) plan.sheetOffset = r.offset;
      lastHead = plan.total;
    }
    if (!started && plan.total == plan.first) {
      started = true;
      plan.startOffset = r.offset;
    }
    if (plan.endOffset == SIZE_MAX && plan.total == plan.last + 1) plan.endOffset = r.offset;
  }
  if (!started) plan.startOffset = plan.offsets.empty() ? 0 : plan.offsets.back() + 1;
  return plan;
}

// Bytes shown of a cell: its text after the number form and placement.
int TextColumns(std::string_view text) { return static_cast<int>(text.size()); }

class Writer {
 public:
  Writer(const BuildInput& in, BuildOutput& out, const PagePlan* page) : in_(in), out_(out), page_(page) {}

  void Sheet(const sheet::Sheet& s, bool first) {
    BeginSheet(s);

    // Rows to write; the width line of a kind 'S' sheet sets widths only.
    size_t firstRow = 0;
    const bool widthLine = s.settings.kind == 'S' && !s.rows.empty();
    if (widthLine) firstRow = 1;
    size_t lastRow = s.rows.size();
    if (page_) {
      // The rows of the display page: counts only grow along the text.
      while (firstRow < s.rows.size() && page_->CountAt(s.rows[firstRow].offset) < page_->first) ++firstRow;
      lastRow = firstRow;
      while (lastRow < s.rows.size() && page_->CountAt(s.rows[lastRow].offset) <= page_->last) ++lastRow;
    } else {
      out_.rowsTotal += static_cast<int>(s.rows.size());
    }

    const std::vector<bool> outside = OutsideRows(s);
    // Cell texts after number forms and placement need the widths; widths need the
    // number forms. Forms first, then measures, then placement.
    size_t cells = 0;
    for (const DataRow& row : s.rows) cells = std::max(cells, CellCount(row.text));
    const int ncol = static_cast<int>(std::min<size_t>(s.rows.empty() ? 0 : cells, kMaxWidths));
    out_.maxColumns = std::max(out_.maxColumns, ncol);
    MeasureWidths(s, outside, ncol);
    SetStops(ncol, first);
    ncol_ = ncol;

    std::string& o = out_.rtf;
    if (in_.wholeText && first) {
      TextLineStart(lineHeight_);
      o += " \\par\n";
    }
    if (s.settings.format.pageMarks) o += "\\ ~~\\par\n";
    char prevBottom = 0;
    for (size_t r = firstRow; r < lastRow; ++r) {
      const size_t mark = o.size();
      const DataRow& row = s.rows[r];
      const char top = row.hasFormat ? row.format.top : 0;
      RuleLine(RuleKindBetween(prevBottom, top), 'T', BoxRulesBetween(static_cast<int>(r)));
      const std::vector<std::string_view> raw = CellsOf(row);
      std::vector<std::string> texts;
      texts.reserve(raw.size());
      for (size_t c = 0; c < raw.size(); ++c) texts.push_back(Formed(s, r, c, raw[c]).value_or(std::string(raw[c])));
      TextLine(row, raw, texts, static_cast<int>(r) + 1, outside[r]);
      // The bottom character is carried to the next row; after the last row it
      // draws the table's closing rule.
      prevBottom = row.hasFormat ? row.format.bottom : 0;
      if (r + 1 == lastRow) {
        RuleLine(prevBottom == '1' || prevBottom == '2' ? prevBottom - '0' : 0, 'B', BoxRulesBetween(static_cast<int>(r) + 1));
      }
      if (row.hasFormat && row.format.pageBreak) o += in_.tableTextMode ? "\\~~` \\page\\par\n" : "\\ ~~\\par\n";
      if (in_.limit > 0 && static_cast<int64_t>(o.size()) > in_.limit) {
        o.resize(mark);  // the sheet ends at the last whole row
        out_.cut = true;
        return;
      }
      ++out_.rowsShown;
      if (page_) out_.lastRowShown = page_->CountAt(row.offset);
    }
  }

  bool Cut() const { return out_.cut; }

 private:
  // The sheet's own sizes, font, columns, conditions and objects.
  void BeginSheet(const sheet::Sheet& s) {
    const SheetFormat& sf = s.settings.format;
    h_ = in_.number > 0 ? in_.number / 5 : 21;
    if (sf.attrs.size > 0) h_ = sf.attrs.size;
    h_ = std::clamp(h_, 2, 400);
    cw_ = 5 * h_ + 10;
    font_ = sf.attrs.Font() > 0 ? sf.attrs.Font() - 1 : 0;
    const int rowSize = sf.rowSize > 0 ? sf.rowSize : h_;
    lineHeight_ = sf.rowSize > 0 ? 10 * sf.rowSize + 30 : 10 * h_ + 30;
    rowSize_ = rowSize;
    columns_ = s.columns;
    conditions_ = s.conditions;
    grid_ = ObjectGrid(s.objects);
    for (auto& entry : owners_) entry.first = INT32_MIN;
    sheetAttrs_ = sf.attrs;
    sheetForm_ = sf.numberForm;
    sheetPlacement_ = sf.placement;
  }

  // Rows before a '<' row item and from a '>' row on stand outside the table;
  // like free text they run on and set no column widths.
  static std::vector<bool> OutsideRows(const sheet::Sheet& s) {
    std::vector<bool> outside(s.rows.size(), false);
    const bool anyStart = std::any_of(s.rows.begin(), s.rows.end(), [](const DataRow& d) { return d.hasFormat && d.format.tableStart; });
    bool in = !anyStart;
    for (size_t r = 0; r < s.rows.size(); ++r) {
      if (s.rows[r].hasFormat && s.rows[r].format.tableStart) in = true;
      if (s.rows[r].hasFormat && s.rows[r].format.tableEnd) in = false;
      outside[r] = !in;
    }
    return outside;
  }

  // Cell c of data row r after its number form; none when the cell keeps its own
  // text (the first row, free text, a text that does not end in a blank, a digit or
  // a sign, a cell no form applies to).
  std::optional<std::string> Formed(const sheet::Sheet& s, size_t r, size_t c, std::string_view raw) const {
    const DataRow& row = s.rows[r];
    if (r == 0 || row.freeText || raw.empty()) return std::nullopt;
    const char last = raw.back();
    if (!(last == ' ' || (last >= '0' && last <= '9') || (last >= 0x21 && last <= 0x2F))) return std::nullopt;
    uint8_t form = row.format.numberForm ? row.format.numberForm : (Applies(c, raw) ? ColumnForm(c) : 0);
    if (!form) form = sheetForm_;
    if (!form) return std::nullopt;
    return ApplyNumberForm(raw, form);
  }

  // The column widths: the widest formed text of the table's rows (bold and the wide
  // fonts take more), at least the sheet's width factor, and the width line's own.
  void MeasureWidths(const sheet::Sheet& s, const std::vector<bool>& outside, int ncol) {
    std::vector<int> shown;
    const bool widthLine = s.settings.kind == 'S' && !s.rows.empty();
    widths_.assign(static_cast<size_t>(ncol), cw_ * std::max(s.settings.format.widthFactor, 1));
    for (size_t r = widthLine ? 1 : 0; r < s.rows.size(); ++r) {
      if (s.rows[r].freeText || outside[r]) continue;
      // The bytes each cell shows after its number form.
      const std::vector<std::string_view> cells = CellsOf(s.rows[r]);
      shown.clear();
      for (size_t c = 0; c < cells.size(); ++c) {
        const std::optional<std::string> formed = Formed(s, r, c, cells[c]);
        shown.push_back(TextColumns(formed ? std::string_view(*formed) : cells[c]));
      }
      int empty = 0, filled = 0;
      for (int bytes : shown) (bytes == 0 ? empty : filled)++;
      const bool sparse = !(empty < ncol / 2 + 3 || filled > 3);
      for (size_t c = 0; c < shown.size() && static_cast<int>(c) < ncol; ++c) {
        if (c < 900 && sparse) continue;
        int64_t measure = int64_t{std::max(shown[c], 2)} * cw_;
        const uint8_t attr = ColumnAttrs(c).attributes;
        const int fontField = (attr >> 4) & 7;
        if (fontField == 1 || fontField == 2) measure += measure >= 32 ? measure / 4 : 7;
        if ((attr & 1) || (sheetAttrs_.attributes & 1)) measure += measure / 4;
        widths_[c] = static_cast<int>(std::max<int64_t>(widths_[c], std::min<int64_t>(measure, 1 << 24)));
      }
    }
    if (!widthLine) return;
    const std::vector<std::string_view> cells = CellsOf(s.rows[0]);
    for (size_t c = 0; c < cells.size() && static_cast<int>(c) < ncol; ++c) {
      const std::string_view f = cells[c];
      if (!f.empty() && f[0] == 'A') continue;
      int chars = static_cast<int>(f.size());
      if (!f.empty() && std::all_of(f.begin(), f.end(), [](char ch) { return ch >= '0' && ch <= '9'; })) {
        chars = std::min(std::atoi(std::string(f.substr(0, 4)).c_str()), 1000);
      }
      widths_[c] = std::max(widths_[c], chars * cw_);
    }
  }

  // Tab stops: the starting stops, then one per column up to the limit, each the
  // previous one plus the preceding column's width, the character width and 30. The
  // first sheet's stops are the ones the view keeps.
  void SetStops(int ncol, bool first) {
    stops_.clear();
    stops_.push_back(0);
    if (in_.code == TableKey::kLinesToTable) stops_.push_back(200);
    if (in_.code == TableKey::kAppendRow) stops_.push_back(20);
    stopColumns_ = std::min(ncol, kMaxStopColumns - static_cast<int>(stops_.size()) + 1);
    int x = stops_.back();
    for (int c = 0; c <= stopColumns_; ++c) {
      x += (c == 0 ? 0 : widths_[static_cast<size_t>(c - 1)]) + cw_ + 30;
      stops_.push_back(std::min(x, 31680));
    }
    if (first) {
      for (size_t k = 0; k < out_.stops.size() && k < stops_.size(); ++k) out_.stops[k] = stops_[k];
    }
  }

  uint8_t ColumnForm(size_t c) const { return c < columns_.size() ? columns_[c].numberForm : 0; }
  TextAttributes ColumnAttrs(size_t c) const { return c < columns_.size() ? columns_[c].attrs : TextAttributes{}; }
  // Whether column c's format applies to a cell: always, unless the column's line
  // carries a condition that the cell's own text does not meet.
  bool Applies(size_t c, std::string_view raw) const {
    return c >= conditions_.size() || conditions_[c].empty() || ConditionHolds(conditions_[c], raw);
  }

  // The box rules of the rule line above data row r (from 0): the top rules of row
  // r's cells and the bottom rules of the row above, per column.
  std::vector<int> BoxRulesBetween(int r) const {
    std::vector<int> kinds;
    if (grid_.Empty()) return kinds;
    kinds.assign(static_cast<size_t>(ncol_), 0);
    for (int c = 0; c < ncol_; ++c) {
      const int below = BoxRules(r + 1, c + 1).top;
      const int above = r > 0 ? BoxRules(r, c + 1).bottom : 0;
      kinds[static_cast<size_t>(c)] = std::max(below, above);
    }
    return kinds;
  }

  void Stops() {
    for (int s : stops_) Append(out_.rtf, "\\tx%d", s);
  }

  void TextLineStart(int height) {
    Append(out_.rtf, "\\pard\\sl-%d\\slmult0", height);
    Stops();
    Append(out_.rtf, "\\cf1\\lang1041\\f%d", font_);
    Append(out_.rtf, "\\fs%d ", h_);
  }

  // A rule line: every column's 1-point run highlighted where a rule is drawn.
  // Kind 2 is drawn twice. Column records with their own top ('T') or bottom ('B')
  // rule characters draw their segment even without a row rule.
  void RuleLine(int kind, char side, const std::vector<int>& boxes) {
    std::vector<int> on(static_cast<size_t>(ncol_), kind > 0 ? 1 : 0);
    bool any = kind > 0;
    for (size_t c = 0; c < boxes.size() && c < on.size(); ++c) {
      if (boxes[c] > 0) {
        on[c] = 1;
        any = true;
        kind = std::max(kind, boxes[c]);
      }
    }
    for (int c = 0; c < ncol_ && side; ++c) {
      if (static_cast<size_t>(c) >= columns_.size()) continue;
      const char rule = side == 'T' ? columns_[static_cast<size_t>(c)].rules[2] : columns_[static_cast<size_t>(c)].rules[3];
      if (rule == '1' || rule == '2') {
        on[static_cast<size_t>(c)] = 1;
        any = true;
        kind = std::max(kind, rule - '0');
      }
    }
    if (!any) return;
    for (int pass = 0; pass < (kind == 2 ? 2 : 1); ++pass) {
      std::string& o = out_.rtf;
      o += "\\pard\\sl-20\\slmult0";
      Stops();
      int state = -1;
      for (int c = 0; c < ncol_; ++c) {
        const int v = on[static_cast<size_t>(c)];
        if (c == 0) o += "\\tab";
        if (v != state) Append(o, "\\highlight%d", v ? 1 : 0);
        state = v;
        if (c < stopColumns_) {
          o += "\\fs2  \\tab";
        } else {
          o += "\\fs2 ..";
          o.append(static_cast<size_t>(std::min(widths_[static_cast<size_t>(c)] / cw_, kMaxLeaderBlanks)), ' ');
          o += "  ";
        }
      }
      o += "\\fs2  \\highlight0\\par\n";
    }
  }

  void TextLine(const DataRow& row, const std::vector<std::string_view>& cells, const std::vector<std::string>& texts,
                int gridRow, bool outside) {
    std::string& o = out_.rtf;
    TextLineStart(lineHeight_);
    bool bold = false, italic = false;
    size_t n = std::max<size_t>(texts.size(), 1);
    // A row that boxes cover is written out to the last column so their rules show.
    if (!grid_.Empty()) n = std::max(n, static_cast<size_t>(std::max(ncol_, 0)));
    for (size_t c = 0; c < n; ++c) {
      std::string text = c < texts.size() ? texts[c] : std::string();
      const std::string_view raw = c < cells.size() ? cells[c] : std::string_view();
      const bool applies = Applies(c, raw);
      const int column = static_cast<int>(c) + 1;
      const int objectIndex = grid_.Empty() || c >= Owners(gridRow).size() ? -1 : Owners(gridRow)[c];
      const SheetObject* object = objectIndex >= 0 ? &grid_.Object(objectIndex) : nullptr;
      TextAttributes own = applies ? ColumnAttrs(c) : TextAttributes{};
      if (object && object->format.kind == 4) own = FillFrom(own, object->format.attrs);
      const TextAttributes a = Merge(own);
      const bool first = object && gridRow == object->firstRow && column == object->firstColumn;
      std::string picture;
      if (first && object->format.kind == 1 && in_.picture) picture = in_.picture(object->content, BoxWidth(*object), BoxHeight(*object));
      if (first && text.empty() && (object->format.kind == 4 || (object->format.kind == 1 && picture.empty()))) {
        text = object->content;
      }
      // The cell's left slot: its column's rule, or a box's left rule here or the
      // right rule of the box to its left.
      int slot = in_.verticalRules || (applies && c < columns_.size() && (columns_[c].rules[0] == '1' || columns_[c].rules[0] == '2')) ? 1 : 0;
      if (!grid_.Empty()) {
        const CellRules here = BoxRules(gridRow, column);
        const CellRules left = c > 0 ? BoxRules(gridRow, column - 1) : CellRules{};
        if (here.left > 0) slot = here.leftColour > 0 ? here.leftColour : 1;
        else if (left.right > 0) slot = left.rightColour > 0 ? left.rightColour : 1;
      }
      if (c == 0) o += "\\tab";
      if (static_cast<int>(c) >= stopColumns_ && c > 0) o += ' ';
      if (text.empty() && picture.empty() && !row.freeText) {
        Append(o, "\\highlight%d\\fs2  \\cf0\\highlight0", slot);
        Append(o, "\\fs%d   ", h_);
      } else {
        Append(o, "\\highlight%d\\fs2  ", slot);
        int textColour = ColourIndex(a.textColour);
        const int back = ColourIndex(a.backColour);
        if (textColour == 26 && back != 0) textColour = back;
        Append(o, "\\cf%d", textColour);
        Append(o, "\\highlight%d", back);
        if (bold != ((a.attributes & 1) != 0)) o += (a.attributes & 1) ? "\\b" : "\\b0";
        if (italic != ((a.attributes & 4) != 0)) o += (a.attributes & 4) ? "\\i" : "\\i0";
        bold = (a.attributes & 1) != 0;
        italic = (a.attributes & 4) != 0;
        const int size = a.size > 0 ? a.size : h_;
        Append(o, "\\f%d", a.Font() > 0 ? a.Font() - 1 : font_);
        Append(o, "\\fs%d  ", size);
        // Vertical placement in a row taller than the text.
        const uint8_t placement = Placement(row, c, applies);
        const char vertical = VerticalPlacement(placement);
        if (rowSize_ > size + 3 && vertical == 'M') {
          Append(o, "\\up%d ", (rowSize_ - size) / 2 - 3);
        } else if (rowSize_ > size + 3 && vertical == 'T') {
          Append(o, "\\up%d ", rowSize_ - size - 3);
        } else {
          o += "\\up0 ";
        }
        o += picture;
        if (a.attributes & 2) o += "\\ul ";
        if (a.attributes & 8) o += "\\strike ";
        AppendColouredText(o, Placed(text, c, HorizontalPlacement(placement), size), textColour);
        if (a.attributes & 8) o += "\\strike0";
        if (a.attributes & 2) o += "\\ulnone";
        if (static_cast<int>(c) >= stopColumns_) {
          const int pad = std::min(widths_[std::min(c, widths_.size() - 1)] / cw_ - static_cast<int>(text.size()), kMaxLeaderBlanks);
          if (pad > 0) o.append(static_cast<size_t>(pad), ' ');
        }
      }
      // Free text, and rows outside the table, run on over the empty columns that
      // follow a text longer than its column.
      size_t covered = 0;
      if ((row.freeText || outside) && cw_ > 20 && !text.empty() && c < widths_.size()) {
        int64_t room = widths_[c] + cw_ + 30;
        const int64_t need = int64_t{static_cast<int>(text.size())} * (5 * std::max(a.size > 0 ? a.size : h_, 1) + 10);
        while (room < need && c + covered + 1 < n && c + covered + 1 < widths_.size() &&
               static_cast<int>(c + covered + 1) < stopColumns_ &&
               (c + covered + 1 >= texts.size() || texts[c + covered + 1].empty())) {
          ++covered;
          room += widths_[c + covered] + cw_ + 30;
        }
      }
      c += covered;
      if (c + 1 < n && static_cast<int>(c + 1) < stopColumns_ + 1) o += "\\tab";
    }
    // The right rule of a box that ends in the last column has a slot of its own.
    if (!grid_.Empty() && static_cast<int>(n) <= stopColumns_) {
      const CellRules last = BoxRules(gridRow, static_cast<int>(n));
      if (last.right > 0) Append(o, "\\tab\\highlight%d\\fs2  ", last.rightColour > 0 ? last.rightColour : 1);
    }
    if (bold) o += "\\b0";
    if (italic) o += "\\i0";
    o += "\\highlight0\\par\n";
  }

  // Cell text with the characters of the view's colour list in their own colour:
  // each between "\\cf%d " of its letter's colour and "\\cf%d " of the cell's. The
  // list holds at most 10 characters, each followed by its letter.
  void AppendColouredText(std::string& o, std::string_view text, int cellColour) const {
    const std::string_view list = in_.charColours.substr(0, 20);
    if (list.size() < 2) {
      AppendCellText(o, text);
      return;
    }
    size_t from = 0;
    for (size_t i = 0; i < text.size(); ++i) {
      const auto b = static_cast<unsigned char>(text[i]);
      if (IsLead(b) && i + 1 < text.size()) {
        ++i;
        continue;
      }
      int colour = -1;
      for (size_t k = 0; k + 1 < list.size(); k += 2) {
        if (list[k] == text[i]) {
          colour = ColourIndex(list[k + 1]);
          break;
        }
      }
      if (colour < 0) continue;
      AppendCellText(o, text.substr(from, i - from));
      Append(o, "\\cf%d ", colour);
      AppendCellText(o, text.substr(i, 1));
      Append(o, "\\cf%d ", cellColour);
      from = i + 1;
    }
    AppendCellText(o, text.substr(from));
  }

  // The objects of a grid row's cells (rows from 1), kept for four rows: a row and
  // its neighbours never share a place.
  const std::vector<int>& Owners(int row) const {
    auto& entry = owners_[static_cast<size_t>(row & 3)];
    if (entry.first != row) entry = {row, grid_.RowOwners(row, ncol_)};
    return entry.second;
  }
  CellRules BoxRules(int row, int column) const {
    return grid_.RulesFrom(Owners(row - 1), Owners(row), Owners(row + 1), column);
  }

  // A text box's attributes fill in what the column leaves unset.
  static TextAttributes FillFrom(TextAttributes a, const TextAttributes& box) {
    if (!a.textColour) a.textColour = box.textColour;
    if (!a.backColour) a.backColour = box.backColour;
    if (!a.size) a.size = box.size;
    a.attributes |= static_cast<uint8_t>(box.attributes & 0x0F);
    if (!(a.attributes & 0x70)) a.attributes |= static_cast<uint8_t>(box.attributes & 0x70);
    return a;
  }

  // A box's size in twips: its columns' widths with their gaps, its rows' lines.
  int BoxWidth(const SheetObject& object) const {
    int64_t w = 0;
    for (int c = object.firstColumn; c <= object.lastColumn && c <= ncol_; ++c) {
      w += widths_[static_cast<size_t>(c - 1)] + cw_ + 30;
    }
    return static_cast<int>(std::clamp<int64_t>(w, cw_, 31680));
  }
  int BoxHeight(const SheetObject& object) const {
    const int64_t rows = int64_t{object.lastRow} - object.firstRow + 1;
    return static_cast<int>(std::clamp<int64_t>(rows * lineHeight_, lineHeight_, 31680));
  }

  TextAttributes Merge(TextAttributes a) const {
    if (!a.textColour) a.textColour = sheetAttrs_.textColour;
    if (!a.backColour) a.backColour = sheetAttrs_.backColour;
    if (!a.size) a.size = sheetAttrs_.size;
    a.attributes |= static_cast<uint8_t>(sheetAttrs_.attributes & 0x0F);
    if (!(a.attributes & 0x70)) a.attributes |= static_cast<uint8_t>(sheetAttrs_.attributes & 0x70);
    return a;
  }

  uint8_t Placement(const DataRow& row, size_t c, bool applies) const {
    if (row.hasFormat && row.format.placement) return row.format.placement;
    if (applies && c < columns_.size() && columns_[c].placement) return columns_[c].placement;
    if (applies && c < columns_.size() && (columns_[c].numberForm & 0x7F) == 'c') return 'R';
    return sheetPlacement_;
  }

  // Horizontal placement with blanks, measured in characters of the column.
  std::string Placed(const std::string& text, size_t c, char horizontal, int size) const {
    if (horizontal == 'L') {
      const size_t first = text.find_first_not_of(' ');
      return first == std::string::npos ? std::string() : text.substr(first);
    }
    if (horizontal != 'R' && horizontal != 'C') return text;
    if (c >= widths_.size()) return text;
    const int charWidth = 5 * size + 10;
    int blanks = widths_[c] / std::max(charWidth, 1) - static_cast<int>(text.size());
    if (horizontal == 'C') blanks /= 2;
    if (blanks <= 0) return text;
    return std::string(static_cast<size_t>(std::min(blanks, kMaxLeaderBlanks)), ' ') + text;
  }

  const BuildInput& in_;
  BuildOutput& out_;
  const PagePlan* page_;
  int h_ = 21, cw_ = 115, font_ = 0, lineHeight_ = 240, rowSize_ = 21;
  int ncol_ = 0, stopColumns_ = 0;
  std::vector<int> widths_;
  std::vector<int> stops_;
  std::vector<ColumnFormat> columns_;
  std::vector<std::string> conditions_;
  ObjectGrid grid_{{}};
  mutable std::array<std::pair<int, std::vector<int>>, 4> owners_{};
  TextAttributes sheetAttrs_;
  uint8_t sheetForm_ = 0;
  uint8_t sheetPlacement_ = 0;
};

}  // namespace

std::string SheetRtfHeader(COLORREF background) {
  std::string o =
      "{\\rtf1\\ansi\\ansicpg932\\deff0\\deflang1033\\deflangfe1041{\\fonttbl{\\f0\\fmodern\\fprq1\\fcharset128 "
      "\x82\x6C\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4E;}"
      "{\\f1\\fmodern\\fprq2\\fcharset128 \x82\x6C\x82\x72 \x96\xBE\x92\xA9;}{\\f2\\fmodern\\fprq3\\fcharset128 "
      "\x82\x6C\x82\x72 \x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E;}"
      "{\\f3\\fmodern\\fprq4\\fcharset128 \x82\x6C\x82\x72 \x82\x6F\x96\xBE\x92\xA9;}}\n";
  o += "{\\colortbl ;\\red1\\green0\\blue0";
  char buf[64];
  for (const auto& c : kColours) {
    std::snprintf(buf, sizeof buf, ";\\red%d\\green%d\\blue%d", c[0], c[1], c[2]);
    o += buf;
  }
  std::snprintf(buf, sizeof buf, ";\\red%d\\green%d\\blue%d", static_cast<int>(background & 0xFF),
                static_cast<int>((background >> 8) & 0xFF), static_cast<int>((background >> 16) & 0xFF));
  o += buf;
  o += ";}\n\\viewkind4\\uc1";
  return o;
}

int DisplayPageRows(int pageRows, int columns) {
  return std::clamp(kMaxPageCells / std::max(columns, 1), 1, std::max(pageRows, 1));
}

BuildOutput BuildSheetRtfText(const BuildInput& in) {
  BuildOutput out;
  out.rtf = SheetRtfHeader(in.background);
  const std::vector<Row> lines = SplitLines(in.cells);
  const bool workbook = in.cells.starts_with("!*");
  const std::vector<Sheet> sheets = ReadSheets(lines, workbook);
  PagePlan plan;
  if (in.tableTextMode) {
    plan = PreScan(lines, in.pageStart, in.pageRows);
    out.rowsTotal = plan.total;
    out.pageStartOffset = static_cast<int>(std::min<size_t>(plan.startOffset, INT32_MAX));
    out.pageEndOffset = static_cast<int>(std::min<size_t>(std::min(plan.endOffset, in.cells.size()), INT32_MAX));
  }
  Writer writer(in, out, in.tableTextMode ? &plan : nullptr);
  int h = in.number > 0 ? in.number / 5 : 21;
  bool firstShown = true;
  for (size_t k = 0; k < sheets.size(); ++k) {
    if (out.sheets >= kMaxSheets) {
      out.sheetsCut = true;
      break;
    }
    const Sheet& s = sheets[k];
    if (s.settingsSeen) {
      if (s.settings.paper) out.paper = s.settings.paper;
      out.scale = s.settings.scale;
      for (int m = 0; m < 4; ++m) {
        if (s.settings.margins[m] != -99) {
          out.margins[m] = s.settings.margins[m];
          out.marginsSet = true;
        }
      }
    }
    out.sheetStartOffsets.push_back(static_cast<int>(s.headOffset));
    // In table text mode only the sheets from the page's own to the page's end show.
    const size_t next = k + 1 < sheets.size() ? sheets[k + 1].headOffset : SIZE_MAX;
    const bool shown = !in.tableTextMode || (next > plan.sheetOffset && plan.CountAt(s.headOffset) <= plan.last);
    if (shown) {
      writer.Sheet(s, firstShown);
      if (s.settings.format.attrs.size > 0 && firstShown) h = s.settings.format.attrs.size;
      firstShown = false;
    }
    ++out.sheets;
    if (writer.Cut()) break;
  }
  char end[64];
  std::snprintf(end, sizeof end, "\\pard\\sl-240\\fs%d \\par\n}", std::clamp(h, 2, 400));
  out.rtf += end;
  return out;
}

}  // namespace sheet

#include "richtext/sheet/SheetRead.h"

namespace sheet {

bool SheetText::ColumnApplies(size_t c, std::string_view raw) const {
  return c >= conditions.size() || conditions[c].empty() || ConditionHolds(conditions[c], raw);
}

// The same reading as the sheet RTF's, and the number forms as its writer applies
// them: not to the first row nor to free text, only to a text that ends in a blank,
// a digit or a sign.
std::vector<SheetText> ReadCellSheets(std::string_view cells) {
  const std::vector<Row> lines = SplitLines(cells);
  const std::vector<Sheet> sheets = ReadSheets(lines, cells.starts_with("!*"));
  std::vector<SheetText> result;
  result.reserve(sheets.size());
  for (const Sheet& s : sheets) {
    SheetText t;
    t.settings = s.settings;
    t.settingsSeen = s.settingsSeen;
    t.columns = s.columns;
    t.conditions = s.conditions;
    t.widthLine = s.settings.kind == 'S' && !s.rows.empty();
    const bool anyStart = std::any_of(s.rows.begin(), s.rows.end(), [](const DataRow& d) { return d.hasFormat && d.format.tableStart; });
    bool in = !anyStart;
    t.rows.reserve(s.rows.size());
    for (size_t r = 0; r < s.rows.size(); ++r) {
      const DataRow& d = s.rows[r];
      SheetRowText row;
      const std::vector<std::string_view> cells = CellsOf(d);
      row.cells.assign(cells.begin(), cells.end());
      row.texts = row.cells;
      row.format = d.format;
      row.hasFormat = d.hasFormat;
      row.freeText = d.freeText;
      if (d.hasFormat && d.format.tableStart) in = true;
      if (d.hasFormat && d.format.tableEnd) in = false;
      row.outside = !in;
      for (size_t c = 0; c < row.texts.size() && r > 0 && !d.freeText; ++c) {
        std::string& text = row.texts[c];
        if (text.empty()) continue;
        const char last = text.back();
        if (!(last == ' ' || (last >= '0' && last <= '9') || (last >= 0x21 && last <= 0x2F))) continue;
        uint8_t form = d.format.numberForm;
        if (!form && c < s.columns.size() && t.ColumnApplies(c, row.cells[c])) form = s.columns[c].numberForm;
        if (!form) form = s.settings.format.numberForm;
        if (form) text = ApplyNumberForm(text, form);
      }
      t.rows.push_back(std::move(row));
    }
    result.push_back(std::move(t));
  }
  return result;
}

}  // namespace sheet
