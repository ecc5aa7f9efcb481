// The encoder's colour fetch in AVX2 (see JKernels.h and JEncodeRows.cpp): sixteen
// pixels of two rows at a time. Each product is the high half of an unsigned 16-bit
// multiply by the constant scaled to 16 fractional bits (G x 601 >> 10 is
// G x 38464 >> 16, and so on), so every result equals the per-pixel formula; the
// four Cb or Cr values of a 2 x 2 square are summed in 16 bits, where they fit.
// Then the forward DCT and quantisation of two blocks at once in 16-bit lanes.
#include "image/jpeg/JKernels.h"

#include "image/jpeg/JDct.h"
#include "image/jpeg/JEncoder.h"
#include "image/jpeg/JZigzag.h"

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

JENC_TARGET inline __m256i MulHi(__m256i v, int c) { return _mm256_mulhi_epu16(v, _mm256_set1_epi16(static_cast<short>(c))); }

// Y of sixteen pixels stored, their Cb and Cr returned unshifted.
JENC_TARGET inline void Ycc(const Channels& p, int16_t* y, __m256i& cb, __m256i& cr) {
  const __m256i Y = _mm256_sub_epi16(
      _mm256_add_epi16(_mm256_add_epi16(MulHi(p.g, 38464), MulHi(p.b, 7472)), MulHi(p.r, 19584)), _mm256_set1_epi16(128));
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


namespace {

// Eight rows of two blocks (block a in the low 128 bits, b in the high) transposed
// within each half: out[c] holds column c of both.
JENC_TARGET inline void Transpose16(const __m256i* in, __m256i* out) {
  const __m256i t0 = _mm256_unpacklo_epi16(in[0], in[1]), t1 = _mm256_unpackhi_epi16(in[0], in[1]);
  const __m256i t2 = _mm256_unpacklo_epi16(in[2], in[3]), t3 = _mm256_unpackhi_epi16(in[2], in[3]);
  const __m256i t4 = _mm256_unpacklo_epi16(in[4], in[5]), t5 = _mm256_unpackhi_epi16(in[4], in[5]);
  const __m256i t6 = _mm256_unpacklo_epi16(in[6], in[7]), t7 = _mm256_unpackhi_epi16(in[6], in[7]);
  // Columns 0-1, 2-3, 4-5 and 6-7 of rows 0-3, then of rows 4-7.
  const __m256i u0 = _mm256_unpacklo_epi32(t0, t2), u1 = _mm256_unpackhi_epi32(t0, t2);
  const __m256i u2 = _mm256_unpacklo_epi32(t1, t3), u3 = _mm256_unpackhi_epi32(t1, t3);
  const __m256i u4 = _mm256_unpacklo_epi32(t4, t6), u5 = _mm256_unpackhi_epi32(t4, t6);
  const __m256i u6 = _mm256_unpacklo_epi32(t5, t7), u7 = _mm256_unpackhi_epi32(t5, t7);
  out[0] = _mm256_unpacklo_epi64(u0, u4);
  out[1] = _mm256_unpackhi_epi64(u0, u4);
  out[2] = _mm256_unpacklo_epi64(u1, u5);
  out[3] = _mm256_unpackhi_epi64(u1, u5);
  out[4] = _mm256_unpacklo_epi64(u2, u6);
  out[5] = _mm256_unpackhi_epi64(u2, u6);
  out[6] = _mm256_unpacklo_epi64(u3, u7);
  out[7] = _mm256_unpackhi_epi64(u3, u7);
}

// Two 16-bit inputs interleaved for the 32-bit multiply-adds: low and high four lanes
// of each half.
struct Interleaved {
  __m256i lo, hi;
};

JENC_TARGET inline Interleaved Zip(__m256i a, __m256i b) {
  return {_mm256_unpacklo_epi16(a, b), _mm256_unpackhi_epi16(a, b)};
}

// (a x ca + b x cb + add) >> shift in 32 bits, back in 16-bit lanes in order.
template <int add, int shift>
JENC_TARGET inline __m256i MulAdd(const Interleaved& ab, int ca, int cb) {
  const __m256i k = _mm256_set1_epi32(static_cast<int>(static_cast<uint32_t>(static_cast<uint16_t>(cb)) << 16 |
                                                       static_cast<uint16_t>(ca)));
  __m256i lo = _mm256_madd_epi16(ab.lo, k), hi = _mm256_madd_epi16(ab.hi, k);
  if (add) {
    lo = _mm256_add_epi32(lo, _mm256_set1_epi32(add));
    hi = _mm256_add_epi32(hi, _mm256_set1_epi32(add));
  }
  return _mm256_packs_epi32(_mm256_srai_epi32(lo, shift), _mm256_srai_epi32(hi, shift));
}

// The forward 8-point transform of JFdct.cpp, term for term, on sixteen lanes; each
// product pair is one multiply-add in 32 bits, shifted by 9; the eight outputs get
// `add` before their shift (the last pass folds its rounding in: ((p >> 9) + 8) >> 4
// is (p + 4096) >> 13). The sums between the products stay within 16 bits.
template <int add, int shift>
JENC_TARGET inline void ForwardPass16(const __m256i* x, __m256i* out) {
  using namespace jdct;
  const __m256i s0 = _mm256_add_epi16(x[0], x[7]), s1 = _mm256_add_epi16(x[1], x[6]);
  const __m256i s2 = _mm256_add_epi16(x[2], x[5]), s3 = _mm256_add_epi16(x[3], x[4]);
  const __m256i d0 = _mm256_sub_epi16(x[0], x[7]), d1 = _mm256_sub_epi16(x[1], x[6]);
  const __m256i d2 = _mm256_sub_epi16(x[2], x[5]), d3 = _mm256_sub_epi16(x[3], x[4]);
  const Interleaved a01 = Zip(_mm256_add_epi16(s0, s3), _mm256_add_epi16(s1, s2));
  const Interleaved a23 = Zip(_mm256_sub_epi16(s0, s3), _mm256_sub_epi16(s1, s2));
  out[0] = MulAdd<add, shift>(a01, kC4, kC4);
  out[4] = MulAdd<add, shift>(a01, kC4, -kC4);
  out[2] = MulAdd<add, shift>(a23, kC2, kS2);
  out[6] = MulAdd<add, shift>(a23, kS2, -kC2);
  const Interleaved d12 = Zip(d1, d2);
  const __m256i m = MulAdd<0, 9>(d12, kC4, kC4);
  const __m256i n = MulAdd<0, 9>(d12, kC4, -kC4);
  const Interleaved p03 = Zip(_mm256_add_epi16(d0, m), _mm256_add_epi16(d3, n));
  const Interleaved k03 = Zip(_mm256_sub_epi16(d0, m), _mm256_sub_epi16(d3, n));
  out[1] = MulAdd<add, shift>(p03, kC1, kS1);
  out[7] = MulAdd<add, shift>(p03, kS1, -kC1);
  out[3] = MulAdd<add, shift>(k03, kC3, -kS3);
  out[5] = MulAdd<add, shift>(k03, kS3, kC3);
}

JENC_TARGET inline __m256i Row16(const uint16_t* table, int row) {
  return _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(table + 8 * row)));
}

