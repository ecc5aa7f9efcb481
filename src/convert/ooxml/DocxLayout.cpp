// The walk over the document part and what each element does to the canvas.
#include "convert/ooxml/DocxLayout.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "convert/ooxml/OoxmlText.h"
#include "convert/ooxml/XmlPart.h"
#include "platform/Alloc.h"
#include "platform/CodePage.h"

namespace {

constexpr size_t kLineLimit = 20000;
constexpr int kSelfClosingWindow = 200;
constexpr int kDrawingRowLimit = 200;
constexpr int kLabelRowLimit = 300;
constexpr int kSpreadRowLimit = 300;
constexpr int kPageBreakMinRows = 20;
constexpr int kLongPage = 100;
constexpr int kMarkDashes = 80;
constexpr int kFarthestRow = 1000;  // a position read from the document lies on its page

int Row(int64_t row) { return static_cast<int>(std::clamp<int64_t>(row, 0, kFarthestRow)); }
int Column(int64_t col) { return static_cast<int>(std::clamp<int64_t>(col, 0, DocxLayout::kMaxColumn)); }

bool IsTrail(uint8_t b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC); }

}  // namespace

DocxLayout::DocxLayout(std::string_view part, std::vector<char>& canvas, const DocxPage& page,
                       const std::vector<std::string>& pictures, bool verticalRules, plat::AllocHook* hook)
    : text_(part),
      canvas_(canvas),
      hook_(hook),
      rows_(static_cast<int>(canvas.size() / kRowBytes)),
      page_(page),
      pictures_(pictures),
      rules_(verticalRules) {
  row_ = page.topOffset;
}

int DocxLayout::LastRow() const { return std::clamp(pageBase_ + pageMax_, 0, std::max(rows_ - 1, 0)); }

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

bool DocxLayout::Is(int p, std::string_view name, std::string_view ends) const {
  const size_t at = static_cast<size_t>(p) + 1;
  if (text_.substr(std::min(at, text_.size()), name.size()) != name) return false;
  if (ends.empty()) return true;
  const size_t after = at + name.size();
  return after < text_.size() && ends.find(text_[after]) != std::string_view::npos;
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
  const int64_t abs = static_cast<int64_t>(pageBase_) + row;
  if (abs >= rows_ && !Grow(abs)) {
    cut_ = true;
    return;
  }
  canvas_[static_cast<size_t>(abs * kRowBytes + col)] = c;
  Touch(row, col);
}

// A document with more rows than its part's length foresaw: the canvas doubles up
// to its cap, new rows blank.
bool DocxLayout::Grow(int64_t row) {
  int64_t rows = rows_;
  while (rows <= row) rows *= 2;
  rows = std::min(rows, kCanvasCapBytes / kRowBytes);
  if (rows <= row || !plat::TryResize(canvas_, static_cast<size_t>(rows * kRowBytes), hook_)) return false;
  for (int64_t r = rows_; r < rows; ++r) {
    char* line = &canvas_[static_cast<size_t>(r * kRowBytes)];
    std::memset(line, ' ', kColumns);
    line[kColumns] = '\r';
    line[kColumns + 1] = '\n';
  }
  rows_ = static_cast<int>(rows);
  return true;
}

char DocxLayout::At(int row, int col) const {
  if (row < 0 || col < 0 || col >= kColumns) return ' ';
  const int64_t at = (static_cast<int64_t>(pageBase_) + row) * kRowBytes + col;
  return at < static_cast<int64_t>(canvas_.size()) ? canvas_[static_cast<size_t>(at)] : ' ';
}

void DocxLayout::PutText(int row, int col, std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i) Put(row, col + static_cast<int>(i), text[i]);
}

// ---- elements -----------------------------------------------------------

