#include "platform/gdi/Region.h"

#include <algorithm>
#include <climits>

#include "platform/gdi/GdiDraw.h"

namespace plat {

namespace {

// The spans of a and b combined: a sweep over both lists of edges, keeping the
// stretches where keep(in a, in b) holds.
template <typename Keep>
std::vector<int> CombineSpans(const std::vector<int>& a, const std::vector<int>& b, Keep keep) {
  std::vector<int> out;
  size_t i = 0, j = 0;
  bool inA = false, inB = false, in = false;
  while (i < a.size() || j < b.size()) {
    const int x = std::min(i < a.size() ? a[i] : INT_MAX, j < b.size() ? b[j] : INT_MAX);
    for (; i < a.size() && a[i] == x; ++i) inA = !inA;
    for (; j < b.size() && b[j] == x; ++j) inB = !inB;
    if (keep(inA, inB) != in) {
      in = !in;
      out.push_back(x);
    }
  }
  return out;
}

const std::vector<int> kNoSpans;

}  // namespace

Region Region::FromRect(const CRect& r) {
  Region out;
  if (r.left < r.right && r.top < r.bottom) out.bands_.push_back(Band{r.top, r.bottom, {r.left, r.right}});
  return out;
}

Region Region::FromRects(std::vector<CRect> rects, const CRect& bounds) {
  for (CRect& r : rects) {
    r = CRect{std::max(r.left, bounds.left), std::max(r.top, bounds.top), std::min(r.right, bounds.right),
              std::min(r.bottom, bounds.bottom)};
  }
  std::erase_if(rects, [](const CRect& r) { return r.left >= r.right || r.top >= r.bottom; });
  std::sort(rects.begin(), rects.end(), [](const CRect& a, const CRect& b) { return a.top < b.top; });
  std::vector<int> edges;
  for (const CRect& r : rects) {
    edges.push_back(r.top);
    edges.push_back(r.bottom);
  }
  std::sort(edges.begin(), edges.end());
  edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
  Region out;
  std::vector<const CRect*> active;
  std::vector<std::pair<int, int>> runs;
  size_t next = 0;
  for (size_t k = 0; k + 1 < edges.size(); ++k) {
    const int top = edges[k];
    while (next < rects.size() && rects[next].top <= top) active.push_back(&rects[next++]);
    std::erase_if(active, [top](const CRect* r) { return r->bottom <= top; });
    runs.clear();
    for (const CRect* r : active) runs.emplace_back(r->left, r->right);
    std::sort(runs.begin(), runs.end());
    std::vector<int> spans;
    for (const auto& [from, to] : runs) {
      if (!spans.empty() && from <= spans.back()) {
        spans.back() = std::max(spans.back(), to);
      } else {
        spans.push_back(from);
        spans.push_back(to);
      }
    }
    out.Append(top, edges[k + 1], std::move(spans));
  }
  return out;
}

Region Region::FromPolygon(const std::vector<std::vector<CPoint>>& rings, int fillMode, const CRect& bounds) {
  Region out;
  const int width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
  if (width <= 0 || height <= 0) return out;
  std::vector<std::vector<CPoint>> shifted = rings;
  for (auto& ring : shifted) {
    for (CPoint& p : ring) p = CPoint{p.x - bounds.left, p.y - bounds.top};
  }
  int row = -1;
  std::vector<int> spans;
  const auto flush = [&] {
    if (row >= 0 && !spans.empty()) out.Append(row + bounds.top, row + bounds.top + 1, std::move(spans));
    spans.clear();
  };
  ScanPolygon(shifted, fillMode, width, height, [&](int y, int from, int to) {
    if (y != row) {
      flush();
      row = y;
    }
    const int left = from + bounds.left, right = to + 1 + bounds.left;
    if (!spans.empty() && left <= spans.back()) {
      spans.back() = std::max(spans.back(), right);
    } else {
      spans.push_back(left);
      spans.push_back(right);
    }
  });
  flush();
  return out;
}

void Region::Append(int top, int bottom, std::vector<int>&& spans) {
  if (top >= bottom || spans.empty()) return;
  if (!bands_.empty() && bands_.back().bottom == top && bands_.back().spans == spans) {
    bands_.back().bottom = bottom;
    return;
  }
  bands_.push_back(Band{top, bottom, std::move(spans)});
}

const std::vector<int>* Region::RowSpans(int y) const {
  const auto band =
      std::upper_bound(bands_.begin(), bands_.end(), y, [](int v, const Band& b) { return v < b.bottom; });
  return band == bands_.end() || band->top > y ? nullptr : &band->spans;
}

bool Region::Contains(int x, int y) const {
  const std::vector<int>* spans = RowSpans(y);
  if (!spans) return false;
  // Inside when an odd number of edges lie at or left of x.
  return (std::upper_bound(spans->begin(), spans->end(), x) - spans->begin()) % 2 == 1;
}

Region Region::Combine(const Region& other, int mode) const {
  if (mode == RGN_COPY || mode < RGN_AND || mode > RGN_COPY) return *this;
  const auto keep = [mode](bool a, bool b) {
    switch (mode) {
      case RGN_AND: return a && b;
      case RGN_OR: return a || b;
      case RGN_XOR: return a != b;
      default: return a && !b;
    }
  };
  // Every row where a band of either region starts or ends opens a new stretch.
  std::vector<int> edges;
  for (const Region* r : {this, &other}) {
    for (const Band& b : r->bands_) {
      edges.push_back(b.top);
      edges.push_back(b.bottom);
    }
  }
  std::sort(edges.begin(), edges.end());
  edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
  Region out;
  size_t i = 0, j = 0;
  for (size_t k = 0; k + 1 < edges.size(); ++k) {
    const int top = edges[k], bottom = edges[k + 1];
    while (i < bands_.size() && bands_[i].bottom <= top) ++i;
    while (j < other.bands_.size() && other.bands_[j].bottom <= top) ++j;
    const auto spansAt = [top](const std::vector<Band>& bands, size_t k) -> const std::vector<int>& {
      return k < bands.size() && bands[k].top <= top ? bands[k].spans : kNoSpans;
    };
    const std::vector<int>& a = spansAt(bands_, i);
    const std::vector<int>& b = spansAt(other.bands_, j);
    out.Append(top, bottom, CombineSpans(a, b, keep));
  }
  return out;
}

void Region::Offset(int dx, int dy) {
  for (Band& b : bands_) {
    b.top += dy;
    b.bottom += dy;
    for (int& x : b.spans) x += dx;
  }
}

CRect Region::Box() const {
  if (bands_.empty()) return CRect{};
  CRect box{INT_MAX, bands_.front().top, INT_MIN, bands_.back().bottom};
  for (const Band& b : bands_) {
    box.left = std::min(box.left, b.spans.front());
    box.right = std::max(box.right, b.spans.back());
  }
  return box;
}

}  // namespace plat
