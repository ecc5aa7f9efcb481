// The one bounded reader of untrusted bytes. A cursor is a span with a position and
// a sticky error: every read past the end returns 0 (or fills with zeros), sets the
// error and leaves the position at the end, so a parser can follow a format's own
// order top to bottom and test Failed() once where it matters. Nothing is ever read
// outside the span. Offsets and lengths are 64-bit; negative ones fail.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

class ByteCursor {
 public:
  ByteCursor() = default;
  ByteCursor(const uint8_t* data, int64_t size) : data_(data), size_(data && size > 0 ? size : 0) {}
  explicit ByteCursor(std::span<const uint8_t> bytes) : ByteCursor(bytes.data(), static_cast<int64_t>(bytes.size())) {}
  explicit ByteCursor(std::string_view bytes)
      : ByteCursor(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<int64_t>(bytes.size())) {}

  int64_t Size() const { return size_; }
  int64_t Pos() const { return pos_; }
  int64_t Remaining() const { return size_ - pos_; }
  bool AtEnd() const { return pos_ >= size_; }
  bool Failed() const { return failed_; }
  bool Ok() const { return !failed_; }
  void Fail() { failed_ = true; }
  // True when n more bytes can be read (n >= 0).
  bool Has(int64_t n) const { return n >= 0 && n <= size_ - pos_; }
  // True when the byte at the absolute offset at lies inside the span.
  bool Inside(int64_t at) const { return at >= 0 && at < size_; }
  const uint8_t* Data() const { return data_; }

  // Moving. A target outside 0..Size() fails and leaves the cursor at the end.
  void Seek(int64_t pos) {
    if (pos < 0 || pos > size_) {
      failed_ = true;
      pos_ = size_;
    } else {
      pos_ = pos;
    }
  }
  void Skip(int64_t n) {
    if (n < 0 || n > size_ - pos_) {
      failed_ = true;
      pos_ = size_;
    } else {
      pos_ += n;
    }
  }

  // Sequential reads.
  uint8_t U8() {
    if (pos_ >= size_) {
      failed_ = true;
      return 0;
    }
    return data_[pos_++];
  }
  uint16_t U16LE() { return static_cast<uint16_t>(Take(2, false)); }
  uint32_t U32LE() { return static_cast<uint32_t>(Take(4, false)); }
  uint64_t U64LE() { return Take(8, false); }
  uint16_t U16BE() { return static_cast<uint16_t>(Take(2, true)); }
  uint32_t U24BE() { return static_cast<uint32_t>(Take(3, true)); }
  uint32_t U32BE() { return static_cast<uint32_t>(Take(4, true)); }
  uint64_t U64BE() { return Take(8, true); }

  // Copies n bytes to out; short input copies what there is, zero-fills the rest and fails.
  bool Read(void* out, int64_t n) {
    if (n <= 0) {
      if (n < 0) failed_ = true;
      return n == 0;
    }
    const int64_t have = std::min(n, size_ - pos_);
    if (have > 0) std::memcpy(out, data_ + pos_, static_cast<size_t>(have));
    if (have < n) std::memset(static_cast<uint8_t*>(out) + have, 0, static_cast<size_t>(n - have));
    Skip(n);
    return have == n;
  }
  // The next n bytes as a view, and past them; empty (and failed) when fewer remain.
  std::span<const uint8_t> Bytes(int64_t n) {
    if (!Has(n)) {
      Skip(n);
      return {};
    }
    std::span<const uint8_t> out(data_ + pos_, static_cast<size_t>(n));
    pos_ += n;
    return out;
  }
  // A cursor over the next n bytes, and past them; a short span fails both cursors.
  ByteCursor Sub(int64_t n) {
    const int64_t have = n < 0 ? 0 : std::min(n, size_ - pos_);
    ByteCursor sub(data_ + pos_, have);
    if (have < n || n < 0) sub.failed_ = true;
    Skip(n);
    return sub;
  }

