// The JPEG encoder: headers, MCU fetching with colour conversion and 4:2:0
// averaging, quantisation by the level's tables and Huffman coding.
#include "image/jpeg/JEncoder.h"

#include <algorithm>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/CheckedSize.h"
#include "image/jpeg/JEncodeTables.h"
#include "image/jpeg/JZigzag.h"

namespace {

void BuildCodes(const JHuffDefinition& table, uint16_t* code, uint8_t* size) {
  int c = 0;
  int k = 0;
  for (int len = 1; len <= 16; ++len) {
    for (int i = 0; i < table.counts[len - 1]; ++i, ++k, ++c) {
      code[table.values[k]] = static_cast<uint16_t>(c);
      size[table.values[k]] = static_cast<uint8_t>(len);
    }
    c <<= 1;
  }
}

int BitLength(int v) { return v == 0 ? 0 : 32 - __builtin_clz(static_cast<unsigned>(v)); }

}  // namespace

JEncoder::JEncoder(const uint8_t* pR, const uint8_t* pG, const uint8_t* pB, plat::AllocHook* hook)
    : mWide(jkern::HaveAvx2()), mR(pR), mG(pG), mB(pB), mHook(hook) {
  BuildCodes(kJDcLuma, mDcLuma.code, mDcLuma.size);
  BuildCodes(kJDcChroma, mDcChroma.code, mDcChroma.size);
  BuildCodes(kJAcLuma, mAcLuma.code, mAcLuma.size);
  BuildCodes(kJAcChroma, mAcChroma.code, mAcChroma.size);
}

void JEncoder::SetWideKernels(bool on) { mWide = on && jkern::HaveAvx2(); }

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
    const Divisors lq = MakeDivisors(kJLumaQuant[level - 1]);
    const Divisors cq = MakeDivisors(kJChromaQuant[level - 1]);
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
  const JHuffDefinition* defs[4] = {&kJDcLuma, &kJDcChroma, &kJAcLuma, &kJAcChroma};
  const int classIndex[4] = {0x00, 0x01, 0x10, 0x11};
  for (int t = 0; t < 4; ++t) {
    o.SetWord(0xFFC4);
    o.SetWord(2 + 1 + 16 + defs[t]->valueCount);
    o.SetByte(classIndex[t]);
    o.CopyByte(defs[t]->counts, 16);
    o.CopyByte(defs[t]->values, defs[t]->valueCount);
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

namespace {

#if defined(__SSE2__)
// Y, Cb and Cr of sixteen pixels: each product is the high half of an unsigned 16-bit
// multiply by the constant scaled to 16 fractional bits (G x 601 >> 10 = G x 38464
// >> 16, and so on), so the results equal the per-pixel formulas. Y goes out as
// sixteen ints; Cb and Cr as eight sums of horizontal pairs, for the 2 x 2 average.
inline void Ycc16(const uint8_t* R8, const uint8_t* G8, const uint8_t* B8, int32_t* y, int32_t* cbPairs,
                  int32_t* crPairs) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i ones = _mm_set1_epi16(1);
  const __m128i r8 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(R8));
  const __m128i g8 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(G8));
  const __m128i b8 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(B8));
  for (int half = 0; half < 2; ++half) {
    const __m128i r = half ? _mm_unpackhi_epi8(r8, zero) : _mm_unpacklo_epi8(r8, zero);
    const __m128i g = half ? _mm_unpackhi_epi8(g8, zero) : _mm_unpacklo_epi8(g8, zero);
    const __m128i b = half ? _mm_unpackhi_epi8(b8, zero) : _mm_unpacklo_epi8(b8, zero);
    const __m128i Y = _mm_sub_epi16(
        _mm_add_epi16(_mm_add_epi16(_mm_mulhi_epu16(g, _mm_set1_epi16(static_cast<short>(38464))),
                                    _mm_mulhi_epu16(b, _mm_set1_epi16(7472))),
                      _mm_mulhi_epu16(r, _mm_set1_epi16(19584))),
        _mm_set1_epi16(128));
    const __m128i Cb = _mm_sub_epi16(_mm_sub_epi16(_mm_srli_epi16(b, 1), _mm_mulhi_epu16(g, _mm_set1_epi16(21712))),
                                     _mm_mulhi_epu16(r, _mm_set1_epi16(11056)));
    const __m128i Cr = _mm_sub_epi16(_mm_sub_epi16(_mm_srli_epi16(r, 1), _mm_mulhi_epu16(g, _mm_set1_epi16(27440))),
                                     _mm_mulhi_epu16(b, _mm_set1_epi16(5328)));
    const __m128i sign = _mm_srai_epi16(Y, 15);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(y + 8 * half), _mm_unpacklo_epi16(Y, sign));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(y + 8 * half + 4), _mm_unpackhi_epi16(Y, sign));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(cbPairs + 4 * half), _mm_madd_epi16(Cb, ones));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(crPairs + 4 * half), _mm_madd_epi16(Cr, ones));
  }
}
#else
inline void Ycc16(const uint8_t* R, const uint8_t* G, const uint8_t* B, int32_t* y, int32_t* cbPairs,
                  int32_t* crPairs) {
  for (int x = 0; x < 16; x += 2) {
    int32_t cb = 0, cr = 0;
    for (int i = x; i < x + 2; ++i) {
      y[i] = ((G[i] * 601) >> 10) + ((B[i] * 467) >> 12) + ((R[i] * 153) >> 9) - 128;
      cb += (B[i] >> 1) - ((G[i] * 1357) >> 12) - ((R[i] * 691) >> 12);
      cr += (R[i] >> 1) - ((G[i] * 1715) >> 12) - ((B[i] * 333) >> 12);
    }
    cbPairs[x / 2] = cb;
    crPairs[x / 2] = cr;
  }
}
#endif

}  // namespace

