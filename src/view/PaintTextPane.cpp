// Painting the text pane: the lines in view, drawn with the pane's fonts onto the
// pane's client surface, which save-pane, the captures and the pixel read-out read.
// Plain text sits on the pane's cells (8 x 16 pixels, Tabs on their stops) in the
// fixed-pitch font and the text colour. Rich text sits where the rich-edit control
// puts each character (its line heights, spacing, indent and tab stops), in the
// character's own format: face, size, bold, italic, underline, strike-out, raised
// or lowered, its colour or the text colour. A character's background colour fills
// its cell over the line's whole height and at least one pixel wide, so the 1-point
// runs highlighted in the rule colour show as the table's rules. Only the lines in
// view are painted, each only up to the pane's right edge.
#include <algorithm>

#include "app/FileKind.h"
#include "image/ViewImageState.h"
#include "image/ViewRegionState.h"
#include "view/PlainTextModel.h"
#include "view/QelView.h"

namespace {

constexpr int kTwipsPerPixel = 15;
constexpr int kBoldWeight = 700;
constexpr int kNormalWeight = 400;
// A plain line's baseline below its top: seven eighths of the cell, the fonts' own
// ascent rounded, which leaves the descenders their two rows.
constexpr int kPlainBaseline = CQelView::kLineHeight * 7 / 8;
constexpr int kMarksShownFigure = 60;  // a packaged document's picture slots are placed

int Pixels(int64_t twips) {
  return static_cast<int>(std::clamp<int64_t>(twips / kTwipsPerPixel, -(1 << 30), 1 << 30));
}

// Control characters (Tab, CR, object and page marks) leave no ink.
bool Inked(char c) { return static_cast<unsigned char>(c) >= 0x20; }

plat::LogFont FontOf(const plat::CharFormat2& cf) {
  plat::LogFont font;
  font.height = static_cast<int>(std::clamp<int64_t>((int64_t{cf.yHeight} + kTwipsPerPixel / 2) / kTwipsPerPixel, 1,
                                                     plat::kMaxFontHeight));
  font.emHeight = true;
  font.weight = cf.dwEffects & plat::CFE_BOLD ? kBoldWeight : kNormalWeight;
  font.italic = (cf.dwEffects & plat::CFE_ITALIC) != 0;
  font.underline = (cf.dwEffects & plat::CFE_UNDERLINE) != 0;
  font.strikeOut = (cf.dwEffects & plat::CFE_STRIKEOUT) != 0;
  font.faceName = cf.szFaceName;
  return font;
}

void PaintPlainLines(plat::Bitmap& surface, const TextModel& model, plat::TextPainter& painter) {
  const ScrollPos scroll = model.GetScrollPos();
  const std::string_view text = model.GetText();
  for (int row = 0; row * CQelView::kLineHeight < surface.height; ++row) {
    const int start = model.LineIndex(scroll.line + row);
    if (start < 0) break;
    const std::string_view line = text.substr(static_cast<size_t>(start),
                                              static_cast<size_t>(std::max(model.LineLength(scroll.line + row), 0)));
    int cell = 0;
    for (size_t i = 0; i < line.size(); i += static_cast<size_t>(SjisCharSize(line, i))) {
      const int next = PlainNextCell(line, i, cell);
      const int x = (cell - scroll.column) * CQelView::kCharWidth;
      if (x >= surface.width) break;
      if (next > scroll.column && Inked(line[i])) {
        painter.TextOut(surface, x, row * CQelView::kLineHeight + kPlainBaseline - painter.Ascent(),
                        line.substr(i, static_cast<size_t>(SjisCharSize(line, i))));
      }
      cell = next;
    }
  }
}

// One line of rich text whose top is `top` pixels below the pane's: the backgrounds
// first, then the characters over them (an italic or bold overhang is not cut).
void PaintRichLine(plat::Bitmap& surface, const plat::RichEdit& edit, int line, int64_t topTwips,
                   plat::TextPainter& painter, COLORREF textColour) {
  const CPoint scroll = edit.GetScrollPos();
  const plat::ParaFormat2& pf = edit.ParaOfLine(line);
  const int height = edit.LineHeightTwips(line);
  const int top = Pixels(topTwips), bottom = std::max(Pixels(topTwips + height), top + 1);
  // The characters stand on a baseline a sixth of the text's box above its foot: the
  // single spacing's fifth over the characters' height is their descent.
  const int64_t box = int64_t{height} - pf.dySpaceBefore - pf.dySpaceAfter;
  const int64_t baseline = topTwips + pf.dySpaceBefore + box - box / 6;
  const int first = edit.LineIndex(line);
  const int end = first + edit.LineLength(first);
  const std::string& text = edit.Text();
  const plat::CharFormat2* selected = nullptr;
  for (const bool glyphs : {false, true}) {
    int64_t x = pf.dxStartIndent;
    for (int cp = first; cp < end; ++cp) {
      const int left = Pixels(x) - scroll.x;
      if (left >= surface.width) break;
      x += edit.CharWidthTwips(cp, static_cast<int>(std::clamp<int64_t>(x, 0, 1 << 30)), pf);
      const int right = std::max(Pixels(x) - scroll.x, left + 1);
      if (right <= 0) continue;
      const plat::CharFormat2& cf = edit.FormatAt(cp);
      if (!glyphs) {
        if (!(cf.dwEffects & plat::CFE_AUTOBACKCOLOR)) plat::FillRect(surface, CRect{left, top, right, bottom}, cf.crBackColor);
        continue;
      }
      const int byte = edit.ByteFromChar(cp);
      if (!Inked(text[static_cast<size_t>(byte)])) continue;
      if (&cf != selected) {
        painter.SelectFont(FontOf(cf));
        painter.SetTextColor(cf.dwEffects & plat::CFE_AUTOCOLOR ? textColour : cf.crTextColor);
        selected = &cf;
      }
      const std::string_view ch(text.data() + byte, static_cast<size_t>(edit.ByteFromChar(cp + 1) - byte));
      painter.TextOut(surface, left, Pixels(baseline - cf.yOffset) - painter.Ascent(), ch);
    }
  }
}

void PaintRichLines(plat::Bitmap& surface, const plat::RichEdit& edit, plat::TextPainter& painter,
                    COLORREF textColour) {
  int64_t top = 0;
  for (int line = edit.GetScrollPos().y; line < edit.GetLineCount() && Pixels(top) < surface.height; ++line) {
    PaintRichLine(surface, edit, line, top, painter, textColour);
    top += edit.LineHeightTwips(line);
  }
}

}  // namespace

