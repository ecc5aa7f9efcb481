// The own JPEG codec's speed on one file, for bench/run-jpeg: `decode FILE.jpg`
// times decoding into a 24-bit DIB block (reused between runs), `encode FILE.ppm` times encoding a binary
// PPM (as a DIB) at the standard level. Prints the best of several runs in seconds.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "image/codecs/jpeg/JDecoder.h"
#include "image/codecs/jpeg/JpegFromDib.h"

namespace {

using Clock = std::chrono::steady_clock;

template <class F>
double Best(F&& f) {
  double best = 1e9;
  for (int i = 0; i < 5; ++i) {
    const auto t0 = Clock::now();
    if (!f()) return -1;
    best = std::min(best, std::chrono::duration<double>(Clock::now() - t0).count());
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  std::ifstream in(argv[2], std::ios::binary);
  const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string mode = argv[1];
  double t = -1;
  if (mode == "decode") {
    // One DIB block for all runs, as a viewer that keeps its image block: what is
    // timed is the decoding, not the kernel's first touch of fresh pages.
    std::vector<uint8_t> dib;
    t = Best([&] {
      JDecoder d;
      return d.SetSource(file.data(), static_cast<int64_t>(file.size())) == 0 && d.DecodeDib(dib, 10000) == 0;
    });
  } else if (mode == "encode") {
    int w = 0, h = 0, maxval = 0, used = 0;
    if (std::sscanf(reinterpret_cast<const char*>(file.data()), "P6 %d %d %d%n", &w, &h, &maxval, &used) != 3) return 2;
    const uint8_t* px = file.data() + used + 1;
    const int64_t stride = (int64_t{w} * 3 + 3) / 4 * 4;
    std::vector<uint8_t> dib(static_cast<size_t>(stride * h));
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const uint8_t* s = px + (int64_t{y} * w + x) * 3;
        uint8_t* o = dib.data() + (h - 1 - y) * stride + x * 3;
        o[0] = s[2], o[1] = s[1], o[2] = s[0];
      }
    }
    t = Best([&] {
      std::vector<uint8_t> out;
      return EncodeJpegFromDib24(dib.data(), static_cast<int64_t>(dib.size()), w, h, 2, out, nullptr) == 0;
    });
  }
  if (t < 0) return 1;
  std::printf("%.6f\n", t);
  return 0;
}
