// Scan decoding of the JPEG decoder: one interleaved scan, MCU by MCU. Each block is
// Huffman-decoded with dequantisation on the fly, inverse-transformed into its
// component's MCU-row buffer, and every finished MCU row is upsampled (samples
// replicated to the largest sampling factors) and colour-converted straight into
// the target, planes or DIB rows.
#include <algorithm>
#include <climits>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/CheckedSize.h"
#include "image/jpeg/JDct.h"
#include "image/jpeg/JDecoder.h"
#include "image/jpeg/JZigzag.h"

using jdct::ClampToByte;

namespace {

enum HeaderFlag { kFlagDHT = 1, kFlagDQT = 2, kFlagSOS = 16 };

// Dequantised coefficients are kept within what the inverse transform can take
// without overflow; real ones stay far inside.
inline int32_t ClampCoef(int32_t v) { return v < -16384 ? -16384 : v > 16383 ? 16383 : v; }

// Sixteen-byte stores: a plain memset of 256 bytes becomes a slow string store.
inline void ZeroBlock(int32_t* block) {
  typedef int32_t Lanes __attribute__((vector_size(16)));
  const Lanes zero = {0, 0, 0, 0};
  for (int i = 0; i < 64; i += 4) std::memcpy(block + i, &zero, sizeof zero);
}

inline int Extend(int v, int size) { return v < (1 << (size - 1)) ? v - (1 << size) + 1 : v; }

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

}  // namespace

int JDecoder::Decode() { return Run(nullptr, 0); }

int JDecoder::DecodeDib(std::vector<uint8_t>& bits, int64_t spare) { return Run(&bits, spare); }

void JDecoder::GetInfo(uint8_t** ppR, uint8_t** ppG, uint8_t** ppB, int* pWidth, int* pHeight, int* pComponents) {
  if (ppR) *ppR = mRgbPA[0].empty() ? nullptr : mRgbPA[0].data();
  if (ppG) *ppG = mRgbPA[1].empty() ? nullptr : mRgbPA[1].data();
  if (ppB) *ppB = mRgbPA[2].empty() ? nullptr : mRgbPA[2].data();
  if (pWidth) *pWidth = mWidth;
  if (pHeight) *pHeight = mHeight;
  if (pComponents) *pComponents = mComponents;
}

void JDecoder::FreePlanes() {
  for (auto& p : mRgbPA) std::vector<uint8_t>().swap(p);
}

int JDecoder::Run(std::vector<uint8_t>* dib, int64_t spare) {
  const int need = kFlagDHT | kFlagDQT | kFlagSOS;
  if ((mHeaderFlags & need) != need || !mFrameRead) {
    mError = "JDataFormatError missing DHT, DQT, SOF or SOS";
    return -2;
  }
  try {
    Target t{};
    if (dib) {
      const int64_t stride = (int64_t{mWidth} * 3 + 3) / 4 * 4;
      const auto size = CheckedSize(stride, mHeight, spare, INT_MAX);
      dib->clear();  // every byte zero, whatever the block held before
      if (!size || !TryAllocate(*dib, stride, mHeight, spare, mHook))
        throw JMemoryError(size.value_or(-1), "DoDecode:DIB");
      uint8_t* top = dib->data() + (mHeight - 1) * stride;
      t = Target{top + 2, top + 1, top, -stride, 3};
    } else {
      // Three planes hold what a 24-bit image of an int's size holds.
      static const char* const kNames[] = {"DoDecode:mRgbPA[0]", "DoDecode:mRgbPA[1]", "DoDecode:mRgbPA[2]"};
      const auto size = CheckedSize(mWidth, mHeight, 0, INT_MAX / 3);
      for (int i = 0; i < 3; ++i) {
        if (!size || !TryAllocate(mRgbPA[i], mWidth, mHeight, 0, mHook))
          throw JMemoryError(int64_t{mWidth} * mHeight, kNames[i]);
      }
      t = Target{mRgbPA[0].data(), mRgbPA[1].data(), mRgbPA[2].data(), mWidth, 1};
    }
    DoDecode(t);
    return 0;
  } catch (const JMemoryError& e) {
    Note("JMemoryError", e.mMessage + " " + std::to_string(e.mSize), -1);
    FreePlanes();
    return -1;
  } catch (const JIndexError& e) {
    Note("JIndexError", e.mMessage, -1);
    FreePlanes();
    return -1;
  } catch (const JBufferError& e) {
    Note("JBufferError", e.mMessage, -1);
    FreePlanes();
    return -1;
  } catch (const JDataFormatError& e) {
    Note("JDataFormatError", e.mMessage, e.mPosition);
  } catch (const JNotSupported& e) {
    Note("JNotSupported", "marker " + std::to_string(e.mMarker), e.mPosition);
  }
  FreePlanes();
  return -2;
}

