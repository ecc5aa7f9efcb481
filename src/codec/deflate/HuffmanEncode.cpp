#include "codec/deflate/HuffmanEncode.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace codec {
namespace {

constexpr int kMaxSymbols = 288;

// Each byte with its bits in the opposite order.
constexpr std::array<uint8_t, 256> kReversedByte = [] {
  std::array<uint8_t, 256> t{};
  for (int b = 0; b < 256; ++b)
    for (int i = 0; i < 8; ++i) t[b] |= static_cast<uint8_t>(((b >> i) & 1) << (7 - i));
  return t;
}();

}  // namespace

void BuildCodeLengths(const uint32_t* freq, int n, int limit, uint8_t* lengths) {
  std::fill(lengths, lengths + n, 0);
  // The used symbols by ascending frequency, equal ones by symbol, each as a key with
  // the frequency above the symbol (n is at most 288: 9 bits). A counting sort puts
  // them in order by their frequencies below n; the fewer above share the last bucket
  // and are sorted by key.
  std::array<uint16_t, kMaxSymbols + 2> at{};
  for (int s = 0; s < n; ++s) ++at[std::min<uint32_t>(freq[s], static_cast<uint32_t>(n)) + 1];
  at[1] = 0;  // the unused symbols are left out
  for (int b = 1; b <= n + 1; ++b) at[b] = static_cast<uint16_t>(at[b] + at[b - 1]);
  std::array<uint64_t, kMaxSymbols> keys;
  for (int s = 0; s < n; ++s) {
    if (freq[s] == 0) continue;
    const uint32_t bucket = std::min<uint32_t>(freq[s], static_cast<uint32_t>(n));
    keys[at[bucket]++] = (uint64_t{freq[s]} << 9) | static_cast<uint64_t>(s);
  }
  const size_t m = at[n];
  if (m <= 1) {
    lengths[m == 0 ? 0 : keys[0] & 511] = 1;
    return;
  }
  std::sort(keys.begin() + at[n - 1], keys.begin() + static_cast<std::ptrdiff_t>(m));

  // Two-queue Huffman construction: leaves in ascending weight, then the internal
  // nodes, which are made in ascending weight too.
  std::array<uint64_t, 2 * kMaxSymbols> weight;
  std::array<uint16_t, 2 * kMaxSymbols> parent;
  for (size_t i = 0; i < m; ++i) weight[i] = keys[i] >> 9;
  size_t leaf = 0, inner = m, made = m;
  auto takeSmallest = [&]() {
    if (leaf < m && (inner >= made || weight[leaf] <= weight[inner])) return leaf++;
    return inner++;
  };
  for (; made < 2 * m - 1; ++made) {
    size_t a = takeSmallest();
    size_t b = takeSmallest();
    weight[made] = weight[a] + weight[b];
    parent[a] = parent[b] = static_cast<uint16_t>(made);
  }
  std::array<uint8_t, 2 * kMaxSymbols> depth;
  depth[2 * m - 2] = 0;
  std::array<uint32_t, 64> count{};
  for (size_t i = 2 * m - 1; i-- > 0;) {
    if (i != 2 * m - 2) depth[i] = static_cast<uint8_t>(depth[parent[i]] + 1);
    if (i < m) ++count[std::min<int>(depth[i], limit)];
  }

  // Depths beyond the limit were counted at the limit; while the code space is
  // over-full, move one leaf down a level from the deepest level that can take it.
  uint64_t total = 0;
  for (int len = 1; len <= limit; ++len) total += static_cast<uint64_t>(count[len]) << (limit - len);
  while (total > (uint64_t{1} << limit)) {
    --count[limit];
    for (int len = limit - 1; len > 0; --len) {
      if (count[len]) {
        --count[len];
        count[len + 1] += 2;
        break;
      }
    }
    --total;
  }
  // The least frequent symbols take the longest codes.
  size_t next = 0;
  for (int len = limit; len > 0; --len)
    for (uint32_t k = 0; k < count[len]; ++k) lengths[keys[next++] & 511] = static_cast<uint8_t>(len);
}

void AssignCodes(const uint8_t* lengths, int n, uint16_t* codes) {
  std::array<uint32_t, 17> count{};
  for (int s = 0; s < n; ++s) ++count[lengths[s]];
  count[0] = 0;
  std::array<uint32_t, 17> next{};
  for (int len = 1; len <= 16; ++len) next[len] = (next[len - 1] + count[len - 1]) << 1;
  for (int s = 0; s < n; ++s) {
    int len = lengths[s];
    if (!len) {
      codes[s] = 0;
      continue;
    }
    const uint32_t code = next[len]++;
    const uint32_t rev = (uint32_t{kReversedByte[code & 0xFF]} << 8) | kReversedByte[code >> 8];
    codes[s] = static_cast<uint16_t>(rev >> (16 - len));
  }
}

}  // namespace codec