void DocxLayout::Element(int& p) {
  const int at = p;
  p = at + 1;
  if (Is(at, "w:t", " >")) {
    ReadRun(p);
  } else if (Is(at, "/w:p", ">")) {
    if (!inCell_) FlushParagraph();
  } else if (Is(at, "w:p", " >/")) {
    if (inCell_) {
      CellParagraph();
    } else if (!vgroup_) {
      // An empty paragraph written as one self-closing tag.
      const size_t close = text_.find('>', static_cast<size_t>(at));
      if (close != std::string_view::npos && close - static_cast<size_t>(at) < kSelfClosingWindow &&
          text_[close - 1] == '/') {
        if (inBox_) ++boxLine_;
        else ++row_;
      }
    }
  } else if (Is(at, "w:tab", "/>")) {
    if (!inCell_) AppendText("\t");
  } else if (Is(at, "w:br", " /")) {
    if (Find("w:type=\"pag", at, 8)) PageBreak();
    else LineBreak();
  } else if (Is(at, "w:lastRenderedPageBreak", " /")) {
    PageBreak();
  } else if (Is(at, "/w:rPr", ">")) {
    if (!inCell_ && markPending_ && !wgroup_) WritePageMark();
  } else if (Is(at, "w:tbl", " >")) {
    TableStart(p);
  } else if (Is(at, "/w:tbl", ">")) {
    TableEnd();
  } else if (Is(at, "w:tr", " >")) {
    RowStart();
  } else if (Is(at, "/w:tr", ">")) {
    RowEnd();
  } else if (Is(at, "w:tc", " >")) {
    CellStart();
  } else if (Is(at, "/w:tc", ">")) {
    CellEnd();
  } else if (Is(at, "w:tcW", " /")) {
    CellWidth(at);
  } else if (Is(at, "w:framePr", " /")) {
    Frame(at);
  } else if (Is(at, "w:drawing", " >")) {
    ++drawing_;
  } else if (Is(at, "/w:drawing", ">")) {
    drawing_ = std::max(drawing_ - 1, 0);
    anchored_ = false;
  } else if (Is(at, "w:pict", " >")) {
    ++pict_;
  } else if (Is(at, "/w:pict", ">")) {
    pict_ = std::max(pict_ - 1, 0);
    anchored_ = false;
    vgroup_ = 0;
  } else if (Is(at, "mc:Fallback", " >")) {
    // Only the preferred alternative is rendered.
    for (size_t q = text_.find("</mc:Fallback", static_cast<size_t>(at)); q != std::string_view::npos;
         q = text_.find("</mc:Fallback", q + 1)) {
      const size_t after = q + 13;
      if (after < text_.size() && (text_[after] == ' ' || text_[after] == '>')) {
        p = static_cast<int>(after);
        return;
      }
    }
    p = static_cast<int>(text_.size());
  } else if (Is(at, "v:group", " >")) {
    if (pict_) ++vgroup_;
  } else if (Is(at, "/v:group", ">")) {
    vgroup_ = std::max(vgroup_ - 1, 0);
  } else if (Is(at, "wps:txbx", " >") || Is(at, "v:textbox", " >")) {
    EnterTextBox();
  } else if (Is(at, "/wps:txbx", ">") || Is(at, "/v:textbox", ">")) {
    LeaveTextBox();
  } else if (Is(at, "wpg:wgp", " >")) {
    ++wgroup_;
  } else if (Is(at, "/wpg:wgp", ">")) {
    wgroup_ = std::max(wgroup_ - 1, 0);
    if (!wgroup_ && markPending_ && !inCell_) WritePageMark();
  } else if (Is(at, "wp:anchor", " >")) {
    anchored_ = true;
    anchor_ = {col_, row_};
  } else if (Is(at, "wp:inline", " >")) {
    anchored_ = false;
  } else if (Is(at, "wp:positionH", " >")) {
    Position(at, true);
  } else if (Is(at, "wp:positionV", " >")) {
    Position(at, false);
  } else if (Is(at, "wp:extent", " /")) {
    extentW_ = Find("cx=\"", at, 0) / 65000;
    extentH_ = Find("cy=\"", at, 0) / 160000;
  } else if (Is(at, "v:shape", " >") || Is(at, "v:rect", " >") || Is(at, "v:roundrect", " >")) {
    VmlShape(at);
  } else if (Is(at, "a:blip", " />")) {
    Picture(at, "r:embed=\"rId");
  } else if (Is(at, "v:imagedata", " />")) {
    Picture(at, "r:id=\"rId");
  }
}

