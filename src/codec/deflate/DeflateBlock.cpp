#include "codec/deflate/DeflateBlock.h"

#include <algorithm>
#include <array>

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

// The run-length coded lengths of both codes: at most one symbol a length.
struct LengthSymbols {
  std::array<LengthSymbol, 288 + 32> at;
  int n = 0;
  void Add(uint8_t sym, uint8_t extra) { at[n++] = {sym, extra}; }
};

// Run-length codes one list of code lengths with the symbols 16, 17 and 18.
void RunLengthCode(const uint8_t* lens, int n, LengthSymbols& out) {
  for (int i = 0; i < n;) {
    uint8_t len = lens[i];
    int run = 1;
    while (i + run < n && lens[i + run] == len) ++run;
    i += run;
    if (len == 0) {
      while (run > 0) {
        if (run < 3) {
          for (; run > 0; --run) out.Add(0, 0);
        } else if (run >= 11) {
          int take = std::min(run, 138);
          out.Add(18, static_cast<uint8_t>(take - 11));
          run -= take;
        } else {
          out.Add(17, static_cast<uint8_t>(run - 3));
          run = 0;
        }
      }
    } else {
      out.Add(len, 0);
      --run;
      while (run > 2) {
        int take = std::min(run, 6);
        out.Add(16, static_cast<uint8_t>(take - 3));
        run -= take;
      }
      for (; run > 0; --run) out.Add(len, 0);
    }
  }
}

constexpr uint8_t kPrecodeExtra[19] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 3, 7};

// The bits of a block's symbols under its dynamic codes and under the fixed ones,
// the extra bits of lengths and distances in both.
struct DataBits {
  uint64_t dynamic = 0;
  uint64_t fixed = 0;
};

DataBits CountDataBits(const uint32_t* litFreq, const uint32_t* distFreq, const Codes& dyn, const Codes& fixed) {
  DataBits bits;
  for (int s = 0; s < kLitCodes; ++s) {
    bits.dynamic += static_cast<uint64_t>(litFreq[s]) * dyn.litLen[s];
    bits.fixed += static_cast<uint64_t>(litFreq[s]) * fixed.litLen[s];
  }
  uint64_t extra = 0;
  for (int s = 257; s < kLitCodes; ++s) extra += static_cast<uint64_t>(litFreq[s]) * CLengthCodeTable::kExtra[s - 257];
  for (int s = 0; s < kDistCodes; ++s) {
    bits.dynamic += static_cast<uint64_t>(distFreq[s]) * dyn.distLen[s];
    bits.fixed += static_cast<uint64_t>(distFreq[s]) * fixed.distLen[s];
    extra += static_cast<uint64_t>(distFreq[s]) * CDistanceCodeTable::kExtra[s];
  }
  bits.dynamic += extra;
  bits.fixed += extra;
  return bits;
}

// A block's tokens with its codes. A literal is at most 15 bits and a match at most
// 48 (length code and extra bits, distance code and extra bits): literals gather
// until 48 bits are held, a match starts and ends with the whole bytes stored.
void WriteTokens(CLsbBitWriter& bits, const DeflateToken* tokens, size_t n, const Codes& c) {
  CLsbBitWriter::Run run = bits.Take(n * 6 + 8);
  const uint16_t* const litCode = c.litCode.data();
  const uint8_t* const litLen = c.litLen.data();
  for (size_t i = 0; i < n; ++i) {
    const DeflateToken t = tokens[i];
    const int length = t.LitOrLength();
    if (t.IsLiteral()) {
      run.Add(litCode[length], litLen[length]);
      if (run.count >= 48) run.Drain();
      continue;
    }
    run.Drain();
    const int lc = CLengthCodeTable::CodeOf(length);
    run.Add(litCode[257 + lc], litLen[257 + lc]);
    run.Add(static_cast<uint64_t>(length - CLengthCodeTable::kBase[lc]), CLengthCodeTable::kExtra[lc]);
    const int distance = t.Distance();
    const int dc = CDistanceCodeTable::CodeOf(distance);
    run.Add(c.distCode[dc], c.distLen[dc]);
    run.Add(static_cast<uint64_t>(distance - CDistanceCodeTable::kBase[dc]), CDistanceCodeTable::kExtra[dc]);
    run.Drain();
  }
  run.Drain();
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

void WriteDeflateBlock(CLsbBitWriter& bits, const DeflateToken* tokens, size_t n, const DeflateCounts& counts,
                       const uint8_t* raw, size_t rawLen, bool final) {
  std::array<uint32_t, 288> litFreq = counts.lit;
  const std::array<uint32_t, 32>& distFreq = counts.dist;
  litFreq[256] = 1;

  Codes dyn;
  BuildCodeLengths(litFreq.data(), kLitCodes, 15, dyn.litLen.data());
  BuildCodeLengths(distFreq.data(), kDistCodes, 15, dyn.distLen.data());
  int hlit = kLitCodes;
  while (hlit > 257 && dyn.litLen[hlit - 1] == 0) --hlit;
  int hdist = kDistCodes;
  while (hdist > 1 && dyn.distLen[hdist - 1] == 0) --hdist;

  LengthSymbols rle;
  RunLengthCode(dyn.litLen.data(), hlit, rle);
  RunLengthCode(dyn.distLen.data(), hdist, rle);
  std::array<uint32_t, 19> preFreq{};
  for (int i = 0; i < rle.n; ++i) ++preFreq[rle.at[i].sym];
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
  for (int i = 0; i < rle.n; ++i) headerBits += preLen[rle.at[i].sym] + kPrecodeExtra[rle.at[i].sym];
  const Codes& fixed = FixedCodes();
  const DataBits data = CountDataBits(litFreq.data(), distFreq.data(), dyn, fixed);
  const uint64_t dynamicBits = 3 + headerBits + data.dynamic;
  const uint64_t fixedBits = 3 + data.fixed;
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
  CLsbBitWriter::Run run = bits.Take(8 + 19 + static_cast<size_t>(rle.n) * 2);
  run.Add(final ? 1 : 0, 1);
  run.Add(2, 2);
  run.Add(static_cast<uint32_t>(hlit - 257), 5);
  run.Add(static_cast<uint32_t>(hdist - 1), 5);
  run.Add(static_cast<uint32_t>(hclen - 4), 4);
  run.Drain();
  for (int i = 0; i < hclen; ++i) {
    run.Add(preLen[kPrecodeOrder[i]], 3);
    run.Drain();
  }
  for (int i = 0; i < rle.n; ++i) {
    const LengthSymbol ls = rle.at[i];
    run.Add(preCode[ls.sym], preLen[ls.sym]);
    run.Add(ls.extra, kPrecodeExtra[ls.sym]);
    run.Drain();
  }
  bits.Give(run);
  WriteTokens(bits, tokens, n, dyn);
}

}  // namespace codec
