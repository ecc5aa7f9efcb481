// Flate decoding of PDF streams into the reader's bounded stream buffer.
#include "convert/pdf/PdfStreamDecode.h"

int64_t PdfInflate(CBufferInflater& inflater, const uint8_t* in, int64_t length, uint8_t* out, int64_t capacity) {
  return inflater.Run(in, length, out, capacity);
}
