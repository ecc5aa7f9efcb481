// The pen-and-brush drawing rules, each pinned by a golden stated in numbers or by
// ImageMagick drawing the same shape. ImageMagick draws with +antialias and a
// stroke of 1; where its rasteriser and ours may choose differently at a tie
// (diagonal lines, ellipse edges) the test allows a stated number of differing
// pixels; hatches, rectangles and flood fills must match exactly.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/gdi/GdiDraw.h"
#include "support/TestFiles.h"

namespace {

using plat::Bitmap;
using plat::DrawContext;
using testenv::Quote;
using testenv::Shell;

constexpr uint32_t kWhite = 0xFFFFFF;

Bitmap Blank(int w, int h, uint32_t pixel = kWhite) {
  Bitmap b;
  b.width = w;
  b.height = h;
  b.pixels.assign(static_cast<size_t>(w) * static_cast<size_t>(h), pixel);
  return b;
}

int Count(const Bitmap& b, uint32_t pixel) {
  int n = 0;
  for (uint32_t p : b.pixels) n += p == pixel;
  return n;
}

CRect Box(const Bitmap& b, uint32_t background = kWhite) {
  CRect r{INT_MAX, INT_MAX, -1, -1};
  for (int y = 0; y < b.height; ++y) {
    for (int x = 0; x < b.width; ++x) {
      if (b.At(x, y) == background) continue;
      r.left = std::min(r.left, x), r.top = std::min(r.top, y);
      r.right = std::max(r.right, x), r.bottom = std::max(r.bottom, y);
    }
  }
  return r;
}

// ImageMagick's drawing on a white canvas, read back from a binary PPM.
class ImageMagickDrawing : public ::testing::Test {
 protected:
  void SetUp() override { SKIP_WITHOUT_PROGRAM("convert"); }
  Bitmap Draw(int w, int h, const std::string& options) {
    const std::string path = dir_.HostPath("im.ppm");
    Shell("convert -size " + std::to_string(w) + "x" + std::to_string(h) + " xc:white +antialias " + options +
          " -depth 8 ppm:" + Quote(path));
    const std::string bytes = testenv::ReadHostFile(path);
    Bitmap b = Blank(w, h, 0);
    int pw = 0, ph = 0, max = 0, used = 0;
    if (std::sscanf(bytes.c_str(), "P6 %d %d %d%n", &pw, &ph, &max, &used) != 3 || pw != w || ph != h) return Blank(0, 0);
    const size_t at = static_cast<size_t>(used) + 1;
    if (bytes.size() < at + static_cast<size_t>(w) * static_cast<size_t>(h) * 3) return Blank(0, 0);
    for (size_t i = 0; i < b.pixels.size(); ++i) {
      const auto c = [&](size_t k) { return static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 3 * i + k])); };
      b.pixels[i] = c(0) << 16 | c(1) << 8 | c(2);
    }
    return b;
  }
  static int Differ(const Bitmap& a, const Bitmap& b) {
    if (a.pixels.size() != b.pixels.size()) return INT_MAX;
    int n = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i) n += a.pixels[i] != b.pixels[i];
    return n;
  }
  // Black pixels of a with no black pixel of b in their 3 x 3 neighbourhood.
  static int FarPixels(const Bitmap& a, const Bitmap& b) {
    int n = 0;
    for (int y = 0; y < a.height; ++y) {
      for (int x = 0; x < a.width; ++x) {
        if (a.At(x, y) != 0) continue;
        bool near = false;
        for (int dy = -1; dy <= 1 && !near; ++dy) {
          for (int dx = -1; dx <= 1 && !near; ++dx) {
            const int u = x + dx, v = y + dy;
            near = u >= 0 && v >= 0 && u < b.width && v < b.height && b.At(u, v) == 0;
          }
        }
        n += !near;
      }
    }
    return n;
  }
  testenv::TempDir dir_;
};

TEST(GdiDrawTest, LineToLeavesItsEndPixelAndKeepsItAsThePosition) {
  Bitmap b = Blank(10, 10);
  DrawContext dc(b);
  dc.SelectPen({plat::PS_SOLID, 1, RGB(255, 0, 0)});
  dc.MoveToEx(1, 2);
  dc.LineTo(6, 2);
  EXPECT_EQ(Count(b, 0xFF0000), 5);
  EXPECT_EQ(b.At(5, 2), 0xFF0000u);
  EXPECT_EQ(b.At(6, 2), kWhite);
  EXPECT_EQ(dc.GetCurrentPosition().x, 6);
  dc.LineTo(6, 7);  // the corner pixel is drawn by the next line
  EXPECT_EQ(b.At(6, 2), 0xFF0000u);
  EXPECT_EQ(b.At(6, 7), kWhite);
}

