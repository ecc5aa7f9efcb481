// Reading texts out of the character-major pool for the sheet output. A text's
// bytes lie one per character plane, cellRows apart: an entry is read down its
// planes to its NUL, one load and one store a byte. The entries read together are
// mostly near one another (cells take pool entries in reading order), so the
// planes' cache lines one entry brings in serve the next ones.
#include "convert/office/SheetTables.h"

void SheetTables::Gather(const int* entries, int count, char* out, int stride, int most, int* lengths, uint8_t* breaks) const {
  count = std::clamp(count, 0, kGatherMax);
  const int limit = std::min({charLimit_, stride, most});
  const size_t step = static_cast<size_t>(call_.cellRows);
  for (int j = 0; j < count; ++j) {
    int n = 0;
    bool lineBreak = false;
    if (Valid(entries[j]) && limit > 0) {
      const char* byte = call_.Cell(1, entries[j]);
      char* slot = out + static_cast<size_t>(j) * static_cast<size_t>(stride);
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
