#include "codec/lzh/LzhDecoder.h"

#include <algorithm>
#include <array>
#include <vector>

#include "codec/CodeLengths.h"
#include "codec/CodecError.h"
#include "codec/checksums/Crc16.h"
#include "codec/ErrorCodes.h"

namespace codec {
namespace {

constexpr int kMaxCodeBits = 16;
constexpr int kNC = 510;   // literals, and match lengths 3..256
constexpr int kNT = 19;    // the code-length code
constexpr int kTBit = 5;
constexpr int kCBit = 9;
constexpr int kFastBits = 10;
constexpr size_t kMaxOverread = 16;

// Bit input most significant bit first; past the end of the data it reads zeros, and
// a stream that needs more than a few of them has ended too early.
class CMsbBitReader {
 public:
  explicit CMsbBitReader(std::span<const uint8_t> data) : p_(data.data()), end_(data.data() + data.size()) {}

  uint32_t Peek16() {
    while (count_ < 16) {
      uint32_t b = 0;
      if (p_ < end_)
        b = *p_++;
      else
        CODEC_CHECK(++overread_ <= kMaxOverread, err::kLzhInputEnded);
      buf_ = buf_ << 8 | b;
      count_ += 8;
    }
    return static_cast<uint32_t>(buf_ >> (count_ - 16)) & 0xFFFF;
  }
  void Skip(int n) {
    Peek16();
    count_ -= n;
  }
  uint32_t GetBits(int n) {
    CODEC_CHECK(n <= 32, err::kLzhBitCount);
    CODEC_CHECK(n >= 0, err::kLzhNegativeBits);
    uint32_t v = 0;
    while (n > 16) {
      v = v << 16 | GetBits(16);
      n -= 16;
    }
    if (n == 0) return v;
    uint32_t bits = Peek16() >> (16 - n);
    Skip(n);
    return v << n | bits;
  }

 private:
  const uint8_t* p_;
  const uint8_t* end_;
  uint64_t buf_ = 0;
  int count_ = 0;
  size_t overread_ = 0;
};

// A canonical Huffman code read most significant bit first: a table of the first
// kFastBits bits, then the codes of each longer length in order.
class CHuffTree {
 public:
  void SetSingle(int symbol) { single_ = symbol; }

  void Build(const uint8_t* lengths, int n) {
    single_ = -1;
    count_ = CountCodeLengths<kMaxCodeBits>(lengths, n, err::kLzhCodeTooLong, err::kLzhOverSubscribed);
    uint32_t code = 0;
    int index = 0;
    for (int len = 1; len <= kMaxCodeBits; ++len) {
      first_[len] = code;
      offset_[len] = index;
      code = (code + count_[len]) << 1;
      index += count_[len];
    }
    symbols_.assign(static_cast<size_t>(index), 0);
    std::array<int, kMaxCodeBits + 1> at = offset_;
    for (int s = 0; s < n; ++s)
      if (lengths[s]) symbols_[static_cast<size_t>(at[lengths[s]]++)] = static_cast<uint16_t>(s);
    fast_.fill(0);
    for (int len = 1; len <= kFastBits; ++len) {
      for (int k = 0; k < count_[len]; ++k) {
        uint32_t c = (first_[len] + static_cast<uint32_t>(k)) << (kFastBits - len);
        uint16_t entry = static_cast<uint16_t>(len << 11 | symbols_[static_cast<size_t>(offset_[len] + k)]);
        for (uint32_t i = 0; i < (1u << (kFastBits - len)); ++i) fast_[c + i] = entry;
      }
    }
  }

  int Decode(CMsbBitReader& in) const {
    if (single_ >= 0) return single_;
    uint32_t v = in.Peek16();
    uint16_t e = fast_[v >> (16 - kFastBits)];
    if (e) {
      in.Skip(e >> 11);
      return e & 0x7FF;
    }
    for (int len = kFastBits + 1; len <= kMaxCodeBits; ++len) {
      uint32_t code = v >> (16 - len);
      if (code - first_[len] < static_cast<uint32_t>(count_[len])) {
        in.Skip(len);
        return symbols_[static_cast<size_t>(offset_[len]) + code - first_[len]];
      }
    }
    Fail(err::kLzhBadCode);
  }

 private:
  int single_ = -1;
  std::array<int, kMaxCodeBits + 1> count_{};
  std::array<uint32_t, kMaxCodeBits + 1> first_{};
  std::array<int, kMaxCodeBits + 1> offset_{};
  std::vector<uint16_t> symbols_;
  std::array<uint16_t, 1 << kFastBits> fast_{};
};

// Passes bytes to the sink in chunks and keeps their CRC-16.
class CCrc16Writer {
 public:
  explicit CCrc16Writer(CByteSink& sink) : sink_(sink) {}
  void Put(uint8_t b) {
    buf_[n_++] = b;
    if (n_ == buf_.size()) Flush();
  }
  void Flush() {
    crc_.Update(buf_.data(), n_);
    sink_.Put(buf_.data(), n_);
    n_ = 0;
  }
  uint16_t Crc() const { return crc_.Value(); }

