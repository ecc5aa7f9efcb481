// One figure of the figure and text layer: a rectangle, a double frame, a rounded
// rectangle, an ellipse, a quarter arc, a hatched area or a straight line, filled
// and/or outlined by the step, with the pen the pattern chooses.
#include <algorithm>
#include <cstdlib>

#include "image/ViewImageState.h"
#include "image/ViewRegionState.h"
#include "view/QelView.h"

namespace {

plat::Pen PenFor(int figure, int pattern, COLORREF color) {
  using namespace plat;
  if (figure == 1) {
    if (pattern == 3 || pattern == 4) return Pen{PS_SOLID, 2, color};
    if (pattern == 5 || pattern == 6) return Pen{PS_DOT, 1, color};
    return Pen{PS_SOLID, 1, color};
  }
  if (figure == 5) return Pen{PS_SOLID, 1, color};
  switch (pattern) {
    case 1: return Pen{PS_SOLID, 2, color};
    case 2: return Pen{PS_SOLID, 3, color};
    case 3: return Pen{PS_DASH, 1, color};
    case 4: return Pen{PS_DOT, 1, color};
    case 5: return Pen{PS_DASHDOT, 1, color};
    case 6: return Pen{PS_DASHDOTDOT, 1, color};
    default: return Pen{PS_SOLID, 1, color};
  }
}

}  // namespace

int CQelView::DrawFigure(plat::DrawContext& dc, CRect rc, int figure, int step, COLORREF frame, COLORREF fill,
                         COLORREF key) {
  const int pattern = Region().m_nPattern;
  plat::Brush brush{plat::BS_SOLID, fill, 0};
  // A hatch's gaps always take the layer's background colour, whatever the layer's
  // background mode: the key colour at the frame step (they stay transparent), the
  // fill colour otherwise.
  int bkMode = 0;
  if (figure == 5) {
    brush = plat::Brush{plat::BS_HATCHED, Image().m_ImageSettings.m_clrText, std::clamp(pattern, 0, 5)};
    dc.SetBkColor(step == 1 ? key : fill);
    bkMode = dc.SetBkMode(plat::OPAQUE);
  }
  const COLORREF penColor = step == 2 ? fill : frame;
  dc.SelectPen(PenFor(figure, pattern, penColor));
  dc.SelectBrush(brush);

  const CRect passed = rc;
  int left = rc.left, top = rc.top, right = rc.right, bottom = rc.bottom;
  if (figure < 3) {
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
  }
  int r = right - 1, b = bottom - 1;
  if (figure != 1) {
    if (pattern == 2) ++left, ++top, --r, --b;
    if (pattern == 1) ++left, ++top;
  } else if (pattern == 3 || pattern == 4) {
    ++left, ++top;
  }
  const int c = std::min({std::abs((r - left) / 5), std::abs((b - top) / 5), 15});

  if (step > 1 || (step == 1 && figure == 5)) {
    if (figure == 0 || figure == 1 || figure == 5) {
      CRect area{std::min(passed.left, passed.right), std::min(passed.top, passed.bottom),
                 std::max(passed.left, passed.right), std::max(passed.top, passed.bottom)};
      dc.FillRect(area, brush);
    } else if (figure == 2) {
      dc.RoundRect(passed.left, passed.top, passed.right, passed.bottom, 2 * c, 2 * c);
      return 0;
    } else if (figure == 3) {
      dc.Ellipse(passed.left, passed.top, passed.right, passed.bottom);
      return 0;
    }
  }
  if (bkMode != 0) dc.SetBkMode(bkMode);
  const COLORREF pen = penColor;
  switch (figure) {
    case 0:
      plat::DrawOutline(dc, left, top, r, b);
      if (pattern == 2) {
        dc.SetPixel(left - 1, top - 1, pen), dc.SetPixel(r + 1, top - 1, pen);
        dc.SetPixel(r + 1, b + 1, pen), dc.SetPixel(left - 1, b + 1, pen);
      } else if (pattern == 1) {
        dc.SetPixel(left - 1, top - 1, pen), dc.SetPixel(left, top - 1, pen);
      }
      break;
    case 1: {
      plat::DrawOutline(dc, left, top, r, b);
      if (pattern == 3 || pattern == 4) dc.SetPixel(left - 1, top - 1, pen), dc.SetPixel(left, top - 1, pen);
      const int d = pattern <= 2 ? pattern + 2 : pattern <= 4 ? pattern : pattern - 2;
      plat::DrawOutline(dc, left + d, top + d, r - d, b - d);
      if (pattern == 3 || pattern == 4) {
        dc.SetPixel(left + d - 1, top + d - 1, pen), dc.SetPixel(left + d, top + d - 1, pen);
      }
      break;
    }
    case 2:
      dc.MoveToEx(left + c, top);
      dc.AngleArc(r - c - 1, top + c, c, 90, -90);
      dc.AngleArc(r - c - 1, b - c - 1, c, 0, -90);
      dc.AngleArc(left + c, b - c - 1, c, 270, -90);
      dc.AngleArc(left + c, top + c, c, 180, -90);
      dc.LineTo(left + c, top);
      break;
    case 3: {
      const plat::Brush none{plat::BS_NULL, 0, 0};
      dc.SelectBrush(none);
      dc.Ellipse(std::min(left, r), std::min(top, b), std::max(left, r) + 1, std::max(top, b) + 1);
      break;
    }
    case 4: {
      // The quarter of the ellipse centred on the second corner, bulging towards the first.
      const int rx = std::abs(r - left), ry = std::abs(b - top);
      const bool same = (r > left) == (b > top);
      if (same) {
        dc.Arc(r - rx, b - ry, r + rx + 1, b + ry + 1, r, top, left, b);
      } else {
        dc.Arc(r - rx, b - ry, r + rx + 1, b + ry + 1, left, b, r, top);
      }
      break;
    }
    case 10: {
      int ex = r, ey = b;
      if (std::abs(r - left) < 3) ex = left;
      if (std::abs(b - top) < 3) ey = top;
      dc.MoveToEx(left, top);
      dc.LineTo(ex, ey);
      break;
    }
    default: break;
  }
  return 0;
}