// ---- text ---------------------------------------------------------------

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
  std::string run;
  size_t q = close + 1;
  while (q < text_.size() && text_[q] != '<') {
    const auto c = static_cast<uint8_t>(text_[q]);
    if (plat::IsSjisLeadByte(c) && q + 1 < text_.size() && IsTrail(static_cast<uint8_t>(text_[q + 1]))) {
      if (c == 0x81 && text_[q + 1] == 0x40) run += "  ";  // ideographic space
      else run.append(text_.substr(q, 2));
      q += 2;
      continue;
    }
    if (c == '&') {
      bool taken = false;
      for (const auto& e : kEntities) {
        if (text_.substr(q, e.name.size()) == e.name) {
          run += e.c;
          q += e.name.size();
          taken = true;
          break;
        }
      }
      if (taken) continue;
    }
    run += static_cast<char>(c);
    ++q;
  }
  p = static_cast<int>(q);
  if (!vgroup_) AppendText(run);
}

void DocxLayout::AppendText(std::string_view bytes) {
  if (!inCell_) {
    line_.append(bytes.substr(0, kLineLimit - std::min(line_.size(), kLineLimit)));
    return;
  }
  for (size_t i = 0; i < bytes.size(); ++i) {
    const bool lead = plat::IsSjisLeadByte(static_cast<uint8_t>(bytes[i])) && i + 1 < bytes.size();
    AppendCellChar(bytes[i], lead);
    if (lead) AppendCellChar(bytes[++i], false);
  }
}

void DocxLayout::PlaceLines(std::string_view text, int row, int col, int wrap, int* lastRow) {
  wrap = std::max(wrap, 10);
  int r = row, c = col, count = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char ch = text[i];
    if (ch == '\0' || ch == '\r' || ch == '\n') continue;
    if (ch == ' ' || ch == '\t') {
      const int step = ch == '\t' ? 8 : 1;
      c += step;
      count += step;
      // The next word goes to the next row when it would not fit on this one.
      size_t word = i + 1;
      while (word < text.size() && text[word] != ' ' && text[word] != '\t') ++word;
      const int wordLength = static_cast<int>(word - i - 1);
      if (count > wrap - 5 || (count + wordLength > wrap && wordLength < wrap)) {
        ++r;
        c = col;
        count = 0;
      }
      continue;
    }
    const bool lead = plat::IsSjisLeadByte(static_cast<uint8_t>(ch)) && i + 1 < text.size();
    const int width = lead ? 2 : 1;
    if (count + width > wrap) {
      ++r;
      c = col;
      count = 0;
    }
    Put(r, c, ch);
    if (lead) Put(r, c + 1, text[++i]);
    c += width;
    count += width;
  }
  *lastRow = r;
}

