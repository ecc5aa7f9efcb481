// Our Deflate output read back by zlib (and Python's zlib, as the outside reference
// the archives are checked with), over inputs that stress the matcher and the blocks.
#include <gtest/gtest.h>

#include <random>

#include "codec/CodecTestSupport.h"
#include "codec/deflate/Deflate.h"

using namespace archtest;

namespace {

// The stream written in pieces; with drain set its finished bytes are taken out after
// every piece, as a writer that passes a long stream on does.
Bytes OurDeflate(const Bytes& data, size_t piece = 0, bool drain = false) {
  Bytes out, taken;
  codec::CDeflater d(out);
  if (!piece) piece = data.size() + 1;
  for (size_t p = 0; p < data.size(); p += piece) {
    d.Write(data.data() + p, std::min(piece, data.size() - p));
    if (drain) {
      taken.insert(taken.end(), out.begin(), out.begin() + static_cast<std::ptrdiff_t>(d.Ready()));
      d.Release();
    }
  }
  d.Finish();
  taken.insert(taken.end(), out.begin(), out.end());
  return taken;
}

std::vector<std::pair<std::string, Bytes>> Inputs() {
  std::mt19937 rng(7);
  std::vector<std::pair<std::string, Bytes>> v;
  v.push_back({"empty", {}});
  v.push_back({"one", {'x'}});
  v.push_back({"text", SampleText(400000)});
  v.push_back({"binary", SampleBinary(400000)});
  Bytes random(200000);
  for (auto& b : random) b = static_cast<uint8_t>(rng());
  v.push_back({"random", random});
  Bytes two(300000);
  for (auto& b : two) b = (rng() & 1) ? 'a' : 'b';
  v.push_back({"two-symbol", two});
  v.push_back({"zeros", Bytes(500000, 0)});
  Bytes noRepeat;  // no three bytes repeat: literals only
  for (int i = 0; i < 256; ++i)
    for (int j = i + 1; j < 256; j += 37) noRepeat.push_back(static_cast<uint8_t>(i)), noRepeat.push_back(static_cast<uint8_t>(j));
  v.push_back({"no-repeat", noRepeat});
  Bytes tokens;  // more than 32,766 tokens of every length
  for (int i = 0; tokens.size() < 600000; ++i) {
    int len = 3 + i % 256;
    for (int k = 0; k < len; ++k) tokens.push_back(static_cast<uint8_t>('a' + k % 26));
    tokens.push_back(static_cast<uint8_t>(rng()));
  }
  v.push_back({"many-tokens", tokens});
  Bytes far(2300000);  // copies from exactly a window back, across two slides of the 1 MiB input buffer
  for (size_t i = 0; i < far.size(); ++i) far[i] = i < 32768 ? static_cast<uint8_t>(rng()) : far[i - 32768] ^ (i % 1000 == 0);
  v.push_back({"window-back", far});
  // Runs, copies from near and far, narrow and wide noise, mixed as real files mix them.
  for (int seed = 0; seed < 8; ++seed) {
    Bytes mix;
    while (mix.size() < 150000u + 40000u * seed) {
      const uint32_t kind = rng() % 4, len = rng() % 300;
      if (kind == 0) mix.insert(mix.end(), len, static_cast<uint8_t>(rng()));
      for (uint32_t k = 0, back = 1 + rng() % std::max<size_t>(mix.size(), 1); kind == 1 && k < len && back <= mix.size(); ++k)
        mix.push_back(mix[mix.size() - back]);
      for (uint32_t k = 0, range = 1 + rng() % 256; kind == 2 && k < len / 6; ++k) mix.push_back(static_cast<uint8_t>(rng() % range));
      for (uint32_t k = 0; kind == 3 && k < len / 12; ++k) mix.push_back("abcab"[rng() % 5]);
    }
    v.push_back({"mix-" + std::to_string(seed), mix});
  }
  // Parts whose statistics differ (text, random bytes, a run, two-symbol noise): a
  // block ends where one part gives way to the next.
  Bytes parts;
  for (int part = 0; part < 12; ++part) {
    const Bytes text = SampleText(30000 + 997 * part);
    for (size_t i = 0; i < text.size(); ++i) {
      const uint32_t r = rng();
      const uint8_t noise[4] = {text[i], static_cast<uint8_t>(r), 0, static_cast<uint8_t>("xy"[r & 1])};
      parts.push_back(noise[part % 4]);
    }
  }
  v.push_back({"parts", parts});
  return v;
}

}  // namespace

