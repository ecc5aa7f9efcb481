#include "codec/deflate/HuffmanDecodeTable.h"

#include <array>

#include "codec/CodeLengths.h"
#include "codec/CodecError.h"

namespace codec::huff {

namespace {
constexpr int kMaxBits = 15;

// Each byte with its bits in reverse order, built once at compile time.
constexpr std::array<uint8_t, 256> MakeReversedBytes() {
  std::array<uint8_t, 256> t{};
  for (uint32_t b = 0; b < 256; ++b) {
    uint32_t r = 0;
    for (int i = 0; i < 8; ++i) r |= ((b >> i) & 1) << (7 - i);
    t[b] = static_cast<uint8_t>(r);
  }
  return t;
}
constexpr std::array<uint8_t, 256> kReversedBytes = MakeReversedBytes();

// The low len bits of code (len at most 15) in reverse order.
uint32_t Reverse(uint32_t code, int len) {
  const uint32_t r16 = static_cast<uint32_t>(kReversedBytes[code & 0xFF]) << 8 | kReversedBytes[(code >> 8) & 0xFF];
  return r16 >> (16 - len);
}
}  // namespace

void BuildDecodeTable(const uint8_t* lengths, int n, const uint32_t* entries, int mainBits,
                      std::vector<uint32_t>& table) {
  const std::array<int, kMaxBits + 1> count = CountCodeLengths<kMaxBits>(lengths, n, err::kCodeTooLong, err::kOverSubscribed);
  std::array<uint32_t, kMaxBits + 2> next{};
  for (int len = 1; len <= kMaxBits; ++len) next[len + 1] = (next[len] + count[len]) << 1;

  const uint32_t mainSize = 1u << mainBits;
  const uint32_t invalid = MakeEntry(0, kInvalid, 0);
  table.assign(mainSize, invalid);

  // Codes longer than mainBits: each main-table slot they share gets a sub-table
  // wide enough for the longest of them.
  std::vector<uint8_t> subBits;
  std::vector<uint32_t> codes(n);
  std::array<uint32_t, kMaxBits + 2> assign = next;
  for (int s = 0; s < n; ++s) {
    int len = lengths[s];
    if (len == 0) continue;
    codes[s] = Reverse(assign[len]++, len);
    if (len > mainBits) {
      if (subBits.empty()) subBits.assign(mainSize, 0);
      uint32_t slot = codes[s] & (mainSize - 1);
      if (len - mainBits > subBits[slot]) subBits[slot] = static_cast<uint8_t>(len - mainBits);
    }
  }
  if (!subBits.empty()) {
    for (uint32_t slot = 0; slot < mainSize; ++slot) {
      if (subBits[slot] == 0) continue;
      uint32_t start = static_cast<uint32_t>(table.size());
      table[slot] = MakeEntry(start, kSubtable, subBits[slot]) | static_cast<uint32_t>(mainBits);
      table.resize(start + (1u << subBits[slot]), invalid);
    }
  }
  for (int s = 0; s < n; ++s) {
    int len = lengths[s];
    if (len == 0) continue;
    if (len <= mainBits) {
      for (uint32_t i = codes[s]; i < mainSize; i += 1u << len) table[i] = entries[s] | static_cast<uint32_t>(len);
    } else {
      uint32_t ptr = table[codes[s] & (mainSize - 1)];
      uint32_t sub = ExtraBits(ptr);
      uint32_t subLen = static_cast<uint32_t>(len - mainBits);
      for (uint32_t i = codes[s] >> mainBits; i < (1u << sub); i += 1u << subLen)
        table[Value(ptr) + i] = entries[s] | subLen;
    }
  }
}

}  // namespace codec::huff
