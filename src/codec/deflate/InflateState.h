// The inflater's working state, shared by its block readers: the bit reader over the
// input and the output window. Internal to the codec.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "codec/CodecError.h"
#include "codec/ErrorCodes.h"
#include "codec/deflate/HuffmanDecodeTable.h"
#include "codec/deflate/Inflate.h"

namespace codec {

namespace inflate {

inline constexpr int kLitBits = 11;   // main index bits of the literal/length table
inline constexpr int kDistBits = 8;   // of the distance table
inline constexpr size_t kHistory = 32768;
inline constexpr size_t kChunk = 256 * 1024;
// A whole match, copied in 16-byte pieces, fits behind the window's limit.
inline constexpr size_t kSlack = 258 + 16;
// Past the end of the input the bit buffer is filled with zero bytes; a stream that
// uses more of them than the buffer can hold has run out of input.
inline constexpr size_t kMaxOverread = 8;

inline uint64_t LoadLE64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
  return v;
}

[[noreturn]] inline void FailEntry(uint32_t e) {
  Fail(huff::kInvalidCodes[std::min<uint32_t>(huff::Value(e), 2)]);
}

}  // namespace inflate

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
      bitbuf |= inflate::LoadLE64(next) << bitsleft;
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
      CODEC_CHECK(overread <= inflate::kMaxOverread, err::kInputEnded);
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
    size_t body = static_cast<size_t>(std::min<uint64_t>(maxOutput, inflate::kChunk));
    size_ = inflate::kHistory + std::max<size_t>(body, 1024) + inflate::kSlack;
    buf_ = std::make_unique_for_overwrite<uint8_t[]>(size_);
    out = buf_.get();
    pending_ = out;
    limit = buf_.get() + size_ - inflate::kSlack;
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
    if (have > inflate::kHistory) {
      std::memmove(buf_.get(), out - inflate::kHistory, inflate::kHistory);
      out = buf_.get() + inflate::kHistory;
    }
    pending_ = out;
  }
  size_t History() const { return static_cast<size_t>(out - buf_.get()); }
  // The first byte of history: a match may reach back to it.
  const uint8_t* Base() const { return buf_.get(); }
  uint64_t Handed() const { return handed_; }

  uint8_t* out;
  uint8_t* limit;  // below it a whole match (and its 16-byte-copy overshoot) fits

 private:
  CByteSink& sink_;
  uint64_t maxOutput_;
  std::unique_ptr<uint8_t[]> buf_;
  size_t size_ = 0;
  uint8_t* pending_;
  uint64_t handed_ = 0;
};

}  // namespace codec
