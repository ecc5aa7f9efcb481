// The JPEG encoder: headers, the MCU loop, quantisation by the level's tables and
// Huffman coding. The colour conversion of each MCU row is in JEncodeRows.cpp.
#include "image/codecs/jpeg/JEncoder.h"

#include <algorithm>
#include <cstring>

#include "base/CheckedSize.h"
#include "image/codecs/jpeg/JEncodeTables.h"
#include "image/codecs/jpeg/JZigzag.h"

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

struct Identity {
  uint8_t order[64];
  constexpr Identity() : order() {
    for (int k = 0; k < 64; ++k) order[k] = static_cast<uint8_t>(k);
  }
};
constexpr Identity kIdentity;

// Natural-order divisors rearranged so that QuantizeBase writes zigzag order.
jkern::Divisors InZigzagOrder(const jkern::Divisors& d) {
  jkern::Divisors z{};
  for (int k = 0; k < 64; ++k) {
    const int i = kJZigzag[k];
    z.shiftA[k] = d.shiftA[i];
    z.shiftB[k] = d.shiftB[i];
    z.reciprocal[k] = d.reciprocal[i];
    z.natural[k] = i;
  }
  return z;
}

}  // namespace

JEncoder::JEncoder(const uint8_t* pR, const uint8_t* pG, const uint8_t* pB, AllocHook* hook)
    : wide_(jkern::HaveAvx2()), r_(pR), g_(pG), b_(pB), hook_(hook) {
  BuildCodes(kJDcLuma, dcLuma_.code, dcLuma_.size);
  BuildCodes(kJDcChroma, dcChroma_.code, dcChroma_.size);
  BuildCodes(kJAcLuma, acLuma_.code, acLuma_.size);
  BuildCodes(kJAcChroma, acChroma_.code, acChroma_.size);
}

JEncoder::JEncoder(JBgrRows rows, AllocHook* hook) : JEncoder(nullptr, nullptr, nullptr, hook) { bgr_ = rows; }

void JEncoder::SetWideKernels(bool on) { wide_ = on && jkern::HaveAvx2(); }

void JEncoder::SetParams(const JEncodeParams& params) {
  params_ = params;
  params_.components = 3;
  params_.precision = 8;
  params_.versionMajor = 1;
  params_.versionMinor = 2;
  params_.thumbnail = 0;
}

std::span<const uint8_t> JEncoder::GetOutput() const { return out_ ? out_->Written() : std::span<const uint8_t>(); }

