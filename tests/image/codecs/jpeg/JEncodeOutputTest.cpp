// The encoder's colour fetch, transform and bit writer: the AVX2 fetch against the
// portable one on random rows of odd widths and on ImageMagick's pictures, the rows
// read in place against the planes, the 16-bit transform and quantisation of two
// blocks against the portable ones, the 64-bit bit writer against a byte-at-a-time
// model, and the encodings of made pictures as they were before all of these.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "JpegTestSupport.h"
#include "image/codecs/jpeg/JEncoder.h"
#include "image/codecs/jpeg/JKernels.h"
#include "image/codecs/jpeg/JEncodeTables.h"
#include "image/codecs/jpeg/JOutBitStream.h"
#include "image/codecs/jpeg/JZigzag.h"
#include "image/codecs/jpeg/JpegFromDib.h"

using namespace jpegtest;

namespace {

// A bottom-up 24-bit DIB of one of three made pictures: 0 smooth gradients with
// edges and a little noise, 1 noise over every byte, 2 hard saturated stripes and
// checks (the largest coefficients, many 0xFF bytes in the scan).
inline std::vector<uint8_t> MadeDib(int kind, int w, int h) {
  const int stride = (w * 3 + 3) / 4 * 4;
  std::vector<uint8_t> bits(static_cast<size_t>(stride) * h, 0);
  uint32_t seed = 2024u + static_cast<uint32_t>(kind);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      uint8_t* p = &bits[static_cast<size_t>(h - 1 - y) * stride + static_cast<size_t>(x) * 3];
      seed = seed * 1103515245 + 12345;
      const int noise = static_cast<int>((seed >> 16) & 15) - 8;
      if (kind == 0) {
        p[0] = static_cast<uint8_t>(std::clamp(40 + ((x + y) * 3) % 120 + noise, 0, 255));
        p[1] = static_cast<uint8_t>(std::clamp(y * 255 / std::max(1, h - 1) - noise, 0, 255));
        const int ramp = std::clamp(x * 255 / std::max(1, w - 1) + noise, 0, 255);
        p[2] = static_cast<uint8_t>(((x / 11) + (y / 7)) % 3 == 0 ? 230 : ramp);
      } else if (kind == 1) {
        p[0] = static_cast<uint8_t>(seed >> 8);
        p[1] = static_cast<uint8_t>(seed >> 16);
        p[2] = static_cast<uint8_t>(seed >> 24);
      } else {
        const bool on = ((x / 3) + (y / 5)) % 2 == 0;
        p[0] = on ? 255 : 0;
        p[1] = (x + y) % 4 < 2 ? 255 : 0;
        p[2] = on == ((x % 8) < 4) ? 255 : 0;
      }
    }
  }
  return bits;
}

int DibStride(int w) { return (w * 3 + 3) / 4 * 4; }

// The encoder on a bottom-up DIB read in place, or on planes made from it.
std::vector<uint8_t> EncodeRows(const std::vector<uint8_t>& bits, int w, int h, int level, bool wide) {
  const int64_t stride = DibStride(w);
  JEncoder e(JBgrRows{bits.data() + (h - 1) * stride, -stride});
  return EncodeAt(e, w, h, level, wide, true);
}

std::vector<uint8_t> EncodePlanes(const std::vector<uint8_t>& bits, int w, int h, int level, bool wide) {
  std::vector<uint8_t> planes[3];
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = bits.data() + static_cast<size_t>(h - 1 - y) * DibStride(w);
    for (int x = 0; x < w; ++x) {
      for (int c = 0; c < 3; ++c) planes[c].push_back(row[3 * x + 2 - c]);
    }
  }
  JEncoder e(planes[0].data(), planes[1].data(), planes[2].data());
  return EncodeAt(e, w, h, level, wide, true);
}

