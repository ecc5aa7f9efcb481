// Sheet output: the spreadsheet cell tables laid out as display text. The table form
// writes one block per sheet (a header with the sheet's name, rows with their cell
// texts wrapped inside fixed-width columns, numbers right-aligned, a text running on
// into the empty columns after it, gap markers for skipped rows); the cell-list form
// (column-width modes 10 to 13) writes the cells separated by 0x06 and line ends for
// the table view. Cells are ordered by a 64-bit key (sheet, row, column); the output
// stops before the output volume, never inside a double-byte character. Tables of
// more than 1,000 cells show their progress and take Esc, Up and Down.
#include <algorithm>
#include <array>
#include <cstring>
#include <numeric>
#include <span>
#include <string_view>
#include <utility>

#include "app/Globals.h"
#include "app/FileKind.h"
#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "convert/ConvertState.h"
#include "convert/charmap/CharMode.h"
#include "convert/dump/DumpCall.h"
#include "convert/office/xls/ColumnWidthMode.h"
#include "convert/office/xls/SheetTables.h"
#include "convert/office/xls/WorkbookWalk.h"
#include "frame/MainFrame.h"
#include "platform/text/CodePage.h"
#include "platform/os/WriteAhead.h"

namespace {

constexpr const char* kDashes63 = "---------------------------------------------------------------";
constexpr int kMaxColumns = 256;
// Cells whose texts are read from the pool at a time: their slots (one cache line
// used of each) stay in the first-level cache until the rows are written.
constexpr size_t kGatherBlock = 64;

int64_t SortKey(int sheet, int row, int column) {
  return (static_cast<int64_t>(sheet) << 40) + (static_cast<int64_t>(row) << 12) + column;
}

bool IsNumberCode(int code) { return code >= 9001 && code <= 9099; }

// A laid-out part of one row: a column group (a cell and the empty columns its text
// runs on into) with its lines.
struct ColumnGroup {
  int column = 0;   // first column
  int span = 1;     // columns taken
  int width = 0;    // characters inside, separators of the spanned columns included
  bool number = false;
  size_t lineCount = 1;
  std::string_view one;                 // the line of a cell that fits on one line
  std::vector<std::string_view> lines;  // the lines of a wrapped cell (views into its text)
  std::string_view Line(size_t l) const {
    if (l >= lineCount) return {};
    return lines.empty() ? one : lines[l];
  }
};

// Breaks text into lines of at most width bytes, at 0x0B and never inside a character.
// The lines are views into text.
void Wrap(std::string_view text, int width, size_t maxLines, std::vector<std::string_view>& lines) {
  lines.clear();
  // Most cells fit on one line.
  if (static_cast<int>(text.size()) <= width && maxLines >= 1 && text.find('\x0B') == std::string_view::npos) {
    lines.push_back(text);
    return;
  }
  size_t start = 0, length = 0;  // the line being made: length bytes from start
  for (size_t i = 0; i < text.size() && lines.size() < maxLines;) {
    const auto c = static_cast<uint8_t>(text[i]);
    if (c == 0x0B) {
      lines.push_back(text.substr(start, length));
      ++i;
      start = i;
      length = 0;
      continue;
    }
    const size_t w = IsSjisLeadByte(c) && i + 1 < text.size() ? 2 : 1;
    if (static_cast<int>(length + w) > width && length != 0) {
      lines.push_back(text.substr(start, length));
      start = i;
      length = 0;
    }
    length += w;
    i += w;
  }
  if ((length != 0 || lines.empty()) && lines.size() < maxLines) lines.push_back(text.substr(start, length));
}

// The cells and text boxes in output order. Cells are read in order, so the order
// is mostly the cell list itself, then the boxes: a list of indexes is made only
// when something is out of order.
class CellOrder {
 public:
  CellOrder(int cells, int boxes, int firstBox)
      : cells_(static_cast<size_t>(std::max(cells, 0))), count_(cells_ + static_cast<size_t>(std::max(boxes, 0))), firstBox_(firstBox) {}
  int operator[](size_t k) const {
    if (!list_.empty()) return list_[k];
    return k < cells_ ? static_cast<int>(k) : firstBox_ + static_cast<int>(k - cells_);
  }
  size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  void Set(std::vector<int> list) { list_ = std::move(list); }

