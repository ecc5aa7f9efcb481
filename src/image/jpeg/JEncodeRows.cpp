// The encoder's colour fetch: the sixteen picture rows of one MCU row, from planes or
// from B, G, R triples, to level-shifted Y at full size and Cb and Cr averaged over
// 2 x 2 squares (4:2:0), in rows as long as the MCU columns cover; beyond the picture
// the last column and row repeat. Per pixel, in integer arithmetic:
//   Y  = (G x 601 >> 10) + (B x 467 >> 12) + (R x 153 >> 9) - 128
//   Cb = (B >> 1) - (G x 1357 >> 12) - (R x 691 >> 12)
//   Cr = (R >> 1) - (G x 1715 >> 12) - (B x 333 >> 12)
// and each chroma sample is the sum of its four shifted right by 2. The AVX2 kernel
// does whole groups of sixteen pixels; the rest, and everything on the portable
// road, goes pixel by pixel here.
#include <algorithm>

#include "image/jpeg/JEncoder.h"
#include "image/jpeg/JKernels.h"

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

}  // namespace

void JEncoder::FetchRowPair(int y0, int y1, int16_t* yTop, int16_t* yBottom, int16_t* cb, int16_t* cr) {
  const int w = mParams.width;
  const int n = static_cast<int>(mRowStride);
  if (mBgr.top) {
    const uint8_t* rows[2] = {mBgr.top + y0 * mBgr.step, mBgr.top + y1 * mBgr.step};
    const int done = mWide ? jkern::YccPairBgrAvx2(rows[0], rows[1], w, yTop, yBottom, cb, cr) : 0;
    auto fetch = [&rows](int k, int x) {
      const uint8_t* p = rows[k] + 3 * x;
      return Rgb{p[2], p[1], p[0]};
    };
    ConvertPairs(done, n, w, fetch, yTop, yBottom, cb, cr);
  } else {
    const int64_t at[2] = {int64_t{y0} * w, int64_t{y1} * w};
    const uint8_t* top[3] = {mR + at[0], mG + at[0], mB + at[0]};
    const uint8_t* bottom[3] = {mR + at[1], mG + at[1], mB + at[1]};
    const int done = mWide ? jkern::YccPairPlanesAvx2(top, bottom, w, yTop, yBottom, cb, cr) : 0;
    auto fetch = [&at, this](int k, int x) { return Rgb{mR[at[k] + x], mG[at[k] + x], mB[at[k] + x]}; };
    ConvertPairs(done, n, w, fetch, yTop, yBottom, cb, cr);
  }
}

void JEncoder::FetchMcuRow(int row) {
  const int h = mParams.height;
  const int64_t ys = mRowStride, cs = mRowStride / 2;
  for (int j = 0; j < 8; ++j) {
    const int y0 = std::min(row * 16 + 2 * j, h - 1);
    const int y1 = std::min(row * 16 + 2 * j + 1, h - 1);
    FetchRowPair(y0, y1, mRowsY.data() + 2 * j * ys, mRowsY.data() + (2 * j + 1) * ys, mRowsCb.data() + j * cs,
                 mRowsCr.data() + j * cs);
  }
}