bool CQelView::PaneShowsPicture() const {
  return IsImageKind(Pane().m_nShownKind) && (Image().m_pDisplayBitmap || Image().m_nPictureObjectMode != 0);
}

void CQelView::PreparePaneSurface() {
  if (!PaneShowsPicture()) {
    PaintTextPane();
  } else if (Pane().m_paneSurface.width == 0) {
    RepaintImage();
  }
}

void CQelView::PaintTextPane() {
  Pane().m_paneSurface.width = kClientWidth;
  Pane().m_paneSurface.height = kClientHeight;
  Pane().m_paneSurface.pixels.assign(static_cast<size_t>(kClientWidth) * kClientHeight, plat::PixelOfColor(m_doc.m_clrTextBack));
  if (!m_pTextPainter) m_pTextPainter = std::make_unique<plat::TextPainter>();
  plat::TextPainter& painter = *m_pTextPainter;
  painter.SetBkMode(plat::TRANSPARENT);
  if (const plat::RichEdit* rich = Rich()) {
    PaintRichLines(Pane().m_paneSurface, *rich, painter, m_doc.m_clrTextChar);
  } else {
    plat::LogFont font;
    font.height = kLineHeight;
    font.emHeight = true;
    font.faceName = m_doc.m_strTableFont;
    painter.SetTextColor(m_doc.m_clrTextChar);
    if (painter.SelectFont(font)) PaintPlainLines(Pane().m_paneSurface, *m_pModel, painter);
  }
  // The pictures of a packaged document's slots stay over its text; a video window
  // over the pane's filler.
  if (Region().m_nFigure == kMarksShownFigure) ShowDisplaySlots();
  PaintMediaWindow();
}
