// Where the rich-edit control puts its characters: 96 DPI, 15 twips a pixel. A
// single-byte character advances half its height, a double-byte one its height, a
// Tab to the next stop (every 720 twips past the last). A paragraph's line height is
// 6/5 of its largest character, or what its spacing rule makes of it. Sums are 64-bit:
// a hostile file may hold a long paragraph of very large characters.
#include <algorithm>

#include "platform/richedit/RichEdit.h"

namespace plat {

namespace {

constexpr int kTwipsPerPixel = 15;
constexpr int kDefaultTab = 720;

}  // namespace

int RichEdit::CharWidthTwips(int cp, int xTwips, const ParaFormat2& pf) const {
  const int byte = ByteFromChar(cp);
  const char c = text_[static_cast<size_t>(byte)];
  const CharFormat2& cf = formats_[fmt_[static_cast<size_t>(byte)]].cf;
  if (c == '\r') return 0;
  if (c == '\t') {
    for (int i = 0; i < pf.cTabCount && i < kMaxTabStops; ++i) {
      if (pf.rgxTabs[static_cast<size_t>(i)] > xTwips) return pf.rgxTabs[static_cast<size_t>(i)] - xTwips;
    }
    const int last = pf.cTabCount > 0 ? std::max(pf.rgxTabs[static_cast<size_t>(pf.cTabCount - 1)], 0) : 0;
    const int from = std::max(xTwips, last);
    return (from / kDefaultTab + 1) * kDefaultTab - xTwips;
  }
  const int next = cp + 1 < GetTextLength() ? ByteFromChar(cp + 1) : static_cast<int>(text_.size());
  return next - byte == 2 || c == kObjectChar ? cf.yHeight : cf.yHeight / 2;
}

int RichEdit::LineHeightTwips(int line) const {
  if (line < 0 || line >= GetLineCount()) return 0;
  const int start = paraStart_[static_cast<size_t>(line)];
  const int end = line + 1 < GetLineCount() ? paraStart_[static_cast<size_t>(line) + 1] : GetTextLength();
  int tallest = end > start ? 0 : FormatAt(start > 0 ? start - 1 : 0).yHeight;
  for (int cp = start; cp < end; ++cp) tallest = std::max(tallest, FormatAt(cp).yHeight);
  const ParaFormat2& pf = ParaOfLine(line);
  const int64_t single = int64_t{tallest} * 6 / 5;
  int64_t height = single;
  switch (pf.bLineSpacingRule) {
    case kSpacingOneHalf: height = single * 3 / 2; break;
    case kSpacingDouble: height = single * 2; break;
    case kSpacingAtLeast: height = std::max<int64_t>(pf.dyLineSpacing, single); break;
    case kSpacingExact: height = pf.dyLineSpacing; break;
    case kSpacingMultiple: height = single * pf.dyLineSpacing / 20; break;
    default: break;
  }
  height += pf.dySpaceBefore + pf.dySpaceAfter;
  return static_cast<int>(std::clamp<int64_t>(height, 0, 1 << 24));
}

CPoint RichEdit::PosFromChar(int cp) const {
  cp = std::clamp(cp, 0, GetTextLength());
  const int line = ExLineFromChar(cp);
  int64_t y = 0;
  for (int l = std::min(line, scroll_.y); l < std::max(line, scroll_.y); ++l) y += LineHeightTwips(l);
  if (line < scroll_.y) y = -y;
  const ParaFormat2& pf = ParaOfLine(line);
  int64_t x = pf.dxStartIndent;
  for (int c = paraStart_[static_cast<size_t>(line)]; c < cp; ++c) {
    x += CharWidthTwips(c, static_cast<int>(std::clamp<int64_t>(x, 0, 1 << 30)), pf);
  }
  auto pixels = [](int64_t twips) { return static_cast<int>(std::clamp<int64_t>(twips / kTwipsPerPixel, -(1 << 30), 1 << 30)); };
  return CPoint{pixels(x) - scroll_.x, pixels(y)};
}

int RichEdit::XInLineTwips(int cp) const {
  cp = std::clamp(cp, 0, GetTextLength());
  const int line = ExLineFromChar(cp);
  const ParaFormat2& pf = ParaOfLine(line);
  int64_t x = pf.dxStartIndent;
  for (int c = paraStart_[static_cast<size_t>(line)]; c < cp; ++c) {
    x += CharWidthTwips(c, static_cast<int>(std::clamp<int64_t>(x, 0, 1 << 30)), pf);
  }
  return static_cast<int>(std::clamp<int64_t>(x, -(1 << 30), 1 << 30));
}

int RichEdit::CharFromPos(CPoint p) const {
  int line = std::clamp(scroll_.y, 0, GetLineCount() - 1);
  int64_t top = 0;
  const int64_t want = int64_t{std::max(p.y, 0)} * kTwipsPerPixel;
  while (line + 1 < GetLineCount() && top + LineHeightTwips(line) <= want) top += LineHeightTwips(line++);
  const ParaFormat2& pf = ParaOfLine(line);
  const int64_t at = (int64_t{p.x} + scroll_.x) * kTwipsPerPixel;
  int64_t x = pf.dxStartIndent;
  const int end = line + 1 < GetLineCount() ? paraStart_[static_cast<size_t>(line) + 1] - 1 : GetTextLength();
  for (int cp = paraStart_[static_cast<size_t>(line)]; cp < end; ++cp) {
    const int w = CharWidthTwips(cp, static_cast<int>(std::clamp<int64_t>(x, 0, 1 << 30)), pf);
    if (at < x + w) return cp;
    x += w;
  }
  return end;
}

void RichEdit::SetScrollPos(CPoint p) {
  scroll_.y = std::clamp(p.y, 0, GetLineCount() - 1);
  scroll_.x = std::max(p.x, 0);
}

}  // namespace plat
