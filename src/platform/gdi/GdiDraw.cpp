#include "platform/gdi/GdiDraw.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <numbers>
#include <utility>

namespace plat {

namespace {

// On/off runs of the dash styles at width 1, starting with "on".
constexpr std::array<std::array<int, 6>, 5> kDashRuns = {{
    {0, 0, 0, 0, 0, 0},
    {18, 6, 0, 0, 0, 0},
    {3, 3, 0, 0, 0, 0},
    {9, 6, 3, 6, 0, 0},
    {9, 3, 3, 3, 3, 3},
}};

// The rows of the 8 x 8 hatch patterns, bit 7 the leftmost column.
constexpr std::array<std::array<uint8_t, 8>, 6> kHatch = {{
    {0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00},
    {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10},
    {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01},
    {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80},
    {0x10, 0x10, 0x10, 0xFF, 0x10, 0x10, 0x10, 0x10},
    {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81},
}};

uint32_t Pixel(COLORREF c) { return PixelOfColor(c & 0xFFFFFF); }

// A pixel's angle about a centre, counter-clockwise on screen, in [0, 2 pi).
double AngleOf(double x, double y, double cx, double cy) {
  double a = std::atan2(cy - y, x - cx);
  if (a < 0) a += 2 * std::numbers::pi;
  return a;
}

}  // namespace

bool HatchBit(int hatch, int x, int y) {
  if (hatch < 0 || hatch > HS_DIAGCROSS) return false;
  return (kHatch[static_cast<size_t>(hatch)][static_cast<size_t>(y & 7)] >> (7 - (x & 7)) & 1) != 0;
}

Pen DrawContext::SelectPen(const Pen& pen) {
  Pen old = pen_;
  pen_ = pen;
  pen_.width = std::clamp(pen_.width, 1, kMaxPenWidth);
  if (pen_.style < PS_SOLID || pen_.style > PS_NULL) pen_.style = PS_SOLID;
  // The dash styles exist at width 1 only; wider they are solid.
  if (pen_.width > 1 && pen_.style != PS_NULL) pen_.style = PS_SOLID;
  return old;
}

Brush DrawContext::SelectBrush(const Brush& brush) {
  Brush old = brush_;
  brush_ = brush;
  return old;
}

int DrawContext::SetBkMode(int mode) { return std::exchange(bkMode_, mode == TRANSPARENT ? TRANSPARENT : OPAQUE); }
COLORREF DrawContext::SetBkColor(COLORREF color) { return std::exchange(bk_, color & 0xFFFFFF); }

void DrawContext::Put(int x, int y, uint32_t pixel) {
  if (x < 0 || y < 0 || x >= bitmap_.width || y >= bitmap_.height) return;
  if (clip_ && !clip_->Contains(x, y)) return;
  bitmap_.Row(y)[x] = pixel;
}

void DrawContext::PenPoint(int x, int y, uint32_t pixel) {
  const int lo = -(pen_.width / 2), hi = (pen_.width - 1) / 2;
  for (int dy = lo; dy <= hi; ++dy) {
    for (int dx = lo; dx <= hi; ++dx) Put(x + dx, y + dy, pixel);
  }
}

bool DrawContext::PenStep(uint32_t& pixel) {
  if (pen_.style == PS_NULL) return false;
  if (pen_.style == PS_SOLID) {
    pixel = Pixel(pen_.color);
    return true;
  }
  const auto& runs = kDashRuns[static_cast<size_t>(pen_.style)];
  int period = 0;
  for (int r : runs) period += r;
  int at = dashPos_++ % period;
  size_t run = 0;
  while (at >= runs[run]) at -= runs[run++];
  if (run % 2 == 0) {
    pixel = Pixel(pen_.color);
    return true;
  }
  if (bkMode_ != OPAQUE) return false;
  pixel = Pixel(bk_);
  return true;
}

// A line far longer than the bitmap is cut to the part that can touch it, so that
// no line costs more steps than a few times the bitmap's size.
void DrawContext::ClipLine(int& x0, int& y0, int& x1, int& y1) const {
  const int64_t limit = 2 * (int64_t{bitmap_.width} + bitmap_.height) + 64;
  if (std::max(std::abs(int64_t{x1} - x0), std::abs(int64_t{y1} - y0)) <= limit) return;
  const double lo = -2.0 * kMaxPenWidth, hiX = bitmap_.width + 2.0 * kMaxPenWidth,
               hiY = bitmap_.height + 2.0 * kMaxPenWidth;
  const double dx = double{1} * x1 - x0, dy = double{1} * y1 - y0;
  double t0 = 0, t1 = 1;
  const auto clip = [&](double p, double q) {
    if (p == 0) return q >= 0;
    const double t = q / p;
    if (p < 0) {
      t0 = std::max(t0, t);
    } else {
      t1 = std::min(t1, t);
    }
    return t0 <= t1;
  };
  if (!clip(-dx, x0 - lo) || !clip(dx, hiX - x0) || !clip(-dy, y0 - lo) || !clip(dy, hiY - y0)) {
    x0 = x1 = 0;
    y0 = y1 = 0;
    return;
  }
  const int nx0 = static_cast<int>(std::lround(x0 + t0 * dx)), ny0 = static_cast<int>(std::lround(y0 + t0 * dy));
  const int nx1 = static_cast<int>(std::lround(x0 + t1 * dx)), ny1 = static_cast<int>(std::lround(y0 + t1 * dy));
  x0 = nx0, y0 = ny0, x1 = nx1, y1 = ny1;
}

void DrawContext::MoveToEx(int x, int y) {
  pos_ = CPoint{x, y};
  dashPos_ = 0;
}

bool DrawContext::LineTo(int x1, int y1) {
  const CPoint end{x1, y1};
  int x = pos_.x, y = pos_.y;
  ClipLine(x, y, x1, y1);
  const int dx = std::abs(x1 - x), dy = -std::abs(y1 - y);
  const int sx = x < x1 ? 1 : -1, sy = y < y1 ? 1 : -1;
  int err = dx + dy;
  while (x != x1 || y != y1) {
    uint32_t pixel = 0;
    if (PenStep(pixel)) PenPoint(x, y, pixel);
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
  pos_ = end;
  return true;
}

void DrawContext::BrushPixel(int x, int y) {
  if (brush_.style == BS_NULL) return;
  if (brush_.style == BS_HATCHED && !HatchBit(brush_.hatch, x, y)) {
    if (bkMode_ == OPAQUE) Put(x, y, Pixel(bk_));
    return;
  }
  Put(x, y, Pixel(brush_.color));
}

void DrawContext::FillRect(const CRect& rect, const Brush& brush) {
  const Brush old = SelectBrush(brush);
  const int l = std::max(rect.left, 0), r = std::min(rect.right, bitmap_.width);
  const int t = std::max(rect.top, 0), b = std::min(rect.bottom, bitmap_.height);
  for (int y = t; y < b; ++y) {
    for (int x = l; x < r; ++x) BrushPixel(x, y);
  }
  SelectBrush(old);
}

bool DrawContext::Rectangle(int left, int top, int right, int bottom) {
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  if (int64_t{right} - left < 1 || int64_t{bottom} - top < 1) return false;
  if (pen_.style == PS_NULL) {
    FillRect(CRect{left, top, right, bottom}, brush_);
    return true;
  }
  FillRect(CRect{left + 1, top + 1, right - 1, bottom - 1}, brush_);
  const CPoint keep = pos_;
  MoveToEx(left, top);
  if (right - left == 1 || bottom - top == 1) {
    LineTo(right - 1, bottom - 1);
    uint32_t pixel = 0;
    if (PenStep(pixel)) PenPoint(right - 1, bottom - 1, pixel);
  } else {
    LineTo(right - 1, top);
    LineTo(right - 1, bottom - 1);
    LineTo(left, bottom - 1);
    LineTo(left, top);
  }
  pos_ = keep;
  return true;
}

void DrawContext::FillSpans(const Spans& s) {
  for (size_t i = 0; i < s.from.size(); ++i) {
    const int y = s.top + static_cast<int>(i);
    if (y < 0 || y >= bitmap_.height) continue;
    const int from = std::max(s.from[i], 0), to = std::min(s.to[i], bitmap_.width - 1);
    for (int x = from; x <= to; ++x) BrushPixel(x, y);
  }
}

// The outline: the shape's pixels with a 4-neighbour outside it, in the order of
// their angle about the shape's centre so that dashes run along the curve. Only
// pixels near the bitmap are visited. An arc keeps the pixels whose angle lies
// within sweep counter-clockwise of start.
void DrawContext::OutlineSpans(const Spans& s, const ArcPart* arc) {
  const int rows = static_cast<int>(s.from.size());
  const auto inside = [&](int x, int y) {
    const int i = y - s.top;
    return i >= 0 && i < rows && x >= s.from[static_cast<size_t>(i)] && x <= s.to[static_cast<size_t>(i)];
  };
  struct Edge {
    double angle;
    int x, y;
  };
  int minX = INT32_MAX, maxX = INT32_MIN;
  for (int i = 0; i < rows; ++i) {
    if (s.to[static_cast<size_t>(i)] < s.from[static_cast<size_t>(i)]) continue;
    minX = std::min(minX, s.from[static_cast<size_t>(i)]);
    maxX = std::max(maxX, s.to[static_cast<size_t>(i)]);
  }
  if (minX > maxX) return;
  const double cx = arc ? arc->cx : (minX + maxX) / 2.0, cy = arc ? arc->cy : s.top + (rows - 1) / 2.0;
  const int margin = kMaxPenWidth;
  const int yFrom = std::max(s.top, -margin), yTo = std::min(s.top + rows - 1, bitmap_.height + margin);
  std::vector<Edge> edge;
  for (int y = yFrom; y <= yTo; ++y) {
    const size_t i = static_cast<size_t>(y - s.top);
    const int xFrom = std::max(s.from[i], -margin), xTo = std::min(s.to[i], bitmap_.width + margin);
    for (int x = xFrom; x <= xTo; ++x) {
      if (inside(x - 1, y) && inside(x + 1, y) && inside(x, y - 1) && inside(x, y + 1)) continue;
      const double angle = AngleOf(x, y, cx, cy);
      if (arc) {
        double a = angle - arc->start;
        if (a < 0) a += 2 * std::numbers::pi;
        if (a > arc->sweep) continue;
        edge.push_back(Edge{a, x, y});
      } else {
        edge.push_back(Edge{angle, x, y});
      }
    }
  }
  std::stable_sort(edge.begin(), edge.end(), [](const Edge& a, const Edge& b) { return a.angle < b.angle; });
  dashPos_ = 0;
  for (const Edge& e : edge) {
    uint32_t pixel = 0;
    if (PenStep(pixel)) PenPoint(e.x, e.y, pixel);
  }
}

namespace {

// The ellipse in the box [l, r-1] x [t, b-1] as spans: a pixel belongs when its
// centre lies inside the ellipse through the box's outer edges.
void EllipseSpans(int l, int t, int r, int b, std::vector<int>& from, std::vector<int>& to) {
  const double cx = (l + r) / 2.0, cy = (t + b) / 2.0, rx = (r - l) / 2.0, ry = (b - t) / 2.0;
  from.assign(static_cast<size_t>(b - t), 0);
  to.assign(static_cast<size_t>(b - t), -1);
  for (int y = t; y < b; ++y) {
    const double dy = (y + 0.5 - cy) / ry;
    const double half = rx * std::sqrt(std::max(0.0, 1 - dy * dy));
    int f = static_cast<int>(std::ceil(cx - half - 0.5)), e = static_cast<int>(std::floor(cx + half - 0.5));
    if (f > e) f = e = static_cast<int>(std::floor(cx - 0.5 + (cx - 0.5 < l ? 1 : 0)));
    from[static_cast<size_t>(y - t)] = std::max(f, l);
    to[static_cast<size_t>(y - t)] = std::min(e, r - 1);
  }
}

// A shape may be no larger than this many pixels a side: the host's bitmap limit.
constexpr int64_t kMaxShapeSide = 1 << 15;

// Corners stay within this of the origin, so that sums of coordinates cannot overflow.
constexpr int kMaxCoordinate = 1 << 30;

bool ShapeBox(int& l, int& t, int& r, int& b) {
  for (const int v : {l, t, r, b}) {
    if (v < -kMaxCoordinate || v > kMaxCoordinate) return false;
  }
  if (l > r) std::swap(l, r);
  if (t > b) std::swap(t, b);
  return r - l >= 1 && b - t >= 1 && r - l <= kMaxShapeSide && b - t <= kMaxShapeSide;
}

}  // namespace

bool DrawContext::Ellipse(int left, int top, int right, int bottom) {
  if (!ShapeBox(left, top, right, bottom)) return false;
  Spans s;
  s.top = top;
  EllipseSpans(left, top, right, bottom, s.from, s.to);
  FillSpans(s);
  OutlineSpans(s);
  return true;
}

bool DrawContext::RoundRect(int left, int top, int right, int bottom, int width, int height) {
  if (!ShapeBox(left, top, right, bottom)) return false;
  width = std::clamp(width, 0, right - left);
  height = std::clamp(height, 0, bottom - top);
  Spans s;
  s.top = top;
  s.from.assign(static_cast<size_t>(bottom - top), left);
  s.to.assign(static_cast<size_t>(bottom - top), right - 1);
  if (width >= 2 && height >= 2) {
    std::vector<int> ef, et;
    EllipseSpans(0, 0, width, height, ef, et);
    const int half = height / 2;
    for (int i = 0; i < half; ++i) {
      const int inset = ef[static_cast<size_t>(i)];
      const int inRight = width - 1 - et[static_cast<size_t>(i)];
      for (const size_t row : {static_cast<size_t>(i), static_cast<size_t>(bottom - top - 1 - i)}) {
        s.from[row] = left + inset;
        s.to[row] = right - 1 - inRight;
      }
    }
  }
  FillSpans(s);
  OutlineSpans(s);
  return true;
}

bool DrawContext::Arc(int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd) {
  if (!ShapeBox(left, top, right, bottom)) return false;
  Spans s;
  s.top = top;
  EllipseSpans(left, top, right, bottom, s.from, s.to);
  const double cx = (left + right) / 2.0 - 0.5, cy = (top + bottom) / 2.0 - 0.5;
  const double a0 = AngleOf(xStart, yStart, cx, cy), a1 = AngleOf(xEnd, yEnd, cx, cy);
  double sweep = a1 - a0;
  if (sweep <= 0) sweep += 2 * std::numbers::pi;
  const ArcPart part{cx, cy, a0, sweep};
  const Brush brush = SelectBrush(Brush{BS_NULL, 0, 0});
  OutlineSpans(s, &part);
  SelectBrush(brush);
  return true;
}

bool DrawContext::AngleArc(int x, int y, int radius, double startAngle, double sweepAngle) {
  if (radius < 0 || radius > kMaxShapeSide) return false;
  constexpr double kDegree = std::numbers::pi / 180;
  const auto point = [&](double degrees) {
    return CPoint{static_cast<int>(std::lround(x + radius * std::cos(degrees * kDegree))),
                  static_cast<int>(std::lround(y - radius * std::sin(degrees * kDegree)))};
  };
  const CPoint start = point(startAngle);
  LineTo(start.x, start.y);
  sweepAngle = std::clamp(sweepAngle, -360.0, 360.0);
  const int steps = std::max(4, static_cast<int>(std::abs(sweepAngle) * radius * kDegree));
  for (int i = 1; i <= steps; ++i) {
    const CPoint p = point(startAngle + sweepAngle * i / steps);
    if (p.x != pos_.x || p.y != pos_.y) LineTo(p.x, p.y);
  }
  return true;
}

COLORREF DrawContext::SetPixel(int x, int y, COLORREF color) {
  if (x < 0 || y < 0 || x >= bitmap_.width || y >= bitmap_.height) return CLR_INVALID;
  if (clip_ && !clip_->Contains(x, y)) return CLR_INVALID;
  bitmap_.Row(y)[x] = Pixel(color);
  return color & 0xFFFFFF;
}

COLORREF DrawContext::GetPixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= bitmap_.width || y >= bitmap_.height) return CLR_INVALID;
  return ColorOfPixel(bitmap_.At(x, y));
}

