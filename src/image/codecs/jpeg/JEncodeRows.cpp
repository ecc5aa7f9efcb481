// The encoder's colour fetch: the sixteen picture rows of one MCU row, from planes or
// from B, G, R triples, to level-shifted Y at full size and Cb and Cr averaged over
// 2 x 2 squares (4:2:0), in rows as long as the MCU columns cover; beyond the picture
// the last column and row repeat. Per pixel, in integer arithmetic:
//   Y  = (G x 601 >> 10) + (B x 467 >> 12) + (R x 153 >> 9) - 128
//   Cb = (B >> 1) - (G x 1357 >> 12) - (R x 691 >> 12)
//   Cr = (R >> 1) - (G x 1715 >> 12) - (B x 333 >> 12)
// and each chroma sample is the sum of its four shifted right by 2. The AVX2 kernel
// does whole groups of sixteen pixels, or on the portable road SSE2 where the
// processor has it (every x86-64); the rest goes pixel by pixel.
#include <algorithm>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "image/codecs/jpeg/JEncoder.h"
#include "image/codecs/jpeg/JKernels.h"

namespace {

struct Rgb {
  int r, g, b;
};

inline int LumaOf(Rgb p) { return ((p.g * 601) >> 10) + ((p.b * 467) >> 12) + ((p.r * 153) >> 9) - 128; }
inline int CbOf(Rgb p) { return (p.b >> 1) - ((p.g * 1357) >> 12) - ((p.r * 691) >> 12); }
inline int CrOf(Rgb p) { return (p.r >> 1) - ((p.g * 1715) >> 12) - ((p.b * 333) >> 12); }

// Pixels [from, n) of two rows, two at a time; fetch(row, x) gives a pixel of row 0
// (top) or 1 (bottom) for x below the width.
template <class Fetch>
void ConvertPairs(int from, int n, int width, Fetch fetch, int16_t* yTop, int16_t* yBottom, int16_t* cb,
                  int16_t* cr) {
  for (int x = from; x < n; x += 2) {
    int cbSum = 0, crSum = 0;
    for (int i = x; i < x + 2; ++i) {
      const int sx = std::min(i, width - 1);
      const Rgb top = fetch(0, sx), bottom = fetch(1, sx);
      yTop[i] = static_cast<int16_t>(LumaOf(top));
      yBottom[i] = static_cast<int16_t>(LumaOf(bottom));
      cbSum += CbOf(top) + CbOf(bottom);
      crSum += CrOf(top) + CrOf(bottom);
    }
    cb[x / 2] = static_cast<int16_t>(cbSum >> 2);
    cr[x / 2] = static_cast<int16_t>(crSum >> 2);
  }
}

#if defined(__SSE2__)
// Y, Cb and Cr of eight pixels (16-bit lanes) as in JEncodeAvx2.cpp: each product the
// high half of an unsigned 16-bit multiply by the constant scaled to 16 bits.
inline __m128i MulHi(__m128i v, int c) { return _mm_mulhi_epu16(v, _mm_set1_epi16(static_cast<short>(c))); }

inline void Ycc8(__m128i r, __m128i g, __m128i b, int16_t* y, __m128i& cb, __m128i& cr) {
  const __m128i sum = _mm_add_epi16(_mm_add_epi16(MulHi(g, 38464), MulHi(b, 7472)), MulHi(r, 19584));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(y), _mm_sub_epi16(sum, _mm_set1_epi16(128)));
  cb = _mm_sub_epi16(_mm_sub_epi16(_mm_srli_epi16(b, 1), MulHi(g, 21712)), MulHi(r, 11056));
  cr = _mm_sub_epi16(_mm_sub_epi16(_mm_srli_epi16(r, 1), MulHi(g, 27440)), MulHi(b, 5328));
}

// One row's sixteen pixels from R, G and B bytes: Y stored, Cb and Cr of each half.
inline void Row16(const uint8_t* const* rgb, int16_t* y, __m128i* cb, __m128i* cr) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i r = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rgb[0]));
  const __m128i g = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rgb[1]));
  const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rgb[2]));
  Ycc8(_mm_unpacklo_epi8(r, zero), _mm_unpacklo_epi8(g, zero), _mm_unpacklo_epi8(b, zero), y, cb[0], cr[0]);
  Ycc8(_mm_unpackhi_epi8(r, zero), _mm_unpackhi_epi8(g, zero), _mm_unpackhi_epi8(b, zero), y + 8, cb[1], cr[1]);
}

// The sum of four over each 2 x 2 square, shifted right by 2: columns summed, then
// neighbours in 32 bits.
inline __m128i Average(const __m128i* top, const __m128i* bottom) {
  const __m128i ones = _mm_set1_epi16(1);
  const __m128i lo = _mm_srai_epi32(_mm_madd_epi16(_mm_add_epi16(top[0], bottom[0]), ones), 2);
  const __m128i hi = _mm_srai_epi32(_mm_madd_epi16(_mm_add_epi16(top[1], bottom[1]), ones), 2);
  return _mm_packs_epi32(lo, hi);
}

