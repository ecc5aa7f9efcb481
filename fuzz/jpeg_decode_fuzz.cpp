// The JPEG decoder on arbitrary bytes: headers, then the scan into a DIB block. It
// must end with a result code, allocate no more than the hook allows, and never
// read or write out of bounds; the portable kernels, decoding over the same block
// again, must give the same result and bytes as the wide ones.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/codecs/jpeg/JDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  AllocHook hook;
  hook.FailAbove(size_t{64} << 20);
  JDecoder decoder(&hook);
  if (decoder.SetSource(data, static_cast<int64_t>(size)) != 0) return 0;
  std::vector<uint8_t> bits;
  const int result = decoder.DecodeDib(bits, 16);
  JDecoder portable(&hook);
  portable.SetWideKernels(false);
  if (portable.SetSource(data, static_cast<int64_t>(size)) != 0) __builtin_trap();
  std::vector<uint8_t> again(bits.size(), 0xA5);
  if (portable.DecodeDib(again, 16) != result || again != bits) __builtin_trap();
  return 0;
}
