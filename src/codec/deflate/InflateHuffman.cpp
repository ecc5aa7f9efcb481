// The Huffman-coded blocks of Inflate: a fast loop for the bulk of the data and a
// bounded one-symbol step for the last bytes of the input and of the window. Both
// decode the same symbols and throw the same errors; the fast loop only runs where
// none of its reads or writes can pass an end.
#include "codec/deflate/InflateState.h"

namespace codec {

using namespace huff;
using namespace inflate;

namespace {

constexpr uint32_t kLitMask = (1u << kLitBits) - 1;
constexpr uint32_t kDistMask = (1u << kDistBits) - 1;

inline uint64_t LowBits(uint64_t v, uint32_t n) { return v & ((uint64_t{1} << n) - 1); }

// Copies a match of length bytes from distance bytes back. Writes may run up to 15
// bytes past the match (the window's slack holds them); what they write there is
// overwritten by the bytes that follow.
inline void CopyMatch(uint8_t* dst, size_t distance, uint32_t length) {
  const uint8_t* src = dst - distance;
  uint8_t* const end = dst + length;
  if (distance >= 16) {
    do {
      std::memcpy(dst, src, 16);
      dst += 16;
      src += 16;
    } while (dst < end);
  } else if (distance >= 8) {
    do {
      std::memcpy(dst, src, 8);
      dst += 8;
      src += 8;
    } while (dst < end);
  } else if (distance == 1) {
    const uint64_t v = uint64_t{*src} * 0x0101010101010101ull;
    do {
      std::memcpy(dst, &v, 8);
      dst += 8;
    } while (dst < end);
  } else {
    for (uint32_t k = 0; k < length; ++k) dst[k] = src[k];
  }
}

}  // namespace

bool CInflater::DecodeFast(BitState& s, Window& w, const uint32_t* lit, const uint32_t* dist) {
  // The state lives in locals: stores of output bytes cannot then force it back to
  // memory. It goes back into s and w on every way out.
  uint64_t bitbuf = s.bitbuf;
  unsigned bitsleft = s.bitsleft;
  const uint8_t* in = s.next;
  uint8_t* out = w.out;
  const uint8_t* const inLast = s.end - 8;  // a refill reads 8 bytes
  uint8_t* const limit = w.limit;
  const uint8_t* const base = w.Base();
  const auto save = [&] {
    s.bitbuf = bitbuf;
    s.bitsleft = bitsleft;
    s.next = in;
    w.out = out;
  };
  const auto consume = [&](uint32_t n) {
    bitbuf >>= n;
    bitsleft -= n;
  };
  // A literal entry has no extra bits, so its low six bits are its code length: the
  // shift can take the entry as it is (x86 shifts by the count modulo 64), one step
  // less on the chain from one look-up to the next.
  const auto consumeLiteral = [&](uint32_t e) {
    bitbuf >>= (e & 63);
    bitsleft -= CodeBits(e);
  };
  while (in <= inLast && out < limit) {
    // At least 56 valid bits after this: a length code with its extra bits and a
    // distance code with its extra bits take at most 48, three literals at most 37.
    bitbuf |= LoadLE64(in) << bitsleft;
    in += (63 - bitsleft) >> 3;
    bitsleft |= 56;
    uint32_t e = lit[bitbuf & kLitMask];
    if (e & kLiteral) {
      // Up to three literals whose codes fit the main table need no refill.
      consumeLiteral(e);
      *out++ = static_cast<uint8_t>(Value(e));
      e = lit[bitbuf & kLitMask];
      if (e & kLiteral) {
        consumeLiteral(e);
        *out++ = static_cast<uint8_t>(Value(e));
        e = lit[bitbuf & kLitMask];
        if (e & kLiteral) {
          consumeLiteral(e);
          *out++ = static_cast<uint8_t>(Value(e));
        }
      }
      continue;
    }
    if (e & kSubtable) {
      consume(kLitBits);
      e = lit[Value(e) + LowBits(bitbuf, ExtraBits(e))];
    }
    consume(CodeBits(e));
    if (e & kLiteral) {
      *out++ = static_cast<uint8_t>(Value(e));
      continue;
    }
    if (!(e & kMatch)) {
      save();
      if (e & kEndOfBlock) return true;
      FailEntry(e);
    }
    const uint32_t length = Value(e) + static_cast<uint32_t>(LowBits(bitbuf, ExtraBits(e)));
    consume(ExtraBits(e));
    e = dist[bitbuf & kDistMask];
    if (e & kSubtable) {
      consume(kDistBits);
      e = dist[Value(e) + LowBits(bitbuf, ExtraBits(e))];
    }
    if (!(e & kMatch)) {
      save();
      FailEntry(e);
    }
    consume(CodeBits(e));
    const size_t distance = Value(e) + static_cast<size_t>(LowBits(bitbuf, ExtraBits(e)));
    consume(ExtraBits(e));
    if (distance > static_cast<size_t>(out - base)) {
      save();
      Fail(err::kDistanceTooFar);
    }
    CopyMatch(out, distance, length);
    out += length;
  }
  save();
  return false;
}

bool CInflater::DecodeOne(BitState& s, Window& w, const uint32_t* lit, const uint32_t* dist) {
  s.Refill();
  uint32_t e = lit[s.bitbuf & kLitMask];
  if (e & kSubtable) {
    s.Consume(kLitBits);
    e = lit[Value(e) + s.Bits(ExtraBits(e))];
  }
  s.Consume(CodeBits(e));
  CODEC_CHECK(!s.Overran(), err::kInputEnded);
  if (e & kLiteral) {
    *w.out++ = static_cast<uint8_t>(Value(e));
    return false;
  }
  if (!(e & kMatch)) {
    if (e & kEndOfBlock) return true;
    FailEntry(e);
  }
  const uint32_t length = Value(e) + s.Take(ExtraBits(e));
  e = dist[s.bitbuf & kDistMask];
  if (e & kSubtable) {
    s.Consume(kDistBits);
    e = dist[Value(e) + s.Bits(ExtraBits(e))];
  }
  if (!(e & kMatch)) FailEntry(e);
  s.Consume(CodeBits(e));
  const size_t distance = Value(e) + s.Take(ExtraBits(e));
  CODEC_CHECK(!s.Overran(), err::kInputEnded);
  CODEC_CHECK(distance <= w.History(), err::kDistanceTooFar);
  uint8_t* dst = w.out;
  const uint8_t* src = dst - distance;
  for (uint32_t k = 0; k < length; ++k) dst[k] = src[k];
  w.out += length;
  return false;
}

void CInflater::DecodeHuffmanBlock(BitState& s, Window& w, const uint32_t* lit, const uint32_t* dist) {
  for (;;) {
    if (w.out >= w.limit) w.Flush();
    if (fastLoop_ && s.end - s.next >= 8) {
      if (DecodeFast(s, w, lit, dist)) return;
      continue;
    }
    if (DecodeOne(s, w, lit, dist)) return;
  }
}

}  // namespace codec