// Sixteen pixels of two rows, given as R, G and B bytes (16 each, top then bottom).
inline void Pair16(const uint8_t* const* top, const uint8_t* const* bottom, int16_t* yTop, int16_t* yBottom,
                   int16_t* cb, int16_t* cr) {
  __m128i cbTop[2], crTop[2], cbBottom[2], crBottom[2];
  Row16(top, yTop, cbTop, crTop);
  Row16(bottom, yBottom, cbBottom, crBottom);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(cb), Average(cbTop, cbBottom));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(cr), Average(crTop, crBottom));
}

// Whole groups of sixteen of the first n pixels; returns how many it did.
int PairsPlanes(const uint8_t* const* top, const uint8_t* const* bottom, int n, int16_t* yTop, int16_t* yBottom,
                int16_t* cb, int16_t* cr) {
  int x = 0;
  for (; x + 16 <= n; x += 16) {
    const uint8_t* t[3] = {top[0] + x, top[1] + x, top[2] + x};
    const uint8_t* b[3] = {bottom[0] + x, bottom[1] + x, bottom[2] + x};
    Pair16(t, b, yTop + x, yBottom + x, cb + x / 2, cr + x / 2);
  }
  return x;
}

// The same from B, G, R triples, split sixteen pixels at a time.
int PairsBgr(const uint8_t* top, const uint8_t* bottom, int n, int16_t* yTop, int16_t* yBottom, int16_t* cb,
             int16_t* cr) {
  uint8_t split[2][3][16];
  const uint8_t* t[3] = {split[0][0], split[0][1], split[0][2]};
  const uint8_t* b[3] = {split[1][0], split[1][1], split[1][2]};
  int x = 0;
  for (; x + 16 <= n; x += 16) {
    for (int i = 0; i < 16; ++i) {
      const uint8_t* p = top + 3 * (x + i);
      const uint8_t* q = bottom + 3 * (x + i);
      split[0][0][i] = p[2], split[0][1][i] = p[1], split[0][2][i] = p[0];
      split[1][0][i] = q[2], split[1][1][i] = q[1], split[1][2][i] = q[0];
    }
    Pair16(t, b, yTop + x, yBottom + x, cb + x / 2, cr + x / 2);
  }
  return x;
}
#endif

}  // namespace

void JEncoder::FetchRowPair(int y0, int y1, int16_t* yTop, int16_t* yBottom, int16_t* cb, int16_t* cr) {
  const int w = params_.width;
  const int n = static_cast<int>(rowStride_);
  if (bgr_.top) {
    const uint8_t* rows[2] = {bgr_.top + y0 * bgr_.step, bgr_.top + y1 * bgr_.step};
    int done = 0;
    if (wide_) {
      done = jkern::YccPairBgrAvx2(rows[0], rows[1], w, yTop, yBottom, cb, cr);
    } else {
#if defined(__SSE2__)
      done = PairsBgr(rows[0], rows[1], w, yTop, yBottom, cb, cr);
#endif
    }
    auto fetch = [&rows](int k, int x) {
      const uint8_t* p = rows[k] + 3 * x;
      return Rgb{p[2], p[1], p[0]};
    };
    ConvertPairs(done, n, w, fetch, yTop, yBottom, cb, cr);
  } else {
    const int64_t at[2] = {int64_t{y0} * w, int64_t{y1} * w};
    const uint8_t* top[3] = {r_ + at[0], g_ + at[0], b_ + at[0]};
    const uint8_t* bottom[3] = {r_ + at[1], g_ + at[1], b_ + at[1]};
    int done = 0;
    if (wide_) {
      done = jkern::YccPairPlanesAvx2(top, bottom, w, yTop, yBottom, cb, cr);
    } else {
#if defined(__SSE2__)
      done = PairsPlanes(top, bottom, w, yTop, yBottom, cb, cr);
#endif
    }
    auto fetch = [&at, this](int k, int x) { return Rgb{r_[at[k] + x], g_[at[k] + x], b_[at[k] + x]}; };
    ConvertPairs(done, n, w, fetch, yTop, yBottom, cb, cr);
  }
}

void JEncoder::FetchMcuRow(int row) {
  const int h = params_.height;
  const int64_t ys = rowStride_, cs = rowStride_ / 2;
  for (int j = 0; j < 8; ++j) {
    const int y0 = std::min(row * 16 + 2 * j, h - 1);
    const int y1 = std::min(row * 16 + 2 * j + 1, h - 1);
    FetchRowPair(y0, y1, rowsY_.data() + 2 * j * ys, rowsY_.data() + (2 * j + 1) * ys, rowsCb_.data() + j * cs,
                 rowsCr_.data() + j * cs);
  }
}
