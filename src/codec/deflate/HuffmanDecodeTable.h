// Decode tables for canonical Huffman codes read least significant bit first, as
// Deflate stores them. One entry per value of the next `mainBits` input bits; a code
// longer than that points to a sub-table indexed by the bits after them.
//
// Entry layout (32 bits):
//   bits 0-4   bits the code takes (in a pointer entry: mainBits)
//   bits 5-9   extra bits that follow the code (in a pointer entry: the sub-table's index bits)
//   bits 10-14 kind flags below
//   bits 16-31 value: literal byte, length or distance base, symbol, error slot, or sub-table start
#pragma once

#include <cstdint>
#include <vector>

#include "codec/ErrorCodes.h"

namespace codec::huff {

inline constexpr uint32_t kLiteral = 1u << 10;
inline constexpr uint32_t kEndOfBlock = 1u << 11;
inline constexpr uint32_t kSubtable = 1u << 12;
inline constexpr uint32_t kInvalid = 1u << 13;  // value: index into kInvalidCodes
inline constexpr uint32_t kMatch = 1u << 14;    // length or distance: value + extra bits

inline constexpr uint32_t CodeBits(uint32_t e) { return e & 31; }
inline constexpr uint32_t ExtraBits(uint32_t e) { return (e >> 5) & 31; }
inline constexpr uint32_t Value(uint32_t e) { return e >> 16; }
inline constexpr uint32_t MakeEntry(uint32_t value, uint32_t flags, uint32_t extra) {
  return value << 16 | flags | extra << 5;
}

// The error code an invalid entry stands for: no code, length symbol 286/287, distance 30/31.
inline constexpr const char* kInvalidCodes[] = {err::kBadCode, err::kBadLengthSymbol, err::kBadDistanceSymbol};

// Builds `table` for the code given by lengths[0..n) (0 = unused symbol); entries[s] is
// the entry of symbol s without its bit count. Over-subscribed lengths throw err::kOverSubscribed;
// an incomplete code is accepted, its unused bit patterns decode to invalid entries.
void BuildDecodeTable(const uint8_t* lengths, int n, const uint32_t* entries, int mainBits,
                      std::vector<uint32_t>& table);

}  // namespace codec::huff
