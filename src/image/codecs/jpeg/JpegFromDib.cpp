#include "image/codecs/jpeg/JpegFromDib.h"

#include <algorithm>

#include "base/CheckedSize.h"
#include "image/codecs/jpeg/JEncoder.h"

int EncodeJpegFromDib24(const uint8_t* bits, int64_t bitsSize, int width, int height, int level,
                        std::vector<uint8_t>& out, AllocHook* hook) {
  out.clear();
  if (!bits || width < 1 || width > 65535 || height < 1 || height > 65535) return -1;
  const int64_t stride = (int64_t{width} * 3 + 3) / 4 * 4;
  const auto need = CheckedSize(stride, height);
  if (!need || *need > bitsSize) return -1;
  // The encoder reads the rows in place, the last DIB row being the picture's first.
  JEncoder encoder(JBgrRows{bits + (height - 1) * stride, -stride}, hook);
  JEncodeParams params;
  params.width = width;
  params.height = height;
  params.comment = "JPEG by Pelnor";
  params.units = 1;
  params.xDensity = 96;
  params.yDensity = 96;
  encoder.SetParams(params);
  encoder.SetQuality(level);
  if (encoder.Encode() != 0) return -1;
  const auto written = encoder.GetOutput();
  if (!TryAllocate(out, static_cast<int64_t>(written.size()), 1, 0, hook)) return -1;
  std::copy(written.begin(), written.end(), out.begin());
  return 0;
}
