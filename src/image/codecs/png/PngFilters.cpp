#include "image/codecs/png/PngFilters.h"

#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

int Paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

#if defined(__SSE2__)

// N bytes as the low bytes of a number (x86 is little-endian), read and written in
// whole pieces of 4, 2 and 1 bytes: a copy through memory of an odd size would be
// stored piecewise and read back whole, which stalls.
template <int N>
inline uint64_t LoadBytes(const uint8_t* p) {
  if constexpr (N == 8) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
  } else if constexpr (N >= 4) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v | LoadBytes<N - 4>(p + 4) << 32;
  } else if constexpr (N >= 2) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v | LoadBytes<N - 2>(p + 2) << 16;
  } else if constexpr (N == 1) {
    return *p;
  } else {
    return 0;
  }
}
template <int N>
inline void StoreBytes(uint8_t* p, uint64_t v) {
  if constexpr (N == 8) {
    std::memcpy(p, &v, 8);
  } else if constexpr (N >= 4) {
    const uint32_t low = static_cast<uint32_t>(v);
    std::memcpy(p, &low, 4);
    StoreBytes<N - 4>(p + 4, v >> 32);
  } else if constexpr (N >= 2) {
    const uint16_t low = static_cast<uint16_t>(v);
    std::memcpy(p, &low, 2);
    StoreBytes<N - 2>(p + 2, v >> 16);
  } else if constexpr (N == 1) {
    *p = static_cast<uint8_t>(v);
  }
}

// One pixel of Bpp bytes in the low bytes of a register, the rest zero.
template <int Bpp>
inline __m128i LoadPixel(const uint8_t* p) {
  return _mm_cvtsi64_si128(static_cast<long long>(LoadBytes<Bpp>(p)));
}
template <int Bpp>
inline void StorePixel(uint8_t* p, __m128i v) {
  StoreBytes<Bpp>(p, static_cast<uint64_t>(_mm_cvtsi128_si64(v)));
}

void UpSse2(uint8_t* row, const uint8_t* prev, int64_t n) {
  int64_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(prev + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i), _mm_add_epi8(x, b));
  }
  for (; i < n; ++i) row[i] = static_cast<uint8_t>(row[i] + prev[i]);
}

// Sub, Average and Paeth one pixel at a time: a is the unfiltered pixel to the left,
// c the one above it, b the one above; all start as zero.
template <int Bpp>
void SubSse2(uint8_t* row, int64_t n) {
  __m128i a = _mm_setzero_si128();
  for (int64_t i = 0; i + Bpp <= n; i += Bpp) {
    a = _mm_add_epi8(LoadPixel<Bpp>(row + i), a);
    StorePixel<Bpp>(row + i, a);
  }
}

template <int Bpp>
void AverageSse2(uint8_t* row, const uint8_t* prev, int64_t n) {
  const __m128i one = _mm_set1_epi8(1);
  __m128i a = _mm_setzero_si128();
  for (int64_t i = 0; i + Bpp <= n; i += Bpp) {
    const __m128i b = LoadPixel<Bpp>(prev + i);
    // (a + b) >> 1 without overflow: the rounded-up average less the lost low bit.
    const __m128i avg = _mm_sub_epi8(_mm_avg_epu8(a, b), _mm_and_si128(_mm_xor_si128(a, b), one));
    a = _mm_add_epi8(LoadPixel<Bpp>(row + i), avg);
    StorePixel<Bpp>(row + i, a);
  }
}

inline __m128i Abs16(__m128i v) { return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v)); }

template <int Bpp>
void PaethSse2(uint8_t* row, const uint8_t* prev, int64_t n) {
  const __m128i zero = _mm_setzero_si128();
  __m128i a = zero, c = zero;  // 16-bit lanes
  for (int64_t i = 0; i + Bpp <= n; i += Bpp) {
    const __m128i b = _mm_unpacklo_epi8(LoadPixel<Bpp>(prev + i), zero);
    const __m128i bc = _mm_sub_epi16(b, c), ac = _mm_sub_epi16(a, c);
    const __m128i pa = Abs16(bc), pb = Abs16(ac), pc = Abs16(_mm_add_epi16(bc, ac));
    const __m128i least = _mm_min_epi16(pa, _mm_min_epi16(pb, pc));
    // a where pa is least, else b where pb is, else c.
    const __m128i takeA = _mm_cmpeq_epi16(pa, least);
    const __m128i takeB = _mm_andnot_si128(takeA, _mm_cmpeq_epi16(pb, least));
    const __m128i takeC = _mm_andnot_si128(_mm_or_si128(takeA, takeB), _mm_set1_epi16(-1));
    const __m128i pred = _mm_or_si128(_mm_or_si128(_mm_and_si128(takeA, a), _mm_and_si128(takeB, b)),
                                      _mm_and_si128(takeC, c));
    const __m128i x = _mm_add_epi8(LoadPixel<Bpp>(row + i), _mm_packus_epi16(pred, zero));
    StorePixel<Bpp>(row + i, x);
    a = _mm_unpacklo_epi8(x, zero);
    c = b;
  }
}

template <int Bpp>
bool UnfilterSse2(int filter, uint8_t* row, const uint8_t* prev, int64_t n) {
  switch (filter) {
    case 1: SubSse2<Bpp>(row, n); return true;
    case 3: AverageSse2<Bpp>(row, prev, n); return true;
    case 4: PaethSse2<Bpp>(row, prev, n); return true;
    default: return false;
  }
}

// True when the row was done here. A row whose length is not a whole number of
// pixels (never in an image, possible in a broken pass) takes the portable form.
bool UnfilterFast(int filter, uint8_t* row, const uint8_t* prev, int64_t n, int bpp) {
  if (filter == 2) {
    UpSse2(row, prev, n);
    return true;
  }
  if (n % bpp != 0) return false;
  switch (bpp) {
    case 3: return UnfilterSse2<3>(filter, row, prev, n);
    case 4: return UnfilterSse2<4>(filter, row, prev, n);
    case 6: return UnfilterSse2<6>(filter, row, prev, n);
    case 8: return UnfilterSse2<8>(filter, row, prev, n);
    default: return false;
  }
}

#else

bool UnfilterFast(int, uint8_t*, const uint8_t*, int64_t, int) { return false; }

#endif

}  // namespace

void UnfilterRowPortable(int filter, uint8_t* row, const uint8_t* prev, int64_t n, int bpp) {
  switch (filter) {
    case 1:
      for (int64_t i = bpp; i < n; ++i) row[i] = static_cast<uint8_t>(row[i] + row[i - bpp]);
      break;
    case 2:
      for (int64_t i = 0; i < n; ++i) row[i] = static_cast<uint8_t>(row[i] + prev[i]);
      break;
    case 3:
      for (int64_t i = 0; i < n; ++i) {
        const int left = i >= bpp ? row[i - bpp] : 0;
        row[i] = static_cast<uint8_t>(row[i] + ((left + prev[i]) >> 1));
      }
      break;
    case 4:
      for (int64_t i = 0; i < n; ++i) {
        const int left = i >= bpp ? row[i - bpp] : 0;
        const int upLeft = i >= bpp ? prev[i - bpp] : 0;
        row[i] = static_cast<uint8_t>(row[i] + Paeth(left, prev[i], upLeft));
      }
      break;
    default:
      break;  // None, and unknown filters taken as None
  }
}

void UnfilterRow(int filter, uint8_t* row, const uint8_t* prev, int64_t n, int bpp) {
  if (!UnfilterFast(filter, row, prev, n, bpp)) UnfilterRowPortable(filter, row, prev, n, bpp);
}
