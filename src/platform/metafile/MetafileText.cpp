// The text records of the metafile player: the font the records selected, scaled
// by the mapping; the run placed by the text alignment on a baseline turned by the
// font's escapement and the world transform; advances from the record when it
// has them; glyph indices drawn through the face's own glyphs when the face is the
// one the record asks for (another face's indices would name other glyphs); the
// opaque rectangle and ETO_CLIPPED's clipping rectangle.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/metafile/MetafileCanvas.h"
#include "platform/text/CodePage.h"

namespace plat {

namespace {

double Finite(double v) { return std::isfinite(v) ? std::clamp(v, -1e9, 1e9) : 0.0; }

}  // namespace

bool MetafileCanvas::SelectFont() {
  const XForm l = Linear();
  const double scale = std::sqrt(std::abs(l.m11 * l.m22 - l.m12 * l.m21));
  const double px = s_.font.height == 0 ? 16 : std::abs(s_.font.height) * scale;
  LogFont f;
  f.height = static_cast<int>(std::clamp(std::isfinite(px) ? std::lround(px) : 16L, 1L, long{kMaxFontHeight}));
  f.weight = s_.font.weight;
  f.italic = s_.font.italic;
  f.underline = s_.font.underline;
  f.strikeOut = s_.font.strikeOut;
  f.charSet = s_.font.charSet;
  f.faceName = s_.font.faceName;
  f.emHeight = s_.font.height < 0;
  return text_ && text_->SelectFont(f);
}

void MetafileCanvas::TextOut(DPoint ref, std::u16string_view text, std::span<const double> dx, int options,
                             const DPoint* rect) {
  if ((s_.textAlign & TA_UPDATECP) != 0) ref = s_.pos;
  if ((options & ETO_OPAQUE) != 0 && rect) {
    const DPoint p = ToTarget(rect[0]), q = ToTarget(rect[1]);
    const CPoint a = Pixel({std::min(p.x, q.x), std::min(p.y, q.y)}), b = Pixel({std::max(p.x, q.x), std::max(p.y, q.y)});
    Context().FillRect(CRect{a.x, a.y, b.x, b.y}, Brush{BS_SOLID, s_.bkColor, 0});
  }
  const bool glyphs = (options & ETO_GLYPH_INDEX) != 0;
  if (text.empty() || !SelectFont() || (glyphs && !text_->FaceIsAskedFor())) return;
  Region clipped;
  if ((options & ETO_CLIPPED) != 0 && rect) {
    clipped = LogicalRect(rect[0], rect[1]);
    if (s_.clip) clipped = clipped.Combine(*s_.clip, RGN_AND);
  }
  text_->SetClip((options & ETO_CLIPPED) != 0 && rect ? &clipped : s_.clip.get());
  text_->SetTextColor(s_.textColor);
  text_->SetBkColor(s_.bkColor);
  text_->SetBkMode(s_.bkMode == OPAQUE ? OPAQUE : TRANSPARENT);

  // The baseline: the escapement (tenths of a degree, counter-clockwise), turned
  // further by a world transform that turns the logical axes.
  const XForm l = Linear();
  double angle = s_.font.escapement * std::numbers::pi / 1800;
  double along = l.m11;  // target pixels of one logical unit along the baseline
  if (!AxisAligned()) {
    angle += std::atan2(-l.m12, l.m11);
    along = std::hypot(l.m11, l.m12);
  }
  std::vector<double> advances;
  if (dx.size() >= text.size()) {
    for (size_t i = 0; i < text.size(); ++i) advances.push_back(Finite(dx[i] * along));
  }
  TextRun run{0, 0, angle, advances, glyphs};
  double total = 0;
  if (advances.empty()) {
    total = text_->DrawRun(nullptr, run, text);
  } else {
    for (const double a : advances) total += a;
  }
  double shift = 0, drop = text_->Ascent();  // along the baseline; towards the glyphs' feet
  if ((s_.textAlign & TA_CENTER) == TA_CENTER) {
    shift = -total / 2;
  } else if ((s_.textAlign & TA_CENTER) == TA_RIGHT) {
    shift = -total;
  }
  if ((s_.textAlign & TA_BASELINE) == TA_BASELINE) {
    drop = 0;
  } else if ((s_.textAlign & TA_BASELINE) == TA_BOTTOM) {
    drop = text_->Ascent() - text_->CellHeight();
  }
  const double ux = std::cos(angle), uy = -std::sin(angle);
  const DPoint o = ToTarget(ref);
  run.x = Finite(o.x + ux * shift - uy * drop);
  run.y = Finite(o.y + uy * shift + ux * drop);
  text_->DrawRun(&target_, run, text);
  text_->SetClip(nullptr);
  if ((s_.textAlign & TA_UPDATECP) != 0 && l.m11 != 0) s_.pos.x += total / along;
}

std::u16string MetafileCanvas::DecodeText(std::span<const uint8_t> bytes) const {
  const std::string_view raw(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (s_.font.charSet == 128) return Cp932ToWide(raw);
  std::u16string out;
  out.reserve(bytes.size());
  for (const uint8_t b : bytes) out.push_back(static_cast<char16_t>(b));
  return out;
}

}  // namespace plat
