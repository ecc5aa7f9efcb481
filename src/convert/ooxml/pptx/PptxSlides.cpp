#include "convert/ooxml/pptx/PptxSlides.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "convert/ooxml/OoxmlText.h"
#include "convert/ooxml/XmlCharRef.h"
#include "convert/ooxml/XmlPart.h"
#include "platform/text/CodePage.h"

namespace {

constexpr int kAreaRows = PptxSlides::kAreaBytes / PptxSlides::kRowBytes;  // rows a slide may take
constexpr int kFirstLargestRow = 30;
constexpr size_t kShapeTextLimit = 8000;
constexpr int kTableColumns = 170;
constexpr int kTableColumnLimit = 128;
constexpr int kSlideShapes = 150;   // entries 1 to 149 belong to the slide's "Rectangle N" shapes
constexpr int kPlaceholderBase = 151;
constexpr char kCellBreak = 0x0B;
constexpr const char* kBanner =
    "=============================================page %2d================================================";

bool IsTrail(uint8_t b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC); }

// The display width of a line's bytes (tabs count one: they are padded when written).
int Columns(std::string_view s) { return static_cast<int>(s.size()); }

// Splits a line into segments of at most width columns, at blanks where it can and
// never inside a double-byte character.
std::vector<std::string_view> Wrap(std::string_view line, int width) {
  std::vector<std::string_view> segments;
  width = std::max(width, 2);
  while (Columns(line) > width) {
    size_t cut = 0;
    for (size_t i = 0; i < line.size();) {
      const size_t step = IsSjisLeadByte(static_cast<uint8_t>(line[i])) && i + 1 < line.size() ? 2 : 1;
      if (i + step > static_cast<size_t>(width)) break;
      i += step;
      cut = i;
    }
    const size_t blank = line.substr(0, cut + 1).rfind(' ');
    if (blank != std::string_view::npos && blank > 0) cut = blank;
    if (cut == 0) cut = std::min<size_t>(line.size(), 2);
    segments.push_back(line.substr(0, cut));
    line.remove_prefix(cut);
    while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
  }
  segments.push_back(line);
  return segments;
}

}  // namespace

PptxSlides::PptxSlides(char* buffer, int capacity, bool verticalRules)
    : buf_(buffer), cap_(capacity), totalRows_(std::max(capacity - 1, 0) / kRowBytes) {
  colUnit_ = verticalRules ? 900 : 1000;
  rowUnit_ = verticalRules ? 2200 : 4000;
  align_.fill('L');
  for (int r = 0; r < totalRows_; ++r) {
    char* row = buf_ + static_cast<size_t>(r) * kRowBytes;
    std::memset(row, ' ', kColumns);
    row[kColumns] = '\r';
    row[kColumns + 1] = '\n';
  }
}

void PptxSlides::Put(int row, int col, char c) {
  if (row < 0 || row >= kPageRows || col < 0 || col >= kColumns) return;
  const int abs = start_ + row;
  if (abs >= totalRows_) return;
  buf_[static_cast<size_t>(abs) * kRowBytes + col] = c;
  largest_ = std::max(largest_, row);
}

char PptxSlides::At(int row, int col) const {
  const int abs = start_ + row;
  if (row < 0 || col < 0 || col >= kColumns || abs >= totalRows_) return ' ';
  return buf_[static_cast<size_t>(abs) * kRowBytes + col];
}

