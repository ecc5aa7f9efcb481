// Scan decoding of the JPEG decoder: one interleaved scan, MCU by MCU. Each block is
// Huffman-decoded with dequantisation on the fly and inverse-transformed into its
// component's MCU-row buffer; every finished MCU row is converted straight into the
// target, planes or DIB rows (JConvertRows.cpp). Images in several scans take
// JDecodeScans.cpp.
#include <algorithm>
#include <array>
#include <climits>
#include <cstring>

#include "base/CheckedSize.h"
#include "image/codecs/jpeg/JDct.h"
#include "image/codecs/jpeg/JDecoder.h"
#include "image/codecs/jpeg/JKernels.h"
#include "image/codecs/jpeg/JZigzag.h"

using jdct::ClampToByte;

namespace {

enum HeaderFlag { kFlagDHT = 1, kFlagDQT = 2, kFlagSOS = 16 };

// Dequantised coefficients are kept within what the inverse transform can take
// without overflow; real ones stay far inside.
inline int32_t ClampCoef(int32_t v) { return v < -16384 ? -16384 : v > 16383 ? 16383 : v; }

// Sixteen-byte stores written out: a memset of 256 bytes, or a loop the compiler
// takes for one, becomes a slow string store.
inline void ZeroBlock(int32_t* block) {
  typedef int32_t Lanes __attribute__((vector_size(16), may_alias));
  const Lanes zero = {0, 0, 0, 0};
  Lanes* at = reinterpret_cast<Lanes*>(block);
  at[0] = zero, at[1] = zero, at[2] = zero, at[3] = zero, at[4] = zero, at[5] = zero, at[6] = zero, at[7] = zero;
  at[8] = zero, at[9] = zero, at[10] = zero, at[11] = zero, at[12] = zero, at[13] = zero, at[14] = zero, at[15] = zero;
}

inline int Extend(int v, int size) { return v < (1 << (size - 1)) ? v - (1 << size) + 1 : v; }

// Place of each coefficient in zigzag order in a block stored by columns, the
// layout of the wide inverse transform.
struct ColumnOrder {
  uint8_t at[64];
  constexpr ColumnOrder() : at() {
    for (int k = 0; k < 64; ++k) at[k] = static_cast<uint8_t>(kJZigzag[k] % 8 * 8 + kJZigzag[k] / 8);
  }
};
constexpr ColumnOrder kColumnOrder;

}  // namespace

int JDecoder::Decode() { return Run<std::vector<uint8_t>>(nullptr, 0); }

void JDecoder::GetInfo(uint8_t** ppR, uint8_t** ppG, uint8_t** ppB, int* pWidth, int* pHeight, int* pComponents) {
  if (ppR) *ppR = rgbPA_[0].empty() ? nullptr : rgbPA_[0].data();
  if (ppG) *ppG = rgbPA_[1].empty() ? nullptr : rgbPA_[1].data();
  if (ppB) *ppB = rgbPA_[2].empty() ? nullptr : rgbPA_[2].data();
  if (pWidth) *pWidth = width_;
  if (pHeight) *pHeight = height_;
  if (pComponents) *pComponents = components_;
}

void JDecoder::FreePlanes() {
  for (auto& p : rgbPA_) std::vector<uint8_t>().swap(p);
}

// After a failure neither the planes nor the DIB block hold a picture.
template <class Rows>
int JDecoder::Fail(Rows* dib, int result) {
  FreePlanes();
  if (dib) Rows().swap(*dib);
  return result;
}

