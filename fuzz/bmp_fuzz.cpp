// The BMP reader on arbitrary bytes, run-length rows of 8 and 4 bits included (see
// ImageFuzzSupport.h).
#include "ImageFuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The volume is the "bmpfile" setting's default.
  return FuzzPictureDecoder(data, size, [](const uint8_t* file, int length, BITMAPINFO* out, PictureBlock& picture,
                                           const PictureContext& cx) {
    return DecodeBmpBlock(file, length, 10485760, out, picture, cx);
  });
}