TEST(GdiDrawTest, ColourMarkAndPixelsOutside) {
  Bitmap b = Blank(4, 4);
  DrawContext dc(b);
  EXPECT_EQ(dc.SetPixel(1, 1, 0x010000FF), 0x0000FFu);  // "not set" bit dropped: red
  EXPECT_EQ(b.At(1, 1), 0xFF0000u);
  EXPECT_EQ(dc.SetPixel(-1, 0, 0), plat::CLR_INVALID);
  EXPECT_EQ(dc.SetPixel(4, 0, 0), plat::CLR_INVALID);
  EXPECT_EQ(dc.GetPixel(0, 4), plat::CLR_INVALID);
  EXPECT_EQ(dc.GetPixel(1, 1), 0x0000FFu);
  EXPECT_EQ(Count(b, kWhite), 15);
}

TEST(GdiDrawTest, PenWidthsAndDashRuns) {
  struct Case {
    int style, width;
    int mode;
    int pen, gap;  // pixels of the pen colour and of the background colour on a 48-pixel line
                   // (a wider pen's square runs one pixel past each end)
  };
  const Case cases[] = {
      {plat::PS_SOLID, 1, plat::OPAQUE, 48, 0},      {plat::PS_SOLID, 2, plat::OPAQUE, 98, 0},
      {plat::PS_SOLID, 3, plat::OPAQUE, 150, 0},     {plat::PS_DASH, 1, plat::OPAQUE, 36, 12},
      {plat::PS_DASH, 1, plat::TRANSPARENT, 36, 0},  {plat::PS_DOT, 1, plat::OPAQUE, 24, 24},
      {plat::PS_DASHDOT, 1, plat::OPAQUE, 24, 24},   {plat::PS_DASHDOTDOT, 1, plat::OPAQUE, 30, 18},
      {plat::PS_NULL, 1, plat::OPAQUE, 0, 0},        {plat::PS_DASH, 3, plat::OPAQUE, 150, 0},
  };
  for (const Case& c : cases) {
    Bitmap b = Blank(60, 10);
    DrawContext dc(b);
    dc.SelectPen({c.style, c.width, RGB(0, 0, 255)});
    dc.SetBkMode(c.mode);
    dc.SetBkColor(RGB(0, 255, 0));
    dc.MoveToEx(2, 5);
    dc.LineTo(50, 5);
    EXPECT_EQ(Count(b, 0x0000FF), c.pen) << c.style << " " << c.width;
    EXPECT_EQ(Count(b, 0x00FF00), c.gap) << c.style << " " << c.width;
  }
}

TEST(GdiDrawTest, HugeCoordinatesAndShapesEndQuickly) {
  Bitmap b = Blank(50, 40);
  DrawContext dc(b);
  dc.SelectPen({plat::PS_SOLID, 99, RGB(0, 0, 0)});  // clamped to 3
  dc.MoveToEx(INT_MIN / 2, 20);
  dc.LineTo(INT_MAX / 2, 20);
  EXPECT_EQ(Count(b, 0), 150);
  EXPECT_FALSE(dc.Ellipse(-2000000000, -2000000000, 2000000000, 2000000000));
  EXPECT_FALSE(dc.Ellipse(5, 5, 5, 30));
  EXPECT_TRUE(dc.Ellipse(-16000, -16000, 16000, 16000));
  EXPECT_FALSE(dc.Ellipse(-30000, -30000, 30000, 30000));  // over the largest shape side
  EXPECT_TRUE(dc.Rectangle(INT_MIN / 2, INT_MIN / 2, INT_MAX / 2, INT_MAX / 2));
  EXPECT_TRUE(dc.AngleArc(25, 20, 30000, 0, 1e9));
}

TEST_F(ImageMagickDrawing, RectangleCoversRightAndBottomMinusOne) {
  Bitmap b = Blank(40, 30);
  DrawContext dc(b);
  dc.SelectPen({plat::PS_SOLID, 1, RGB(255, 0, 0)});
  dc.SelectBrush({plat::BS_SOLID, RGB(0, 0, 255), 0});
  dc.Rectangle(5, 4, 31, 21);
  const Bitmap im = Draw(40, 30, "-fill blue -stroke red -strokewidth 1 -draw 'rectangle 5,4 30,20'");
  EXPECT_EQ(Differ(b, im), 0);
  EXPECT_EQ(Box(b).right, 30);
  EXPECT_EQ(Box(b).bottom, 20);
}

