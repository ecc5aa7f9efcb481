// Writing one Deflate block from LZ77 tokens, in whichever of the three block forms
// (dynamic Huffman codes, fixed codes, stored) comes out shortest.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "codec/deflate/BitWriter.h"

namespace codec {

// One token in a word, made with one store: a literal byte, or a match's length
// (3..258) with its distance (1..32768) in the top half.
struct DeflateToken {
  uint32_t word;
  static DeflateToken Literal(uint8_t byte) { return {byte}; }
  static DeflateToken Match(int length, int distance) {
    return {static_cast<uint32_t>(length) | static_cast<uint32_t>(distance) << 16};
  }
  bool IsLiteral() const { return word < 0x10000; }
  int LitOrLength() const { return static_cast<int>(word & 0xFFFF); }
  int Distance() const { return static_cast<int>(word >> 16); }
};

// The symbol counts of a run of tokens, gathered as the tokens are made.
struct DeflateCounts {
  std::array<uint32_t, 288> lit{};  // literal bytes, and length codes from 257 (256 is the block's end)
  std::array<uint32_t, 32> dist{};  // distance codes
};

// tokens[0..n) encode raw[0..rawLen) exactly and are counted in counts; raw is
// needed for the stored form.
void WriteDeflateBlock(CLsbBitWriter& bits, const DeflateToken* tokens, size_t n, const DeflateCounts& counts,
                       const uint8_t* raw, size_t rawLen, bool final);

}  // namespace codec
