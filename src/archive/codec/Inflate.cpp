#include "archive/codec/Inflate.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>

#include "archive/codec/CodecError.h"
#include "archive/codec/DeflateTables.h"
#include "archive/codec/ErrorCodes.h"
#include "archive/codec/HuffmanDecodeTable.h"

namespace codec {

using namespace huff;

namespace {

constexpr int kLitBits = 11;   // main index bits of the literal/length table
constexpr int kDistBits = 8;   // of the distance table
constexpr int kPreBits = 7;    // code-length codes are at most 7 bits: no sub-tables
constexpr size_t kHistory = 32768;
constexpr size_t kChunk = 256 * 1024;
constexpr size_t kSlack = 258 + 8;  // a whole match, copied in 8-byte words, fits behind the limit
// Past the end of the input the bit buffer is filled with zero bytes; a stream that
// uses more of them than the buffer can hold has run out of input.
constexpr size_t kMaxOverread = 8;


// The entries of each alphabet, built once.
struct Alphabets {
  std::array<uint32_t, 288> lit{};
  std::array<uint32_t, 32> dist{};
  std::array<uint32_t, 19> pre{};
  // The decode tables of the fixed codes.
  std::vector<uint32_t> fixedLit;
  std::vector<uint32_t> fixedDist;
};

Alphabets MakeAlphabets() {
  Alphabets a;
  for (uint32_t s = 0; s < 256; ++s) a.lit[s] = MakeEntry(s, kLiteral, 0);
  a.lit[256] = MakeEntry(0, kEndOfBlock, 0);
  for (int c = 0; c < CLengthCodeTable::kCodes; ++c)
    a.lit[257 + c] = MakeEntry(CLengthCodeTable::kBase[c], kMatch, CLengthCodeTable::kExtra[c]);
  a.lit[286] = a.lit[287] = MakeEntry(1, kInvalid, 0);
  for (int c = 0; c < CDistanceCodeTable::kCodes; ++c)
    a.dist[c] = MakeEntry(CDistanceCodeTable::kBase[c], kMatch, CDistanceCodeTable::kExtra[c]);
  a.dist[30] = a.dist[31] = MakeEntry(2, kInvalid, 0);
  for (uint32_t s = 0; s < 19; ++s) a.pre[s] = MakeEntry(s, kMatch, 0);
  BuildDecodeTable(kFixedLengths.data(), kFixedLiteralCodes, a.lit.data(), kLitBits, a.fixedLit);
  BuildDecodeTable(kFixedLengths.data() + kFixedLiteralCodes, kFixedDistanceCodes, a.dist.data(), kDistBits,
                   a.fixedDist);
  return a;
}

const Alphabets& GetAlphabets() {
  static const Alphabets kAlphabets = MakeAlphabets();
  return kAlphabets;
}

inline uint64_t LoadLE64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
  return v;
}

[[noreturn]] void FailEntry(uint32_t e) { Fail(kInvalidCodes[std::min<uint32_t>(Value(e), 2)]); }

}  // namespace

// The bit reader. bitbuf holds the next input bits, the next one in bit 0; bitsleft
// counts the valid ones (bits above them may hold a copy of the byte at `next`,
// which the next refill ORs in again unchanged). After a refill at least 56 bits are
// valid: enough for a literal/length code, its extra bits, a distance code and its
// extra bits (15 + 5 + 15 + 13 = 48).
struct CInflater::BitState {
  const uint8_t* start;
  const uint8_t* next;
  const uint8_t* end;
  uint64_t bitbuf = 0;
  unsigned bitsleft = 0;
  size_t overread = 0;  // zero bytes supplied past the end

  void Refill() {
    if (end - next >= 8) {
      bitbuf |= LoadLE64(next) << bitsleft;
      next += (63 - bitsleft) >> 3;
      bitsleft |= 56;
    } else {
      while (bitsleft <= 56) {
        uint64_t b = 0;
        if (next < end)
          b = *next++;
        else
          ++overread;
        bitbuf |= b << bitsleft;
        bitsleft += 8;
      }
      CODEC_CHECK(overread <= kMaxOverread, err::kInputEnded);
    }
  }
  uint32_t Bits(unsigned n) const { return static_cast<uint32_t>(bitbuf & ((uint64_t{1} << n) - 1)); }
  void Consume(unsigned n) {
    bitbuf >>= n;
    bitsleft -= n;
  }
  uint32_t Take(unsigned n) {
    uint32_t v = Bits(n);
    Consume(n);
    return v;
  }
  // Input bytes consumed, counting a partly used byte as consumed; more than the
  // input holds when the stream ran past its end.
  size_t Consumed() const { return static_cast<size_t>(next - start) + overread - bitsleft / 8; }
  // True once a decoded code used bits of the zero bytes past the end.
  bool Overran() const { return overread != 0 && Consumed() > static_cast<size_t>(end - start); }
  // Drops the bits up to the byte boundary and gives the whole bytes still in the
  // buffer back to the input, so that stored data is read straight from it.
  void AlignToByte() {
    size_t pos = Consumed();
    CODEC_CHECK(pos <= static_cast<size_t>(end - start), err::kInputEnded);
    next = start + pos;
    overread = 0;
    bitbuf = 0;
    bitsleft = 0;
  }
};

