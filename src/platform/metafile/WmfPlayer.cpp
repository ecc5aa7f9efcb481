// The WMF records: a size in 16-bit words (at least 3, inside the file), a function
// number and the parameters, mostly 16-bit values in reverse order. Objects take
// the first free slot of the table whose size the header gives; every object kind
// takes a slot (palettes and regions too) so that later indexes stay right.
#include <algorithm>
#include <vector>

#include "base/ByteCursor.h"
#include "platform/metafile/MetafileRecords.h"

namespace plat {

namespace {

enum WmfRecord : uint16_t {
  META_EOF = 0x0000, META_SAVEDC = 0x001E, META_REALIZEPALETTE = 0x0035, META_CREATEPALETTE = 0x00F7,
  META_SETBKMODE = 0x0102, META_SETMAPMODE = 0x0103, META_SETPOLYFILLMODE = 0x0106,
  META_RESTOREDC = 0x0127, META_SELECTOBJECT = 0x012D, META_SETTEXTALIGN = 0x012E,
  META_DIBCREATEPATTERNBRUSH = 0x0142, META_DELETEOBJECT = 0x01F0, META_CREATEPATTERNBRUSH = 0x01F9,
  META_SETBKCOLOR = 0x0201, META_SETTEXTCOLOR = 0x0209, META_SETWINDOWORG = 0x020B,
  META_SETWINDOWEXT = 0x020C, META_SETVIEWPORTORG = 0x020D, META_SETVIEWPORTEXT = 0x020E,
  META_OFFSETWINDOWORG = 0x020F, META_OFFSETCLIPRGN = 0x0220, META_EXCLUDECLIPRECT = 0x0415,
  META_INTERSECTCLIPRECT = 0x0416, META_LINETO = 0x0213, META_MOVETO = 0x0214,
  META_CREATEPENINDIRECT = 0x02FA, META_CREATEFONTINDIRECT = 0x02FB, META_CREATEBRUSHINDIRECT = 0x02FC,
  META_POLYGON = 0x0324, META_POLYLINE = 0x0325, META_SCALEWINDOWEXT = 0x0410, META_ELLIPSE = 0x0418,
  META_RECTANGLE = 0x041B, META_SETPIXEL = 0x041F, META_TEXTOUT = 0x0521, META_POLYPOLYGON = 0x0538,
  META_ROUNDRECT = 0x061C, META_CREATEREGION = 0x06FF, META_ARC = 0x0817, META_PIE = 0x081A,
  META_CHORD = 0x0830, META_DIBBITBLT = 0x0940, META_EXTTEXTOUT = 0x0A32, META_DIBSTRETCHBLT = 0x0B41,
  META_SETDIBTODEV = 0x0D33, META_STRETCHDIB = 0x0F43
};

constexpr uint32_t kSrcCopy = 0x00CC0020;

struct Params {
  ByteCursor c;  // the parameters of one record
  int S(int64_t word) const { return static_cast<int16_t>(c.PeekU16LE(2 * word)); }
  double D(int64_t word) const { return S(word); }
  uint32_t U32(int64_t word) const { return c.PeekU32LE(2 * word); }
  int64_t Words() const { return c.Size() / 2; }
  // A point stored as (y, x) at word w.
  DPoint YX(int64_t w) const { return {D(w + 1), D(w)}; }
  std::span<const uint8_t> From(int64_t word) const { return c.PeekBytes(2 * word, c.Size() - 2 * word); }
};

// count points stored as (x, y) from word w, bounded by the record.
std::vector<DPoint> Points(const Params& p, int64_t w, int64_t count) {
  count = std::clamp<int64_t>(count, 0, std::max<int64_t>((p.Words() - w) / 2, 0));
  std::vector<DPoint> out;
  out.reserve(static_cast<size_t>(count));
  for (int64_t i = 0; i < count; ++i) out.push_back({p.D(w + 2 * i), p.D(w + 2 * i + 1)});
  return out;
}

MetaObject Other() {
  MetaObject o;
  o.kind = MetaObject::Kind::Other;
  return o;
}

MetaObject PenObject(const Params& p) {
  MetaObject o;
  o.kind = MetaObject::Kind::Pen;
  o.pen = MetaPen{p.S(0) & 0xF, double{1} * std::abs(p.S(1)), p.U32(3) & 0xFFFFFF};
  return o;
}

MetaObject FontObject(const Params& p) {
  MetaObject o;
  o.kind = MetaObject::Kind::Font;
  MetaFont& f = o.font;
  f.height = p.S(0);
  f.escapement = p.S(2);
  f.weight = p.S(4);
  f.italic = p.c.PeekU8(10) != 0;
  f.underline = p.c.PeekU8(11) != 0;
  f.strikeOut = p.c.PeekU8(12) != 0;
  f.charSet = p.c.PeekU8(13);
  for (int64_t i = 18; i < 18 + 32 && p.c.PeekU8(i) != 0; ++i) f.faceName.push_back(static_cast<char>(p.c.PeekU8(i)));
  return o;
}

void Blit(const Params& p, MetafileCanvas& canvas, int64_t dibWord, DPoint dest, DPoint size, int sx, int sy, int sw,
          int sh, uint32_t rop) {
  std::span<const uint8_t> bmi, bits;
  if (dibWord >= 0) {
    if (!SplitPackedDib(p.From(dibWord), bmi, bits)) return;
    // Source rows count from the bottom of a bottom-up DIB.
    const int32_t height = static_cast<int32_t>(ByteCursor(bmi).PeekU32LE(8));
    if (height > 0 && sh != 0) sy = static_cast<int>(std::clamp<int64_t>(int64_t{height} - sy - sh, INT32_MIN, INT32_MAX));
  }
  canvas.Blit(dest, size, sx, sy, sw, sh, bmi, bits, rop);
}

void ExtTextOut(const Params& p, MetafileCanvas& canvas) {
  const DPoint ref = p.YX(0);
  const int64_t count = std::max(p.S(2), 0);
  const int options = p.S(3) & 0xFFFF;
  int64_t w = 4;
  DPoint rect[2];
  const bool hasRect = (options & (ETO_OPAQUE | ETO_CLIPPED)) != 0;
  if (hasRect) {
    rect[0] = {p.D(4), p.D(5)};
    rect[1] = {p.D(6), p.D(7)};
    w = 8;
  }
  const auto text = canvas.DecodeText(p.c.PeekBytes(2 * w, count));
  w += (count + 1) / 2;
  std::vector<double> dx;
  if (w + count <= p.Words()) {
    for (int64_t i = 0; i < count; ++i) dx.push_back(p.D(w + i));
  }
  // A double-byte text has one advance per byte: the lead byte's advance takes both.
  if (dx.size() > text.size() && !text.empty()) {
    std::vector<double> merged;
    const auto bytes = p.c.PeekBytes(2 * (hasRect ? 8 : 4), count);
    for (size_t i = 0; i < bytes.size() && i < dx.size(); ++i) {
      const bool lead = (bytes[i] >= 0x81 && bytes[i] <= 0x9F) || (bytes[i] >= 0xE0 && bytes[i] <= 0xFC);
      merged.push_back(dx[i] + (lead && i + 1 < dx.size() ? dx[i + 1] : 0));
      if (lead) ++i;
    }
    dx = merged;
  }
  canvas.TextOut(ref, text, dx, options, hasRect ? rect : nullptr);
}

void Dispatch(uint16_t function, const Params& p, MetafileCanvas& canvas, bool drawText) {
  switch (function) {
    case META_SAVEDC: canvas.SaveDC(); break;
    case META_RESTOREDC: canvas.RestoreDC(p.S(0)); break;
    case META_SETBKMODE: canvas.SetBkMode(p.S(0)); break;
    case META_SETMAPMODE: canvas.SetMapMode(p.S(0)); break;
    case META_SETPOLYFILLMODE: canvas.SetPolyFillMode(p.S(0)); break;
    case META_SETBKCOLOR: canvas.SetBkColor(p.U32(0)); break;
    case META_SETTEXTCOLOR: canvas.SetTextColor(p.U32(0)); break;
    case META_SETTEXTALIGN: canvas.SetTextAlign(p.S(0) & 0xFFFF); break;
    case META_SETWINDOWORG: canvas.SetWindowOrg(p.YX(0)); break;
    case META_SETWINDOWEXT: canvas.SetWindowExt(p.YX(0)); break;
    case META_SETVIEWPORTORG: canvas.SetViewportOrg(p.YX(0)); break;
    case META_SETVIEWPORTEXT: canvas.SetViewportExt(p.YX(0)); break;
    case META_OFFSETWINDOWORG: canvas.OffsetWindowOrg(p.YX(0)); break;
    case META_SCALEWINDOWEXT: canvas.ScaleWindowExt(p.D(3), p.D(2), p.D(1), p.D(0)); break;
    case META_INTERSECTCLIPRECT: canvas.IntersectClipRect({p.D(3), p.D(2)}, {p.D(1), p.D(0)}); break;
    case META_EXCLUDECLIPRECT: canvas.ExcludeClipRect({p.D(3), p.D(2)}, {p.D(1), p.D(0)}); break;
    case META_OFFSETCLIPRGN: canvas.OffsetClipRgn(p.YX(0)); break;
    case META_LINETO: canvas.LineTo(p.YX(0)); break;
    case META_MOVETO: canvas.MoveTo(p.YX(0)); break;
    case META_POLYGON: canvas.PolyPolygon({Points(p, 1, p.S(0))}); break;
    case META_POLYLINE: canvas.Polyline(Points(p, 1, p.S(0))); break;
    case META_POLYPOLYGON: {
      const int64_t n = std::clamp<int64_t>(p.S(0), 0, p.Words());
      std::vector<std::vector<DPoint>> rings;
      int64_t w = 1 + n;
      for (int64_t i = 0; i < n && w < p.Words(); ++i) {
        const int64_t count = std::max(p.S(1 + i), 0);
        rings.push_back(Points(p, w, count));
        w += 2 * count;
      }
      canvas.PolyPolygon(rings);
      break;
    }
    case META_RECTANGLE: canvas.Rectangle({p.D(3), p.D(2)}, {p.D(1), p.D(0)}); break;
    case META_ELLIPSE: canvas.Ellipse({p.D(3), p.D(2)}, {p.D(1), p.D(0)}); break;
    case META_ROUNDRECT: canvas.RoundRect({p.D(5), p.D(4)}, {p.D(3), p.D(2)}, {p.D(1), p.D(0)}); break;
    case META_ARC:
    case META_PIE:
    case META_CHORD:
      canvas.ArcShape({p.D(7), p.D(6)}, {p.D(5), p.D(4)}, p.YX(2), p.YX(0),
                      function == META_ARC ? 0 : function == META_CHORD ? 1 : 2);
      break;
    case META_SETPIXEL: canvas.SetPixel(p.YX(2), p.U32(0)); break;
    case META_TEXTOUT:
      if (drawText) {
        const int64_t count = std::max(p.S(0), 0);
        const int64_t w = 1 + (count + 1) / 2;
        canvas.TextOut(p.YX(w), canvas.DecodeText(p.c.PeekBytes(2, count)), {}, 0, nullptr);
      }
      break;
    case META_EXTTEXTOUT:
      if (drawText) ExtTextOut(p, canvas);
      break;
    case META_CREATEPENINDIRECT: canvas.CreateObjectFirstFree(PenObject(p)); break;
    case META_CREATEBRUSHINDIRECT: canvas.CreateObjectFirstFree(BrushObject(p.S(0), p.U32(1), p.S(3))); break;
    case META_CREATEFONTINDIRECT: canvas.CreateObjectFirstFree(FontObject(p)); break;
    case META_DIBCREATEPATTERNBRUSH: {
      std::span<const uint8_t> bmi, bits;
      const COLORREF color = SplitPackedDib(p.From(2), bmi, bits) ? MeanDibColor(bmi, bits) : 0x808080;
      canvas.CreateObjectFirstFree(BrushObject(BS_SOLID, color, 0));
      break;
    }
    case META_CREATEPATTERNBRUSH: canvas.CreateObjectFirstFree(BrushObject(BS_SOLID, 0x808080, 0)); break;
    case META_CREATEPALETTE:
    case META_CREATEREGION: canvas.CreateObjectFirstFree(Other()); break;
    case META_SELECTOBJECT: canvas.SelectObject(p.c.PeekU16LE(0)); break;
    case META_DELETEOBJECT: canvas.DeleteObject(p.c.PeekU16LE(0)); break;
    case META_DIBBITBLT: {
      // Without a DIB the record has one more word (reserved) and no source.
      const bool dib = p.Words() > 9;
      const int64_t o = dib ? 0 : 1;
      const int w = p.S(5 + o), h = p.S(4 + o);
      Blit(p, canvas, dib ? 8 : -1, p.YX(6 + o), {double{1} * w, double{1} * h}, p.S(3), p.S(2), w, h, p.U32(0));
      break;
    }
    case META_DIBSTRETCHBLT: {
      const bool dib = p.Words() > 11;
      const int64_t o = dib ? 0 : 1;
      Blit(p, canvas, dib ? 10 : -1, p.YX(8 + o), {p.D(7 + o), p.D(6 + o)}, p.S(5), p.S(4), p.S(3), p.S(2), p.U32(0));
      break;
    }
    case META_STRETCHDIB:
      Blit(p, canvas, 11, p.YX(9), {p.D(8), p.D(7)}, p.S(6), p.S(5), p.S(4), p.S(3), p.U32(0));
      break;
    case META_SETDIBTODEV:
      Blit(p, canvas, 9, p.YX(7), {p.D(6), p.D(5)}, p.S(4), p.S(3), p.S(6), p.S(5), kSrcCopy);
      break;
    default: break;
  }
}

int64_t RecordsStart(const ByteCursor& file) {
  const int64_t at = file.PeekU32LE(0) == kPlaceableKey ? kPlaceableSize : 0;
  return at + int64_t{file.PeekU16LE(at + 2)} * 2;
}

}  // namespace

int WmfObjectCount(std::span<const uint8_t> bytes) {
  const ByteCursor file(bytes);
  const int64_t at = file.PeekU32LE(0) == kPlaceableKey ? kPlaceableSize : 0;
  return file.PeekU16LE(at + 10);
}

void PlayWmfRecords(std::span<const uint8_t> bytes, MetafileCanvas& canvas, bool drawText) {
  const ByteCursor file(bytes);
  for (int64_t at = RecordsStart(file); at + 6 <= file.Size();) {
    const int64_t size = int64_t{file.PeekU32LE(at)} * 2;
    const uint16_t function = file.PeekU16LE(at + 4);
    if (size < 6 || at + size > file.Size() || function == META_EOF) return;
    Dispatch(function, Params{file.Window(at + 6, size - 6)}, canvas, drawText);
    at += size;
  }
}

}  // namespace plat
