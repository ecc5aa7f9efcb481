// BI_RLE8 and BI_RLE4: a code pair (n > 0, value) repeats value n times (for 4 bits
// the value's two nibbles alternate, high first); (0, 0) ends the row, (0, 1) the
// picture, (0, 2, dx, dy) moves the pen right and up; (0, n >= 3) is followed by n
// pixels as they stand, padded to an even byte count. The pen is the only state;
// each pixel goes through one bounded store, so no code can write outside the rows.
#include "image/codecs/BmpRle.h"

#include <algorithm>
#include <cstring>

#include "image/codecs/Dib.h"

namespace {

class RlePen {
 public:
  RlePen(int depth, int width, int height, std::span<uint8_t> rows)
      : depth_(depth), width_(width), height_(height), stride_(DibStride(width, depth)), rows_(rows) {}

  bool Done() const { return y_ >= height_; }
  void NextRow() {
    x_ = 0;
    ++y_;
  }
  void Move(int dx, int dy) {
    x_ = std::min(x_ + dx, width_);
    y_ += dy;
  }
  // n pixels of value (8 bits), or of value's nibbles in turn (4 bits).
  void Run(int n, uint8_t value) {
    if (depth_ == 8) {
      const int from = std::min(x_, width_), to = std::min(x_ + n, width_);
      if (to > from) std::memset(RowAt(from), value, static_cast<size_t>(to - from));
      x_ = to;
      return;
    }
    const uint8_t hi = value >> 4 & 15, lo = value & 15;
    for (int i = 0; i < n; ++i) Put4((i & 1) ? lo : hi);
  }
  // The pen stops at the row's end: what follows there is dropped.
  void Put8(uint8_t value) {
    if (x_ < width_) *RowAt(x_++) = value;
  }
  void Put4(uint8_t nibble) {
    if (x_ >= width_) return;
    uint8_t& byte = *RowAt(x_ / 2);
    byte = (x_ & 1) ? static_cast<uint8_t>((byte & 0xF0) | nibble) : static_cast<uint8_t>((byte & 0x0F) | nibble << 4);
    ++x_;
  }

 private:
  uint8_t* RowAt(int byte) const {
    return rows_.data() + static_cast<size_t>(y_) * static_cast<size_t>(stride_) + static_cast<size_t>(byte);
  }

  int depth_, width_, height_;
  int64_t stride_;
  std::span<uint8_t> rows_;
  int x_ = 0, y_ = 0;
};

}  // namespace

bool DecodeBmpRle(ByteCursor data, int depth, int width, int height, std::span<uint8_t> rows) {
  if ((depth != 8 && depth != 4) || width <= 0 || height <= 0) return false;
  const int64_t need = DibStride(width, depth) * height;
  if (need <= 0 || static_cast<int64_t>(rows.size()) < need) return false;
  RlePen pen(depth, width, height, rows);
  while (!pen.Done() && data.Has(2)) {
    const int count = data.U8();
    const uint8_t value = data.U8();
    if (count > 0) {
      pen.Run(count, value);
      continue;
    }
    if (value == 0) {
      pen.NextRow();
    } else if (value == 1) {
      return true;
    } else if (value == 2) {
      if (!data.Has(2)) return false;
      const int dx = data.U8();
      const int dy = data.U8();
      pen.Move(dx, dy);
    } else {
      // An absolute block of value pixels, its bytes padded to an even count.
      const int bytes = depth == 8 ? value : (value + 1) / 2;
      for (int i = 0; i < bytes && data.Has(1); ++i) {
        const uint8_t b = data.U8();
        if (depth == 8) {
          pen.Put8(b);
        } else {
          pen.Put4(b >> 4 & 15);
          if (2 * i + 1 < value) pen.Put4(b & 15);
        }
      }
      if ((bytes & 1) && data.Has(1)) data.U8();
    }
  }
  return pen.Done();
}