void JDecoder::DoDecode(const Target& target) {
  const int64_t at = mIn.GetPosition();
  // One scan holds the whole image: a scan of fewer components than the frame
  // (non-interleaved, one of several scans) is not decoded.
  if (mScanCount != mComponents) throw JNotSupported(0xDA, at);
  for (int i = 0; i < mScanCount; ++i) {
    const Component& c = mComp[mScanComp[i]];
    if (!mHuff[0][c.dcTable].Defined() || !mHuff[1][c.acTable].Defined())
      throw JDataFormatError(at, "DoDecode:Huffman table not defined");
    if (!mQuantDefined[c.tq]) throw JDataFormatError(at, "DoDecode:quantisation table not defined");
  }
  const int mcuWidth = 8 * mHmax;
  const int mcuHeight = 8 * mVmax;
  const int mcuCols = (mWidth + mcuWidth - 1) / mcuWidth;
  const int mcuRows = (mHeight + mcuHeight - 1) / mcuHeight;
  static const char* const kUnitNames[] = {"Disconvert unit1", "Disconvert unit2", "Disconvert unit3",
                                           "Disconvert unit4"};
  for (int i = 0; i < mComponents; ++i) {
    Component& c = mComp[i];
    c.rowStride = int64_t{mcuCols} * c.h * 8;
    if (!TryAllocate(c.rows, c.rowStride, c.v * 8, 0, mHook) || !TryAllocate(c.columnOf, mWidth, 1, 0, mHook))
      throw JMemoryError(c.rowStride * c.v * 8, kUnitNames[i]);
    for (int x = 0; x < mWidth; ++x) c.columnOf[x] = x / c.hRatio;
    c.pred = 0;
  }

  alignas(32) int32_t block[64];
  mIn.StartBits();
  int64_t mcuCount = 0;
  for (int my = 0; my < mcuRows; ++my) {
    int doneWidth = mWidth;
    for (int mx = 0; mx < mcuCols && doneWidth == mWidth; ++mx) {
      if (mRestartInterval > 0 && mcuCount > 0 && mcuCount % mRestartInterval == 0) {
        const int marker = mIn.NextScanMarker();
        if (marker < 0xD0 || marker > 0xD7) {
          doneWidth = mx * mcuWidth;
          break;
        }
        for (int i = 0; i < mComponents; ++i) mComp[i].pred = 0;
      }
      for (int i = 0; i < mScanCount && doneWidth == mWidth; ++i) {
        Component& c = mComp[mScanComp[i]];
        for (int by = 0; by < c.v && doneWidth == mWidth; ++by) {
          for (int bx = 0; bx < c.h; ++bx) {
            uint8_t* out = c.rows.data() + by * 8 * c.rowStride + (int64_t{mx} * c.h + bx) * 8;
            if (!DecodeBlock(c, block)) {
              doneWidth = mx * mcuWidth;
              break;
            }
            if (block[0] == INT32_MIN) {
              // Only the DC coefficient: a flat block, as the transform would give it.
              const int dc = (((block[1] * jdct::kC4) >> 7) * jdct::kC4) >> 9;
              const uint8_t v = ClampToByte((dc + (128 << 4) + 8) >> 4);
              for (int r = 0; r < 8; ++r) std::memset(out + r * c.rowStride, v, 8);
            } else {
              Idct(block, out, static_cast<int>(c.rowStride));
            }
          }
        }
      }
      ++mcuCount;
    }
    const int y0 = my * mcuHeight;
    ConvertRows(target, y0, std::min(mcuHeight, mHeight - y0), std::min(doneWidth, mWidth));
    if (doneWidth < mWidth) return;
  }
}