// The output window: decoded bytes are written at `out` inside one buffer that holds
// the last 32 KiB of history before the bytes not yet handed to the sink.
class CInflater::Window {
 public:
  Window(CByteSink& sink, uint64_t maxOutput) : sink_(sink), maxOutput_(maxOutput) {
    size_t body = static_cast<size_t>(std::min<uint64_t>(maxOutput, kChunk));
    size_ = kHistory + std::max<size_t>(body, 1024) + kSlack;
    buf_ = std::make_unique_for_overwrite<uint8_t[]>(size_);
    out = buf_.get();
    pending_ = out;
    limit = buf_.get() + size_ - kSlack;
  }

  // Hands the pending bytes to the sink and keeps the last 32 KiB as history.
  void Flush() {
    size_t n = static_cast<size_t>(out - pending_);
    if (n > maxOutput_ - handed_) {
      // Hand over what fits, then stop: the stream holds more than allowed.
      size_t fits = static_cast<size_t>(maxOutput_ - handed_);
      if (fits) sink_.Put(pending_, fits);
      handed_ += fits;
      Fail(err::kSizeMismatch);
    }
    handed_ += n;
    if (n) sink_.Put(pending_, n);
    size_t have = static_cast<size_t>(out - buf_.get());
    if (have > kHistory) {
      std::memmove(buf_.get(), out - kHistory, kHistory);
      out = buf_.get() + kHistory;
    }
    pending_ = out;
  }
  size_t History() const { return static_cast<size_t>(out - buf_.get()); }
  uint64_t Handed() const { return handed_; }

  uint8_t* out;
  uint8_t* limit;  // below it a whole match (and its word-copy overshoot) fits

 private:
  CByteSink& sink_;
  uint64_t maxOutput_;
  std::unique_ptr<uint8_t[]> buf_;
  size_t size_ = 0;
  uint8_t* pending_;
  uint64_t handed_ = 0;
};

CInflater::CInflater() = default;

void CInflater::ReadDynamicHeader(BitState& s) {
  const Alphabets& a = GetAlphabets();
  s.Refill();
  unsigned hlit = s.Take(5) + 257;
  unsigned hdist = s.Take(5) + 1;
  unsigned hclen = s.Take(4) + 4;
  CODEC_CHECK(hlit <= 286 && hdist <= 30, err::kHlitHdist);

  uint8_t pre[19] = {};
  for (unsigned i = 0; i < hclen; ++i) {
    s.Refill();
    pre[kPrecodeOrder[i]] = static_cast<uint8_t>(s.Take(3));
  }
  BuildDecodeTable(pre, 19, a.pre.data(), kPreBits, preTable_);

  uint8_t lens[286 + 30] = {};
  unsigned n = hlit + hdist;
  unsigned i = 0;
  while (i < n) {
    s.Refill();
    uint32_t e = preTable_[s.Bits(kPreBits)];
    if (e & kInvalid) FailEntry(e);
    s.Consume(CodeBits(e));
    uint32_t sym = Value(e);
    if (sym < 16) {
      lens[i++] = static_cast<uint8_t>(sym);
      continue;
    }
    uint8_t fill = 0;
    unsigned rep;
    if (sym == 16) {
      CODEC_CHECK(i > 0, err::kRepeatFirst);
      fill = lens[i - 1];
      rep = 3 + s.Take(2);
    } else if (sym == 17) {
      rep = 3 + s.Take(3);
    } else {
      rep = 11 + s.Take(7);
    }
    CODEC_CHECK(rep <= n - i, err::kTooManyLengths);
    std::memset(lens + i, fill, rep);
    i += rep;
  }
  CODEC_CHECK(lens[256] != 0, err::kNoEndOfBlock);
  BuildDecodeTable(lens, static_cast<int>(hlit), a.lit.data(), kLitBits, litTable_);
  BuildDecodeTable(lens + hlit, static_cast<int>(hdist), a.dist.data(), kDistBits, distTable_);
}

