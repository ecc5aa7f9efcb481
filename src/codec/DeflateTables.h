// The length and distance codes of Deflate (RFC 1951 3.2.5), shared by Inflate and
// Deflate: per code its base value and number of extra bits, and per length or
// distance its code.
#pragma once

#include <array>
#include <cstdint>

namespace codec {

struct CLengthCodeTable {
  static constexpr int kCodes = 29;  // symbols 257..285
  static const uint16_t kBase[kCodes];
  static const uint8_t kExtra[kCodes];
  // Code index (0..28, symbol - 257) of a match length 3..258.
  static int CodeOf(int length);
  static int LengthBase(int code) { return kBase[code]; }
};

// The code lengths of the fixed Huffman codes (RFC 1951 3.2.6), one table for both
// directions: literal/length symbols 0..287, then 5 bits for each of the 32
// distance symbols.
inline constexpr int kFixedLiteralCodes = 288;
inline constexpr int kFixedDistanceCodes = 32;
inline constexpr std::array<uint8_t, kFixedLiteralCodes + kFixedDistanceCodes> kFixedLengths = [] {
  std::array<uint8_t, kFixedLiteralCodes + kFixedDistanceCodes> lengths{};
  for (int s = 0; s < kFixedLiteralCodes; ++s) lengths[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
  for (int s = kFixedLiteralCodes; s < kFixedLiteralCodes + kFixedDistanceCodes; ++s) lengths[s] = 5;
  return lengths;
}();

// The order in which a dynamic block's header sends the code-length code lengths.
inline constexpr uint8_t kPrecodeOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

struct CDistanceCodeTable {
  static constexpr int kCodes = 30;
  static const uint16_t kBase[kCodes];
  static const uint8_t kExtra[kCodes];
  // Code (0..29) of a distance 1..32768.
  static int CodeOf(int distance);
  static int DistanceBase(int code) { return kBase[code]; }
};

}  // namespace codec
