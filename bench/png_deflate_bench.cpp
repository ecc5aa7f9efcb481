// The Deflate of a PNG save beside libdeflate at level 6 on the same bytes: the
// filtered rows of a 12-megapixel picture (the zlib stream of the PNG's IDAT chunks,
// inflated). Prints name=value lines: sizes over libdeflate's and libdeflate's time
// over ours (above 1: ours is faster), instruction counts aside.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string_view>
#include <vector>

#include "codec/deflate/Deflate.h"

// libdeflate's interface (the shared library is present without its header).
extern "C" {
struct libdeflate_compressor;
libdeflate_compressor* libdeflate_alloc_compressor(int level);
size_t libdeflate_deflate_compress(libdeflate_compressor* c, const void* in, size_t inSize, void* out, size_t outAvail);
size_t libdeflate_deflate_compress_bound(libdeflate_compressor* c, size_t inSize);
void libdeflate_free_compressor(libdeflate_compressor* c);
}

namespace {

using Bytes = std::vector<uint8_t>;

// In the PNG save the rows reach the deflater one at a time.
Bytes Ours(const Bytes& d, size_t row) {
  Bytes out;
  codec::CDeflater deflater(out, d.size());
  for (size_t at = 0; at < d.size(); at += row) deflater.Write(d.data() + at, std::min(row, d.size() - at));
  deflater.Finish();
  return out;
}

Bytes Theirs(libdeflate_compressor* c, const Bytes& d) {
  Bytes out(libdeflate_deflate_compress_bound(c, d.size()));
  out.resize(libdeflate_deflate_compress(c, d.data(), d.size(), out.data(), out.size()));
  return out;
}

template <class F>
double Best(F f) {
  double best = 1e9;
  for (int i = 0; i < 5; ++i) {
    const auto start = std::chrono::steady_clock::now();
    f();
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  std::ifstream in(argv[1], std::ios::binary);
  const Bytes data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto row = static_cast<size_t>(std::atol(argv[2]));
  libdeflate_compressor* c = libdeflate_alloc_compressor(6);
  if (argc > 3) {  // one side once, for an instruction count: ours or libdeflate
    const Bytes one = std::string_view(argv[3]) == "ours" ? Ours(data, row) : Theirs(c, data);
    std::printf("%s_bytes=%zu\n", argv[3], one.size());
    libdeflate_free_compressor(c);
    return 0;
  }
  const Bytes ours = Ours(data, row), theirs = Theirs(c, data);
  double tOurs = 1e9, tTheirs = 1e9;
  for (int round = 0; round < 2; ++round) {  // in turn, so that the load falls on both
    tOurs = std::min(tOurs, Best([&] { Ours(data, row); }));
    tTheirs = std::min(tTheirs, Best([&] { Theirs(c, data); }));
  }
  libdeflate_free_compressor(c);
  std::printf("png_deflate_input_mb=%.1f\n", static_cast<double>(data.size()) / 1e6);
  std::printf("png_deflate_size_ratio=%.4f\n", static_cast<double>(ours.size()) / static_cast<double>(theirs.size()));
  std::printf("png_deflate_speed_ratio=%.2f\n", tTheirs / tOurs);
  std::printf("png_deflate_ms=%.0f\n", tOurs * 1000);
  std::printf("libdeflate6_ms=%.0f\n", tTheirs * 1000);
  return 0;
}
