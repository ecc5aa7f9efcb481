// The decoder's AVX2 kernels (see JKernels.h): the inverse transform with all eight
// rows, then all eight columns, in one pass each, and the colour conversion of 32
// pixels at a time. Compiled for AVX2 by function attribute, so the rest of the
// program keeps its baseline; called only where HaveAvx2() says so.
#include "image/codecs/jpeg/JKernels.h"

#include "image/codecs/jpeg/JDct.h"

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define JKERN_AVX2 1
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace jkern {

#if defined(JKERN_AVX2)

// The processor's AVX2 with the system saving the wide registers, asked once when a
// codec first needs it: the compiler's own feature probe runs at every program start
// and its processor queries trap to the hypervisor in a virtual machine.
bool HaveAvx2() {
  static const bool have = [] {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & bit_OSXSAVE) || !(c & bit_AVX)) return false;
    unsigned low = 0, high = 0;
    __asm__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    if ((low & 6) != 6) return false;  // the XMM and YMM state
    return __get_cpuid_count(7, 0, &a, &b, &c, &d) && (b & bit_AVX2) != 0;
  }();
  return have;
}

namespace {

#define JKERN_TARGET __attribute__((target("avx2")))

// Eight 8x8 lanes transposed: out[c] lane r = in[r] lane c.
JKERN_TARGET inline void Transpose(const __m256i* in, __m256i* out) {
  const __m256i t0 = _mm256_unpacklo_epi32(in[0], in[1]), t1 = _mm256_unpackhi_epi32(in[0], in[1]);
  const __m256i t2 = _mm256_unpacklo_epi32(in[2], in[3]), t3 = _mm256_unpackhi_epi32(in[2], in[3]);
  const __m256i t4 = _mm256_unpacklo_epi32(in[4], in[5]), t5 = _mm256_unpackhi_epi32(in[4], in[5]);
  const __m256i t6 = _mm256_unpacklo_epi32(in[6], in[7]), t7 = _mm256_unpackhi_epi32(in[6], in[7]);
  const __m256i u0 = _mm256_unpacklo_epi64(t0, t2), u1 = _mm256_unpackhi_epi64(t0, t2);
  const __m256i u2 = _mm256_unpacklo_epi64(t1, t3), u3 = _mm256_unpackhi_epi64(t1, t3);
  const __m256i u4 = _mm256_unpacklo_epi64(t4, t6), u5 = _mm256_unpackhi_epi64(t4, t6);
  const __m256i u6 = _mm256_unpacklo_epi64(t5, t7), u7 = _mm256_unpackhi_epi64(t5, t7);
  out[0] = _mm256_permute2x128_si256(u0, u4, 0x20);
  out[4] = _mm256_permute2x128_si256(u0, u4, 0x31);
  out[1] = _mm256_permute2x128_si256(u1, u5, 0x20);
  out[5] = _mm256_permute2x128_si256(u1, u5, 0x31);
  out[2] = _mm256_permute2x128_si256(u2, u6, 0x20);
  out[6] = _mm256_permute2x128_si256(u2, u6, 0x31);
  out[3] = _mm256_permute2x128_si256(u3, u7, 0x20);
  out[7] = _mm256_permute2x128_si256(u3, u7, 0x31);
}

JKERN_TARGET inline __m256i Mul(__m256i a, int c) { return _mm256_mullo_epi32(a, _mm256_set1_epi32(c)); }

// The 8-point transform of JIdct.cpp on eight lanes at once, term for term: x[i] is
// input i of every lane; products shifted right by `shift`, the odd part's middle
// rotation by 9.
template <int shift>
JKERN_TARGET inline void Pass(const __m256i* x, __m256i* out) {
  using namespace jdct;
  const __m256i t0 = _mm256_srai_epi32(Mul(_mm256_add_epi32(x[0], x[4]), kC4), shift);
  const __m256i t1 = _mm256_srai_epi32(Mul(_mm256_sub_epi32(x[0], x[4]), kC4), shift);
  const __m256i z2 = Mul(_mm256_add_epi32(x[2], x[6]), kS2);
  const __m256i u0 = _mm256_srai_epi32(_mm256_add_epi32(z2, Mul(x[2], kC2 - kS2)), shift);
  const __m256i u1 = _mm256_srai_epi32(_mm256_sub_epi32(z2, Mul(x[6], kC2 + kS2)), shift);
  const __m256i e0 = _mm256_add_epi32(t0, u0), e3 = _mm256_sub_epi32(t0, u0);
  const __m256i e1 = _mm256_add_epi32(t1, u1), e2 = _mm256_sub_epi32(t1, u1);
  const __m256i z1 = Mul(_mm256_add_epi32(x[1], x[7]), kS1);
  const __m256i r0 = _mm256_srai_epi32(_mm256_add_epi32(z1, Mul(x[1], kC1 - kS1)), shift);
  const __m256i r3 = _mm256_srai_epi32(_mm256_sub_epi32(z1, Mul(x[7], kC1 + kS1)), shift);
  const __m256i z3 = Mul(_mm256_add_epi32(x[3], x[5]), kS3);
  const __m256i q0 = _mm256_srai_epi32(_mm256_add_epi32(z3, Mul(x[3], kC3 - kS3)), shift);
  const __m256i q3 = _mm256_srai_epi32(_mm256_sub_epi32(Mul(x[5], kC3 + kS3), z3), shift);
  const __m256i o0 = _mm256_add_epi32(r0, q0), o3 = _mm256_add_epi32(r3, q3);
  const __m256i a = _mm256_sub_epi32(r0, q0), b = _mm256_sub_epi32(r3, q3);
  const __m256i o1 = _mm256_srai_epi32(Mul(_mm256_add_epi32(a, b), kC4), 9);
  const __m256i o2 = _mm256_srai_epi32(Mul(_mm256_sub_epi32(a, b), kC4), 9);
  out[0] = _mm256_add_epi32(e0, o0);
  out[7] = _mm256_sub_epi32(e0, o0);
  out[1] = _mm256_add_epi32(e1, o1);
  out[6] = _mm256_sub_epi32(e1, o1);
  out[2] = _mm256_add_epi32(e2, o2);
  out[5] = _mm256_sub_epi32(e2, o2);
  out[3] = _mm256_add_epi32(e3, o3);
  out[4] = _mm256_sub_epi32(e3, o3);
}

// YCbCr of sixteen pixels (16-bit lanes) to R, G, B as in JConvertRows.cpp: each
// product the high half of a 16-bit multiply.
JKERN_TARGET inline void Rgb(__m256i y, __m256i cb, __m256i cr, __m256i& R, __m256i& G, __m256i& B) {
  const __m256i bias = _mm256_set1_epi16(128);
  const __m256i b = _mm256_sub_epi16(cb, bias);
  const __m256i r = _mm256_sub_epi16(cr, bias);
  const __m256i crR = _mm256_add_epi16(r, _mm256_mulhi_epi16(r, _mm256_set1_epi16(26368)));
  const __m256i crG = _mm256_mulhi_epi16(_mm256_add_epi16(r, r), _mm256_set1_epi16(23424));
  const __m256i cbG = _mm256_mulhi_epi16(b, _mm256_set1_epi16(22528));
  const __m256i cbB = _mm256_add_epi16(b, _mm256_mulhi_epi16(_mm256_add_epi16(b, b), _mm256_set1_epi16(25280)));
  R = _mm256_add_epi16(y, crR);
  G = _mm256_sub_epi16(_mm256_sub_epi16(y, crG), cbG);
  B = _mm256_add_epi16(y, cbB);
}

// Two sixteen-pixel halves of 16-bit values to 32 bytes in pixel order, clamped.
JKERN_TARGET inline __m256i Pack(__m256i lo, __m256i hi) {
  return _mm256_permute4x64_epi64(_mm256_packus_epi16(lo, hi), 0xD8);
}

// Byte k of the m-th sixteen bytes of B, G, R triples: pixel (16m + k) / 3 of
// channel (16m + k) % 3, else zero (index 0x80).
struct Interleave {
  alignas(32) uint8_t mask[3][3][32];
  constexpr Interleave() : mask() {
    for (int m = 0; m < 3; ++m) {
      for (int c = 0; c < 3; ++c) {
        for (int k = 0; k < 32; ++k) {
          const int g = 16 * m + k % 16;
          mask[m][c][k] = static_cast<uint8_t>(g % 3 == c ? g / 3 : 0x80);
        }
      }
    }
  }
};
constexpr Interleave kInterleave;

}  // namespace

