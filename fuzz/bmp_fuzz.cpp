// The BMP reader on arbitrary bytes, run-length rows of 8 and 4 bits included (see
// ImageFuzzSupport.h).
#include "ImageFuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return FuzzImageDecoder(data, size, &CQelDoc::DecodeBmp);
}
