#include "codec/deflate/HuffmanEncode.h"

#include <algorithm>
#include <array>
#include <vector>

namespace codec {

void BuildCodeLengths(const uint32_t* freq, int n, int limit, uint8_t* lengths) {
  std::fill(lengths, lengths + n, 0);
  std::vector<int> syms;
  for (int s = 0; s < n; ++s)
    if (freq[s]) syms.push_back(s);
  if (syms.size() <= 1) {
    lengths[syms.empty() ? 0 : syms[0]] = 1;
    return;
  }
  std::stable_sort(syms.begin(), syms.end(), [&](int a, int b) { return freq[a] < freq[b]; });

  // Two-queue Huffman construction: leaves in ascending weight, then the internal
  // nodes, which are made in ascending weight too.
  const size_t m = syms.size();
  std::vector<uint64_t> weight(2 * m - 1);
  std::vector<uint32_t> parent(2 * m - 1);
  for (size_t i = 0; i < m; ++i) weight[i] = freq[syms[i]];
  size_t leaf = 0, inner = m, made = m;
  auto takeSmallest = [&]() {
    if (leaf < m && (inner >= made || weight[leaf] <= weight[inner])) return leaf++;
    return inner++;
  };
  for (; made < 2 * m - 1; ++made) {
    size_t a = takeSmallest();
    size_t b = takeSmallest();
    weight[made] = weight[a] + weight[b];
    parent[a] = parent[b] = static_cast<uint32_t>(made);
  }
  std::vector<uint8_t> depth(2 * m - 1, 0);
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
    for (uint32_t k = 0; k < count[len]; ++k) lengths[syms[next++]] = static_cast<uint8_t>(len);
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
    uint32_t code = next[len]++, rev = 0;
    for (int i = 0; i < len; ++i, code >>= 1) rev = (rev << 1) | (code & 1);
    codes[s] = static_cast<uint16_t>(rev);
  }
}

}  // namespace codec