PptxSlides::Tag PptxSlides::TagAt(int p) const {
  // The element's name runs from after '<' (a closing '/' included) to the first
  // blank, '/' or '>'; each tag names the characters that may follow it.
  struct Named {
    std::string_view name;
    std::string_view ends;
    Tag tag;
  };
  static constexpr Named kTags[] = {
      {"/a:p", ">", Tag::kParagraphEnd},    {"/a:r", ">", Tag::kRunEnd},
      {"/a:tbl", ">", Tag::kTableEnd},      {"/a:tblGrid", ">", Tag::kGridEnd},
      {"/a:tc", ">", Tag::kCellEnd},        {"/a:tr", ">", Tag::kRowEnd},
      {"/p:grpSp", ">", Tag::kGroupEnd},    {"/p:pic", ">", Tag::kShapeEnd},
      {"/p:sp", ">", Tag::kShapeEnd},       {"/p:txBody", ">", Tag::kBodyEnd},
      {"a:blip", " />", Tag::kBlip},        {"a:br", " />", Tag::kBreak},
      {"a:gridCol", " />", Tag::kGridCol},  {"a:p", " >", Tag::kParagraph},
      {"a:pPr", " ", Tag::kParagraphProps}, {"a:r", " >", Tag::kRun},
      {"a:t", " >", Tag::kText},            {"a:tbl", ">", Tag::kTable},
      {"a:tblGrid", ">", Tag::kGrid},       {"a:tc", " >", Tag::kCell},
      {"a:xfrm", " >", Tag::kTransform},    {"p:cNvPr", " />", Tag::kShapeName},
      {"p:grpSp", ">", Tag::kGroup},        {"p:ph", " ", Tag::kPlaceholder},
      {"p:pic", " >", Tag::kPicture},       {"p:sp", ">", Tag::kShape},
      {"p:txBody", " >", Tag::kBody},       {"p:xfrm", " >", Tag::kGraphicTransform},
  };
  static_assert(std::ranges::is_sorted(kTags, {}, &Named::name));
  constexpr size_t kLongest = 10;  // "/a:tblGrid"
  const size_t at = static_cast<size_t>(p) + 1;
  size_t end = at + (at < text_.size() && text_[at] == '/' ? 1 : 0);
  while (end < text_.size() && end - at <= kLongest && text_[end] != ' ' && text_[end] != '/' && text_[end] != '>') ++end;
  if (end >= text_.size() || end - at > kLongest) return Tag::kOther;
  const std::string_view name = text_.substr(at, end - at);
  const auto* found = std::ranges::lower_bound(kTags, name, {}, &Named::name);
  if (found == std::end(kTags) || found->name != name || found->ends.find(text_[end]) == std::string_view::npos)
    return Tag::kOther;
  return found->tag;
}

int PptxSlides::Find(std::string_view pattern, int p, int mode) const {
  int pos = p;
  return XmlFindInElement(pattern, text_, &pos, mode);
}

// x, y, cx and cy of the transform whose name ends at p + 1 + nameLength, stored
// for entry in unit terms.
void PptxSlides::ReadGeometry(int p, int nameLength, int entry, int depth) {
  const int after = p + 1 + nameLength;
  int v[4] = {Find("x=\"", after, kXmlAfterElement + kXmlNumber), Find("y=\"", after, kXmlAfterElement + kXmlNumber), Find("cx=\"", after, kXmlAfterElement + kXmlNumber), Find("cy=\"", after, kXmlAfterElement + kXmlNumber)};
  if (depth >= 2) {
    for (int& value : v)
      if (value < 100000) value *= 1700;
  }
  if (entry < 0 || entry >= kEntries || v[2] <= 0 || v[3] <= 0) return;
  geo_[static_cast<size_t>(entry)] = {v[0] / colUnit_, v[1] / rowUnit_, v[2] / colUnit_, v[3] / rowUnit_};
}

void PptxSlides::ReadMaster(std::string_view part) {
  text_ = part;
  int entry = 0;
  for (size_t lt = part.find('<'); lt != std::string_view::npos; lt = part.find('<', lt + 1)) {
    const int p = static_cast<int>(lt);
    switch (TagAt(p)) {
      case Tag::kShapeName: {
        const int n = Find("name=\"Rectangle ", p + 1, kXmlNumber);
        entry = n >= 1 && n <= 20 ? 150 + n : 0;
        break;
      }
      case Tag::kShape:
        entry = 0;
        break;
      case Tag::kPlaceholder: {
        const bool title = Find("type=\"title\"", p + 1, kXmlPresent), sub = Find("type=\"subTitle\"", p + 1, kXmlPresent),
                   centred = Find("type=\"ctrTitle\"", p + 1, kXmlPresent), body = Find("type=\"body\"", p + 1, kXmlPresent);
        if (title) entry = 152;
        else if (body) entry = 153;
        align_[static_cast<size_t>(entry)] = title || sub || centred ? 'c' : 'L';
        break;
      }
      case Tag::kTransform:
        if (entry >= kPlaceholderBase) ReadGeometry(p, 6, entry, 0);
        break;
      default:
        break;
    }
  }
}

