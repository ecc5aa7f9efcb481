// The elements the word-processing layout acts on, found by name, and what each does.
#include <algorithm>
#include <array>

#include "convert/ooxml/docx/DocxLayout.h"
#include "convert/ooxml/OoxmlText.h"

namespace {

constexpr int kSelfClosingWindow = 200;

enum class Tag {
  Run, ParagraphEnd, Paragraph, Tab, Break, RenderedPageBreak, RunPropertiesEnd, Table, TableEnd, Row, RowEnd,
  Cell, CellEnd, CellWidth, Frame, Drawing, DrawingEnd, Pict, PictEnd, Fallback, VmlGroup, VmlGroupEnd, TextBox,
  TextBoxEnd, ShapeGroup, ShapeGroupEnd, Anchor, AnchorEnd, Inline, PositionH, PositionV, Extent, VmlShape, Blip,
  ImageData, ShapeBox,
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
    {"v:imagedata", Tag::ImageData}, {"wps:spPr", Tag::ShapeBox},
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
      // A column break is neither a page nor a line break.
      if (Find("w:type=\"pag", at, kXmlPresent)) PageBreak();
      else if (!Find("w:type=\"", at, kXmlPresent) || Find("w:type=\"textWrapping", at, kXmlPresent)) LineBreak();
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
    case Tag::Drawing:
      ++drawing_;
      shapeOffset_ = {};
      break;
    case Tag::DrawingEnd:
      drawing_ = std::max(drawing_ - 1, 0);
      anchored_ = false;
      shapeOffset_ = {};
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
      shapeOffset_ = {};
      break;
    case Tag::AnchorEnd: break;
    case Tag::Inline: anchored_ = false; break;
    case Tag::PositionH: Position(at, true); break;
    case Tag::PositionV: Position(at, false); break;
    case Tag::Extent:
      extentW_ = Find("cx=\"", at, kXmlNumber) / 65000;
      extentH_ = Find("cy=\"", at, kXmlNumber) / 160000;
      drawingW_ = Find("cx=\"", at, kXmlNumber) / 100;
      drawingH_ = Find("cy=\"", at, kXmlNumber) / 300;
      break;
    case Tag::VmlShape: VmlShape(at); break;
    case Tag::Blip: Picture(at, "r:embed=\"rId"); break;
    case Tag::ImageData: Picture(at, "r:id=\"rId"); break;
    case Tag::ShapeBox: ShapeBox(at); break;
  }
}
