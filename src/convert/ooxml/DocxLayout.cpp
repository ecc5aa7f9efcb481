// The walk over the document part and what each element does to the canvas.
#include "convert/ooxml/DocxLayout.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>
#include <cstring>

#include "convert/ooxml/OoxmlText.h"
#include "convert/ooxml/XmlCharRef.h"
#include "convert/ooxml/XmlPart.h"
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

// ---- elements -----------------------------------------------------------

namespace {

enum class Tag {
  Run, ParagraphEnd, Paragraph, Tab, Break, RenderedPageBreak, RunPropertiesEnd, Table, TableEnd, Row, RowEnd,
  Cell, CellEnd, CellWidth, Frame, Drawing, DrawingEnd, Pict, PictEnd, Fallback, VmlGroup, VmlGroupEnd, TextBox,
  TextBoxEnd, ShapeGroup, ShapeGroupEnd, Anchor, AnchorEnd, Inline, PositionH, PositionV, Extent, VmlShape, Blip,
  ImageData,
};

struct TagName {
  std::string_view name;
  Tag tag;
};

// The elements the layout acts on, by name (a closing tag with its '/').
constexpr TagName kTags[] = {
    {"w:t", Tag::Run}, {"/w:p", Tag::ParagraphEnd}, {"w:p", Tag::Paragraph}, {"w:tab", Tag::Tab},
    {"w:br", Tag::Break}, {"w:lastRenderedPageBreak", Tag::RenderedPageBreak}, {"/w:rPr", Tag::RunPropertiesEnd},
    {"w:tbl", Tag::Table}, {"/w:tbl", Tag::TableEnd}, {"w:tr", Tag::Row}, {"/w:tr", Tag::RowEnd},
    {"w:tc", Tag::Cell}, {"/w:tc", Tag::CellEnd}, {"w:tcW", Tag::CellWidth}, {"w:framePr", Tag::Frame},
    {"w:drawing", Tag::Drawing}, {"/w:drawing", Tag::DrawingEnd}, {"w:pict", Tag::Pict}, {"/w:pict", Tag::PictEnd},
    {"mc:Fallback", Tag::Fallback}, {"v:group", Tag::VmlGroup}, {"/v:group", Tag::VmlGroupEnd},
    {"wps:txbx", Tag::TextBox}, {"v:textbox", Tag::TextBox}, {"/wps:txbx", Tag::TextBoxEnd},
    {"/v:textbox", Tag::TextBoxEnd}, {"wpg:wgp", Tag::ShapeGroup}, {"/wpg:wgp", Tag::ShapeGroupEnd},
    {"wp:anchor", Tag::Anchor}, {"/wp:anchor", Tag::AnchorEnd}, {"wp:inline", Tag::Inline},
    {"wp:positionH", Tag::PositionH}, {"wp:positionV", Tag::PositionV}, {"wp:extent", Tag::Extent},
    {"v:shape", Tag::VmlShape}, {"v:rect", Tag::VmlShape}, {"v:roundrect", Tag::VmlShape}, {"a:blip", Tag::Blip},
    {"v:imagedata", Tag::ImageData},
};
constexpr size_t kTagCount = sizeof kTags / sizeof kTags[0];
constexpr size_t kLongestTag = 32;

// The element named name, or nullptr: the names are kept by length and last
// character, so most names are told apart without a comparison.
const TagName* FindTag(std::string_view name) {
  struct Buckets {
    // For each length and last character, the first entry of kTags it may be, and
    // for each entry the next one of its length and last character (kTagCount: none).
    std::array<std::array<uint8_t, 128>, kLongestTag + 1> first;
    std::array<uint8_t, kTagCount> next;
  };
  static const Buckets kBuckets = [] {
    Buckets b{};
    for (auto& byLength : b.first) byLength.fill(static_cast<uint8_t>(kTagCount));
    for (size_t k = kTagCount; k-- > 0;) {
      uint8_t& first = b.first[kTags[k].name.size()][static_cast<uint8_t>(kTags[k].name.back()) & 0x7F];
      b.next[k] = first;
      first = static_cast<uint8_t>(k);
    }
    return b;
  }();
  if (name.empty() || name.size() > kLongestTag) return nullptr;
  const uint8_t last = static_cast<uint8_t>(name.back());
  if (last >= 0x80) return nullptr;
  for (size_t k = kBuckets.first[name.size()][last]; k < kTagCount; k = kBuckets.next[k]) {
    const std::string_view known = kTags[k].name;
    size_t i = 0;
    while (i < name.size() && known[i] == name[i]) ++i;  // short names: no library call
    if (i == name.size()) return &kTags[k];
  }
  return nullptr;
}

// The bytes that end an element's name: blank, '>', '/', tab and line ends.
constexpr std::array<bool, 256> kEndsName = [] {
  std::array<bool, 256> ends{};
  for (const char c : {' ', '>', '/', '\t', '\r', '\n'}) ends[static_cast<uint8_t>(c)] = true;
  return ends;
}();

}  // namespace

