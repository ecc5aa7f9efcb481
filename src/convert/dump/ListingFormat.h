// Number forms shared by the archive listings.
#pragma once

#include <cstdint>

// Compressed size as a percentage of the original, in integers: 0 for an empty or
// negative original; a large compressed size divides the original first.
constexpr int64_t ListingRatio(int64_t compressed, int64_t original) {
  if (original <= 0) return 0;
  if (compressed < 10000000) return compressed * 100 / original;
  return original < 100 ? 0 : compressed / (original / 100);
}