// Row r of both blocks, with two extra bits.
JENC_TARGET inline __m256i LoadRows(const int16_t* a, int64_t strideA, const int16_t* b, int64_t strideB, int r) {
  const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + r * strideA));
  const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + r * strideB));
  return _mm256_slli_epi16(_mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1), 2);
}

// Row v of the coefficients of both blocks divided (each place has one form, the
// other giving zero), the sign restored, and stored.
JENC_TARGET inline __m256i Quantize16(__m256i c, const Divisors16& d, int v, int16_t* qa, int16_t* qb) {
  const __m256i x = _mm256_abs_epi16(c);
  const __m256i byShifts =
      _mm256_add_epi16(_mm256_mulhi_epu16(x, Row16(d.shiftA, v)), _mm256_mulhi_epu16(x, Row16(d.shiftB, v)));
  const __m256i byReciprocal = _mm256_mulhi_epu16(_mm256_mulhi_epu16(x, Row16(d.reciprocal, v)), Row16(d.scale, v));
  const __m256i q = _mm256_sign_epi16(_mm256_add_epi16(byShifts, byReciprocal), c);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(qa + 8 * v), _mm256_castsi256_si128(q));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(qb + 8 * v), _mm256_extracti128_si256(q, 1));
  return q;
}

// Byte j of the zigzag places 16g to 16g + 15 from the sixteen bytes of rows 2s and
// 2s + 1 (natural places 16s to 16s + 15), else zero (index 0x80).
struct ZigzagMasks {
  alignas(16) uint8_t mask[4][4][16];
  constexpr ZigzagMasks() : mask() {
    for (int g = 0; g < 4; ++g) {
      for (int s = 0; s < 4; ++s) {
        for (int j = 0; j < 16; ++j) {
          const int n = kJZigzag[16 * g + j];
          mask[g][s][j] = static_cast<uint8_t>(n / 16 == s ? n % 16 : 0x80);
        }
      }
    }
  }
};
constexpr ZigzagMasks kZigzagMasks;

JENC_TARGET inline __m256i ZigzagShuffle(__m256i rowPair, int g, int s) {
  const auto* m = reinterpret_cast<const __m128i*>(kZigzagMasks.mask[g][s]);
  return _mm256_shuffle_epi8(rowPair, _mm256_broadcastsi128_si256(_mm_load_si128(m)));
}

