// The encoder's byte and bit writer. Bits fill bytes from the most significant end
// and a completed 0xFF byte is followed by a stuffed 0x00. Bits gather in a 64-bit
// word that goes out eight bytes at a time, checked for 0xFF as a whole; headers and
// the end go byte by byte. The buffer starts at the size asked for and grows as
// needed (through the allocation hook), up to what an int can count; past that a
// write throws JBufferError.
#pragma once

#include <cstdint>
#include <cstring>
#include <new>
#include <span>
#include <utility>
#include <vector>

#include "image/codecs/jpeg/JErrors.h"
#include "base/Alloc.h"

// Leaves new elements uninitialised: the stream hands out only bytes it wrote, so
// the pages of a generous first buffer are touched only as the scan fills them.
template <class T>
struct JUninitAllocator : std::allocator<T> {
  template <class U>
  struct rebind {
    using other = JUninitAllocator<U>;
  };
  JUninitAllocator() = default;
  template <class U>
  JUninitAllocator(const JUninitAllocator<U>&) {}
  template <class U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... A>
  void construct(U* p, A&&... a) {
    ::new (static_cast<void*>(p)) U(std::forward<A>(a)...);
  }
};

class JOutBitStream {
 public:
  // JMemoryError "JOutBitStream" when nSize is below 1 or cannot be had.
  JOutBitStream(int64_t nSize, AllocHook* hook);

  // Appends the low n bits of value (n up to 16), most significant first.
  void SetBits(uint32_t value, int n) {
    if (n > 16) throw JBufferError("SetBits:Max Bit Over");
    if (n <= 0) return;
    PutBits(value & ((1u << n) - 1), n);
  }
  // Appends n bits (1 to 32), most significant first; bits has none set above them.
  void PutBits(uint32_t bits, int n) {
    if (n < free_) {
      acc_ = (acc_ << n) | bits;
      free_ -= n;
      return;
    }
    // The word fills up: its last free_ bits are the top of these, the rest stay.
    const int rest = n - free_;
    PutWord((acc_ << free_) | (bits >> rest));
    acc_ = bits;  // only the low `rest` bits count; the others leave by the shifts
    free_ = 64 - rest;
  }
  // Writes the whole bytes still held, then completes a partly written byte with 1 bits.
  void FlushBits();
  void SetByte(int v) {
    FlushBits();
    Put(static_cast<uint8_t>(v), "SetByte");
  }
  void SetWord(int v) {
    FlushBits();
    Put(static_cast<uint8_t>(v >> 8), "SetWord");
    Put(static_cast<uint8_t>(v), "SetWord");
  }
  void CopyByte(const uint8_t* p, int64_t n) {
    FlushBits();
    for (int64_t i = 0; i < n; ++i) Put(p[i], "CopyByte");
  }
  // The bytes written up to the last SetByte, SetWord, CopyByte or FlushBits.
  std::span<const uint8_t> Written() const { return {buf_.data(), static_cast<size_t>(pos_)}; }

 private:
  // Eight bytes at once where none is 0xFF and the buffer has room for them.
  void PutWord(uint64_t word) {
    const uint64_t inverted = ~word;
    const bool hasFF = ((inverted - 0x0101010101010101ull) & word & 0x8080808080808080ull) != 0;
    if (!hasFF && pos_ + 8 <= static_cast<int64_t>(buf_.size())) {
      const uint64_t bigEndian = __builtin_bswap64(word);
      std::memcpy(buf_.data() + pos_, &bigEndian, 8);
      pos_ += 8;
      return;
    }
    for (int shift = 56; shift >= 0; shift -= 8) PutStuffed(static_cast<uint8_t>(word >> shift));
  }
  void PutStuffed(uint8_t b) {
    Put(b, "SetBits");
    if (b == 0xFF) Put(0, "SetBits");
  }
  void Put(uint8_t b, const char* what) {
    if (pos_ == static_cast<int64_t>(buf_.size())) Grow(what);
    buf_[static_cast<size_t>(pos_++)] = b;
  }
  void Grow(const char* what);

  AllocHook* hook_;
  std::vector<uint8_t, JUninitAllocator<uint8_t>> buf_;
  int64_t pos_ = 0;
  uint64_t acc_ = 0;  // the pending bits are its low 64 - free_
  int free_ = 64;
};
