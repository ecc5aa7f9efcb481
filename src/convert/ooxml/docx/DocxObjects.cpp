// Positioned objects of the word-processing layout: frames, anchored drawings, VML
// shapes, picture labels and text boxes, each placed from the offsets it gives.
#include <algorithm>
#include <climits>

#include "convert/ooxml/docx/DocxLayout.h"
#include "convert/ooxml/OoxmlText.h"
#include "convert/ooxml/XmlPart.h"

namespace {

constexpr int kLabelRowLimit = 300;
// Shape units (EMU / 100 across, EMU / 300 down) per column and row: the scale of
// an anchor's offsets (65,000 EMU a column, 170,000 EMU a row).
constexpr int kShapeUnitsPerColumn = 650;
constexpr int kShapeUnitsPerRow = 567;
// VML lengths in points as shape units (12,700 EMU a point).
constexpr int kPointWidthUnits = 127;
constexpr int kFarthestRow = 1000;  // a position read from the document lies on its page

int Row(int64_t row) { return static_cast<int>(std::clamp<int64_t>(row, 0, kFarthestRow)); }
int Column(int64_t col) { return static_cast<int>(std::clamp<int64_t>(col, 0, DocxLayout::kMaxColumn)); }

}  // namespace

void DocxLayout::Frame(int p) {
  if (frameTaken_) return;
  int64_t x = Find("w:x=\"", p, kXmlNumber) / 80;
  int64_t y = Find("w:y=\"", p, kXmlNumber) / 200;
  const bool vText = Find("w:vAnchor=\"text", p, kXmlPresent), vMargin = Find("w:vAnchor=\"margin", p, kXmlPresent),
             vPage = Find("w:vAnchor=\"page", p, kXmlPresent);
  if (vText) y += row_;
  if (vMargin) y += page_.topOffset;
  if (vPage) y = std::max<int64_t>(y + 1, 1);
  if (vText || vMargin || vPage) frameTaken_ = true;
  if (Find("w:hAnchor=\"text", p, kXmlPresent)) x += col_;
  if (Find("w:hAnchor=\"margin", p, kXmlPresent)) x += page_.marginOffset;
  if (!renderingNested_) {
    if (tableDepth_ > 0 && !frameReturn_) {
      frameReturn_ = true;
      frameReturnRow_ = row_;
    }
    row_ = Row(y);
    col_ = Column(x - 10);
  }
}

void DocxLayout::Position(int p, bool horizontal) {
  int pos = p + 1;
  std::string from;
  if (XmlFindInElement("relativeFrom=\"", text_, &pos, kXmlMoveTo)) {
    for (size_t k = static_cast<size_t>(pos); k < text_.size() && text_[k] != '"' && from.size() < 20; ++k)
      from += text_[k];
  }
  // The offset belongs to this element only when it comes before the element's end.
  const size_t end = text_.find(horizontal ? "</wp:positionH" : "</wp:positionV", static_cast<size_t>(p));
  const size_t offsetAt = text_.find("<wp:posOffset>", static_cast<size_t>(p));
  int offset = 0;
  if (offsetAt != std::string_view::npos && offsetAt < end) offset = Find("wp:posOffset>", static_cast<int>(offsetAt), kXmlNumber);
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
  if (!XmlFindInElement("style=\"", text_, &pos, kXmlMoveTo)) return;
  const size_t end = std::min(text_.find('"', static_cast<size_t>(pos)), text_.size());
  const std::string_view style = text_.substr(static_cast<size_t>(pos), end - static_cast<size_t>(pos));
  const bool absolute = style.find("position:absolute") != std::string_view::npos;
  bool hasLeft = false, hasTop = false, hasMarginLeft = false, hasMarginTop = false, found = false;
  const int left = StyleLength(style, "left:", &hasLeft);
  const int top = StyleLength(style, "top:", &hasTop);
  const int marginLeft = StyleLength(style, "margin-left:", &hasMarginLeft);
  const int marginTop = StyleLength(style, "margin-top:", &hasMarginTop);
  const int width = StyleLength(style, "width:", &found), height = StyleLength(style, "height:", &found);
  extentW_ = width / 6;
  extentH_ = height / 11;
  drawingW_ = static_cast<int>(std::clamp<int64_t>(int64_t{width} * kPointWidthUnits, 0, INT_MAX));
  drawingH_ = static_cast<int>(std::clamp<int64_t>(int64_t{height} * kPointWidthUnits / 3, 0, INT_MAX));
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
  const std::string label = ooxml::PictureLabel(pictures_, Find(pattern, p, kXmlNumber));
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

// A shape's box: its offset from the anchor (the shapes of a group lie apart) and
// its size, which sets the width its text wraps at.
void DocxLayout::ShapeBox(int p) {
  const size_t end = std::min(text_.find("</wps:spPr", static_cast<size_t>(p)), text_.size());
  const auto value = [&](std::string_view element, std::string_view attribute) -> int {
    const size_t at = text_.find(element, static_cast<size_t>(p));
    if (at >= end) return 0;
    return Find(attribute, static_cast<int>(at), kXmlNumber);
  };
  shapeOffset_ = {value("<a:off ", "x=\"") / 100 / kShapeUnitsPerColumn, value("<a:off ", "y=\"") / 300 / kShapeUnitsPerRow};
  const int cx = value("<a:ext ", "cx=\""), cy = value("<a:ext ", "cy=\"");
  if (cx > 0) drawingW_ = cx / 100;
  if (cy > 0) drawingH_ = cy / 300;
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
  const Anchor base = anchored_ ? anchor_ : Anchor{col_, row_};
  boxAt_ = {Column(int64_t{base.x} + shapeOffset_.x), Row(int64_t{base.y} + shapeOffset_.y)};
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