// What the old writer did: bits into bytes one at a time, a 0x00 after each 0xFF,
// the last byte completed with 1 bits.
struct ModelWriter {
  std::vector<uint8_t> bytes;
  uint32_t acc = 0;
  int bits = 0;
  void Put(uint32_t value, int n) {
    for (int i = n - 1; i >= 0; --i) {
      acc = acc << 1 | (value >> i & 1);
      if (++bits == 8) Byte();
    }
  }
  void Byte() {
    bytes.push_back(static_cast<uint8_t>(acc));
    if ((acc & 0xFF) == 0xFF) bytes.push_back(0);
    acc = 0;
    bits = 0;
  }
  void Flush() {
    while (bits != 0) Put(1, 1);
  }
};

}  // namespace

// Encodings of the made pictures (kind, size, level) as the encoder gave them before
// the fused colour fetch and the 64-bit bit writer: size and FNV-1a of the file. Each
// must come out the same from the DIB, from its rows read in place and from planes,
// by either kernel set.
TEST(JEncodeOutputTest, MadePicturesEncodeToTheBytesOfBefore) {
  const struct {
    int kind, w, h, level;
    size_t size;
    uint64_t hash;
  } kKnown[] = {
      {0, 1, 1, 1, 650, 0x7ee5f6c2e0bd4b6cull},
      {0, 1, 1, 2, 651, 0x9d14cb7d3a0587b8ull},
      {0, 1, 1, 3, 653, 0x43ae24f483fe2c59ull},
      {0, 2, 3, 1, 671, 0x048f11896185cb9eull},
      {0, 2, 3, 2, 686, 0x2203d3e96018ab08ull},
      {0, 2, 3, 3, 706, 0x4389919cb000d8a9ull},
      {0, 15, 17, 1, 690, 0x7aff1b52ee1334eaull},
      {0, 15, 17, 2, 716, 0x09dddd4fdd91f3b4ull},
      {0, 15, 17, 3, 759, 0x6c29df26790aa3ecull},
      {0, 33, 31, 1, 798, 0x3b0cef10d74d4e4dull},
      {0, 33, 31, 2, 895, 0xe2485c9ec3299bc4ull},
      {0, 33, 31, 3, 1092, 0xec1d702162202354ull},
      {0, 203, 77, 1, 2300, 0x26a0d9ed0883490full},
      {0, 203, 77, 2, 3624, 0x719d93621b73d658ull},
      {0, 203, 77, 3, 6173, 0x107657fe38740a1cull},
      {0, 640, 480, 1, 30674, 0x1df8e15f5c013de7ull},
      {0, 640, 480, 2, 56053, 0xc24679e72a075565ull},
      {0, 640, 480, 3, 105410, 0xfdfe4ad5f5324241ull},
      {1, 1, 1, 1, 649, 0x15f69a766760fde4ull},
      {1, 1, 1, 2, 650, 0xb1e6fde833ee6a6eull},
      {1, 1, 1, 3, 650, 0xe4b9d5ff53b84590ull},
      {1, 2, 3, 1, 684, 0x0c1a0224b893463dull},
      {1, 2, 3, 2, 706, 0xa98e54a251736effull},
      {1, 2, 3, 3, 737, 0xd34d7d80810cc481ull},
      {1, 15, 17, 1, 764, 0x849df78a9a9f0286ull},
      {1, 15, 17, 2, 861, 0xd64becb59911aa8dull},
      {1, 15, 17, 3, 975, 0x6c35e86718d35523ull},
      {1, 33, 31, 1, 987, 0x062da6553230b192ull},
      {1, 33, 31, 2, 1328, 0xba136683d3106421ull},
      {1, 33, 31, 3, 1755, 0x0dd832d796f2b465ull},
      {1, 203, 77, 1, 4716, 0x8f2e3eb25db8d7c1ull},
      {1, 203, 77, 2, 9525, 0xbafc018593583c22ull},
      {1, 203, 77, 3, 15865, 0x307a6650a66985d8ull},
      {1, 640, 480, 1, 75179, 0x92fa74c1f5d8ecd2ull},
      {1, 640, 480, 2, 165506, 0x29d5262000ce5f4aull},
      {1, 640, 480, 3, 282087, 0x3c2cbed48d474e5eull},
      {2, 1, 1, 1, 648, 0x6d86a52133821997ull},
      {2, 1, 1, 2, 649, 0xa75fdb74a5e7ebf4ull},
      {2, 1, 1, 3, 649, 0x0a85bbaad16ec77cull},
      {2, 2, 3, 1, 676, 0x74431349074c4973ull},
      {2, 2, 3, 2, 694, 0x35dc9b46e905b60eull},
      {2, 2, 3, 3, 720, 0x92d1f67ed2888f8dull},
      {2, 15, 17, 1, 805, 0x43936a102a16aa0eull},
      {2, 15, 17, 2, 901, 0xdd4ef4478f9ac24aull},
      {2, 15, 17, 3, 1012, 0x8b0da0ce946ab8b4ull},
      {2, 33, 31, 1, 1155, 0x373b8ba477953b10ull},
      {2, 33, 31, 2, 1484, 0x1bfb33a2c82cba3eull},
      {2, 33, 31, 3, 1909, 0x8d4fef44f10580caull},
      {2, 203, 77, 1, 6996, 0x422471cc48a15fa9ull},
      {2, 203, 77, 2, 11671, 0x168a1eb8e52bacc7ull},
      {2, 203, 77, 3, 17880, 0xa3cba57386811f2dull},
      {2, 640, 480, 1, 116817, 0x9e340e4b3aa6c0c2ull},
      {2, 640, 480, 2, 202742, 0xf97ca936d778e07cull},
      {2, 640, 480, 3, 316691, 0x425c7beb76d0cf72ull},
  };
  for (const auto& k : kKnown) {
    SCOPED_TRACE(std::to_string(k.kind) + ": " + std::to_string(k.w) + "x" + std::to_string(k.h) + " level " +
                 std::to_string(k.level));
    const std::vector<uint8_t> bits = MadeDib(k.kind, k.w, k.h);
    std::vector<uint8_t> file;
    ASSERT_EQ(EncodeJpegFromDib24(bits.data(), static_cast<int64_t>(bits.size()), k.w, k.h, k.level, file, nullptr), 0);
    ASSERT_EQ(file.size(), k.size);
    EXPECT_EQ(Fnv1a(file.data(), file.size()), k.hash);
    for (const bool wide : {true, false}) {
      EXPECT_TRUE(EncodeRows(bits, k.w, k.h, k.level, wide) == file) << (wide ? "wide rows" : "portable rows");
      EXPECT_TRUE(EncodePlanes(bits, k.w, k.h, k.level, wide) == file) << (wide ? "wide planes" : "portable planes");
    }
  }
}