void DocxLayout::FlushParagraph() {
  if (vgroup_) {
    line_.clear();
    return;
  }
  if (inBox_) {
    int last = 0;
    const int wrap = extentW_ > 4 ? extentW_ : page_.lineWidth;
    PlaceLines(line_, boxAt_.y + boxLine_, boxAt_.x, wrap, &last);
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
    PlaceLines(line_, r, col_, page_.lineWidth, &last);
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

// ---- pages --------------------------------------------------------------

void DocxLayout::PageBreak() {
  if (pageMax_ <= kPageBreakMinRows || tableDepth_ > 0 || inBox_) return;
  if (!line_.empty()) {
    int last = row_;
    PlaceLines(line_, row_, col_, page_.lineWidth, &last);
    row_ = last + 1;
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
}

// ---- positioned objects -------------------------------------------------

void DocxLayout::Frame(int p) {
  if (frameTaken_) return;
  int64_t x = Find("w:x=\"", p, 0) / 80;
  int64_t y = Find("w:y=\"", p, 0) / 200;
  const bool vText = Find("w:vAnchor=\"text", p, 8), vMargin = Find("w:vAnchor=\"margin", p, 8),
             vPage = Find("w:vAnchor=\"page", p, 8);
  if (vText) y += row_;
  if (vMargin) y += page_.topOffset;
  if (vPage) y = std::max<int64_t>(y + 1, 1);
  if (vText || vMargin || vPage) frameTaken_ = true;
  if (Find("w:hAnchor=\"text", p, 8)) x += col_;
  if (Find("w:hAnchor=\"margin", p, 8)) x += page_.marginOffset;
  if (!renderingNested_) {
    row_ = Row(y);
    col_ = Column(x - 10);
  }
}

void DocxLayout::Position(int p, bool horizontal) {
  int pos = p + 1;
  std::string from;
  if (XmlFindInElement("relativeFrom=\"", text_, &pos, 7)) {
    for (size_t k = static_cast<size_t>(pos); k < text_.size() && text_[k] != '"' && from.size() < 20; ++k)
      from += text_[k];
  }
  // The offset belongs to this element only when it comes before the element's end.
  const size_t end = text_.find(horizontal ? "</wp:positionH" : "</wp:positionV", static_cast<size_t>(p));
  const size_t offsetAt = text_.find("<wp:posOffset>", static_cast<size_t>(p));
  int offset = 0;
  if (offsetAt != std::string_view::npos && offsetAt < end) offset = Find("wp:posOffset>", static_cast<int>(offsetAt), 0);
  if (horizontal) {
    int base = 0;
    if (from == "column" || from == "paragraph" || from == "character") base = col_;
    else if (from == "margin" || from == "leftMargin") base = page_.marginOffset;
    anchor_.x = Column(int64_t{base} + offset / 65000);
  } else {
    int base = 0;
    if (from == "paragraph" || from == "line") base = row_;
    else if (from == "margin" || from == "topMargin") base = page_.topOffset;
    anchor_.y = Row(int64_t{base} + offset / 170000);
  }
}

namespace {

// A VML length in points (inches turned into points); *found tells whether it was there.
int StyleLength(std::string_view style, std::string_view name, bool* found) {
  size_t at = style.find(name);
  while (at != std::string_view::npos && at > 0 && style[at - 1] != ';' && style[at - 1] != ' ' &&
         style[at - 1] != '"')
    at = style.find(name, at + 1);
  *found = at != std::string_view::npos;
  if (!*found) return 0;
  size_t k = at + name.size();
  bool negative = k < style.size() && style[k] == '-';
  if (negative) ++k;
  int64_t v = 0;
  while (k < style.size() && style[k] >= '0' && style[k] <= '9' && v < 100000000) v = v * 10 + (style[k++] - '0');
  if (k < style.size() && style[k] == '.') {  // fractions are dropped
    while (++k < style.size() && style[k] >= '0' && style[k] <= '9') {
    }
  }
  if (style.substr(k, 2) == "in") v *= 72;
  v = std::min<int64_t>(v, 100000000);
  return static_cast<int>(negative ? -v : v);
}

std::string StyleWord(std::string_view style, std::string_view name) {
  const size_t at = style.find(name);
  if (at == std::string_view::npos) return {};
  std::string word;
  for (size_t k = at + name.size(); k < style.size() && style[k] != ';' && word.size() < 20; ++k) word += style[k];
  return word;
}

}  // namespace

void DocxLayout::VmlShape(int p) {
  int pos = p + 1;
  if (!XmlFindInElement("style=\"", text_, &pos, 7)) return;
  const size_t end = std::min(text_.find('"', static_cast<size_t>(pos)), text_.size());
  const std::string_view style = text_.substr(static_cast<size_t>(pos), end - static_cast<size_t>(pos));
  const bool absolute = style.find("position:absolute") != std::string_view::npos;
  bool hasLeft = false, hasTop = false, hasMarginLeft = false, hasMarginTop = false, found = false;
  const int left = StyleLength(style, "left:", &hasLeft);
  const int top = StyleLength(style, "top:", &hasTop);
  const int marginLeft = StyleLength(style, "margin-left:", &hasMarginLeft);
  const int marginTop = StyleLength(style, "margin-top:", &hasMarginTop);
  extentW_ = StyleLength(style, "width:", &found) / 6;
  extentH_ = StyleLength(style, "height:", &found) / 11;
  const std::string hRef = StyleWord(style, "tal-relative:"), vRef = StyleWord(style, "cal-relative:");

  int x = hasMarginLeft ? marginLeft / 6 : left / 400;
  int y = hasMarginTop ? marginTop / 11 : top / 400;
  if (hRef == "text") x += col_;
  else if (hRef == "margin") x += page_.marginOffset;
  else if (hRef.empty() && absolute && hasMarginLeft && !vgroup_) x += page_.marginOffset;
  if (!absolute && !inBox_) x = static_cast<int>(std::min<size_t>(line_.size(), kMaxColumn)) + 1;
  if (vRef == "text" || vRef == "line" || vRef == "paragraph") y += row_;
  else if (vRef == "margin") y += page_.topOffset;
  else if (vRef.empty() && absolute) y = y == 0 ? row_ : (hasMarginTop ? y + page_.topOffset : y);
  if (!absolute && !inBox_) {
    y = row_;
    extentH_ = 1;
  }
  if ((inBox_ && tableDepth_ > 0) || wgroup_ || vgroup_) return;
  anchor_ = {Column(x), Row(y)};
  anchored_ = absolute;
}

void DocxLayout::Picture(int p, std::string_view pattern) {
  const std::string label = ooxml::PictureLabel(pictures_, Find(pattern, p, 0));
  if (inCell_) {
    AppendText(label);
    return;
  }
  int w = extentW_, h = extentH_;
  if (w > 2000) w /= 3000;
  if (h > 2000) h /= 200;
  int x = col_, y = row_;
  if (inBox_) {
    x = boxAt_.x;
    y = boxAt_.y + boxLine_;
  } else if (anchored_) {
    x = anchor_.x;
    y = anchor_.y;
  } else {
    row_ += h;
  }
  if (row_ >= kLabelRowLimit) return;
  if (y < 5 && h > 10) {
    y = 1;
    h = 2;
  }
  const int labelCol = std::max(0, w / 2 + x - 6);
  int labelRow = h / 2 + y;
  if (At(labelRow, labelCol) == '[') ++labelRow;
  PutText(labelRow, labelCol, label);
  pageMax_ = std::max(pageMax_, labelRow + 5);
  maxCol_ = std::min(std::max(maxCol_, w / 2 + x + 6), kMaxColumn);
}

void DocxLayout::EnterTextBox() {
  if (inBox_) return;
  inBox_ = true;
  savedRow_ = row_;
  savedCol_ = col_;
  savedLine_ = std::move(line_);
  line_.clear();
  savedInCell_ = inCell_;
  inCell_ = false;
  boxAt_ = anchored_ ? anchor_ : Anchor{col_, row_};
  boxLine_ = 0;
}

void DocxLayout::LeaveTextBox() {
  if (!inBox_) return;
  inBox_ = false;
  row_ = savedRow_;
  col_ = savedCol_;
  line_ = std::move(savedLine_);  // the box's unflushed text is dropped
  inCell_ = savedInCell_;
}
