// The region as the user sees and drags it: the outline of the selected figure
// drawn over the pane (never into the picture), the corners set by a drag of the
// mouse, the line figure's snap to level, upright and 45-degree lines, and the
// region's measures in the status line.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "app/Globals.h"
#include "frame/MainFrame.h"
#include "image/ImageState.h"
#include "image/ImageStatus.h"
#include "image/ViewImageState.h"
#include "image/ViewRegionState.h"
#include "platform/ui/Keys.h"
#include "view/QelView.h"

namespace {

constexpr int kLineFigure = 10;
constexpr int kPointFigure = 11;

std::string Format(const char* format, auto... args) {
  char text[256];
  std::snprintf(text, sizeof text, format, args...);
  return text;
}

}  // namespace

void CQelView::DrawImageOverlay() {
  if (Region().m_nFigure > 50 && Region().m_nFigure < 60) {
    ShowDisplaySlots();
    return;
  }
  if (!IsActiveImagePane() || !Image().m_pDisplayBitmap || Image().m_nPictureObjectMode != 0) return;
  const CRect& g = Region().m_rcRegion;
  if (g.right < 0 || g.bottom < 0 || g.left < 0 || g.top < 0) return;
  // The region on screen is remembered for the region mode and for paste.
  if (g.right > 0) {
    m_doc.Image().m_rcLastRegion = CRect{std::min(g.left, g.right), std::min(g.top, g.bottom), std::max(g.left, g.right),
                                 std::max(g.top, g.bottom)};
  }
  // The region in client pixels; the corners keep their order for the line and arc.
  const int x0 = g.left - Image().m_nImageOriginX, y0 = g.top - Image().m_nImageOriginY;
  const int x1 = g.right - Image().m_nImageOriginX, y1 = g.bottom - Image().m_nImageOriginY;
  const int left = std::min(x0, x1), top = std::min(y0, y1);
  const int r = std::max(x0, x1) - 1, b = std::max(y0, y1) - 1;
  if (r < left || b < top) return;

  const ImageConvertSettings& s = Image().m_ImageSettings;
  plat::DrawContext dc(Pane().m_paneSurface);
  // A dotted pen in the text colour over the background colour shows on any picture.
  dc.SelectPen(plat::Pen{plat::PS_DOT, 1, s.m_clrText & 0xFFFFFF});
  dc.SetBkMode(plat::OPAQUE);
  dc.SetBkColor(s.m_clrBackground & 0xFFFFFF);
  dc.SelectBrush(plat::Brush{plat::BS_NULL, 0, 0});
  switch (Region().m_nFigure) {
    case 2: {
      const int c = std::min({(r - left) / 5, (b - top) / 5, 15});
      dc.MoveToEx(left + c, top);
      dc.AngleArc(r - c, top + c, c, 90, -90);
      dc.AngleArc(r - c, b - c, c, 0, -90);
      dc.AngleArc(left + c, b - c, c, 270, -90);
      dc.AngleArc(left + c, top + c, c, 180, -90);
      dc.LineTo(left + c, top);
      break;
    }
    case 3: dc.Arc(left, top, r + 1, b + 1, r, (top + b) / 2, r, (top + b) / 2); break;
    case 4: {
      // The quarter of the ellipse centred on the second corner, as the figure draws it.
      const int ex = x1 - 1, ey = y1 - 1, rx = std::abs(ex - x0), ry = std::abs(ey - y0);
      const bool same = (ex > x0) == (ey > y0);
      if (same) {
        dc.Arc(ex - rx, ey - ry, ex + rx + 1, ey + ry + 1, ex, y0, x0, ey);
      } else {
        dc.Arc(ex - rx, ey - ry, ex + rx + 1, ey + ry + 1, x0, ey, ex, y0);
      }
      break;
    }
    case 5: {
      // The hatch over the region, its gaps letting the picture through.
      dc.SetBkMode(plat::TRANSPARENT);
      dc.FillRect(CRect{left, top, r + 1, b + 1},
                  plat::Brush{plat::BS_HATCHED, s.m_clrText & 0xFFFFFF, std::clamp(Region().m_nPattern, 0, 5)});
      break;
    }
    case kLineFigure: {
      int ex = x1 - 1, ey = y1 - 1;
      if (std::abs(ex - x0) < 3) ex = x0;
      if (std::abs(ey - y0) < 3) ey = y0;
      dc.MoveToEx(x0, y0);
      dc.LineTo(ex, ey);
      break;
    }
    case kPointFigure: break;
    default: plat::DrawOutline(dc, left, top, r, b); break;
  }
}