template <class Rows>
int JDecoder::Run(Rows* dib, int64_t spare) {
  const int need = kFlagDHT | kFlagDQT | kFlagSOS;
  if ((headerFlags_ & need) != need || !frameRead_) {
    error_ = "JDataFormatError missing DHT, DQT, SOF or SOS";
    return -2;
  }
  rowsDone_ = 0;
  whole_ = false;
  bool reuse = false;
  try {
    Target t{};
    if (dib) {
      const int64_t stride = (int64_t{width_} * 3 + 3) / 4 * 4;
      const auto size = CheckedSize(stride, height_, spare, INT_MAX);
      // A block of the right size is written over: what the decoding does not
      // reach is zeroed afterwards. Any other starts as zeros.
      reuse = size && static_cast<int64_t>(dib->size()) == *size;
      if (!reuse) {
        dib->clear();
        if (!size || !TryAllocate(*dib, stride, height_, spare, hook_))
          throw JMemoryError(size.value_or(-1), "DoDecode:DIB");
      }
      uint8_t* top = dib->data() + (height_ - 1) * stride;
      t = Target{top + 2, top + 1, top, -stride, 3};
    } else {
      // Three planes hold what a 24-bit image of an int's size holds.
      static const char* const kNames[] = {"DoDecode:rgbPA_[0]", "DoDecode:rgbPA_[1]", "DoDecode:rgbPA_[2]"};
      const auto size = CheckedSize(width_, height_, 0, INT_MAX / 3);
      for (int i = 0; i < 3; ++i) {
        if (!size || !TryAllocate(rgbPA_[i], width_, height_, 0, hook_))
          throw JMemoryError(int64_t{width_} * height_, kNames[i]);
      }
      t = Target{rgbPA_[0].data(), rgbPA_[1].data(), rgbPA_[2].data(), width_, 1};
    }
    DoDecode(t);
    if (reuse) {
      // Bottom-up: the rows not reached come first, the spare bytes last.
      const int64_t stride = (int64_t{width_} * 3 + 3) / 4 * 4;
      std::fill(dib->begin(), dib->begin() + (height_ - rowsDone_) * stride, uint8_t{0});
      std::fill(dib->begin() + height_ * stride, dib->end(), uint8_t{0});
    }
    return 0;
  } catch (const JMemoryError& e) {
    Note("JMemoryError", e.message_ + " " + std::to_string(e.size_), -1);
    return Fail(dib, -1);
  } catch (const JIndexError& e) {
    Note("JIndexError", e.message_, -1);
    return Fail(dib, -1);
  } catch (const JBufferError& e) {
    Note("JBufferError", e.message_, -1);
    return Fail(dib, -1);
  } catch (const JDataFormatError& e) {
    Note("JDataFormatError", e.message_, e.position_);
  } catch (const JNotSupported& e) {
    Note("JNotSupported", "marker " + std::to_string(e.marker_), e.position_);
  }
  return Fail(dib, -2);
}

template int JDecoder::Run(std::vector<uint8_t>* dib, int64_t spare);
template int JDecoder::Run(ZeroedVector<uint8_t>* dib, int64_t spare);
template int JDecoder::Run(ZeroedVector<uint8_t, HugePages::kAsk>* dib, int64_t spare);

void JDecoder::CheckScanTables() const {
  for (int i = 0; i < scanCount_; ++i) {
    const Component& c = comp_[scanComp_[i]];
    if (!huff_[0][c.dcTable].Defined() || !huff_[1][c.acTable].Defined())
      throw JDataFormatError(scanAt_, "DoDecode:Huffman table not defined");
    if (!quantDefined_[c.tq]) throw JDataFormatError(scanAt_, "DoDecode:quantisation table not defined");
  }
}

void JDecoder::PrepareScan() {
  for (int i = 0; i < scanCount_; ++i) {
    Component& c = comp_[scanComp_[i]];
    const auto& q = quantZ_[c.tq];
    c.dcHuff = &huff_[0][c.dcTable];
    c.acHuff = &huff_[1][c.acTable];
    c.quant = q.data();
    c.smallQuant = *std::max_element(q.begin() + 1, q.end()) <= kSmallQuant;
  }
}

void JDecoder::StoreBlock(int32_t* block, uint8_t* out, int64_t stride) {
  if (block[0] == INT32_MIN) {
    // Only the DC coefficient: a flat block, as the transform would give it.
    const int dc = (((block[1] * jdct::kC4) >> 7) * jdct::kC4) >> 9;
    const uint8_t v = ClampToByte((dc + (128 << 4) + 8) >> 4);
    for (int r = 0; r < 8; ++r) std::memset(out + r * stride, v, 8);
    block[0] = block[1] = 0;
  } else if (wide_) {
    jkern::IdctAvx2Columns(block, out, static_cast<int>(stride));
  } else {
    jkern::IdctBase(block, out, static_cast<int>(stride));
    ZeroBlock(block);
  }
}

