// Scan decoding of the JPEG decoder: one interleaved scan, MCU by MCU. Each block is
// Huffman-decoded with dequantisation on the fly, inverse-transformed into its
// component's MCU-row buffer, and every finished MCU row is upsampled (samples
// replicated to the largest sampling factors) and colour-converted straight into
// the target, planes or DIB rows.
#include <algorithm>
#include <climits>
#include <cstring>

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
      if (!size || !TryAllocate(*dib, stride, mHeight, spare, mHook))
        throw JMemoryError(size.value_or(-1), "DoDecode:DIB");
      uint8_t* top = dib->data() + (mHeight - 1) * stride;
      t = Target{top + 2, top + 1, top, -stride, 3};
    } else {
      static const char* const kNames[] = {"DoDecode:mRgbPA[0]", "DoDecode:mRgbPA[1]", "DoDecode:mRgbPA[2]"};
      for (int i = 0; i < 3; ++i) {
        if (!TryAllocate(mRgbPA[i], mWidth, mHeight, 0, mHook))
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
bool JDecoder::DecodeBlock(Component& c, int32_t* block) {
  const JHuffTable& dc = mHuff[0][c.dcTable];
  const JHuffTable& ac = mHuff[1][c.acTable];
  const int32_t* q = mQuantZ[c.tq].data();
  mIn.Need32();
  const int s = dc.Decode(mIn, mIn.GetPosition());
  if (s < 0) return false;
  if (s > 11) throw JDataFormatError(mIn.GetPosition(), "DecodeHuffman:wrong Huffman value");
  const int diff = s ? Extend(mIn.Take(s), s) : 0;
  // Real predictions stay within +-2047; a hostile file's are held there.
  c.pred = std::clamp(c.pred + diff, -2048, 2047);
  const int32_t dcValue = ClampCoef(c.pred * q[0]);

  int k = 1;
  bool any = false;
  while (k < 64) {
    mIn.Need32();
    const int fast = ac.FastAc(mIn.Peek(JHuffTable::kLookBits));
    if (fast != 0) {
      mIn.Consume(fast & 15);
      k += (fast >> 4) & 15;
      if (k > 63) return false;
      if (!any) {
        std::memset(block, 0, 64 * sizeof(int32_t));
        any = true;
      }
      block[kJZigzag[k]] = ClampCoef((fast >> 8) * q[k]);
      ++k;
      continue;
    }
    const int rs = ac.Decode(mIn, mIn.GetPosition());
    if (rs < 0) return false;
    const int run = rs >> 4;
    const int size = rs & 15;
    if (size == 0) {
      if (run == 15) {
        k += 16;
        continue;
      }
      if (run == 0) break;
      throw JDataFormatError(mIn.GetPosition(), "DecodeHuffman:wrong Huffman value");
    }
    if (size > 10) throw JDataFormatError(mIn.GetPosition(), "DecodeHuffman:wrong Huffman value");
    k += run;
    if (k > 63) return false;
    if (!any) {
      std::memset(block, 0, 64 * sizeof(int32_t));
      any = true;
    }
    block[kJZigzag[k]] = ClampCoef(Extend(mIn.Take(size), size) * q[k]);
    ++k;
  }
  if (mIn.Overrun()) return false;
  if (any) {
    block[0] = dcValue;
  } else {
    block[0] = INT32_MIN;
    block[1] = dcValue;
  }
  return true;
}

namespace {

template <int kStep>
void ConvertGrey(const uint8_t* y, uint8_t* r, uint8_t* g, uint8_t* b, int width) {
  for (int x = 0; x < width; ++x) r[x * kStep] = g[x * kStep] = b[x * kStep] = y[x];
}

template <int kStep>
void ConvertColour(const uint8_t* yRow, const uint8_t* cbRow, const uint8_t* crRow, const uint8_t* kRow,
                   const int32_t* yCol, const int32_t* cbCol, const int32_t* crCol, const int32_t* kCol,
                   uint8_t* r, uint8_t* g, uint8_t* b, int width) {
  for (int x = 0; x < width; ++x) {
    // With the Adobe flag the fourth component takes the place of Y.
    const int y = kRow ? kRow[kCol[x]] + 128 : yRow[yCol[x]];
    const int cb = cbRow[cbCol[x]];
    const int cr = crRow[crCol[x]];
    r[x * kStep] = ClampToByte(y + kTerms.crR[cr]);
    g[x * kStep] = ClampToByte(y - kTerms.crG[cr] - kTerms.cbG[cb]);
    b[x * kStep] = ClampToByte(y + kTerms.cbB[cb]);
  }
}

}  // namespace

void JDecoder::ConvertRows(const Target& t, int y0, int rows, int width) {
  if (width <= 0) return;
  for (int i = 0; i < rows; ++i) {
    const int64_t y = y0 + i;
    uint8_t* r = t.r + y * t.rowStep;
    uint8_t* g = t.g + y * t.rowStep;
    uint8_t* b = t.b + y * t.rowStep;
    auto rowOf = [&](const Component& c) { return c.rows.data() + (i / c.vRatio) * c.rowStride; };
    if (mComponents == 1) {
      if (t.step == 3) ConvertGrey<3>(rowOf(mComp[0]), r, g, b, width);
      else ConvertGrey<1>(rowOf(mComp[0]), r, g, b, width);
      continue;
    }
    const bool adobe = mComponents == 4 && mAdobe;
    const uint8_t* kRow = adobe ? rowOf(mComp[3]) : nullptr;
    const int32_t* kCol = adobe ? mComp[3].columnOf.data() : nullptr;
    if (t.step == 3)
      ConvertColour<3>(rowOf(mComp[0]), rowOf(mComp[1]), rowOf(mComp[2]), kRow, mComp[0].columnOf.data(),
                       mComp[1].columnOf.data(), mComp[2].columnOf.data(), kCol, r, g, b, width);
    else
      ConvertColour<1>(rowOf(mComp[0]), rowOf(mComp[1]), rowOf(mComp[2]), kRow, mComp[0].columnOf.data(),
                       mComp[1].columnOf.data(), mComp[2].columnOf.data(), kCol, r, g, b, width);
  }
}