void CQelView::AdjustDragRegion(int corner) {
  if (Region().m_nFigure != kLineFigure || Region().m_rcRegion.left < 0 || Region().m_rcRegion.right < 0) return;
  CRect& g = Region().m_rcRegion;
  const int dx = g.right - g.left, dy = g.bottom - g.top;
  // The quadrant of the end seen from the anchor: 1 left and above (or level), 2 left
  // and below, 3 right and above, 4 right and below.
  const int quadrant = dx > 0 && dy < 0 ? 3 : dx < 0 && dy > 0 ? 2 : dx <= 0 && dy <= 0 ? 1 : 4;
  int sx = quadrant >= 3 ? 1 : -1, sy = quadrant == 2 || quadrant == 4 ? 1 : -1;
  const bool anchorMoves = corner == 1;
  if (anchorMoves) sx = -sx, sy = -sy;
  const int fixedX = anchorMoves ? g.right : g.left, fixedY = anchorMoves ? g.bottom : g.top;
  int& movedX = anchorMoves ? g.left : g.right;
  int& movedY = anchorMoves ? g.top : g.bottom;
  const int w = std::abs(dx), h = std::abs(dy);
  const int threshold = w >= 50 && h >= 50 ? 50 : 10;
  if (w < threshold || h < threshold) {
    // A short side: level or upright, the moved corner one pixel past the fixed one.
    if (w < threshold) movedX = fixedX + sx;
    if (h < threshold) movedY = fixedY + sy;
  } else if (std::abs(w - h) < threshold) {
    const int side = std::max(w, h);
    movedX = fixedX + sx * side;
    movedY = fixedY + sy * side;
  }
}

void CQelView::OnImageEditDrag(unsigned flags, CPoint point) {
  if (!(flags & plat::MK_LBUTTON) || !Image().m_pDisplayBitmap) return;
  if (Region().m_nPaintMode == 1 && Region().m_nFigure == kPointFigure) {
    // The brush paints along the drag.
    OnImageEditClick(point);
    return;
  }
  if (Region().m_ptBlockDragFrom.x >= 0) {
    DragPastedBlock(point);
    return;
  }
  if (Region().m_nRegionPickState != 2) return;
  // The end follows the pointer until the button is let go.
  Region().m_rcRegion.right = point.x + Image().m_nImageOriginX;
  Region().m_rcRegion.bottom = point.y + Image().m_nImageOriginY;
  AdjustDragRegion(4);
  RepaintImage();
}

void CQelView::OnImageEditRelease(CPoint point) {
  if (Region().m_ptBlockDragFrom.x >= 0) {
    DragPastedBlock(point);
    Region().m_ptBlockDragFrom = CPoint{-1, -1};
    return;
  }
  // A release away from the press ends a drag: the second corner is set there.
  if (Region().m_nRegionPickState != 2 || (point.x == Region().m_ptClick.x && point.y == Region().m_ptClick.y)) return;
  OnImageEditClick(point);
  AdjustDragRegion(4);
  MapRegion(true);
  RepaintImage();
}

std::string CQelView::RegionMeasures() {
  const CRect& g = Region().m_rcRegion;
  if (g.left < 0 || g.top < 0 || g.right < 0 || g.bottom < 0) return "";
  const int zoom = std::clamp(Image().m_ImageSettings.m_nZoomIndex, 1, 9);
  const int64_t scale = std::max(m_doc.Image().m_nMeasureScale, 1);
  // Thousandths of the scale's unit for a side of display pixels at 300 pixels an inch.
  const auto measure = [&](int side) {
    int64_t v = int64_t{std::abs(side)} * scale * 1693 / 19996;
    return zoom < 5 ? v * (int64_t{1} << (5 - zoom)) : v / (int64_t{1} << (zoom - 5));
  };
  const int64_t w = measure(g.right - g.left), h = measure(g.bottom - g.top);
  const int64_t d = static_cast<int64_t>(std::sqrt(static_cast<double>(w * w + h * h)));
  const int64_t a = w * h / 1000;
  const auto split = [](int64_t v) { return std::pair<long long, long long>{v / 1000, v % 1000}; };
  const auto [wi, wf] = split(w);
  const auto [hi, hf] = split(h);
  const auto [di, df] = split(d);
  const auto [ai, af] = split(a);
  if (Region().m_nRegionCount == 0 && h != 0) {
    ShowImageFormat(Format("%3d,%3d:%3d,%3d %3lld%%", g.left, g.top, g.right, g.bottom,
                           static_cast<long long>(w * 100 / h)) +
                    Format(" w=%d h=%d", std::abs(g.right - g.left), std::abs(g.bottom - g.top)));
  }
  return Format("    W=%lld.%03lld  H=%lld.%03lld  D=%lld.%03lld  A=%lld.%03lld  (Scl=1/%lld)", wi, wf, hi, hf, di,
                df, ai, af, static_cast<long long>(scale));
}
