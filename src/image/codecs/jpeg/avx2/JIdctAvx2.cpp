// The decoder's AVX2 inverse transform of a block stored by columns (see
// JKernels.h): the arithmetic of JIdct.cpp term for term, all eight rows in one
// pass and then all eight columns. Stored by columns, the block loads straight
// into the row pass's lanes, so only one transposition remains. Most blocks of
// real pictures hold their coefficients in the upper left quarter: where the right
// half of the block is zero the row pass drops the terms of inputs 4 to 7, and
// where the lower half is zero the column pass does (a zero input adds nothing to
// any sum, so the bytes are the same). The level shift and the rounding are added
// to the even part once, before the outputs fan out.
#include <cstring>

#include "image/codecs/jpeg/JDct.h"
#include "image/codecs/jpeg/JKernels.h"

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define JIDCT_AVX2 1
#include <immintrin.h>
#endif

namespace jkern {

#if defined(JIDCT_AVX2)

namespace {

#define JIDCT_TARGET __attribute__((target("avx2")))

struct Eight {
  __m256i v0, v1, v2, v3, v4, v5, v6, v7;
};

// The constants as whole vectors in memory. The multiplies take them through a
// pointer the compiler cannot see into: it would otherwise turn each into a chain
// of shifts and adds, several times the instructions of one multiply.
struct alignas(32) Splat {
  int32_t v[8];
  constexpr explicit Splat(int c) : v{c, c, c, c, c, c, c, c} {}
};
enum Constant { kC4, kS2, kC2mS2, kC2pS2, kS1, kC1mS1, kC1pS1, kS3, kC3mS3, kC3pS3, kC2, kC1, kC3, kMinusS3 };
constexpr Splat kSplats[] = {Splat(jdct::kC4),
                             Splat(jdct::kS2),
                             Splat(jdct::kC2 - jdct::kS2),
                             Splat(jdct::kC2 + jdct::kS2),
                             Splat(jdct::kS1),
                             Splat(jdct::kC1 - jdct::kS1),
                             Splat(jdct::kC1 + jdct::kS1),
                             Splat(jdct::kS3),
                             Splat(jdct::kC3 - jdct::kS3),
                             Splat(jdct::kC3 + jdct::kS3),
                             Splat(jdct::kC2),
                             Splat(jdct::kC1),
                             Splat(jdct::kC3),
                             Splat(-jdct::kS3)};

JIDCT_TARGET inline __m256i Mul(__m256i a, const Splat* k, Constant c) {
  return _mm256_mullo_epi32(a, _mm256_load_si256(reinterpret_cast<const __m256i*>(k[c].v)));
}
JIDCT_TARGET inline __m256i Add(__m256i a, __m256i b) { return _mm256_add_epi32(a, b); }
JIDCT_TARGET inline __m256i Sub(__m256i a, __m256i b) { return _mm256_sub_epi32(a, b); }
template <int shift>
JIDCT_TARGET inline __m256i Sra(__m256i a) {
  return _mm256_srai_epi32(a, shift);
}

// The odd part's middle rotation and the eight outputs from the even and odd parts.
JIDCT_TARGET inline Eight Fan(__m256i e0, __m256i e1, __m256i e2, __m256i e3, __m256i r0, __m256i r3, __m256i q0,
                              __m256i q3, const Splat* k) {
  const __m256i o0 = Add(r0, q0), o3 = Add(r3, q3);
  const __m256i a = Sub(r0, q0), b = Sub(r3, q3);
  const __m256i o1 = Sra<9>(Mul(Add(a, b), k, kC4));
  const __m256i o2 = Sra<9>(Mul(Sub(a, b), k, kC4));
  return {Add(e0, o0), Add(e1, o1), Add(e2, o2), Add(e3, o3), Sub(e3, o3), Sub(e2, o2), Sub(e1, o1), Sub(e0, o0)};
}

// The 8-point transform on eight lanes; bias is added to the even part.
template <int shift>
JIDCT_TARGET inline Eight Full(const Eight& x, __m256i bias, const Splat* k) {
  const __m256i t0 = Add(Sra<shift>(Mul(Add(x.v0, x.v4), k, kC4)), bias);
  const __m256i t1 = Add(Sra<shift>(Mul(Sub(x.v0, x.v4), k, kC4)), bias);
  const __m256i z2 = Mul(Add(x.v2, x.v6), k, kS2);
  const __m256i u0 = Sra<shift>(Add(z2, Mul(x.v2, k, kC2mS2)));
  const __m256i u1 = Sra<shift>(Sub(z2, Mul(x.v6, k, kC2pS2)));
  const __m256i z1 = Mul(Add(x.v1, x.v7), k, kS1);
  const __m256i r0 = Sra<shift>(Add(z1, Mul(x.v1, k, kC1mS1)));
  const __m256i r3 = Sra<shift>(Sub(z1, Mul(x.v7, k, kC1pS1)));
  const __m256i z3 = Mul(Add(x.v3, x.v5), k, kS3);
  const __m256i q0 = Sra<shift>(Add(z3, Mul(x.v3, k, kC3mS3)));
  const __m256i q3 = Sra<shift>(Sub(Mul(x.v5, k, kC3pS3), z3));
  return Fan(Add(t0, u0), Add(t1, u1), Sub(t1, u1), Sub(t0, u0), r0, r3, q0, q3, k);
}

// The same with inputs 4 to 7 zero.
template <int shift>
JIDCT_TARGET inline Eight Half(const Eight& x, __m256i bias, const Splat* k) {
  const __m256i t = Add(Sra<shift>(Mul(x.v0, k, kC4)), bias);
  const __m256i u0 = Sra<shift>(Mul(x.v2, k, kC2));
  const __m256i u1 = Sra<shift>(Mul(x.v2, k, kS2));
  const __m256i r0 = Sra<shift>(Mul(x.v1, k, kC1));
  const __m256i r3 = Sra<shift>(Mul(x.v1, k, kS1));
  const __m256i q0 = Sra<shift>(Mul(x.v3, k, kC3));
  const __m256i q3 = Sra<shift>(Mul(x.v3, k, kMinusS3));
  return Fan(Add(t, u0), Add(t, u1), Sub(t, u1), Sub(t, u0), r0, r3, q0, q3, k);
}

// out.v(c) lane r = in.v(r) lane c. With kLowLanes, lanes 4 to 7 of every input are
// zero, so outputs 4 to 7 are zero and are not computed.
template <bool kLowLanes>
JIDCT_TARGET inline Eight TransposeLanes(const Eight& in) {
  const __m256i t0 = _mm256_unpacklo_epi32(in.v0, in.v1), t1 = _mm256_unpackhi_epi32(in.v0, in.v1);
  const __m256i t2 = _mm256_unpacklo_epi32(in.v2, in.v3), t3 = _mm256_unpackhi_epi32(in.v2, in.v3);
  const __m256i t4 = _mm256_unpacklo_epi32(in.v4, in.v5), t5 = _mm256_unpackhi_epi32(in.v4, in.v5);
  const __m256i t6 = _mm256_unpacklo_epi32(in.v6, in.v7), t7 = _mm256_unpackhi_epi32(in.v6, in.v7);
  const __m256i u0 = _mm256_unpacklo_epi64(t0, t2), u1 = _mm256_unpackhi_epi64(t0, t2);
  const __m256i u2 = _mm256_unpacklo_epi64(t1, t3), u3 = _mm256_unpackhi_epi64(t1, t3);
  const __m256i u4 = _mm256_unpacklo_epi64(t4, t6), u5 = _mm256_unpackhi_epi64(t4, t6);
  const __m256i u6 = _mm256_unpacklo_epi64(t5, t7), u7 = _mm256_unpackhi_epi64(t5, t7);
  const __m256i low0 = _mm256_permute2x128_si256(u0, u4, 0x20), low1 = _mm256_permute2x128_si256(u1, u5, 0x20);
  const __m256i low2 = _mm256_permute2x128_si256(u2, u6, 0x20), low3 = _mm256_permute2x128_si256(u3, u7, 0x20);
  if constexpr (kLowLanes) {
    const __m256i zero = _mm256_setzero_si256();
    return {low0, low1, low2, low3, zero, zero, zero, zero};
  } else {
    return {low0,
            low1,
            low2,
            low3,
            _mm256_permute2x128_si256(u0, u4, 0x31),
            _mm256_permute2x128_si256(u1, u5, 0x31),
            _mm256_permute2x128_si256(u2, u6, 0x31),
            _mm256_permute2x128_si256(u3, u7, 0x31)};
  }
}

JIDCT_TARGET inline void StoreHigh(uint8_t* at, __m128i v) {
  _mm_storel_epi64(reinterpret_cast<__m128i*>(at), _mm_unpackhi_epi64(v, v));
}

// Rows of 32-bit samples (level shift and rounding in) to bytes, clamped.
JIDCT_TARGET inline void Store(const Eight& y, uint8_t* out, int stride) {
  const __m256i a01 = _mm256_packs_epi32(Sra<4>(y.v0), Sra<4>(y.v1));
  const __m256i a23 = _mm256_packs_epi32(Sra<4>(y.v2), Sra<4>(y.v3));
  const __m256i a45 = _mm256_packs_epi32(Sra<4>(y.v4), Sra<4>(y.v5));
  const __m256i a67 = _mm256_packs_epi32(Sra<4>(y.v6), Sra<4>(y.v7));
  // Lane 0 holds columns 0..3 of rows 0..3 (four bytes each), lane 1 columns 4..7.
  const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
  const __m256i top = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(a01, a23), order);
  const __m256i bottom = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(a45, a67), order);
  const __m128i r01 = _mm256_castsi256_si128(top), r23 = _mm256_extracti128_si256(top, 1);
  const __m128i r45 = _mm256_castsi256_si128(bottom), r67 = _mm256_extracti128_si256(bottom, 1);
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out), r01);
  StoreHigh(out + stride, r01);
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 2 * stride), r23);
  StoreHigh(out + 3 * stride, r23);
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 4 * stride), r45);
  StoreHigh(out + 5 * stride, r45);
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 6 * stride), r67);
  StoreHigh(out + 7 * stride, r67);
}

