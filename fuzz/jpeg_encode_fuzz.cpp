// The JPEG encoder on arbitrary pictures: the first bytes give the size (1 to 160 a
// side), the level and the road to compare, the rest the B, G, R bytes of a
// bottom-up DIB (repeated to fill it). The DIB encoded in place (the wide kernels
// where the processor has them) must equal one other road: the DIB by the portable
// kernels, or its planes by either; and our decoder must read the file back at its
// size. One road an input keeps each input at a few encodings (the fuzzer varies the
// road). Allocations above 64 MB are refused.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/codecs/jpeg/JDecoder.h"
#include "image/codecs/jpeg/JEncoder.h"
#include "image/codecs/jpeg/JpegFromDib.h"

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
  const int road = data[4] >> 2 & 3;  // 0 and 3 the DIB by the portable kernels, 1 and 2 the planes
  const uint8_t* px = data + 5;
  const size_t n = size - 5;
  const int stride = (w * 3 + 3) / 4 * 4;
  const bool fromPlanes = road == 1 || road == 2;
  std::vector<uint8_t> bits(static_cast<size_t>(stride) * h, 0);
  std::vector<uint8_t> planes[3];
  if (fromPlanes) {
    for (auto& p : planes) p.resize(static_cast<size_t>(w) * h);
  }
  size_t at = 0;  // the input byte of the next sample, from the start again at the end
  for (int y = 0; y < h; ++y) {
    uint8_t* row = bits.data() + static_cast<size_t>(h - 1 - y) * stride;
    for (int x = 0; x < w; ++x) {
      for (int c = 0; c < 3; ++c) {
        const uint8_t v = n ? px[at] : 0;
        if (++at == n) at = 0;
        row[x * 3 + c] = v;
        if (fromPlanes) planes[2 - c][static_cast<size_t>(y) * w + x] = v;
      }
    }
  }
  AllocHook hook;
  hook.FailAbove(size_t{64} << 20);
  std::vector<uint8_t> file;
  if (EncodeJpegFromDib24(bits.data(), static_cast<int64_t>(bits.size()), w, h, level, file, &hook) != 0) {
    __builtin_trap();
  }
  if (fromPlanes) {
    JEncoder planar(planes[0].data(), planes[1].data(), planes[2].data(), &hook);
    if (Run(planar, w, h, level, road == 1) != file) __builtin_trap();
  } else {
    JEncoder rows(JBgrRows{bits.data() + static_cast<int64_t>(h - 1) * stride, -stride}, &hook);
    if (Run(rows, w, h, level, false) != file) __builtin_trap();
  }
  JDecoder d(&hook);
  if (d.SetSource(file.data(), static_cast<int64_t>(file.size())) != 0 || d.Decode() != 0) __builtin_trap();
  uint8_t *r, *g, *b;
  int dw, dh, dc;
  d.GetInfo(&r, &g, &b, &dw, &dh, &dc);
  if (dw != w || dh != h || dc != 3) __builtin_trap();
  return 0;
}
