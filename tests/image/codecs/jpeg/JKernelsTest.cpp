// The codec's AVX2 kernels against the portable ones: the same bytes for the same
// blocks and pictures, down to the extreme coefficients a hostile file can carry; the
// shared pictures decode, and a made picture encodes, to the bytes they gave before
// the wide kernels came.
#include <gtest/gtest.h>

#include <cstring>

#include "JpegTestSupport.h"
#include "image/codecs/jpeg/JDecoder.h"
#include "image/codecs/jpeg/JEncoder.h"
#include "image/codecs/jpeg/JKernels.h"

using namespace jpegtest;

namespace {

struct Both {
  int result = -9;
  std::vector<uint8_t> dib;
  std::vector<uint8_t> planes;  // R, G, B planes one after the other
};

Both DecodeBoth(const std::string& file, bool wide) {
  Both out;
  const auto* data = reinterpret_cast<const uint8_t*>(file.data());
  JDecoder d;
  d.SetWideKernels(wide);
  out.result = d.SetSource(data, static_cast<int64_t>(file.size()));
  if (out.result == 0) out.result = d.DecodeDib(out.dib, 5);
  JDecoder p;
  p.SetWideKernels(wide);
  if (p.SetSource(data, static_cast<int64_t>(file.size())) == 0 && p.Decode() == 0) {
    uint8_t *r, *g, *b;
    int w, h, n;
    p.GetInfo(&r, &g, &b, &w, &h, &n);
    const size_t size = static_cast<size_t>(w) * h;
    for (const uint8_t* plane : {r, g, b}) out.planes.insert(out.planes.end(), plane, plane + size);
  }
  return out;
}

// A picture's planes (R, G, B) from the test support's PPM.
struct Planes {
  int width = 0, height = 0;
  std::vector<uint8_t> p[3];
};

Planes MakePlanes(int w, int h) {
  const Pnm pnm = ParsePnm(MakePnm(w, h, false));
  Planes out;
  out.width = pnm.width;
  out.height = pnm.height;
  for (int c = 0; c < 3; ++c) {
    for (size_t i = 0; i < pnm.px.size() / 3; ++i) out.p[c].push_back(pnm.px[i * 3 + c]);
  }
  return out;
}

std::vector<uint8_t> Encode(const Planes& planes, int level, bool wide) {
  JEncoder e(planes.p[0].data(), planes.p[1].data(), planes.p[2].data());
  return EncodeAt(e, planes.width, planes.height, level, wide, false);
}

}  // namespace

// The encoding of a made picture at each level, by either kernel set, as before
// the wide kernels came (size and FNV-1a of the file).
TEST(JKernelsTest, MadePictureEncodesToTheBytesOfBefore) {
  const Planes planes = MakePlanes(203, 77);
  const struct {
    int level;
    size_t size;
    uint64_t hash;
  } kKnown[] = {{1, 1899, 0x330bd564011fd95bull}, {2, 2827, 0x47be12a6d5388d87ull}, {3, 5210, 0x2bbaf802a83c810bull}};
  for (const auto& k : kKnown) {
    for (const bool wide : {true, false}) {
      SCOPED_TRACE(std::to_string(k.level) + (wide ? " wide" : " portable"));
      const std::vector<uint8_t> file = Encode(planes, k.level, wide);
      ASSERT_EQ(file.size(), k.size);
      EXPECT_EQ(Fnv1a(file.data(), file.size()), k.hash);
    }
  }
}

TEST(JKernelsTest, WideAndPortableEncodingGiveTheSameBytes) {
  if (!jkern::HaveAvx2()) GTEST_SKIP() << "no AVX2 on this processor";
  for (const auto& [w, h] : {std::pair{1, 1}, {17, 9}, {64, 48}, {161, 23}}) {
    const Planes planes = MakePlanes(w, h);
    for (int level = 1; level <= 3; ++level) {
      SCOPED_TRACE(std::to_string(w) + " level " + std::to_string(level));
      const std::vector<uint8_t> wide = Encode(planes, level, true);
      EXPECT_FALSE(wide.empty());
      EXPECT_TRUE(wide == Encode(planes, level, false));
    }
  }
}