JIDCT_TARGET inline __m256i At(const int32_t* in, int column) {
  return _mm256_load_si256(reinterpret_cast<const __m256i*>(in + 8 * column));
}

}  // namespace

JIDCT_TARGET void IdctAvx2Columns(int32_t* in, uint8_t* out, int stride) {
  // Lane r of x.v(i) is input i of row r.
  const Eight x{At(in, 0), At(in, 1), At(in, 2), At(in, 3), At(in, 4), At(in, 5), At(in, 6), At(in, 7)};
  // Written out: as a loop the compiler makes a slow string store of it.
  const __m256i zero = _mm256_setzero_si256();
  __m256i* const at = reinterpret_cast<__m256i*>(in);
  _mm256_store_si256(at, zero), _mm256_store_si256(at + 1, zero), _mm256_store_si256(at + 2, zero);
  _mm256_store_si256(at + 3, zero), _mm256_store_si256(at + 4, zero), _mm256_store_si256(at + 5, zero);
  _mm256_store_si256(at + 6, zero), _mm256_store_si256(at + 7, zero);
  const __m256i right = _mm256_or_si256(_mm256_or_si256(x.v4, x.v5), _mm256_or_si256(x.v6, x.v7));
  const __m256i any = _mm256_or_si256(_mm256_or_si256(_mm256_or_si256(x.v0, x.v1), _mm256_or_si256(x.v2, x.v3)), right);
  const bool rightZero = _mm256_testz_si256(right, right);
  const bool lowerZero = _mm256_testz_si256(any, _mm256_setr_epi32(0, 0, 0, 0, -1, -1, -1, -1));
  const __m256i none = zero;
  const Splat* k = kSplats;
  asm("" : "+r"(k));
  // Rows with two extra bits (shift 7): lane r of w.v(j) is output j of row r.
  const Eight w = rightZero ? Half<7>(x, none, k) : Full<7>(x, none, k);
  // Columns: lane u of c.v(v) is output u of row v. The 2-D transform is four
  // times the samples and two bits are extra: divide by 16 with rounding, with the
  // level shift.
  const __m256i bias = _mm256_set1_epi32((128 << 4) + 8);
  if (lowerZero) Store(Half<9>(TransposeLanes<true>(w), bias, k), out, stride);
  else Store(Full<9>(TransposeLanes<false>(w), bias, k), out, stride);
}

#else

void IdctAvx2Columns(int32_t* in, uint8_t* out, int stride) {
  int32_t natural[64];
  for (int i = 0; i < 64; ++i) natural[i] = in[(i % 8) * 8 + i / 8];
  IdctBase(natural, out, stride);
  std::memset(in, 0, 64 * sizeof in[0]);
}

#endif

}  // namespace jkern
