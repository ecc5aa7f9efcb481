// Side-by-side benchmark of the own codec and zlib on one corpus, in one run.
// Prints one `name=value` line per figure; ratios are ours/zlib.
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "codec/ByteSink.h"
#include "codec/deflate/Deflate.h"
#include "codec/deflate/Inflate.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Ours and the peer in turn, best of five runs each, in seconds.
template <class A, class B>
std::pair<double, double> TimeBoth(A&& ours, B&& peer) {
  double bestOurs = 1e9, bestPeer = 1e9;
  auto time = [](auto&& f) {
    auto t0 = Clock::now();
    f();
    return std::chrono::duration<double>(Clock::now() - t0).count();
  };
  for (int i = 0; i < 5; ++i) {
    bestOurs = std::min(bestOurs, time(ours));
    bestPeer = std::min(bestPeer, time(peer));
  }
  return {bestOurs, bestPeer};
}

Bytes ZlibDeflate(const Bytes& d, int level) {
  z_stream z{};
  deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  Bytes out(deflateBound(&z, d.size()));
  z.next_in = const_cast<Bytef*>(d.data());
  z.avail_in = static_cast<uInt>(d.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

void ZlibInflate(const Bytes& c, Bytes& out) {
  z_stream z{};
  inflateInit2(&z, -15);
  z.next_in = const_cast<Bytef*>(c.data());
  z.avail_in = static_cast<uInt>(c.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  inflate(&z, Z_FINISH);
  inflateEnd(&z);
}

Bytes OurDeflate(const Bytes& d) {
  Bytes out;
  codec::CDeflater deflater(out);
  deflater.Write(d.data(), d.size());
  deflater.Finish();
  return out;
}

// Hands decoded chunks to a preallocated buffer, as an extraction into memory does.
class BufferSink : public codec::CByteSink {
 public:
  explicit BufferSink(Bytes& out) : out_(out) {}
  void Put(const uint8_t* data, size_t n) override {
    std::copy_n(data, std::min(n, out_.size() - at_), out_.begin() + static_cast<std::ptrdiff_t>(at_));
    at_ += n;
  }

 private:
  Bytes& out_;
  size_t at_ = 0;
};

void Figures(const std::string& name, const Bytes& data, bool sizes) {
  Bytes ours = OurDeflate(data);
  Bytes gz6 = ZlibDeflate(data, 6);
  const auto [tOurs, tZlib] = TimeBoth([&] { OurDeflate(data); }, [&] { ZlibDeflate(data, 6); });
  double mb = static_cast<double>(data.size()) / 1e6;
  if (sizes) {
    std::printf("deflate_size_ratio_%s=%.3f\n", name.c_str(), static_cast<double>(ours.size()) / static_cast<double>(gz6.size()));
    std::printf("deflate_speed_ratio_%s=%.2f\n", name.c_str(), tZlib / tOurs);
  }
  std::printf("deflate_mbps_%s=%.1f\n", name.c_str(), mb / tOurs);
  if (!sizes) return;
  Bytes out(data.size() + 16);
  codec::CInflater inflater;
  BufferSink first(out);
  inflater.Run(gz6, first, data.size());
  // A speed is worth nothing without the right bytes.
  if (!std::equal(data.begin(), data.end(), out.begin())) {
    std::fprintf(stderr, "inflate gave wrong bytes on %s\n", name.c_str());
    std::exit(1);
  }
  const auto [iOurs, iZlib] = TimeBoth(
      [&] {
        codec::CInflater again;
        BufferSink sink(out);
        again.Run(gz6, sink, data.size());
      },
      [&] { ZlibInflate(gz6, out); });
  std::printf("inflate_speed_ratio_%s=%.2f\n", name.c_str(), iZlib / iOurs);
  std::printf("inflate_mbps_%s=%.1f\n", name.c_str(), mb / iOurs);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: codec_bench TEXT_FILE BINARY_FILE\n");
    return 2;
  }
  if (std::ifstream load("/proc/loadavg"); load) {
    double one = 0, five = 0, fifteen = 0;
    load >> one >> five >> fifteen;
    std::printf("load=%.2f %.2f %.2f\n", one, five, fifteen);
  }
  Bytes text = ReadFile(argv[1]);
  Bytes binary = ReadFile(argv[2]);
  Figures("text", text, true);
  Figures("binary", binary, true);
  std::mt19937 rng(1);
  Bytes noise(8 << 20), twoSymbol(8 << 20), runs(8 << 20, 0);
  for (auto& b : noise) b = static_cast<uint8_t>(rng());
  for (auto& b : twoSymbol) b = (rng() & 1) ? 'a' : 'b';
  for (size_t i = 0; i < runs.size(); i += 4096) runs[i] = static_cast<uint8_t>(i >> 12);
  Figures("random", noise, false);
  Figures("two_symbol", twoSymbol, false);
  Figures("runs", runs, false);
  return 0;
}
