// The "-lh5-" decoder (LZ77 with static Huffman blocks, 8 KiB dictionary) and the
// stored "-lh0-" copy, each checked against the member's CRC-16.
#pragma once

#include <cstdint>
#include <span>

#include "codec/ByteSink.h"
#include "codec/lzh/LzhHeader.h"

namespace codec {

// Writes the member described by header, whose data is `data`, into sink and compares
// the CRC-16 of what was written with the header's. Methods other than "-lh0-" and
// "-lh5-" throw err::kLzhMethod (the caller decides what to say).
void DecodeLzhMember(const CLzhHeader& header, std::span<const uint8_t> data, CByteSink& sink);

}  // namespace codec
