// The text of the word-processing layout: runs read into the paragraph, paragraphs
// wrapped into canvas rows, line breaks.
#include <algorithm>
#include <bit>
#include <cstring>

#include "convert/ooxml/docx/DocxLayout.h"
#include "convert/ooxml/XmlCharRef.h"
#include "platform/text/CodePage.h"

namespace {

constexpr size_t kLineLimit = 20000;
constexpr int kDrawingRowLimit = 200;
constexpr int kSpreadRowLimit = 300;
// Text of a drawing wider than this (shape units) wraps at the drawing's width.
constexpr int kNarrowDrawing = 1500;
constexpr int kUnitsPerColumn = 600;

bool IsTrail(uint8_t b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC); }

}  // namespace

void DocxLayout::ReadRun(int& p) {
  const size_t close = text_.find('>', static_cast<size_t>(p));
  if (close == std::string_view::npos) {
    p = static_cast<int>(text_.size());
    return;
  }
  p = static_cast<int>(close) + 1;
  if (text_[close - 1] == '/') return;  // an empty run
  static constexpr struct {
    std::string_view name;
    char c;
  } kEntities[] = {{"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}, {"&quot;", '"'}, {"&apos;", '\''}};
  // The run ends at the next '<' (never a trail byte of valid Shift-JIS text).
  const size_t stop = std::min(text_.find('<', close + 1), text_.size());
  const std::string_view raw = text_.substr(close + 1, stop - close - 1);
  if (raw.find('&') == std::string_view::npos && raw.find("\x81\x40") == std::string_view::npos) {
    p = static_cast<int>(stop);
    if (!vgroup_) AppendText(raw);  // the text as it stands: no copy
    return;
  }
  std::string run;
  for (size_t q = 0; q < raw.size();) {
    const auto c = static_cast<uint8_t>(raw[q]);
    if (IsSjisLeadByte(c) && q + 1 < raw.size() && IsTrail(static_cast<uint8_t>(raw[q + 1]))) {
      if (c == 0x81 && raw[q + 1] == 0x40) run += "  ";  // ideographic space
      else run.append(raw.substr(q, 2));
      q += 2;
      continue;
    }
    if (c == '&') {
      bool taken = false;
      for (const auto& e : kEntities) {
        if (raw.substr(q, e.name.size()) == e.name) {
          run += e.c;
          q += e.name.size();
          taken = true;
          break;
        }
      }
      if (taken) continue;
      if (const size_t n = DecodeXmlCharRef(raw, q, run); n > 0) {
        if (static_cast<uint8_t>(run.back()) < 0x20) run.back() = ' ';
        q += n;
        continue;
      }
    }
    run += static_cast<char>(c);
    ++q;
  }
  p = static_cast<int>(stop);
  if (!vgroup_) AppendText(run);
}

void DocxLayout::AppendText(std::string_view bytes) {
  if (!inCell_) {
    line_.append(bytes.substr(0, kLineLimit - std::min(line_.size(), kLineLimit)));
    return;
  }
  const int width = CellColumns();  // the same for every character of the text
  for (size_t i = 0; i < bytes.size(); ++i) {
    const bool lead = IsSjisLeadByte(static_cast<uint8_t>(bytes[i])) && i + 1 < bytes.size();
    AppendCellChar(bytes.substr(i, lead ? 2 : 1), width);
    if (lead) ++i;
  }
}

void DocxLayout::PutRun(int row, int col, std::string_view bytes) {
  if (bytes.empty() || row < 0 || col < 0 || col >= kColumns) return;
  if (!canvas_.PutRun(int64_t{pageBase_} + row, col, bytes)) {
    cut_ = true;
    return;
  }
  Touch(row, std::min(col + static_cast<int>(bytes.size()) - 1, kColumns - 1));
}

namespace {

// Blank, tab and the bytes that are not placed end a word.
bool IsGap(char c) { return static_cast<uint8_t>(c) <= ' ' && (c == ' ' || c == '\t' || c == '\0' || c == '\r' || c == '\n'); }

// The end of the word that starts at i: the next blank, tab or line end.
size_t WordEnd(std::string_view text, size_t i) {
  // Eight bytes at a time: the lowest byte below 0x21 is found exactly (a borrow only
  // moves upwards), and it ends the word unless it is a control byte that is placed.
  constexpr uint64_t kOnes = 0x0101010101010101, kHighs = 0x8080808080808080;
  while (i + 8 <= text.size()) {
    uint64_t w;
    std::memcpy(&w, text.data() + i, 8);
    const uint64_t low = (w - kOnes * 0x21) & ~w & kHighs;
    if (low == 0) {
      i += 8;
      continue;
    }
    const size_t k = i + static_cast<size_t>(std::countr_zero(low)) / 8;
    if (IsGap(text[k])) return k;
    i = k + 1;
  }
  while (i < text.size() && !IsGap(text[i])) ++i;
  return i;
}

}  // namespace

