// Forward DCT of the encoder: the transposed butterfly of the inverse one, with the
// same 9-bit constants. The samples enter with two extra bits; the rows are
// transformed one by one, the columns all eight at once; the result is the plain
// coefficient, rounded.
#include <cstring>

#include "image/codecs/jpeg/JDct.h"
#include "image/codecs/jpeg/JEncoder.h"

using namespace jdct;

namespace {

// One 8-point forward transform of x[0..7] into out[0..7]; products shifted by 9.
template <class T>
inline void Fdct8(const T* x, T* out) {
  const T s0 = x[0] + x[7], s1 = x[1] + x[6], s2 = x[2] + x[5], s3 = x[3] + x[4];
  const T d0 = x[0] - x[7], d1 = x[1] - x[6], d2 = x[2] - x[5], d3 = x[3] - x[4];
  const T a0 = s0 + s3, a1 = s1 + s2, a2 = s0 - s3, a3 = s1 - s2;
  out[0] = ((a0 + a1) * kC4) >> 9;
  out[4] = ((a0 - a1) * kC4) >> 9;
  out[2] = (a2 * kC2 + a3 * kS2) >> 9;
  out[6] = (a2 * kS2 - a3 * kC2) >> 9;
  // Odd part at the scale of the inputs, then the two rotations.
  const T m = ((d1 + d2) * kC4) >> 9;
  const T n = ((d1 - d2) * kC4) >> 9;
  const T p0 = d0 + m, k0 = d0 - m, p3 = d3 + n, k3 = d3 - n;
  out[1] = (p0 * kC1 + p3 * kS1) >> 9;
  out[7] = (p0 * kS1 - p3 * kC1) >> 9;
  out[3] = (k0 * kC3 - k3 * kS3) >> 9;
  out[5] = (k0 * kS3 + k3 * kC3) >> 9;
}

}  // namespace

void JEncoder::Fdct(const int32_t* in, int32_t* out) {
  int32_t ws[64];
  for (int r = 0; r < 8; ++r) {
    int32_t scaled[8];
    for (int i = 0; i < 8; ++i) scaled[i] = in[r * 8 + i] * 4;
    Fdct8(scaled, ws + r * 8);
  }
  // Row v of the work block holds input v of every column. Both passes give four
  // times the coefficient, and two bits are extra.
  typedef int32_t Lanes __attribute__((vector_size(32)));
  Lanes x[8], y[8];
  std::memcpy(x, ws, sizeof ws);
  Fdct8(x, y);
  for (int r = 0; r < 8; ++r) y[r] = (y[r] + 8) >> 4;
  std::memcpy(out, y, sizeof y);
}
