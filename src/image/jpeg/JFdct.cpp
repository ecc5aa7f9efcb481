// Forward DCT of the encoder: the transposed butterfly of the inverse one, with the
// same 9-bit constants. The samples enter with two extra bits; the result is the
// plain coefficient, rounded.
#include "image/jpeg/JDct.h"
#include "image/jpeg/JEncoder.h"

using namespace jdct;

namespace {

inline void Fdct8(const int32_t* x, int step, int32_t* out, int outStep) {
  const int32_t s0 = x[0] + x[7 * step], s1 = x[step] + x[6 * step];
  const int32_t s2 = x[2 * step] + x[5 * step], s3 = x[3 * step] + x[4 * step];
  const int32_t d0 = x[0] - x[7 * step], d1 = x[step] - x[6 * step];
  const int32_t d2 = x[2 * step] - x[5 * step], d3 = x[3 * step] - x[4 * step];
  const int32_t a0 = s0 + s3, a1 = s1 + s2, a2 = s0 - s3, a3 = s1 - s2;
  out[0] = ((a0 + a1) * kC4) >> 9;
  out[4 * outStep] = ((a0 - a1) * kC4) >> 9;
  out[2 * outStep] = (a2 * kC2 + a3 * kS2) >> 9;
  out[6 * outStep] = (a2 * kS2 - a3 * kC2) >> 9;
  // Odd part at the scale of the inputs, then the two rotations.
  const int32_t m = ((d1 + d2) * kC4) >> 9;
  const int32_t n = ((d1 - d2) * kC4) >> 9;
  const int32_t p0 = d0 + m, k0 = d0 - m, p3 = d3 + n, k3 = d3 - n;
  out[outStep] = (p0 * kC1 + p3 * kS1) >> 9;
  out[7 * outStep] = (p0 * kS1 - p3 * kC1) >> 9;
  out[3 * outStep] = (k0 * kC3 - k3 * kS3) >> 9;
  out[5 * outStep] = (k0 * kS3 + k3 * kC3) >> 9;
}

}  // namespace

void JEncoder::Fdct(const int32_t* in, int32_t* out) {
  int32_t scaled[64];
  for (int i = 0; i < 64; ++i) scaled[i] = in[i] * 4;
  int32_t ws[64];
  for (int r = 0; r < 8; ++r) Fdct8(scaled + r * 8, 1, ws + r * 8, 1);
  int32_t col[64];
  for (int c = 0; c < 8; ++c) Fdct8(ws + c, 8, col + c, 8);
  // Both passes give four times the coefficient, and two bits are extra.
  for (int i = 0; i < 64; ++i) out[i] = (col[i] + 8) >> 4;
}
