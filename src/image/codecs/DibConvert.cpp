#include "image/codecs/DibConvert.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "base/ByteCursor.h"

namespace {

void SetHeader(BITMAPINFOHEADER& h, int bits, int64_t imageSize) {
  h.biSize = kDibHeaderSize;
  h.biPlanes = 1;
  h.biBitCount = static_cast<uint16_t>(bits);
  h.biCompression = 0;
  h.biXPelsPerMeter = h.biYPelsPerMeter = kDibPixelsPerMeter;
  h.biClrUsed = 0;
  h.biClrImportant = 0;
  h.biSizeImage = static_cast<uint32_t>(imageSize);
}

}  // namespace

namespace {

// One colour of a 16- or 32-bit pixel: its field's place and a table that widens
// the field to 8 bits (a field wider than 8 bits keeps its top 8).
struct Channel {
  int shift = 0;
  int width = 0;
  std::array<uint8_t, 256> wide{};
};

Channel ChannelOf(uint32_t mask, bool replicate) {
  Channel c;
  if (mask == 0) return c;
  c.shift = std::countr_zero(mask);
  c.width = std::bit_width(mask) - c.shift;
  const int bits = std::min(c.width, 8);
  for (int v = 0; v < (1 << bits); ++v) {
    // The field moves to the top of the byte; a mask's own field also repeats its
    // top bits below, so that a full field is 255.
    int x = v << (8 - bits);
    if (replicate) {
      for (int filled = bits; filled < 8; filled += bits) x |= x >> bits;
    }
    c.wide[static_cast<size_t>(v)] = static_cast<uint8_t>(x);
  }
  return c;
}

uint8_t Take(const Channel& c, uint32_t v) {
  if (c.width == 0) return 0;
  const uint32_t field = v >> c.shift & ((uint32_t{1} << c.width) - 1);
  return c.wide[c.width > 8 ? field >> (c.width - 8) : field];
}

}  // namespace

int ConvertDibTo24(const uint8_t* source, uint8_t* target, BITMAPINFO* info, int sourceSize, int targetSize) {
  BITMAPINFOHEADER& h = info->bmiHeader;
  const int bits = h.biBitCount;
  const int64_t width = h.biWidth, height = h.biHeight;
  const int64_t inStride = DibStride(width, bits), outStride = DibStride(width, 24);
  if (!source || !target || width <= 0 || height <= 0 || inStride <= 0) return 0;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 32) return 0;
  const RGBQUAD* table = info->bmiColors;
  // 16 and 32 bits: 5-5-5 and 8-8-8 (each field shifted to the top of its byte)
  // unless the DIB carries masks of its own.
  const bool deep = bits == 16 || bits == 32;
  const uint32_t standard[3] = {bits == 16 ? 0x7C00u : 0xFF0000u, bits == 16 ? 0x03E0u : 0x00FF00u,
                                bits == 16 ? 0x001Fu : 0x0000FFu};
  uint32_t masks[3] = {standard[0], standard[1], standard[2]};
  if (DibMaskCount(h) > 0) {
    for (int c = 0; c < 3; ++c) masks[c] = DibMask(*info, c);
  }
  const bool own = masks[0] != standard[0] || masks[1] != standard[1] || masks[2] != standard[2];
  const Channel red = deep ? ChannelOf(masks[0], own) : Channel{};
  const Channel green = deep ? ChannelOf(masks[1], own) : Channel{};
  const Channel blue = deep ? ChannelOf(masks[2], own) : Channel{};
  int64_t written = 0;
  int64_t rows = 0;
  for (; rows < height; ++rows) {
    if ((rows + 1) * inStride > sourceSize || (rows + 1) * outStride > targetSize) break;
    const uint8_t* in = source + rows * inStride;
    const ByteCursor row(in, inStride);
    uint8_t* out = target + rows * outStride;
    for (int64_t x = 0; x < width; ++x, out += 3) {
      if (deep) {
        const uint32_t v = bits == 16 ? row.PeekU16LE(2 * x) : row.PeekU32LE(4 * x);
        out[0] = Take(blue, v);
        out[1] = Take(green, v);
        out[2] = Take(red, v);
        continue;
      }
      int index = 0;
      if (bits == 8) index = in[x];
      if (bits == 4) index = x & 1 ? in[x >> 1] & 0x0F : in[x >> 1] >> 4;
      if (bits == 1) index = in[x >> 3] >> (7 - (x & 7)) & 1;
      out[0] = table[index].rgbBlue;
      out[1] = table[index].rgbGreen;
      out[2] = table[index].rgbRed;
    }
    std::memset(out, 0, static_cast<size_t>(outStride - 3 * width));
    written += outStride;
  }
  if (rows == 0) return 0;
  h.biHeight = static_cast<int32_t>(rows);
  SetHeader(h, 24, written);
  return static_cast<int>(written + 3);
}

