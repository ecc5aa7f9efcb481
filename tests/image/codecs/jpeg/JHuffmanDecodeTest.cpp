// The decoder's block loop (ready AC table, coefficient steps, bit buffer) and its
// wide inverse transform over blocks stored by columns, against what the decoder
// gave before they came: cjpeg-made pictures of every sampling, restart intervals,
// qualities 5 to 100, optimised tables, cut short and with bytes flipped, decode to
// the stored digests (result, DIB bytes and error text), by either kernel set.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "JpegTestSupport.h"
#include "image/codecs/jpeg/JDecoder.h"
#include "image/codecs/jpeg/JKernels.h"

using namespace jpegtest;

namespace {

// Result, DIB block (3 spare bytes) and error text of one decoding.
uint64_t Digest(const std::string& file, bool wide) {
  JDecoder d;
  d.SetWideKernels(wide);
  std::vector<uint8_t> dib;
  int result = d.SetSource(reinterpret_cast<const uint8_t*>(file.data()), static_cast<int64_t>(file.size()));
  if (result == 0) result = d.DecodeDib(dib, 3);
  Fnv f;
  f.Add(&result, sizeof result);
  f.Add(dib.data(), dib.size());
  f.Add(d.GetError().data(), d.GetError().size());
  return f.h;
}

// The file, three cuts and four single-byte changes past the headers.
std::vector<std::string> Variants(const std::string& file) {
  std::vector<std::string> out{file};
  const size_t n = file.size();
  for (const size_t cut : {n / 3, n / 2, n * 9 / 10}) out.push_back(file.substr(0, cut));
  for (int j = 0; j < 4; ++j) {
    std::string changed = file;
    const size_t at = n / 2 + (n / 2 - 2) * static_cast<size_t>(j) / 4;
    changed[at] = static_cast<char>(j == 3 ? 0xFF : changed[at] ^ (0x11 << j));
    out.push_back(changed);
  }
  return out;
}

struct Case {
  int width, height;
  bool grey;
  const char* options;
  uint64_t file;       // FNV-1a of cjpeg's output: another cjpeg makes other files
  uint64_t digest[8];  // the variants in the order of Variants()
};

// Digests as the decoder gave them before the ready table and the wide column
// transform came.
const Case kCases[] = {
#include "JHuffmanDecodeCases.inc"
};

class JHuffmanDecodeTest : public ::testing::Test {
 protected:
  void SetUp() override { SKIP_WITHOUT_PROGRAM("cjpeg"); }
  testenv::TempDir dir_;
};

TEST_F(JHuffmanDecodeTest, CjpegPicturesDecodeToTheDigestsOfBefore) {
  const char* dump = std::getenv("PELNORIX_JPEG_CASE_DIR");  // where to leave the variants, to make the table
  int compared = 0;
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.options) + " " + std::to_string(c.width) + "x" + std::to_string(c.height));
    const std::string in = dir_.HostPath("in.pnm");
    const std::string out = dir_.HostPath("out.jpg");
    testenv::WriteHostFile(in, MakePnm(c.width, c.height, c.grey));
    RunTool("cjpeg " + std::string(c.options) + " -outfile " + testenv::Quote(out) + " " + testenv::Quote(in));
    const std::string file = testenv::ReadHostFile(out);
    Fnv f;
    f.Add(file.data(), file.size());
    const std::vector<std::string> variants = Variants(file);
    if (dump) {
      for (size_t v = 0; v < variants.size(); ++v) {
        char name[64];
        std::snprintf(name, sizeof name, "/c%03d_%zu.jpg", static_cast<int>(&c - kCases), v);
        testenv::WriteHostFile(std::string(dump) + name, variants[v]);
      }
      continue;
    }
    if (f.h != c.file) {
      ADD_FAILURE() << "cjpeg made another file: " << std::hex << f.h;
      continue;
    }
    for (size_t v = 0; v < variants.size(); ++v) {
      SCOPED_TRACE(v);
      EXPECT_EQ(Digest(variants[v], true), c.digest[v]);
      EXPECT_EQ(Digest(variants[v], false), c.digest[v]);
    }
    ++compared;
  }
  if (!dump) {
    EXPECT_EQ(compared, static_cast<int>(std::size(kCases)));
  }
}

// The wide transform of blocks stored by columns gives the portable transform's
// bytes for every shape of block: dense, with a zero right half, lower half or
// both, a single coefficient anywhere, and the extremes the decoder lets through;
// it leaves the block zeroed for the next.
TEST(JColumnTransformTest, WideColumnTransformGivesThePortableBytes) {
  if (!jkern::HaveAvx2()) GTEST_SKIP() << "no AVX2 on this processor";
  uint32_t seed = 99;
  auto next = [&seed](int range) {
    seed = seed * 1103515245 + 12345;
    return static_cast<int>((seed >> 8) % static_cast<uint32_t>(range));
  };
  for (int round = 0; round < 6000; ++round) {
    SCOPED_TRACE(round);
    int32_t natural[64] = {};
    alignas(32) int32_t columns[64] = {};
    const int shape = round % 6;  // 0 dense, 1 right half zero, 2 lower half zero, 3 both, 4 one value, 5 extremes
    const int single = next(64);
    for (int i = 0; i < 64; ++i) {
      const int row = i / 8, col = i % 8;
      if ((shape == 1 || shape == 3) && col >= 4) continue;
      if ((shape == 2 || shape == 3) && row >= 4) continue;
      if (shape == 4 && i != single) continue;
      natural[i] = shape == 5 ? (next(2) ? 16383 : -16384) : round % 4 == 1 ? next(32769) - 16384 : next(2049) - 1024;
      if (next(3) == 0 && shape != 4) natural[i] = 0;
    }
    for (int i = 0; i < 64; ++i) columns[i % 8 * 8 + i / 8] = natural[i];
    uint8_t a[8 * 13], b[8 * 13];
    std::memset(a, 0x5A, sizeof a);
    std::memset(b, 0x5A, sizeof b);
    jkern::IdctBase(natural, a, 13);
    jkern::IdctAvx2Columns(columns, b, 13);
    ASSERT_EQ(0, std::memcmp(a, b, sizeof a));
    ASSERT_TRUE(std::all_of(std::begin(columns), std::end(columns), [](int32_t v) { return v == 0; }));
  }
}

}  // namespace