TEST(Deflate, ZlibReadsEveryOutputToItsEnd) {
  for (const auto& [name, data] : Inputs()) {
    for (size_t piece : {size_t{0}, size_t{1000}, size_t{65536}}) {
      Bytes stream = OurDeflate(data, piece);
      EXPECT_EQ(OurDeflate(data, piece, true), stream) << name << " taken out as it is made";
      Bytes back;
      ASSERT_TRUE(ZlibInflate(stream, &back)) << name << " " << piece;
      EXPECT_EQ(back, data) << name;
      Bytes ours;
      ASSERT_EQ(OurInflate(stream, &ours), "ok") << name;
      EXPECT_EQ(ours, data) << name;
    }
  }
}

TEST(Deflate, SizesStayNearZlibLevelSix) {
  for (const auto& [name, data] : Inputs()) {
    if (data.size() < 100000) continue;
    Bytes ours = OurDeflate(data);
    Bytes ref = ZlibDeflate(data, 6);
    EXPECT_LE(ours.size(), ref.size() * 115 / 100 + 1024) << name;
  }
  // Data that does not compress is stored: at most a few bytes per 64 KiB over its size.
  Bytes random = Inputs()[4].second;
  EXPECT_LE(OurDeflate(random).size(), random.size() + 5 * (random.size() / 16384 + 2));
}

TEST(Deflate, PythonZlibEndsAtEofWithNoUnusedData) {
  SKIP_WITHOUT_PROGRAM("python3");
  testenv::TempDir dir;
  for (const auto& [name, data] : Inputs()) {
    testenv::WriteHostFile(dir.HostPath("in"), ToString(data));
    testenv::WriteHostFile(dir.HostPath("z"), ToString(OurDeflate(data)));
    std::string r = testenv::Shell(
        "python3 -c \"import zlib,sys;d=zlib.decompressobj(-15);o=d.decompress(open(sys.argv[1],'rb').read());"
        "print(d.eof, len(d.unused_data), o==open(sys.argv[2],'rb').read())\" " +
        Q(dir.HostPath("z")) + " " + Q(dir.HostPath("in")));
    EXPECT_EQ(r, "True 0 True\n") << name;
  }
}

// A stream whose size is told up front gets its tables to that size, so that each
// small stream (a PDF page's content) no longer fills a full window's tables. It
// reads back whole when the size is right, when less is told than comes (the
// buffer grows and the small tables serve a large input), and stays near zlib.
TEST(Deflate, SmallStreamFilledFullWindowTablesFault) {
  auto inputs = Inputs();
  for (size_t n : {size_t{300}, size_t{1500}, size_t{6000}, size_t{20000}}) inputs.push_back({"text", SampleText(n)});
  for (const auto& [name, data] : inputs) {
    for (size_t told : {data.size(), size_t{100}}) {
      Bytes stream;
      codec::CDeflater d(stream, told);
      for (size_t p = 0; p < data.size(); p += 1000) d.Write(data.data() + p, std::min<size_t>(1000, data.size() - p));
      d.Finish();
      Bytes back;
      ASSERT_TRUE(ZlibInflate(stream, &back)) << name << " " << data.size() << " told " << told;
      EXPECT_EQ(back, data) << name << " " << data.size() << " told " << told;
      if (told == data.size() && name == "text") {
        EXPECT_LE(stream.size(), ZlibDeflate(data, 6).size() * 105 / 100 + 8) << data.size();
      }
    }
  }
}