void JEncoder::FetchMcu(int column, int row) {
  const int w = mParams.width;
  const int h = mParams.height;
  const int x0 = column * 16;
  // Sample columns of the MCU: beyond the image the last column repeats.
  const bool inside = x0 + 16 <= w;
  int xs[16];
  for (int x = 0; x < 16; ++x) xs[x] = std::min(x0 + x, w - 1);
  int32_t cbPairs[16][8];
  int32_t crPairs[16][8];
  for (int y = 0; y < 16; ++y) {
    const int64_t sy = std::min(row * 16 + y, h - 1);
    const uint8_t* r = mR + sy * w;
    const uint8_t* g = mG + sy * w;
    const uint8_t* b = mB + sy * w;
    uint8_t R[16], G[16], B[16];
    if (inside) {
      r += x0, g += x0, b += x0;
    } else {
      for (int x = 0; x < 16; ++x) R[x] = r[xs[x]], G[x] = g[xs[x]], B[x] = b[xs[x]];
      r = R, g = G, b = B;
    }
    int32_t Y[16];
    Ycc16(r, g, b, Y, cbPairs[y], crPairs[y]);
    int32_t* yOut = mY[(y >> 3) * 2] + (y & 7) * 8;
    std::memcpy(yOut, Y, 8 * sizeof(int32_t));
    std::memcpy(yOut + 64, Y + 8, 8 * sizeof(int32_t));
  }
  // 4:2:0: the average of each 2 x 2 square, an arithmetic shift of the sum of four.
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      mCb[y * 8 + x] = (cbPairs[2 * y][x] + cbPairs[2 * y + 1][x]) >> 2;
      mCr[y * 8 + x] = (crPairs[2 * y][x] + crPairs[2 * y + 1][x]) >> 2;
    }
  }
}

