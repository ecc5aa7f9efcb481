// Tables of the word-processing layout: the cells of one row are composed side by
// side in a row buffer, each at a column from its width in twips, and the buffer is
// laid over the canvas when the row ends. A table inside a cell is noted there as
// " [TableN]" and laid out after the document.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "convert/ooxml/docx/DocxLayout.h"
#include "platform/text/CodePage.h"

namespace {

constexpr int kRowBufferLines = 400;
constexpr size_t kNestedTables = 50;
constexpr size_t kCellTextLimit = 20000;
constexpr int kCellLimit = 100;
constexpr int kDefaultCellTwips = 1440;  // a cell whose width no row gave
constexpr int kPageMarkRow = 50;

std::string BlankLine(bool rules) {
  std::string line(DocxLayout::kMaxColumn, ' ');
  if (rules) line[0] = '|';
  return line;
}

}  // namespace

void DocxLayout::TableStart(int& p) {
  if (tableDepth_ > 0) {
    // A nested table: find its end (counting further nesting) and note it.
    const int start = p - 1;
    // The next opening and closing tags are kept and looked for again only when the
    // walk passes them: every byte is searched once, however deep the nesting.
    int depth = 1;
    size_t q = static_cast<size_t>(p);
    size_t open = text_.find("<w:tbl", q), close = text_.find("</w:tbl>", q);
    while (depth > 0) {
      if (open != std::string_view::npos && open < q) open = text_.find("<w:tbl", q);
      if (close != std::string_view::npos && close < q) close = text_.find("</w:tbl>", q);
      if (close == std::string_view::npos) {
        q = text_.size();
        break;
      }
      const bool opens = open < close && open + 6 < text_.size() && (text_[open + 6] == ' ' || text_[open + 6] == '>');
      if (open < close) {
        depth += opens ? 1 : 0;
        q = open + 6;
      } else {
        --depth;
        q = close + 8;
      }
    }
    p = static_cast<int>(q);
    if (nested_.size() >= kNestedTables) return;
    nested_.emplace_back(start, static_cast<int>(q));
    char note[24];
    std::snprintf(note, sizeof note, " [Table%d]", static_cast<int>(nested_.size()));
    if (inCell_ && !cellText_.empty()) {
      AppendText(note);
    } else if (inBox_) {
      PutText(row_ + 2, col_ + 2, note);
    } else if (rowLines_ > 0) {
      std::string& line = rowBuf_[0];
      for (size_t k = 0; note[k] && static_cast<size_t>(composing_) + k < line.size(); ++k) line[composing_ + k] = note[k];
      rowUsed_ = std::max(rowUsed_, static_cast<size_t>(composing_) + std::strlen(note));
    }
    return;
  }
  if (!line_.empty() && !inBox_) FlushParagraph();
  tableDepth_ = 1;
  firstRow_ = true;
  frameTaken_ = false;
  frameReturn_ = false;
  cellWidths_.fill(0);
  rowLines_ = 0;
}

void DocxLayout::RowStart() {
  if (tableDepth_ == 0) return;
  if (rowBuf_.empty()) rowBuf_.resize(kRowBufferLines);
  rowBuf_[0] = BlankLine(rules_);
  rowLines_ = 1;
  composing_ = 2;
  rowUsed_ = 0;
  cellCount_ = 0;
  cumulative_ = 0;
  prevEdge_ = 0;
}

void DocxLayout::CellStart() {
  if (tableDepth_ == 0 || rowLines_ == 0) return;
  cellCount_ = std::min(cellCount_ + 1, kCellLimit);
  cellWidthNow_ = cellWidths_[static_cast<size_t>(cellCount_)];
  cellText_.clear();
  cellLineLen_ = 0;
  cellFirstParagraph_ = true;
  cellStart_ = composing_;
  inCell_ = true;
}

void DocxLayout::CellWidth(int p) {
  if (!inCell_) return;
  const int w = Find("w:w=\"", p, kXmlNumber);
  if (w > 0) {
    cellWidthNow_ = w;
    cellWidths_[static_cast<size_t>(cellCount_)] = w;
  }
}

int DocxLayout::CellColumns() const {
  const int64_t w = cellWidthNow_ > 0 ? cellWidthNow_ : kDefaultCellTwips;
  const int64_t edge = ((cumulative_ + w + 32) / 64) * 7 / 10;
  return static_cast<int>(std::clamp<int64_t>(edge - prevEdge_, 2, kMaxColumn));
}