TEST(JKernelsTest, WideAndPortableTransformsGiveTheSameBytes) {
  if (!jkern::HaveAvx2()) GTEST_SKIP() << "no AVX2 on this processor";
  uint32_t seed = 7;
  auto next = [&seed](int range) {
    seed = seed * 1103515245 + 12345;
    return static_cast<int>((seed >> 8) % static_cast<uint32_t>(range));
  };
  // Dense, sparse and single-row blocks; small values, real ones, and the extremes
  // the decoder lets through (+-16383/16384), where every sum is at its largest.
  for (int round = 0; round < 4000; ++round) {
    SCOPED_TRACE(round);
    int32_t in[64] = {};
    const int kind = round % 5;
    for (int i = 0; i < 64; ++i) {
      const bool used = kind == 0 || (kind == 1 && i % 8 < 4 && i < 32) || (kind == 2 && i < 8) || kind >= 3;
      if (!used) continue;
      if (kind == 3) in[i] = next(2) ? 16383 : -16384;
      else if (kind == 4) in[i] = next(32769) - 16384;
      else in[i] = next(2049) - 1024;
    }
    uint8_t a[8 * 11], b[8 * 11];
    std::memset(a, 0x5A, sizeof a);
    std::memset(b, 0x5A, sizeof b);
    jkern::IdctBase(in, a, 11);
    jkern::IdctAvx2(in, b, 11);
    ASSERT_EQ(0, std::memcmp(a, b, sizeof a));
  }
}

class JKernelsPictureTest : public ::testing::Test {
 protected:
  void SetUp() override { SKIP_WITHOUT_PROGRAM("cjpeg"); }
  testenv::TempDir dir_;
};

// Widths on both sides of the 32-pixel groups of the wide colour conversion, every
// sampling layout the fast conversion takes and some it does not.
TEST_F(JKernelsPictureTest, WideAndPortableDecodingGiveTheSameBytes) {
  if (!jkern::HaveAvx2()) GTEST_SKIP() << "no AVX2 on this processor";
  struct Case {
    int width, height;
    bool grey;
    const char* options;
  };
  const Case kCases[] = {
      {97, 41, false, "-quality 85 -sample 2x2"}, {64, 40, false, "-quality 85 -sample 1x1"},
      {33, 17, false, "-quality 95 -sample 2x1"}, {130, 9, false, "-quality 100 -sample 1x1"},
      {71, 66, false, "-quality 30 -sample 1x2"}, {95, 31, false, "-quality 85 -sample 4x1"},
      {40, 40, true, "-quality 85 -grayscale"},   {161, 23, false, "-quality 75 -sample 2x2 -restart 1B"},
      {31, 31, false, "-quality 90 -sample 2x2"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.options) + " " + std::to_string(c.width));
    const std::string in = dir_.HostPath("in.pnm");
    const std::string out = dir_.HostPath("out.jpg");
    testenv::WriteHostFile(in, MakePnm(c.width, c.height, c.grey));
    RunTool("cjpeg " + std::string(c.options) + " -outfile " + testenv::Quote(out) + " " + testenv::Quote(in));
    const std::string file = testenv::ReadHostFile(out);
    const Both wide = DecodeBoth(file, true);
    const Both portable = DecodeBoth(file, false);
    ASSERT_EQ(wide.result, 0);
    ASSERT_EQ(portable.result, 0);
    EXPECT_TRUE(wide.dib == portable.dib);
    EXPECT_TRUE(wide.planes == portable.planes);
    EXPECT_FALSE(wide.planes.empty());
  }
}

