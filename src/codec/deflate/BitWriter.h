// Bit output least significant bit first, as Deflate packs it. Bits gather in a
// 64-bit word that is stored eight bytes at a time into room made beforehand, so
// the hot loop writes without a bounds test per code: Reserve makes the room, Add
// gathers at most 56 bits between two Drains, Drain moves the whole bytes out.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

namespace codec {

class CLsbBitWriter {
 public:
  // Appends to out, after what it holds.
  explicit CLsbBitWriter(std::vector<uint8_t>& out) : out_(out), used_(out.size()) {}

  // Makes room for n more bytes of output.
  void Reserve(size_t n) {
    if (out_.size() < used_ + n + 8) out_.resize(std::max(used_ + n + 8, out_.size() + out_.size() / 2));
  }
  // Gathers the low n bits of value (value holds no bits above them).
  void Add(uint64_t value, unsigned n) {
    acc_ |= value << count_;
    count_ += n;
  }
  // Stores the whole bytes gathered (into reserved room).
  void Drain() {
    uint64_t word = acc_;
    if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
    std::memcpy(out_.data() + used_, &word, 8);
    used_ += count_ >> 3;
    acc_ >>= count_ & ~7u;
    count_ &= 7;
  }
  // Appends the low n bits of value (n at most 32).
  void PutBits(uint32_t value, unsigned n) {
    Reserve(8);
    Add(value, n);
    Drain();
  }
  // Pads the partial byte with zero bits; the output then ends at the last bit written.
  void Flush() {
    Reserve(8);
    Add(0, (8 - count_) & 7);
    Drain();
    out_.resize(used_);
  }
  // The whole bytes stored so far: the first Stored() bytes of out.
  size_t Stored() const { return used_; }
  // Takes the stored bytes out of out; the bits still gathered stay and follow on.
  void DropStored() {
    out_.clear();
    used_ = 0;
  }
  // The gathering in locals, for a hot loop: a store through the output's bytes
  // could alias the writer's own fields, which a loop working on the writer itself
  // reloads after every store. Take makes room for n more bytes and hands the state
  // out; Give takes it back. Nothing else may write in between.
  struct Run {
    uint8_t* at;
    uint64_t acc;
    unsigned count;
    void Add(uint64_t value, unsigned n) {
      acc |= value << count;
      count += n;
    }
    void Drain() {
      uint64_t word = acc;
      if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
      std::memcpy(at, &word, 8);
      at += count >> 3;
      acc >>= count & ~7u;
      count &= 7;
    }
  };
  Run Take(size_t n) {
    Reserve(n);
    return {out_.data() + used_, acc_, count_};
  }
  void Give(const Run& run) {
    used_ = static_cast<size_t>(run.at - out_.data());
    acc_ = run.acc;
    count_ = run.count;
  }
  // Appends bytes after a Flush.
  void PutBytes(const uint8_t* data, size_t n) {
    out_.resize(used_);
    out_.insert(out_.end(), data, data + n);
    used_ = out_.size();
  }

 private:
  std::vector<uint8_t>& out_;
  size_t used_;       // bytes of out_ written; the rest is room
  uint64_t acc_ = 0;  // bits not yet stored, the oldest lowest
  unsigned count_ = 0;
};

}  // namespace codec
