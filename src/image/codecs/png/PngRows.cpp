#include "image/codecs/png/PngRows.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "image/codecs/Dib.h"
#include "image/codecs/png/PngFilters.h"

bool ValidPngHeader(PngHeader& h) {
  static const struct { int type, channels, depths; } kTypes[] = {
      {0, 1, 1 | 2 | 4 | 8 | 16}, {2, 3, 8 | 16}, {3, 1, 1 | 2 | 4 | 8}, {4, 2, 8 | 16}, {6, 4, 8 | 16}};
  for (const auto& t : kTypes) {
    if (t.type == h.colorType && (t.depths & h.depth) != 0 && (h.depth & (h.depth - 1)) == 0) h.channels = t.channels;
  }
  if (h.channels == 0 || h.width <= 0 || h.height <= 0 || h.width > INT32_MAX || h.height > INT32_MAX) return false;
  if (h.interlace != 0 && h.interlace != 1) return false;
  const int64_t bits = int64_t{h.channels} * h.depth;
  h.rowBytes = (h.width * bits + 7) / 8;
  h.pixelBytes = static_cast<int>(std::max<int64_t>(bits / 8, 1));
  return true;
}

int SubBytePixel(const uint8_t* row, int64_t x, int bits) {
  const int64_t bit = x * bits;
  return row[bit >> 3] >> (8 - bits - (bit & 7)) & ((1 << bits) - 1);
}

void PutSubBytePixel(uint8_t* row, int64_t x, int bits, int value) {
  const int64_t bit = x * bits;
  const int shift = static_cast<int>(8 - bits - (bit & 7));
  row[bit >> 3] = static_cast<uint8_t>((row[bit >> 3] & ~(((1 << bits) - 1) << shift)) | value << shift);
}

int64_t UnfilterPngRowsInPlace(const PngHeader& h, uint8_t* data, int64_t size) {
  const std::vector<uint8_t> zero(static_cast<size_t>(h.rowBytes), 0);
  const int64_t step = h.rowBytes + 1;
  int64_t y = 0;
  for (; y < h.height && (y + 1) * step <= size; ++y) {
    uint8_t* row = data + y * step + 1;
    UnfilterRow(row[-1], row, y ? row - step : zero.data(), h.rowBytes, h.pixelBytes);
  }
  return y;
}

bool UnfilterPngRows(const PngHeader& h, const uint8_t* data, int64_t size, uint8_t* image) {
  static const int kPasses[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                    {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
  const int bitsPerPixel = h.channels * h.depth;
  int64_t at = 0;
  if (h.interlace == 0) {
    std::vector<uint8_t> zero(static_cast<size_t>(h.rowBytes), 0);
    for (int64_t y = 0; y < h.height && at + 1 + h.rowBytes <= size; ++y, at += 1 + h.rowBytes) {
      uint8_t* row = image + y * h.rowBytes;
      std::memcpy(row, data + at + 1, static_cast<size_t>(h.rowBytes));
      UnfilterRow(data[at], row, y ? row - h.rowBytes : zero.data(), h.rowBytes, h.pixelBytes);
    }
    return at == h.height * (1 + h.rowBytes);
  }
  std::vector<uint8_t> cur, prev;
  for (const auto& p : kPasses) {
    const int64_t cols = h.width > p[0] ? (h.width - p[0] + p[2] - 1) / p[2] : 0;
    const int64_t rows = h.height > p[1] ? (h.height - p[1] + p[3] - 1) / p[3] : 0;
    if (cols == 0 || rows == 0) continue;
    const int64_t n = (cols * bitsPerPixel + 7) / 8;
    cur.assign(static_cast<size_t>(n), 0);
    prev.assign(static_cast<size_t>(n), 0);
    for (int64_t r = 0; r < rows; ++r, at += 1 + n) {
      if (at + 1 + n > size) return false;
      std::memcpy(cur.data(), data + at + 1, static_cast<size_t>(n));
      UnfilterRow(data[at], cur.data(), prev.data(), n, h.pixelBytes);
      uint8_t* row = image + (p[1] + r * p[3]) * h.rowBytes;
      for (int64_t c = 0; c < cols; ++c) {
        const int64_t x = p[0] + c * p[2];
        if (bitsPerPixel < 8) {
          PutSubBytePixel(row, x, bitsPerPixel, SubBytePixel(cur.data(), c, bitsPerPixel));
        } else {
          const int bytes = bitsPerPixel / 8;
          std::memcpy(row + x * bytes, cur.data() + c * bytes, static_cast<size_t>(bytes));
        }
      }
      std::swap(cur, prev);
    }
  }
  return true;
}