TEST_F(ImageMagickDrawing, LinesMatchTheSameLineWithoutItsEnd) {
  struct Case {
    int x0, y0, x1, y1;
  };
  const Case cases[] = {{3, 3, 60, 3}, {3, 3, 3, 40}, {2, 2, 42, 42}, {5, 40, 60, 8}, {60, 5, 10, 30}};
  for (const Case& c : cases) {
    Bitmap b = Blank(64, 48);
    DrawContext dc(b);
    dc.SelectPen({plat::PS_SOLID, 1, 0});
    dc.MoveToEx(c.x0, c.y0);
    dc.LineTo(c.x1, c.y1);
    dc.SetPixel(c.x1, c.y1, 0);
    char line[64];
    std::snprintf(line, sizeof line, "-stroke black -draw 'line %d,%d %d,%d'", c.x0, c.y0, c.x1, c.y1);
    const Bitmap im = Draw(64, 48, line);
    // The two rasterisers choose differently where the line passes between pixel
    // centres, and ImageMagick's 1-pixel stroke may take both: every pixel of each
    // line lies next to (within one pixel of) a pixel of the other.
    EXPECT_EQ(FarPixels(b, im), 0) << c.x0 << "," << c.y0 << " " << c.x1 << "," << c.y1;
    EXPECT_EQ(FarPixels(im, b), 0) << c.x0 << "," << c.y0 << " " << c.x1 << "," << c.y1;
    EXPECT_EQ(Count(b, 0), std::max(std::abs(c.x1 - c.x0), std::abs(c.y1 - c.y0)) + 1);
  }
}

TEST_F(ImageMagickDrawing, EllipseFillsItsBoxLikeImageMagick) {
  struct Case {
    int l, t, r, b;
  };
  const Case cases[] = {{10, 10, 71, 51}, {4, 6, 25, 60}, {20, 20, 60, 60}};
  for (const Case& c : cases) {
    Bitmap b = Blank(80, 64);
    DrawContext dc(b);
    dc.SelectPen({plat::PS_SOLID, 1, RGB(255, 0, 0)});
    dc.SelectBrush({plat::BS_SOLID, RGB(0, 0, 255), 0});
    dc.Ellipse(c.l, c.t, c.r, c.b);
    const CRect box = Box(b);
    EXPECT_EQ(box.left, c.l);
    EXPECT_EQ(box.top, c.t);
    EXPECT_EQ(box.right, c.r - 1);
    EXPECT_EQ(box.bottom, c.b - 1);
    char draw[128];
    std::snprintf(draw, sizeof draw, "-fill blue -stroke red -draw 'ellipse %.1f,%.1f %.1f,%.1f 0,360'",
                  (c.l + c.r - 1) / 2.0, (c.t + c.b - 1) / 2.0, (c.r - c.l - 1) / 2.0, (c.b - c.t - 1) / 2.0);
    const Bitmap im = Draw(80, 64, draw);
    // Filled area within 5 % of ImageMagick's and the outline on the same edge:
    // differing pixels at most the outline's length.
    const int ours = (c.r - c.l) * (c.b - c.t) - Count(b, kWhite) + 80 * 64 - (c.r - c.l) * (c.b - c.t);
    const int theirs = 80 * 64 - Count(im, kWhite);
    EXPECT_NEAR(ours, theirs, theirs / 20) << c.l;
    EXPECT_LE(Differ(b, im), 2 * ((c.r - c.l) + (c.b - c.t))) << c.l;
  }
}

