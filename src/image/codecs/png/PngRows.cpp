#include "image/codecs/png/PngRows.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "base/Alloc.h"
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

namespace {

// The Adam7 passes: first column and row, column and row step.
constexpr int kPasses[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                               {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
constexpr int kWhole[4] = {0, 0, 1, 1};

}  // namespace

bool PngRowReader::Start(AllocHook* hook) {
  // A pass's rows are never longer than the picture's.
  if (!TryResize(cur_, static_cast<size_t>(h_.rowBytes) + 1, hook) ||
      !TryResize(prev_, static_cast<size_t>(h_.rowBytes) + 1, hook)) {
    return false;
  }
  EnterPass(0);
  return true;
}

void PngRowReader::EnterPass(int pass) {
  for (pass_ = pass; pass_ < Passes(); ++pass_) {
    const int* p = h_.interlace ? kPasses[pass_] : kWhole;
    cols_ = h_.width > p[0] ? (h_.width - p[0] + p[2] - 1) / p[2] : 0;
    rows_ = h_.height > p[1] ? (h_.height - p[1] + p[3] - 1) / p[3] : 0;
    if (cols_ > 0 && rows_ > 0) break;
  }
  bytes_ = (cols_ * h_.channels * h_.depth + 7) / 8;
  row_ = 0;
  fill_ = 0;
  std::fill(prev_.begin(), prev_.end(), uint8_t{0});
}

void PngRowReader::Put(const uint8_t* data, size_t n) {
  while (n > 0 && !Whole()) {
    const size_t take = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(n), bytes_ + 1 - fill_));
    std::memcpy(cur_.data() + fill_, data, take);
    fill_ += static_cast<int64_t>(take);
    data += take;
    n -= take;
    if (fill_ == bytes_ + 1) TakeRow();
  }
}

void PngRowReader::TakeRow() {
  UnfilterRow(cur_[0], cur_.data() + 1, prev_.data() + 1, bytes_, h_.pixelBytes);
  const int* p = h_.interlace ? kPasses[pass_] : kWhole;
  const int64_t y = p[1] + row_ * p[3];
  if (y >= first_) {
    uint8_t* row = kept_ + (y - first_) * h_.rowBytes;
    const uint8_t* from = cur_.data() + 1;
    const int bitsPerPixel = h_.channels * h_.depth;
    if (!h_.interlace) {
      std::memcpy(row, from, static_cast<size_t>(h_.rowBytes));
    } else if (bitsPerPixel < 8) {
      for (int64_t c = 0; c < cols_; ++c) PutSubBytePixel(row, p[0] + c * p[2], bitsPerPixel, SubBytePixel(from, c, bitsPerPixel));
    } else {
      const int bytes = bitsPerPixel / 8;
      for (int64_t c = 0; c < cols_; ++c) {
        std::memcpy(row + (p[0] + c * p[2]) * bytes, from + c * bytes, static_cast<size_t>(bytes));
      }
    }
  }
  std::swap(cur_, prev_);
  fill_ = 0;
  if (++row_ == rows_) EnterPass(pass_ + 1);
}
