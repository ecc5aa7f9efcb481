// Drawing on a memory bitmap with pens and brushes, as the image editor's figure
// layer and the region overlay use them. The pixel rules are fixed so that tests
// can pin them:
//   colours       COLORREF 0x00BBGGRR; the top byte (the settings' "not set" mark)
//                 is dropped before use;
//   pens          solid 1 to 3 pixels wide (a square of the width centred on each
//                 point of the line); the dash styles at width 1 repeat their
//                 on/off runs along the line (dash 18/6, dot 3/3, dash-dot 9/6/3/6,
//                 dash-dot-dot 9/3/3/3/3/3), the gaps painted in the background
//                 colour only in OPAQUE mode; PS_NULL draws nothing;
//   LineTo        Bresenham from the current position, the end pixel excluded;
//   Rectangle, Ellipse, RoundRect
//                 cover [l, r-1] x [t, b-1]: the brush fills the inside, the pen
//                 draws the outermost pixels of the shape;
//   Arc           the ellipse's outline counter-clockwise (on screen) from the ray
//                 through the start point to the ray through the end point;
//   AngleArc      a line from the current position to the arc's start, then the
//                 arc of a circle, angles in degrees counter-clockwise from the
//                 positive x axis (y up); the current position ends at its end;
//   hatches       8 x 8 patterns aligned to the bitmap's origin (0 horizontal,
//                 1 vertical, 2 downward diagonal, 3 upward, 4 cross, 5 diagonal
//                 cross); the gaps take the background colour in OPAQUE mode;
//   SetPixel, GetPixel
//                 outside the bitmap: nothing, and CLR_INVALID;
//   ExtFloodFill  4-connected: SURFACE fills the pixels of the colour, BORDER the
//                 pixels up to the colour;
//   PolyPolygon   the brush fills the pixels whose centre lies inside the rings
//                 (ALTERNATE: odd crossings, WINDING: non-zero winding); the pen
//                 then draws each ring closed with LineTo;
//   clipping      with a clip region set, only its pixels are painted.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/gdi/Gdi.h"
#include "platform/gdi/Region.h"
#include "platform/gdi/Types.h"

namespace plat {

enum PenStyle : int { PS_SOLID = 0, PS_DASH = 1, PS_DOT = 2, PS_DASHDOT = 3, PS_DASHDOTDOT = 4, PS_NULL = 5 };
enum BrushStyle : int { BS_SOLID = 0, BS_NULL = 1, BS_HATCHED = 2 };
enum HatchStyle : int {
  HS_HORIZONTAL = 0, HS_VERTICAL = 1, HS_FDIAGONAL = 2, HS_BDIAGONAL = 3, HS_CROSS = 4, HS_DIAGCROSS = 5
};
enum BackgroundMode : int { TRANSPARENT = 1, OPAQUE = 2 };
enum FloodFillType : int { FLOODFILLBORDER = 0, FLOODFILLSURFACE = 1 };
enum PolyFillMode : int { ALTERNATE = 1, WINDING = 2 };
constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;
constexpr int kMaxPenWidth = 3;

struct Pen {
  int style = PS_SOLID;
  int width = 1;
  COLORREF color = 0;
};

struct Brush {
  int style = BS_SOLID;
  COLORREF color = 0;
  int hatch = HS_HORIZONTAL;
};

// Whether a hatch's 8 x 8 pattern is set at a bitmap position.
bool HatchBit(int hatch, int x, int y);

class DrawContext {
 public:
  explicit DrawContext(Bitmap& target) : bitmap_(target) {}

  Pen SelectPen(const Pen& pen);
  Brush SelectBrush(const Brush& brush);
  int SetBkMode(int mode);
  COLORREF SetBkColor(COLORREF color);
  COLORREF GetBkColor() const { return bk_; }
  // Paints only inside clip (which must outlive the drawing); nullptr: everywhere.
  void SetClip(const Region* clip) { clip_ = clip; }

  void MoveToEx(int x, int y);
  CPoint GetCurrentPosition() const { return pos_; }
  bool LineTo(int x, int y);
  bool Rectangle(int left, int top, int right, int bottom);
  bool Ellipse(int left, int top, int right, int bottom);
  // Corners are quarter ellipses of width x height.
  bool RoundRect(int left, int top, int right, int bottom, int width, int height);
  bool Arc(int left, int top, int right, int bottom, int xStart, int yStart, int xEnd, int yEnd);
  bool AngleArc(int x, int y, int radius, double startAngle, double sweepAngle);
  // Fills [left, right) x [top, bottom) with the brush (no outline).
  void FillRect(const CRect& rect, const Brush& brush);
  COLORREF SetPixel(int x, int y, COLORREF color);
  COLORREF GetPixel(int x, int y) const;
  bool ExtFloodFill(int x, int y, COLORREF color, int type);
  bool PolyPolygon(const std::vector<std::vector<CPoint>>& rings, int fillMode);
  // Lines through the points from the first, the current position left unchanged.
  bool Polyline(const std::vector<CPoint>& points);

 private:
  // A shape as its inclusive column span per row, from row top on.
  struct Spans {
    int top = 0;
    std::vector<int> from, to;  // to < from: the row is empty
  };
  void FillSpans(const Spans& s);
  struct ArcPart {
    double cx, cy, start, sweep;
  };
  void OutlineSpans(const Spans& s, const ArcPart* arc = nullptr);
  void ClipLine(int& x0, int& y0, int& x1, int& y1) const;
  void PenPoint(int x, int y, uint32_t pixel);
  void Put(int x, int y, uint32_t pixel);
  void BrushPixel(int x, int y);
  // The pen's colour for the next step of the current line, or none (gap not painted).
  bool PenStep(uint32_t& pixel);

  Bitmap& bitmap_;
  Pen pen_;
  Brush brush_;
  COLORREF bk_ = 0xFFFFFF;
  int bkMode_ = OPAQUE;
  CPoint pos_;
  int dashPos_ = 0;
  const Region* clip_ = nullptr;
};

// The pixels whose centre lies inside the rings (ALTERNATE: odd crossings, WINDING:
// non-zero winding), as inclusive column spans [from, to] of rows from the top,
// within width x height; the spans of one row come left to right.
void ScanPolygon(const std::vector<std::vector<CPoint>>& rings, int fillMode, int width, int height,
                 const std::function<void(int y, int from, int to)>& span);

// The four sides of (left, top)-(r, b) as MoveToEx and four LineTo calls, so every
// corner is painted once.
void DrawOutline(DrawContext& dc, int left, int top, int r, int b);

}  // namespace plat