void PptxSlides::ReadLayout(std::string_view part) {
  text_ = part;
  int entry = 0;
  for (size_t lt = part.find('<'); lt != std::string_view::npos; lt = part.find('<', lt + 1)) {
    const int p = static_cast<int>(lt);
    switch (TagAt(p)) {
      case Tag::kShape:
        entry = 0;
        break;
      case Tag::kPlaceholder:
        if (Find("type=\"subTitle\"", p + 1, kXmlPresent)) entry = 154;
        else if (Find("type=\"ctrTitle\"", p + 1, kXmlPresent)) entry = 155;
        else break;
        align_[static_cast<size_t>(entry)] = 'c';
        break;
      case Tag::kTransform:
        if (entry >= kPlaceholderBase) ReadGeometry(p, 6, entry, 0);
        break;
      default:
        break;
    }
  }
}

void PptxSlides::ShapeStart() {
  entry_ = 0;
  for (int e = 0; e <= 20; ++e) {
    align_[static_cast<size_t>(e)] = 'L';
    geo_[static_cast<size_t>(e)] = {};
  }
  lines_.clear();
  line_.clear();
  shapeBytes_ = 0;
  type_ = 0;
  picture_ = false;
}

void PptxSlides::EndLine() {
  lines_.push_back(line_);
  line_.clear();
}

void PptxSlides::AppendRun(int& p) {
  const size_t close = text_.find('>', static_cast<size_t>(p));
  if (close == std::string_view::npos || text_[close - 1] == '/') return;
  static constexpr struct {
    std::string_view name;
    char c;
  } kEntities[] = {{"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}, {"&quot;", '"'}, {"&apos;", '\''}};
  size_t q = close + 1;
  while (q < text_.size() && text_[q] != '<') {
    const auto c = static_cast<uint8_t>(text_[q]);
    std::string_view chunk = text_.substr(q, 1);
    if (IsSjisLeadByte(c) && q + 1 < text_.size() && IsTrail(static_cast<uint8_t>(text_[q + 1]))) {
      chunk = text_.substr(q, 2);
    } else if (c == '&') {
      bool taken = false;
      for (const auto& e : kEntities) {
        if (text_.substr(q, e.name.size()) == e.name) {
          chunk = std::string_view(&e.c, 1);
          q += e.name.size() - 1;
          taken = true;
          break;
        }
      }
      ref_.clear();
      if (const size_t n = taken ? 0 : DecodeXmlCharRef(text_, q, ref_); n > 0) {
        if (static_cast<uint8_t>(ref_[0]) < 0x20) ref_[0] = ' ';
        chunk = ref_;
        q += n - chunk.size();
      }
    }
    q += chunk.size() == 2 ? 2 : 1;
    if (inTable_) {
      if (cells_.size() < kShapeTextLimit) cells_.append(chunk == "\n" ? std::string_view(&kCellBreak, 1) : chunk);
      continue;
    }
    if (shapeBytes_ >= kShapeTextLimit) continue;
    shapeBytes_ += chunk.size();
    if (chunk == "\n" || chunk[0] == kCellBreak) EndLine();
    else line_.append(chunk);
  }
  p = static_cast<int>(q);
}

void PptxSlides::Slide(int number, std::string_view part, const std::vector<std::string>& pictures) {
  text_ = part;
  largest_ = kFirstLargestRow;
  extra_ = 0;
  char banner[128];
  std::snprintf(banner, sizeof banner, kBanner, number);
  for (size_t i = 0; banner[i]; ++i) Put(0, static_cast<int>(i), banner[i]);
  largest_ = kFirstLargestRow;

  depth_ = 0;
  body_ = Body::Outside;
  inTable_ = false;
  inGrid_ = false;
  colPos_.clear();
  ShapeStart();
  for (size_t lt = part.find('<'); lt != std::string_view::npos; lt = part.find('<', lt + 1)) {
    int p = static_cast<int>(lt);
    SlideElement(TagAt(p), p, pictures);
    if (p > static_cast<int>(lt)) lt = static_cast<size_t>(p) - 1;  // a run read up to its closing '<'
  }
  // The next slide starts below this one's last row.
  start_ += std::min(largest_ + 1 + extra_, kAreaRows);
}

