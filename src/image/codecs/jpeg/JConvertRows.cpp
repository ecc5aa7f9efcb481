// Colour conversion of the JPEG decoder: one MCU row of component samples to the
// target's pixels. Samples are replicated to the largest sampling factors; YCbCr
// becomes RGB in integer arithmetic: R = Y + (Cr' x 1436 >> 10), G = Y - (Cr' x 732
// >> 10) - (Cb' x 704 >> 11), B = Y + (Cb' x 7256 >> 12), Cb' and Cr' less 128, each
// clamped to 0..255. The common layouts run sixteen pixels at a time where SSE2 is.
#include <algorithm>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "image/codecs/jpeg/JDct.h"
#include "image/codecs/jpeg/JDecoder.h"
#include "image/codecs/jpeg/JKernels.h"

using jdct::ClampToByte;

namespace {

// YCbCr to RGB in integer arithmetic, as tables of the chroma terms.
struct ChromaTerms {
  int crR[256], crG[256], cbG[256], cbB[256];
  constexpr ChromaTerms() : crR(), crG(), cbG(), cbB() {
    for (int i = 0; i < 256; ++i) {
      const int c = i - 128;
      crR[i] = (c * 1436) >> 10;
      crG[i] = (c * 732) >> 10;
      cbG[i] = (c * 704) >> 11;
      cbB[i] = (c * 7256) >> 12;
    }
  }
};
constexpr ChromaTerms kTerms;

// 0..255 for -384..639: what any sum of the conversion can reach.
struct RangeLimit {
  uint8_t v[1024];
  constexpr RangeLimit() : v() {
    for (int i = 0; i < 1024; ++i) v[i] = ClampToByte(i - 384);
  }
};
constexpr RangeLimit kLimit;

template <int kStep>
void ConvertGrey(const uint8_t* y, uint8_t* r, uint8_t* g, uint8_t* b, int width) {
  for (int x = 0; x < width; ++x) r[x * kStep] = g[x * kStep] = b[x * kStep] = y[x];
}

#if defined(__SSE2__)
// Sixteen pixels at once: the same integer arithmetic as the tables, each product
// as a high half of a 16-bit multiply (c * 1436 >> 10 = c + (c * 26368 >> 16), and so
// on), clamped by the saturating pack.
template <int kH>
inline void Rgb16(const uint8_t* yp, const uint8_t* cbp, const uint8_t* crp, __m128i& R, __m128i& G, __m128i& B) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i bias = _mm_set1_epi16(128);
  const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(yp));
  __m128i cb, cr;
  if (kH == 1) {
    cb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cbp));
    cr = _mm_loadu_si128(reinterpret_cast<const __m128i*>(crp));
  } else {
    cb = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(cbp));
    cr = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(crp));
    cb = _mm_unpacklo_epi8(cb, cb);
    cr = _mm_unpacklo_epi8(cr, cr);
  }
  __m128i out[3][2];
  for (int half = 0; half < 2; ++half) {
    const __m128i yw = half ? _mm_unpackhi_epi8(y, zero) : _mm_unpacklo_epi8(y, zero);
    const __m128i b = _mm_sub_epi16(half ? _mm_unpackhi_epi8(cb, zero) : _mm_unpacklo_epi8(cb, zero), bias);
    const __m128i r = _mm_sub_epi16(half ? _mm_unpackhi_epi8(cr, zero) : _mm_unpacklo_epi8(cr, zero), bias);
    const __m128i crR = _mm_add_epi16(r, _mm_mulhi_epi16(r, _mm_set1_epi16(26368)));
    const __m128i crG = _mm_mulhi_epi16(_mm_add_epi16(r, r), _mm_set1_epi16(23424));
    const __m128i cbG = _mm_mulhi_epi16(b, _mm_set1_epi16(22528));
    const __m128i cbB = _mm_add_epi16(b, _mm_mulhi_epi16(_mm_add_epi16(b, b), _mm_set1_epi16(25280)));
    out[0][half] = _mm_add_epi16(yw, crR);
    out[1][half] = _mm_sub_epi16(_mm_sub_epi16(yw, crG), cbG);
    out[2][half] = _mm_add_epi16(yw, cbB);
  }
  R = _mm_packus_epi16(out[0][0], out[0][1]);
  G = _mm_packus_epi16(out[1][0], out[1][1]);
  B = _mm_packus_epi16(out[2][0], out[2][1]);
}

// Sixteen pixels as B, G, R triples at bgr (48 bytes, and 2 more bytes are
// overwritten that the next pixel's own write puts right).
inline void StoreBgr16(__m128i R, __m128i G, __m128i B, uint8_t* bgr) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i bg[2] = {_mm_unpacklo_epi8(B, G), _mm_unpackhi_epi8(B, G)};
  const __m128i r0[2] = {_mm_unpacklo_epi8(R, zero), _mm_unpackhi_epi8(R, zero)};
  for (int h = 0; h < 2; ++h) {
    const __m128i quads[2] = {_mm_unpacklo_epi16(bg[h], r0[h]), _mm_unpackhi_epi16(bg[h], r0[h])};
    for (int q = 0; q < 2; ++q) {
      uint64_t pair[2];
      std::memcpy(pair, &quads[q], 16);
      for (int p = 0; p < 2; ++p) {
        // Two pixels B G R 0 B G R 0 to six bytes.
        const uint64_t six = (pair[p] & 0xFFFFFF) | ((pair[p] >> 8) & 0xFFFFFF000000);
        std::memcpy(bgr, &six, 8);
        bgr += 6;
      }
    }
  }
}
#endif

