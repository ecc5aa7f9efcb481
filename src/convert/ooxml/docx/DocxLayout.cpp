// The word-processing layout's walk over the document part, its writes to the canvas
// and its page marks.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "convert/ooxml/docx/DocxLayout.h"
#include "convert/ooxml/XmlPart.h"

namespace {

constexpr int kPageBreakMinRows = 20;
constexpr int kLongPage = 100;
constexpr int kMarkDashes = 80;

}  // namespace

DocxLayout::DocxLayout(std::string_view part, DocxCanvas& canvas, const DocxPage& page,
                       const std::vector<std::string>& pictures, bool verticalRules)
    : text_(part),
      canvas_(canvas),
      page_(page),
      pictures_(pictures),
      rules_(verticalRules) {
  row_ = page.topOffset;
}

int DocxLayout::LastRow() const {
  return static_cast<int>(std::clamp<int64_t>(int64_t{pageBase_} + pageMax_, 0, DocxCanvas::kMaxRows - 1));
}

void DocxLayout::Run() {
  Walk(0, static_cast<int>(text_.size()));
  // Tables found inside table cells follow the document, each under its ordinal.
  renderingNested_ = true;
  for (size_t k = 0; k < nested_.size() && !cut_; ++k) {
    char title[24];
    std::snprintf(title, sizeof title, "[Table%d]", static_cast<int>(k) + 1);
    PutText(row_ + 1, 0, title);
    row_ += 2;
    col_ = 0;
    tableDepth_ = 0;
    inCell_ = false;
    Walk(nested_[k].first, nested_[k].second);
  }
}

void DocxLayout::Walk(int from, int to) {
  const char* data = text_.data();
  int p = from;
  while (p < to && !cut_) {
    const void* lt = std::memchr(data + p, '<', static_cast<size_t>(to - p));
    if (!lt) break;
    p = static_cast<int>(static_cast<const char*>(lt) - data);
    Element(p);
  }
}

int DocxLayout::Find(std::string_view pattern, int p, int mode) const {
  int pos = p + 1;
  return XmlFindInElement(pattern, text_, &pos, mode);
}

// ---- canvas -------------------------------------------------------------

void DocxLayout::Touch(int row, int col) {
  pageMax_ = std::max(pageMax_, row);
  maxCol_ = std::min(std::max(maxCol_, col), kColumns - 1);  // every written column reaches the text
}

void DocxLayout::Put(int row, int col, char c) {
  if (row < 0 || col < 0 || col >= kColumns) return;
  if (!canvas_.Put(int64_t{pageBase_} + row, col, c)) {
    cut_ = true;
    return;
  }
  Touch(row, col);
}

char DocxLayout::At(int row, int col) const { return canvas_.At(int64_t{pageBase_} + row, col); }

void DocxLayout::PutText(int row, int col, std::string_view text) {
  if (col < 0) {  // the characters left of the canvas are dropped
    text.remove_prefix(std::min(text.size(), static_cast<size_t>(-static_cast<int64_t>(col))));
    col = 0;
  }
  PutRun(row, col, text);
}

// ---- pages --------------------------------------------------------------

void DocxLayout::PageBreak() {
  if (pageMax_ <= kPageBreakMinRows || tableDepth_ > 0) return;
  if (!line_.empty()) {
    if (inBox_) {
      int last = 0;
      PlaceLines(line_, boxAt_.y + boxLine_, boxAt_.x, WrapWidth(), &last);
      boxLine_ = last - boxAt_.y + 1;
    } else {
      int last = row_;
      PlaceLines(line_, row_, col_, page_.lineWidth, &last);
      row_ = last + 1;
    }
    line_.clear();
  }
  if (wgroup_) markPending_ = true;
  else WritePageMark();
}

void DocxLayout::WritePageMark() {
  markPending_ = false;
  const int used = pageMax_;
  pageNumber_ += used > kLongPage ? (used + 80) / 80 : 1;
  char mark[32];
  std::snprintf(mark, sizeof mark, "\r\n\r\n-[page %d]", pageNumber_);
  PutText(used + 3, 0, std::string(mark) + std::string(kMarkDashes, '-'));
  pageBase_ += used + 5;
  row_ = 3;
  col_ = 0;
  pageMax_ = 0;
  spread_ = 0;
  if (inBox_) {
    // The box's further lines, and the text after the box, go on at the new page's top.
    boxAt_.y = row_;
    boxLine_ = 0;
    savedRow_ = row_;
  }
}