bool DrawContext::ExtFloodFill(int x, int y, COLORREF color, int type) {
  if (x < 0 || y < 0 || x >= bitmap_.width || y >= bitmap_.height) return false;
  const uint32_t key = Pixel(color);
  const bool surface = type == FLOODFILLSURFACE;
  const auto fillable = [&](uint32_t p) { return surface ? p == key : p != key; };
  if (!fillable(bitmap_.At(x, y))) return false;
  // Marks of the pixels filled, so that a brush that paints the fill's own colour
  // (or a hatch) still ends.
  const int w = bitmap_.width, h = bitmap_.height;
  std::vector<uint8_t> done(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
  const auto open = [&](int px, int py) {
    return !done[static_cast<size_t>(py) * static_cast<size_t>(w) + static_cast<size_t>(px)] &&
           fillable(bitmap_.At(px, py));
  };
  std::vector<CPoint> stack{{x, y}};
  while (!stack.empty()) {
    const CPoint p = stack.back();
    stack.pop_back();
    if (!open(p.x, p.y)) continue;
    int l = p.x, r = p.x;
    while (l > 0 && open(l - 1, p.y)) --l;
    while (r + 1 < w && open(r + 1, p.y)) ++r;
    for (int i = l; i <= r; ++i) done[static_cast<size_t>(p.y) * static_cast<size_t>(w) + static_cast<size_t>(i)] = 1;
    for (const int ny : {p.y - 1, p.y + 1}) {
      if (ny < 0 || ny >= h) continue;
      for (int i = l; i <= r; ++i) {
        if (open(i, ny) && (i == l || !open(i - 1, ny))) stack.push_back(CPoint{i, ny});
      }
    }
  }
  for (int py = 0; py < h; ++py) {
    for (int px = 0; px < w; ++px) {
      if (done[static_cast<size_t>(py) * static_cast<size_t>(w) + static_cast<size_t>(px)]) BrushPixel(px, py);
    }
  }
  return true;
}

void ScanPolygon(const std::vector<std::vector<CPoint>>& rings, int fillMode, int width, int height,
                 const std::function<void(int y, int from, int to)>& span) {
  struct Edge {
    double x0, y0, x1, y1;
    int dir;
  };
  std::vector<Edge> edges;
  double minY = 0, maxY = -1;
  for (const auto& ring : rings) {
    for (size_t i = 0; i < ring.size(); ++i) {
      const CPoint a = ring[i], b = ring[(i + 1) % ring.size()];
      if (a.y == b.y) continue;
      Edge e = a.y < b.y ? Edge{double{1} * a.x, double{1} * a.y, double{1} * b.x, double{1} * b.y, 1}
                         : Edge{double{1} * b.x, double{1} * b.y, double{1} * a.x, double{1} * a.y, -1};
      if (edges.empty() || e.y0 < minY) minY = e.y0;
      if (edges.empty() || e.y1 > maxY) maxY = e.y1;
      edges.push_back(e);
    }
  }
  if (edges.empty()) return;
  std::sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) { return a.y0 < b.y0; });
  const int yFrom = static_cast<int>(std::max(0.0, std::floor(minY)));
  const int yTo = static_cast<int>(std::min(height - 1.0, std::ceil(maxY)));
  std::vector<size_t> active;
  std::vector<std::pair<double, int>> cross;
  size_t next = 0;
  // Each row is sampled at its pixel centres: an edge counts on [y0, y1).
  for (int y = yFrom; y <= yTo; ++y) {
    const double cy = y + 0.5;
    while (next < edges.size() && edges[next].y0 <= cy) active.push_back(next++);
    std::erase_if(active, [&](size_t i) { return edges[i].y1 <= cy; });
    cross.clear();
    for (const size_t i : active) {
      const Edge& e = edges[i];
      cross.emplace_back(e.x0 + (cy - e.y0) * (e.x1 - e.x0) / (e.y1 - e.y0), e.dir);
    }
    std::sort(cross.begin(), cross.end());
    int wind = 0;
    for (size_t k = 0; k + 1 < cross.size(); ++k) {
      wind = fillMode == WINDING ? wind + cross[k].second : wind ^ 1;
      if (wind == 0) continue;
      const double from = std::max(std::ceil(cross[k].first - 0.5), 0.0);
      const double to = std::min(std::ceil(cross[k + 1].first - 0.5) - 1, width - 1.0);
      if (from <= to) span(y, static_cast<int>(from), static_cast<int>(to));
    }
  }
}