 private:
  size_t cells_;
  size_t count_;
  int firstBox_;
  std::vector<int> list_;
};

class SheetWriter {
 public:
  SheetWriter(CQelDoc& doc, DumpCall& call, SheetTables& tables, const SheetSummary& summary)
      : doc_(doc), call_(call), t_(tables), s_(summary) {}
  void Run();

 private:
  CellOrder SortedCells() const;
  void MeasureColumns(const CellOrder& order, size_t from, size_t end, int columns);
  void WriteSheetHeading(int sheet, bool firstSheet);
  size_t GatherRow(const CellOrder& order, size_t from, size_t end, int columns);
  bool WriteFittingRow(const CellOrder& order, size_t from, size_t rowEnd, int columns, int gap);
  void WriteRowGap(int gap);
  bool WriteSheetRows(const CellOrder& order, size_t from, size_t end, int columns);
  void WriteEnding(bool stopped);
  std::string SheetName(int sheet);
  void WriteCellList(const CellOrder& order);
  void SetSheetWidths(int sheet, int columns, bool firstSheet);
  void MakeBlankLine(int columns);
  void WriteRow(int columns);
  bool Room(size_t n) const { return doc_.m_nConvPos + static_cast<int64_t>(n) < doc_.m_nOutDataLimit - 1000; }
  bool PollKeys(int done, int total);
  int ShownSheet(int sheet) const { return sheet + 1; }

