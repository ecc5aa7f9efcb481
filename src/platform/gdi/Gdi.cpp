#include "platform/gdi/Gdi.h"

#include <algorithm>
#include <cstring>

#include "base/ByteCursor.h"

namespace plat {

namespace {

void PutLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void PutLe16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

// The fields of a BITMAPINFOHEADER that drawing needs, read from its bytes.
struct DibDesc {
  int width = 0;
  int height = 0;        // rows, always positive
  bool topDown = false;
  int bits = 0;
  size_t stride = 0;
  int headerSize = 40;
  int colors = 0;        // entries of the colour table
  bool ok = false;
};

DibDesc ReadDesc(const uint8_t* bmi, size_t bmiSize) {
  DibDesc d;
  if (!bmi || bmiSize < 40) return d;
  const ByteCursor header(bmi, static_cast<int64_t>(bmiSize));
  const uint32_t size = header.PeekU32LE(0);
  const int32_t width = static_cast<int32_t>(header.PeekU32LE(4));
  const int32_t height = static_cast<int32_t>(header.PeekU32LE(8));
  const int bits = header.PeekU16LE(14);
  const uint32_t used = header.PeekU32LE(32);
  if (size < 40 || size > bmiSize || width <= 0 || height == 0 || height == INT32_MIN) return d;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return d;
  d.width = width;
  d.height = height < 0 ? -height : height;
  d.topDown = height < 0;
  d.bits = bits;
  d.headerSize = static_cast<int>(size);
  d.stride = (static_cast<size_t>(width) * static_cast<size_t>(bits) + 31) / 32 * 4;
  if (bits <= 8) d.colors = used == 0 || used > (1u << bits) ? 1 << bits : static_cast<int>(used);
  // The colour table must lie inside what the caller handed over.
  if (static_cast<size_t>(d.headerSize) + static_cast<size_t>(d.colors) * 4 > bmiSize) {
    d.colors = static_cast<int>((bmiSize - static_cast<size_t>(d.headerSize)) / 4);
  }
  d.ok = true;
  return d;
}

std::vector<uint32_t> ReadPalette(const uint8_t* bmi, const DibDesc& d) {
  std::vector<uint32_t> pal(static_cast<size_t>(d.colors));
  const ByteCursor table(bmi + d.headerSize, int64_t{4} * d.colors);
  for (int i = 0; i < d.colors; ++i) pal[static_cast<size_t>(i)] = table.PeekU32LE(4 * i) & 0xFFFFFF;
  return pal;
}

bool Allowed(int64_t budget, int width, int height) {
  if (width <= 0 || height <= 0) return false;
  const int64_t pixels = int64_t{width} * height;
  return pixels <= kMaxBitmapPixels && (budget < 0 || pixels <= budget);
}

// Pixels [first, first + count) of one DIB row into 32-bit pixels (out[0] is pixel
// first); missing bytes are black.
void DecodeRow(const uint8_t* row, size_t have, const DibDesc& d, const std::vector<uint32_t>& pal, uint32_t* out,
               int first, int count) {
  auto byteAt = [&](size_t i) -> uint32_t { return i < have ? row[i] : 0; };
  auto lookup = [&](uint32_t index) -> uint32_t { return index < pal.size() ? pal[index] : 0; };
  for (int i = 0; i < count; ++i) {
    const size_t ux = static_cast<size_t>(first + i);
    uint32_t& p = out[i];
    switch (d.bits) {
      case 1: p = lookup(byteAt(ux >> 3) >> (7 - (ux & 7)) & 1); break;
      case 4: p = lookup(byteAt(ux >> 1) >> ((ux & 1) ? 0 : 4) & 15); break;
      case 8: p = lookup(byteAt(ux)); break;
      case 16: {
        const uint32_t v = byteAt(2 * ux) | byteAt(2 * ux + 1) << 8;
        p = (v >> 10 & 31) << 19 | (v >> 5 & 31) << 11 | (v & 31) << 3;
        break;
      }
      case 24: p = byteAt(3 * ux) | byteAt(3 * ux + 1) << 8 | byteAt(3 * ux + 2) << 16; break;
      default: p = byteAt(4 * ux) | byteAt(4 * ux + 1) << 8 | byteAt(4 * ux + 2) << 16; break;
    }
  }
}

int Nearest(const std::vector<uint32_t>& pal, uint32_t p) {
  int best = 0;
  int64_t bestDist = INT64_MAX;
  for (size_t i = 0; i < pal.size(); ++i) {
    if (pal[i] == p) return static_cast<int>(i);
    const int dr = static_cast<int>(pal[i] >> 16 & 255) - static_cast<int>(p >> 16 & 255);
    const int dg = static_cast<int>(pal[i] >> 8 & 255) - static_cast<int>(p >> 8 & 255);
    const int db = static_cast<int>(pal[i] & 255) - static_cast<int>(p & 255);
    const int64_t dist = int64_t{dr} * dr + int64_t{dg} * dg + int64_t{db} * db;
    if (dist < bestDist) {
      bestDist = dist;
      best = static_cast<int>(i);
    }
  }
  return best;
}

void EncodeRow(const uint32_t* in, const DibDesc& d, const std::vector<uint32_t>& pal, uint8_t* row) {
  std::memset(row, 0, d.stride);
  int lastIndex = -1;
  uint32_t lastPixel = 0;
  for (int x = 0; x < d.width; ++x) {
    const size_t ux = static_cast<size_t>(x);
    const uint32_t p = in[x];
    if (d.bits <= 8) {
      if (lastIndex < 0 || p != lastPixel) {
        lastIndex = Nearest(pal, p);
        lastPixel = p;
      }
      const uint32_t index = static_cast<uint32_t>(lastIndex);
      if (d.bits == 8) {
        row[ux] = static_cast<uint8_t>(index);
      } else if (d.bits == 4) {
        row[ux >> 1] = static_cast<uint8_t>(row[ux >> 1] | (index & 15) << ((ux & 1) ? 0 : 4));
      } else {
        row[ux >> 3] = static_cast<uint8_t>(row[ux >> 3] | (index & 1) << (7 - (ux & 7)));
      }
    } else if (d.bits == 16) {
      PutLe16(row + 2 * ux, (p >> 19 & 31) << 10 | (p >> 11 & 31) << 5 | (p >> 3 & 31));
    } else if (d.bits == 24) {
      row[3 * ux] = static_cast<uint8_t>(p);
      row[3 * ux + 1] = static_cast<uint8_t>(p >> 8);
      row[3 * ux + 2] = static_cast<uint8_t>(p >> 16);
    } else {
      PutLe32(row + 4 * ux, p & 0xFFFFFF);
    }
  }
}

// The source span of target index i of n over a source of m: [i*m/n, (i+1)*m/n), at least one.
struct Span {
  int first;
  int count;
};
Span SpanOf(int i, int n, int m) {
  const int first = static_cast<int>(int64_t{i} * m / n);
  const int end = static_cast<int>(int64_t{i + 1} * m / n);
  return {first, std::max(end - first, 1)};
}
// The pixel COLORONCOLOR takes: the one whose span holds the target pixel's middle.
int SampleOf(int i, int n, int m) { return static_cast<int>((int64_t{2 * i + 1} * m) / (int64_t{2} * n)); }

// Clips a copy against its source (sw x sh), then the target, moving both origins
// together; false when nothing is left.
bool ClipCopy(int& x, int& y, int& width, int& height, int& sx, int& sy, int sw, int sh, const Bitmap& target) {
  if (sx < 0) { x -= sx; width += sx; sx = 0; }
  if (sy < 0) { y -= sy; height += sy; sy = 0; }
  if (x < 0) { sx -= x; width += x; x = 0; }
  if (y < 0) { sy -= y; height += y; y = 0; }
  width = std::min({width, sw - sx, target.width - x});
  height = std::min({height, sh - sy, target.height - y});
  return width > 0 && height > 0;
}

}  // namespace

bool GdiHost::Admit(int width, int height) {
  if (Allowed(budget_, width, height)) return true;
  ++failed_;
  return false;
}

BitmapPtr GdiHost::CreateCompatibleBitmap(int width, int height) {
  if (!Admit(width, height)) return nullptr;
  auto bitmap = std::make_unique<Bitmap>();
  bitmap->width = width;
  bitmap->height = height;
  bitmap->pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
  return bitmap;
}

BitmapPtr GdiHost::CreateDIBitmap(const uint8_t* bmi, size_t bmiSize, const uint8_t* bits, size_t bitsSize) {
  const DibDesc d = ReadDesc(bmi, bmiSize);
  if (!d.ok) return nullptr;
  BitmapPtr bitmap = CreateCompatibleBitmap(d.width, d.height);
  if (!bitmap) return nullptr;
  bitmap->sourceBits = d.bits;
  bitmap->palette = ReadPalette(bmi, d);
  SetDIBits(*bitmap, 0, d.height, bits, bitsSize, bmi, bmiSize);
  return bitmap;
}

int GetDIBits(const Bitmap& bitmap, int start, int lines, uint8_t* bits, size_t bitsSize, uint8_t* bmi,
              size_t bmiSize) {
  if (!bmi || bmiSize < 40 || bitmap.width <= 0) return 0;
  int depth = bits ? ByteCursor(bmi, static_cast<int64_t>(bmiSize)).PeekU16LE(14) : 0;
  if (depth == 0) depth = bitmap.sourceBits;
  const std::vector<uint32_t>& pal = bitmap.palette;
  if (depth <= 8 && pal.empty()) return 0;
  const int colors = depth <= 8 ? std::min<int>(static_cast<int>(pal.size()), 1 << depth) : 0;
  if (40 + static_cast<size_t>(colors) * 4 > bmiSize) return 0;
  std::memset(bmi, 0, 40);
  PutLe32(bmi, 40);
  PutLe32(bmi + 4, static_cast<uint32_t>(bitmap.width));
  PutLe32(bmi + 8, static_cast<uint32_t>(bitmap.height));
  PutLe16(bmi + 12, 1);
  PutLe16(bmi + 14, static_cast<uint32_t>(depth));
  DibDesc d = ReadDesc(bmi, bmiSize);
  if (!d.ok) return 0;
  d.colors = colors;
  PutLe32(bmi + 20, static_cast<uint32_t>(d.stride * static_cast<size_t>(d.height)));
  PutLe32(bmi + 32, static_cast<uint32_t>(colors));
  const std::vector<uint32_t> table(pal.begin(), pal.begin() + colors);
  for (int i = 0; i < colors; ++i) PutLe32(bmi + 40 + 4 * i, table[static_cast<size_t>(i)]);
  if (!bits) return bitmap.height;
  start = std::max(start, 0);
  const int end = std::min(bitmap.height, start + std::max(lines, 0));
  int written = 0;
  for (int line = start; line < end; ++line) {
    const size_t offset = static_cast<size_t>(line - start) * d.stride;
    if (offset + d.stride > bitsSize) break;
    EncodeRow(bitmap.Row(bitmap.height - 1 - line), d, table, bits + offset);
    ++written;
  }
  return written;
}

int SetDIBits(Bitmap& bitmap, int start, int lines, const uint8_t* bits, size_t bitsSize, const uint8_t* bmi,
              size_t bmiSize) {
  const DibDesc d = ReadDesc(bmi, bmiSize);
  if (!d.ok || d.width != bitmap.width) return 0;
  const std::vector<uint32_t> pal = ReadPalette(bmi, d);
  start = std::max(start, 0);
  const int end = std::min({bitmap.height, d.height, start + std::max(lines, 0)});
  int written = 0;
  for (int line = start; line < end; ++line) {
    // line counts from the bottom of the picture; the block holds lines from start.
    const size_t offset = static_cast<size_t>(d.topDown ? d.height - 1 - line : line - start) * d.stride;
    const size_t have = bits && offset < bitsSize ? std::min(bitsSize - offset, d.stride) : 0;
    DecodeRow(bits ? bits + std::min(offset, bitsSize) : nullptr, have, d, pal, bitmap.Row(bitmap.height - 1 - line), 0,
              d.width);
    ++written;
  }
  return written;
}

int SetDIBitsToDevice(Bitmap& target, int x, int y, int width, int height, int sx, int sy, const uint8_t* bits,
                      size_t bitsSize, const uint8_t* bmi, size_t bmiSize) {
  const DibDesc d = ReadDesc(bmi, bmiSize);
  if (!d.ok) return 0;
  if (!ClipCopy(x, y, width, height, sx, sy, d.width, d.height, target)) return 0;
  const std::vector<uint32_t> pal = ReadPalette(bmi, d);
  for (int row = 0; row < height; ++row) {
    // Row sy + row from the top lies that far from the block's end in a bottom-up DIB.
    const int line = d.topDown ? sy + row : d.height - 1 - (sy + row);
    const size_t offset = static_cast<size_t>(line) * d.stride;
    const size_t have = bits && offset < bitsSize ? std::min(bitsSize - offset, d.stride) : 0;
    DecodeRow(bits ? bits + std::min(offset, bitsSize) : nullptr, have, d, pal, target.Row(y + row) + x, sx, width);
  }
  return height;
}

void BitBlt(Bitmap& target, int x, int y, int width, int height, const Bitmap& source, int sx, int sy) {
  if (!ClipCopy(x, y, width, height, sx, sy, source.width, source.height, target)) return;
  for (int row = 0; row < height; ++row) {
    std::memcpy(target.Row(y + row) + x, source.Row(sy + row) + sx, static_cast<size_t>(width) * 4);
  }
}

void StretchBlt(Bitmap& target, int x, int y, int width, int height, const Bitmap& source, int sx, int sy,
                int swidth, int sheight, int mode) {
  if (width <= 0 || height <= 0 || swidth <= 0 || sheight <= 0) return;
  // The source rectangle must lie in the source; what lies outside is not read.
  if (sx < 0 || sy < 0 || sx + swidth > source.width || sy + sheight > source.height) {
    const int cx0 = std::max(sx, 0), cy0 = std::max(sy, 0);
    const int cx1 = std::min(sx + swidth, source.width), cy1 = std::min(sy + sheight, source.height);
    if (cx1 <= cx0 || cy1 <= cy0) return;
    const int64_t tx0 = x + int64_t{cx0 - sx} * width / swidth, ty0 = y + int64_t{cy0 - sy} * height / sheight;
    const int64_t tx1 = x + int64_t{cx1 - sx} * width / swidth, ty1 = y + int64_t{cy1 - sy} * height / sheight;
    StretchBlt(target, static_cast<int>(tx0), static_cast<int>(ty0), static_cast<int>(tx1 - tx0),
               static_cast<int>(ty1 - ty0), source, cx0, cy0, cx1 - cx0, cy1 - cy0, mode);
    return;
  }
  const bool reducing = swidth > width || sheight > height;
  const int rowFrom = std::max(0, -y), rowTo = std::min(height, target.height - y);
  const int colFrom = std::max(0, -x), colTo = std::min(width, target.width - x);
  for (int ty = rowFrom; ty < rowTo; ++ty) {
    uint32_t* out = target.Row(y + ty) + x;
    if (mode == COLORONCOLOR || !reducing) {
      const uint32_t* in = source.Row(sy + SampleOf(ty, height, sheight)) + sx;
      for (int tx = colFrom; tx < colTo; ++tx) out[tx] = in[SampleOf(tx, width, swidth)];
      continue;
    }
    const Span rows = SpanOf(ty, height, sheight);
    for (int tx = colFrom; tx < colTo; ++tx) {
      const Span cols = SpanOf(tx, width, swidth);
      uint32_t andAll = 0xFFFFFF, orAll = 0;
      uint64_t r = 0, g = 0, b = 0;
      for (int j = 0; j < rows.count; ++j) {
        const uint32_t* in = source.Row(sy + rows.first + j) + sx + cols.first;
        for (int i = 0; i < cols.count; ++i) {
          const uint32_t p = in[i];
          andAll &= p;
          orAll |= p;
          r += p >> 16 & 255;
          g += p >> 8 & 255;
          b += p & 255;
        }
      }
      const uint64_t n = static_cast<uint64_t>(rows.count) * static_cast<uint64_t>(cols.count);
      if (mode == BLACKONWHITE) {
        out[tx] = andAll;
      } else if (mode == WHITEONBLACK) {
        out[tx] = orAll;
      } else {
        out[tx] = static_cast<uint32_t>((r + n / 2) / n) << 16 | static_cast<uint32_t>((g + n / 2) / n) << 8 |
                  static_cast<uint32_t>((b + n / 2) / n);
      }
    }
  }
}

int StretchDIBits(Bitmap& target, int x, int y, int width, int height, int sx, int sy, int swidth, int sheight,
                  const uint8_t* bits, size_t bitsSize, const uint8_t* bmi, size_t bmiSize, int mode) {
  GdiHost unlimited;
  const BitmapPtr source = unlimited.CreateDIBitmap(bmi, bmiSize, bits, bitsSize);
  if (!source) return 0;
  StretchBlt(target, x, y, width, height, *source, sx, sy, swidth, sheight, mode);
  return height;
}

void FillRect(Bitmap& target, const CRect& rect, COLORREF color) {
  const int left = std::max(rect.left, 0), right = std::min(rect.right, target.width);
  const int top = std::max(rect.top, 0), bottom = std::min(rect.bottom, target.height);
  if (left >= right || top >= bottom) return;
  const uint32_t p = PixelOfColor(color);
  for (int y = top; y < bottom; ++y) std::fill(target.Row(y) + left, target.Row(y) + right, p);
}

}  // namespace plat