// The AVX2 fetch of two rows against the formulas, pixel by pixel, on random rows of
// odd widths (the kernel does whole groups of sixteen and says how many).
TEST(JEncodeOutputTest, WideColourFetchEqualsTheFormulasOnRandomRows) {
  if (!jkern::HaveAvx2()) GTEST_SKIP() << "no AVX2 on this processor";
  uint32_t seed = 5;
  auto next = [&seed]() {
    seed = seed * 1103515245 + 12345;
    return static_cast<uint8_t>(seed >> 16);
  };
  for (const int w : {1, 15, 16, 17, 31, 33, 47, 63, 65, 97, 255, 333}) {
    SCOPED_TRACE(w);
    for (int round = 0; round < 20; ++round) {
      std::vector<uint8_t> rows[2], planes[2][3];
      for (int k = 0; k < 2; ++k) {
        for (int i = 0; i < 3 * w; ++i) {
          // Extremes now and then: the sums of four must not wrap.
          const uint8_t v = round % 4 == 0 ? (next() & 1 ? 255 : 0) : next();
          rows[k].push_back(v);
          planes[k][2 - i % 3].push_back(v);
        }
      }
      std::vector<int16_t> y[2], cb, cr, py[2], pcb, pcr;
      for (auto* v : {&y[0], &y[1], &py[0], &py[1]}) v->assign(static_cast<size_t>(w), 0x5A5A);
      for (auto* v : {&cb, &cr, &pcb, &pcr}) v->assign(static_cast<size_t>(w) / 2 + 1, 0x5A5A);
      const int done = jkern::YccPairBgrAvx2(rows[0].data(), rows[1].data(), w, y[0].data(), y[1].data(), cb.data(),
                                             cr.data());
      ASSERT_EQ(done, w / 16 * 16);
      const uint8_t* top[3] = {planes[0][0].data(), planes[0][1].data(), planes[0][2].data()};
      const uint8_t* bottom[3] = {planes[1][0].data(), planes[1][1].data(), planes[1][2].data()};
      ASSERT_EQ(jkern::YccPairPlanesAvx2(top, bottom, w, py[0].data(), py[1].data(), pcb.data(), pcr.data()), done);
      for (int x = 0; x < done; x += 2) {
        int cbSum = 0, crSum = 0;
        for (int k = 0; k < 2; ++k) {
          for (int i = x; i < x + 2; ++i) {
            const int B = rows[k][3 * i], G = rows[k][3 * i + 1], R = rows[k][3 * i + 2];
            ASSERT_EQ(y[k][i], ((G * 601) >> 10) + ((B * 467) >> 12) + ((R * 153) >> 9) - 128) << i;
            ASSERT_EQ(py[k][i], y[k][i]) << i;
            cbSum += (B >> 1) - ((G * 1357) >> 12) - ((R * 691) >> 12);
            crSum += (R >> 1) - ((G * 1715) >> 12) - ((B * 333) >> 12);
          }
        }
        ASSERT_EQ(cb[x / 2], cbSum >> 2) << x;
        ASSERT_EQ(cr[x / 2], crSum >> 2) << x;
        ASSERT_EQ(pcb[x / 2], cb[x / 2]) << x;
        ASSERT_EQ(pcr[x / 2], cr[x / 2]) << x;
      }
      // Nothing written past what it says it did.
      for (int x = done; x < w; ++x) ASSERT_EQ(y[0][x], 0x5A5A);
      ASSERT_EQ(cb[done / 2], 0x5A5A);
    }
  }
}

