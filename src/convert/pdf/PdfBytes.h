// A bounded view of the PDF bytes: every read outside the data gives 0, so the
// scanners follow the format's byte patterns without a bounds test on each line.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

struct PdfBytes {
  const uint8_t* data = nullptr;
  int64_t size = 0;

  uint8_t operator[](int64_t i) const { return i >= 0 && i < size ? data[i] : 0; }
  // The bytes at `at` are exactly `word`.
  bool Match(int64_t at, std::string_view word) const {
    if (at < 0 || at + static_cast<int64_t>(word.size()) > size) return false;
    return std::memcmp(data + at, word.data(), word.size()) == 0;
  }
};

constexpr bool PdfIsDigit(uint8_t c) { return c >= '0' && c <= '9'; }
constexpr bool PdfIsBlank(uint8_t c) { return c == ' ' || c == '\r' || c == '\n'; }
// Bytes a list scanner passes over: controls, blanks and bytes of 0x80 and above.
constexpr bool PdfIsSkippable(uint8_t c) { return c < 0x21 || c >= 0x80; }
