// The encoder's colour fetch in AVX2 (see JKernels.h and JEncodeRows.cpp): sixteen
// pixels of two rows at a time. Each product is the high half of an unsigned 16-bit
// multiply by the constant scaled to 16 fractional bits (G x 601 >> 10 is
// G x 38464 >> 16, and so on), so every result equals the per-pixel formula; the
// four Cb or Cr values of a 2 x 2 square are summed in 16 bits, where they fit.
#include "image/codecs/jpeg/JKernels.h"

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define JENC_AVX2 1
#include <immintrin.h>
#endif

namespace jkern {

#if defined(JENC_AVX2)

namespace {

#define JENC_TARGET __attribute__((target("avx2")))

// Byte i of channel c (0 B, 1 G, 2 R) of sixteen triples, from byte 3i + c of 48:
// one shuffle of each sixteen, or-ed.
struct SplitMasks {
  alignas(16) uint8_t mask[3][3][16];
  constexpr SplitMasks() : mask() {
    for (int c = 0; c < 3; ++c) {
      for (int m = 0; m < 3; ++m) {
        for (int i = 0; i < 16; ++i) {
          const int at = 3 * i + c - 16 * m;
          mask[c][m][i] = static_cast<uint8_t>(at >= 0 && at < 16 ? at : 0x80);
        }
      }
    }
  }
};
constexpr SplitMasks kSplit;

struct Channels {
  __m256i r, g, b;  // sixteen pixels, 16-bit lanes
};

JENC_TARGET inline __m256i Widen(const uint8_t* p) {
  return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

JENC_TARGET inline Channels FromBgr(const uint8_t* p) {
  const __m128i v[3] = {_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)),
                        _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16)),
                        _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32))};
  __m256i ch[3];
  for (int c = 0; c < 3; ++c) {
    const __m128i* m = reinterpret_cast<const __m128i*>(kSplit.mask[c]);
    const __m128i bytes = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(v[0], _mm_load_si128(m)),
                                                    _mm_shuffle_epi8(v[1], _mm_load_si128(m + 1))),
                                       _mm_shuffle_epi8(v[2], _mm_load_si128(m + 2)));
    ch[c] = _mm256_cvtepu8_epi16(bytes);
  }
  return {ch[2], ch[1], ch[0]};
}

JENC_TARGET inline __m256i MulHi(__m256i v, int c) {
  return _mm256_mulhi_epu16(v, _mm256_set1_epi16(static_cast<short>(c)));
}

// Y of sixteen pixels stored, their Cb and Cr returned unshifted.
JENC_TARGET inline void Ycc(const Channels& p, int16_t* y, __m256i& cb, __m256i& cr) {
  const __m256i sum = _mm256_add_epi16(_mm256_add_epi16(MulHi(p.g, 38464), MulHi(p.b, 7472)), MulHi(p.r, 19584));
  const __m256i Y = _mm256_sub_epi16(sum, _mm256_set1_epi16(128));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(y), Y);
  cb = _mm256_sub_epi16(_mm256_sub_epi16(_mm256_srli_epi16(p.b, 1), MulHi(p.g, 21712)), MulHi(p.r, 11056));
  cr = _mm256_sub_epi16(_mm256_sub_epi16(_mm256_srli_epi16(p.r, 1), MulHi(p.g, 27440)), MulHi(p.b, 5328));
}

// Sixteen pixels of two rows: Y of both, and the eight Cb and Cr of their squares.
JENC_TARGET inline void Pair(const Channels& top, const Channels& bottom, int16_t* yTop, int16_t* yBottom, int16_t* cb,
                             int16_t* cr) {
  __m256i cbTop, crTop, cbBottom, crBottom;
  Ycc(top, yTop, cbTop, crTop);
  Ycc(bottom, yBottom, cbBottom, crBottom);
  // Columns summed, then neighbours: in each 128-bit lane four Cb sums, then four Cr.
  const __m256i sums = _mm256_hadd_epi16(_mm256_add_epi16(cbTop, cbBottom), _mm256_add_epi16(crTop, crBottom));
  const __m256i avg = _mm256_permute4x64_epi64(_mm256_srai_epi16(sums, 2), 0xD8);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(cb), _mm256_castsi256_si128(avg));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(cr), _mm256_extracti128_si256(avg, 1));
}

}  // namespace

JENC_TARGET int YccPairBgrAvx2(const uint8_t* top, const uint8_t* bottom, int n, int16_t* yTop, int16_t* yBottom,
                               int16_t* cb, int16_t* cr) {
  int x = 0;
  for (; x + 16 <= n; x += 16) {
    Pair(FromBgr(top + 3 * x), FromBgr(bottom + 3 * x), yTop + x, yBottom + x, cb + x / 2, cr + x / 2);
  }
  return x;
}

JENC_TARGET int YccPairPlanesAvx2(const uint8_t* const* top, const uint8_t* const* bottom, int n, int16_t* yTop,
                                  int16_t* yBottom, int16_t* cb, int16_t* cr) {
  int x = 0;
  for (; x + 16 <= n; x += 16) {
    const Channels t{Widen(top[0] + x), Widen(top[1] + x), Widen(top[2] + x)};
    const Channels b{Widen(bottom[0] + x), Widen(bottom[1] + x), Widen(bottom[2] + x)};
    Pair(t, b, yTop + x, yBottom + x, cb + x / 2, cr + x / 2);
  }
  return x;
}

#else

int YccPairBgrAvx2(const uint8_t*, const uint8_t*, int, int16_t*, int16_t*, int16_t*, int16_t*) { return 0; }

int YccPairPlanesAvx2(const uint8_t* const*, const uint8_t* const*, int, int16_t*, int16_t*, int16_t*, int16_t*) {
  return 0;
}

#endif

}  // namespace jkern
