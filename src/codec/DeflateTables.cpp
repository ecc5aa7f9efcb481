#include "codec/DeflateTables.h"

#include <array>

namespace codec {

const uint16_t CLengthCodeTable::kBase[kCodes] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,
                                                  15, 17, 19, 23, 27, 31, 35, 43, 51,  59,
                                                  67, 83, 99, 115, 131, 163, 195, 227, 258};
const uint8_t CLengthCodeTable::kExtra[kCodes] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                  2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const uint16_t CDistanceCodeTable::kBase[kCodes] = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const uint8_t CDistanceCodeTable::kExtra[kCodes] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                                    6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

namespace {

struct Lookups {
  std::array<uint8_t, 259> lengthCode{};  // by length
  std::array<uint8_t, 512> distCode{};    // by (distance - 1) below 256, then by (distance - 1) >> 7
};

Lookups MakeLookups() {
  Lookups t;
  for (int c = 0; c < CLengthCodeTable::kCodes; ++c) {
    int top = c + 1 < CLengthCodeTable::kCodes ? CLengthCodeTable::kBase[c + 1] : 259;
    for (int len = CLengthCodeTable::kBase[c]; len < top; ++len) t.lengthCode[len] = static_cast<uint8_t>(c);
  }
  for (int c = 0; c < CDistanceCodeTable::kCodes; ++c) {
    int lo = CDistanceCodeTable::kBase[c] - 1;
    int hi = lo + (1 << CDistanceCodeTable::kExtra[c]);
    for (int d = lo; d < hi; ++d) {
      if (d < 256)
        t.distCode[d] = static_cast<uint8_t>(c);
      else
        t.distCode[256 + (d >> 7)] = static_cast<uint8_t>(c);
    }
  }
  return t;
}

const Lookups& GetLookups() {
  static const Lookups kLookups = MakeLookups();
  return kLookups;
}

}  // namespace

int CLengthCodeTable::CodeOf(int length) { return GetLookups().lengthCode[length]; }

int CDistanceCodeTable::CodeOf(int distance) {
  int d = distance - 1;
  return d < 256 ? GetLookups().distCode[d] : GetLookups().distCode[256 + (d >> 7)];
}

}  // namespace codec