// Random pictures of odd sizes (their edges repeated into the MCUs) encode to the
// same bytes by either kernel set and from rows or planes.
TEST(JEncodeOutputTest, WideAndPortableFetchGiveTheSameFilesAtOddSizes) {
  uint32_t seed = 77;
  for (const auto& [w, h] : {std::pair{3, 2}, {19, 5}, {33, 17}, {47, 33}, {100, 31}, {161, 47}}) {
    std::vector<uint8_t> bits(static_cast<size_t>(DibStride(w)) * h);
    for (auto& b : bits) {
      seed = seed * 1103515245 + 12345;
      b = static_cast<uint8_t>(seed >> 16);
    }
    for (int level = 1; level <= 3; ++level) {
      SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h) + " level " + std::to_string(level));
      const std::vector<uint8_t> portable = EncodeRows(bits, w, h, level, false);
      ASSERT_FALSE(portable.empty());
      EXPECT_TRUE(EncodeRows(bits, w, h, level, true) == portable);
      EXPECT_TRUE(EncodePlanes(bits, w, h, level, true) == portable);
      EXPECT_TRUE(EncodePlanes(bits, w, h, level, false) == portable);
    }
  }
}

// ImageMagick's pictures at odd sizes: the same bytes by either kernel set, and djpeg
// reads them back close to the picture.
TEST(JEncodeOutputTest, ImageMagickPicturesEncodeAlikeAndReadBack) {
  SKIP_WITHOUT_PROGRAM("convert");
  SKIP_WITHOUT_PROGRAM("djpeg");
  testenv::TempDir dir;
  const struct {
    const char* source;
    double minPsnr;  // level 2, against the picture
  } kPictures[] = {{"-size 251x167 plasma:fractal -blur 0x1", 32},
                   {"-size 97x203 gradient:red-blue", 40},
                   {"rose:", 24},
                   {"-size 130x45 pattern:checkerboard", 33}};
  for (const auto& p : kPictures) {
    SCOPED_TRACE(p.source);
    const std::string ppm = dir.HostPath("in.ppm");
    RunTool("convert -seed 3 " + std::string(p.source) + " -depth 8 " + testenv::Quote("ppm:" + ppm));
    const Pnm pic = ParsePnm(testenv::ReadHostFile(ppm));
    ASSERT_GT(pic.width, 0);
    const int w = pic.width, h = pic.height;
    std::vector<uint8_t> bits(static_cast<size_t>(DibStride(w)) * h);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        for (int c = 0; c < 3; ++c) {
          const size_t to = static_cast<size_t>(h - 1 - y) * DibStride(w) + x * 3 + c;
          bits[to] = pic.px[(static_cast<size_t>(y) * w + x) * 3 + 2 - c];
        }
      }
    }
    for (int level = 1; level <= 3; ++level) {
      const std::vector<uint8_t> wide = EncodeRows(bits, w, h, level, true);
      ASSERT_FALSE(wide.empty());
      EXPECT_TRUE(wide == EncodeRows(bits, w, h, level, false)) << level;
      EXPECT_TRUE(wide == EncodePlanes(bits, w, h, level, false)) << level;
      if (level != 2) continue;
      const std::string jpg = dir.HostPath("out.jpg");
      testenv::WriteHostFile(jpg, std::string(wide.begin(), wide.end()));
      const Pnm back = ParsePnm(RunTool("djpeg -dct int -nosmooth -pnm " + testenv::Quote(jpg)));
      ASSERT_EQ(back.width, w);
      ASSERT_EQ(back.height, h);
      EXPECT_GE(Psnr(back.px.data(), pic.px.data(), pic.px.size()), p.minPsnr);
    }
  }
}