// The DIB blocks of the shared pictures as the decoder gave them before the wide
// kernels came (FNV-1a of the block with no spare bytes), by either kernel set.
TEST(JKernelsTest, SharedPicturesDecodeToTheBytesOfBefore) {
  const std::string folder = testenv::SharedTestData("images");
  SKIP_WITHOUT_SHARED_DATA(folder);
  struct Known {
    const char* name;
    size_t size;
    uint64_t hash;
  };
  const Known kKnown[] = {
      {"ljt-testimgint.jpg", 101916, 0x7a8abac0eac5f5e5ull},
      {"poi-thumbnail.jpg", 90000, 0x9b3f2be0d615f95full},
      {"tika-baseball.jpg", 545280, 0x10808ce34716d4d4ull},
      {"tika-testJPEG.jpg", 22500, 0xae12ad61fcf2b9b5ull},
      {"tika-testJPEG_oddTagComponent.jpg", 290304, 0x9e2bcec7098ac318ull},
  };
  for (const Known& k : kKnown) {
    SCOPED_TRACE(k.name);
    const std::string file = testenv::ReadHostFile(folder + "/" + k.name);
    for (const bool wide : {true, false}) {
      JDecoder d;
      d.SetWideKernels(wide);
      std::vector<uint8_t> dib;
      ASSERT_EQ(d.SetSource(reinterpret_cast<const uint8_t*>(file.data()), static_cast<int64_t>(file.size())), 0);
      ASSERT_EQ(d.DecodeDib(dib, 0), 0);
      ASSERT_EQ(dib.size(), k.size);
      EXPECT_EQ(Fnv1a(dib.data(), dib.size()), k.hash);
    }
  }
}

// A DIB block of the right size is written over, not cleared first: decoding a cut
// file into the block of a whole picture must still leave zeros wherever the scan
// did not reach, in the row padding and in the spare bytes, as a fresh block has.
TEST_F(JKernelsPictureTest, ReusedDibBlockHoldsZerosWhereTheCutScanStopped) {
  const std::string in = dir_.HostPath("in.ppm");
  const std::string out = dir_.HostPath("cut.jpg");
  testenv::WriteHostFile(in, MakePnm(61, 64, false));  // 61 x 3 bytes: padded rows
  RunTool("cjpeg -quality 90 -sample 2x2 -outfile " + testenv::Quote(out) + " " + testenv::Quote(in));
  const std::string whole = testenv::ReadHostFile(out);
  const std::string cut = whole.substr(0, whole.size() * 2 / 3);
  for (const bool wide : {true, false}) {
    SCOPED_TRACE(wide ? "wide" : "portable");
    JDecoder fresh;
    fresh.SetWideKernels(wide);
    std::vector<uint8_t> expected;
    ASSERT_EQ(fresh.SetSource(reinterpret_cast<const uint8_t*>(cut.data()), static_cast<int64_t>(cut.size())), 0);
    ASSERT_EQ(fresh.DecodeDib(expected, 9), 0);
    // The same block first holds the whole picture with its spare bytes set.
    std::vector<uint8_t> block;
    JDecoder first;
    first.SetWideKernels(wide);
    ASSERT_EQ(first.SetSource(reinterpret_cast<const uint8_t*>(whole.data()), static_cast<int64_t>(whole.size())), 0);
    ASSERT_EQ(first.DecodeDib(block, 9), 0);
    ASSERT_EQ(block.size(), expected.size());
    std::fill(block.end() - 9, block.end(), uint8_t{0xEE});
    for (size_t row = 0; row < 64; ++row) block[row * 184 + 183] = 0xEE;  // the padding byte
    JDecoder second;
    second.SetWideKernels(wide);
    ASSERT_EQ(second.SetSource(reinterpret_cast<const uint8_t*>(cut.data()), static_cast<int64_t>(cut.size())), 0);
    ASSERT_EQ(second.DecodeDib(block, 9), 0);
    EXPECT_TRUE(block == expected);
    EXPECT_EQ(expected[0], 0);  // the bottom row lies past the cut
  }
}