namespace {

constexpr uint8_t kPalette4[16][3] = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                      {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {128, 128, 128},
                                      {192, 192, 192}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                                      {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};

int Index4(int r, int g, int b) {
  if (r < 160 && g < 160 && b < 160) return (b > 80 ? 4 : 0) + (g > 80 ? 2 : 0) + (r > 80 ? 1 : 0);
  return (b > 160 ? 12 : 8) + (g > 160 ? 2 : 0) + (r > 160 ? 1 : 0);
}

}  // namespace

int ReduceColorDepth(const uint8_t* source, uint8_t* target, BITMAPINFO* info, int depth, int sourceSize,
                     int targetSize) {
  BITMAPINFOHEADER& h = info->bmiHeader;
  const int64_t width = h.biWidth, height = h.biHeight;
  const int64_t inStride = DibStride(width, 24), outStride = DibStride(width, depth);
  if (!source || !target || width <= 0 || height <= 0 || (depth != 1 && depth != 4 && depth != 8)) return 0;
  if (height * inStride > sourceSize || height * outStride > targetSize) return 0;
  for (int64_t y = 0; y < height; ++y) {
    const uint8_t* in = source + y * inStride;
    uint8_t* out = target + y * outStride;
    std::memset(out, 0, static_cast<size_t>(outStride));
    for (int64_t x = 0; x < width; ++x, in += 3) {
      const int b = in[0], g = in[1], r = in[2];
      if (depth == 1) {
        if (r + g + b > 430) out[x >> 3] = static_cast<uint8_t>(out[x >> 3] | 0x80 >> (x & 7));
      } else if (depth == 4) {
        out[x >> 1] = static_cast<uint8_t>(out[x >> 1] | (x & 1 ? Index4(r, g, b) : Index4(r, g, b) << 4));
      } else {
        out[x] = static_cast<uint8_t>((r & 0xE0) + ((g >> 5) << 2) + (b >> 6));
      }
    }
  }
  RGBQUAD* table = info->bmiColors;
  if (depth == 1) {
    SetRgb(table[0], 0, 0, 0);
    SetRgb(table[1], 255, 255, 255);
  } else if (depth == 4) {
    for (int i = 0; i < 16; ++i) SetRgb(table[i], kPalette4[i][0], kPalette4[i][1], kPalette4[i][2]);
  } else {
    static const int kLevels8[8] = {0, 32, 64, 96, 128, 160, 192, 255};
    static const int kLevels4[4] = {0, 64, 128, 255};
    for (int i = 0; i < 256; ++i) SetRgb(table[i], kLevels8[i >> 5], kLevels8[(i >> 2) & 7], kLevels4[i & 3]);
  }
  SetHeader(h, depth, height * outStride);
  return static_cast<int>(height * outStride);
}

int ToneMap(int v, int level) {
  const int h = v >> 1;
  const int s = v + h;
  const auto cap = [](int x) { return std::min(x, 255); };
  switch (level) {
    case -5: return cap(2 * v);
    case -4: return v < 128 ? cap(s) : cap(h + 128);
    case -3: return v < 16 ? h : v > 144 ? cap(h + 128) : cap(s - 16);
    case -2: return v < 32 ? h : v >= 161 ? cap(h + 128) : cap(s - 32);
    case -1: return v < 48 ? h : v > 176 ? cap(h + 128) : cap(s - 48);
    case 1: return v < 64 ? h : v >= 193 ? cap(h + 128) : cap(s - 64);
    case 2: return v < 80 ? h : v > 208 ? cap(h + 128) : cap(s - 80);
    case 3: return v < 96 ? h : v >= 225 ? cap(h + 128) : cap(s - 96);
    case 4: return v < 128 ? h : cap(s - 128);
    default: return v < 128 ? 0 : cap(2 * v - 255);
  }
}