void JDecoder::DoDecode(const Target& target) {
  in_.SeekTo(scanAt_);  // a second decoding starts over
  // A first scan of fewer components than the frame: the image comes in several scans.
  if (scanCount_ != components_) {
    DecodeScans(target);
    return;
  }
  CheckScanTables();
  PrepareScan();
  const int mcuWidth = 8 * hmax_;
  const int mcuHeight = 8 * vmax_;
  const int mcuCols = (width_ + mcuWidth - 1) / mcuWidth;
  const int mcuRows = (height_ + mcuHeight - 1) / mcuHeight;
  static const char* const kUnitNames[] = {"Disconvert unit1", "Disconvert unit2", "Disconvert unit3",
                                           "Disconvert unit4"};
  for (int i = 0; i < components_; ++i) {
    Component& c = comp_[i];
    c.rowStride = int64_t{mcuCols} * c.h * 8;
    if (!TryAllocate(c.rows, c.rowStride, c.v * 8, 0, hook_) || !TryAllocate(c.columnOf, width_, 1, 0, hook_))
      throw JMemoryError(c.rowStride * c.v * 8, kUnitNames[i]);
    for (int x = 0; x < width_; ++x) c.columnOf[x] = x / c.hRatio;
    c.pred = 0;
  }

  // The blocks of one MCU in their order in the data: component, where the block
  // lies in the component's MCU-row buffer for the first MCU, and how far the next
  // MCU's block lies on (up to four components of up to 4 x 4 blocks).
  struct McuBlock {
    Component* c;
    uint8_t* first;
    int64_t step;
  };
  std::array<McuBlock, 64> mcu{};
  int blocks = 0;
  for (int i = 0; i < scanCount_; ++i) {
    Component& c = comp_[scanComp_[i]];
    for (int by = 0; by < c.v; ++by) {
      for (int bx = 0; bx < c.h; ++bx) mcu[blocks++] = {&c, c.rows.data() + by * 8 * c.rowStride + bx * 8, c.h * 8};
    }
  }

  alignas(32) int32_t block[64] = {};  // all zero between blocks
  in_.StartBits();
  int64_t mcuCount = 0;
  for (int my = 0; my < mcuRows; ++my) {
    int doneWidth = width_;
    for (int mx = 0; mx < mcuCols && doneWidth == width_; ++mx) {
      if (restartInterval_ > 0 && mcuCount > 0 && mcuCount % restartInterval_ == 0) {
        const int marker = in_.NextScanMarker();
        if (marker < 0xD0 || marker > 0xD7) {
          doneWidth = mx * mcuWidth;
          break;
        }
        for (int i = 0; i < components_; ++i) comp_[i].pred = 0;
      }
      for (int j = 0; j < blocks; ++j) {
        const McuBlock& m = mcu[j];
        if (!DecodeBlock(*m.c, block)) {
          doneWidth = mx * mcuWidth;
          break;
        }
        StoreBlock(block, m.first + mx * m.step, m.c->rowStride);
      }
      ++mcuCount;
    }
    const int y0 = my * mcuHeight;
    ConvertRows(target, y0, std::min(mcuHeight, height_ - y0), std::min(doneWidth, width_));
    if (doneWidth < width_) return;
  }
  whole_ = true;
}

// The symbol the ready table does not hold, decoded by code length: the end of
// block, a run of sixteen zeros, a coefficient (stored with its clamp), or a
// fault. Returns 1 to go on, 0 at the block's end, -1 to stop the scan (the state
// saved).
int JDecoder::SlowAc(const JHuffTable& ac, const int32_t* q, const uint8_t* order, int32_t* block,
                     SlowState& st) {
  JInBitStream::Bits b{st.buf, st.n};
  auto done = [&](int go) {
    st.buf = b.buf;
    st.n = b.n;
    if (go < 0) in_.Save(b);
    return go;
  };
  const int rs = ac.Decode(b);
  if (rs < 0) {
    if (in_.PastData(b, 16)) return done(-1);
    throw JDataFormatError(in_.GetPosition(), "Decode1HuffmanCode:length over");
  }
  const int run = rs >> 4;
  const int size = rs & 15;
  if (size == 0 && run == 0) return done(0);
  if (size == 0 && run == 15) {
    st.k += 16;
    return done(st.k < 63 ? 1 : 0);
  }
  if (size == 0 || size > 10) throw JDataFormatError(in_.GetPosition(), "DecodeHuffman:wrong Huffman value");
  st.k += run + 1;
  const int value = Extend(JInBitStream::Take(b, size), size);
  if (st.k > 63) return done(-1);
  st.any = true;
  block[order[st.k]] = ClampCoef(value * q[st.k]);
  return done(st.k < 63 ? 1 : 0);
}

