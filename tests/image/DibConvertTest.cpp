// The depth conversions, the tone curve and the settings block at the values the
// display and the writers depend on.
#include <gtest/gtest.h>

#include <cstring>

#include "app/Globals.h"
#include "frame/MainFrame.h"
#include "image/codecs/DibConvert.h"
#include "image/ImageConvertSettings.h"

namespace {

BITMAPINFO Header(int width, int height, int bits) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = 40;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = static_cast<uint16_t>(bits);
  return info;
}

// One 24-bit pixel (R, G, B) reduced to the given depth: the index it gets.
int Reduced(int r, int g, int b, int depth) {
  const uint8_t source[4] = {static_cast<uint8_t>(b), static_cast<uint8_t>(g), static_cast<uint8_t>(r), 0};
  uint8_t target[4] = {};
  BITMAPINFO info = Header(1, 1, 24);
  EXPECT_EQ(ReduceColorDepth(source, target, &info, depth, 4, 4), 4);
  return target[0] >> (8 - depth);
}

TEST(DibConvertTest, ReductionPalettes) {
  const struct { int r, g, b, depth, index; } cases[] = {
      {143, 143, 144, 1, 0},  // R + G + B of exactly 430 is black
      {143, 143, 145, 1, 1},
      {128, 128, 128, 4, 7},
      {200, 100, 100, 4, 9},
      {160, 160, 160, 4, 8},  // 160 picks the bright branch but adds nothing
      {255, 255, 255, 8, 255},
      {100, 200, 50, 8, (100 & 0xE0) + ((200 >> 5) << 2) + (50 >> 6)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.r << "," << c.g << "," << c.b << " at " << c.depth);
    EXPECT_EQ(Reduced(c.r, c.g, c.b, c.depth), c.index);
  }
}

TEST(DibConvertTest, WideningFromEveryDepth) {
  // 16 bits 5-5-5: 0x7FFF is (248, 248, 248).
  BITMAPINFO info = Header(1, 1, 16);
  const uint8_t pixel16[4] = {0xFF, 0x7F, 0, 0};
  uint8_t out[8] = {};
  EXPECT_EQ(ConvertDibTo24(pixel16, out, &info, 4, 8), 7);
  EXPECT_EQ(out[0], 248);
  EXPECT_EQ(out[2], 248);
  EXPECT_EQ(info.bmiHeader.biBitCount, 24);
  EXPECT_EQ(info.bmiHeader.biXPelsPerMeter, 3780);

  // 16 bits with the masks 5-6-5 in the first colour slots: full fields are 255;
  // masks of nothing give black.
  for (const bool empty : {false, true}) {
    info = Header(1, 1, 16);
    info.bmiHeader.biCompression = kBiBitfields;
    const uint32_t masks[3] = {empty ? 0 : 0xF800u, empty ? 0 : 0x07E0u, empty ? 0 : 0x001Fu};
    std::memcpy(info.bmiColors, masks, sizeof masks);
    const uint8_t pixel565[4] = {0xFF, 0xFF, 0, 0};
    ConvertDibTo24(pixel565, out, &info, 4, 8);
    EXPECT_EQ(out[0], empty ? 0 : 255);
    EXPECT_EQ(out[1], empty ? 0 : 255);
  }

  // 1 bit with the table black, white: set bits become the white entry.
  info = Header(3, 1, 1);
  SetRgb(info.bmiColors[1], 255, 255, 255);
  const uint8_t pixel1[4] = {0xA0, 0, 0, 0};
  uint8_t wide[12] = {};
  ConvertDibTo24(pixel1, wide, &info, 4, 12);
  EXPECT_EQ((std::vector<uint8_t>(wide, wide + 9)), (std::vector<uint8_t>{255, 255, 255, 0, 0, 0, 255, 255, 255}));

  // A target too small for every row keeps the rows that fit and says so in the height.
  info = Header(1, 3, 8);
  const uint8_t rows8[12] = {};
  uint8_t small[8] = {};
  ConvertDibTo24(rows8, small, &info, 12, 8);
  EXPECT_EQ(info.bmiHeader.biHeight, 2);
}

TEST(DibConvertTest, ToneCurve) {
  const struct { int value, level, result; } cases[] = {
      {200, 2, 220}, {200, 1, 228}, {200, 0, 145}, {100, -5, 200}, {200, -4, 228}, {10, 4, 5}, {255, 3, 255},
  };
  for (const auto& c : cases) EXPECT_EQ(ToneMap(c.value, c.level), c.result) << c.value << " at " << c.level;
}

TEST(ImageConvertSettingsTest, DefaultsAndTheDialog) {
  ImageConvertSettings view;
  const ImageConvertSettings doc = ImageConvertSettings::ForDocument();
  EXPECT_EQ(view.m_nColorRange, 20);
  EXPECT_EQ(doc.m_nColorRange, 5);
  EXPECT_EQ(view.m_clrSource, 0x01C0C1C2u);
  EXPECT_EQ(view.m_bSkipSelected, 1);

  CMainFrame frame;
  ImageConvertSettings s = view;
  s.m_bCharMode = 2;
  EXPECT_EQ(RunImageConvertDialog(&s), 0);  // cancelled: nothing changes, not even the active flag
  EXPECT_EQ(s.m_bActive, 0);
  EXPECT_EQ(s.m_bCharMode, 2);

  plat::DialogAnswer answer;
  answer.result = plat::IDOK;
  answer.fields = {{"emphasisLevel", "9"}};
  frame.Ui().QueueDialog(answer);
  EXPECT_EQ(RunImageConvertDialog(&s), 0);  // a value outside its range is not taken
  EXPECT_EQ(s.m_nEmphasis, 0);

  answer.fields = {{"emphasisLevel", "-3"}, {"convertSelected", "1"}, {"outside", "1"}};
  frame.Ui().QueueDialog(answer);
  EXPECT_EQ(RunImageConvertDialog(&s), 1);
  EXPECT_EQ(s.m_nEmphasis, -3);
  EXPECT_EQ(s.m_bSkipSelected, 0);
  EXPECT_EQ(s.m_nRegionScope, 2);
  EXPECT_EQ(s.m_bActive, 1);
  EXPECT_EQ(s.m_clrSource, 0xC0C1C2u);  // the dialog keeps 24 bits of a colour
  EXPECT_EQ(s.m_bCharMode, 0);
}

}  // namespace
