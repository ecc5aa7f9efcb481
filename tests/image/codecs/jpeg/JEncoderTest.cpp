// The JPEG encoder read back by djpeg: quality levels, headers, sizes, failures.
#include <gtest/gtest.h>

#include <cmath>

#include "JpegTestSupport.h"
#include "image/codecs/jpeg/JDecoder.h"
#include "image/codecs/jpeg/JEncodeTables.h"
#include "image/codecs/jpeg/JZigzag.h"
#include "image/codecs/jpeg/JpegFromDib.h"

using namespace jpegtest;

namespace {

// A 24-bit bottom-up DIB of a smooth photograph-like picture (waves and gradients),
// and the picture as top-down RGB.
struct Dib {
  int width, height;
  std::vector<uint8_t> bits;
  std::vector<uint8_t> rgb;
};

Dib MakeDib(int w, int h) {
  Dib d{w, h, {}, {}};
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      d.rgb.push_back(static_cast<uint8_t>(128 + 100 * std::sin(x / 7.0)));
      d.rgb.push_back(static_cast<uint8_t>(y * 255 / std::max(1, h - 1)));
      d.rgb.push_back(static_cast<uint8_t>(128 + 60 * std::cos((x + y) / 9.0)));
    }
  }
  const std::vector<uint8_t>& px = d.rgb;
  const int stride = (w * 3 + 3) / 4 * 4;
  d.bits.assign(static_cast<size_t>(stride) * h, 0);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const uint8_t* s = &px[(static_cast<size_t>(y) * w + x) * 3];
      uint8_t* t = &d.bits[static_cast<size_t>(h - 1 - y) * stride + x * 3];
      t[0] = s[2], t[1] = s[1], t[2] = s[0];
    }
  }
  return d;
}

std::string Encode(const Dib& d, int level) {
  std::vector<uint8_t> out;
  EXPECT_EQ(EncodeJpegFromDib24(d.bits.data(), static_cast<int64_t>(d.bits.size()), d.width, d.height, level, out,
                                nullptr),
            0);
  return std::string(out.begin(), out.end());
}

// Offset of the first marker `code` before the scan.
size_t Segment(const std::string& f, int code) {
  for (size_t at = 2; at + 4 <= f.size();) {
    const int m = static_cast<uint8_t>(f[at + 1]);
    if (m == code) return at;
    at += 2 + (static_cast<uint8_t>(f[at + 2]) << 8 | static_cast<uint8_t>(f[at + 3]));
  }
  return std::string::npos;
}

class JEncoderTest : public ::testing::Test {
 protected:
  // djpeg's reading of our file; its warnings (corrupt data, extraneous bytes) fail the test.
  Pnm Djpeg(const std::string& file) {
    const std::string path = dir_.HostPath("out.jpg");
    testenv::WriteHostFile(path, file);
    const std::string err = dir_.HostPath("err.txt");
    const Pnm p = ParsePnm(RunTool("djpeg -dct int -nosmooth -pnm " + testenv::Quote(path) + " 2>" + testenv::Quote(err)));
    EXPECT_EQ(testenv::ReadHostFile(err), "");
    return p;
  }
  testenv::TempDir dir_;
};

}  // namespace

TEST_F(JEncoderTest, LevelsGiveGrowingQualityThatDjpegReads) {
  SKIP_WITHOUT_PROGRAM("djpeg");
  const Dib d = MakeDib(96, 64);
  const double minPsnr[3] = {30, 32, 34};
  double lastPsnr = 0;
  size_t lastSize = 0;
  for (int level = 1; level <= 3; ++level) {
    SCOPED_TRACE(level);
    const std::string file = Encode(d, level);
    const Pnm p = Djpeg(file);
    ASSERT_EQ(p.width, 96);
    ASSERT_EQ(p.height, 64);
    const double psnr = Psnr(p.px.data(), d.rgb.data(), d.rgb.size());
    EXPECT_GE(psnr, minPsnr[level - 1]);
    EXPECT_GT(psnr, lastPsnr);
    EXPECT_GT(file.size(), lastSize);
    lastPsnr = psnr;
    lastSize = file.size();
    // The quantisation tables written are the level's, in zigzag order.
    const size_t dqt = Segment(file, 0xDB);
    ASSERT_NE(dqt, std::string::npos);
    for (int k = 0; k < 64; ++k) {
      ASSERT_EQ(static_cast<uint8_t>(file[dqt + 5 + k]), kJLumaQuant[level - 1][kJZigzag[k]]) << k;
      ASSERT_EQ(static_cast<uint8_t>(file[dqt + 69 + 5 + k]), kJChromaQuant[level - 1][kJZigzag[k]]) << k;
    }
    // Our decoder reads it as djpeg does.
    JDecoder dec;
    std::vector<uint8_t> dib;
    ASSERT_EQ(dec.SetSource(reinterpret_cast<const uint8_t*>(file.data()), static_cast<int64_t>(file.size())), 0);
    ASSERT_EQ(dec.Decode(), 0);
    uint8_t *r, *g, *b;
    int w, h, c;
    dec.GetInfo(&r, &g, &b, &w, &h, &c);
    std::vector<uint8_t> ours;
    for (int i = 0; i < w * h; ++i) ours.insert(ours.end(), {r[i], g[i], b[i]});
    EXPECT_GE(Psnr(ours.data(), p.px.data(), ours.size()), 42);
  }
  // Any level but 1 and 2 is the high-quality one.
  EXPECT_EQ(Encode(d, 7), Encode(d, 3));
}