// The 64-bit writer against the byte-at-a-time model on random codes: long runs of
// 1 bits (0xFF bytes to stuff), every length from 1 to 32, headers between, and a
// first buffer of one byte so that every write near its end grows it.
TEST(JEncodeOutputTest, BitWriterEqualsTheByteAtATimeModel) {
  uint32_t seed = 3;
  auto next = [&seed](uint32_t range) {
    seed = seed * 1103515245 + 12345;
    return (seed >> 8) % range;
  };
  for (int round = 0; round < 200; ++round) {
    SCOPED_TRACE(round);
    JOutBitStream out(round % 2 ? 1 : 4096, nullptr);
    ModelWriter model;
    const int count = 1 + static_cast<int>(next(3000));
    for (int i = 0; i < count; ++i) {
      const int choice = static_cast<int>(next(20));
      if (choice == 0) {
        out.SetByte(0xFF);
        model.Flush();
        model.bytes.push_back(0xFF);
      } else if (choice < 4) {
        const int n = static_cast<int>(next(17));
        const uint32_t v = next(4) == 0 ? 0xFFFFFFFFu : seed;
        out.SetBits(v, n);
        model.Put(v & ((1ull << n) - 1), n);
      } else {
        const int n = 1 + static_cast<int>(next(32));
        const uint32_t mask = static_cast<uint32_t>((1ull << n) - 1);
        const uint32_t v = (next(3) == 0 ? 0xFFFFFFFFu : seed * 2654435761u) & mask;
        out.PutBits(v, n);
        model.Put(v, n);
      }
    }
    out.FlushBits();
    model.Flush();
    const auto written = out.Written();
    ASSERT_EQ(written.size(), model.bytes.size());
    EXPECT_EQ(0, std::memcmp(written.data(), model.bytes.data(), written.size()));
  }
}