  // Data that continuation records split (a workbook string running on into the next
  // record): a 4-byte continuation header, `mark` read little-endian, may stand before
  // any byte of it. MarkAt tests for one at an absolute offset, PassMark passes one at
  // the position, U8Continued reads the next data byte after any header, and
  // SkipContinued passes n data bytes and the headers among them (stopping at a failure).
  bool MarkAt(int64_t at, uint32_t mark) const { return Inside(at, 4) && LoadLE(at, 4) == mark; }
  bool PassMark(uint32_t mark) {
    if (!MarkAt(pos_, mark)) return false;
    pos_ += 4;
    return true;
  }
  uint8_t U8Continued(uint32_t mark) {
    PassMark(mark);
    return U8();
  }
  void SkipContinued(int64_t n, uint32_t mark) {
    for (int64_t i = 0; i < n && !failed_; ++i) U8Continued(mark);
  }

  // Reads at an absolute offset that do not move the cursor; 0 outside the span.
  uint8_t PeekU8(int64_t at) const { return at >= 0 && at < size_ ? data_[at] : 0; }
  // A value wholly inside the span is loaded at once; one at an end of it byte by byte.
  uint16_t PeekU16LE(int64_t at) const {
    if (Inside(at, 2)) return static_cast<uint16_t>(LoadLE(at, 2));
    return static_cast<uint16_t>(PeekU8(at) | PeekU8(at + 1) << 8);
  }
  uint32_t PeekU24LE(int64_t at) const { return PeekU16LE(at) | static_cast<uint32_t>(PeekU8(at + 2)) << 16; }
  uint32_t PeekU32LE(int64_t at) const {
    if (Inside(at, 4)) return static_cast<uint32_t>(LoadLE(at, 4));
    return PeekU16LE(at) | static_cast<uint32_t>(PeekU16LE(at + 2)) << 16;
  }
  uint64_t PeekU64LE(int64_t at) const {
    if (Inside(at, 8)) return LoadLE(at, 8);
    return PeekU32LE(at) | static_cast<uint64_t>(PeekU32LE(at + 4)) << 32;
  }
  uint16_t PeekU16BE(int64_t at) const { return static_cast<uint16_t>(PeekU8(at) << 8 | PeekU8(at + 1)); }
  uint32_t PeekU32BE(int64_t at) const { return static_cast<uint32_t>(PeekU16BE(at)) << 16 | PeekU16BE(at + 2); }
  // The bytes of [at, at + n) that lie inside the span (fewer, or none, at its end).
  std::span<const uint8_t> PeekBytes(int64_t at, int64_t n) const {
    if (at < 0 || n <= 0 || at >= size_) return {};
    return {data_ + at, static_cast<size_t>(std::min(n, size_ - at))};
  }
  // A cursor over [at, at + n) of this span, clamped; a clamp marks the new cursor failed.
  ByteCursor Window(int64_t at, int64_t n) const {
    if (at < 0 || n < 0 || at > size_) {
      ByteCursor none;
      none.failed_ = true;
      return none;
    }
    const int64_t have = std::min(n, size_ - at);
    ByteCursor sub(data_ + at, have);
    if (have < n) sub.failed_ = true;
    return sub;
  }

 private:
  uint64_t Take(int n, bool bigEndian) {
    if (size_ - pos_ < n) {
      failed_ = true;
      pos_ = size_;
      return 0;
    }
    uint64_t v = 0;
    if (!bigEndian && kLittleHost) {
      v = LoadLE(pos_, n);
    } else {
      for (int i = 0; i < n; ++i) {
        const uint64_t b = data_[pos_ + i];
        v |= bigEndian ? b << (8 * (n - 1 - i)) : b << (8 * i);
      }
    }
    pos_ += n;
    return v;
  }
  static constexpr bool kLittleHost = std::endian::native == std::endian::little;
  // [at, at + n) lies inside the span.
  bool Inside(int64_t at, int64_t n) const { return at >= 0 && at <= size_ - n; }
  // The n bytes (at most 8) at `at`, inside the span, as a little-endian number.
  uint64_t LoadLE(int64_t at, int n) const {
    uint64_t v = 0;
    if constexpr (kLittleHost) {
      std::memcpy(&v, data_ + at, static_cast<size_t>(n));
    } else {
      for (int i = 0; i < n; ++i) v |= static_cast<uint64_t>(data_[at + i]) << (8 * i);
    }
    return v;
  }

  const uint8_t* data_ = nullptr;
  int64_t size_ = 0;
  int64_t pos_ = 0;
  bool failed_ = false;
};
