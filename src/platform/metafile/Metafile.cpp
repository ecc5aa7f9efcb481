#include "platform/metafile/Metafile.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "base/ByteCursor.h"
#include "platform/metafile/MetafileRecords.h"

namespace plat {

namespace {

constexpr uint32_t kEmfSignature = 0x464D4520;  // " EMF"
constexpr uint16_t kWmfSetWindowOrg = 0x020B;
constexpr uint16_t kWmfSetWindowExt = 0x020C;
constexpr uint16_t kWmfEscape = 0x0626;
constexpr uint16_t kMfComment = 0x000F;
constexpr uint32_t kWmfcIdent = 0x43464D57;  // the bytes "WMFC"

int16_t S16(const ByteCursor& c, int64_t at) { return static_cast<int16_t>(c.PeekU16LE(at)); }
int32_t S32(const ByteCursor& c, int64_t at) { return static_cast<int32_t>(c.PeekU32LE(at)); }

}  // namespace

bool IsEmf(std::span<const uint8_t> bytes) {
  const ByteCursor c(bytes);
  return c.Size() >= 88 && c.PeekU32LE(0) == 1 && c.PeekU32LE(40) == kEmfSignature;
}

bool IsWmf(std::span<const uint8_t> bytes) {
  ByteCursor c(bytes);
  int64_t at = c.PeekU32LE(0) == kPlaceableKey ? kPlaceableSize : 0;
  const uint16_t type = c.PeekU16LE(at), words = c.PeekU16LE(at + 2);
  return c.Size() >= at + 18 && (type == 1 || type == 2) && words == 9;
}

bool FindWmfWindow(std::span<const uint8_t> bytes, WmfWindow& window) {
  const ByteCursor c(bytes);
  if (c.PeekU32LE(0) == kPlaceableKey) {
    const double l = S16(c, 6), t = S16(c, 8), r = S16(c, 10), b = S16(c, 12);
    window.org = {l, t};
    window.ext = {r - l, b - t};
    window.unitsPerInch = c.PeekU16LE(14);
    return window.ext.x != 0 && window.ext.y != 0;
  }
  bool haveOrg = false, haveExt = false;
  window = WmfWindow{};
  for (int64_t at = 18; at + 6 <= c.Size() && !haveExt;) {
    const int64_t size = int64_t{c.PeekU32LE(at)} * 2;
    const uint16_t function = c.PeekU16LE(at + 4);
    if (size < 6 || function == 0) break;
    if (function == kWmfSetWindowOrg && !haveOrg) {
      window.org = {double{1} * S16(c, at + 8), double{1} * S16(c, at + 6)};
      haveOrg = true;
    } else if (function == kWmfSetWindowExt) {
      window.ext = {double{1} * S16(c, at + 8), double{1} * S16(c, at + 6)};
      haveExt = window.ext.x != 0 && window.ext.y != 0;
    }
    at += size;
  }
  return haveExt;
}

bool EmbeddedEmf(std::span<const uint8_t> bytes, std::vector<uint8_t>& emf) {
  emf.clear();
  const ByteCursor c(bytes);
  int64_t total = -1;
  for (int64_t at = c.PeekU32LE(0) == kPlaceableKey ? kPlaceableSize + 18 : 18; at + 6 <= c.Size();) {
    const int64_t size = int64_t{c.PeekU32LE(at)} * 2;
    const uint16_t function = c.PeekU16LE(at + 4);
    if (size < 6 || at + size > c.Size() || function == 0) break;
    const ByteCursor p = c.Window(at + 6, size - 6);
    if (function == kWmfEscape && p.PeekU16LE(0) == kMfComment && p.PeekU32LE(4) == kWmfcIdent && p.PeekU32LE(8) == 1) {
      const int64_t whole = p.PeekU32LE(34), chunk = p.PeekU32LE(26);
      if (total < 0) total = whole;
      if (whole != total || total > c.Size() || chunk > p.Size() - 38 ||
          static_cast<int64_t>(emf.size()) + chunk > total) {
        emf.clear();
        return false;
      }
      const auto data = p.PeekBytes(38, chunk);
      emf.insert(emf.end(), data.begin(), data.end());
    }
    at += size;
  }
  return total > 0 && static_cast<int64_t>(emf.size()) == total && IsEmf(emf);
}

bool ReadMetafileHeader(std::span<const uint8_t> bytes, MetafileHeader& h) {
  h = MetafileHeader{};
  const ByteCursor c(bytes);
  std::vector<uint8_t> emf;
  if (!IsEmf(bytes) && IsWmf(bytes) && EmbeddedEmf(bytes, emf)) return ReadMetafileHeader(emf, h);
  if (IsEmf(bytes)) {
    h.enhanced = true;
    h.frame = CRect{S32(c, 24), S32(c, 28), S32(c, 32), S32(c, 36)};
    h.deviceWidth = S32(c, 72), h.deviceHeight = S32(c, 76);
    h.mmWidth = S32(c, 80), h.mmHeight = S32(c, 84);
    return true;
  }
  if (!IsWmf(bytes)) return false;
  h.deviceWidth = kReferenceWidthPx, h.deviceHeight = kReferenceHeightPx;
  h.mmWidth = kReferenceWidthMm, h.mmHeight = kReferenceHeightMm;
  WmfWindow w;
  if (!FindWmfWindow(bytes, w)) {
    // Nothing sizes the picture: it fills the reference device.
    w.ext = {double{kReferenceWidthPx}, double{kReferenceHeightPx}};
  }
  // Hundredths of a millimetre of the box: by the placeable header's inch, else one
  // logical unit a reference pixel.
  const double perUnitX = w.unitsPerInch > 0 ? 2540.0 / w.unitsPerInch : 100.0 * kReferenceWidthMm / kReferenceWidthPx;
  const double perUnitY = w.unitsPerInch > 0 ? 2540.0 / w.unitsPerInch : 100.0 * kReferenceHeightMm / kReferenceHeightPx;
  const auto clampInt = [](double v) { return static_cast<int>(std::clamp(v, -2e9, 2e9)); };
  h.frame = CRect{0, 0, clampInt(std::abs(w.ext.x) * perUnitX), clampInt(std::abs(w.ext.y) * perUnitY)};
  return true;
}

bool PlayMetafile(std::span<const uint8_t> bytes, Bitmap& target, const CRect& dest, TextPainter* text,
                  const MetafilePictureDecoder& pictures) {
  MetafileHeader h;
  if (!ReadMetafileHeader(bytes, h)) return false;
  std::vector<uint8_t> emf;
  if (!IsEmf(bytes) && EmbeddedEmf(bytes, emf)) return PlayMetafile(emf, target, dest, text, pictures);
  if (!h.enhanced) {
    WmfWindow w;
    if (!FindWmfWindow(bytes, w)) w.ext = {double{kReferenceWidthPx}, double{kReferenceHeightPx}};
    MetafileCanvas canvas(target, text, WmfObjectCount(bytes));
    canvas.SetPictureDecoder(pictures);
    canvas.SetWindowToRect(dest, w.org, w.ext);
    PlayWmfRecords(bytes, canvas, text != nullptr);
    return true;
  }
  // The frame in the recording device's pixels lands on dest; a device or frame
  // without size takes the bounds (device pixels) instead.
  const ByteCursor c(bytes);
  const bool device = h.deviceWidth > 0 && h.deviceHeight > 0 && h.mmWidth > 0 && h.mmHeight > 0;
  const double pxX = device ? double{1} * h.deviceWidth / h.mmWidth : 96 / 25.4;
  const double pxY = device ? double{1} * h.deviceHeight / h.mmHeight : 96 / 25.4;
  double l = h.frame.left * pxX / 100, t = h.frame.top * pxY / 100;
  double r = h.frame.right * pxX / 100, b = h.frame.bottom * pxY / 100;
  if (r <= l || b <= t) {
    l = S32(c, 8), t = S32(c, 12), r = S32(c, 16) + 1.0, b = S32(c, 20) + 1.0;
  }
  if (r <= l || b <= t) return true;
  const double sx = (dest.right - dest.left) / (r - l), sy = (dest.bottom - dest.top) / (b - t);
  MetafileCanvas canvas(target, text, EmfObjectCount(bytes));
  canvas.SetPictureDecoder(pictures);
  canvas.SetDeviceMapping(sx, sy, dest.left - l * sx, dest.top - t * sy, pxX, pxY);
  PlayEmfRecords(bytes, canvas, text != nullptr);
  return true;
}

bool SplitPackedDib(std::span<const uint8_t> dib, std::span<const uint8_t>& bmi, std::span<const uint8_t>& bits) {
  const ByteCursor c(dib);
  const uint32_t size = c.PeekU32LE(0);
  if (size < 40 || size > dib.size()) return false;
  const int depth = c.PeekU16LE(14);
  const uint32_t compression = c.PeekU32LE(16), used = c.PeekU32LE(32);
  int64_t colors = depth <= 8 ? (used == 0 || used > (1u << depth) ? int64_t{1} << depth : used) : 0;
  if (compression == 3 && size == 40) colors = 3;  // the three bit-field masks
  const int64_t info = size + 4 * colors;
  if (info > c.Size()) return false;
  bmi = dib.subspan(0, static_cast<size_t>(info));
  bits = dib.subspan(static_cast<size_t>(info));
  return true;
}

COLORREF MeanDibColor(std::span<const uint8_t> bmi, std::span<const uint8_t> bits) {
  GdiHost host;
  host.SetPixelBudget(1 << 16);  // a pattern brush is small
  const ByteCursor h(bmi);
  const int64_t width = S32(h, 4), height = std::abs(int64_t{S32(h, 8)});
  if (width <= 0 || height <= 0 || width > 65536 || height > 65536) return 0x808080;
  if ((width * h.PeekU16LE(14) + 31) / 32 * 4 * height > static_cast<int64_t>(bits.size())) return 0x808080;
  const BitmapPtr b = host.CreateDIBitmap(bmi.data(), bmi.size(), bits.data(), bits.size());
  if (!b || b->pixels.empty()) return 0x808080;
  uint64_t r = 0, g = 0, bl = 0;
  for (const uint32_t p : b->pixels) {
    r += p >> 16 & 0xFF;
    g += p >> 8 & 0xFF;
    bl += p & 0xFF;
  }
  const uint64_t n = b->pixels.size();
  return RGB(static_cast<int>(r / n), static_cast<int>(g / n), static_cast<int>(bl / n));
}

}  // namespace plat
