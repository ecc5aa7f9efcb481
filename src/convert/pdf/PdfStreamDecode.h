// Stream filters of the PDF reader: Flate through the own Inflate into a bounded
// buffer, and the zlib header test by its check bits.
#pragma once

#include <cstdint>

#include "codec/CodecServices.h"

// A zlib stream header: deflate method, a window of at most 32 KiB and the check bits.
constexpr bool PdfIsZlibHeader(uint8_t b0, uint8_t b1) {
  return (b0 & 0x0F) == 8 && (b0 >> 4) <= 7 && (b0 * 256 + b1) % 31 == 0;
}

// Inflates raw Deflate data into out (at most capacity bytes). Returns the length,
// -3 when the data holds more than capacity (out then holds the first capacity
// bytes), or -1 when nothing could be decoded. A stream that breaks off keeps what
// was decoded before the break.
int64_t PdfInflate(CBufferInflater& inflater, const uint8_t* in, int64_t length, uint8_t* out, int64_t capacity);
