// Inverse DCT of one dequantised block (natural order, each value within +-16383)
// into 8x8 samples with the level shift of 128, clamped to 0..255. Most blocks of
// real pictures hold few coefficients: rows without AC values are filled, and where
// the upper half of a row (or of every column) is zero a shorter butterfly runs.
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "image/codecs/jpeg/JDct.h"
#include "image/codecs/jpeg/JDecoder.h"
#include "image/codecs/jpeg/JKernels.h"

using namespace jdct;

namespace {

// The last stage of both transforms: the odd part's middle rotation, then the eight
// outputs as sums and differences of the even and odd parts.
template <class T>
inline void OddAndStore(T e0, T e1, T e2, T e3, T r0, T r3, T q0, T q3, T* out, int step) {
  const T o0 = r0 + q0, o3 = r3 + q3;
  const T a = r0 - q0, b = r3 - q3;
  const T o1 = ((a + b) * kC4) >> 9;
  const T o2 = ((a - b) * kC4) >> 9;
  out[0] = e0 + o0;
  out[7 * step] = e0 - o0;
  out[step] = e1 + o1;
  out[6 * step] = e1 - o1;
  out[2 * step] = e2 + o2;
  out[5 * step] = e2 - o2;
  out[3 * step] = e3 + o3;
  out[4 * step] = e3 - o3;
}

// One 8-point inverse transform; products are shifted right by `shift`. Each
// rotation takes three products: a*C + b*S = S*(a + b) + (C - S)*a.
template <int shift, class T = int32_t>
inline void Idct8(const T* x, T* out, int step) {
  const T x0 = x[0], x1 = x[1], x2 = x[2], x3 = x[3], x4 = x[4], x5 = x[5], x6 = x[6], x7 = x[7];
  const T t0 = ((x0 + x4) * kC4) >> shift;
  const T t1 = ((x0 - x4) * kC4) >> shift;
  const T z2 = kS2 * (x2 + x6);
  const T u0 = (z2 + (kC2 - kS2) * x2) >> shift;  // C2 x2 + S2 x6
  const T u1 = (z2 - (kC2 + kS2) * x6) >> shift;  // S2 x2 - C2 x6
  const T e0 = t0 + u0, e3 = t0 - u0, e1 = t1 + u1, e2 = t1 - u1;
  const T z1 = kS1 * (x1 + x7);
  const T r0 = (z1 + (kC1 - kS1) * x1) >> shift;  // C1 x1 + S1 x7
  const T r3 = (z1 - (kC1 + kS1) * x7) >> shift;  // S1 x1 - C1 x7
  const T z3 = kS3 * (x3 + x5);
  const T q0 = (z3 + (kC3 - kS3) * x3) >> shift;  // C3 x3 + S3 x5
  const T q3 = ((kC3 + kS3) * x5 - z3) >> shift;  // C3 x5 - S3 x3
  OddAndStore(e0, e1, e2, e3, r0, r3, q0, q3, out, step);
}

// The same with x4..x7 zero.
template <int shift>
inline void Idct4(int32_t x0, int32_t x1, int32_t x2, int32_t x3, int32_t* out, int step) {
  const int32_t t = (x0 * kC4) >> shift;
  const int32_t u0 = (x2 * kC2) >> shift;
  const int32_t u1 = (x2 * kS2) >> shift;
  const int32_t e0 = t + u0, e3 = t - u0, e1 = t + u1, e2 = t - u1;
  const int32_t r0 = (x1 * kC1) >> shift;
  const int32_t r3 = (x1 * kS1) >> shift;
  const int32_t q0 = (x3 * kC3) >> shift;
  const int32_t q3 = (-(x3 * kS3)) >> shift;
  OddAndStore(e0, e1, e2, e3, r0, r3, q0, q3, out, step);
}

}  // namespace

void JDecoder::Idct(const int32_t* in, uint8_t* out, int stride) {
  if (jkern::HaveAvx2()) jkern::IdctAvx2(in, out, stride);
  else jkern::IdctBase(in, out, stride);
}

void jkern::IdctBase(const int32_t* in, uint8_t* out, int stride) {
  // Rows, keeping two extra bits (shift 7 instead of 9).
  int32_t ws[64];
  for (int r = 0; r < 8; ++r) {
    const int32_t* x = in + r * 8;
    int32_t* w = ws + r * 8;
    if ((x[4] | x[5] | x[6] | x[7]) != 0) {
      Idct8<7>(x, w, 1);
    } else if ((x[1] | x[2] | x[3]) != 0) {
      Idct4<7>(x[0], x[1], x[2], x[3], w, 1);
    } else {
      const int32_t dc = (x[0] * kC4) >> 7;
      for (int i = 0; i < 8; ++i) w[i] = dc;
    }
  }
  // Columns, all eight at once: row v of the work block holds input v of every
  // column. The 2-D transform is four times the samples and two bits are extra, so
  // divide by 16 with rounding, then add the level shift.
  typedef int32_t Lanes __attribute__((vector_size(32)));
  Lanes x[8];
  std::memcpy(x, ws, sizeof ws);
  Lanes y[8];
  Idct8<9, Lanes>(x, y, 1);
  for (int r = 0; r < 8; ++r) {
    uint8_t* o = out + r * stride;
    const Lanes v = (y[r] + ((128 << 4) + 8)) >> 4;
#if defined(__SSE2__)
    // Saturating packs clamp to 0..255 on the way to bytes.
    __m128i half[2];
    std::memcpy(half, &v, sizeof v);
    const __m128i words = _mm_packs_epi32(half[0], half[1]);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(o), _mm_packus_epi16(words, words));
#else
    for (int i = 0; i < 8; ++i) o[i] = ClampToByte(v[i]);
#endif
  }
}
