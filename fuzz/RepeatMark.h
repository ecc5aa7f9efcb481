// A repeat mark lets a small input stand for a large one, so that the fuzzer reaches
// the shapes whose cost grows faster than the input (many records, deep nesting,
// long tables) without writing them out byte by byte, which it never does. An input
// that ends with the sixteen bytes
//   from, to, times (each 4 bytes, little-endian), "RPT!"
// stands for its bytes before `from`, the bytes from `from` to `to` `times` times
// over, and the bytes from `to` to the mark (offsets past the body are taken modulo
// its size plus one, the smaller first); the repeats stop where the whole would pass
// `limit` bytes. Any other input stands for itself.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace fuzzsupport {

class RepeatedInput {
 public:
  RepeatedInput(const uint8_t* data, size_t size, size_t limit) : data_(data), size_(size) {
    constexpr size_t kMark = 16;
    if (size < kMark || std::memcmp(data + size - 4, "RPT!", 4) != 0) return;
    const size_t body = size - kMark;
    // Any two offsets name a part of the body, so that a mark the fuzzer writes
    // repeats something.
    size_t from = Read32(data + body) % (body + 1);
    size_t to = Read32(data + body + 4) % (body + 1);
    if (from > to) std::swap(from, to);
    const size_t unit = to - from;
    const size_t kept = body - unit;
    const size_t room = limit > kept ? limit - kept : 0;
    const size_t times = unit == 0 ? 0 : std::min<size_t>(Read32(data + body + 8), room / unit);
    const size_t repeats = unit * times;
    grown_.resize(kept + repeats);
    size_ = grown_.size();
    if (size_ == 0) return;
    uint8_t* out = grown_.data();
    std::memcpy(out, data, from);
    // The repeats by doubling what is already written.
    if (repeats > 0) std::memcpy(out + from, data + from, unit);
    for (size_t done = unit; done < repeats; done *= 2) {
      std::memcpy(out + from + done, out + from, std::min(done, repeats - done));
    }
    std::memcpy(out + from + repeats, data + to, body - to);
    data_ = out;
  }
  const uint8_t* data() const { return data_; }
  size_t size() const { return size_; }

 private:
  static uint32_t Read32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
  }

  std::vector<uint8_t> grown_;
  const uint8_t* data_;
  size_t size_;
};

}  // namespace fuzzsupport
