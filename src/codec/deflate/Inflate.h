// Inflate: decodes a raw Deflate stream (RFC 1951).
//
// It is fast because nothing is walked bit by bit: each Huffman code is decoded by
// one look-up in a table indexed by the next bits of input (a second, small table
// for the rare codes longer than the first index), the bit buffer is refilled eight
// bytes at a time and then yields up to three literals, the loop keeps its state in
// registers, and matches are copied eight or sixteen bytes at a time inside one
// contiguous output window. Near the ends of the input and of the window a bounded
// one-symbol step takes over. It is safe because every value read from the input
// passes one check before it is used as a length, a distance or an index; a stream
// that breaks a rule of the format throws a CodecError with its code (ErrorCodes.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "codec/ByteSink.h"

namespace codec {

struct InflateResult {
  uint64_t produced = 0;  // bytes handed to the sink
  size_t consumed = 0;    // input bytes up to the end of the final block
  bool complete = false;  // the final block was decoded to its end
};

class CInflater {
 public:
  CInflater();

  // Decodes the stream at the start of input through its final block into sink.
  // More output than maxOutput throws the size error (a bomb stops early). When the
  // input ends before the final block, a lenient run hands over what was decoded
  // and returns with complete false; a strict run throws.
  InflateResult Run(std::span<const uint8_t> input, CByteSink& sink, uint64_t maxOutput, bool lenient = false);

  // Off: every symbol goes through the bounded one-symbol step that serves the ends
  // of the input and the output (tests and the fuzz target compare both roads).
  void UseFastLoop(bool on) { fastLoop_ = on; }

 private:
  struct BitState;
  class Window;

  void ReadDynamicHeader(BitState& s);
  // Decodes one block with the given literal/length and distance tables.
  void DecodeHuffmanBlock(BitState& s, Window& w, const uint32_t* lit, const uint32_t* dist);
  // Decodes while at least 8 input bytes and room for a whole match remain; true at
  // the end of the block.
  static bool DecodeFast(BitState& s, Window& w, const uint32_t* lit, const uint32_t* dist);
  // Decodes one symbol, every read and write bounded; true at the end of the block.
  static bool DecodeOne(BitState& s, Window& w, const uint32_t* lit, const uint32_t* dist);
  void CopyStoredBlock(BitState& s, Window& w);

  std::vector<uint32_t> litTable_;
  std::vector<uint32_t> distTable_;
  std::vector<uint32_t> preTable_;
  bool fastLoop_ = true;
};

}  // namespace codec
