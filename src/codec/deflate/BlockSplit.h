// Where a Deflate block ends. The tokens are counted in chunks; at each chunk's end
// the bits of its symbols under codes of their own, with a block header, are
// weighed against their bits added to the pending block under the codes of the
// two together. A chunk whose statistics differ enough starts a new block, so that
// the codes follow a picture's colours or a file's changing parts.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/deflate/DeflateBlock.h"

namespace codec {

// The most tokens a chunk may hold.
inline constexpr size_t kMaxChunkTokens = 4096;

// Whether the chunk counted in `chunk` is coded shorter in a block of its own than
// added to the block counted in `block`, whose coded bits are blockBits (0 for an
// empty block, which the chunk always joins). The coded bits of a run of tokens are
// estimated under codes made for its counts: the entropy of its symbols, in units of
// 1/65536 bit (the extra bits of lengths and distances, which do not depend on the
// codes, left out). Sets *chunkBits to the chunk's and *joinedBits to the two's together.
bool StartsBlock(const DeflateCounts& block, uint64_t blockBits, const DeflateCounts& chunk, uint64_t* chunkBits,
                 uint64_t* joinedBits);

}  // namespace codec
