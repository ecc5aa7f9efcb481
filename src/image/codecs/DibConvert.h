// Depth conversions of DIBs and the tone curve of the display's emphasis levels.
#pragma once

#include <cstdint>

#include "image/codecs/Dib.h"

// Widens a DIB of 1, 4, 8, 16 or 32 bits to 24 bits (16 and 32 bits by the masks
// of a bit-field DIB, else 5-5-5 and 8-8-8); rewrites the header
// (40 bytes, 24 bits, 3,780 pixels per metre, no colours). Writing stops at the end
// of either block; the height is then cut to the rows written. Returns the bytes
// written + 3, or 0 when nothing could be converted.
int ConvertDibTo24(const uint8_t* source, uint8_t* target, BITMAPINFO* info, int sourceSize, int targetSize);

// Reduces a 24-bit DIB to 1, 4 or 8 bits with the fixed palettes; writes the
// palette behind the header and rewrites it. Returns the bytes written.
int ReduceColorDepth(const uint8_t* source, uint8_t* target, BITMAPINFO* info, int depth, int sourceSize,
                     int targetSize);

// The tone curve of emphasis level -5..4 (any other level: the steepest curve).
int ToneMap(int value, int level);
