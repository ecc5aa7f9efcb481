// The decoder's one reader of the input. Marker segments are read bytewise through
// GetByte/GetWord/CopyByte/SkipByte, which throw JBufferError past the end. The
// entropy-coded data is read through a 64-bit bit buffer: stuffed 0xFF 0x00 pairs
// become 0xFF, and at a marker or at the end of the input the buffer is padded with
// zero bits and the stream stops, so the hot loop never tests bounds; Overrun() then
// tells whether a code reached into the padding.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "image/codecs/jpeg/JErrors.h"

class JInBitStream {
 public:
  JInBitStream(const uint8_t* data, int64_t length) : data_(data), end_(data && length > 0 ? length : 0) {}

  // Marker segments.
  int GetByte() {
    if (pos_ >= end_) throw JBufferError("GetByte");
    return data_[pos_++];
  }
  int GetWord() {
    if (end_ - pos_ < 2) throw JBufferError("GetWord");
    const int v = data_[pos_] << 8 | data_[pos_ + 1];
    pos_ += 2;
    return v;
  }
  void SkipByte(int64_t n) {
    if (n < 0 || n > end_ - pos_) throw JBufferError("SkipByte");
    pos_ += n;
  }
  // The next n bytes in place (n checked), and past them.
  const uint8_t* CopyByte(int64_t n) {
    if (n < 0 || n > end_ - pos_) throw JBufferError("CopyByte");
    const uint8_t* at = data_ + pos_;
    pos_ += n;
    return at;
  }
  // Byte offset of the next byte to read.
  int64_t GetPosition() const { return pos_; }
  void SeekTo(int64_t pos) { pos_ = pos < 0 ? 0 : pos > end_ ? end_ : pos; }

  // Entropy-coded data: starts at the current byte with an empty bit buffer.
  void StartBits() {
    buf_ = 0;
    bits_ = 0;
    pad_ = 0;
    stopped_ = false;
    marker_ = -1;
  }
  // The bit buffer by value, so that the hot loop keeps it in registers: Load it,
  // read through Need32/Peek/Consume/Take, and Save it back.
  struct Bits {
    uint64_t buf;  // bits from the most significant end
    int n;         // bits in buf, padding included
  };
  Bits Load() const { return {buf_, bits_}; }
  void Save(Bits b) {
    buf_ = b.buf;
    bits_ = b.n;
  }
  // At least 32 bits (real or padding) are in b afterwards.
  void Need32(Bits& b) {
    if (b.n < 32) b = Fill(b);
  }
  static uint32_t Peek(const Bits& b, int n) { return static_cast<uint32_t>(b.buf >> (64 - n)); }
  static void Consume(Bits& b, int n) {
    b.buf <<= n;
    b.n -= n;
  }
  // n (1..16) bits as an unsigned value; Need32 must have run.
  static int Take(Bits& b, int n) {
    const int v = static_cast<int>(Peek(b, n));
    Consume(b, n);
    return v;
  }
  // True when reading n more bits of b would go past the last real bit before a
  // marker or the end (n = 0: a read already did).
  bool PastData(const Bits& b, int n) const { return b.n - n < pad_; }
  // Drops the bits left of the current segment and reads the marker that ends it:
  // its code (0xD0..0xD7 for a restart), or -1 at the end of the input. The bit
  // buffer restarts after the marker.
  int NextScanMarker();

 private:
  // Tops b up to 57..64 bits. Where the next eight bytes hold no 0xFF (a 0xFF
  // byte is a zero byte of the inverse) they are all data: as many as fit go in
  // at once, inline. Else byte by byte, out of line.
  Bits Fill(Bits b) {
    if (!stopped_ && end_ - pos_ >= 8) {
      uint64_t raw;
      std::memcpy(&raw, data_ + pos_, 8);
      const uint64_t inverted = ~raw;
      if (((inverted - 0x0101010101010101ull) & ~inverted & 0x8080808080808080ull) == 0) {
        if constexpr (std::endian::native == std::endian::little) raw = __builtin_bswap64(raw);
        const int k = (64 - b.n) >> 3;  // b.n < 32 here, so 4 to 8 bytes
        b.buf |= (raw >> (64 - 8 * k)) << (64 - b.n - 8 * k);
        pos_ += k;
        return {b.buf, b.n + 8 * k};
      }
    }
    return FillBytes(b);
  }
  Bits FillBytes(Bits b);

  const uint8_t* data_;
  int64_t end_;
  int64_t pos_ = 0;
  uint64_t buf_ = 0;   // bits from the most significant end
  int bits_ = 0;       // bits in buf_, padding included
  int pad_ = 0;        // zero bits appended after the stream stopped
  bool stopped_ = false;
  int marker_ = -1;    // the marker code the stream stopped at, -1 for the end
};
