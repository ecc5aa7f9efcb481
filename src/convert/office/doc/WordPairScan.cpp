#include "convert/office/doc/WordPairScan.h"

#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

int64_t OrdinaryPairsEnd(const uint8_t* bytes, int64_t pos, int64_t limit, int64_t size) {
#if defined(__SSE2__)
  // Eight pairs at a time while they and the low byte after them lie before the
  // limit: the stops below, per 16-bit unit (low byte c, high byte h).
  const __m128i lowMask = _mm_set1_epi16(0xFF), zero = _mm_setzero_si128();
  while (pos >= 0 && pos + 18 <= limit) {
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + pos));
    const __m128i after = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + pos + 2));
    const __m128i c = _mm_and_si128(units, lowMask), h = _mm_srli_epi16(units, 8);
    const __m128i cOutside = _mm_or_si128(_mm_cmplt_epi16(c, _mm_set1_epi16(0x20)), _mm_cmpgt_epi16(c, _mm_set1_epi16(0x7F)));
    const __m128i nextZero = _mm_cmpeq_epi16(_mm_and_si128(after, lowMask), zero);
    const __m128i stop = _mm_or_si128(
        _mm_and_si128(_mm_cmpeq_epi16(h, zero), _mm_or_si128(cOutside, nextZero)),
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(h, _mm_set1_epi16(0x20)), _mm_cmpeq_epi16(h, _mm_set1_epi16(0xF0))),
                     _mm_cmpeq_epi16(units, _mm_set1_epi16(0x1010))));
    const auto mask = static_cast<unsigned>(_mm_movemask_epi8(stop));
    if (mask != 0) return pos + (std::countr_zero(mask) & ~1);  // the pairs before the first stop
    pos += 16;
  }
#endif
  while (pos >= 0 && pos < limit) {
    const uint8_t c = bytes[pos], h = bytes[pos + 1];
    if (h == 0) {
      if (c < 0x20 || c >= 0x80 || pos + 2 >= size || bytes[pos + 2] == 0) break;
    } else if (h == 0x20 || h == 0xF0 || (c == 0x10 && h == 0x10)) {
      break;
    }
    pos += 2;
  }
  return pos;
}
