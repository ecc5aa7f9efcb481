// A 24-bit DIB to a JPEG file in memory: the encoder reads the bottom-up B, G, R rows
// in place (the last DIB row is the picture's first), and the file carries the
// comment "JPEG by Pelnor" and 96 x 96 dots per inch.
#pragma once

#include <cstdint>
#include <vector>

#include "base/Alloc.h"

// bits holds bitsSize bytes of rows ((width x 3 + 3) / 4 x 4 bytes each). Returns 0
// with the file in out; -1 when the rows do not fit in bitsSize, a size is outside
// 1..65535, memory runs out or the encoder fails (out is then empty).
int EncodeJpegFromDib24(const uint8_t* bits, int64_t bitsSize, int width, int height, int level,
                        std::vector<uint8_t>& out, AllocHook* hook);