// Decodes one block into natural order. A block of DC only is returned as
// block[0] = INT32_MIN and block[1] = the dequantised DC. False ends the scan
// quietly: the data ran out, met a marker, or a run passed the block's end.
bool JDecoder::DecodeBlock(Component& c, int32_t* __restrict block) {
  const JHuffTable& dc = mHuff[0][c.dcTable];
  const JHuffTable& ac = mHuff[1][c.acTable];
  const int32_t* q = mQuantZ[c.tq].data();
  // The bit buffer lives in locals for the block.
  JInBitStream::Bits b = mIn.Load();
  auto stop = [&]() {
    mIn.Save(b);
    return false;
  };
  auto noCode = [&]() {
    if (mIn.PastData(b, 16)) return stop();
    throw JDataFormatError(mIn.GetPosition(), "Decode1HuffmanCode:length over");
  };
  auto wrongValue = [&]() { throw JDataFormatError(mIn.GetPosition(), "DecodeHuffman:wrong Huffman value"); };

  mIn.Need32(b);
  const int s = dc.Decode(b);
  if (s < 0) return noCode();
  if (s > 11) wrongValue();
  const int diff = s ? Extend(JInBitStream::Take(b, s), s) : 0;
  // Real predictions stay within +-2047; a hostile file's are held there.
  c.pred = std::clamp(c.pred + diff, -2048, 2047);
  const int32_t dcValue = ClampCoef(c.pred * q[0]);

  int k = 1;
  bool any = false;
  while (k < 64) {
    mIn.Need32(b);
    const int fast = ac.FastAc(JInBitStream::Peek(b, JHuffTable::kLookBits));
    int value;
    if (fast != 0) {
      JInBitStream::Consume(b, fast & 15);
      k += (fast >> 4) & 15;
      value = fast >> 8;
    } else {
      const int rs = ac.Decode(b);
      if (rs < 0) return noCode();
      const int run = rs >> 4;
      const int size = rs & 15;
      if (size == 0) {
        if (run == 15) {
          k += 16;
          continue;
        }
        if (run == 0) break;
        wrongValue();
      }
      if (size > 10) wrongValue();
      k += run;
      value = Extend(JInBitStream::Take(b, size), size);
    }
    if (k > 63) return stop();
    if (!any) {
      ZeroBlock(block);
      any = true;
    }
    block[kJZigzag[k]] = ClampCoef(value * q[k]);
    ++k;
  }
  mIn.Save(b);
  if (mIn.PastData(b, 0)) return false;
  if (any) {
    block[0] = dcValue;
  } else {
    block[0] = INT32_MIN;
    block[1] = dcValue;
  }
  return true;
}

namespace {

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
template <int kStep, int kH>
void ConvertColourFast(const uint8_t* yRow, const uint8_t* cbRow, const uint8_t* crRow, uint8_t* r, uint8_t* g,
                       uint8_t* b, int width) {
  const uint8_t* lim = kLimit.v + 384;
  int x = 0;
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
void ConvertRow(const uint8_t* rows[4], const int32_t* cols[4], const int hRatio[4], bool adobe, bool fast,
                uint8_t* r, uint8_t* g, uint8_t* b, int width) {
  if (fast && hRatio[1] == 1) {
    ConvertColourFast<kStep, 1>(rows[0], rows[1], rows[2], r, g, b, width);
  } else if (fast && hRatio[1] == 2) {
    ConvertColourFast<kStep, 2>(rows[0], rows[1], rows[2], r, g, b, width);
  } else {
    ConvertColour<kStep>(rows[0], rows[1], rows[2], adobe ? rows[3] : nullptr, cols[0], cols[1], cols[2],
                         adobe ? cols[3] : nullptr, r, g, b, width);
  }
}

}  // namespace

void JDecoder::ConvertRows(const Target& t, int y0, int rows, int width) {
  if (width <= 0) return;
  const bool adobe = mComponents == 4 && mAdobe;
  // The common layouts (4:4:4, 4:2:2, 4:2:0) go through the loop of one chroma look-up per sample.
  const bool fast = !adobe && mComponents >= 3 && mComp[0].hRatio == 1 && mComp[1].hRatio == mComp[2].hRatio &&
                    mComp[1].hRatio <= 2;
  const int hRatio[4] = {mComp[0].hRatio, mComp[1].hRatio, mComp[2].hRatio, mComp[3].hRatio};
  const int32_t* cols[4] = {mComp[0].columnOf.data(), mComp[1].columnOf.data(), mComp[2].columnOf.data(),
                            mComp[3].columnOf.data()};
  for (int i = 0; i < rows; ++i) {
    const int64_t y = y0 + i;
    uint8_t* r = t.r + y * t.rowStep;
    uint8_t* g = t.g + y * t.rowStep;
    uint8_t* b = t.b + y * t.rowStep;
    const uint8_t* src[4] = {};
    for (int c = 0; c < mComponents; ++c) src[c] = mComp[c].rows.data() + (i / mComp[c].vRatio) * mComp[c].rowStride;
    if (mComponents == 1) {
      if (t.step == 3) ConvertGrey<3>(src[0], r, g, b, width);
      else ConvertGrey<1>(src[0], r, g, b, width);
    } else if (t.step == 3) {
      ConvertRow<3>(src, cols, hRatio, adobe, fast, r, g, b, width);
    } else {
      ConvertRow<1>(src, cols, hRatio, adobe, fast, r, g, b, width);
    }
  }
}
