// The JPEG encoder on arbitrary pictures: the first bytes give the size (1 to 160 a
// side) and the level, the rest the B, G, R bytes of a bottom-up DIB (repeated to
// fill it). The DIB encoded in place must equal the encoding of its planes, by the
// wide and the portable kernels alike, and our decoder must read the file back at
// its size. Allocations above 64 MB are refused.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/jpeg/JDecoder.h"
#include "image/jpeg/JEncoder.h"
#include "image/jpeg/JpegFromDib.h"

namespace {

std::vector<uint8_t> Run(JEncoder& e, int w, int h, int level, bool wide) {
  e.SetWideKernels(wide);
  JEncodeParams params;
  params.width = w;
  params.height = h;
  params.comment = "JPEG by Pelnor";
  params.units = 1;
  params.xDensity = params.yDensity = 96;
  e.SetParams(params);
  e.SetQuality(level);
  if (e.Encode() != 0) return {};
  const auto out = e.GetOutput();
  return std::vector<uint8_t>(out.begin(), out.end());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 5) return 0;
  const int w = 1 + (data[0] | data[1] << 8) % 160;
  const int h = 1 + (data[2] | data[3] << 8) % 160;
  const int level = data[4] % 4;
  const uint8_t* px = data + 5;
  const size_t n = size - 5;
  const int stride = (w * 3 + 3) / 4 * 4;
  std::vector<uint8_t> bits(static_cast<size_t>(stride) * h, 0);
  std::vector<uint8_t> planes[3];
  for (auto& p : planes) p.resize(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      for (int c = 0; c < 3; ++c) {
        const size_t at = (static_cast<size_t>(y) * w + x) * 3 + c;
        const uint8_t v = n ? px[at % n] : 0;
        bits[static_cast<size_t>(h - 1 - y) * stride + x * 3 + c] = v;
        planes[2 - c][static_cast<size_t>(y) * w + x] = v;
      }
    }
  }
  AllocHook hook;
  hook.FailAbove(size_t{64} << 20);
  std::vector<uint8_t> file;
  if (EncodeJpegFromDib24(bits.data(), static_cast<int64_t>(bits.size()), w, h, level, file, &hook) != 0) {
    __builtin_trap();
  }
  for (const bool wide : {true, false}) {
    JEncoder rows(JBgrRows{bits.data() + static_cast<int64_t>(h - 1) * stride, -stride}, &hook);
    JEncoder fromPlanes(planes[0].data(), planes[1].data(), planes[2].data(), &hook);
    if (Run(rows, w, h, level, wide) != file || Run(fromPlanes, w, h, level, wide) != file) __builtin_trap();
  }
  JDecoder d(&hook);
  if (d.SetSource(file.data(), static_cast<int64_t>(file.size())) != 0 || d.Decode() != 0) __builtin_trap();
  uint8_t *r, *g, *b;
  int dw, dh, dc;
  d.GetInfo(&r, &g, &b, &dw, &dh, &dc);
  if (dw != w || dh != h || dc != 3) __builtin_trap();
  return 0;
}