TEST_F(ImageMagickDrawing, HatchesAreEightByEightPatternsFromTheOrigin) {
  const char* const names[] = {"hs_horizontal", "hs_vertical", "hs_fdiagonal", "hs_bdiagonal", "hs_cross",
                               "hs_diagcross"};
  for (int hatch = 0; hatch <= 5; ++hatch) {
    Bitmap b = Blank(37, 29);
    DrawContext dc(b);
    dc.SetBkMode(plat::OPAQUE);
    dc.SetBkColor(RGB(255, 255, 255));
    dc.FillRect(CRect{0, 0, 37, 29}, plat::Brush{plat::BS_HATCHED, RGB(0, 0, 0), hatch});
    const Bitmap im = Draw(37, 29, std::string("-fill pattern:") + names[hatch] + " -draw 'color 0,0 reset'");
    EXPECT_EQ(Differ(b, im), 0) << names[hatch];
  }
  // Transparent: the gaps keep what was there.
  Bitmap b = Blank(16, 16, 0x00FF00);
  DrawContext dc(b);
  dc.SetBkMode(plat::TRANSPARENT);
  dc.FillRect(CRect{0, 0, 16, 16}, plat::Brush{plat::BS_HATCHED, RGB(0, 0, 0), plat::HS_HORIZONTAL});
  EXPECT_EQ(Count(b, 0), 32);
  EXPECT_EQ(Count(b, 0x00FF00), 256 - 32);
}

TEST_F(ImageMagickDrawing, FloodFillSurfaceAndBorder) {
  // Two red rings on white; a surface fill of the white outside and a border fill inside.
  const std::string rings = "-fill none -stroke red -draw 'rectangle 5,5 40,30' -draw 'rectangle 12,10 30,24'";
  Bitmap b = Draw(48, 36, rings);
  ASSERT_EQ(b.width, 48);
  DrawContext dc(b);
  dc.SelectBrush({plat::BS_SOLID, RGB(0, 0, 255), 0});
  EXPECT_TRUE(dc.ExtFloodFill(1, 1, RGB(255, 255, 255), plat::FLOODFILLSURFACE));
  EXPECT_FALSE(dc.ExtFloodFill(5, 5, RGB(255, 255, 255), plat::FLOODFILLSURFACE));
  const Bitmap im = Draw(48, 36, rings + " -fill blue -draw 'color 1,1 floodfill'");
  EXPECT_EQ(Differ(b, im), 0);
  dc.SelectBrush({plat::BS_SOLID, RGB(0, 255, 0), 0});
  EXPECT_TRUE(dc.ExtFloodFill(20, 15, RGB(255, 0, 0), plat::FLOODFILLBORDER));
  const Bitmap im2 = Draw(48, 36, rings + " -fill blue -draw 'color 1,1 floodfill' -fill lime -bordercolor red "
                                          "-draw 'color 20,15 filltoborder'");
  EXPECT_EQ(Differ(b, im2), 0);
  // 4-connected: a diagonal gap holds the fill.
  Bitmap d = Blank(3, 3);
  DrawContext dd(d);
  dd.SetPixel(1, 0, 0), dd.SetPixel(0, 1, 0);
  dd.SelectBrush({plat::BS_SOLID, RGB(255, 0, 0), 0});
  dd.ExtFloodFill(0, 0, RGB(255, 255, 255), plat::FLOODFILLSURFACE);
  EXPECT_EQ(Count(d, 0xFF0000), 1);
}

TEST(GdiDrawTest, ArcRunsCounterClockwiseAndAngleArcJoinsItsStart) {
  Bitmap b = Blank(41, 41);
  DrawContext dc(b);
  dc.SelectPen({plat::PS_SOLID, 1, 0});
  // From the right (3 o'clock) to the top (12 o'clock): the upper right quarter only.
  dc.Arc(0, 0, 41, 41, 40, 20, 20, 0);
  const CRect box = Box(b);
  EXPECT_GE(box.left, 19);
  EXPECT_LE(box.bottom, 21);
  EXPECT_EQ(box.right, 40);
  EXPECT_EQ(box.top, 0);
  Bitmap c = Blank(41, 41);
  DrawContext dc2(c);
  dc2.SelectPen({plat::PS_SOLID, 1, 0});
  dc2.MoveToEx(0, 40);
  // Centre (20, 20), radius 10, from 90 degrees (straight up) a half turn anticlockwise.
  dc2.AngleArc(20, 20, 10, 90, 180);
  EXPECT_EQ(c.At(0, 40), 0u);                // the line from the current position
  EXPECT_EQ(c.At(20, 10), 0u);               // the arc's start, above the centre
  EXPECT_EQ(c.At(10, 20), 0u);               // its middle, left of the centre
  EXPECT_EQ(dc2.GetCurrentPosition().x, 20);  // ends below the centre
  EXPECT_EQ(dc2.GetCurrentPosition().y, 30);
  EXPECT_EQ(Box(c).right, 20);
}

}  // namespace
