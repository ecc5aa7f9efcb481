// The clipping of the metafile player's device context: the clip region that the
// clip records build, the meta region under it, and the drawing context that
// paints through both. Regions are target pixels cut to the target, so that no
// offset or combination of them can leave it.
#include <algorithm>
#include <cmath>

#include "platform/metafile/MetafileCanvas.h"

namespace plat {

namespace {

constexpr double kMaxEdge = 1 << 28;

int Edge(double v) {
  return static_cast<int>(std::lround(std::isfinite(v) ? std::clamp(v, -kMaxEdge, kMaxEdge) : 0.0));
}

}  // namespace

DrawContext MetafileCanvas::Context() const {
  DrawContext dc(target_);
  dc.SetClip(s_.clip.get());
  return dc;
}

Region MetafileCanvas::LogicalRect(DPoint a, DPoint b) const {
  const DPoint p = ToTarget(a), q = ToTarget(b);
  return Region::FromRect(CRect{Edge(std::min(p.x, q.x)), Edge(std::min(p.y, q.y)), Edge(std::max(p.x, q.x)),
                                Edge(std::max(p.y, q.y))});
}

void MetafileCanvas::SetClipRegion(std::shared_ptr<const Region> r) {
  if (r) {
    r = std::make_shared<const Region>(r->Combine(Region::FromRect({0, 0, target_.width, target_.height}), RGN_AND));
  }
  s_.clipRgn = std::move(r);
  if (s_.clipRgn && s_.metaRgn) {
    s_.clip = std::make_shared<const Region>(s_.clipRgn->Combine(*s_.metaRgn, RGN_AND));
  } else {
    s_.clip = s_.clipRgn ? s_.clipRgn : s_.metaRgn;
  }
}

void MetafileCanvas::CombineClip(const Region& r, int mode) {
  if (mode == RGN_COPY) {
    SetClipRegion(std::make_shared<const Region>(r));
    return;
  }
  if (mode < RGN_AND || mode > RGN_COPY) return;
  const Region whole = Region::FromRect({0, 0, target_.width, target_.height});
  SetClipRegion(std::make_shared<const Region>((s_.clipRgn ? *s_.clipRgn : whole).Combine(r, mode)));
}

void MetafileCanvas::IntersectClipRect(DPoint a, DPoint b) { CombineClip(LogicalRect(a, b), RGN_AND); }

void MetafileCanvas::ExcludeClipRect(DPoint a, DPoint b) { CombineClip(LogicalRect(a, b), RGN_DIFF); }

void MetafileCanvas::SelectClipRects(const std::vector<CRect>* deviceRects, int mode) {
  if (!deviceRects) {
    if (mode == RGN_COPY) SetClipRegion(nullptr);
    return;
  }
  std::vector<CRect> rects;
  rects.reserve(deviceRects->size());
  for (const CRect& d : *deviceRects) {
    const auto x = [&](double v) { return Edge(v * scaleX_ + offsetX_); };
    const auto y = [&](double v) { return Edge(v * scaleY_ + offsetY_); };
    const int l = x(d.left), t = y(d.top), r = x(d.right), b = y(d.bottom);
    rects.push_back(CRect{std::min(l, r), std::min(t, b), std::max(l, r), std::max(t, b)});
  }
  CombineClip(Region::FromRects(std::move(rects), CRect{0, 0, target_.width, target_.height}), mode);
}

void MetafileCanvas::SelectClipPath(int mode) {
  std::vector<std::vector<CPoint>> rings;
  for (const auto& figure : path_) {
    std::vector<CPoint> ring;
    for (const DPoint& p : figure) ring.push_back(CPoint{Edge(p.x), Edge(p.y)});
    rings.push_back(std::move(ring));
  }
  const Region r = Region::FromPolygon(rings, s_.fillMode, CRect{0, 0, target_.width, target_.height});
  AbortPath();
  CombineClip(r, mode);
}

void MetafileCanvas::OffsetClipRgn(DPoint d) {
  if (!s_.clipRgn) return;
  const XForm l = Linear();
  const int dx = Edge(d.x * l.m11 + d.y * l.m21), dy = Edge(d.x * l.m12 + d.y * l.m22);
  Region moved = *s_.clipRgn;
  moved.Offset(std::clamp(dx, -target_.width, target_.width), std::clamp(dy, -target_.height, target_.height));
  SetClipRegion(std::make_shared<const Region>(std::move(moved)));
}

void MetafileCanvas::SetMetaRgn() {
  s_.metaRgn = s_.clip;
  s_.clipRgn = nullptr;
}

}  // namespace plat