bool DrawContext::PolyPolygon(const std::vector<std::vector<CPoint>>& rings, int fillMode) {
  if (brush_.style != BS_NULL) {
    ScanPolygon(rings, fillMode, bitmap_.width, bitmap_.height, [this](int y, int from, int to) {
      for (int x = from; x <= to; ++x) BrushPixel(x, y);
    });
  }
  if (pen_.style != PS_NULL) {
    const CPoint keep = pos_;
    for (const auto& ring : rings) {
      if (ring.size() < 2) continue;
      MoveToEx(ring[0].x, ring[0].y);
      for (size_t i = 1; i < ring.size(); ++i) LineTo(ring[i].x, ring[i].y);
      LineTo(ring[0].x, ring[0].y);
    }
    pos_ = keep;
  }
  return true;
}

bool DrawContext::Polyline(const std::vector<CPoint>& points) {
  if (points.size() < 2) return false;
  const CPoint keep = pos_;
  MoveToEx(points[0].x, points[0].y);
  for (size_t i = 1; i < points.size(); ++i) LineTo(points[i].x, points[i].y);
  pos_ = keep;
  return true;
}

void DrawOutline(DrawContext& dc, int left, int top, int r, int b) {
  dc.MoveToEx(left, top);
  dc.LineTo(r, top);
  dc.LineTo(r, b);
  dc.LineTo(left, b);
  dc.LineTo(left, top);
}

}  // namespace plat
