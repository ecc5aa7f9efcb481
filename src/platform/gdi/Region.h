// A region of pixels, kept as a window system keeps one: bands of rows, each with
// its sorted, disjoint column spans [from, to). Regions are combined (AND, OR, XOR,
// DIFF, COPY) band by band, so the cost follows the bands and spans, never the
// pixels; drawing asks a region for the spans of one row. The metafile player's
// clipping is made of them.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/gdi/Types.h"

namespace plat {

enum RegionMode : int { RGN_AND = 1, RGN_OR = 2, RGN_XOR = 3, RGN_DIFF = 4, RGN_COPY = 5 };

class Region {
 public:
  // The empty region.
  Region() = default;
  // [left, right) x [top, bottom); empty when inverted.
  static Region FromRect(const CRect& r);
  // The union of rectangles, within bounds: one sweep down the rows, so that a
  // region of many rectangles (one a row, as regions are stored) costs no more
  // than its bands.
  static Region FromRects(std::vector<CRect> rects, const CRect& bounds);
  // The pixels whose centre lies inside the rings (ALTERNATE or WINDING), within bounds.
  static Region FromPolygon(const std::vector<std::vector<CPoint>>& rings, int fillMode, const CRect& bounds);

  bool Empty() const { return bands_.empty(); }
  bool Contains(int x, int y) const;
  // The spans of row y as pairs (from, to); nullptr when the row holds none.
  const std::vector<int>* RowSpans(int y) const;
  // This combined with other: RGN_AND, RGN_OR, RGN_XOR, RGN_DIFF (this without
  // other) or RGN_COPY (this); any other mode gives this.
  Region Combine(const Region& other, int mode) const;
  void Offset(int dx, int dy);
  // The box of the region; all zero when empty.
  CRect Box() const;
  bool operator==(const Region& other) const = default;

 private:
  struct Band {
    int top = 0, bottom = 0;  // rows [top, bottom)
    std::vector<int> spans;   // from, to, from, to, ...
    bool operator==(const Band& other) const = default;
  };
  // Appends a band, joining it to the last one when that ends where it starts and
  // has the same spans.
  void Append(int top, int bottom, std::vector<int>&& spans);
  std::vector<Band> bands_;
};

}  // namespace plat
