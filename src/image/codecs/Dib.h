// Windows DIB layout (plain structs, zeroed by value-initialisation): the 40-byte BITMAPINFOHEADER, the colour table behind it and
// the bottom-up pixel rows padded to 4 bytes. Every image reader ends in this form
// and every writer starts from it.
#pragma once

#include <cstdint>
#include <cstring>

#include "base/ZeroedVector.h"

#pragma pack(push, 1)
struct BITMAPINFOHEADER {
  uint32_t biSize;
  int32_t biWidth;
  int32_t biHeight;
  uint16_t biPlanes;
  uint16_t biBitCount;
  uint32_t biCompression;
  uint32_t biSizeImage;
  int32_t biXPelsPerMeter;
  int32_t biYPelsPerMeter;
  uint32_t biClrUsed;
  uint32_t biClrImportant;
};

struct RGBQUAD {
  uint8_t rgbBlue;
  uint8_t rgbGreen;
  uint8_t rgbRed;
  uint8_t rgbReserved;
};

// The header with room for the largest colour table (256 entries): what the
// decoders fill and the writers read.
struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[256];
};
#pragma pack(pop)

static_assert(sizeof(BITMAPINFOHEADER) == 40);
static_assert(sizeof(BITMAPINFO) == 40 + 1024);

constexpr int kDibHeaderSize = 40;
constexpr int kDibSpareBytes = 10000;         // image blocks are allocated this much larger
constexpr int kDibPixelsPerMeter = 3780;

// Bytes of one row: ((width * bits + 31) / 32) * 4, in 64 bits; -1 for negative input.
inline int64_t DibStride(int64_t width, int64_t bits) {
  if (width < 0 || bits < 0 || width > (int64_t{1} << 32) || bits > 64) return -1;
  return (width * bits + 31) / 32 * 4;
}

// Colours in the table: the colours-used field (above 256 counts as 0), or 2, 16,
// 256 for 1, 4 and 8 bits when it is 0; none for other depths.
inline int DibColorCount(const BITMAPINFOHEADER& h) {
  const uint32_t used = h.biClrUsed > 256 ? 0 : h.biClrUsed;
  if (used != 0) return static_cast<int>(used);
  switch (h.biBitCount) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
  }
}

// BI_BITFIELDS: a 16- or 32-bit DIB whose red, green and blue masks stand in the
// first three colour-table slots (as they follow a 40-byte header in a file).
constexpr uint32_t kBiBitfields = 3;
inline int DibMaskCount(const BITMAPINFOHEADER& h) {
  return h.biCompression == kBiBitfields && (h.biBitCount == 16 || h.biBitCount == 32) ? 3 : 0;
}
inline uint32_t DibMask(const BITMAPINFO& info, int channel) {
  const RGBQUAD& q = info.bmiColors[channel];
  return uint32_t{q.rgbBlue} | uint32_t{q.rgbGreen} << 8 | uint32_t{q.rgbRed} << 16 | uint32_t{q.rgbReserved} << 24;
}

inline void SetRgb(RGBQUAD& q, int r, int g, int b) {
  q.rgbRed = static_cast<uint8_t>(r);
  q.rgbGreen = static_cast<uint8_t>(g);
  q.rgbBlue = static_cast<uint8_t>(b);
  q.rgbReserved = 0;
}

// The rows of a decoded picture: storage that starts as zero pages, so that a
// decoder writing every row pays for each page once and never clears it first; the
// rows are written whole, so a large block asks for huge pages.
using PictureRows = ZeroedVector<uint8_t, HugePages::kAsk>;

// The largest pixel block any reader allocates (rows x stride): the largest picture
// memory volume ("bmpdata", 1024 MB), so that every picture the volumes admit is held
// (a 16384 x 16384 picture at 24 bits takes 768 MB); larger images are refused.
constexpr int64_t kMaxDibBytes = int64_t{1024} << 20;

// rows x stride of a DIB, or -1 when a size is out of range or the block would pass
// kMaxDibBytes.
inline int64_t DibImageBytes(int64_t width, int64_t height, int64_t bits) {
  const int64_t stride = DibStride(width, bits);
  if (stride <= 0 || height <= 0 || height > (int64_t{1} << 31)) return -1;
  if (stride > kMaxDibBytes / height) return -1;
  return stride * height;
}
