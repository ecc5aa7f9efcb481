#include "image/jpeg/JpegFromDib.h"

#include <algorithm>

#include "base/CheckedSize.h"
#include "image/jpeg/JEncoder.h"
#include "image/jpeg/JKernels.h"

int EncodeJpegFromDib24(const uint8_t* bits, int64_t bitsSize, int width, int height, int level,
                        std::vector<uint8_t>& out, plat::AllocHook* hook) {
  out.clear();
  if (!bits || width < 1 || width > 65535 || height < 1 || height > 65535) return -1;
  const int64_t stride = (int64_t{width} * 3 + 3) / 4 * 4;
  const auto need = CheckedSize(stride, height);
  if (!need || *need > bitsSize) return -1;
  std::vector<uint8_t> planes[3];
  for (auto& p : planes) {
    if (!TryAllocate(p, width, height, 0, hook)) return -1;
  }
  const bool wide = jkern::HaveAvx2();
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = bits + (height - 1 - y) * stride;
    const int64_t at = int64_t{y} * width;
    const int done = wide ? jkern::SplitBgrAvx2(row, &planes[0][at], &planes[1][at], &planes[2][at], width) : 0;
    for (int x = done; x < width; ++x) {
      planes[2][at + x] = row[3 * x];
      planes[1][at + x] = row[3 * x + 1];
      planes[0][at + x] = row[3 * x + 2];
    }
  }
  JEncoder encoder(planes[0].data(), planes[1].data(), planes[2].data(), hook);
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
