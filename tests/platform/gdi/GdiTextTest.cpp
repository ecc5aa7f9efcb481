// The text painter's font flags pinned by goldens stated in numbers (underline and
// strike-out are one-pixel rows at fixed places, italic slants by a fifth of the
// height, bold widens each glyph by one pixel), and Japanese text set against
// pango-view drawing the same string with the same IPA font, unhinted and without
// antialiasing: the ink boxes agree within 2 pixels on every side and the ink
// counts within 6 %.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>

#include "platform/text/CodePage.h"
#include "platform/gdi/GdiText.h"
#include "support/TestFiles.h"

namespace {

using plat::Bitmap;

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kInk = 0x000000;
constexpr int kCell = 40;

Bitmap Blank(int w, int h) {
  Bitmap b;
  b.width = w;
  b.height = h;
  b.pixels.assign(static_cast<size_t>(w) * static_cast<size_t>(h), kWhite);
  return b;
}

struct Ink {
  CRect box{INT_MAX, INT_MAX, -1, -1};  // inclusive
  int count = 0;
};

Ink InkOf(const Bitmap& b) {
  Ink ink;
  for (int y = 0; y < b.height; ++y) {
    for (int x = 0; x < b.width; ++x) {
      if (b.At(x, y) != kInk) continue;
      ++ink.count;
      ink.box = CRect{std::min(ink.box.left, x), std::min(ink.box.top, y), std::max(ink.box.right, x),
                      std::max(ink.box.bottom, y)};
    }
  }
  return ink;
}

class GdiTextTest : public ::testing::Test {
 protected:
  // Draws text in black at (10, 10) of a white picture with the font's flags.
  Bitmap Draw(const std::string& utf8, plat::LogFont font, plat::CSize* extent = nullptr) {
    font.height = kCell;
    font.faceName = "IPAGothic";
    plat::TextPainter painter;
    if (!painter.SelectFont(font)) ADD_FAILURE() << "no IPA font";
    painter.SetTextColor(RGB(0, 0, 0));
    Bitmap b = Blank(600, 80);
    const plat::CSize size = painter.TextOut(b, 10, 10, plat::Utf8ToCp932(utf8).value_or(""));
    if (extent) *extent = size;
    ascent_ = AscentOf(painter);
    return b;
  }
  // The baseline's distance from the cell top: where the underline goes, one row below.
  static int AscentOf(plat::TextPainter& painter) {
    plat::LogFont underline;
    underline.height = kCell;
    underline.faceName = "IPAGothic";
    underline.underline = true;
    painter.SelectFont(underline);
    Bitmap b = Blank(100, 60);
    painter.TextOut(b, 0, 0, " ");
    return InkOf(b).box.top - 1;
  }
  int ascent_ = 0;
};

TEST_F(GdiTextTest, UnderlineAndStrikeOutAreOneRowAcrossTheAdvance) {
  plat::LogFont plain, underline, strike;
  underline.underline = true;
  strike.strikeOut = true;
  plat::CSize extent;
  const Bitmap a = Draw("ab", plain, &extent);
  const Bitmap u = Draw("ab", underline);
  const Bitmap s = Draw("ab", strike);
  EXPECT_EQ(extent.cy, kCell);
  // IPA Gothic: ascent 880 of 1000 units, so the baseline is 36 rows below a 40-row cell's top.
  EXPECT_EQ(ascent_, 36);
  for (const auto& [bitmap, row] : {std::pair{&u, 10 + ascent_ + 1}, std::pair{&s, 10 + ascent_ - ascent_ / 3}}) {
    int added = 0;
    for (int y = 0; y < a.height; ++y) {
      for (int x = 0; x < a.width; ++x) {
        if (a.At(x, y) == bitmap->At(x, y)) continue;
        ++added;
        EXPECT_EQ(y, row);
        EXPECT_GE(x, 10);
        EXPECT_LT(x, 10 + extent.cx);
      }
    }
    // Every pixel of the row across the advance, less those the glyphs had inked already.
    int already = 0;
    for (int x = 10; x < 10 + extent.cx; ++x) already += a.At(x, row) == kInk;
    EXPECT_EQ(added + already, extent.cx);
  }
}

TEST_F(GdiTextTest, ItalicSlantsByAFifthOfTheHeightAboveTheBaseline) {
  plat::LogFont plain, italic;
  italic.italic = true;
  plat::CSize upright, slanted;
  const Ink a = InkOf(Draw("I", plain, &upright));
  const Ink i = InkOf(Draw("I", italic, &slanted));
  // The advance is the font's; the ink keeps its rows and leans right by 0.2 x height.
  EXPECT_EQ(upright.cx, slanted.cx);
  EXPECT_EQ(a.box.top, i.box.top);
  EXPECT_EQ(a.box.bottom, i.box.bottom);
  const int height = a.box.bottom - a.box.top + 1;
  const int lean = (i.box.right - i.box.left) - (a.box.right - a.box.left);
  EXPECT_NEAR(lean, height / 5, 1);
  // The foot stands on the baseline, so it hardly moves; the top moves by the lean.
  EXPECT_NEAR(i.box.left, a.box.left, 1);
}

TEST_F(GdiTextTest, BoldWidensEveryGlyphByOnePixel) {
  plat::LogFont plain, bold;
  bold.weight = 700;
  plat::CSize normal, heavy;
  const Ink a = InkOf(Draw("日本", plain, &normal));
  const Ink b = InkOf(Draw("日本", bold, &heavy));
  EXPECT_EQ(heavy.cx, normal.cx + 2);
  EXPECT_GT(b.count, a.count * 11 / 10);
}

TEST_F(GdiTextTest, JapaneseTextMatchesPangoWithTheSameFont) {
  SKIP_WITHOUT_PROGRAM("pango-view");
  SKIP_WITHOUT_PROGRAM("convert");
  const std::string text = "日本語テキスト、漢字かな";
  const Ink ours = InkOf(Draw(text, plat::LogFont{}));
  // pango at 72 dpi: a 40 px em, which is the IPA fonts' cell (ascent + descent = em).
  testenv::TempDir dir;
  const std::string png = dir.HostPath("pango.png");
  testenv::Shell("pango-view --backend=cairo --font='IPAGothic 40px' --dpi=72 --antialias=none --hinting=none "
                 "--margin=10 -q -o " + testenv::Quote(png) + " --text=" + testenv::Quote(text));
  const std::string box = testenv::Shell("convert " + testenv::Quote(png) + " -threshold 50% -format '%@' info:");
  int w = 0, h = 0, x = 0, y = 0;
  ASSERT_EQ(std::sscanf(box.c_str(), "%dx%d+%d+%d", &w, &h, &x, &y), 4) << box;
  const int count = std::stoi(testenv::Shell("convert " + testenv::Quote(png) +
                                             " -threshold 50% -negate -format '%[fx:int(mean*w*h+0.5)]' info:"));
  EXPECT_NEAR(ours.box.left, x, 2);
  EXPECT_NEAR(ours.box.top, y, 2);
  EXPECT_NEAR(ours.box.right, x + w - 1, 2);
  EXPECT_NEAR(ours.box.bottom, y + h - 1, 2);
  EXPECT_NEAR(ours.count, count, count * 6 / 100);
}

// Metafiles written by some programs name fonts without blanks ("DejaVuSans"):
// the face is the one fc-match gives for the spelling, not the IPA fallback.
TEST(GdiTextFaults, FamilyWrittenWithoutBlanksFallsBackToIpaGothicFault) {
  SKIP_WITHOUT_PROGRAM("fc-match");
  struct Case {
    const char* spelling;
    bool askedFor;
  };
  const Case cases[] = {{"DejaVu Sans", true}, {"DejaVuSans", true}, {"dejavusans", true}, {"DEJAVU  SANS", true},
                        {"NoSuchFamily", false}};
  for (const Case& c : cases) {
    const std::string matched = testenv::Shell(std::string("fc-match -f '%{family[0]}' ") + testenv::Quote(c.spelling));
    if (c.askedFor) {
      ASSERT_EQ(matched, "DejaVu Sans") << c.spelling;
    }
    plat::LogFont font;
    font.height = kCell;
    font.faceName = c.spelling;
    plat::TextPainter painter;
    ASSERT_TRUE(painter.SelectFont(font)) << c.spelling;
    EXPECT_EQ(painter.FaceIsAskedFor(), c.askedFor) << c.spelling;
  }
}

}  // namespace
