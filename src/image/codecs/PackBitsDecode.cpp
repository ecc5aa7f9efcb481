// PackBitsDecode: TIFF PackBits. A control byte n of 0..127 copies the next n + 1
// bytes, -1..-127 repeats the next byte 1 - n times, -128 is skipped. A literal run
// that the data cuts short copies only the bytes there are.
#include <algorithm>
#include <cstring>
#include <vector>

#include "base/CheckedSize.h"
#include "image/codecs/ImageCodecs.h"

int PackBitsDecode(uint8_t* data, int length, int capacity, int /*width*/, int /*bitsPerSample*/,
                   const PictureContext& cx) {
  if (!data || length <= 0 || capacity <= 0) return 0;
  std::vector<uint8_t> out;
  if (!TryAllocate(out, capacity, 1, 0, cx.hook)) {
    cx.OutOfMemory(" 611");
    return 0;
  }
  int64_t in = 0;
  int64_t produced = 0;
  while (in < length && produced < capacity) {
    const int n = static_cast<int8_t>(data[in++]);
    if (n >= 0) {
      const int64_t count = std::min<int64_t>({n + 1, length - in, capacity - produced});
      std::memcpy(out.data() + produced, data + in, static_cast<size_t>(count));
      produced += count;
      in += n + 1;
    } else if (n != -128) {
      if (in >= length) break;
      const int64_t count = std::min<int64_t>(1 - n, capacity - produced);
      std::memset(out.data() + produced, data[in++], static_cast<size_t>(count));
      produced += count;
    }
  }
  std::memcpy(data, out.data(), static_cast<size_t>(produced));
  return static_cast<int>(produced);
}