JKERN_TARGET void IdctAvx2(const int32_t* in, uint8_t* out, int stride) {
  __m256i rows[8], cols[8], w[8];
  for (int r = 0; r < 8; ++r) rows[r] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 8 * r));
  // Rows with two extra bits: lane r of cols[i] is input i of row r.
  Transpose(rows, cols);
  Pass<7>(cols, w);
  // Columns: lane u of rows[v] is output u of row v.
  Transpose(w, rows);
  Pass<9>(rows, w);
  const __m256i round = _mm256_set1_epi32((128 << 4) + 8);
  for (int r = 0; r < 8; r += 2) {
    const __m256i a = _mm256_srai_epi32(_mm256_add_epi32(w[r], round), 4);
    const __m256i b = _mm256_srai_epi32(_mm256_add_epi32(w[r + 1], round), 4);
    // Saturating packs clamp to 0..255 on the way to bytes.
    const __m256i words = _mm256_permute4x64_epi64(_mm256_packs_epi32(a, b), 0xD8);
    const __m128i bytes = _mm_packus_epi16(_mm256_castsi256_si128(words), _mm256_extracti128_si256(words, 1));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + r * stride), bytes);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + (r + 1) * stride), _mm_srli_si128(bytes, 8));
  }
}

JKERN_TARGET int ConvertBgrAvx2(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* bgr, int width,
                                int kH) {
  __m256i mask[3][3];
  for (int m = 0; m < 3; ++m) {
    for (int c = 0; c < 3; ++c) mask[m][c] = _mm256_load_si256(reinterpret_cast<const __m256i*>(kInterleave.mask[m][c]));
  }
  int x = 0;
  for (; x + 32 <= width; x += 32) {
    const __m128i y16a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(y + x));
    const __m128i y16b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(y + x + 16));
    __m128i cba, cbb, cra, crb;
    if (kH == 1) {
      cba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cb + x));
      cbb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cb + x + 16));
      cra = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cr + x));
      crb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cr + x + 16));
    } else {
      const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cb + x / 2));
      const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cr + x / 2));
      cba = _mm_unpacklo_epi8(c, c);
      cbb = _mm_unpackhi_epi8(c, c);
      cra = _mm_unpacklo_epi8(d, d);
      crb = _mm_unpackhi_epi8(d, d);
    }
    __m256i R[2], G[2], B[2];
    Rgb(_mm256_cvtepu8_epi16(y16a), _mm256_cvtepu8_epi16(cba), _mm256_cvtepu8_epi16(cra), R[0], G[0], B[0]);
    Rgb(_mm256_cvtepu8_epi16(y16b), _mm256_cvtepu8_epi16(cbb), _mm256_cvtepu8_epi16(crb), R[1], G[1], B[1]);
    // Lane 0 holds pixels 0..15, lane 1 pixels 16..31.
    const __m256i chan[3] = {Pack(B[0], B[1]), Pack(G[0], G[1]), Pack(R[0], R[1])};
    for (int m = 0; m < 3; ++m) {
      const __m256i part = _mm256_or_si256(
          _mm256_or_si256(_mm256_shuffle_epi8(chan[0], mask[m][0]), _mm256_shuffle_epi8(chan[1], mask[m][1])),
          _mm256_shuffle_epi8(chan[2], mask[m][2]));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(bgr + 3 * x + 16 * m), _mm256_castsi256_si128(part));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(bgr + 3 * x + 48 + 16 * m), _mm256_extracti128_si256(part, 1));
    }
  }
  return x;
}

#else

bool HaveAvx2() { return false; }

void IdctAvx2(const int32_t* in, uint8_t* out, int stride) { IdctBase(in, out, stride); }

int ConvertBgrAvx2(const uint8_t*, const uint8_t*, const uint8_t*, uint8_t*, int, int) { return 0; }

#endif

}  // namespace jkern
