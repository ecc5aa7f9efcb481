// LzwDecode: the LZW of GIF89a (codes least significant bit first) and of TIFF 6.0
// and PDF (most significant bit first, the width growing one code early).
//
// The string table is a prefix table: each code holds its last byte, the code of
// the string before it and its length, so strings of any length cost one entry and
// are written back to front straight into the output. The table stops growing at
// 4,096 codes; a code beyond the next free one ends decoding.
#include <algorithm>
#include <cstring>
#include <vector>

#include "codec/LzwDecode.h"

#include "base/CheckedSize.h"

namespace {

constexpr int kTableSize = 4096;

class BitReader {
 public:
  BitReader(const uint8_t* data, int64_t length, bool msbFirst) : data_(data), bits_(length * 8), msb_(msbFirst) {}
  bool Has(int n) const { return pos_ + n <= bits_; }
  int Read(int n) {
    int v = 0;
    for (int i = 0; i < n; ++i, ++pos_) {
      const int bit = msb_ ? data_[pos_ >> 3] >> (7 - (pos_ & 7)) & 1 : data_[pos_ >> 3] >> (pos_ & 7) & 1;
      v = msb_ ? v << 1 | bit : v | bit << i;
    }
    return v;
  }
  int64_t BytePos() const { return (pos_ + 7) >> 3; }
  uint8_t ByteAt(int64_t i) const { return i >= 0 && i < (bits_ >> 3) ? data_[i] : 0; }
  void AlignToByte() { pos_ = BytePos() * 8; }
  void SkipByte() { pos_ += 8; }

 private:
  const uint8_t* data_;
  int64_t bits_;
  int64_t pos_ = 0;
  bool msb_;
};

}  // namespace

int LzwDecode(uint8_t* data, int length, int capacity, int mode, int minCodeSize, AllocHook* hook) {
  if (!data || length <= 0 || capacity <= 0) return 0;
  if (mode == kLzwGif && (minCodeSize < 2 || minCodeSize > 8)) return 0;
  if (mode != kLzwGif) minCodeSize = 8;
  std::vector<uint8_t> out;
  std::vector<uint16_t> prefix, size;
  std::vector<uint8_t> suffix, first;
  if (!TryAllocate(out, capacity, 1, 0, hook) || !TryAllocate(prefix, kTableSize, 1, 0, hook) ||
      !TryAllocate(size, kTableSize, 1, 0, hook) || !TryAllocate(suffix, kTableSize, 1, 0, hook) ||
      !TryAllocate(first, kTableSize, 1, 0, hook)) {
    return kLzwOutOfMemory;
  }
  const int clear = 1 << minCodeSize;
  const int end = clear + 1;
  const int early = mode == kLzwGif ? 0 : 1;
  for (int i = 0; i < clear; ++i) {
    suffix[i] = first[i] = static_cast<uint8_t>(i);
    size[i] = 1;
  }
  BitReader in(data, length, mode != kLzwGif);
  int width = minCodeSize + 1;
  int next = clear + 2;
  int prev = -1;
  int64_t produced = 0;
  bool widthJustChanged = false;

  while (produced < capacity && in.Has(width)) {
    int code = in.Read(width);
    if (mode != kLzwGif && widthJustChanged && (code == 514 || code == 515) && in.ByteAt(in.BytePos()) == 0x80) {
      // An end code written in 9 bits by a writer that widens one code late.
      code = mode == kLzwTiff ? end : clear;
    }
    widthJustChanged = false;
    if (code == clear) {
      width = minCodeSize + 1;
      next = clear + 2;
      prev = -1;
      continue;
    }
    if (code == end) {
      if (mode != kLzwTiff) break;
      // A TIFF strip may hold a further stream from the next whole byte.
      in.AlignToByte();
      if (in.ByteAt(in.BytePos()) == 0) in.SkipByte();
      width = minCodeSize + 1;
      next = clear + 2;
      prev = -1;
      continue;
    }
    if (code > next || (code == next && prev < 0)) break;  // outside the table: the data is broken
    // The string of the code; a code not yet in the table is the previous string
    // followed by its own first byte.
    const bool known = code < next;
    const int base = known ? code : prev;
    const int64_t len = size[base] + (known ? 0 : 1);
    const int64_t keep = std::min<int64_t>(len, capacity - produced);
    uint8_t* dst = out.data() + produced;
    int64_t i = len - 1;
    if (!known) {
      if (i < keep) dst[i] = first[prev];
      --i;
    }
    for (int c = base; i >= 0; --i) {
      if (i < keep) dst[i] = suffix[c];
      c = prefix[c];
    }
    produced += keep;
    if (prev >= 0 && next < kTableSize) {
      prefix[next] = static_cast<uint16_t>(prev);
      suffix[next] = known ? first[code] : first[prev];
      first[next] = first[prev];
      size[next] = static_cast<uint16_t>(std::min<int>(size[prev] + 1, UINT16_MAX));
      ++next;
      if (next + early >= (1 << width) && width < 12) {
        ++width;
        widthJustChanged = true;
      }
    }
    prev = code;
  }
  if (mode == kLzwPdf) std::replace(out.begin(), out.begin() + produced, uint8_t{0}, uint8_t{0x40});
  std::memcpy(data, out.data(), static_cast<size_t>(produced));
  return static_cast<int>(produced);
}
