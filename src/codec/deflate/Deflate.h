// Deflate: compresses bytes into a raw Deflate stream (RFC 1951).
//
// Matches are found through hash chains on four bytes, with a small table of one
// candidate per three-byte hash for the shortest matches (MatchFinder.h). Most
// positions of data that does not repeat are passed as literals after one look at
// the two candidates; a candidate is compared four bytes at a time at its start and
// at the length to beat, so most are passed over with two loads. Parsing is lazy (a
// match is taken only when the match one byte later is not longer), and bounded: at
// most kMaxChain candidates per position, fewer once a good match is in hand, and
// none past a match of kNiceLength, so no input (runs, two-symbol noise, random
// bytes) makes it slow. The tokens are counted as they are made, in chunks; a chunk
// whose statistics differ enough from the pending block's starts a new block
// (BlockSplit.h), so that the codes follow a picture's colours or a file's parts.
// Each block is written in the cheapest of its three forms (dynamic codes, fixed
// codes, stored), and the stream always ends with a final block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "codec/deflate/BitWriter.h"
#include "codec/deflate/DeflateBlock.h"
#include "codec/deflate/MatchFinder.h"

namespace codec {

class CDeflater {
 public:
  // Appends the compressed stream to out. `expected` is the whole input's size when
  // it is known: a small input gets tables to its size, so that many small streams
  // (the pages of a PDF) do not each pay for a full window's tables.
  explicit CDeflater(std::vector<uint8_t>& out, size_t expected = SIZE_MAX);
  CDeflater(const CDeflater&) = delete;
  CDeflater& operator=(const CDeflater&) = delete;

  // Compresses more input.
  void Write(const uint8_t* data, size_t n);
  // Compresses what is held and writes the final block (also when there was no input).
  void Finish();
  // The compressed bytes finished so far are the first Ready() bytes of out; Release
  // takes them out of it, so that a long stream is passed on while it is made.
  size_t Ready() const { return bits_.Stored(); }
  void Release() { bits_.DropStored(); }

 private:
  void Process(bool finishing);
  template <class Geometry>
  void Parse(const CMatchTables<Geometry>& m, int32_t stop, int32_t lookStop);
  void EndChunk();
  void FlushBlock(bool final);
  void Slide();

  std::vector<uint8_t> window_;
  std::vector<int32_t> head3_;  // the newest position of each three-byte hash
  std::vector<int32_t> head4_;  // the newest position of each four-byte hash
  std::vector<int32_t> prev_;   // the previous position of the same four-byte hash
  // The pending block's tokens (blockTokens_ of them), then the chunk's being made
  // (up to tokenCount_); the room is a full block's and a chunk's with some to spare.
  std::vector<DeflateToken> tokens_;
  size_t blockTokens_ = 0;
  size_t tokenCount_ = 0;
  DeflateCounts block_;     // the symbols of the pending block's tokens
  DeflateCounts chunk_;     // the symbols of the chunk's tokens
  uint64_t blockBits_ = 0;  // the pending block's estimated coded bits (BlockSplit.h)
  bool fullTables_;         // the tables have the full geometry (CFullGeometry)
  CSizedGeometry geometry_;
  int32_t fill_ = 0;        // valid bytes in the window
  int32_t pos_ = 0;         // next position to tokenise: window bytes before it are tokenised
  int32_t blockStart_ = 0;  // first window byte of the pending block
  int32_t chunkStart_ = 0;  // first window byte of the chunk
  CLsbBitWriter bits_;
};

}  // namespace codec
