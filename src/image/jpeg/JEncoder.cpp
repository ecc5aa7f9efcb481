// The JPEG encoder: headers, MCU fetching with colour conversion and 4:2:0
// averaging, quantisation by the level's tables and Huffman coding.
#include "image/jpeg/JEncoder.h"

#include <algorithm>
#include <cstring>

#include "base/CheckedSize.h"
#include "image/jpeg/JEncodeTables.h"
#include "image/jpeg/JZigzag.h"

namespace {

void BuildCodes(const JHuffSpec& spec, uint16_t* code, uint8_t* size) {
  int c = 0;
  int k = 0;
  for (int len = 1; len <= 16; ++len) {
    for (int i = 0; i < spec.counts[len - 1]; ++i, ++k, ++c) {
      code[spec.values[k]] = static_cast<uint16_t>(c);
      size[spec.values[k]] = static_cast<uint8_t>(len);
    }
    c <<= 1;
  }
}

int BitLength(int v) { return v == 0 ? 0 : 32 - __builtin_clz(static_cast<unsigned>(v)); }

}  // namespace

JEncoder::JEncoder(const uint8_t* pR, const uint8_t* pG, const uint8_t* pB, plat::AllocHook* hook)
    : mR(pR), mG(pG), mB(pB), mHook(hook) {
  BuildCodes(kJDcLuma, mDcLuma.code, mDcLuma.size);
  BuildCodes(kJDcChroma, mDcChroma.code, mDcChroma.size);
  BuildCodes(kJAcLuma, mAcLuma.code, mAcLuma.size);
  BuildCodes(kJAcChroma, mAcChroma.code, mAcChroma.size);
}

void JEncoder::SetParams(const JEncodeParams& params) {
  mParams = params;
  mParams.components = 3;
  mParams.precision = 8;
  mParams.versionMajor = 1;
  mParams.versionMinor = 2;
  mParams.thumbnail = 0;
}

std::span<const uint8_t> JEncoder::GetOutput() const { return mOut ? mOut->Written() : std::span<const uint8_t>(); }

int JEncoder::Encode() {
  mOut.reset();
  try {
    const int w = mParams.width;
    const int h = mParams.height;
    // The frame header holds 16-bit sizes.
    if (w < 1 || w > 65535) throw JIndexError(65535, w, "Encode:width");
    if (h < 1 || h > 65535) throw JIndexError(65535, h, "Encode:height");
    // A first guess at the size; the stream grows when the picture needs more.
    const int64_t guess = std::max<int64_t>(10240, std::min<int64_t>(int64_t{w} * h, 64 << 20));
    mOut = std::make_unique<JOutBitStream>(guess, mHook);
    mPredY = mPredCb = mPredCr = 0;
    WriteHeaders();
    const int level = mLevel == 1 || mLevel == 2 ? mLevel : 3;
    const uint8_t* lq = kJLumaQuant[level - 1];
    const uint8_t* cq = kJChromaQuant[level - 1];
    const int rows = (h + 15) / 16;
    const int cols = (w + 15) / 16;
    for (int r = 0; r < rows; ++r) {
      for (int c = 0; c < cols; ++c) {
        FetchMcu(c, r);
        for (int k = 0; k < 4; ++k) EncodeBlock(mY[k], lq, mDcLuma, mAcLuma, mPredY);
        EncodeBlock(mCb, cq, mDcChroma, mAcChroma, mPredCb);
        EncodeBlock(mCr, cq, mDcChroma, mAcChroma, mPredCr);
      }
    }
    mOut->SetByte(0xFF);  // EOI, after the pending bits are filled with 1s
    mOut->SetByte(0xD9);
    return 0;
  } catch (const JMemoryError&) {
  } catch (const JBufferError&) {
  } catch (const JIndexError&) {
  }
  mOut.reset();
  return -1;
}

void JEncoder::WriteHeaders() {
  JOutBitStream& o = *mOut;
  const int level = mLevel == 1 || mLevel == 2 ? mLevel : 3;
  o.SetWord(0xFFD8);
  o.SetWord(0xFFE0);
  o.SetWord(16);
  o.CopyByte(reinterpret_cast<const uint8_t*>("JFIF"), 5);
  o.SetByte(mParams.versionMajor);
  o.SetByte(mParams.versionMinor);
  o.SetByte(mParams.units);
  o.SetWord(mParams.xDensity);
  o.SetWord(mParams.yDensity);
  o.SetByte(0);
  o.SetByte(0);
  if (mParams.comment) {
    const int64_t n = static_cast<int64_t>(std::strlen(mParams.comment));
    if (n > 65533) throw JIndexError(65533, n, "WriteHeaders:COM");
    o.SetWord(0xFFFE);
    o.SetWord(static_cast<int>(n + 2));
    o.CopyByte(reinterpret_cast<const uint8_t*>(mParams.comment), n);
  }
  const uint8_t* quant[2] = {kJLumaQuant[level - 1], kJChromaQuant[level - 1]};
  for (int t = 0; t < 2; ++t) {
    o.SetWord(0xFFDB);
    o.SetWord(67);
    o.SetByte(t);
    for (int k = 0; k < 64; ++k) o.SetByte(quant[t][kJZigzag[k]]);
  }
  const JHuffSpec* specs[4] = {&kJDcLuma, &kJDcChroma, &kJAcLuma, &kJAcChroma};
  const int classIndex[4] = {0x00, 0x01, 0x10, 0x11};
  for (int t = 0; t < 4; ++t) {
    o.SetWord(0xFFC4);
    o.SetWord(2 + 1 + 16 + specs[t]->valueCount);
    o.SetByte(classIndex[t]);
    o.CopyByte(specs[t]->counts, 16);
    o.CopyByte(specs[t]->values, specs[t]->valueCount);
  }
  o.SetWord(0xFFC0);
  o.SetWord(17);
  o.SetByte(8);
  o.SetWord(mParams.height);
  o.SetWord(mParams.width);
  o.SetByte(3);
  const uint8_t frame[9] = {0, 0x22, 0, 1, 0x11, 1, 2, 0x11, 1};
  o.CopyByte(frame, 9);
  o.SetWord(0xFFDA);
  o.SetWord(12);
  o.SetByte(3);
  const uint8_t scan[9] = {0, 0x00, 1, 0x11, 2, 0x11, 0, 63, 0};
  o.CopyByte(scan, 9);
}

