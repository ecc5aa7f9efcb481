// The byte patterns the PDF scanners look for, on the one bounded cursor of
// base/ByteCursor.h: its peeks give 0 outside the bytes, so a scanner follows the
// format's patterns without a bounds test on each line.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "base/ByteCursor.h"

constexpr bool PdfIsDigit(uint8_t c) { return c >= '0' && c <= '9'; }
constexpr bool PdfIsBlank(uint8_t c) { return c == ' ' || c == '\r' || c == '\n'; }
// Bytes a list scanner passes over: controls, blanks and bytes of 0x80 and above.
constexpr bool PdfIsSkippable(uint8_t c) { return c < 0x21 || c >= 0x80; }

// The bytes at `at` are exactly `word`.
inline bool PdfMatch(const ByteCursor& b, int64_t at, std::string_view word) {
  const auto bytes = b.PeekBytes(at, static_cast<int64_t>(word.size()));
  return bytes.size() == word.size() && std::memcmp(bytes.data(), word.data(), word.size()) == 0;
}

// The first place of `word` from `from` up to `to` (the end of the bytes at most), or -1.
inline int64_t PdfFind(const ByteCursor& b, int64_t from, int64_t to, std::string_view word) {
  to = std::min(to, b.Size());
  if (from < 0 || to - from < static_cast<int64_t>(word.size())) return -1;
  const auto bytes = b.PeekBytes(from, to - from);
  const void* hit = memmem(bytes.data(), bytes.size(), word.data(), word.size());
  return hit ? from + (static_cast<const uint8_t*>(hit) - bytes.data()) : -1;
}

// The first place of one word from a start to the end of the bytes, remembering the
// last search: its answer holds for every start from that search's start up to what
// it found, so many starts before one distant word (or none) read the bytes once
// instead of once each (a megabyte of "stream" keywords without an end took a minute).
class PdfWordFinder {
 public:
  explicit PdfWordFinder(std::string_view word) : word_(word) {}

  int64_t Next(const ByteCursor& b, int64_t from) {
    const bool same = b.Data() == data_ && b.Size() == size_;
    if (same && from_ >= 0 && from >= from_ && (found_ < 0 || from <= found_)) return found_;
    data_ = b.Data();
    size_ = b.Size();
    from_ = from;
    found_ = PdfFind(b, from, size_, word_);
    return found_;
  }

 private:
  std::string_view word_;
  const uint8_t* data_ = nullptr;
  int64_t size_ = -1;
  int64_t from_ = -1;   // the start of the remembered search
  int64_t found_ = -1;  // what it found, or -1
};
