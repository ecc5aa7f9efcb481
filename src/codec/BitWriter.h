// Bit output least significant bit first, as Deflate packs it.
#pragma once

#include <cstdint>
#include <vector>

namespace codec {

class CLsbBitWriter {
 public:
  explicit CLsbBitWriter(std::vector<uint8_t>& out) : out_(out) {}

  // Appends the low n bits of value (n at most 32).
  void PutBits(uint32_t value, unsigned n) {
    acc_ |= static_cast<uint64_t>(value) << count_;
    count_ += n;
    if (count_ >= 32) {
      uint8_t b[4] = {static_cast<uint8_t>(acc_), static_cast<uint8_t>(acc_ >> 8), static_cast<uint8_t>(acc_ >> 16),
                      static_cast<uint8_t>(acc_ >> 24)};
      out_.insert(out_.end(), b, b + 4);
      acc_ >>= 32;
      count_ -= 32;
    }
  }
  // Pads the partial byte with zero bits and writes out everything held.
  void Flush() {
    while (count_ > 0) {
      out_.push_back(static_cast<uint8_t>(acc_));
      acc_ >>= 8;
      count_ = count_ > 8 ? count_ - 8 : 0;
    }
  }
  // Bits written so far, modulo 8 (to size the padding before stored data).
  unsigned BitPhase() const { return count_ & 7; }
  std::vector<uint8_t>& Output() { return out_; }

 private:
  std::vector<uint8_t>& out_;
  uint64_t acc_ = 0;
  unsigned count_ = 0;
};

}  // namespace codec