int JEncoder::Encode() {
  out_.reset();
  try {
    const int w = params_.width;
    const int h = params_.height;
    // The frame header holds 16-bit sizes.
    if (w < 1 || w > 65535) throw JIndexError(65535, w, "Encode:width");
    if (h < 1 || h > 65535) throw JIndexError(65535, h, "Encode:height");
    // A first guess at the size; the stream grows when the picture needs more.
    const int64_t guess = std::max<int64_t>(10240, std::min<int64_t>(int64_t{w} * h, 64 << 20));
    out_ = std::make_unique<JOutBitStream>(guess, hook_);
    predY_ = predCb_ = predCr_ = 0;
    const int rows = (h + 15) / 16;
    const int cols = (w + 15) / 16;
    // One MCU row of samples at a time.
    rowStride_ = int64_t{cols} * 16;
    if (!TryAllocate(rowsY_, rowStride_, 16, 0, hook_)) throw JMemoryError(rowStride_ * 32, "Encode:rows");
    if (!TryAllocate(rowsCb_, rowStride_ / 2, 8, 0, hook_)) throw JMemoryError(rowStride_ * 8, "Encode:rows");
    if (!TryAllocate(rowsCr_, rowStride_ / 2, 8, 0, hook_)) throw JMemoryError(rowStride_ * 8, "Encode:rows");
    WriteHeaders();
    const int level = level_ == 1 || level_ == 2 ? level_ : 3;
    const Divisors lq = MakeDivisors(kJLumaQuant[level - 1]);
    const Divisors cq = MakeDivisors(kJChromaQuant[level - 1]);
    // The wide kernels transform and quantise two blocks at a time in 16 bits.
    jkern::Divisors16 lq16, cq16;
    const bool pairs = wide_ && jkern::MakeDivisors16(lq, kJLumaQuant[level - 1], lq16) &&
                       jkern::MakeDivisors16(cq, kJChromaQuant[level - 1], cq16);
    const Divisors lz = InZigzagOrder(lq), cz = InZigzagOrder(cq);
    const int64_t ys = rowStride_, cs = rowStride_ / 2;
    int16_t q[2][64];
    uint64_t nonzero[2];
    for (int r = 0; r < rows; ++r) {
      FetchMcuRow(r);
      for (int c = 0; c < cols; ++c) {
        // Y blocks left to right, top to bottom, then Cb and Cr.
        const int16_t* y = rowsY_.data() + int64_t{c} * 16;
        const int16_t* cb = rowsCb_.data() + int64_t{c} * 8;
        const int16_t* cr = rowsCr_.data() + int64_t{c} * 8;
        if (pairs) {
          for (const int16_t* top : {y, y + 8 * ys}) {
            jkern::FdctQuantizePairAvx2(top, ys, top + 8, ys, lq16, q[0], q[1], nonzero);
            CodeBlock(q[0], kJZigzag, nonzero[0], dcLuma_, acLuma_, predY_);
            CodeBlock(q[1], kJZigzag, nonzero[1], dcLuma_, acLuma_, predY_);
          }
          jkern::FdctQuantizePairAvx2(cb, cs, cr, cs, cq16, q[0], q[1], nonzero);
          CodeBlock(q[0], kJZigzag, nonzero[0], dcChroma_, acChroma_, predCb_);
          CodeBlock(q[1], kJZigzag, nonzero[1], dcChroma_, acChroma_, predCr_);
          continue;
        }
        EncodeBlock(y, ys, lz, dcLuma_, acLuma_, predY_);
        EncodeBlock(y + 8, ys, lz, dcLuma_, acLuma_, predY_);
        EncodeBlock(y + 8 * ys, ys, lz, dcLuma_, acLuma_, predY_);
        EncodeBlock(y + 8 * ys + 8, ys, lz, dcLuma_, acLuma_, predY_);
        EncodeBlock(cb, cs, cz, dcChroma_, acChroma_, predCb_);
        EncodeBlock(cr, cs, cz, dcChroma_, acChroma_, predCr_);
      }
    }
    out_->SetByte(0xFF);  // EOI, after the pending bits are filled with 1s
    out_->SetByte(0xD9);
    return 0;
  } catch (const JMemoryError&) {
  } catch (const JBufferError&) {
  } catch (const JIndexError&) {
  }
  out_.reset();
  return -1;
}