void DocxLayout::AppendCellChar(std::string_view ch, int width) {
  if (cellText_.size() + ch.size() > kCellTextLimit) return;
  cellText_ += ch;
  cellLineLen_ += static_cast<int>(ch.size());
  if (width < 3 || cellLineLen_ <= width - 2) return;
  // The line is full. When it overflows, its last two bytes are read again on the
  // next line and a blank takes their place; a double-byte character is never
  // split (then only the last character goes, without the blank), nor is a
  // character after '>'. A '|' ends the line.
  std::string again;
  if (cellLineLen_ > width - 1) {
    const size_t lineStart = cellText_.size() - static_cast<size_t>(cellLineLen_);
    size_t prev = std::string::npos;  // where the character before the last starts
    for (size_t i = lineStart, n = cellText_.size() - ch.size(); i < n;) {
      prev = i;
      i += IsSjisLeadByte(static_cast<uint8_t>(cellText_[i])) && i + 1 < n ? 2 : 1;
    }
    const size_t prevLength = prev == std::string::npos ? 0 : cellText_.size() - ch.size() - prev;
    const bool afterBracket = prevLength == 1 && cellText_[prev] == '>';
    size_t from = cellText_.size() - ch.size();
    bool blank = ch.size() == 2 && !afterBracket;
    if (ch.size() == 1 && prevLength == 1 && !afterBracket) {
      from = prev;
      blank = true;
    }
    again = cellText_.substr(from);
    cellText_.resize(from);
    if (blank) cellText_ += ' ';
  }
  cellText_ += '|';
  EndCellLine();
  for (size_t i = 0; i < again.size();) {
    const size_t n = IsSjisLeadByte(static_cast<uint8_t>(again[i])) && i + 1 < again.size() ? 2 : 1;
    AppendCellChar(std::string_view(again).substr(i, n), width);
    i += n;
  }
}

void DocxLayout::EndCellLine() {
  if (cellText_.size() >= kCellTextLimit) return;
  cellText_ += '\n';
  cellLineLen_ = 0;
}

void DocxLayout::CellParagraph() {
  if (cellFirstParagraph_) {
    cellFirstParagraph_ = false;
    return;
  }
  EndCellLine();
}

void DocxLayout::CellEnd() {
  if (!inCell_) return;
  inCell_ = false;
  const int cols = CellColumns();
  int line = 0;
  size_t col = 0;
  for (size_t i = 0; i < cellText_.size() && line < kRowBufferLines; ++i) {
    if (cellText_[i] == '\n') {
      ++line;
      col = 0;
      if (line >= kRowBufferLines) {
        std::string& last = rowBuf_[kRowBufferLines - 1];
        for (size_t k = 0; k < 2 && cellStart_ + k < last.size(); ++k) last[cellStart_ + k] = '.';
        break;
      }
      if (line >= rowLines_) {
        rowBuf_[line] = rowLines_ > 0 && rules_ ? rowBuf_[line - 1] : BlankLine(false);
        if (rules_) {
          for (char& ch : rowBuf_[line])
            if (ch != '|') ch = ' ';
        }
        rowLines_ = line + 1;
      }
      continue;
    }
    const size_t at = static_cast<size_t>(cellStart_) + col++;
    if (at < rowBuf_[line].size()) rowBuf_[line][at] = cellText_[i];
    rowUsed_ = std::max(rowUsed_, at + 1);
  }
  cumulative_ += cellWidthNow_ > 0 ? cellWidthNow_ : kDefaultCellTwips;
  prevEdge_ += cols;
  composing_ = std::min(cellStart_ + cols, kMaxColumn - 1);
  if (rules_ && composing_ > 0) {
    for (int k = 0; k < rowLines_; ++k)
      if (rowBuf_[k][composing_ - 1] == ' ') rowBuf_[k][composing_ - 1] = '|';
  }
}

void DocxLayout::Border() {
  const int last = std::min(composing_ - 1 + col_, kColumns - 1);
  if (last >= col_) {
    std::string rule(static_cast<size_t>(last - col_ + 1), '-');
    rule.front() = '+';
    rule.back() = '+';
    PutRun(row_, col_, rule);
  } else {
    Put(row_, col_, '+');
    Put(row_, last, '+');
  }
  ++row_;
}

void DocxLayout::RowEnd() {
  if (tableDepth_ == 0 || rowLines_ == 0) return;
  if (inCell_) CellEnd();
  if (rules_ && firstRow_) Border();
  firstRow_ = false;
  const size_t used = std::max(rowUsed_, static_cast<size_t>(composing_) + 1);
  for (int k = 0; k < rowLines_; ++k) {
    const std::string& line = rowBuf_[k];
    // Runs of the line's characters go to the canvas whole; blanks, and rules over
    // what the canvas shows, are left out.
    const size_t n = std::min(line.size(), used);
    size_t from = 0;
    for (size_t c = 0; c <= n; ++c) {
      const char ch = c < n ? line[c] : ' ';
      if (ch != ' ' && (ch != '|' || At(row_ + k, col_ + static_cast<int>(c)) == ' ')) continue;
      if (c > from) PutRun(row_ + k, col_ + static_cast<int>(from), std::string_view(line).substr(from, c - from));
      from = c + 1;
    }
  }
  row_ += rowLines_;
  rowLines_ = 0;
}

void DocxLayout::TableEnd() {
  if (tableDepth_ == 0) return;
  if (rules_ && !firstRow_) Border();
  tableDepth_ = 0;
  inCell_ = false;
  rowLines_ = 0;
  if (row_ >= kPageMarkRow && !renderingNested_) markPending_ = true;
  if (frameReturn_) {
    // A table in a frame: the text flow goes on where it was before the frame.
    row_ = frameReturnRow_;
    frameReturn_ = false;
  }
  col_ = 0;
}