// How each table value divides (JKernels.h), in zigzag order.
JEncoder::Divisors JEncoder::MakeDivisors(const uint8_t* quant) {
  Divisors d{};
  for (int k = 0; k < 64; ++k) {
    const int i = kJZigzag[k];
    int a = 0, b = 31;
    switch (quant[i]) {
      case 128: a = 7; break;
      case 102: a = 7, b = 9; break;
      case 86: a = 7, b = 8; break;
      case 64: a = 6; break;
      case 51: a = 6, b = 8; break;
      case 42: a = 6, b = 7; break;
      case 32: a = 5; break;
      case 30: a = 5, b = 9; break;
      case 26: a = 5, b = 7; break;
      case 20: a = 5, b = 6; break;
      case 16: a = 4; break;
      case 11: a = 4, b = 5; break;
      case 8: a = 3; break;
      case 4: a = 2; break;
      case 2: a = 1; break;
      default: a = -1; break;
    }
    d.shiftA[k] = a < 0 ? 0 : a;
    d.shiftB[k] = b;
    d.reciprocal[k] = a < 0 ? static_cast<uint32_t>(((uint64_t{1} << 32) + quant[i] - 1) / quant[i]) : 0;
    d.natural[k] = i;
  }
  return d;
}

uint64_t jkern::QuantizeBase(const int32_t* coef, const Divisors& d, int32_t* zz) {
  uint64_t nonzero = 0;
  for (int k = 0; k < 64; ++k) {
    const int32_t c = coef[d.natural[k]];
    const uint32_t x = std::min(static_cast<uint32_t>(c < 0 ? -c : c), 0xFFFFu);
    const auto shiftA = static_cast<uint32_t>(d.shiftA[k]), shiftB = static_cast<uint32_t>(d.shiftB[k]);
    const int32_t v = d.reciprocal[k] ? static_cast<int32_t>((uint64_t{x} * d.reciprocal[k]) >> 32)
                                      : static_cast<int32_t>((x >> shiftA) + (x >> shiftB));
    zz[k] = c < 0 ? -v : v;
    nonzero |= static_cast<uint64_t>(v != 0) << k;
  }
  return nonzero;
}

void JEncoder::EncodeBlock(const int32_t* samples, const Divisors& quant, const HuffCodes& dc, const HuffCodes& ac,
                           int& pred) {
  int32_t coef[64];
  int32_t q[64];  // zigzag order
  uint64_t nonzero;
  if (mWide) {
    jkern::FdctAvx2(samples, coef);
    nonzero = jkern::QuantizeAvx2(coef, quant, q);
  } else {
    Fdct(samples, coef);
    nonzero = jkern::QuantizeBase(coef, quant, q);
  }
  JOutBitStream& o = *mOut;

  const int diff = q[0] - pred;
  pred = q[0];
  const int dcSize = BitLength(diff < 0 ? -diff : diff);
  if (dcSize > 11) throw JIndexError(11, dcSize, "EncodeHuffman:DC");
  o.SetBits(dc.code[dcSize], dc.size[dcSize]);
  if (dcSize) o.SetBits(static_cast<uint32_t>(diff < 0 ? diff - 1 : diff), dcSize);

  // The nonzero AC coefficients one by one, each after the run of zeros before it.
  int last = 0;
  for (uint64_t rest = nonzero & ~uint64_t{1}; rest != 0; rest &= rest - 1) {
    const int k = __builtin_ctzll(rest);
    int run = k - last - 1;
    last = k;
    const int v = q[k];
    for (; run >= 16; run -= 16) o.SetBits(ac.code[0xF0], ac.size[0xF0]);
    const int size = BitLength(v < 0 ? -v : v);
    if (size > 10) throw JIndexError(10, size, "EncodeHuffman:AC");
    const int rs = run << 4 | size;
    o.SetBits(ac.code[rs], ac.size[rs]);
    o.SetBits(static_cast<uint32_t>(v < 0 ? v - 1 : v), size);
  }
  if (last < 63) o.SetBits(ac.code[0x00], ac.size[0x00]);
}