// Y at full width, Cb and Cr each covering kH pixels across: the chroma terms are
// looked up once per sample.
// Starts at pixel x0, a multiple of kH.
template <int kStep, int kH>
void ConvertColourFast(const uint8_t* yRow, const uint8_t* cbRow, const uint8_t* crRow, uint8_t* r, uint8_t* g,
                       uint8_t* b, int width, int x0) {
  const uint8_t* lim = kLimit.v + 384;
  int x = x0;
#if defined(__SSE2__)
  // Whole groups of sixteen; with B, G, R triples at least one pixel is left for
  // the loop below, whose write covers the two bytes the last group overwrote.
  for (; x + 16 + (kStep == 3 ? 1 : 0) <= width; x += 16) {
    __m128i R, G, B;
    Rgb16<kH>(yRow + x, cbRow + x / kH, crRow + x / kH, R, G, B);
    if (kStep == 3) {
      StoreBgr16(R, G, B, b + x * 3);
    } else {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(r + x), R);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(g + x), G);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(b + x), B);
    }
  }
#endif
  for (int c = x / kH; x < width; ++c) {
    const int cb = cbRow[c];
    const int cr = crRow[c];
    const int dr = kTerms.crR[cr];
    const int dg = -kTerms.crG[cr] - kTerms.cbG[cb];
    const int db = kTerms.cbB[cb];
    for (int i = 0; i < kH && x < width; ++i, ++x) {
      const int y = yRow[x];
      r[x * kStep] = lim[y + dr];
      g[x * kStep] = lim[y + dg];
      b[x * kStep] = lim[y + db];
    }
  }
}

// Any whole sampling ratios, and the Adobe case, through per-column sample indexes.
template <int kStep>
void ConvertColour(const uint8_t* yRow, const uint8_t* cbRow, const uint8_t* crRow, const uint8_t* kRow,
                   const int32_t* yCol, const int32_t* cbCol, const int32_t* crCol, const int32_t* kCol,
                   uint8_t* r, uint8_t* g, uint8_t* b, int width) {
  const uint8_t* lim = kLimit.v + 384;
  for (int x = 0; x < width; ++x) {
    // With the Adobe flag the fourth component takes the place of Y.
    const int y = kRow ? kRow[kCol[x]] + 128 : yRow[yCol[x]];
    const int cb = cbRow[cbCol[x]];
    const int cr = crRow[crCol[x]];
    r[x * kStep] = lim[y + kTerms.crR[cr]];
    g[x * kStep] = lim[y - kTerms.crG[cr] - kTerms.cbG[cb]];
    b[x * kStep] = lim[y + kTerms.cbB[cb]];
  }
}

template <int kStep>
void ConvertRow(const uint8_t* rows[4], const int32_t* cols[4], const int hRatio[4], bool adobe, bool fast, bool wide,
                uint8_t* r, uint8_t* g, uint8_t* b, int width) {
  // The AVX2 kernel takes B, G, R triples in groups of 32 pixels; the rest follows.
  const int x0 = fast && wide && kStep == 3 ? jkern::ConvertBgrAvx2(rows[0], rows[1], rows[2], b, width, hRatio[1]) : 0;
  if (fast && hRatio[1] == 1) {
    ConvertColourFast<kStep, 1>(rows[0], rows[1], rows[2], r, g, b, width, x0);
  } else if (fast && hRatio[1] == 2) {
    ConvertColourFast<kStep, 2>(rows[0], rows[1], rows[2], r, g, b, width, x0);
  } else {
    ConvertColour<kStep>(rows[0], rows[1], rows[2], adobe ? rows[3] : nullptr, cols[0], cols[1], cols[2],
                         adobe ? cols[3] : nullptr, r, g, b, width);
  }
}

}  // namespace

void JDecoder::ConvertRows(const Target& t, int y0, int rows, int width) {
  if (width <= 0) return;
  const bool adobe = components_ == 4 && adobe_;
  // The common layouts (4:4:4, 4:2:2, 4:2:0) go through the loop of one chroma look-up per sample.
  const bool fast = !adobe && components_ >= 3 && comp_[0].hRatio == 1 && comp_[1].hRatio == comp_[2].hRatio &&
                    comp_[1].hRatio <= 2;
  const int hRatio[4] = {comp_[0].hRatio, comp_[1].hRatio, comp_[2].hRatio, comp_[3].hRatio};
  const int32_t* cols[4] = {comp_[0].columnOf.data(), comp_[1].columnOf.data(), comp_[2].columnOf.data(),
                            comp_[3].columnOf.data()};
  for (int i = 0; i < rows; ++i) {
    const int64_t y = y0 + i;
    uint8_t* r = t.r + y * t.rowStep;
    uint8_t* g = t.g + y * t.rowStep;
    uint8_t* b = t.b + y * t.rowStep;
    const uint8_t* src[4] = {};
    for (int c = 0; c < components_; ++c) src[c] = comp_[c].rows.data() + (i / comp_[c].vRatio) * comp_[c].rowStride;
    if (components_ == 1) {
      if (t.step == 3) ConvertGrey<3>(src[0], r, g, b, width);
      else ConvertGrey<1>(src[0], r, g, b, width);
    } else if (t.step == 3) {
      ConvertRow<3>(src, cols, hRatio, adobe, fast, wide_, r, g, b, width);
    } else {
      ConvertRow<1>(src, cols, hRatio, adobe, fast, wide_, r, g, b, width);
    }
    if (t.step == 3) {
      // The rest of a DIB row: the padding, and what a scan that ended early left.
      std::memset(b + int64_t{width} * 3, 0, static_cast<size_t>(-t.rowStep - int64_t{width} * 3));
    }
  }
  rowsDone_ = std::max(rowsDone_, y0 + rows);
}