// Zigzag places 16g to 16g + 15 of both blocks, nonzero or not: bits 0-15 for block
// a, 16-31 for b.
JENC_TARGET inline uint32_t ZigzagGroup(__m256i p0, __m256i p1, __m256i p2, __m256i p3, int g) {
  const __m256i places = _mm256_or_si256(_mm256_or_si256(ZigzagShuffle(p0, g, 0), ZigzagShuffle(p1, g, 1)),
                                         _mm256_or_si256(ZigzagShuffle(p2, g, 2), ZigzagShuffle(p3, g, 3)));
  return ~static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(places, _mm256_setzero_si256())));
}

}  // namespace

JENC_TARGET void FdctQuantizePairAvx2(const int16_t* a, int64_t strideA, const int16_t* b, int64_t strideB,
                                      const Divisors16& d, int16_t* qa, int16_t* qb, uint64_t* masks) {
  __m256i rows[8] = {LoadRows(a, strideA, b, strideB, 0), LoadRows(a, strideA, b, strideB, 1),
                     LoadRows(a, strideA, b, strideB, 2), LoadRows(a, strideA, b, strideB, 3),
                     LoadRows(a, strideA, b, strideB, 4), LoadRows(a, strideA, b, strideB, 5),
                     LoadRows(a, strideA, b, strideB, 6), LoadRows(a, strideA, b, strideB, 7)};
  __m256i cols[8], w[8];
  Transpose16(rows, cols);
  ForwardPass16<0, 9>(cols, w);
  Transpose16(w, rows);
  ForwardPass16<4096, 13>(rows, w);
  // w[v] holds row v of the coefficients of both blocks. Saturating packs keep zero
  // and nonzero apart: p holds two rows of a, then the same two of b.
  const __m256i p0 = _mm256_packs_epi16(Quantize16(w[0], d, 0, qa, qb), Quantize16(w[1], d, 1, qa, qb));
  const __m256i p1 = _mm256_packs_epi16(Quantize16(w[2], d, 2, qa, qb), Quantize16(w[3], d, 3, qa, qb));
  const __m256i p2 = _mm256_packs_epi16(Quantize16(w[4], d, 4, qa, qb), Quantize16(w[5], d, 5, qa, qb));
  const __m256i p3 = _mm256_packs_epi16(Quantize16(w[6], d, 6, qa, qb), Quantize16(w[7], d, 7, qa, qb));
  const uint32_t g0 = ZigzagGroup(p0, p1, p2, p3, 0), g1 = ZigzagGroup(p0, p1, p2, p3, 1);
  const uint32_t g2 = ZigzagGroup(p0, p1, p2, p3, 2), g3 = ZigzagGroup(p0, p1, p2, p3, 3);
  masks[0] = uint64_t{g0 & 0xFFFF} | uint64_t{g1 & 0xFFFF} << 16 | uint64_t{g2 & 0xFFFF} << 32 |
             uint64_t{g3 & 0xFFFF} << 48;
  masks[1] = uint64_t{g0 >> 16} | uint64_t{g1 >> 16} << 16 | uint64_t{g2 >> 16} << 32 | uint64_t{g3 >> 16} << 48;
}

#else

// The same products one coefficient at a time.
void FdctQuantizePairAvx2(const int16_t* a, int64_t strideA, const int16_t* b, int64_t strideB, const Divisors16& d,
                          int16_t* qa, int16_t* qb, uint64_t* masks) {
  const int16_t* in[2] = {a, b};
  const int64_t stride[2] = {strideA, strideB};
  int16_t* out[2] = {qa, qb};
  for (int k = 0; k < 2; ++k) {
    int32_t samples[64], coef[64];
    for (int r = 0; r < 8; ++r) {
      for (int i = 0; i < 8; ++i) samples[r * 8 + i] = in[k][r * stride[k] + i];
    }
    JEncoder::Fdct(samples, coef);
    for (int i = 0; i < 64; ++i) {
      const uint32_t x = static_cast<uint32_t>(coef[i] < 0 ? -coef[i] : coef[i]) & 0xFFFF;
      const uint32_t v = ((x * d.shiftA[i]) >> 16) + ((x * d.shiftB[i]) >> 16) +
                         ((((x * d.reciprocal[i]) >> 16) * d.scale[i]) >> 16);
      out[k][i] = static_cast<int16_t>(coef[i] < 0 ? -static_cast<int32_t>(v) : static_cast<int32_t>(v));
    }
    masks[k] = 0;
    for (int z = 0; z < 64; ++z) masks[k] |= static_cast<uint64_t>(out[k][kJZigzag[z]] != 0) << z;
  }
}

int YccPairBgrAvx2(const uint8_t*, const uint8_t*, int, int16_t*, int16_t*, int16_t*, int16_t*) { return 0; }

int YccPairPlanesAvx2(const uint8_t* const*, const uint8_t* const*, int, int16_t*, int16_t*, int16_t*, int16_t*) {
  return 0;
}

#endif

}  // namespace jkern
