#include "platform/metafile/MetafileCanvas.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>

#include "base/ByteCursor.h"
#include "platform/metafile/MetafileRecords.h"

namespace plat {

namespace {

constexpr double kPi = std::numbers::pi;
// Target coordinates are kept within this, so that every later sum fits an int.
constexpr double kMaxCoordinate = 1 << 28;
constexpr int kMaxArcSteps = 2048;
constexpr int kMaxBezierSteps = 256;

double Finite(double v) { return std::isfinite(v) ? std::clamp(v, -kMaxCoordinate, kMaxCoordinate) : 0.0; }
double NonZero(double v) { return v == 0 || !std::isfinite(v) ? 1.0 : v; }

// A ternary raster operation's result bits for brush P, source S and target D:
// bit k of the code is the result for (P, S, D) = (k & 4, k & 2, k & 1).
uint32_t Rop3(uint32_t code, uint32_t p, uint32_t s, uint32_t d) {
  if (code == 0xCC) return s;
  if (code == 0xF0) return p;
  uint32_t r = 0;
  for (uint32_t k = 0; k < 8; ++k) {
    if ((code >> k & 1) == 0) continue;
    r |= ((k & 4) ? p : ~p) & ((k & 2) ? s : ~s) & ((k & 1) ? d : ~d);
  }
  return r & 0xFFFFFF;
}

// Millimetres of one logical unit in the fixed map modes (0: not a fixed mode).
double MillimetresPerUnit(int mode) {
  switch (mode) {
    case MM_LOMETRIC: return 0.1;
    case MM_HIMETRIC: return 0.01;
    case MM_LOENGLISH: return 0.254;
    case MM_HIENGLISH: return 0.0254;
    case MM_TWIPS: return 25.4 / 1440;
    default: return 0;
  }
}

}  // namespace

XForm XForm::Then(const XForm& n) const {
  return XForm{m11 * n.m11 + m12 * n.m21, m11 * n.m12 + m12 * n.m22, m21 * n.m11 + m22 * n.m21,
               m21 * n.m12 + m22 * n.m22, dx * n.m11 + dy * n.m21 + n.dx, dx * n.m12 + dy * n.m22 + n.dy};
}

MetafileCanvas::MetafileCanvas(Bitmap& target, TextPainter* text, int objects)
    : target_(target), text_(text), objects_(static_cast<size_t>(std::clamp(objects, 1, kMaxObjects))) {}

void MetafileCanvas::SetDeviceMapping(double scaleX, double scaleY, double offsetX, double offsetY,
                                      double pixelsPerMmX, double pixelsPerMmY) {
  windowToRect_ = false;
  scaleX_ = scaleX, scaleY_ = scaleY, offsetX_ = offsetX, offsetY_ = offsetY;
  pxPerMmX_ = pixelsPerMmX, pxPerMmY_ = pixelsPerMmY;
}

void MetafileCanvas::SetWindowToRect(const CRect& target, DPoint windowOrg, DPoint windowExt) {
  windowToRect_ = true;
  rect_ = target;
  s_.mapMode = MM_ANISOTROPIC;
  s_.winOrg = windowOrg;
  s_.winExt = windowExt;
}

void MetafileCanvas::SetMapMode(int mode) {
  if (windowToRect_ || mode < MM_TEXT || mode > MM_ANISOTROPIC) return;
  s_.mapMode = mode;
}
void MetafileCanvas::SetWindowOrg(DPoint p) { s_.winOrg = p; }
void MetafileCanvas::SetWindowExt(DPoint e) {
  if (e.x != 0 && e.y != 0) s_.winExt = e;
}
void MetafileCanvas::SetViewportOrg(DPoint p) { s_.vpOrg = p; }
void MetafileCanvas::SetViewportExt(DPoint e) {
  if (e.x != 0 && e.y != 0) s_.vpExt = e;
}
void MetafileCanvas::OffsetWindowOrg(DPoint d) { s_.winOrg = {s_.winOrg.x + d.x, s_.winOrg.y + d.y}; }
void MetafileCanvas::OffsetViewportOrg(DPoint d) { s_.vpOrg = {s_.vpOrg.x + d.x, s_.vpOrg.y + d.y}; }
void MetafileCanvas::ScaleWindowExt(double xNum, double xDen, double yNum, double yDen) {
  SetWindowExt({s_.winExt.x * xNum / NonZero(xDen), s_.winExt.y * yNum / NonZero(yDen)});
}
void MetafileCanvas::ScaleViewportExt(double xNum, double xDen, double yNum, double yDen) {
  SetViewportExt({s_.vpExt.x * xNum / NonZero(xDen), s_.vpExt.y * yNum / NonZero(yDen)});
}

// A transform that is not finite or folds the plane onto a line is refused.
void MetafileCanvas::SetWorldTransform(const XForm& x) {
  for (const double v : {x.m11, x.m12, x.m21, x.m22, x.dx, x.dy}) {
    if (!std::isfinite(v)) return;
  }
  const double det = x.m11 * x.m22 - x.m12 * x.m21;
  if (!std::isfinite(det) || det == 0) return;
  s_.world = x;
}

void MetafileCanvas::ModifyWorldTransform(const XForm& x, int mode) {
  switch (mode) {
    case 1: s_.world = XForm{}; break;
    case 2: SetWorldTransform(x.Then(s_.world)); break;
    case 3: SetWorldTransform(s_.world.Then(x)); break;
    case 4: SetWorldTransform(x); break;
    default: break;
  }
}

void MetafileCanvas::SaveDC() {
  if (saved_.size() < kMaxSavedStates) saved_.push_back(s_);
}

void MetafileCanvas::RestoreDC(int n) {
  const int64_t index = n < 0 ? static_cast<int64_t>(saved_.size()) + n : int64_t{n} - 1;
  if (n == 0 || index < 0 || index >= static_cast<int64_t>(saved_.size())) return;
  s_ = saved_[static_cast<size_t>(index)];
  saved_.resize(static_cast<size_t>(index));
}

void MetafileCanvas::CreateObjectAt(int64_t index, const MetaObject& object) {
  if (index < 0 || index >= static_cast<int64_t>(objects_.size())) return;
  objects_[static_cast<size_t>(index)] = object;
}

// The free slots are kept in a heap, built on the first call (only WMF records take
// the first free slot), so that each record costs a logarithm of the table rather
// than a walk of it. A slot filled by index meanwhile is passed over when it comes up.
void MetafileCanvas::CreateObjectFirstFree(const MetaObject& object) {
  if (!freeSlotsReady_) {
    freeSlots_.reserve(objects_.size());
    for (size_t i = 0; i < objects_.size(); ++i) {
      if (objects_[i].kind == MetaObject::Kind::None) freeSlots_.push_back(static_cast<int>(i));
    }
    freeSlotsReady_ = true;  // ascending: already a heap of the lowest first
  }
  while (!freeSlots_.empty()) {
    std::pop_heap(freeSlots_.begin(), freeSlots_.end(), std::greater<>());
    const size_t slot = static_cast<size_t>(freeSlots_.back());
    freeSlots_.pop_back();
    if (objects_[slot].kind == MetaObject::Kind::None) {
      objects_[slot] = object;
      return;
    }
  }
}

void MetafileCanvas::SelectObject(int64_t index) {
  if (index < 0 || index >= static_cast<int64_t>(objects_.size())) return;
  const MetaObject& o = objects_[static_cast<size_t>(index)];
  switch (o.kind) {
    case MetaObject::Kind::Pen: s_.pen = o.pen; break;
    case MetaObject::Kind::Brush: s_.brush = o.brush; break;
    case MetaObject::Kind::Font: s_.font = o.font; break;
    default: break;
  }
}

void MetafileCanvas::SelectStockObject(int stock) {
  constexpr COLORREF kGreys[] = {0xFFFFFF, 0xC0C0C0, 0x808080, 0x404040, 0x000000};
  if (stock >= 0 && stock <= 4) s_.brush = Brush{BS_SOLID, kGreys[stock], 0};
  if (stock == 5) s_.brush = Brush{BS_NULL, 0, 0};
  if (stock == 18) s_.brush = Brush{BS_SOLID, 0xFFFFFF, 0};
  if (stock == 6) s_.pen = MetaPen{PS_SOLID, 0, 0xFFFFFF};
  if (stock == 7 || stock == 19) s_.pen = MetaPen{PS_SOLID, 0, 0};
  if (stock == 8) s_.pen = MetaPen{PS_NULL, 0, 0};
  if ((stock >= 10 && stock <= 14) || stock == 16 || stock == 17) s_.font = MetaFont{};
}

void MetafileCanvas::DeleteObject(int64_t index) {
  if (index < 0 || index >= static_cast<int64_t>(objects_.size())) return;
  MetaObject& slot = objects_[static_cast<size_t>(index)];
  if (slot.kind == MetaObject::Kind::None) return;
  slot = MetaObject{};
  if (freeSlotsReady_) {
    freeSlots_.push_back(static_cast<int>(index));
    std::push_heap(freeSlots_.begin(), freeSlots_.end(), std::greater<>());
  }
}

DPoint MetafileCanvas::ToTarget(DPoint p) const {
  const DPoint w = s_.world.Apply(p);
  if (windowToRect_) {
    const double sx = (rect_.right - rect_.left) / NonZero(s_.winExt.x);
    const double sy = (rect_.bottom - rect_.top) / NonZero(s_.winExt.y);
    return {Finite(rect_.left + (w.x - s_.winOrg.x) * sx), Finite(rect_.top + (w.y - s_.winOrg.y) * sy)};
  }
  double sx = 1, sy = 1;
  if (const double mm = MillimetresPerUnit(s_.mapMode); mm > 0) {
    sx = mm * pxPerMmX_;
    sy = -mm * pxPerMmY_;
  } else if (s_.mapMode == MM_ISOTROPIC || s_.mapMode == MM_ANISOTROPIC) {
    sx = s_.vpExt.x / NonZero(s_.winExt.x);
    sy = s_.vpExt.y / NonZero(s_.winExt.y);
    if (s_.mapMode == MM_ISOTROPIC) {
      const double m = std::min(std::abs(sx), std::abs(sy));
      sx = std::copysign(m, sx);
      sy = std::copysign(m, sy);
    }
  }
  const double dx = (w.x - s_.winOrg.x) * sx + s_.vpOrg.x, dy = (w.y - s_.winOrg.y) * sy + s_.vpOrg.y;
  return {Finite(dx * scaleX_ + offsetX_), Finite(dy * scaleY_ + offsetY_)};
}

XForm MetafileCanvas::Linear() const {
  const DPoint o = ToTarget({0, 0}), ex = ToTarget({1, 0}), ey = ToTarget({0, 1});
  return XForm{ex.x - o.x, ex.y - o.y, ey.x - o.x, ey.y - o.y, o.x, o.y};
}

bool MetafileCanvas::AxisAligned() const {
  const XForm l = Linear();
  const double size = std::abs(l.m11) + std::abs(l.m22);
  return std::abs(l.m12) <= size * 1e-9 && std::abs(l.m21) <= size * 1e-9;
}

CPoint MetafileCanvas::Pixel(DPoint p) const {
  return CPoint{static_cast<int>(std::lround(Finite(p.x))), static_cast<int>(std::lround(Finite(p.y)))};
}

int MetafileCanvas::PenPixels() const {
  if ((s_.pen.style & 0xF) == PS_NULL) return 0;
  const XForm l = Linear();
  const double scale = std::sqrt(std::abs(l.m11 * l.m22 - l.m12 * l.m21));
  const double px = std::abs(s_.pen.width) * scale;
  return px < 1.5 || !std::isfinite(px) ? 1 : static_cast<int>(std::min(std::lround(px), 4096L));
}

void MetafileCanvas::ApplyPen(DrawContext& dc, bool noPen) const {
  int style = s_.pen.style & 0xF;
  if (style == 8) style = PS_DOT;  // alternate
  if (style > PS_NULL) style = PS_SOLID;
  if (noPen) style = PS_NULL;
  dc.SelectPen(Pen{style, std::min(PenPixels(), kMaxPenWidth), s_.pen.color});
  dc.SetBkMode(s_.bkMode == TRANSPARENT ? TRANSPARENT : OPAQUE);
  dc.SetBkColor(s_.bkColor);
}

namespace {

std::vector<CPoint> Pixels(const std::vector<DPoint>& points) {
  std::vector<CPoint> out;
  out.reserve(points.size());
  for (const DPoint& p : points) {
    out.push_back(CPoint{static_cast<int>(std::lround(Finite(p.x))), static_cast<int>(std::lround(Finite(p.y)))});
  }
  return out;
}

// A wide line as filled shapes: a quadrilateral for each segment and a disc (a
// polygon of 16 sides) at each point.
void WideStroke(const std::vector<DPoint>& line, bool closed, double width, std::vector<std::vector<CPoint>>& out) {
  const double h = width / 2;
  const size_t n = line.size();
  for (size_t i = 0; i < n; ++i) {
    std::vector<DPoint> disc;
    for (int k = 0; k < 16; ++k) {
      disc.push_back({line[i].x + h * std::cos(k * kPi / 8), line[i].y + h * std::sin(k * kPi / 8)});
    }
    out.push_back(Pixels(disc));
    if (i + 1 == n && !closed) break;
    const DPoint a = line[i], b = line[(i + 1) % n];
    const double len = std::hypot(b.x - a.x, b.y - a.y);
    if (len == 0) continue;
    const double nx = -(b.y - a.y) / len * h, ny = (b.x - a.x) / len * h;
    out.push_back(Pixels({{a.x + nx, a.y + ny}, {b.x + nx, b.y + ny}, {b.x - nx, b.y - ny}, {a.x - nx, a.y - ny}}));
  }
}

}  // namespace

void MetafileCanvas::StrokeLines(const std::vector<std::vector<DPoint>>& lines, bool closed) {
  const int width = PenPixels();
  if (width == 0) return;
  DrawContext dc = Context();
  if (width <= kMaxPenWidth) {
    ApplyPen(dc);
    dc.SelectBrush(Brush{BS_NULL, 0, 0});
    for (const auto& line : lines) {
      if (closed) {
        dc.PolyPolygon({Pixels(line)}, ALTERNATE);
      } else {
        dc.Polyline(Pixels(line));
      }
    }
    return;
  }
  std::vector<std::vector<CPoint>> shapes;
  for (const auto& line : lines) {
    if (!line.empty()) WideStroke(line, closed, width, shapes);
  }
  dc.SelectPen(Pen{PS_NULL, 1, 0});
  dc.SelectBrush(Brush{BS_SOLID, s_.pen.color, 0});
  dc.PolyPolygon(shapes, WINDING);
}

void MetafileCanvas::FillRings(const std::vector<std::vector<DPoint>>& rings, bool fill, bool stroke) {
  if (fill && s_.brush.style != BS_NULL) {
    DrawContext dc = Context();
    ApplyPen(dc, true);
    dc.SelectBrush(s_.brush);
    std::vector<std::vector<CPoint>> pixels;
    for (const auto& ring : rings) pixels.push_back(Pixels(ring));
    dc.PolyPolygon(pixels, s_.fillMode);
  }
  if (stroke) StrokeLines(rings, true);
}

void MetafileCanvas::PathAdd(DPoint p, bool move) {
  if (move || path_.empty() || pathClosed_.back()) {
    if (!path_.empty() && path_.back().size() <= 1 && !pathClosed_.back()) {
      path_.back() = {p};
      return;
    }
    path_.push_back({p});
    pathClosed_.push_back(false);
    return;
  }
  path_.back().push_back(p);
}

void MetafileCanvas::BeginPath() {
  path_.clear();
  pathClosed_.clear();
  s_.inPath = true;
}

void MetafileCanvas::AbortPath() {
  path_.clear();
  pathClosed_.clear();
  s_.inPath = false;
}

void MetafileCanvas::CloseFigure() {
  if (!pathClosed_.empty()) pathClosed_.back() = true;
}

void MetafileCanvas::FillPath(bool fill, bool stroke) {
  FillRings(path_, fill, false);
  if (stroke) {
    for (size_t i = 0; i < path_.size(); ++i) StrokeLines({path_[i]}, pathClosed_[i]);
  }
  path_.clear();
  pathClosed_.clear();
  s_.inPath = false;
}

void MetafileCanvas::MoveTo(DPoint p) {
  s_.pos = p;
  if (s_.inPath) PathAdd(ToTarget(p), true);
}

void MetafileCanvas::LineTo(DPoint p) {
  if (s_.inPath) {
    if (path_.empty() || pathClosed_.back()) PathAdd(ToTarget(s_.pos), true);
    PathAdd(ToTarget(p), false);
  } else {
    StrokeLines({{ToTarget(s_.pos), ToTarget(p)}}, false);
  }
  s_.pos = p;
}

void MetafileCanvas::Polyline(std::span<const DPoint> points) {
  if (points.empty()) return;
  if (s_.inPath) {
    PathAdd(ToTarget(points[0]), true);
    for (size_t i = 1; i < points.size(); ++i) PathAdd(ToTarget(points[i]), false);
    return;
  }
  std::vector<DPoint> line;
  for (const DPoint& p : points) line.push_back(ToTarget(p));
  StrokeLines({line}, false);
}

void MetafileCanvas::PolylineTo(std::span<const DPoint> points) {
  if (points.empty()) return;
  std::vector<DPoint> line{s_.pos};
  line.insert(line.end(), points.begin(), points.end());
  if (s_.inPath) {
    if (path_.empty() || pathClosed_.back()) PathAdd(ToTarget(s_.pos), true);
    for (const DPoint& p : points) PathAdd(ToTarget(p), false);
  } else {
    Polyline(line);
  }
  s_.pos = points.back();
}

void MetafileCanvas::Flatten(std::span<const DPoint> bezier, DPoint from, std::vector<DPoint>& out) const {
  DPoint p0 = ToTarget(from);
  for (size_t i = 0; i + 3 <= bezier.size(); i += 3) {
    const DPoint c1 = ToTarget(bezier[i]), c2 = ToTarget(bezier[i + 1]), p3 = ToTarget(bezier[i + 2]);
    const double len = std::hypot(c1.x - p0.x, c1.y - p0.y) + std::hypot(c2.x - c1.x, c2.y - c1.y) +
                       std::hypot(p3.x - c2.x, p3.y - c2.y);
    const int steps = static_cast<int>(std::clamp(len / 4, 1.0, double{kMaxBezierSteps}));
    for (int k = 1; k <= steps; ++k) {
      const double t = double{1} * k / steps, u = 1 - t;
      out.push_back({u * u * u * p0.x + 3 * u * u * t * c1.x + 3 * u * t * t * c2.x + t * t * t * p3.x,
                     u * u * u * p0.y + 3 * u * u * t * c1.y + 3 * u * t * t * c2.y + t * t * t * p3.y});
    }
    p0 = p3;
  }
}

void MetafileCanvas::PolyBezier(std::span<const DPoint> points) {
  if (points.empty()) return;
  std::vector<DPoint> line{ToTarget(points[0])};
  Flatten(points.subspan(1), points[0], line);
  if (s_.inPath) {
    PathAdd(line[0], true);
    for (size_t i = 1; i < line.size(); ++i) PathAdd(line[i], false);
    return;
  }
  StrokeLines({line}, false);
}

void MetafileCanvas::PolyBezierTo(std::span<const DPoint> points) {
  if (points.size() < 3) return;
  std::vector<DPoint> line{ToTarget(s_.pos)};
  Flatten(points, s_.pos, line);
  if (s_.inPath) {
    if (path_.empty() || pathClosed_.back()) PathAdd(line[0], true);
    for (size_t i = 1; i < line.size(); ++i) PathAdd(line[i], false);
  } else {
    StrokeLines({line}, false);
  }
  s_.pos = points[points.size() / 3 * 3 - 1];
}

void MetafileCanvas::PolyPolygon(const std::vector<std::vector<DPoint>>& rings) {
  std::vector<std::vector<DPoint>> mapped;
  for (const auto& ring : rings) {
    std::vector<DPoint> m;
    for (const DPoint& p : ring) m.push_back(ToTarget(p));
    if (!m.empty()) mapped.push_back(std::move(m));
  }
  if (s_.inPath) {
    for (const auto& ring : mapped) {
      for (size_t i = 0; i < ring.size(); ++i) PathAdd(ring[i], i == 0);
      CloseFigure();
    }
    return;
  }
  FillRings(mapped, true, true);
}

void MetafileCanvas::PolyPolyline(const std::vector<std::vector<DPoint>>& lines) {
  for (const auto& line : lines) Polyline(line);
}

void MetafileCanvas::Rectangle(DPoint a, DPoint b) {
  if (!s_.inPath && AxisAligned() && PenPixels() <= kMaxPenWidth) {
    DrawContext dc = Context();
    ApplyPen(dc);
    dc.SelectBrush(s_.brush);
    const CPoint p = Pixel(ToTarget(a)), q = Pixel(ToTarget(b));
    dc.Rectangle(p.x, p.y, q.x, q.y);
    return;
  }
  PolyPolygon({{a, {b.x, a.y}, b, {a.x, b.y}}});
}

void MetafileCanvas::Ellipse(DPoint a, DPoint b) {
  if (!s_.inPath && AxisAligned() && PenPixels() <= kMaxPenWidth) {
    DrawContext dc = Context();
    ApplyPen(dc);
    dc.SelectBrush(s_.brush);
    const CPoint p = Pixel(ToTarget(a)), q = Pixel(ToTarget(b));
    dc.Ellipse(p.x, p.y, q.x, q.y);
    return;
  }
  PolyPolygon({ArcPoints(a, b, a, a, true)});
}

void MetafileCanvas::RoundRect(DPoint a, DPoint b, DPoint corner) {
  if (!s_.inPath && AxisAligned() && PenPixels() <= kMaxPenWidth) {
    DrawContext dc = Context();
    ApplyPen(dc);
    dc.SelectBrush(s_.brush);
    const XForm l = Linear();
    const CPoint p = Pixel(ToTarget(a)), q = Pixel(ToTarget(b));
    dc.RoundRect(p.x, p.y, q.x, q.y, static_cast<int>(Finite(std::abs(corner.x * l.m11))),
                 static_cast<int>(Finite(std::abs(corner.y * l.m22))));
    return;
  }
  // Corners as quarter ellipses of the corner's size, counter-clockwise from the right.
  const double l = std::min(a.x, b.x), r = std::max(a.x, b.x), t = std::min(a.y, b.y), bo = std::max(a.y, b.y);
  const double rx = std::min(std::abs(corner.x), r - l) / 2, ry = std::min(std::abs(corner.y), bo - t) / 2;
  const DPoint centres[4] = {{r - rx, t + ry}, {l + rx, t + ry}, {l + rx, bo - ry}, {r - rx, bo - ry}};
  std::vector<DPoint> ring;
  for (int q = 0; q < 4; ++q) {
    for (int k = 0; k <= 8; ++k) {
      const double angle = (q + k / 8.0) * kPi / 2;
      ring.push_back({centres[q].x + rx * std::cos(angle), centres[q].y - ry * std::sin(angle)});
    }
  }
  PolyPolygon({ring});
}

std::vector<DPoint> MetafileCanvas::ArcPoints(DPoint a, DPoint b, DPoint start, DPoint end, bool full) const {
  const DPoint c{(a.x + b.x) / 2, (a.y + b.y) / 2};
  const double rx = std::abs(b.x - a.x) / 2, ry = std::abs(b.y - a.y) / 2;
  if (rx == 0 || ry == 0 || !std::isfinite(rx) || !std::isfinite(ry)) return {a, b};
  const double t0 = std::atan2((start.y - c.y) / ry, (start.x - c.x) / rx);
  const double t1 = std::atan2((end.y - c.y) / ry, (end.x - c.x) / rx);
  // Counter-clockwise on the target: the angle falls when logical and target axes
  // turn the same way, and rises when one of them is flipped.
  const XForm l = Linear();
  const double dir = l.m11 * l.m22 - l.m12 * l.m21 > 0 ? -1 : 1;
  double sweep = full ? 2 * kPi : dir * (t1 - t0);
  while (sweep <= 0) sweep += 2 * kPi;
  while (sweep > 2 * kPi) sweep -= 2 * kPi;
  const double radius = std::max(rx, ry) * std::sqrt(std::abs(l.m11 * l.m22 - l.m12 * l.m21));
  const int steps = static_cast<int>(std::clamp(sweep * radius / 2, 8.0, double{kMaxArcSteps}));
  std::vector<DPoint> out;
  for (int k = 0; k <= steps; ++k) {
    const double t = t0 + dir * sweep * k / steps;
    out.push_back({c.x + rx * std::cos(t), c.y + ry * std::sin(t)});
  }
  return out;
}

void MetafileCanvas::ArcShape(DPoint a, DPoint b, DPoint start, DPoint end, int kind) {
  std::vector<DPoint> points = ArcPoints(a, b, start, end, false);
  if (kind == 2) points.push_back({(a.x + b.x) / 2, (a.y + b.y) / 2});
  if (kind == 1 || kind == 2) {
    PolyPolygon({points});
    return;
  }
  if (kind == 3) {
    LineTo(points.front());
    PolylineTo(points);
    return;
  }
  Polyline(points);
}

void MetafileCanvas::AngleArc(DPoint c, double radius, double startDegrees, double sweepDegrees) {
  if (!std::isfinite(radius) || !std::isfinite(startDegrees) || !std::isfinite(sweepDegrees)) return;
  sweepDegrees = std::clamp(sweepDegrees, -360.0, 360.0);
  std::vector<DPoint> points;
  for (int k = 0; k <= 64; ++k) {
    const double angle = (startDegrees + sweepDegrees * k / 64) * kPi / 180;
    points.push_back({c.x + radius * std::cos(angle), c.y - radius * std::sin(angle)});
  }
  LineTo(points.front());
  PolylineTo(points);
}

void MetafileCanvas::SetPixel(DPoint p, COLORREF c) {
  DrawContext dc = Context();
  const CPoint q = Pixel(ToTarget(p));
  dc.SetPixel(q.x, q.y, c);
}

namespace {

// The alpha of source pixel (x, y) of a 32-bit DIB's rows (255 for other depths).
struct SourceAlpha {
  std::span<const uint8_t> bits;
  int64_t stride = 0, height = 0;
  bool bottomUp = true, present = false;
  int At(int64_t x, int64_t y) const {
    if (!present) return 255;
    const int64_t row = bottomUp ? height - 1 - y : y;
    const int64_t at = row * stride + x * 4 + 3;
    return at >= 0 && at < static_cast<int64_t>(bits.size()) ? bits[static_cast<size_t>(at)] : 255;
  }
};

uint32_t Blend(uint32_t s, uint32_t d, int constant, int alpha, bool premultiplied) {
  uint32_t out = 0;
  const int keep = premultiplied ? 255 - alpha * constant / 255 : 255 - constant;
  for (int shift = 0; shift <= 16; shift += 8) {
    const int sc = static_cast<int>(s >> shift & 0xFF), dc = static_cast<int>(d >> shift & 0xFF);
    const int v = std::clamp((sc * constant + dc * keep) / 255, 0, 255);
    out |= static_cast<uint32_t>(v) << shift;
  }
  return out;
}

}  // namespace

void MetafileCanvas::Blit(DPoint at, DPoint size, int sx, int sy, int sw, int sh, std::span<const uint8_t> bmi,
                          std::span<const uint8_t> bits, uint32_t rop, int64_t blend) {
  BitmapPtr source;
  SourceAlpha alpha;
  std::vector<uint8_t> decoded;
  if (const uint32_t compression = ByteCursor(bmi).PeekU32LE(16); compression == BI_JPEG || compression == BI_PNG) {
    if (!pictures_ || !*pictures_ || !(*pictures_)(compression, bits, decoded) || !SplitPackedDib(decoded, bmi, bits)) {
      return;
    }
  }
  if (!bmi.empty()) {
    const ByteCursor h(bmi);
    const int64_t width = static_cast<int32_t>(h.PeekU32LE(4));
    const int32_t rawHeight = static_cast<int32_t>(h.PeekU32LE(8));
    const int64_t height = std::abs(int64_t{rawHeight});
    const int depth = h.PeekU16LE(14);
    const uint32_t compression = h.PeekU32LE(16);
    if (h.PeekU32LE(0) < 40 || (compression != 0 && compression != 3) || width <= 0 || height <= 0 ||
        width * height > kMaxMetafileBitmapPixels) {
      return;
    }
    // Only uncompressed rows that the record holds all of.
    const int64_t stride = (width * depth + 31) / 32 * 4;
    if (stride * height > static_cast<int64_t>(bits.size())) return;
    GdiHost host;
    source = host.CreateDIBitmap(bmi.data(), bmi.size(), bits.data(), bits.size());
    if (!source) return;
    if (sw == 0 || sh == 0) sw = source->width, sh = source->height;
    alpha = SourceAlpha{bits, stride, height, rawHeight > 0, depth == 32};
  }
  const DPoint p = ToTarget(at), q = ToTarget({at.x + size.x, at.y + size.y});
  if (p.x == q.x || p.y == q.y) return;
  const int x0 = static_cast<int>(std::max(std::floor(std::min(p.x, q.x)), 0.0));
  const int x1 = static_cast<int>(std::min(std::ceil(std::max(p.x, q.x)), static_cast<double>(target_.width)));
  const int y0 = static_cast<int>(std::max(std::floor(std::min(p.y, q.y)), 0.0));
  const int y1 = static_cast<int>(std::min(std::ceil(std::max(p.y, q.y)), static_cast<double>(target_.height)));
  const uint32_t code = rop >> 16 & 0xFF;
  const uint32_t brush = s_.brush.style == BS_NULL ? 0 : PixelOfColor(s_.brush.color);
  const int constant = static_cast<int>(blend >> 16 & 0xFF);
  const bool premultiplied = (blend >> 24 & 1) != 0;
  for (int y = y0; y < y1; ++y) {
    const double v = (y + 0.5 - p.y) / (q.y - p.y);
    if (v < 0 || v >= 1) continue;
    const std::vector<int>* spans = s_.clip ? s_.clip->RowSpans(y) : nullptr;
    if (s_.clip && !spans) continue;
    size_t span = 0;
    uint32_t* row = target_.Row(y);
    for (int x = x0; x < x1; ++x) {
      const double u = (x + 0.5 - p.x) / (q.x - p.x);
      if (u < 0 || u >= 1) continue;
      if (spans) {
        while (span < spans->size() && (*spans)[span + 1] <= x) span += 2;
        if (span >= spans->size() || (*spans)[span] > x) continue;
      }
      uint32_t s = 0;
      int64_t px = 0, py = 0;
      if (source) {
        px = sx + static_cast<int64_t>(std::floor(u * sw)), py = sy + static_cast<int64_t>(std::floor(v * sh));
        if (px < 0 || py < 0 || px >= source->width || py >= source->height) continue;
        s = source->At(static_cast<int>(px), static_cast<int>(py));
      }
      if (blend >= 0) {
        if (source) row[x] = Blend(s, row[x], constant, alpha.At(px, py), premultiplied && alpha.present);
      } else {
        row[x] = Rop3(code, brush, s, row[x]);
      }
    }
  }
}

MetaObject BrushObject(int style, COLORREF color, int hatch) {
  MetaObject o;
  o.kind = MetaObject::Kind::Brush;
  if (style != BS_NULL && style != BS_HATCHED) style = BS_SOLID;
  o.brush = Brush{style, color & 0xFFFFFF, std::clamp(hatch, 0, 5)};
  return o;
}

}  // namespace plat