void DocxLayout::Element(int& p) {
  const int at = p;
  p = at + 1;
  size_t end = static_cast<size_t>(at) + 1;
  if (end < text_.size() && text_[end] == '/') ++end;
  const size_t limit = std::min(text_.size(), static_cast<size_t>(at) + 32);
  while (end < limit && !kEndsName[static_cast<uint8_t>(text_[end])]) ++end;
  const std::string_view name = text_.substr(static_cast<size_t>(at) + 1, end - static_cast<size_t>(at) - 1);
  const TagName* found = FindTag(name);
  if (!found) return;
  const char after = end < text_.size() ? text_[end] : '\0';
  switch (found->tag) {
    case Tag::Run: ReadRun(p); break;
    case Tag::ParagraphEnd:
      if (!inCell_) FlushParagraph();
      break;
    case Tag::Paragraph:
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
      break;
    case Tag::Tab:  // a tab stop of the paragraph's properties has attributes: not a tab character
      if (!inCell_ && after != ' ') AppendText("\t");
      break;
    case Tag::Break:
      if (Find("w:type=\"pag", at, 8)) PageBreak();
      else LineBreak();
      break;
    case Tag::RenderedPageBreak: PageBreak(); break;
    case Tag::RunPropertiesEnd:
      if (!inCell_ && markPending_ && !wgroup_) WritePageMark();
      break;
    case Tag::Table: TableStart(p); break;
    case Tag::TableEnd: TableEnd(); break;
    case Tag::Row: RowStart(); break;
    case Tag::RowEnd: RowEnd(); break;
    case Tag::Cell: CellStart(); break;
    case Tag::CellEnd: CellEnd(); break;
    case Tag::CellWidth: CellWidth(at); break;
    case Tag::Frame: Frame(at); break;
    case Tag::Drawing: ++drawing_; break;
    case Tag::DrawingEnd:
      drawing_ = std::max(drawing_ - 1, 0);
      anchored_ = false;
      break;
    case Tag::Pict: ++pict_; break;
    case Tag::PictEnd:
      pict_ = std::max(pict_ - 1, 0);
      anchored_ = false;
      vgroup_ = 0;
      break;
    case Tag::Fallback: {
      // Only the preferred alternative is rendered.
      p = static_cast<int>(text_.size());
      for (size_t q = text_.find("</mc:Fallback", static_cast<size_t>(at)); q != std::string_view::npos;
           q = text_.find("</mc:Fallback", q + 1)) {
        const size_t next = q + 13;
        if (next < text_.size() && (text_[next] == ' ' || text_[next] == '>')) {
          p = static_cast<int>(next);
          break;
        }
      }
      break;
    }
    case Tag::VmlGroup:
      if (pict_) ++vgroup_;
      break;
    case Tag::VmlGroupEnd: vgroup_ = std::max(vgroup_ - 1, 0); break;
    case Tag::TextBox: EnterTextBox(); break;
    case Tag::TextBoxEnd: LeaveTextBox(); break;
    case Tag::ShapeGroup: ++wgroup_; break;
    case Tag::ShapeGroupEnd:
      wgroup_ = std::max(wgroup_ - 1, 0);
      if (!wgroup_ && markPending_ && !inCell_) WritePageMark();
      break;
    case Tag::Anchor:
      anchored_ = true;
      anchor_ = {col_, row_};
      break;
    case Tag::AnchorEnd: break;
    case Tag::Inline: anchored_ = false; break;
    case Tag::PositionH: Position(at, true); break;
    case Tag::PositionV: Position(at, false); break;
    case Tag::Extent:
      extentW_ = Find("cx=\"", at, 0) / 65000;
      extentH_ = Find("cy=\"", at, 0) / 160000;
      break;
    case Tag::VmlShape: VmlShape(at); break;
    case Tag::Blip: Picture(at, "r:embed=\"rId"); break;
    case Tag::ImageData: Picture(at, "r:id=\"rId"); break;
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
    if (plat::IsSjisLeadByte(c) && q + 1 < raw.size() && IsTrail(static_cast<uint8_t>(raw[q + 1]))) {
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
    const bool lead = plat::IsSjisLeadByte(static_cast<uint8_t>(bytes[i])) && i + 1 < bytes.size();
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
      const int width = plat::IsSjisLeadByte(static_cast<uint8_t>(text[i])) && i + 1 < end ? 2 : 1;
      if (count + width > wrap) breakRow(i);
      count += width;
      i += static_cast<size_t>(width);
    }
  }
  breakRow(text.size());
  *lastRow = r - 1;
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
