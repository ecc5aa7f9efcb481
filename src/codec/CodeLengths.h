// The check every canonical Huffman code takes before its table is built: the count
// of codes of each length, with lengths above the format's maximum and over-subscribed
// lengths (more codes than the bit patterns hold) thrown as the format's codes.
#pragma once

#include <array>
#include <cstdint>

#include "codec/CodecError.h"

namespace codec {

template <int MaxBits>
std::array<int, MaxBits + 1> CountCodeLengths(const uint8_t* lengths, int n, const char* tooLong,
                                              const char* overSubscribed) {
  std::array<int, MaxBits + 1> count{};
  for (int s = 0; s < n; ++s) {
    CODEC_CHECK(lengths[s] <= MaxBits, tooLong);
    ++count[lengths[s]];
  }
  count[0] = 0;
  int left = 1;
  for (int len = 1; len <= MaxBits; ++len) {
    left = (left << 1) - count[len];
    CODEC_CHECK(left >= 0, overSubscribed);
  }
  return count;
}

}  // namespace codec
