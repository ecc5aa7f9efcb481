// Reading texts out of the character-major pool for the sheet output. A text's
// bytes lie one per character plane, cellRows apart. The first twelve planes of an
// entry are copied whatever they hold (most cell texts are shorter; planes further
// on are mostly pages no text has touched) and the text's end and any line break
// are then found in two eight-byte words without a branch per byte, so the varying
// lengths cost no mispredicted loop exit; a longer text goes on byte by byte. The entries read together are mostly near one another
// (cells take pool entries in reading order), so the planes' cache lines one entry
// brings in serve the next ones.
#include "convert/office/xls/SheetTables.h"

#include <bit>
#include <cstring>

namespace {

constexpr uint64_t kOnes = 0x0101010101010101ULL;
constexpr uint64_t kHighs = 0x8080808080808080ULL;

// High bit set in each byte of w that is zero (exact up to the first such byte).
uint64_t ZeroBytes(uint64_t w) { return (w - kOnes) & ~w & kHighs; }
// The low `bytes` bytes of a word (0 to 8).
uint64_t LowBytes(int bytes) { return bytes >= 8 ? ~0ULL : (1ULL << (8 * bytes)) - 1; }

constexpr int kQuickPlanes = 12;
constexpr int kAhead = 8;

}  // namespace

void SheetTables::Gather(const int* entries, int count, char* out, int stride, int most, int* lengths, uint8_t* breaks) const {
  count = std::clamp(count, 0, kGatherMax);
  const int limit = std::min({charLimit_, stride, most});
  const size_t step = static_cast<size_t>(call_.cellRows);
  const int aheadPlanes = std::min(kQuickPlanes, limit);  // planes that exist: limit is below cellChars
  for (int j = 0; j < count; ++j) {
    // The planes' lines of an entry a few ahead are asked for early, when it starts
    // a new run of 32 entries: the plane streams are more than the processor follows.
    if (j + kAhead < count && Valid(entries[j + kAhead]) && entries[j + kAhead] / 32 != entries[j + kAhead - 1] / 32) {
      const char* ahead = call_.Cell(0, entries[j + kAhead]);
      for (int k = 0; k <= aheadPlanes; ++k) __builtin_prefetch(ahead + static_cast<size_t>(k) * step);
    }
    int n = 0;
    bool lineBreak = false;
    if (Valid(entries[j]) && limit > 0) {
      const char* byte = call_.Cell(1, entries[j]);
      char* slot = out + static_cast<size_t>(j) * static_cast<size_t>(stride);
      if (limit >= kQuickPlanes) {
        // The planes' bytes put together into two words (the high word's top four
        // bytes zero: a NUL after the planes read), then stored at once.
        uint64_t low = 0, high = 0;
        for (int k = 0; k < 8; ++k) low |= static_cast<uint64_t>(static_cast<uint8_t>(byte[static_cast<size_t>(k) * step])) << (8 * k);
        for (int k = 0; k < kQuickPlanes - 8; ++k) {
          high |= static_cast<uint64_t>(static_cast<uint8_t>(byte[static_cast<size_t>(k + 8) * step])) << (8 * k);
        }
        std::memcpy(slot, &low, 8);
        std::memcpy(slot + 8, &high, kQuickPlanes - 8);
        const int lowEnd = std::countr_zero(ZeroBytes(low)) / 8;
        n = lowEnd < 8 ? lowEnd : 8 + std::countr_zero(ZeroBytes(high)) / 8;
        const uint64_t breaksLow = ZeroBytes(low ^ (kOnes * 0x0B)) & LowBytes(n);
        const uint64_t breaksHigh = ZeroBytes(high ^ (kOnes * 0x0B)) & LowBytes(std::max(n - 8, 0));
        lineBreak = (breaksLow | breaksHigh) != 0;
        byte += kQuickPlanes * step;
        if (n < kQuickPlanes) {
          lengths[j] = n;
          breaks[j] = lineBreak ? 1 : 0;
          continue;
        }
      }
      for (; n < limit; ++n, byte += step) {
        const char c = *byte;
        if (c == '\0') break;
        lineBreak = lineBreak || c == '\x0B';
        slot[n] = c;
      }
    }
    lengths[j] = n;
    breaks[j] = lineBreak ? 1 : 0;
  }
}
