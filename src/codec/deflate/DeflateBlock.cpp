#include "codec/deflate/DeflateBlock.h"

#include <algorithm>
#include <array>
#include <vector>

#include "codec/deflate/DeflateTables.h"
#include "codec/deflate/HuffmanEncode.h"

namespace codec {
namespace {

constexpr int kLitCodes = 286;
constexpr int kDistCodes = 30;

struct Codes {
  std::array<uint8_t, 288> litLen{};
  std::array<uint16_t, 288> litCode{};
  std::array<uint8_t, 32> distLen{};
  std::array<uint16_t, 32> distCode{};
};

Codes MakeFixedCodes() {
  Codes c;
  std::copy_n(kFixedLengths.begin(), kFixedLiteralCodes, c.litLen.begin());
  std::copy_n(kFixedLengths.begin() + kFixedLiteralCodes, kFixedDistanceCodes, c.distLen.begin());
  AssignCodes(c.litLen.data(), 288, c.litCode.data());
  AssignCodes(c.distLen.data(), 32, c.distCode.data());
  return c;
}

const Codes& FixedCodes() {
  static const Codes kFixed = MakeFixedCodes();
  return kFixed;
}

// One symbol of the run-length coded code lengths, with its extra bits.
struct LengthSymbol {
  uint8_t sym;
  uint8_t extra;
};

// Run-length codes one list of code lengths with the symbols 16, 17 and 18.
void RunLengthCode(const uint8_t* lens, int n, std::vector<LengthSymbol>& out) {
  for (int i = 0; i < n;) {
    uint8_t len = lens[i];
    int run = 1;
    while (i + run < n && lens[i + run] == len) ++run;
    i += run;
    if (len == 0) {
      while (run > 0) {
        if (run < 3) {
          for (; run > 0; --run) out.push_back({0, 0});
        } else if (run >= 11) {
          int take = std::min(run, 138);
          out.push_back({18, static_cast<uint8_t>(take - 11)});
          run -= take;
        } else {
          out.push_back({17, static_cast<uint8_t>(run - 3)});
          run = 0;
        }
      }
    } else {
      out.push_back({len, 0});
      --run;
      while (run > 2) {
        int take = std::min(run, 6);
        out.push_back({16, static_cast<uint8_t>(take - 3)});
        run -= take;
      }
      for (; run > 0; --run) out.push_back({len, 0});
    }
  }
}

constexpr uint8_t kPrecodeExtra[19] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 3, 7};

uint64_t DataBits(const std::array<uint32_t, 288>& litFreq, const std::array<uint32_t, 32>& distFreq,
                  const uint8_t* litLen, const uint8_t* distLen) {
  uint64_t bits = 0;
  for (int s = 0; s < kLitCodes; ++s) {
    bits += static_cast<uint64_t>(litFreq[s]) * litLen[s];
    if (s >= 257) bits += static_cast<uint64_t>(litFreq[s]) * CLengthCodeTable::kExtra[s - 257];
  }
  for (int s = 0; s < kDistCodes; ++s)
    bits += static_cast<uint64_t>(distFreq[s]) * (distLen[s] + CDistanceCodeTable::kExtra[s]);
  return bits;
}

// A block's tokens with its codes. A literal is at most 15 bits and a match at most
// 48 (length code and extra bits, distance code and extra bits): each token's bits
// are gathered whole and then drained.
void WriteTokens(CLsbBitWriter& bits, const DeflateToken* tokens, size_t n, const Codes& c) {
  CLsbBitWriter::Run run = bits.Take(n * 6 + 8);
  for (size_t i = 0; i < n; ++i) {
    const DeflateToken t = tokens[i];
    if (t.dist == 0) {
      run.Add(c.litCode[t.litOrLength], c.litLen[t.litOrLength]);
    } else {
      const int lc = CLengthCodeTable::CodeOf(t.litOrLength);
      run.Add(c.litCode[257 + lc], c.litLen[257 + lc]);
      run.Add(static_cast<uint64_t>(t.litOrLength - CLengthCodeTable::kBase[lc]), CLengthCodeTable::kExtra[lc]);
      const int dc = CDistanceCodeTable::CodeOf(t.dist);
      run.Add(c.distCode[dc], c.distLen[dc]);
      run.Add(static_cast<uint64_t>(t.dist - CDistanceCodeTable::kBase[dc]), CDistanceCodeTable::kExtra[dc]);
    }
    run.Drain();
  }
  bits.Give(run);
  bits.PutBits(c.litCode[256], c.litLen[256]);
}

void WriteStored(CLsbBitWriter& bits, const uint8_t* raw, size_t rawLen, bool final) {
  size_t done = 0;
  do {
    size_t len = std::min<size_t>(rawLen - done, 65535);
    bool last = done + len == rawLen;
    bits.PutBits(final && last ? 1 : 0, 3);
    bits.Flush();
    bits.PutBits(static_cast<uint32_t>(len), 16);
    bits.PutBits(static_cast<uint32_t>(~len & 0xFFFF), 16);
    bits.Flush();
    bits.PutBytes(raw + done, len);
    done += len;
  } while (done < rawLen);
}

}  // namespace