void JEncoder::FetchMcu(int column, int row) {
  const int w = mParams.width;
  const int h = mParams.height;
  int32_t cb[16][16];
  int32_t cr[16][16];
  for (int y = 0; y < 16; ++y) {
    const int64_t sy = std::min(row * 16 + y, h - 1);
    const uint8_t* r = mR + sy * w;
    const uint8_t* g = mG + sy * w;
    const uint8_t* b = mB + sy * w;
    int32_t* yOut = mY[(y >> 3) * 2] + (y & 7) * 8;
    for (int x = 0; x < 16; ++x) {
      const int sx = std::min(column * 16 + x, w - 1);
      const int R = r[sx], G = g[sx], B = b[sx];
      yOut[(x >> 3) * 64 + (x & 7)] = ((G * 601) >> 10) + ((B * 467) >> 12) + ((R * 153) >> 9) - 128;
      cb[y][x] = (B >> 1) - ((G * 1357) >> 12) - ((R * 691) >> 12);
      cr[y][x] = (R >> 1) - ((G * 1715) >> 12) - ((B * 333) >> 12);
    }
  }
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      mCb[y * 8 + x] = (cb[2 * y][2 * x] + cb[2 * y][2 * x + 1] + cb[2 * y + 1][2 * x] + cb[2 * y + 1][2 * x + 1]) >> 2;
      mCr[y * 8 + x] = (cr[2 * y][2 * x] + cr[2 * y][2 * x + 1] + cr[2 * y + 1][2 * x] + cr[2 * y + 1][2 * x + 1]) >> 2;
    }
  }
}

// Each magnitude divided by its table value, as sums of shifts where the divisor
// has such a form, the sign restored.
void JEncoder::Quantize(const int32_t* coef, const uint8_t* quant, int32_t* out) {
  for (int i = 0; i < 64; ++i) {
    const int32_t x = coef[i] < 0 ? -coef[i] : coef[i];
    int32_t v;
    switch (quant[i]) {
      case 128: v = x >> 7; break;
      case 102: v = (x >> 7) + (x >> 9); break;
      case 86: v = (x >> 7) + (x >> 8); break;
      case 64: v = x >> 6; break;
      case 51: v = (x >> 6) + (x >> 8); break;
      case 42: v = (x >> 6) + (x >> 7); break;
      case 32: v = x >> 5; break;
      case 30: v = (x >> 5) + (x >> 9); break;
      case 26: v = (x >> 5) + (x >> 7); break;
      case 20: v = (x >> 5) + (x >> 6); break;
      case 16: v = x >> 4; break;
      case 11: v = (x >> 4) + (x >> 5); break;
      case 8: v = x >> 3; break;
      case 4: v = x >> 2; break;
      case 2: v = x >> 1; break;
      default: v = x / quant[i]; break;
    }
    out[i] = coef[i] < 0 ? -v : v;
  }
}

void JEncoder::EncodeBlock(const int32_t* samples, const uint8_t* quant, const HuffCodes& dc, const HuffCodes& ac,
                           int& pred) {
  int32_t coef[64];
  int32_t q[64];
  Fdct(samples, coef);
  Quantize(coef, quant, q);
  JOutBitStream& o = *mOut;

  const int diff = q[0] - pred;
  pred = q[0];
  const int dcSize = BitLength(diff < 0 ? -diff : diff);
  if (dcSize > 11) throw JIndexError(11, dcSize, "EncodeHuffman:DC");
  o.SetBits(dc.code[dcSize], dc.size[dcSize]);
  if (dcSize) o.SetBits(static_cast<uint32_t>(diff < 0 ? diff - 1 : diff), dcSize);

  int run = 0;
  for (int k = 1; k < 64; ++k) {
    const int v = q[kJZigzag[k]];
    if (v == 0) {
      ++run;
      continue;
    }
    for (; run >= 16; run -= 16) o.SetBits(ac.code[0xF0], ac.size[0xF0]);
    const int size = BitLength(v < 0 ? -v : v);
    if (size > 10) throw JIndexError(10, size, "EncodeHuffman:AC");
    const int rs = run << 4 | size;
    o.SetBits(ac.code[rs], ac.size[rs]);
    o.SetBits(static_cast<uint32_t>(v < 0 ? v - 1 : v), size);
    run = 0;
  }
  if (run > 0) o.SetBits(ac.code[0x00], ac.size[0x00]);
}