void JEncoder::WriteHeaders() {
  JOutBitStream& o = *out_;
  const int level = level_ == 1 || level_ == 2 ? level_ : 3;
  o.SetWord(0xFFD8);
  o.SetWord(0xFFE0);
  o.SetWord(16);
  o.CopyByte(reinterpret_cast<const uint8_t*>("JFIF"), 5);
  o.SetByte(params_.versionMajor);
  o.SetByte(params_.versionMinor);
  o.SetByte(params_.units);
  o.SetWord(params_.xDensity);
  o.SetWord(params_.yDensity);
  o.SetByte(0);
  o.SetByte(0);
  if (params_.comment) {
    const int64_t n = static_cast<int64_t>(std::strlen(params_.comment));
    if (n > 65533) throw JIndexError(65533, n, "WriteHeaders:COM");
    o.SetWord(0xFFFE);
    o.SetWord(static_cast<int>(n + 2));
    o.CopyByte(reinterpret_cast<const uint8_t*>(params_.comment), n);
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
  o.SetWord(params_.height);
  o.SetWord(params_.width);
  o.SetByte(3);
  const uint8_t frame[9] = {0, 0x22, 0, 1, 0x11, 1, 2, 0x11, 1};
  o.CopyByte(frame, 9);
  o.SetWord(0xFFDA);
  o.SetWord(12);
  o.SetByte(3);
  const uint8_t scan[9] = {0, 0x00, 1, 0x11, 2, 0x11, 0, 63, 0};
  o.CopyByte(scan, 9);
}

// How each table value divides (JKernels.h), in natural order.
jkern::Divisors JEncoder::MakeDivisors(const uint8_t* quant) {
  Divisors d{};
  for (int k = 0; k < 64; ++k) {
    const int i = k;
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

bool jkern::MakeDivisors16(const Divisors& d, const uint8_t* quant, Divisors16& out) {
  for (int k = 0; k < 64; ++k) {
    out.shiftA[k] = out.shiftB[k] = out.reciprocal[k] = out.scale[k] = 0;
    if (d.reciprocal[k] == 0) {
      if (d.shiftA[k] < 1 || d.shiftA[k] > 16 || d.shiftB[k] < 1) return false;
      out.shiftA[k] = static_cast<uint16_t>(1u << (16 - d.shiftA[k]));
      if (d.shiftB[k] < 16) out.shiftB[k] = static_cast<uint16_t>(1u << (16 - d.shiftB[k]));
    } else {
      const uint32_t q = quant[d.natural[k]];
      if (q < 2) return false;
      const int s = 31 - __builtin_clz(q);  // 2^s <= q < 2^(s + 1)
      if ((q & (q - 1)) == 0) {
        // A power of two without a listed shift form: a shift all the same.
        out.shiftA[k] = static_cast<uint16_t>(1u << (16 - s));
      } else {
        out.reciprocal[k] = static_cast<uint16_t>(((uint32_t{1} << (16 + s)) + q - 1) / q);
        out.scale[k] = static_cast<uint16_t>(1u << (16 - s));
      }
    }
  }
  return true;
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

void JEncoder::EncodeBlock(const int16_t* samples, int64_t stride, const Divisors& quant, const HuffCodes& dc,
                           const HuffCodes& ac, int& pred) {
  int32_t in[64], coef[64], zz[64];
  for (int r = 0; r < 8; ++r) {
    for (int i = 0; i < 8; ++i) in[r * 8 + i] = samples[r * stride + i];
  }
  Fdct(in, coef);
  const uint64_t nonzero = jkern::QuantizeBase(coef, quant, zz);
  CodeBlock(zz, kIdentity.order, nonzero, dc, ac, pred);
}

template <class T>
void JEncoder::CodeBlock(const T* q, const uint8_t* order, uint64_t nonzero, const HuffCodes& dc, const HuffCodes& ac,
                         int& pred) {
  JOutBitStream& o = *out_;
  // Each code goes out with the value bits after it in one write.
  const int diff = q[0] - pred;
  pred = q[0];
  const int dcSize = BitLength(diff < 0 ? -diff : diff);
  if (dcSize > 11) throw JIndexError(11, dcSize, "EncodeHuffman:DC");
  const uint32_t dcBits = static_cast<uint32_t>(diff < 0 ? diff - 1 : diff) & ((1u << dcSize) - 1);
  if (dc.size[dcSize] + dcSize > 0) o.PutBits(uint32_t{dc.code[dcSize]} << dcSize | dcBits, dc.size[dcSize] + dcSize);

  // The nonzero AC coefficients one by one in zigzag order, each after the run of
  // zeros before it.
  int last = 0;
  for (uint64_t rest = nonzero & ~uint64_t{1}; rest != 0; rest &= rest - 1) {
    const int k = __builtin_ctzll(rest);
    int run = k - last - 1;
    last = k;
    const int v = q[order[k]];
    for (; run >= 16; run -= 16) o.PutBits(ac.code[0xF0], ac.size[0xF0]);
    const int size = BitLength(v < 0 ? -v : v);
    if (size > 10) throw JIndexError(10, size, "EncodeHuffman:AC");
    const int rs = run << 4 | size;
    const uint32_t bits = static_cast<uint32_t>(v < 0 ? v - 1 : v) & ((1u << size) - 1);
    o.PutBits(uint32_t{ac.code[rs]} << size | bits, ac.size[rs] + size);
  }
  if (last < 63) o.PutBits(ac.code[0x00], ac.size[0x00]);
}