// One element of a slide at p (which a run's text moves on to its closing '<').
void PptxSlides::SlideElement(Tag tag, int& p, const std::vector<std::string>& pictures) {
  switch (tag) {
    case Tag::kShapeName: {
      const int n = Find("name=\"Rectangle ", p + 1, kXmlNumber);
      entry_ = n >= 1 && n < kSlideShapes ? n : 0;
      break;
    }
    case Tag::kPlaceholder:
      type_ = Find("type=\"title\"", p + 1, kXmlPresent) ? 1 : Find("type=\"body\"", p + 1, kXmlPresent) ? 2
            : Find("type=\"subTitle\"", p + 1, kXmlPresent) ? 3 : Find("type=\"ctrTitle\"", p + 1, kXmlPresent) ? 4 : 0;
      if (type_ != 0) align_[static_cast<size_t>(entry_)] = type_ == 2 ? 'L' : 'c';
      break;
    case Tag::kPicture:
      picture_ = true;
      type_ = 0;
      break;
    case Tag::kShape:
      ShapeStart();
      break;
    case Tag::kGroup:
      ++depth_;
      break;
    case Tag::kGroupEnd:
      depth_ = std::max(depth_ - 1, 0);
      break;
    case Tag::kBody:
      body_ = Body::InBody;
      break;
    case Tag::kBodyEnd:
      body_ = Body::Outside;
      break;
    case Tag::kGraphicTransform:
      tableCol_ = std::clamp(Find("x=\"", p + 7, kXmlAfterElement + kXmlNumber) / colUnit_ / 100, 0, kTableColumnLimit);
      tableRow_ = std::clamp(Find("y=\"", p + 7, kXmlAfterElement + kXmlNumber) / rowUnit_ / 100 + 1, 1, kPageRows - 1);
      break;
    case Tag::kTransform:
      if (entry_ < kSlideShapes) ReadGeometry(p, 6, entry_, depth_);
      break;
    case Tag::kParagraphProps: {
      int pos = p + 1;
      if (body_ >= Body::InParagraph && entry_ < kSlideShapes && XmlFindInElement("algn=\"", text_, &pos, kXmlMoveTo)) {
        const char a = pos < static_cast<int>(text_.size()) ? text_[static_cast<size_t>(pos)] : 0;
        if (a == 'l') align_[static_cast<size_t>(entry_)] = 'L';
        if (a == 'r') align_[static_cast<size_t>(entry_)] = 'R';
        if (a == 'c') align_[static_cast<size_t>(entry_)] = 'c';
      }
      break;
    }
    case Tag::kParagraph:
      if (inTable_ && !cellFirstParagraph_) cells_ += kCellBreak;
      cellFirstParagraph_ = false;
      body_ = Body::InParagraph;
      break;
    case Tag::kRun:
      if (body_ >= Body::InParagraph) body_ = Body::InRun;
      break;
    case Tag::kRunEnd:
      body_ = Body::InParagraph;
      break;
    case Tag::kText:
      if (body_ == Body::InRun || inTable_) AppendRun(p);
      break;
    case Tag::kParagraphEnd:
    case Tag::kBreak:
      if (inTable_) {
        if (tag == Tag::kBreak) cells_ += kCellBreak;
      } else if (!line_.empty() || tag == Tag::kBreak) {
        EndLine();
      }
      break;
    case Tag::kBlip:
      if (picture_) {
        lines_ = {ooxml::PictureLabel(pictures, Find("r:embed=\"rId", p + 1, kXmlNumber))};
        line_.clear();
      }
      break;
    case Tag::kTable:
      inTable_ = true;
      colPos_.assign(1, tableCol_);
      cells_.clear();
      break;
    case Tag::kGrid:
      inGrid_ = true;
      break;
    case Tag::kGridEnd:
      inGrid_ = false;
      break;
    case Tag::kGridCol:
      if (inGrid_ && !colPos_.empty() && colPos_.size() < kTableColumns)
        colPos_.push_back(colPos_.back() + std::max(Find("w=\"", p + 1, kXmlNumber) / 80000 + 2, 4));
      break;
    case Tag::kCell:
      cellFirstParagraph_ = true;
      break;
    case Tag::kCellEnd:
      if (cells_.size() < kShapeTextLimit) cells_ += '\t';
      break;
    case Tag::kRowEnd:
      if (cells_.size() < kShapeTextLimit) cells_ += '\n';
      break;
    case Tag::kTableEnd:
      PlaceTable();
      inTable_ = false;
      break;
    case Tag::kShapeEnd:
      if (!line_.empty()) EndLine();
      PlaceShape();
      lines_.clear();
      picture_ = false;
      break;
    case Tag::kOther:
      break;
  }
}