TEST_F(JEncoderTest, HeadersSayWhatTheFileHolds) {
  const std::string f = Encode(MakeDib(17, 9), 2);
  const size_t app0 = Segment(f, 0xE0);
  ASSERT_EQ(app0, 2u);
  EXPECT_EQ(f.substr(app0 + 2, 14), std::string("\x00\x10JFIF\x00\x01\x02\x01\x00\x60\x00\x60", 14));
  const size_t com = Segment(f, 0xFE);
  ASSERT_NE(com, std::string::npos);
  EXPECT_EQ(f.substr(com + 2, 16), std::string("\x00\x10JPEG by Pelnor", 16));
  const size_t sof = Segment(f, 0xC0);
  ASSERT_NE(sof, std::string::npos);
  EXPECT_EQ(f.substr(sof + 2, 17), std::string("\x00\x11\x08\x00\x09\x00\x11\x03\x00\x22\x00\x01\x11\x01\x02\x11\x01", 17));
  EXPECT_EQ(f.substr(f.size() - 2), "\xFF\xD9");
}

TEST_F(JEncoderTest, SmallAndOddSizesAreReadBack) {
  SKIP_WITHOUT_PROGRAM("djpeg");
  const int sizes[][2] = {{1, 1}, {17, 9}, {16, 16}, {31, 5}, {5, 33}};
  for (const auto& s : sizes) {
    SCOPED_TRACE(std::to_string(s[0]) + "x" + std::to_string(s[1]));
    const Dib d = MakeDib(s[0], s[1]);
    const Pnm p = Djpeg(Encode(d, 3));
    ASSERT_EQ(p.width, s[0]);
    ASSERT_EQ(p.height, s[1]);
    EXPECT_GE(Psnr(p.px.data(), d.rgb.data(), d.rgb.size()), 22);
  }
}

TEST_F(JEncoderTest, RefusalsLeaveNoOutput) {
  const Dib d = MakeDib(8, 8);
  std::vector<uint8_t> out{1, 2, 3};
  const int64_t size = static_cast<int64_t>(d.bits.size());
  EXPECT_EQ(EncodeJpegFromDib24(d.bits.data(), size - 1, 8, 8, 2, out, nullptr), -1) << "rows past the block";
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(EncodeJpegFromDib24(d.bits.data(), size, 65536, 1, 2, out, nullptr), -1) << "width above 65535";
  EXPECT_EQ(EncodeJpegFromDib24(d.bits.data(), size, 0, 8, 2, out, nullptr), -1) << "width 0";
  AllocHook hook;
  for (int fail = 0; fail < 5; ++fail) {
    hook.Reset();
    hook.FailAfter(fail);
    const int rc = EncodeJpegFromDib24(d.bits.data(), size, 8, 8, 2, out, &hook);
    EXPECT_EQ(rc, fail < 5 ? -1 : 0) << "allocation " << fail;
  }
}

// Noise codes to more bytes than pixels: the output outgrows its first buffer and
// still comes out whole.
TEST_F(JEncoderTest, OutputGrowsPastItsFirstBuffer) {
  SKIP_WITHOUT_PROGRAM("djpeg");
  Dib d = MakeDib(100, 100);
  uint32_t seed = 99;
  for (auto& b : d.bits) {
    seed = seed * 1103515245 + 12345;
    b = static_cast<uint8_t>(seed >> 16);
  }
  const std::string file = Encode(d, 3);
  EXPECT_GT(file.size(), 10240u);  // the first buffer
  const Pnm p = Djpeg(file);
  EXPECT_EQ(p.width, 100);
  EXPECT_EQ(p.height, 100);
}
