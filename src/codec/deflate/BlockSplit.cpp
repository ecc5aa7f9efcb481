#include "codec/deflate/BlockSplit.h"

#include <array>
#include <bit>
#include <cmath>

namespace codec {
namespace {

constexpr int kFractionBits = 16;
constexpr int kTableBits = 12;
static_assert(kMaxChunkTokens <= (size_t{1} << kTableBits), "a chunk's counts index the table directly");

// log2 of 0..4095 in 1/65536 (log2 of 0 taken as 0, as 0 * log2 0 is).
const std::array<uint32_t, 1 << kTableBits>& Log2Table() {
  static const std::array<uint32_t, 1 << kTableBits> kTable = [] {
    std::array<uint32_t, 1 << kTableBits> t{};
    for (size_t i = 1; i < t.size(); ++i)
      t[i] = static_cast<uint32_t>(std::lround(std::log2(static_cast<double>(i)) * (1 << kFractionBits)));
    return t;
  }();
  return kTable;
}

// x * log2(x) in 1/65536: larger x through its top 12 bits.
inline uint64_t XLog2(uint32_t x, const uint32_t* log2) {
  const int shift = std::max(0, static_cast<int>(std::bit_width(x)) - kTableBits);
  return uint64_t{x} * ((static_cast<uint32_t>(shift) << kFractionBits) + log2[x >> shift]);
}

// The bits of a new block's header, estimated from its used symbols: the fixed
// fields and the code-length code, then about four bits for each code length sent.
constexpr uint64_t kHeaderBits = 80;
constexpr uint64_t kBitsPerUsedSymbol = 4;

}  // namespace

bool StartsBlock(const DeflateCounts& block, uint64_t blockBits, const DeflateCounts& chunk, uint64_t* chunkBits,
                 uint64_t* joinedBits) {
  const uint32_t* log2 = Log2Table().data();
  uint64_t alone = 0, joined = 0, used = 0;
  auto add = [&](const uint32_t* b, const uint32_t* c, int n) {
    uint64_t totalC = 0, sumC = 0, totalJ = 0, sumJ = 0;
    for (int s = 0; s < n; ++s) {
      const uint32_t j = b[s] + c[s];
      totalC += c[s];
      totalJ += j;
      sumC += uint64_t{c[s]} * log2[c[s]];
      sumJ += XLog2(j, log2);
      used += c[s] != 0;
    }
    alone += XLog2(static_cast<uint32_t>(totalC), log2) - sumC;
    joined += XLog2(static_cast<uint32_t>(totalJ), log2) - sumJ;
  };
  add(block.lit.data(), chunk.lit.data(), 286);
  add(block.dist.data(), chunk.dist.data(), 30);
  *chunkBits = alone;
  *joinedBits = joined;
  const uint64_t header = (kHeaderBits + kBitsPerUsedSymbol * used) << kFractionBits;
  return blockBits + alone + header < joined;
}

}  // namespace codec
