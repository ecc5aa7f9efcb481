// The playback device context of the metafile player: the state the EMF and WMF
// records set (mapping, world transform, objects, colours, text alignment, the
// current position, the path being recorded, the clip and meta regions, the SaveDC
// stack) and the drawing they ask for, in logical units. Everything is mapped to target pixels here and
// drawn through the drawing layer (DrawContext) and the text layer (TextPainter).
// The object table has a fixed size taken from the file's header; an index outside
// it, or of an empty slot, is ignored, as is an object of the wrong kind. Clipping
// is a region of target pixels (always inside the target), shared between saved
// states until one of them changes it.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/gdi/Gdi.h"
#include "platform/gdi/GdiDraw.h"
#include "platform/gdi/GdiText.h"
#include "platform/gdi/Region.h"
#include "platform/gdi/Types.h"
#include "platform/metafile/Metafile.h"

namespace plat {

struct DPoint {
  double x = 0;
  double y = 0;
};

// x' = x m11 + y m21 + dx, y' = x m12 + y m22 + dy.
struct XForm {
  double m11 = 1, m12 = 0, m21 = 0, m22 = 1, dx = 0, dy = 0;
  DPoint Apply(DPoint p) const { return {p.x * m11 + p.y * m21 + dx, p.x * m12 + p.y * m22 + dy}; }
  // this, then next.
  XForm Then(const XForm& next) const;
};

enum MapMode : int {
  MM_TEXT = 1, MM_LOMETRIC = 2, MM_HIMETRIC = 3, MM_LOENGLISH = 4, MM_HIENGLISH = 5, MM_TWIPS = 6,
  MM_ISOTROPIC = 7, MM_ANISOTROPIC = 8
};

enum TextAlign : int { TA_UPDATECP = 1, TA_RIGHT = 2, TA_CENTER = 6, TA_BOTTOM = 8, TA_BASELINE = 24 };
enum TextOutOption : int { ETO_OPAQUE = 2, ETO_CLIPPED = 4, ETO_GLYPH_INDEX = 0x10 };

struct MetaPen {
  int style = PS_SOLID;
  double width = 0;  // logical units; 0 is one pixel
  COLORREF color = 0;
};

struct MetaFont {
  double height = 0;  // logical; negative: the character height, positive: the cell
  double escapement = 0;  // of the baseline, tenths of a degree counter-clockwise
  int weight = 400;
  bool italic = false, underline = false, strikeOut = false;
  int charSet = 0;
  std::string faceName;  // CP932
};

struct MetaObject {
  enum class Kind { None, Pen, Brush, Font, Other } kind = Kind::None;
  MetaPen pen;
  Brush brush;
  MetaFont font;
};

// A brush as both formats create it: anything but hollow and hatched is solid,
// hatch styles 0-5.
MetaObject BrushObject(int style, COLORREF color, int hatch);


class MetafileCanvas {
 public:
  // The table holds objects 0 .. objects - 1 (at most kMaxObjects).
  static constexpr int kMaxObjects = 65536;
  static constexpr int kMaxSavedStates = 1024;

  // Without a text painter the text records draw only their opaque rectangles.
  MetafileCanvas(Bitmap& target, TextPainter* text, int objects);
  // The decoder of JPEG and PNG bitmaps (none: such bitmaps are left out).
  void SetPictureDecoder(const MetafilePictureDecoder& pictures) { pictures_ = &pictures; }

  // How the records' device units reach the target. EMF: the device pixels of the
  // recording device, scaled and offset onto the target. WMF: the logical window
  // (as the records set it) is stretched onto the target rectangle.
  void SetDeviceMapping(double scaleX, double scaleY, double offsetX, double offsetY, double pixelsPerMmX,
                        double pixelsPerMmY);
  void SetWindowToRect(const CRect& target, DPoint windowOrg, DPoint windowExt);

  // Mapping state.
  void SetMapMode(int mode);
  void SetWindowOrg(DPoint p);
  void SetWindowExt(DPoint e);
  void SetViewportOrg(DPoint p);
  void SetViewportExt(DPoint e);
  void OffsetWindowOrg(DPoint d);
  void OffsetViewportOrg(DPoint d);
  void ScaleWindowExt(double xNum, double xDen, double yNum, double yDen);
  void ScaleViewportExt(double xNum, double xDen, double yNum, double yDen);
  void SetWorldTransform(const XForm& x);
  // 1 identity, 2 x before the current, 3 x after it, 4 set.
  void ModifyWorldTransform(const XForm& x, int mode);

  // Attributes.
  void SetBkMode(int mode) { s_.bkMode = mode; }
  void SetBkColor(COLORREF c) { s_.bkColor = c & 0xFFFFFF; }
  void SetTextColor(COLORREF c) { s_.textColor = c & 0xFFFFFF; }
  void SetTextAlign(int align) { s_.textAlign = align; }
  void SetPolyFillMode(int mode) { s_.fillMode = mode == WINDING ? WINDING : ALTERNATE; }
  void SaveDC();
  // n < 0: that many states back; n > 0: the state of that depth.
  void RestoreDC(int n);

  // Clipping. Rectangles and offsets are in logical units, the rectangles of a
  // region in the recording device's units; no region (nullptr) with RGN_COPY ends
  // the clipping. The path (ended) becomes a region and is discarded.
  void IntersectClipRect(DPoint a, DPoint b);
  void ExcludeClipRect(DPoint a, DPoint b);
  void SelectClipRects(const std::vector<CRect>* deviceRects, int mode);
  void SelectClipPath(int mode);
  void OffsetClipRgn(DPoint d);
  // The clip becomes the meta region (within the one before), the clip region none.
  void SetMetaRgn();