void DocxLayout::PlaceLines(std::string_view text, int row, int col, int wrap, int* lastRow) {
  wrap = std::max(wrap, 10);
  int r = row, count = 0;
  // A row is composed here and laid over the canvas whole: its blanks let what the
  // canvas already shows there through. The row is what line holds followed by the
  // text's bytes from `from` on; line takes bytes only where the row differs from
  // the text (tabs, dropped bytes), so most rows go to the canvas straight from the text.
  std::string line;
  size_t from = 0;
  size_t wordAt = std::string_view::npos, wordEnd = 0;  // the word found after the last blank
  auto breakRow = [&](size_t at) {
    std::string_view shown = text.substr(from, at - from);
    if (!line.empty()) {
      line.append(shown);
      shown = line;
    }
    const size_t end = shown.find_last_not_of(' ');
    if (end != std::string_view::npos) {
      if (!canvas_.Overlay(int64_t{pageBase_} + r, col, shown.substr(0, end + 1))) cut_ = true;
      else Touch(r, std::min(col + static_cast<int>(end), kColumns - 1));
    }
    line.clear();
    from = at;
    ++r;
    count = 0;
  };
  for (size_t i = 0; i < text.size();) {
    const char ch = text[i];
    if (ch == '\0' || ch == '\r' || ch == '\n') {
      line.append(text.substr(from, i - from));
      from = ++i;
      continue;
    }
    if (ch == ' ' || ch == '\t') {
      int step = 1;
      if (ch == '\t') {
        step = 8;
        line.append(text.substr(from, i - from));
        line.append(8, ' ');
        from = i + 1;
      }
      count += step;
      // The next word goes to the next row when it would not fit on this one.
      wordAt = i + 1;
      wordEnd = WordEnd(text, wordAt);
      const int wordLength = static_cast<int>(wordEnd - wordAt);
      ++i;
      if (count > wrap - 5 || (count + wordLength > wrap && wordLength < wrap)) breakRow(i);
      continue;
    }
    const size_t end = i == wordAt ? wordEnd : WordEnd(text, i);
    const int length = static_cast<int>(end - i);
    if (count + length <= wrap) {
      count += length;
      i = end;
      continue;
    }
    // A word longer than the row: broken at the wrap width, between characters.
    while (i < end) {
      const int width = IsSjisLeadByte(static_cast<uint8_t>(text[i])) && i + 1 < end ? 2 : 1;
      if (count + width > wrap) breakRow(i);
      count += width;
      i += static_cast<size_t>(width);
    }
  }
  breakRow(text.size());
  *lastRow = r - 1;
}

int DocxLayout::WrapWidth() const {
  if (!(drawing_ || pict_) || drawingW_ <= kNarrowDrawing) return page_.lineWidth;
  // A narrow, tall box keeps to its width; other drawings get a margin of 5 columns.
  const bool narrowTall = drawingW_ < 5000 && drawingH_ > 2000;
  return std::min(drawingW_ / kUnitsPerColumn + (narrowTall ? 0 : 5), static_cast<int>(kColumns));
}

void DocxLayout::FlushParagraph() {
  if (vgroup_) {
    line_.clear();
    return;
  }
  if (inBox_) {
    int last = 0;
    PlaceLines(line_, boxAt_.y + boxLine_, boxAt_.x, WrapWidth(), &last);
    boxLine_ = last - boxAt_.y + 1;
    line_.clear();
    return;
  }
  if ((drawing_ || pict_) && row_ > kDrawingRowLimit) {
    line_.clear();
    return;
  }
  if (line_.empty()) {
    ++row_;
    afterEmpty_ = tableDepth_ == 0;
  } else {
    int r = row_;
    if (afterEmpty_ && r < kSpreadRowLimit) {
      // Spacing after empty paragraphs; never above the current row.
      const int base = r - spread_;
      spread_ = base / 3;
      r = std::max(r, base + base / 3);
    }
    afterEmpty_ = false;
    int last = r;
    PlaceLines(line_, r, col_, WrapWidth(), &last);
    row_ = last + 1;
    line_.clear();
  }
  if (markPending_ && !wgroup_) WritePageMark();
}

void DocxLayout::LineBreak() {
  if (inCell_) {
    EndCellLine();
    return;
  }
  int last = 0;
  if (inBox_) {
    PlaceLines(line_, boxAt_.y + boxLine_, boxAt_.x, kColumns, &last);
    boxLine_ = last - boxAt_.y + 1;
  } else {
    PlaceLines(line_, row_, 0, kColumns, &last);
    row_ = last + 1;
    col_ = 0;
  }
  line_.clear();
}
