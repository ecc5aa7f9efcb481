// The encoder's forward DCT and quantisation in AVX2 (see JKernels.h): two blocks at
// once, one in each 128-bit half, in 16-bit lanes. Each pair of products is one
// 32-bit multiply-add, the quantisation the high halves of 16-bit products, and the
// nonzero places come out in zigzag order, shuffled from the quantised rows.
#include "image/codecs/jpeg/JKernels.h"

#include "image/codecs/jpeg/JDct.h"
#include "image/codecs/jpeg/JEncoder.h"
#include "image/codecs/jpeg/JZigzag.h"

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define JFDCT_AVX2 1
#include <immintrin.h>
#endif

namespace jkern {

#if defined(JFDCT_AVX2)

#define JFDCT_TARGET __attribute__((target("avx2")))

namespace {

// Eight rows of two blocks (block a in the low 128 bits, b in the high) transposed
// within each half: out[c] holds column c of both.
JFDCT_TARGET inline void Transpose16(const __m256i* in, __m256i* out) {
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

JFDCT_TARGET inline Interleaved Zip(__m256i a, __m256i b) {
  return {_mm256_unpacklo_epi16(a, b), _mm256_unpackhi_epi16(a, b)};
}

// (a x ca + b x cb + add) >> shift in 32 bits, back in 16-bit lanes in order.
template <int add, int shift>
JFDCT_TARGET inline __m256i MulAdd(const Interleaved& ab, int ca, int cb) {
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
JFDCT_TARGET inline void ForwardPass16(const __m256i* x, __m256i* out) {
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

JFDCT_TARGET inline __m256i Row16(const uint16_t* table, int row) {
  return _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(table + 8 * row)));
}

// Row r of both blocks, with two extra bits.
JFDCT_TARGET inline __m256i LoadRows(const int16_t* a, int64_t strideA, const int16_t* b, int64_t strideB, int r) {
  const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + r * strideA));
  const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + r * strideB));
  return _mm256_slli_epi16(_mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1), 2);
}

// Row v of the coefficients of both blocks divided (each place has one form, the
// other giving zero), the sign restored, and stored.
JFDCT_TARGET inline __m256i Quantize16(__m256i c, const Divisors16& d, int v, int16_t* qa, int16_t* qb) {
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

JFDCT_TARGET inline __m256i ZigzagShuffle(__m256i rowPair, int g, int s) {
  const auto* m = reinterpret_cast<const __m128i*>(kZigzagMasks.mask[g][s]);
  return _mm256_shuffle_epi8(rowPair, _mm256_broadcastsi128_si256(_mm_load_si128(m)));
}

// Zigzag places 16g to 16g + 15 of both blocks, nonzero or not: bits 0-15 for block
// a, 16-31 for b.
JFDCT_TARGET inline uint32_t ZigzagGroup(__m256i p0, __m256i p1, __m256i p2, __m256i p3, int g) {
  const __m256i places = _mm256_or_si256(_mm256_or_si256(ZigzagShuffle(p0, g, 0), ZigzagShuffle(p1, g, 1)),
                                         _mm256_or_si256(ZigzagShuffle(p2, g, 2), ZigzagShuffle(p3, g, 3)));
  return ~static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(places, _mm256_setzero_si256())));
}

}  // namespace

JFDCT_TARGET void FdctQuantizePairAvx2(const int16_t* a, int64_t strideA, const int16_t* b, int64_t strideB,
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

#endif

}  // namespace jkern