  // Objects: at an index (EMF), or in the first free slot (WMF).
  void CreateObjectAt(int64_t index, const MetaObject& object);
  void CreateObjectFirstFree(const MetaObject& object);
  void SelectObject(int64_t index);
  void SelectStockObject(int stock);
  void DeleteObject(int64_t index);

  // Drawing in logical units.
  void MoveTo(DPoint p);
  void LineTo(DPoint p);
  void Polyline(std::span<const DPoint> points);
  void PolylineTo(std::span<const DPoint> points);
  void PolyBezier(std::span<const DPoint> points);
  void PolyBezierTo(std::span<const DPoint> points);
  void PolyPolygon(const std::vector<std::vector<DPoint>>& rings);
  void PolyPolyline(const std::vector<std::vector<DPoint>>& lines);
  void Rectangle(DPoint a, DPoint b);
  void RoundRect(DPoint a, DPoint b, DPoint corner);
  void Ellipse(DPoint a, DPoint b);
  // kind 0 arc, 1 chord, 2 pie; 3 arc with a line from the current position.
  void ArcShape(DPoint a, DPoint b, DPoint start, DPoint end, int kind);
  void AngleArc(DPoint centre, double radius, double startDegrees, double sweepDegrees);
  void SetPixel(DPoint p, COLORREF c);
  // Text at a reference point; dx (logical advances, one per character) may be empty.
  void TextOut(DPoint ref, std::u16string_view text, std::span<const double> dx, int options, const DPoint* rect);
  // A DIB onto a logical rectangle; the source rectangle in DIB pixels from the top.
  // A JPEG or PNG bitmap is decoded first, by the picture decoder.
  // Without a DIB the raster operation combines the brush with the target. blend,
  // when not negative, is an alpha blend instead (a BLENDFUNCTION: the constant
  // alpha in bits 16-23, bit 24 for the source's own premultiplied alpha).
  void Blit(DPoint at, DPoint size, int sx, int sy, int sw, int sh, std::span<const uint8_t> bmi,
            std::span<const uint8_t> bits, uint32_t rop, int64_t blend = -1);

  // Paths: the drawing calls between BeginPath and EndPath build the path.
  void BeginPath();
  void EndPath() { s_.inPath = false; }
  void AbortPath();
  void CloseFigure();
  void FillPath(bool fill, bool stroke);

  // Text from the bytes of an "A" record or a WMF text, decoded by the font's character set.
  std::u16string DecodeText(std::span<const uint8_t> bytes) const;

 private:
  struct State {
    int mapMode = MM_TEXT;
    DPoint winOrg{0, 0}, winExt{1, 1}, vpOrg{0, 0}, vpExt{1, 1};
    XForm world;
    MetaPen pen{PS_SOLID, 0, 0};
    Brush brush{BS_SOLID, 0xFFFFFF, 0};
    MetaFont font;
    COLORREF textColor = 0, bkColor = 0xFFFFFF;
    int bkMode = OPAQUE;
    int textAlign = 0;
    int fillMode = ALTERNATE;
    DPoint pos;
    bool inPath = false;
    // The clip region, the meta region and the two together (null: none).
    std::shared_ptr<const Region> clipRgn, metaRgn, clip;
  };

  // Logical point to target pixels, and the logical-to-target linear part.
  DPoint ToTarget(DPoint p) const;
  XForm Linear() const;
  bool AxisAligned() const;
  CPoint Pixel(DPoint p) const;
  int PenPixels() const;
  void ApplyPen(DrawContext& dc, bool noPen = false) const;
  // Fill and outline of target-pixel rings (closed) or lines (open).
  void FillRings(const std::vector<std::vector<DPoint>>& rings, bool fill, bool stroke);
  void StrokeLines(const std::vector<std::vector<DPoint>>& lines, bool closed);
  void Flatten(std::span<const DPoint> bezier, DPoint from, std::vector<DPoint>& out) const;
  // The points of an ellipse arc in logical units, counter-clockwise as seen on the target.
  std::vector<DPoint> ArcPoints(DPoint a, DPoint b, DPoint start, DPoint end, bool full) const;
  void PathAdd(DPoint logical, bool move);
  // A drawing context on the target that paints inside the clip only.
  DrawContext Context() const;
  // The target pixels of a logical rectangle.
  Region LogicalRect(DPoint a, DPoint b) const;
  // Makes r (within the target) the clip region and recomputes the clip.
  void SetClipRegion(std::shared_ptr<const Region> r);
  // The clip region combined with r by mode; no clip region counts as the whole target.
  void CombineClip(const Region& r, int mode);
  bool SelectFont();

  Bitmap& target_;
  TextPainter* text_;
  const MetafilePictureDecoder* pictures_ = nullptr;
  State s_;
  std::vector<State> saved_;
  std::vector<MetaObject> objects_;
  // The free slots as a min-heap, for the records that take the first free one.
  std::vector<int> freeSlots_;
  bool freeSlotsReady_ = false;
  // Device mapping.
  bool windowToRect_ = false;
  CRect rect_;
  double scaleX_ = 1, scaleY_ = 1, offsetX_ = 0, offsetY_ = 0, pxPerMmX_ = 96 / 25.4, pxPerMmY_ = 96 / 25.4;
  // The path, in target pixels: its figures and whether each is closed.
  std::vector<std::vector<DPoint>> path_;
  std::vector<bool> pathClosed_;
};

}  // namespace plat
