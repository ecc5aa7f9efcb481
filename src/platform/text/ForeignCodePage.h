// Text bytes in a Windows code page other than CP932 (RTF runs in Cyrillic, Greek,
// Chinese, Korean or Central European fonts): the code page a font's character set
// stands for, and its characters as Unicode through glibc iconv. A single-byte page
// is decoded through a table of its 128 upper codes, built once; a double-byte page
// (936, 949, 950, 1361) takes a lead byte 0x81-0xFE and its trail.
#pragma once

#include <array>
#include <cstdint>

namespace plat {

// The code page of a font character set (\fcharsetN); 0 for the document's own
// (ANSI, default, symbol) and for a set no code page stands for.
int CodePageOfCharset(int charset);

class ForeignCodePage {
 public:
  explicit ForeignCodePage(int codePage);
  int CodePage() const { return codePage_; }
  bool DoubleByte() const { return doubleByte_; }
  bool IsLead(uint8_t b) const { return doubleByte_ && b >= 0x81 && b <= 0xFE; }
  // The character of one byte (below 0x80 or on a single-byte page); 0 when unassigned.
  char32_t Single(uint8_t b) const { return b < 0x80 ? b : upper_[b - 0x80]; }
  // The character of a lead and trail pair; 0 when unassigned.
  char32_t Pair(uint8_t lead, uint8_t trail) const;

 private:
  int codePage_;
  bool doubleByte_;
  std::array<char32_t, 128> upper_{};
};

}  // namespace plat