 private:
  CByteSink& sink_;
  CCrc16 crc_;
  std::array<uint8_t, 32768> buf_;
  size_t n_ = 0;
};

// A code-length table of the pre-code or the position code: a count, then 3-bit
// lengths where 7 grows by one per following 1 bit; after entry `special` a 2-bit
// count of zero lengths. A count of 0 means one symbol, read with the same width.
void ReadShortTable(CMsbBitReader& in, int nn, int nbit, int special, CHuffTree& tree) {
  int n = static_cast<int>(in.GetBits(nbit));
  if (n == 0) {
    int c = static_cast<int>(in.GetBits(nbit));
    CODEC_CHECK(c < nn, err::kLzhSingleSymbol);
    tree.SetSingle(c);
    return;
  }
  CODEC_CHECK(n <= nn, err::kLzhTableCount);
  std::array<uint8_t, 32> lengths{};
  int i = 0;
  while (i < n) {
    int c = static_cast<int>(in.GetBits(3));
    if (c == 7) {
      while (in.GetBits(1) == 1) CODEC_CHECK(++c <= kMaxCodeBits, err::kLzhCodeTooLong);
    }
    lengths[static_cast<size_t>(i++)] = static_cast<uint8_t>(c);
    if (i == special) {
      int zeros = static_cast<int>(in.GetBits(2));
      CODEC_CHECK(i + zeros <= nn, err::kLzhSkipRun);
      i += zeros;
    }
  }
  tree.Build(lengths.data(), nn);
}

void ReadLiteralTable(CMsbBitReader& in, const CHuffTree& pre, CHuffTree& tree) {
  int n = static_cast<int>(in.GetBits(kCBit));
  if (n == 0) {
    int c = static_cast<int>(in.GetBits(kCBit));
    CODEC_CHECK(c < kNC, err::kLzhSingleSymbol);
    tree.SetSingle(c);
    return;
  }
  CODEC_CHECK(n <= kNC, err::kLzhTableCount);
  std::array<uint8_t, kNC> lengths{};
  int i = 0;
  while (i < n) {
    int c = pre.Decode(in);
    if (c > 2) {
      lengths[static_cast<size_t>(i++)] = static_cast<uint8_t>(c - 2);
      continue;
    }
    int zeros = c == 0 ? 1 : c == 1 ? static_cast<int>(in.GetBits(4)) + 3 : static_cast<int>(in.GetBits(kCBit)) + 20;
    CODEC_CHECK(i + zeros <= kNC, err::kLzhZeroRun);
    i += zeros;
  }
  tree.Build(lengths.data(), kNC);
}

void DecodeLh5(const CLzhHeader& h, std::span<const uint8_t> data, CCrc16Writer& out) {
  constexpr int kDicBits = 13;
  constexpr int kNP = kDicBits + 1;
  constexpr int kPBit = 4;
  constexpr uint32_t kRingMask = (1u << kDicBits) - 1;
  std::vector<uint8_t> ring(size_t{1} << kDicBits, ' ');
  uint32_t at = 0;
  CMsbBitReader in(data);
  CHuffTree pre, lit, posTree;
  uint32_t left = 0;
  uint64_t written = 0;
  while (written < h.originalSize) {
    if (left == 0) {
      left = in.GetBits(16);
      if (left == 0) left = 0x10000;
      ReadShortTable(in, kNT, kTBit, 3, pre);
      ReadLiteralTable(in, pre, lit);
      ReadShortTable(in, kNP, kPBit, -1, posTree);
    }
    --left;
    int c = lit.Decode(in);
    if (c < 256) {
      ring[at] = static_cast<uint8_t>(c);
      at = (at + 1) & kRingMask;
      out.Put(static_cast<uint8_t>(c));
      ++written;
      continue;
    }
    uint32_t length = static_cast<uint32_t>(c) - 253;
    uint32_t p = static_cast<uint32_t>(posTree.Decode(in));
    if (p > 1) p = (1u << (p - 1)) + in.GetBits(static_cast<int>(p - 1));
    uint32_t from = (at - p - 1) & kRingMask;
    for (uint32_t k = 0; k < length && written < h.originalSize; ++k) {
      uint8_t b = ring[from];
      from = (from + 1) & kRingMask;
      ring[at] = b;
      at = (at + 1) & kRingMask;
      out.Put(b);
      ++written;
    }
  }
}

}  // namespace

void DecodeLzhMember(const CLzhHeader& header, std::span<const uint8_t> data, CByteSink& sink) {
  CCrc16Writer out(sink);
  if (header.method == "-lh0-") {
    CODEC_CHECK(data.size() == header.originalSize, err::kLzhInputEnded);
    for (uint8_t b : data) out.Put(b);
  } else if (header.method == "-lh5-") {
    DecodeLh5(header, data, out);
  } else {
    Fail(err::kLzhMethod);
  }
  out.Flush();
  if (header.hasFileCrc) CODEC_CHECK(out.Crc() == header.fileCrc, err::kLzhCrc);
}

}  // namespace codec