void CInflater::CopyStoredBlock(BitState& s, Window& w) {
  s.AlignToByte();
  CODEC_CHECK(s.end - s.next >= 4, err::kInputEnded);
  const uint8_t* p = s.next;
  CODEC_CHECK(p[0] == static_cast<uint8_t>(~p[2]), err::kStoredLength);
  CODEC_CHECK(p[1] == static_cast<uint8_t>(~p[3]), err::kStoredLengthHigh);
  size_t len = static_cast<size_t>(p[0] | p[1] << 8);
  s.next += 4;
  CODEC_CHECK(static_cast<size_t>(s.end - s.next) >= len, err::kInputEnded);
  while (len > 0) {
    if (w.out >= w.limit) w.Flush();
    size_t n = std::min(len, static_cast<size_t>(w.limit - w.out));
    std::memcpy(w.out, s.next, n);
    w.out += n;
    s.next += n;
    len -= n;
  }
}

void CInflater::DecodeHuffmanBlock(BitState& s, Window& w, const uint32_t* lit, const uint32_t* dist) {
  constexpr uint32_t litMask = (1u << kLitBits) - 1;
  constexpr uint32_t distMask = (1u << kDistBits) - 1;
  for (;;) {
    if (w.out >= w.limit) w.Flush();
    s.Refill();
    uint32_t e = lit[s.bitbuf & litMask];
    if (e & kSubtable) {
      s.Consume(kLitBits);
      e = lit[Value(e) + s.Bits(ExtraBits(e))];
    }
    s.Consume(CodeBits(e));
    CODEC_CHECK(!s.Overran(), err::kInputEnded);
    if (e & kLiteral) {
      *w.out++ = static_cast<uint8_t>(Value(e));
      // A second literal often fits in the bits left without a refill.
      if (s.bitsleft >= 15 && w.out < w.limit) {
        uint32_t e2 = lit[s.bitbuf & litMask];
        if ((e2 & kLiteral) && CodeBits(e2) <= s.bitsleft) {
          s.Consume(CodeBits(e2));
          CODEC_CHECK(!s.Overran(), err::kInputEnded);
          *w.out++ = static_cast<uint8_t>(Value(e2));
        }
      }
      continue;
    }
    if (!(e & kMatch)) {
      if (e & kEndOfBlock) return;
      FailEntry(e);
    }
    uint32_t length = Value(e) + s.Take(ExtraBits(e));
    e = dist[s.bitbuf & distMask];
    if (e & kSubtable) {
      s.Consume(kDistBits);
      e = dist[Value(e) + s.Bits(ExtraBits(e))];
    }
    if (!(e & kMatch)) FailEntry(e);
    s.Consume(CodeBits(e));
    size_t distance = Value(e) + s.Take(ExtraBits(e));
    CODEC_CHECK(!s.Overran(), err::kInputEnded);
    CODEC_CHECK(distance <= w.History(), err::kDistanceTooFar);

    uint8_t* dst = w.out;
    const uint8_t* src = dst - distance;
    w.out += length;
    if (distance >= 8) {
      // Word copies may run up to 7 bytes past the match, into the slack.
      do {
        std::memcpy(dst, src, 8);
        dst += 8;
        src += 8;
      } while (dst < w.out);
    } else if (distance == 1) {
      std::memset(dst, *src, length);
    } else {
      for (uint32_t k = 0; k < length; ++k) dst[k] = src[k];
    }
  }
}

InflateResult CInflater::Run(std::span<const uint8_t> input, CByteSink& sink, uint64_t maxOutput, bool lenient) {
  BitState s{input.data(), input.data(), input.data() + input.size()};
  Window w(sink, maxOutput);
  InflateResult result;
  try {
    bool final = false;
    while (!final) {
      s.Refill();
      final = s.Take(1) != 0;
      uint32_t type = s.Take(2);
      if (type == 0) {
        CopyStoredBlock(s, w);
      } else if (type == 1) {
        const Alphabets& a = GetAlphabets();
        DecodeHuffmanBlock(s, w, a.fixedLit.data(), a.fixedDist.data());
      } else if (type == 2) {
        ReadDynamicHeader(s);
        DecodeHuffmanBlock(s, w, litTable_.data(), distTable_.data());
      } else {
        Fail(err::kBlockType);
      }
    }
    CODEC_CHECK(s.Consumed() <= input.size(), err::kInputEnded);
    result.complete = true;
    result.consumed = s.Consumed();
  } catch (const CodecError& e) {
    if (!lenient || std::string_view(e.Code()) != err::kInputEnded) throw;
    result.consumed = input.size();
  }
  w.Flush();
  result.produced = w.Handed();
  return result;
}

}  // namespace codec