  CQelDoc& doc_;
  DumpCall& call_;
  SheetTables& t_;
  const SheetSummary& s_;
  std::vector<int> widths_;
  std::vector<int> autoWidths_;
  // The current row by column: its cell texts (views into the gathered slots, cut in
  // place), whether a cell is a number, whether it has an in-cell line break; only
  // the columns in rowColumns_ are set.
  std::vector<std::string_view> rowText_;
  std::vector<uint8_t> rowNumber_;
  std::vector<uint8_t> rowBreak_;
  std::vector<int> rowColumns_;
  std::vector<ColumnGroup> groups_;    // the current row's column groups (storage kept between rows)
  bool outputFull_ = false;
  std::string scratch_;
  std::vector<char> line_;  // one output line of a row
  // The sheet's line of empty columns (blanks, separators, line end) and where each
  // column starts in it: a row's line is this with its cells written in.
  std::vector<char> blankLine_;
  std::vector<size_t> columnAt_;
  // Cell texts read from the pool a block of cells at a time (order positions
  // gatherAt_ to gatherEnd_, whole rows), each of at most slot_ bytes (the cell
  // limit, at most 520 bytes) in a slot of stride_ bytes (room for the cut's "..").
  int slot_ = 0;
  int stride_ = 0;
  void GatherTexts(size_t from, size_t count, const CellOrder& order);
  std::vector<char> gathered_;
  std::vector<int> gatherEntries_;
  std::vector<int> gatherLengths_;
  std::vector<uint8_t> gatherBreaks_;
  size_t gatherAt_ = 0, gatherEnd_ = 0;
};

void SheetWriter::GatherTexts(size_t from, size_t count, const CellOrder& order) {
  slot_ = std::clamp(t_.CharLimit(), 1, 520);
  stride_ = slot_ + 2;
  gathered_.resize(count * static_cast<size_t>(stride_));
  gatherEntries_.resize(count);
  gatherLengths_.resize(count);
  gatherBreaks_.resize(count);
  const int limit = t_.Limit();
  const int* const entryOf = t_.Fields(3);
  for (size_t j = 0; j < count; ++j) {
    const int i = order[from + j];
    gatherEntries_[j] = i >= 0 && i < limit ? entryOf[i] : t_.Entry(i);
  }
  for (size_t j = 0; j < count; j += SheetTables::kGatherMax) {
    const int n = static_cast<int>(std::min<size_t>(count - j, SheetTables::kGatherMax));
    t_.Gather(gatherEntries_.data() + j, n, gathered_.data() + j * static_cast<size_t>(stride_), stride_, slot_,
              gatherLengths_.data() + j, gatherBreaks_.data() + j);
  }
  gatherAt_ = from;
  gatherEnd_ = from + count;
}

std::string SheetWriter::SheetName(int sheet) {
  if (sheet < 0 || sheet >= static_cast<int>(call_.names.size())) return "";
  const auto& entry = call_.names[sheet];
  const size_t n = strnlen(entry.data(), entry.size());
  const auto* b = reinterpret_cast<const uint8_t*>(entry.data());
  if (n < 4 || b[0] < 0xE0 || b[3] < 0xE0) return std::string(entry.data(), n);
  // A UTF-8 name: its three-byte sequences to Shift-JIS, within the entry.
  std::string out;
  size_t i = 0;
  while (i < n) {
    if (b[i] >= 0xC0 && i + 2 < n) {
      const int w = doc_.ConvertCharToSjis(b[i], b[i + 1], b[i + 2], kCharUtf8, 0);
      if (w > 0) {
        out.append(doc_.Convert().m_szSjisScratch.data(), static_cast<size_t>(std::min(w, 2)));
        i += 3;
        continue;
      }
    }
    out.push_back(static_cast<char>(b[i++]));
  }
  return out;
}

// Keys: Up and Down stop the table; Esc asks whether to stop.
bool SheetWriter::PollKeys(int done, int total) {
  if (doc_.m_bQuickHead) return false;
  char status[96];
  std::snprintf(status, sizeof status, "Making Table  %d/%d   (Push ESC to stop, Up/Down to skip)", done / 256, total / 256);
  if (g_pStatusBar) g_pStatusBar->SetPaneText(0, status, true);
  if (!g_pMainFrame) return false;
  const int key = g_pMainFrame->Ui().PopKeyDown();
  if (key == plat::VK_UP || key == plat::VK_DOWN) return true;
  if (key == plat::VK_ESCAPE) {
    g_pMainFrame->Ui().PushKeyDown(key);
    return g_pMainFrame->CheckUserAbort() == 1;
  }
  return false;
}

void SheetWriter::WriteCellList(const CellOrder& order) {
  const int mode = doc_.m_nColumnWidthMode;
  doc_.m_nConvPos = 0;
  auto dashes = [&](const std::string& name) {
    const int n = std::max(79 - static_cast<int>(name.size()), 0);
    doc_.ConvAppend(std::string(static_cast<size_t>(n), '-'));
  };
  if (mode == kWidthsCellListLined) {
    const std::string name = SheetName(0);
    doc_.ConvAppend("!*" + name);
    dashes(name);
    doc_.ConvAppend("\r\n");
  }
  int prevSheet = order.empty() ? 0 : t_.Sheet(order[0]);
  int prevRow = 0, prevColumn = 0;
  for (size_t k = 0; k < order.size(); ++k) {
    const int i = order[k];
    const int sheet = t_.Sheet(i);
    if (sheet > prevSheet) {
      const std::string name = SheetName(sheet);
      doc_.ConvPrintf("\r\n!*[Sheet%2d]", ShownSheet(sheet));
      doc_.ConvAppend(name);
      if (mode == kWidthsCellListLined) dashes(name);
      doc_.ConvAppend("\r\n");
      prevSheet = sheet;
      prevRow = prevColumn = 0;
    }
    const int row = t_.Row(i), column = t_.Column(i);
    if (row > prevRow) prevColumn = 0;
    for (; prevRow < row && doc_.m_nConvPos < doc_.m_nOutDataLimit; ++prevRow) doc_.ConvAppend("\r\n");
    for (; prevColumn < column && doc_.m_nConvPos < doc_.m_nOutDataLimit; ++prevColumn) doc_.ConvAppend("\x06");
    if (doc_.m_nConvPos >= doc_.m_nOutDataLimit) break;
    const int entry = t_.Entry(i);
    t_.Text(entry, scratch_);
    std::string out;
    if (IsNumberCode(t_.Code(entry))) {
      out = scratch_.size() && scratch_[0] == ' ' ? scratch_.substr(1) : scratch_;
    } else {
      for (size_t k = 0; k < scratch_.size(); ++k) {
        const auto c = static_cast<uint8_t>(scratch_[k]);
        if (IsSjisLeadByte(c) && k + 1 < scratch_.size()) {
          out.append(scratch_, k++, 2);
        } else if (c == ',') {
          out.push_back(static_cast<char>(0xA4));
        } else if (c >= 1 && c <= 31) {
          out.push_back(';');
        } else if (c == '"' && k > 0 && !(k + 1 == scratch_.size() && scratch_[0] == '"')) {
          out.push_back('\'');
        } else {
          out.push_back(static_cast<char>(c));
        }
      }
    }
    doc_.ConvAppend(out);
  }
  if (mode == kWidthsCellListLined) {
    doc_.ConvAppend("\n[Sheet end]");
    doc_.ConvAppend(std::string(77, '-'));
  }
  // The sheet text ends with a NUL of its own, inside the text, where it fits.
  DisplayWriter out = doc_.ConvWriter();
  if (!out.Full()) out.Put('\0');
  doc_.m_nFileKind = kKindCsv;
}

void SheetWriter::SetSheetWidths(int sheet, int columns, bool firstSheet) {
  widths_.assign(static_cast<size_t>(columns), 8);
  const int mode = doc_.m_nColumnWidthMode;
  if (mode >= kWidthsAuto) {
    int cap;
    if (firstSheet && columns < 20) cap = 2 * (100 / (columns + 1)) + 1;
    else if (!firstSheet && columns + 2 < 20) cap = 200 / (columns + 3);
    else cap = (firstSheet ? columns : columns + 2) >= 60 ? 8 : 13;
    if (mode == kWidthsAutoWide) cap = 150;
    for (int c = 0; c < columns; ++c) widths_[c] = std::clamp(autoWidths_[c], 2, std::max(cap, 2));
    return;
  }
  // The file's widths: the sheet's own row, else the last sheet that had one.
  int row = std::min(sheet + 1, 255);
  while (row > 0 && doc_.Convert().m_abSheetColumns[row][0] == 0) --row;
  const auto& own = doc_.Convert().m_abSheetColumns[row];
  for (int c = 0; c < columns; ++c) widths_[c] = row > 0 && c + 1 < static_cast<int>(own.size()) ? own[c + 1] : 8;
}


char Separator(int tableRules) { return tableRules == 1 ? '|' : tableRules == 2 ? '\x08' : ' '; }

void SheetWriter::MakeBlankLine(int columns) {
  const char separator = Separator(call_.bTableRules);
  blankLine_.clear();
  columnAt_.assign(static_cast<size_t>(columns), 0);
  for (int c = 0; c < columns; ++c) {
    columnAt_[c] = blankLine_.size();
    if (widths_[c] <= 0) continue;
    blankLine_.insert(blankLine_.end(), static_cast<size_t>(widths_[c]), ' ');
    blankLine_.push_back(separator);
  }
  blankLine_.push_back('\r');
  blankLine_.push_back('\n');
}

void SheetWriter::WriteRow(int columns) {
  const size_t maxLines = static_cast<size_t>(std::max((call_.tableRowsR - 10) / (columns + 2), 1));
  size_t groupCount = 0;
  size_t lines = 1;
  size_t textBytes = 0;
  for (const int c : rowColumns_) {
    const std::string_view text = rowText_[c];
    if (text.empty() || widths_[c] <= 0) continue;
    if (groupCount == groups_.size()) groups_.emplace_back();
    ColumnGroup& p = groups_[groupCount++];
    p.column = c;
    p.span = 1;
    p.number = rowNumber_[c] != 0;
    p.width = widths_[c];
    // A text wider than its column runs on into the empty columns after it.
    if (!p.number && !rowBreak_[c]) {
      while (static_cast<int>(text.size()) > p.width && c + p.span < columns && rowText_[c + p.span].empty() &&
             widths_[c + p.span] > 0) {
        p.width += widths_[c + p.span] + 1;
        ++p.span;
      }
    }
    if (static_cast<int>(text.size()) <= p.width && !rowBreak_[c]) {
      p.lines.clear();
      p.one = text;
      p.lineCount = 1;
    } else {
      Wrap(text, p.width, maxLines, p.lines);
      p.lineCount = p.lines.size();
    }
    lines = std::max(lines, p.lineCount);
    textBytes += text.size();
  }
  const std::span<const ColumnGroup> groups(groups_.data(), groupCount);
  const char separator = Separator(call_.bTableRules);
  // A line holds the blank line's columns and separators and line end, and a cell
  // wider than its group (a character wider than its column).
  const size_t most = blankLine_.size() + textBytes;
  if (line_.size() < most) line_.resize(most);
  for (size_t l = 0; l < lines && !outputFull_; ++l) {
    char* const start = line_.data();
    char* out = start;
    // Cells that fit their groups (all but a double-byte character in a one-byte
    // column) are written into the sheet's blank line.
    bool fit = true;
    for (const ColumnGroup& p : groups) fit = fit && static_cast<int>(p.Line(l).size()) <= p.width;
    if (fit) {
      std::memcpy(start, blankLine_.data(), blankLine_.size());
      for (const ColumnGroup& p : groups) {
        char* at = start + columnAt_[p.column];
        if (p.span > 1) std::memset(at, ' ', static_cast<size_t>(p.width));  // over the separators inside
        const std::string_view cell = p.Line(l);
        if (cell.empty()) continue;
        std::memcpy(p.number ? at + (p.width - static_cast<int>(cell.size())) : at, cell.data(), cell.size());
      }
      const size_t n = blankLine_.size();
      if (!Room(n)) {
        outputFull_ = true;
        break;
      }
      doc_.ConvAppend(std::string_view(start, n));
      continue;
    }
    size_t next = 0;
    for (int c = 0; c < columns;) {
      if (widths_[c] <= 0) {
        ++c;
        continue;
      }
      if (next < groups.size() && groups[next].column == c) {
        const ColumnGroup& p = groups[next++];
        const std::string_view cell = p.Line(l);
        const size_t pad = static_cast<size_t>(std::max(p.width - static_cast<int>(cell.size()), 0));
        if (p.number) out = static_cast<char*>(std::memset(out, ' ', pad)) + pad;
        if (!cell.empty()) out = static_cast<char*>(std::memcpy(out, cell.data(), cell.size())) + cell.size();
        if (!p.number) out = static_cast<char*>(std::memset(out, ' ', pad)) + pad;
        c += p.span;
      } else {
        const auto blank = static_cast<size_t>(widths_[c]);
        out = static_cast<char*>(std::memset(out, ' ', blank)) + blank;
        ++c;
      }
      *out++ = separator;
    }
    *out++ = '\r';
    *out++ = '\n';
    const auto n = static_cast<size_t>(out - start);
    if (!Room(n)) {
      outputFull_ = true;
      break;
    }
    doc_.ConvAppend(std::string_view(start, n));
  }
}

// The cells in sheet, row and column order. Cells come in order but for the text
// boxes: they are sorted by keys computed once, and only when out of order (the key
// table is as large as the cell list).
CellOrder SheetWriter::SortedCells() const {
  const int boxes = std::clamp(s_.boxes, 0, SheetTables::kMaxBoxes);
  CellOrder order(s_.stored, boxes, t_.Capacity());
  auto keyOf = [&](int i) { return SortKey(t_.Sheet(i), t_.Row(i), t_.Column(i)); };
  bool inOrder = true;
  int64_t previous = order.empty() ? 0 : keyOf(order[0]);
  for (size_t k = 1; k < order.size() && inOrder; ++k) {
    const int64_t key = keyOf(order[k]);
    inOrder = previous <= key;
    previous = key;
  }
  if (inOrder) return order;
  std::vector<int64_t> keys(order.size());
  for (size_t k = 0; k < order.size(); ++k) keys[k] = keyOf(order[k]);
  std::vector<size_t> by(order.size());
  std::iota(by.begin(), by.end(), size_t{0});
  std::stable_sort(by.begin(), by.end(), [&](size_t a, size_t b) { return keys[a] < keys[b]; });
  std::vector<int> sorted(order.size());
  for (size_t k = 0; k < by.size(); ++k) sorted[k] = order[by[k]];
  order.Set(std::move(sorted));
  return order;
}

// The widest text of each column of one sheet (cells from to end of the order).
void SheetWriter::MeasureColumns(const CellOrder& order, size_t from, size_t end, int columns) {
  autoWidths_.assign(static_cast<size_t>(columns), 2);
  for (size_t k = from; k < end; ++k) {
    const int c = std::min(t_.Column(order[k]), columns - 1);
    const int entry = t_.Entry(order[k]);
    int w = t_.Widest(entry);
    if (s_.xlsx) {
      t_.Text(entry, scratch_);
      w = static_cast<int>(scratch_.size()) + 1;
    }
    autoWidths_[c] = std::max(autoWidths_[c], std::min(w, t_.CharLimit()));
  }
}

void SheetWriter::WriteSheetHeading(int sheet, bool firstSheet) {
  const std::string name = SheetName(sheet);
  if (firstSheet) {
    doc_.ConvAppend(sheet == 0 ? "[Sheet 1]" : "");
    if (sheet != 0) doc_.ConvPrintf("[Sheet%2d]", ShownSheet(sheet));
    doc_.ConvAppend(name + kDashes63 + "\r\n");
  } else {
    doc_.ConvPrintf("\r\n\r\n[Sheet%2d]", ShownSheet(sheet));
    doc_.ConvAppend(name + kDashes63 + "\r\n \r\n");
  }
}

// The texts of one row's cells (order positions from up to the next row or end) by
// column, each cut to the cell width; the position after the row.
size_t SheetWriter::GatherRow(const CellOrder& order, size_t from, size_t end, int columns) {
  const int cut = std::max(t_.CharLimit() - 2, 1);
  const int row = t_.Row(order[from]);
  if (rowText_.size() != static_cast<size_t>(columns)) {
    rowText_.assign(static_cast<size_t>(columns), std::string_view());
    rowNumber_.assign(static_cast<size_t>(columns), 0);
    rowBreak_.assign(static_cast<size_t>(columns), 0);
  } else {
    for (const int c : rowColumns_) rowText_[c] = std::string_view();
  }
  rowColumns_.clear();
  size_t rowEnd = from;
  while (rowEnd < end && t_.Row(order[rowEnd]) == row) ++rowEnd;
  // The whole row in one block: its texts stay in place until it is written.
  if (from < gatherAt_ || rowEnd > gatherEnd_) {
    GatherTexts(from, std::max(rowEnd - from, std::min<size_t>(end - from, kGatherBlock)), order);
  }
  for (size_t m = from; m < rowEnd; ++m) {
    const int c = std::min(t_.Column(order[m]), columns - 1);
    const size_t slot = m - gatherAt_;
    const int entry = gatherEntries_[slot];
    char* const text = gathered_.data() + slot * static_cast<size_t>(stride_);
    size_t size = static_cast<size_t>(gatherLengths_[slot]);
    bool lineBreak = gatherBreaks_[slot] != 0;
    if (size > 0 && (text[0] == 0x1E || text[0] == 0x1F)) text[0] = ' ';
    // Cut to the cell width with ".." (the slot has room for it).
    if (static_cast<int>(size) > cut) {
      size_t n = 0;
      while (n < size) {
        const size_t w = IsSjisLeadByte(static_cast<uint8_t>(text[n])) ? 2 : 1;
        if (static_cast<int>(n + w) > cut) break;
        n += w;
      }
      text[n] = '.';
      text[n + 1] = '.';
      size = n + 2;
      lineBreak = lineBreak && std::memchr(text, '\x0B', n) != nullptr;
    }
    if (rowText_[c].empty() && size > 0) rowColumns_.push_back(c);
    rowText_[c] = std::string_view(text, size);
    rowNumber_[c] = IsNumberCode(t_.Code(entry)) ? 1 : 0;
    rowBreak_[c] = lineBreak ? 1 : 0;
  }
  // Columns in order, each once (a column emptied and set again is listed twice).
  if (!std::is_sorted(rowColumns_.begin(), rowColumns_.end())) std::sort(rowColumns_.begin(), rowColumns_.end());
  rowColumns_.erase(std::unique(rowColumns_.begin(), rowColumns_.end()), rowColumns_.end());
  return rowEnd;
}

// The usual row: every cell, each in a column of its own, fits its column on one
// line (no cut, no in-cell break, no run into the next columns). Its line is the
// sheet's blank line with the texts written in, as WriteRow makes it, written after
// the gap before it. False, with nothing written, for any other row: GatherRow and
// WriteRow lay it out. The row's texts are gathered (order positions from to rowEnd).
bool SheetWriter::WriteFittingRow(const CellOrder& order, size_t from, size_t rowEnd, int columns, int gap) {
  const int cut = std::max(t_.CharLimit() - 2, 1);
  const size_t n = blankLine_.size();
  if (line_.size() < n) line_.resize(n);
  char* const start = line_.data();
  std::memcpy(start, blankLine_.data(), n);
  // Tables and buffers by local pointers: the byte writes below would otherwise have
  // them read again from their owners for every cell.
  const int limit = t_.Limit();
  const int* const columnOf = t_.Fields(2);
  const int* const codeOf = t_.Fields(0);
  const int* const widths = widths_.data();
  const size_t* const columnAt = columnAt_.data();
  const int* const entries = gatherEntries_.data();
  const int* const lengths = gatherLengths_.data();
  const uint8_t* const breaks = gatherBreaks_.data();
  char* const gathered = gathered_.data();
  const size_t stride = static_cast<size_t>(stride_);
  const size_t first = gatherAt_;
  int previous = -1;
  for (size_t m = from; m < rowEnd; ++m) {
    const int i = order[m];
    const int c = std::min(i >= 0 && i < limit ? columnOf[i] : t_.Column(i), columns - 1);
    if (c <= previous) return false;
    previous = c;
    const size_t slot = m - first;
    const int size = lengths[slot];
    if (size == 0) continue;
    if (breaks[slot] != 0 || size > cut) return false;
    const int width = widths[c];
    if (width <= 0) continue;
    if (size > width) return false;
    char* const text = gathered + slot * stride;
    if (text[0] == 0x1E || text[0] == 0x1F) text[0] = ' ';
    char* const at = start + columnAt[c];
    const int entry = entries[slot];
    const bool number = IsNumberCode(entry >= 0 && entry < limit ? codeOf[entry] : t_.Code(entry));
    std::memcpy(number ? at + (width - size) : at, text, static_cast<size_t>(size));
  }
  WriteRowGap(gap);
  if (!Room(n)) {
    outputFull_ = true;
    return true;
  }
  doc_.ConvAppend(std::string_view(start, n));
  return true;
}

// Empty rows between two written ones: up to nine as blank lines, more as one note.
void SheetWriter::WriteRowGap(int gap) {
  if (gap >= 2 && gap <= 10) {
    for (int g = 1; g < gap && Room(2); ++g) doc_.ConvAppend("\r\n");
  } else if (gap >= 11 && gap <= 255) {
    doc_.ConvPrintf("\r\n#-------------%3dLine -------------#\r\n\r\n", gap - 1);
  }
}

// One sheet's rows (order positions from to end); true when a key or the abort stopped it.
bool SheetWriter::WriteSheetRows(const CellOrder& order, size_t from, size_t end, int columns) {
  const int total = static_cast<int>(order.size());
  int prevRow = 0;
  for (size_t k = from; k < end && !outputFull_;) {
    const int row = t_.Row(order[k]);
    size_t m = k + 1;
    for (const int* const rowOf = t_.Fields(1); m < end; ++m) {
      const int i = order[m];
      if ((i >= 0 && i < t_.Limit() ? rowOf[i] : t_.Row(i)) != row) break;
    }
    if (k < gatherAt_ || m > gatherEnd_) GatherTexts(k, std::max(m - k, std::min<size_t>(end - k, kGatherBlock)), order);
    if (!WriteFittingRow(order, k, m, columns, row - prevRow)) {
      m = GatherRow(order, k, end, columns);
      WriteRowGap(row - prevRow);
      WriteRow(columns);
    }
    prevRow = row;
    // Progress, Esc and the skip keys every 256 cells of a large table.
    const int before = static_cast<int>(k), after = static_cast<int>(m);
    bool stopped = total > 1000 && before / 256 != after / 256 && PollKeys(after, total);
    if (doc_.m_bUserAbort) stopped = true;
    if (stopped) return true;
    k = m;
  }
  return false;
}

// The end of the table: the end line when it was written whole, then the notes.
void SheetWriter::WriteEnding(bool stopped) {
  if (!stopped && !outputFull_ && !s_.earlyStop) {
    if (s_.cells >= t_.Capacity()) {
      doc_.ConvAppend(LoadString(IDS_DATA_OMITTED));
    } else if (s_.xlsx && s_.lastSheet >= 256) {
      doc_.ConvPrintf("\r\n[sheet%d-]%s\r\n\r\n", 257, std::string(67, '-').c_str());
    } else {
      doc_.ConvAppend("\r\n[sheet end]" + std::string(67, '-') + "\r\n");
    }
    for (int k = 0; k < 11; ++k) doc_.ConvAppend("\r\n");
  }
  if (s_.stringsDropped && !outputFull_) doc_.ConvAppend(LoadString(IDS_DATA_OMITTED));
  if (outputFull_) {
    doc_.m_nConvPos = std::min(doc_.m_nConvPos, std::max(doc_.m_nOutDataLimit - 1000, 0));
    doc_.ConvAppend(LoadString(IDS_DATA_OMITTED));
    doc_.m_bPartialLoad = 1;
  }
  if (s_.cells >= t_.Capacity() || s_.entries >= t_.Capacity()) {
    std::string note = LoadString(IDS_TABLE_ITEMS_OVER);
    const size_t at = note.find("%d");
    if (at != std::string::npos) note.replace(at, 2, std::to_string(std::max(s_.cells, s_.entries) / 100 + 2));
    doc_.ConvAppend(note);
  }
}

// The sheets one after another: heading, column widths, rows; then the ending.
void SheetWriter::Run() {
  const CellOrder order = SortedCells();
  doc_.Convert().m_nRawLen = 0;
  doc_.Convert().m_nRawPos = 0;
  if (order.empty()) {
    if (!s_.earlyStop) doc_.ConvAppend(LoadString(IDS_SHEET_WITHOUT_CELLS));
    return;
  }
  if (doc_.m_nColumnWidthMode >= kWidthsCellList && doc_.m_nColumnWidthMode <= kWidthsCellListLast) {
    WriteCellList(order);
    return;
  }
  bool stopped = false;
  bool firstSheet = true;
  for (size_t i = 0; i < order.size() && !stopped && !outputFull_;) {
    const int sheet = t_.Sheet(order[i]);
    size_t end = i;
    int maxColumn = 0;
    size_t rows = 0;
    const int limit = t_.Limit();
    const int* const sheetOf = t_.Fields(4);
    const int* const rowOf = t_.Fields(1);
    const int* const columnOf = t_.Fields(2);
    for (int row = -1; end < order.size(); ++end) {
      const int k = order[end];
      const bool inside = k >= 0 && k < limit;
      if ((inside ? sheetOf[k] : t_.Sheet(k)) != sheet) break;
      maxColumn = std::max(maxColumn, inside ? columnOf[k] : t_.Column(k));
      const int r = inside ? rowOf[k] : t_.Row(k);
      if (r != row) ++rows;
      row = r;
    }
    const int columns = std::clamp(maxColumn + 1, 6, kMaxColumns);
    MeasureColumns(order, i, end, columns);
    WriteSheetHeading(sheet, firstSheet);
    SetSheetWidths(sheet, columns, firstSheet);
    MakeBlankLine(columns);
    // A line a row at least: the display text's pages for them are asked for at once.
    const int64_t room = std::min<int64_t>(doc_.m_nOutDataLimit, doc_.m_nConvCap) - doc_.m_nConvPos;
    if (doc_.m_pConvBuf && room > 0) {
      const auto lines = static_cast<int64_t>(std::min<size_t>(rows, static_cast<size_t>(INT32_MAX)));
      plat::WriteAhead(doc_.m_pConvBuf + doc_.m_nConvPos,
                       static_cast<size_t>(std::min<int64_t>(lines * static_cast<int64_t>(blankLine_.size()), room)));
    }
    firstSheet = false;
    stopped = WriteSheetRows(order, i, end, columns);
    i = end;
  }
  WriteEnding(stopped);
}

}  // namespace

void CQelDoc::WriteSheetTable(DumpCall& call, SheetTables& tables, const SheetSummary& summary) {
  SheetWriter(*this, call, tables, summary).Run();
}
