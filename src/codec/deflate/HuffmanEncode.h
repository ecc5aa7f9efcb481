// Huffman codes for the encoder: lengths from symbol frequencies, limited to a
// maximum length, and the canonical codes of RFC 1951 3.2.2, stored bit-reversed so
// that they go out least significant bit first.
#pragma once

#include <cstdint>

namespace codec {

// lengths[0..n) from freq[0..n). No used symbol gives symbol 0 the length 1; one used
// symbol gets the length 1. Lengths never exceed limit.
void BuildCodeLengths(const uint32_t* freq, int n, int limit, uint8_t* lengths);

// Reversed canonical codes of the lengths.
void AssignCodes(const uint8_t* lengths, int n, uint16_t* codes);

}  // namespace codec