// The 16-bit divisions equal QuantizeBase's for every table value and every
// magnitude below 2^15 (the products as the wide kernel takes them).
TEST(JEncodeOutputTest, SixteenBitDivisionsEqualTheWideOnesBelowTwoToTheFifteen) {
  for (int value = 2; value < 256; ++value) {
    SCOPED_TRACE(value);
    uint8_t table[64];
    std::fill(table, table + 64, static_cast<uint8_t>(value));
    const jkern::Divisors d = JEncoder::MakeDivisors(table);
    jkern::Divisors16 d16;
    ASSERT_TRUE(jkern::MakeDivisors16(d, table, d16));
    for (int32_t from = 0; from < 32768; from += 64) {
      int32_t coef[64], q[64];
      for (int i = 0; i < 64; ++i) coef[i] = from + i;
      jkern::QuantizeBase(coef, d, q);
      for (int i = 0; i < 64; ++i) {
        const auto u = static_cast<uint32_t>(coef[i]);
        const uint32_t v = ((u * d16.shiftA[i]) >> 16) + ((u * d16.shiftB[i]) >> 16) +
                           ((((u * d16.reciprocal[i]) >> 16) * d16.scale[i]) >> 16);
        ASSERT_EQ(static_cast<int32_t>(v), q[i]) << coef[i];
      }
    }
  }
  uint8_t ones[64];
  std::fill(ones, ones + 64, 1);
  jkern::Divisors16 d16;
  EXPECT_FALSE(jkern::MakeDivisors16(JEncoder::MakeDivisors(ones), ones, d16)) << "a divisor of 1";
}

// The wide transform and quantisation of two blocks at once against the portable
// transform and QuantizeBase, with every level's tables, on random blocks, flat ones
// and the extreme block of each basis pattern (every sample 127 or -128).
TEST(JEncodeOutputTest, WidePairTransformEqualsThePortableOne) {
  if (!jkern::HaveAvx2()) GTEST_SKIP() << "no AVX2 on this processor";
  uint32_t seed = 19;
  auto next = [&seed](int range) {
    seed = seed * 1103515245 + 12345;
    return static_cast<int>((seed >> 8) % static_cast<uint32_t>(range));
  };
  const int8_t basisSign[8][8] = {{1, 1, 1, 1, 1, 1, 1, 1},     {1, 1, 1, 1, -1, -1, -1, -1},
                                  {1, 1, -1, -1, -1, -1, 1, 1}, {1, -1, -1, -1, 1, 1, 1, -1},
                                  {1, -1, -1, 1, 1, -1, -1, 1}, {1, -1, 1, 1, -1, -1, 1, -1},
                                  {1, -1, 1, -1, -1, 1, -1, 1}, {1, -1, 1, -1, 1, -1, 1, -1}};
  for (int level = 0; level < 3; ++level) {
    for (const uint8_t* table : {kJLumaQuant[level], kJChromaQuant[level]}) {
      const jkern::Divisors d = JEncoder::MakeDivisors(table);
      jkern::Divisors16 d16;
      ASSERT_TRUE(jkern::MakeDivisors16(d, table, d16));
      for (int round = 0; round < 1200; ++round) {
        SCOPED_TRACE(std::to_string(level) + " round " + std::to_string(round));
        // Two blocks side by side in rows of 24 samples, the second 8 on.
        int16_t samples[8 * 24];
        for (int i = 0; i < 8 * 24; ++i) {
          const int span = round % 3 == 0 ? 256 : round % 3 == 1 ? 17 : 3;
          samples[i] = static_cast<int16_t>(next(span) - span / 2);
        }
        if (round < 128) {
          const int u = round % 8, v = round / 8 % 8, sign = round / 64 ? -1 : 1;
          for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) samples[y * 24 + x] = basisSign[v][y] * basisSign[u][x] * sign > 0 ? 127 : -128;
          }
        }
        int16_t qa[64], qb[64];
        uint64_t masks[2];
        jkern::FdctQuantizePairAvx2(samples, 24, samples + 8, 24, d16, qa, qb, masks);
        const int16_t* got[2] = {qa, qb};
        for (int k = 0; k < 2; ++k) {
          int32_t in[64], coef[64], q[64];
          for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) in[y * 8 + x] = samples[y * 24 + 8 * k + x];
          }
          JEncoder::Fdct(in, coef);
          jkern::QuantizeBase(coef, d, q);
          uint64_t zigzag = 0;
          for (int z = 0; z < 64; ++z) zigzag |= static_cast<uint64_t>(q[kJZigzag[z]] != 0) << z;
          ASSERT_EQ(masks[k], zigzag) << k;
          for (int i = 0; i < 64; ++i) ASSERT_EQ(got[k][i], q[i]) << k << " at " << i;
        }
      }
    }
  }
}