void WriteDeflateBlock(CLsbBitWriter& bits, const DeflateToken* tokens, size_t n, const uint8_t* raw, size_t rawLen,
                       bool final) {
  std::array<uint32_t, 288> litFreq{};
  std::array<uint32_t, 32> distFreq{};
  for (size_t i = 0; i < n; ++i) {
    if (tokens[i].dist == 0) {
      ++litFreq[tokens[i].litOrLength];
    } else {
      ++litFreq[257 + CLengthCodeTable::CodeOf(tokens[i].litOrLength)];
      ++distFreq[CDistanceCodeTable::CodeOf(tokens[i].dist)];
    }
  }
  litFreq[256] = 1;

  Codes dyn;
  BuildCodeLengths(litFreq.data(), kLitCodes, 15, dyn.litLen.data());
  BuildCodeLengths(distFreq.data(), kDistCodes, 15, dyn.distLen.data());
  int hlit = kLitCodes;
  while (hlit > 257 && dyn.litLen[hlit - 1] == 0) --hlit;
  int hdist = kDistCodes;
  while (hdist > 1 && dyn.distLen[hdist - 1] == 0) --hdist;

  std::vector<LengthSymbol> rle;
  RunLengthCode(dyn.litLen.data(), hlit, rle);
  RunLengthCode(dyn.distLen.data(), hdist, rle);
  std::array<uint32_t, 19> preFreq{};
  for (const LengthSymbol& ls : rle) ++preFreq[ls.sym];
  // Some decoders refuse a code-length code of a single code: give it two.
  if (std::count_if(preFreq.begin(), preFreq.end(), [](uint32_t f) { return f != 0; }) < 2)
    ++preFreq[preFreq[0] ? 1 : 0];
  std::array<uint8_t, 19> preLen{};
  std::array<uint16_t, 19> preCode{};
  BuildCodeLengths(preFreq.data(), 19, 7, preLen.data());
  AssignCodes(preLen.data(), 19, preCode.data());
  int hclen = 19;
  while (hclen > 4 && preLen[kPrecodeOrder[hclen - 1]] == 0) --hclen;

  uint64_t headerBits = 5 + 5 + 4 + 3 * static_cast<uint64_t>(hclen);
  for (const LengthSymbol& ls : rle) headerBits += preLen[ls.sym] + kPrecodeExtra[ls.sym];
  uint64_t dynamicBits = 3 + headerBits + DataBits(litFreq, distFreq, dyn.litLen.data(), dyn.distLen.data());
  const Codes& fixed = FixedCodes();
  uint64_t fixedBits = 3 + DataBits(litFreq, distFreq, fixed.litLen.data(), fixed.distLen.data());
  uint64_t storedBits = (static_cast<uint64_t>(rawLen) + 5 * (rawLen / 65535 + 1)) * 8 + 8;

  if (raw && storedBits < dynamicBits && storedBits < fixedBits) {
    WriteStored(bits, raw, rawLen, final);
    return;
  }
  if (fixedBits <= dynamicBits) {
    bits.PutBits(final ? 1 : 0, 1);
    bits.PutBits(1, 2);
    WriteTokens(bits, tokens, n, fixed);
    return;
  }
  AssignCodes(dyn.litLen.data(), 288, dyn.litCode.data());
  AssignCodes(dyn.distLen.data(), 32, dyn.distCode.data());
  bits.PutBits(final ? 1 : 0, 1);
  bits.PutBits(2, 2);
  bits.PutBits(static_cast<uint32_t>(hlit - 257), 5);
  bits.PutBits(static_cast<uint32_t>(hdist - 1), 5);
  bits.PutBits(static_cast<uint32_t>(hclen - 4), 4);
  for (int i = 0; i < hclen; ++i) bits.PutBits(preLen[kPrecodeOrder[i]], 3);
  for (const LengthSymbol& ls : rle) {
    bits.PutBits(preCode[ls.sym], preLen[ls.sym]);
    if (kPrecodeExtra[ls.sym]) bits.PutBits(ls.extra, kPrecodeExtra[ls.sym]);
  }
  WriteTokens(bits, tokens, n, dyn);
}

}  // namespace codec