// Decodes one block, in natural order or, for the wide kernels, by columns, into a
// block that is all zero (StoreBlock leaves it so): only the coefficients present
// are written. A block of DC only is returned as block[0] = INT32_MIN and block[1]
// = the dequantised DC. False ends the scan quietly: the data ran out, met a
// marker, or a run passed the block's end.
//
// k is the zigzag place of the last coefficient; each ready symbol adds its step.
// The end of block has a step that always passes 63, so the common coefficient
// costs one test of k. Symbols the ready table does not hold (long codes, the run
// of sixteen zeros, bad values) take the slow branch, which stores its own
// coefficient: so with small quantisation values (kSmall: every one at most
// kSmallQuant) a ready coefficient, at most 255 in magnitude, needs no clamp.
template <bool kSmall>
bool JDecoder::DecodeBlock(Component& c, int32_t* __restrict block) {
  const JHuffTable& dc = *c.dcHuff;
  const JHuffTable& ac = *c.acHuff;
  const int32_t* q = c.quant;
  const uint8_t* order = wide_ ? kColumnOrder.at : kJZigzag;
  // The bit buffer lives in two scalars for the block, so that it stays in
  // registers; the calls out of line (refill, long codes) take a copy.
  uint64_t buf;
  int n;
  {
    const JInBitStream::Bits t = in_.Load();
    buf = t.buf;
    n = t.n;
  }
  auto need32 = [&]() {
    if (n < 32) [[unlikely]] {
      JInBitStream::Bits t{buf, n};
      in_.Need32(t);
      buf = t.buf;
      n = t.n;
    }
  };
  auto consume = [&](int bits) {
    buf <<= bits;
    n -= bits;
  };
  auto stop = [&]() {
    in_.Save({buf, n});
    return false;
  };
  auto noCode = [&]() {
    if (in_.PastData({buf, n}, 16)) return stop();
    throw JDataFormatError(in_.GetPosition(), "Decode1HuffmanCode:length over");
  };
  auto wrongValue = [&]() { throw JDataFormatError(in_.GetPosition(), "DecodeHuffman:wrong Huffman value"); };
  // A symbol through the table, on a copy of the buffer (long codes go out of
  // line): its value, -1 for no code.
  auto slowSymbol = [&](const JHuffTable& table) {
    JInBitStream::Bits t{buf, n};
    const int rs = table.Decode(t);
    buf = t.buf;
    n = t.n;
    return rs;
  };
  auto take = [&](int size) {
    const int v = static_cast<int>(buf >> (64 - size));
    consume(size);
    return Extend(v, size);
  };

  need32();
  int diff;
  if (const int e = dc.Fast(static_cast<uint32_t>(buf >> (64 - JHuffTable::kLookBits))); e != 0) {
    consume(e & 0xFF);
    diff = e >> 16;
  } else {
    const int s = slowSymbol(dc);
    if (s < 0) return noCode();
    if (s > 11) wrongValue();
    diff = s ? take(s) : 0;
  }
  // Real predictions stay within +-2047; a hostile file's are held there.
  c.pred = std::clamp(c.pred + diff, -2048, 2047);
  const int32_t dcValue = ClampCoef(c.pred * q[0]);

  int k = 0;
  bool any = false;  // an AC coefficient was stored, else the block is DC only
  for (;;) {
    need32();
    const int e = ac.Fast(static_cast<uint32_t>(buf >> (64 - JHuffTable::kLookBits)));
    if (e == 0) [[unlikely]] {
      SlowState st{buf, n, k, any};
      const int go = SlowAc(ac, q, order, block, st);
      buf = st.buf;
      n = st.n;
      k = st.k;
      any = st.any;
      if (go < 0) return false;
      if (go == 0) break;
      continue;
    }
    consume(e & 0xFF);
    const int step = (e >> 8) & 0xFF;
    k += step;
    if (k >= 63) [[unlikely]] {
      if (step == JHuffTable::kEndOfBlock) break;
      if (k > 63) return stop();
      any = true;
      block[order[63]] = ClampCoef((e >> 16) * q[63]);
      break;
    }
    any = true;
    block[order[k]] = kSmall ? (e >> 16) * q[k] : ClampCoef((e >> 16) * q[k]);
  }
  in_.Save({buf, n});
  if (in_.PastData({buf, n}, 0)) return false;
  if (any) {
    block[0] = dcValue;
  } else {
    block[0] = INT32_MIN;
    block[1] = dcValue;
  }
  return true;
}

template bool JDecoder::DecodeBlock<false>(Component& c, int32_t* __restrict block);
template bool JDecoder::DecodeBlock<true>(Component& c, int32_t* __restrict block);
