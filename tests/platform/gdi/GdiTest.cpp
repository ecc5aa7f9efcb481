// The drawing layer's pixel rules, each pinned by a small golden case: DIBs of every
// depth in and out, clipped copies, the four stretch modes, FillRect's half-open
// rectangle and the pixel budget.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/gdi/Gdi.h"
#include "platform/gdi/X11Library.h"

namespace {

using plat::Bitmap;

// A bottom-up DIB header with a colour table.
std::vector<uint8_t> Header(int width, int height, int bits, std::vector<uint32_t> palette = {}) {
  std::vector<uint8_t> bmi(40 + 4 * palette.size());
  auto put32 = [&](size_t at, uint32_t v) { std::memcpy(bmi.data() + at, &v, 4); };
  put32(0, 40);
  put32(4, static_cast<uint32_t>(width));
  put32(8, static_cast<uint32_t>(height));
  bmi[12] = 1;
  bmi[14] = static_cast<uint8_t>(bits);
  put32(32, static_cast<uint32_t>(palette.size()));
  for (size_t i = 0; i < palette.size(); ++i) put32(40 + 4 * i, palette[i]);
  return bmi;
}

std::vector<uint32_t> Pixels(const Bitmap& b) { return b.pixels; }

TEST(GdiTest, DibsOfEveryDepthAreReadBottomUp) {
  plat::GdiHost gdi;
  struct Case {
    int bits;
    std::vector<uint32_t> palette;
    std::vector<uint8_t> rows;  // two rows of two pixels, bottom row first, padded
    std::vector<uint32_t> expected;  // top-down
  };
  const Case cases[] = {
      {1, {0x000000, 0xFFFFFF}, {0x40, 0, 0, 0, 0x80, 0, 0, 0}, {0xFFFFFF, 0x000000, 0x000000, 0xFFFFFF}},
      {4, {0x000000, 0x0000FF, 0x00FF00, 0xFF0000}, {0x12, 0, 0, 0, 0x30, 0, 0, 0}, {0xFF0000, 0, 0x0000FF, 0x00FF00}},
      {8, {0x102030, 0x405060}, {1, 0, 0, 0, 0, 1, 0, 0}, {0x102030, 0x405060, 0x405060, 0x102030}},
      {16, {}, {0x1F, 0x00, 0x00, 0x7C, 0xE0, 0x03, 0, 0}, {0x00F800, 0, 0x0000F8, 0xF80000}},
      {24, {}, {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0}, {0x090807, 0x0C0B0A, 0x030201, 0x060504}},
      {32, {}, {1, 2, 3, 99, 4, 5, 6, 99, 7, 8, 9, 99, 10, 11, 12, 99}, {0x090807, 0x0C0B0A, 0x030201, 0x060504}},
  };
  for (const Case& c : cases) {
    const auto bmi = Header(2, 2, c.bits, c.palette);
    const auto bitmap = gdi.CreateDIBitmap(bmi.data(), bmi.size(), c.rows.data(), c.rows.size());
    ASSERT_TRUE(bitmap) << c.bits;
    EXPECT_EQ(Pixels(*bitmap), c.expected) << c.bits << " bits";
    EXPECT_EQ(bitmap->sourceBits, c.bits);
  }
}

TEST(GdiTest, ReadBackAtTheMadeDepthGivesTheOwnIndicesAndPalette) {
  plat::GdiHost gdi;
  const std::vector<uint32_t> palette = {0x000000, 0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF};
  const auto bmi = Header(3, 2, 4, palette);
  const std::vector<uint8_t> rows = {0x01, 0x20, 0, 0, 0x34, 0x00, 0, 0};
  const auto bitmap = gdi.CreateDIBitmap(bmi.data(), bmi.size(), rows.data(), rows.size());
  ASSERT_TRUE(bitmap);
  std::vector<uint8_t> info(40 + 1024);
  ASSERT_EQ(plat::GetDIBits(*bitmap, 0, 2, nullptr, 0, info.data(), info.size()), 2);
  EXPECT_EQ(info[14], 4);             // the depth it was made from
  EXPECT_EQ(info[32], 5);             // colours used
  EXPECT_EQ(info[20], 8);             // image size: two rows of 4 bytes
  std::vector<uint8_t> back(8, 0xEE);
  ASSERT_EQ(plat::GetDIBits(*bitmap, 0, 2, back.data(), back.size(), info.data(), info.size()), 2);
  EXPECT_EQ(back, rows);
  // A line range: only the top line (line 1 from the bottom).
  std::vector<uint8_t> top(4, 0xEE);
  ASSERT_EQ(plat::GetDIBits(*bitmap, 1, 1, top.data(), top.size(), info.data(), info.size()), 1);
  EXPECT_EQ(top, std::vector<uint8_t>({0x34, 0x00, 0, 0}));
  // At 24 bits the colours.
  info[14] = 24;
  std::vector<uint8_t> wide(2 * 12);
  ASSERT_EQ(plat::GetDIBits(*bitmap, 0, 2, wide.data(), wide.size(), info.data(), info.size()), 2);
  EXPECT_EQ(std::vector<uint8_t>(wide.begin(), wide.begin() + 9),
            std::vector<uint8_t>({0, 0, 0, 0xFF, 0, 0, 0, 0xFF, 0}));
}

TEST(GdiTest, BitBltClipsOnBothBitmaps) {
  plat::GdiHost gdi;
  auto source = gdi.CreateCompatibleBitmap(3, 3);
  auto target = gdi.CreateCompatibleBitmap(3, 3);
  for (int i = 0; i < 9; ++i) source->pixels[static_cast<size_t>(i)] = static_cast<uint32_t>(i + 1);
  plat::BitBlt(*target, -1, 1, 3, 3, *source, 0, 0);
  EXPECT_EQ(Pixels(*target), std::vector<uint32_t>({0, 0, 0, 2, 3, 0, 5, 6, 0}));
  plat::BitBlt(*target, 2, 0, 5, 5, *source, 2, 2);
  EXPECT_EQ(target->At(2, 0), 9u);
  EXPECT_EQ(target->At(2, 1), 0u);
}

// Painting straight from a DIB gives what a copy from its bitmap gives, at every
// depth, clipped on both sides, and with rows the block lacks black.
TEST(GdiTest, DibToDeviceEqualsBitBltOfItsBitmap) {
  plat::GdiHost gdi;
  std::vector<uint32_t> palette;
  for (uint32_t i = 0; i < 256; ++i) palette.push_back(i * 0x010203u & 0xFFFFFF);
  const struct { int x, y, w, h, sx, sy; } copies[] = {
      {0, 0, 13, 7, 0, 0}, {2, 1, 20, 20, 3, 2}, {-2, -1, 9, 9, 1, 0}, {1, 1, 5, 5, -3, -2}, {0, 0, 4, 4, 12, 6}};
  for (const int bits : {1, 4, 8, 16, 24, 32}) {
    const auto bmi = Header(13, 7, bits, bits <= 8 ? std::vector<uint32_t>(palette.begin(), palette.begin() + (1 << bits))
                                                   : std::vector<uint32_t>{});
    const size_t stride = (13 * static_cast<size_t>(bits) + 31) / 32 * 4;
    std::vector<uint8_t> rows(stride * 7);
    for (size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<uint8_t>(i * 37 + 11);
    for (const size_t have : {rows.size(), stride * 5 + 3}) {
      const auto bitmap = gdi.CreateDIBitmap(bmi.data(), bmi.size(), rows.data(), have);
      ASSERT_TRUE(bitmap);
      for (const auto& c : copies) {
        Bitmap want, got;
        want.width = got.width = 11;
        want.height = got.height = 6;
        want.pixels.assign(66, 0x123456);
        got.pixels = want.pixels;
        plat::BitBlt(want, c.x, c.y, c.w, c.h, *bitmap, c.sx, c.sy);
        plat::SetDIBitsToDevice(got, c.x, c.y, c.w, c.h, c.sx, c.sy, rows.data(), have, bmi.data(), bmi.size());
        EXPECT_EQ(Pixels(got), Pixels(want)) << bits << " bits, " << have << " bytes, from " << c.sx << "," << c.sy;
      }
    }
  }
}

TEST(GdiTest, StretchModesOnOneReducedRow) {
  plat::GdiHost gdi;
  auto source = gdi.CreateCompatibleBitmap(4, 1);
  source->pixels = {0x000000, 0xFFFFFF, 0x808080, 0x404040};
  struct Case {
    int mode;
    std::vector<uint32_t> expected;
  };
  const Case cases[] = {
      {plat::COLORONCOLOR, {0xFFFFFF, 0x404040}},
      {plat::BLACKONWHITE, {0x000000, 0x000000}},
      {plat::WHITEONBLACK, {0xFFFFFF, 0xC0C0C0}},
      {plat::HALFTONE, {0x808080, 0x606060}},
  };
  for (const Case& c : cases) {
    auto target = gdi.CreateCompatibleBitmap(2, 1);
    plat::StretchBlt(*target, 0, 0, 2, 1, *source, 0, 0, 4, 1, c.mode);
    EXPECT_EQ(Pixels(*target), c.expected) << "mode " << c.mode;
  }
}

TEST(GdiTest, EnlargingRepeatsInEveryMode) {
  plat::GdiHost gdi;
  auto source = gdi.CreateCompatibleBitmap(2, 1);
  source->pixels = {0x010101, 0x020202};
  for (int mode : {plat::COLORONCOLOR, plat::HALFTONE, plat::BLACKONWHITE}) {
    auto target = gdi.CreateCompatibleBitmap(6, 2);
    plat::StretchBlt(*target, 0, 0, 6, 2, *source, 0, 0, 2, 1, mode);
    const uint32_t a = 0x010101, b = 0x020202;
    EXPECT_EQ(Pixels(*target), std::vector<uint32_t>({a, a, a, b, b, b, a, a, a, b, b, b})) << mode;
  }
}

TEST(GdiTest, FillRectIsHalfOpen) {
  plat::GdiHost gdi;
  auto target = gdi.CreateCompatibleBitmap(3, 2);
  plat::FillRect(*target, CRect{1, 0, 3, 1}, RGB(1, 2, 3));
  EXPECT_EQ(Pixels(*target), std::vector<uint32_t>({0, 0x010203, 0x010203, 0, 0, 0}));
}

TEST(GdiTest, PixelBudgetRefusesLargerBitmaps) {
  plat::GdiHost gdi;
  gdi.SetPixelBudget(100);
  EXPECT_TRUE(gdi.CreateCompatibleBitmap(10, 10));
  EXPECT_FALSE(gdi.CreateCompatibleBitmap(10, 11));
  gdi.SetPixelBudget(0);
  EXPECT_FALSE(gdi.CreateCompatibleBitmap(1, 1));
  EXPECT_EQ(gdi.FailedCreations(), 2);
  gdi.SetPixelBudget(-1);
  EXPECT_FALSE(gdi.CreateCompatibleBitmap(0, 5));
  EXPECT_FALSE(gdi.CreateCompatibleBitmap(1 << 15, 1 << 14));  // the host's own limit
}

TEST(GdiTest, HostileHeadersAndShortBitsAreSafe) {
  plat::GdiHost gdi;
  auto bmi = Header(4, 4, 24);
  EXPECT_FALSE(gdi.CreateDIBitmap(bmi.data(), 39, nullptr, 0));
  const std::vector<uint8_t> rows = {1, 2, 3};
  const auto bitmap = gdi.CreateDIBitmap(bmi.data(), bmi.size(), rows.data(), rows.size());
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(bitmap->At(0, 3), 0x030201u);
  EXPECT_EQ(bitmap->At(1, 3), 0u);
  bmi[14] = 7;
  EXPECT_FALSE(gdi.CreateDIBitmap(bmi.data(), bmi.size(), nullptr, 0));
  // A palette count beyond the block given is cut to what is there.
  auto pal = Header(1, 1, 8, {0x112233});
  pal[32] = 200;
  const std::vector<uint8_t> one = {0, 0, 0, 0};
  const auto p = gdi.CreateDIBitmap(pal.data(), pal.size(), one.data(), one.size());
  ASSERT_TRUE(p);
  EXPECT_EQ(p->At(0, 0), 0x112233u);
}

// The X library is opened on first use, not linked (tests/cli checks the program).
TEST(LoadedLibrary, TheX11TableLoads) { EXPECT_NE(plat::X11(), nullptr); }

}  // namespace
