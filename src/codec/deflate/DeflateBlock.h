// Writing one Deflate block from LZ77 tokens, in whichever of the three block forms
// (dynamic Huffman codes, fixed codes, stored) comes out shortest.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/deflate/BitWriter.h"

namespace codec {

struct DeflateToken {
  uint16_t litOrLength;  // a literal byte, or the match length (3..258) when dist is not 0
  uint16_t dist;         // 0 for a literal, else the distance (1..32768, 32768 kept as 0x8000)
};

// tokens[0..n) encode raw[0..rawLen) exactly; raw is needed for the stored form.
void WriteDeflateBlock(CLsbBitWriter& bits, const DeflateToken* tokens, size_t n, const uint8_t* raw, size_t rawLen,
                       bool final);

}  // namespace codec