void PptxSlides::PlaceShape() {
  if (lines_.empty()) return;
  Box b;
  char align = 'L';
  if (entry_ < kSlideShapes) {
    b = geo_[static_cast<size_t>(entry_)];
    align = align_[static_cast<size_t>(entry_)];
    if (b.x == 0 && b.y == 0 && b.cx < 800) {
      const size_t e = static_cast<size_t>(kPlaceholderBase + type_);
      if (geo_[e].x != 0 || geo_[e].y != 0 || geo_[e].cx >= 800) {
        b = geo_[e];
        align = align_[e];
      } else {
        b = {1000, 200, 8000, type_ == 1 || type_ == 4 ? 200 : 4000};
      }
    }
  } else {
    b = {50 * 80, 49 * 100, 50 * 80, 10 * 100};
  }
  int col = b.x / 80, row = b.y / 100 + 1, width = b.cx / 80, height = b.cy / 100;
  if (picture_) {
    align = 'c';
    if (width < 15) {
      width = 15;
      height = 1;
    }
  }
  width = std::max(width, 4);
  col = std::clamp(col, 0, kColumns - 1);
  const int wrap = std::min(width > 5 ? width - 2 : width, kColumns - col);

  std::vector<std::string_view> segments;
  for (const std::string& line : lines_)
    for (std::string_view chunk : Wrap(line, wrap)) segments.push_back(chunk);
  if (align == 'c' && height > static_cast<int>(segments.size())) row += (height - static_cast<int>(segments.size())) / 2;

  for (std::string_view chunk : segments) {
    int c = col;
    const int length = Columns(chunk);
    if (length < width && width > 6) {
      if (align == 'c') c = col + (width - length) / 2;
      if (align == 'R') c = col + width - length;
    }
    c = std::min(c, kColumns - 1);
    if (c > 0 && IsSjisLeadByte(static_cast<uint8_t>(At(row, c - 1)))) ++c;
    for (size_t i = 0; i < chunk.size(); ++i) {
      if (chunk[i] == '\t') {
        c = col + ((c - col) / 8 + 1) * 8;
        continue;
      }
      const bool lead = IsSjisLeadByte(static_cast<uint8_t>(chunk[i])) && i + 1 < chunk.size();
      if (lead && c + 1 >= kColumns) break;
      Put(row, c++, chunk[i]);
      if (lead) Put(row, c++, chunk[++i]);
    }
    ++row;
  }
}

void PptxSlides::PlaceTable() {
  int top = tableRow_, line = 0, tallest = 1, cell = 0;
  auto cellColumn = [&](int k) {
    return k < static_cast<int>(colPos_.size()) ? std::min(colPos_[static_cast<size_t>(k)], kTableColumnLimit) : -1;
  };
  int col = cellColumn(0);
  for (size_t i = 0; i < cells_.size(); ++i) {
    const char ch = cells_[i];
    if (ch == '\t') {
      ++cell;
      line = 0;
      const int next = cellColumn(cell);
      col = next >= 0 ? next : std::min(col + 2, kTableColumnLimit);
      continue;
    }
    if (ch == '\n') {
      top += tallest;
      extra_ += tallest - 1;
      tallest = 1;
      cell = 0;
      line = 0;
      col = cellColumn(0);
      continue;
    }
    const int limit = cellColumn(cell + 1);
    const bool lead = IsSjisLeadByte(static_cast<uint8_t>(ch)) && i + 1 < cells_.size();
    if (ch == kCellBreak || (limit >= 0 && col + (lead ? 2 : 1) > limit - 1)) {
      ++line;
      tallest = std::max(tallest, line + 1);
      col = std::max(cellColumn(cell), 0);
      if (ch == kCellBreak) continue;
    }
    Put(top + line, col++, ch);
    if (lead) Put(top + line, col++, cells_[++i]);
  }
  if (largest_ > kFirstLargestRow) ++extra_;
}

int PptxSlides::Finish() {
  const int row = std::min(start_, std::max(totalRows_ - 1, 0));
  char* line = buf_ + static_cast<size_t>(row) * kRowBytes;
  std::memset(line, '=', 100);
  const int length = row * kRowBytes + 100;
  buf_[length] = '\0';
  return length;
}
