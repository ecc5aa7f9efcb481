// One Huffman table of the decoder, built from a DHT segment's 16 counts and its
// values in the canonical order of ITU-T T.81 Annex C. Codes of up to kLookBits bits
// are decoded by one table look-up of the next kLookBits bits; longer ones by the
// per-length limits of Annex F. A second look-up table holds, where a code and its
// extra bits fit in kLookBits together, the ready symbol: for a DC table the
// difference, for an AC table the coefficient with the step to its zigzag place,
// or the end of block; so most symbols of a block cost one look-up.
#pragma once

#include <array>
#include <cstdint>

#include "image/codecs/jpeg/JInBitStream.h"

class JHuffTable {
 public:
  static constexpr int kLookBits = 9;

  // Builds the table (ac: of class AC, else DC); JIndexError when the counts name
  // more than 256 codes, JDataFormatError when they overflow their lengths.
  void Build(const uint8_t counts[16], const uint8_t* values, int64_t position, bool ac);
  bool Defined() const { return defined_; }

  // The next symbol, consumed from b (which holds at least 16 bits). -1 when no code
  // of up to 16 bits matches: bad data, or the padding after the data.
  int Decode(JInBitStream::Bits& b) const {
    const int e = look_[JInBitStream::Peek(b, kLookBits)];
    if (e != 0) {
      JInBitStream::Consume(b, e >> 8);
      return e & 0xFF;
    }
    return DecodeLong(b);
  }
  // Ready symbol for the next kLookBits bits: (value << 16) | (step << 8) | bits
  // used, or 0. DC: the difference as value, step 0. AC: a coefficient's step is
  // its run plus one (1..16); the end of block has step kEndOfBlock and value 0.
  // Bits used is never 0 in a ready entry.
  static constexpr int kEndOfBlock = 0x80;
  int Fast(uint32_t look) const { return fast_[look]; }

 private:
  int DecodeLong(JInBitStream::Bits& b) const;

  bool defined_ = false;
  std::array<uint16_t, 1 << kLookBits> look_{};   // (length << 8) | value, 0 for longer codes
  std::array<int32_t, 1 << kLookBits> fast_{};
  std::array<int32_t, 17> maxCode_{};              // largest code of each length, -1 for none
  std::array<int32_t, 17> valOffset_{};            // value index minus first code of each length
  std::array<uint8_t, 256> values_{};
};
