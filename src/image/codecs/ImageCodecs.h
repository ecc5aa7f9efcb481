// Decoders of compressed image data held in memory: LZW (GIF, TIFF and PDF
// streams), PackBits (TIFF) and the CCITT fax codings (TIFF). Each decodes in place:
// the result is copied over the first bytes of data, so data must hold
// max(length, capacity) bytes. Each returns the bytes decoded (at most capacity);
// 0 means nothing came out or a scratch block could not be allocated (told to the
// context).
#pragma once

#include <cstdint>

#include "codec/LzwDecode.h"
#include "image/codecs/PictureContext.h"

// TIFF PackBits runs, decoded one after another whatever the row width.
int PackBitsDecode(uint8_t* data, int length, int capacity, int width, int bitsPerSample, const PictureContext& cx);

// compression 2 (modified Huffman rows), 3 (T.4 one-dimensional with EOLs), 4 and
// 14 (T.6; 14 with byte-aligned rows); fillOrder 2 reads each byte's low bit first.
// The result is packed 1-bit rows of width pixels, 1 for black, each padded to a byte.
int CcittDecode(uint8_t* data, int length, int capacity, int width, int compression, int fillOrder,
                const PictureContext& cx);
