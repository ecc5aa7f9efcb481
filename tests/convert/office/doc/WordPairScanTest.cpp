// The run of ordinary Word characters is found eight pairs at a time: on random
// text made of the bytes that stop a run and those just beside them, at every start
// and limit, it must end where a pair-by-pair reading of the rule ends.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "convert/office/doc/WordPairScan.h"

namespace {

int64_t PairByPair(const std::vector<uint8_t>& bytes, int64_t pos, int64_t limit) {
  const auto size = static_cast<int64_t>(bytes.size());
  for (; pos < limit; pos += 2) {
    const uint8_t c = bytes[static_cast<size_t>(pos)], h = bytes[static_cast<size_t>(pos + 1)];
    const uint8_t next = pos + 2 < size ? bytes[static_cast<size_t>(pos + 2)] : 0;
    if (h == 0 && (c < 0x20 || c >= 0x80 || next == 0)) break;
    if (h == 0x20 || h == 0xF0 || (c == 0x10 && h == 0x10)) break;
  }
  return pos;
}

TEST(WordPairScan, EndsWhereAPairByPairReadingEnds) {
  const uint8_t lows[] = {'a', 'Z', 0x1F, 0x20, 0x7F, 0x80, 0x00, 0x10, 0xE5};
  const uint8_t highs[] = {0x00, 0x00, 0x00, 0x00, 0x4E, 0x30, 0x20, 0xF0, 0x10, 0x1F, 0x21, 0xEF, 0xF1, 0xFF};
  uint32_t seed = 3;
  auto next = [&seed](uint32_t n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % n;
  };
  for (int round = 0; round < 200; ++round) {
    // Mostly ordinary pairs, so that runs reach past a whole eight-pair step.
    std::vector<uint8_t> bytes(64 + next(64));
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
      const bool ordinary = next(10) < 8;
      bytes[i] = ordinary ? static_cast<uint8_t>('a' + next(26)) : lows[next(std::size(lows))];
      bytes[i + 1] = ordinary ? static_cast<uint8_t>(next(2) ? 0x00 : 0x4E) : highs[next(std::size(highs))];
    }
    const auto size = static_cast<int64_t>(bytes.size());
    for (int64_t pos = 0; pos < 24; ++pos) {
      for (int64_t limit = pos; limit <= size - 1; limit += 1 + static_cast<int64_t>(next(5))) {
        ASSERT_EQ(OrdinaryPairsEnd(bytes.data(), pos, limit, size), PairByPair(bytes, pos, limit))
            << "round " << round << " pos " << pos << " limit " << limit;
      }
    }
  }
}

}  // namespace
