// The EMF records: each record is a type and a byte size (at least 8, a multiple
// of 4, inside the file); its fields are read through a cursor over the record
// alone, so a count or offset that points past the record reads nothing. Records
// this player does not draw (palettes, EMF+ comments, filled or framed regions) are
// skipped.
#include <algorithm>
#include <bit>
#include <cmath>
#include <vector>

#include "base/ByteCursor.h"
#include "platform/text/CodePage.h"
#include "platform/metafile/MetafileRecords.h"

namespace plat {

namespace {

enum EmfRecord : uint32_t {
  EMR_HEADER = 1, EMR_POLYBEZIER = 2, EMR_POLYGON = 3, EMR_POLYLINE = 4, EMR_POLYBEZIERTO = 5,
  EMR_POLYLINETO = 6, EMR_POLYPOLYLINE = 7, EMR_POLYPOLYGON = 8, EMR_SETWINDOWEXTEX = 9,
  EMR_SETWINDOWORGEX = 10, EMR_SETVIEWPORTEXTEX = 11, EMR_SETVIEWPORTORGEX = 12, EMR_EOF = 14,
  EMR_SETPIXELV = 15, EMR_SETMAPMODE = 17, EMR_SETBKMODE = 18, EMR_SETPOLYFILLMODE = 19,
  EMR_SETTEXTALIGN = 22, EMR_SETTEXTCOLOR = 24, EMR_SETBKCOLOR = 25, EMR_OFFSETCLIPRGN = 26, EMR_MOVETOEX = 27,
  EMR_SETMETARGN = 28, EMR_EXCLUDECLIPRECT = 29, EMR_INTERSECTCLIPRECT = 30, EMR_SCALEVIEWPORTEXTEX = 31, EMR_SCALEWINDOWEXTEX = 32, EMR_SAVEDC = 33, EMR_RESTOREDC = 34,
  EMR_SETWORLDTRANSFORM = 35, EMR_MODIFYWORLDTRANSFORM = 36, EMR_SELECTOBJECT = 37, EMR_CREATEPEN = 38,
  EMR_CREATEBRUSHINDIRECT = 39, EMR_DELETEOBJECT = 40, EMR_ANGLEARC = 41, EMR_ELLIPSE = 42,
  EMR_RECTANGLE = 43, EMR_ROUNDRECT = 44, EMR_ARC = 45, EMR_CHORD = 46, EMR_PIE = 47, EMR_LINETO = 54,
  EMR_ARCTO = 55, EMR_BEGINPATH = 59, EMR_ENDPATH = 60, EMR_CLOSEFIGURE = 61, EMR_FILLPATH = 62,
  EMR_STROKEANDFILLPATH = 63, EMR_STROKEPATH = 64, EMR_SELECTCLIPPATH = 67, EMR_ABORTPATH = 68,
  EMR_EXTSELECTCLIPRGN = 75, EMR_BITBLT = 76, EMR_STRETCHBLT = 77, EMR_SETDIBITSTODEVICE = 80,
  EMR_STRETCHDIBITS = 81,
  EMR_EXTCREATEFONTINDIRECTW = 82, EMR_EXTTEXTOUTA = 83, EMR_EXTTEXTOUTW = 84, EMR_POLYBEZIER16 = 85,
  EMR_POLYGON16 = 86, EMR_POLYLINE16 = 87, EMR_POLYBEZIERTO16 = 88, EMR_POLYLINETO16 = 89,
  EMR_POLYPOLYLINE16 = 90, EMR_POLYPOLYGON16 = 91, EMR_CREATEMONOBRUSH = 93,
  EMR_CREATEDIBPATTERNBRUSHPT = 94, EMR_EXTCREATEPEN = 95, EMR_ALPHABLEND = 114
};

constexpr uint32_t kStockObject = 0x80000000;
constexpr uint32_t kSrcCopy = 0x00CC0020;
constexpr uint32_t kGeometricPen = 0x10000;
constexpr uint32_t kPdyOption = 0x2000;

struct Record {
  ByteCursor c;  // the whole record, type and size included
  int32_t I(int64_t at) const { return static_cast<int32_t>(c.PeekU32LE(at)); }
  uint32_t U(int64_t at) const { return c.PeekU32LE(at); }
  double F(int64_t at) const {
    const float f = std::bit_cast<float>(c.PeekU32LE(at));
    return std::isfinite(f) ? f : 0.0;
  }
  DPoint P(int64_t at) const { return {double{1} * I(at), double{1} * I(at + 4)}; }
  DPoint P16(int64_t at) const {
    return {double{1} * static_cast<int16_t>(c.PeekU16LE(at)), double{1} * static_cast<int16_t>(c.PeekU16LE(at + 2))};
  }
  XForm X(int64_t at) const { return XForm{F(at), F(at + 4), F(at + 8), F(at + 12), F(at + 16), F(at + 20)}; }
  // The bytes [offset, offset + size) of the record; empty when they leave it.
  std::span<const uint8_t> Part(uint32_t offset, uint32_t size) const {
    if (size == 0 || int64_t{offset} + size > c.Size()) return {};
    return c.PeekBytes(offset, size);
  }
};

// Points from at: count of them (bounded by the record), 32 or 16 bits each.
std::vector<DPoint> Points(const Record& r, int64_t at, int64_t count, bool small) {
  const int64_t each = small ? 4 : 8;
  count = std::clamp<int64_t>(count, 0, std::max<int64_t>((r.c.Size() - at) / each, 0));
  std::vector<DPoint> out;
  out.reserve(static_cast<size_t>(count));
  for (int64_t i = 0; i < count; ++i) out.push_back(small ? r.P16(at + i * each) : r.P(at + i * each));
  return out;
}

// The figures of a poly-poly record: counts at 32, points behind them.
std::vector<std::vector<DPoint>> Figures(const Record& r, bool small) {
  const int64_t figures = std::clamp<int64_t>(r.U(24), 0, std::max<int64_t>((r.c.Size() - 32) / 4, 0));
  const int64_t at = 32 + figures * 4;
  std::vector<DPoint> all = Points(r, at, r.U(28), small);
  std::vector<std::vector<DPoint>> out;
  size_t next = 0;
  for (int64_t i = 0; i < figures && next < all.size(); ++i) {
    const size_t n = std::min<size_t>(r.U(32 + i * 4), all.size() - next);
    out.emplace_back(all.begin() + static_cast<std::ptrdiff_t>(next), all.begin() + static_cast<std::ptrdiff_t>(next + n));
    next += n;
  }
  return out;
}

MetaObject PenObject(int style, double width, COLORREF color) {
  MetaObject o;
  o.kind = MetaObject::Kind::Pen;
  o.pen = MetaPen{style, width, color & 0xFFFFFF};
  return o;
}

MetaObject FontObject(const Record& r) {
  MetaObject o;
  o.kind = MetaObject::Kind::Font;
  MetaFont& f = o.font;
  f.height = r.I(12);
  f.escapement = r.I(20);
  f.weight = r.I(28);
  f.italic = r.c.PeekU8(32) != 0;
  f.underline = r.c.PeekU8(33) != 0;
  f.strikeOut = r.c.PeekU8(34) != 0;
  f.charSet = r.c.PeekU8(35);
  std::u16string face;
  for (int i = 0; i < 32; ++i) {
    const char16_t ch = r.c.PeekU16LE(40 + 2 * i);
    if (ch == 0) break;
    face.push_back(ch);
  }
  char bytes[96] = {};
  const int n = WideToCp932(face.data(), static_cast<int>(face.size()), bytes, sizeof bytes);
  f.faceName.assign(bytes, static_cast<size_t>(std::max(n, 0)));
  return o;
}

void TextRecord(const Record& r, MetafileCanvas& canvas, bool wide) {
  const DPoint ref = r.P(36);
  const int64_t chars = std::clamp<int64_t>(r.U(44), 0, r.c.Size());
  const uint32_t options = r.U(52);
  const DPoint rect[2] = {r.P(56), r.P(64)};
  std::u16string text;
  if (wide) {
    const ByteCursor units(r.Part(r.U(48), static_cast<uint32_t>(chars * 2)));
    for (int64_t i = 0; i + 1 < units.Size(); i += 2) text.push_back(static_cast<char16_t>(units.PeekU16LE(i)));
  } else {
    text = canvas.DecodeText(r.Part(r.U(48), static_cast<uint32_t>(chars)));
  }
  // Advances: one a character (a pair with ETO_PDY), only when the record holds them all.
  std::vector<double> dx;
  const int64_t step = (options & kPdyOption) ? 8 : 4;
  const int64_t offDx = r.U(72);
  if (offDx > 0 && offDx + step * static_cast<int64_t>(text.size()) <= r.c.Size()) {
    for (size_t i = 0; i < text.size(); ++i) dx.push_back(r.I(offDx + step * static_cast<int64_t>(i)));
  }
  canvas.TextOut(ref, text, dx, static_cast<int>(options), rect);
}

// BitBlt, StretchBlt and AlphaBlend: the source is the DIB of the record (none: a
// brush operation); AlphaBlend has its blend function where the others have the
// raster operation.
void BltRecord(const Record& r, MetafileCanvas& canvas, bool stretch, bool alpha) {
  const auto bmi = r.Part(r.U(84), r.U(88));
  const auto bits = r.Part(r.U(92), r.U(96));
  const int cx = r.I(32), cy = r.I(36);
  const int sw = stretch ? r.I(100) : cx, sh = stretch ? r.I(104) : cy;
  if (r.U(88) != 0 && (bmi.empty() || bits.empty())) return;
  if (alpha && bmi.empty()) return;
  canvas.Blit(r.P(24), {double{1} * cx, double{1} * cy}, r.I(44), r.I(48), sw, sh, bmi, bits, alpha ? kSrcCopy : r.U(40),
              alpha ? int64_t{r.U(40)} : -1);
}

// StretchDIBits and SetDIBitsToDevice: the source rectangle counts from the DIB's
// bottom row when its rows are stored bottom-up.
void DibRecord(const Record& r, MetafileCanvas& canvas, bool stretch) {
  const auto bmi = r.Part(r.U(48), r.U(52));
  const auto bits = r.Part(r.U(56), r.U(60));
  if (bmi.size() < 40 || bits.empty()) return;
  const int32_t height = static_cast<int32_t>(ByteCursor(bmi).PeekU32LE(8));
  const int sw = r.I(40), sh = r.I(44);
  int sy = r.I(36);
  if (height > 0) sy = static_cast<int>(std::clamp<int64_t>(int64_t{height} - sy - sh, INT32_MIN, INT32_MAX));
  const DPoint size = stretch ? DPoint{double{1} * r.I(72), double{1} * r.I(76)} : DPoint{double{1} * sw, double{1} * sh};
  canvas.Blit(r.P(24), size, r.I(32), sy, sw, sh, bmi, bits, stretch ? r.U(68) : kSrcCopy);
}

void PatternBrush(const Record& r, MetafileCanvas& canvas) {
  const auto bmi = r.Part(r.U(16), r.U(20));
  const auto bits = r.Part(r.U(24), r.U(28));
  const COLORREF color = bmi.size() >= 40 ? MeanDibColor(bmi, bits) : 0x808080;
  canvas.CreateObjectAt(r.U(8), BrushObject(BS_SOLID, color, 0));
}

void ExtPen(const Record& r, MetafileCanvas& canvas) {
  const uint32_t style = r.U(28);
  // A cosmetic pen is one pixel whatever the mapping; a hollow brush draws nothing.
  const double width = (style & kGeometricPen) ? r.U(32) : 0;
  const int lineStyle = r.U(36) == BS_NULL ? PS_NULL : static_cast<int>(style & 0xF);
  canvas.CreateObjectAt(r.U(8), PenObject(lineStyle, width, r.U(40)));
}

// ExtSelectClipRgn: a mode and region data (a 32-byte header, then its rectangles
// in device units); no data with RGN_COPY ends the clipping.
void ClipRegionRecord(const Record& r, MetafileCanvas& canvas) {
  constexpr int64_t kRects = 16 + 32;
  const int mode = r.I(12);
  if (r.U(8) < 32) {
    canvas.SelectClipRects(nullptr, mode);
    return;
  }
  const int64_t count = std::clamp<int64_t>(r.U(24), 0, std::max<int64_t>((r.c.Size() - kRects) / 16, 0));
  std::vector<CRect> rects;
  rects.reserve(static_cast<size_t>(count));
  for (int64_t i = 0; i < count; ++i) {
    const int64_t at = kRects + 16 * i;
    rects.push_back(CRect{r.I(at), r.I(at + 4), r.I(at + 8), r.I(at + 12)});
  }
  canvas.SelectClipRects(&rects, mode);
}

void Dispatch(uint32_t type, const Record& r, MetafileCanvas& canvas, bool drawText) {
  switch (type) {
    case EMR_POLYBEZIER: canvas.PolyBezier(Points(r, 28, r.U(24), false)); break;
    case EMR_POLYBEZIER16: canvas.PolyBezier(Points(r, 28, r.U(24), true)); break;
    case EMR_POLYGON: canvas.PolyPolygon({Points(r, 28, r.U(24), false)}); break;
    case EMR_POLYGON16: canvas.PolyPolygon({Points(r, 28, r.U(24), true)}); break;
    case EMR_POLYLINE: canvas.Polyline(Points(r, 28, r.U(24), false)); break;
    case EMR_POLYLINE16: canvas.Polyline(Points(r, 28, r.U(24), true)); break;
    case EMR_POLYBEZIERTO: canvas.PolyBezierTo(Points(r, 28, r.U(24), false)); break;
    case EMR_POLYBEZIERTO16: canvas.PolyBezierTo(Points(r, 28, r.U(24), true)); break;
    case EMR_POLYLINETO: canvas.PolylineTo(Points(r, 28, r.U(24), false)); break;
    case EMR_POLYLINETO16: canvas.PolylineTo(Points(r, 28, r.U(24), true)); break;
    case EMR_POLYPOLYLINE: canvas.PolyPolyline(Figures(r, false)); break;
    case EMR_POLYPOLYLINE16: canvas.PolyPolyline(Figures(r, true)); break;
    case EMR_POLYPOLYGON: canvas.PolyPolygon(Figures(r, false)); break;
    case EMR_POLYPOLYGON16: canvas.PolyPolygon(Figures(r, true)); break;
    case EMR_SETWINDOWEXTEX: canvas.SetWindowExt(r.P(8)); break;
    case EMR_SETWINDOWORGEX: canvas.SetWindowOrg(r.P(8)); break;
    case EMR_SETVIEWPORTEXTEX: canvas.SetViewportExt(r.P(8)); break;
    case EMR_SETVIEWPORTORGEX: canvas.SetViewportOrg(r.P(8)); break;
    case EMR_SCALEVIEWPORTEXTEX: canvas.ScaleViewportExt(r.I(8), r.I(12), r.I(16), r.I(20)); break;
    case EMR_SCALEWINDOWEXTEX: canvas.ScaleWindowExt(r.I(8), r.I(12), r.I(16), r.I(20)); break;
    case EMR_SETMAPMODE: canvas.SetMapMode(r.I(8)); break;
    case EMR_SETBKMODE: canvas.SetBkMode(r.I(8)); break;
    case EMR_SETPOLYFILLMODE: canvas.SetPolyFillMode(r.I(8)); break;
    case EMR_SETTEXTALIGN: canvas.SetTextAlign(r.I(8)); break;
    case EMR_SETTEXTCOLOR: canvas.SetTextColor(r.U(8)); break;
    case EMR_SETBKCOLOR: canvas.SetBkColor(r.U(8)); break;
    case EMR_MOVETOEX: canvas.MoveTo(r.P(8)); break;
    case EMR_LINETO: canvas.LineTo(r.P(8)); break;
    case EMR_SAVEDC: canvas.SaveDC(); break;
    case EMR_RESTOREDC: canvas.RestoreDC(r.I(8)); break;
    case EMR_SETWORLDTRANSFORM: canvas.SetWorldTransform(r.X(8)); break;
    case EMR_MODIFYWORLDTRANSFORM: canvas.ModifyWorldTransform(r.X(8), r.I(32)); break;
    case EMR_SELECTOBJECT:
      if (r.U(8) & kStockObject) {
        canvas.SelectStockObject(static_cast<int>(r.U(8) & 0xFF));
      } else {
        canvas.SelectObject(r.U(8));
      }
      break;
    case EMR_DELETEOBJECT: canvas.DeleteObject(r.U(8)); break;
    case EMR_CREATEPEN: canvas.CreateObjectAt(r.U(8), PenObject(r.I(12), r.I(16), r.U(24))); break;
    case EMR_EXTCREATEPEN: ExtPen(r, canvas); break;
    case EMR_CREATEBRUSHINDIRECT: canvas.CreateObjectAt(r.U(8), BrushObject(r.I(12), r.U(16), r.I(20))); break;
    case EMR_CREATEDIBPATTERNBRUSHPT:
    case EMR_CREATEMONOBRUSH: PatternBrush(r, canvas); break;
    case EMR_EXTCREATEFONTINDIRECTW: canvas.CreateObjectAt(r.U(8), FontObject(r)); break;
    case EMR_RECTANGLE: canvas.Rectangle(r.P(8), r.P(16)); break;
    case EMR_ELLIPSE: canvas.Ellipse(r.P(8), r.P(16)); break;
    case EMR_ROUNDRECT: canvas.RoundRect(r.P(8), r.P(16), r.P(24)); break;
    case EMR_ARC: canvas.ArcShape(r.P(8), r.P(16), r.P(24), r.P(32), 0); break;
    case EMR_CHORD: canvas.ArcShape(r.P(8), r.P(16), r.P(24), r.P(32), 1); break;
    case EMR_PIE: canvas.ArcShape(r.P(8), r.P(16), r.P(24), r.P(32), 2); break;
    case EMR_ARCTO: canvas.ArcShape(r.P(8), r.P(16), r.P(24), r.P(32), 3); break;
    case EMR_ANGLEARC: canvas.AngleArc(r.P(8), r.U(16), r.F(20), r.F(24)); break;
    case EMR_SETPIXELV: canvas.SetPixel(r.P(8), r.U(16)); break;
    case EMR_BEGINPATH: canvas.BeginPath(); break;
    case EMR_ENDPATH: canvas.EndPath(); break;
    case EMR_CLOSEFIGURE: canvas.CloseFigure(); break;
    case EMR_FILLPATH: canvas.FillPath(true, false); break;
    case EMR_STROKEANDFILLPATH: canvas.FillPath(true, true); break;
    case EMR_STROKEPATH: canvas.FillPath(false, true); break;
    case EMR_SELECTCLIPPATH: canvas.SelectClipPath(r.I(8)); break;
    case EMR_ABORTPATH: canvas.AbortPath(); break;
    case EMR_INTERSECTCLIPRECT: canvas.IntersectClipRect(r.P(8), r.P(16)); break;
    case EMR_EXCLUDECLIPRECT: canvas.ExcludeClipRect(r.P(8), r.P(16)); break;
    case EMR_OFFSETCLIPRGN: canvas.OffsetClipRgn(r.P(8)); break;
    case EMR_SETMETARGN: canvas.SetMetaRgn(); break;
    case EMR_EXTSELECTCLIPRGN: ClipRegionRecord(r, canvas); break;
    case EMR_BITBLT: BltRecord(r, canvas, false, false); break;
    case EMR_STRETCHBLT: BltRecord(r, canvas, true, false); break;
    case EMR_ALPHABLEND: BltRecord(r, canvas, true, true); break;
    case EMR_STRETCHDIBITS: DibRecord(r, canvas, true); break;
    case EMR_SETDIBITSTODEVICE: DibRecord(r, canvas, false); break;
    case EMR_EXTTEXTOUTA:
    case EMR_EXTTEXTOUTW:
      if (drawText) TextRecord(r, canvas, type == EMR_EXTTEXTOUTW);
      break;
    default: break;
  }
}

}  // namespace

int EmfObjectCount(std::span<const uint8_t> bytes) { return ByteCursor(bytes).PeekU16LE(56); }

void PlayEmfRecords(std::span<const uint8_t> bytes, MetafileCanvas& canvas, bool drawText) {
  const ByteCursor file(bytes);
  for (int64_t at = 0; at + 8 <= file.Size();) {
    const uint32_t type = file.PeekU32LE(at), size = file.PeekU32LE(at + 4);
    if (size < 8 || size % 4 != 0 || at + size > file.Size()) return;
    if (type == EMR_EOF) return;
    if (type != EMR_HEADER) Dispatch(type, Record{file.Window(at, size)}, canvas, drawText);
    at += size;
  }
}

}  // namespace plat
