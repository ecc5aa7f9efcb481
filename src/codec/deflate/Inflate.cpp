#include "codec/deflate/Inflate.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>

#include "codec/CodecError.h"
#include "codec/deflate/DeflateTables.h"
#include "codec/ErrorCodes.h"
#include "codec/deflate/HuffmanDecodeTable.h"
#include "codec/deflate/InflateState.h"

namespace codec {

using namespace huff;
using namespace inflate;

namespace {

constexpr int kPreBits = 7;    // code-length codes are at most 7 bits: no sub-tables


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

}  // namespace

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
