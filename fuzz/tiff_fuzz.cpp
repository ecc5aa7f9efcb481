// The TIFF reader on arbitrary bytes (see ImageFuzzSupport.h).
#include "ImageFuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return FuzzPictureDecoder(data, size, &DecodeTiffBlock);
}
