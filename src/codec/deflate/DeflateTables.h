// The length and distance codes of Deflate (RFC 1951 3.2.5), shared by Inflate and
// Deflate: per code its base value and number of extra bits, and per length or
// distance its code.
#pragma once

#include <array>
#include <cstdint>

namespace codec {

struct CLengthCodeTable {
  static constexpr int kCodes = 29;  // symbols 257..285
  static constexpr uint16_t kBase[kCodes] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                             31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
  static constexpr uint8_t kExtra[kCodes] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                             2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
  // Code index (0..28, symbol - 257) of a match length 3..258.
  static int CodeOf(int length) { return kCodeOfLength[length]; }
  static int LengthBase(int code) { return kBase[code]; }

 private:
  static constexpr std::array<uint8_t, 259> kCodeOfLength = [] {
    std::array<uint8_t, 259> t{};
    for (int c = 0; c < kCodes; ++c)
      for (int len = kBase[c]; len < (c + 1 < kCodes ? kBase[c + 1] : 259); ++len) t[len] = static_cast<uint8_t>(c);
    return t;
  }();
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
  static constexpr uint16_t kBase[kCodes] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                                             193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
  static constexpr uint8_t kExtra[kCodes] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                             6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
  // Code (0..29) of a distance 1..32768.
  static int CodeOf(int distance) {
    const int d = distance - 1;
    return d < 256 ? kCodeOfDistance[d] : kCodeOfDistance[256 + (d >> 7)];
  }
  static int DistanceBase(int code) { return kBase[code]; }

 private:
  // By (distance - 1) below 256, then by (distance - 1) >> 7.
  static constexpr std::array<uint8_t, 512> kCodeOfDistance = [] {
    std::array<uint8_t, 512> t{};
    for (int c = 0; c < kCodes; ++c) {
      for (int d = kBase[c] - 1; d < kBase[c] - 1 + (1 << kExtra[c]); ++d) t[d < 256 ? d : 256 + (d >> 7)] = static_cast<uint8_t>(c);
    }
    return t;
  }();
};

}  // namespace codec
