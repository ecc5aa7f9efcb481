// The PNG reader on arbitrary bytes (see ImageFuzzSupport.h). Under libFuzzer the
// mutated files get their chunk CRCs made right again, so that mutations reach the
// inflating and unfiltering behind the CRC check instead of stopping at it.
#include "ImageFuzzSupport.h"
#include "codec/CodecServices.h"
#include "base/ByteCursor.h"

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize) __attribute__((weak));

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize, unsigned int) {
  if (!LLVMFuzzerMutate) return size;
  size = LLVMFuzzerMutate(data, size, maxSize);
  // Each whole chunk behind the signature gets the CRC of its type and data.
  size_t at = 8;
  while (at + 12 <= size) {
    const uint64_t length = ByteCursor(data + at, 4).U32BE();
    if (length > size - at - 12) break;
    const uint32_t crc = Crc32Of(data + at + 4, static_cast<size_t>(length) + 4);
    uint8_t* out = data + at + 8 + length;
    for (int k = 0; k < 4; ++k) out[k] = static_cast<uint8_t>(crc >> (24 - 8 * k));
    at += 12 + static_cast<size_t>(length);
  }
  return size;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return FuzzPictureDecoder(data, size, [](const uint8_t* file, int length, BITMAPINFO* out, PictureBlock& picture,
                                           const PictureContext& cx) { return DecodePngBlock(file, length, out, picture, cx); });
}
