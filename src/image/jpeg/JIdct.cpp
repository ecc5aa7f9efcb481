// Inverse DCT of one dequantised block (natural order, each value within +-16383)
// into 8x8 samples with the level shift of 128, clamped to 0..255.
#include "image/jpeg/JDecoder.h"
#include "image/jpeg/JDct.h"

using namespace jdct;

namespace {

// One 8-point inverse transform; products are shifted right by `shift`.
template <int shift>
inline void Idct8(int32_t x0, int32_t x1, int32_t x2, int32_t x3, int32_t x4, int32_t x5, int32_t x6, int32_t x7,
                  int32_t* out, int step) {
  const int32_t t0 = ((x0 + x4) * kC4) >> shift;
  const int32_t t1 = ((x0 - x4) * kC4) >> shift;
  const int32_t u0 = (x2 * kC2 + x6 * kS2) >> shift;
  const int32_t u1 = (x2 * kS2 - x6 * kC2) >> shift;
  const int32_t e0 = t0 + u0, e3 = t0 - u0, e1 = t1 + u1, e2 = t1 - u1;
  const int32_t r0 = (x1 * kC1 + x7 * kS1) >> shift;
  const int32_t r3 = (x1 * kS1 - x7 * kC1) >> shift;
  const int32_t q0 = (x3 * kC3 + x5 * kS3) >> shift;
  const int32_t q3 = (x5 * kC3 - x3 * kS3) >> shift;
  const int32_t o0 = r0 + q0, o3 = r3 + q3;
  const int32_t a = r0 - q0, b = r3 - q3;
  const int32_t o1 = ((a + b) * kC4) >> 9;
  const int32_t o2 = ((a - b) * kC4) >> 9;
  out[0] = e0 + o0;
  out[7 * step] = e0 - o0;
  out[step] = e1 + o1;
  out[6 * step] = e1 - o1;
  out[2 * step] = e2 + o2;
  out[5 * step] = e2 - o2;
  out[3 * step] = e3 + o3;
  out[4 * step] = e3 - o3;
}

}  // namespace

void JDecoder::Idct(const int32_t* in, uint8_t* out, int stride) {
  // Rows, keeping two extra bits (shift 7 instead of 9).
  int32_t ws[64];
  for (int r = 0; r < 8; ++r) {
    const int32_t* x = in + r * 8;
    int32_t* w = ws + r * 8;
    if ((x[1] | x[2] | x[3] | x[4] | x[5] | x[6] | x[7]) == 0) {
      const int32_t dc = (x[0] * kC4) >> 7;
      for (int i = 0; i < 8; ++i) w[i] = dc;
      continue;
    }
    Idct8<7>(x[0], x[1], x[2], x[3], x[4], x[5], x[6], x[7], w, 1);
  }
  // Columns: the 2-D transform is four times the samples and two bits are extra, so
  // divide by 16 with rounding, then add the level shift.
  int32_t col[64];
  for (int c = 0; c < 8; ++c) {
    const int32_t* x = ws + c;
    if ((x[8] | x[16] | x[24] | x[32] | x[40] | x[48] | x[56]) == 0) {
      const int32_t dc = (x[0] * kC4) >> 9;
      for (int i = 0; i < 8; ++i) col[i * 8 + c] = dc;
      continue;
    }
    Idct8<9>(x[0], x[8], x[16], x[24], x[32], x[40], x[48], x[56], col + c, 8);
  }
  for (int r = 0; r < 8; ++r) {
    uint8_t* o = out + r * stride;
    const int32_t* v = col + r * 8;
    for (int i = 0; i < 8; ++i) o[i] = ClampToByte((v[i] + (128 << 4) + 8) >> 4);
  }
}
