// The drawing tools through scripts on made pictures: frames, fills and hatches of
// the selected figure, the block flood fill and the point brush, the text layer's
// tags, and undo. Results are compared with ImageMagick drawing the same shape:
// rectangles, hatches and flood fills exactly; ellipses by bounding box and area
// (the two rasterisers may choose differently on the edge: at most 3 % of the area).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "image/codecs/BmpImage.h"
#include "image/ScriptPictureTest.h"
#include "image/ViewRegionState.h"
#include "support/TestEnv.h"
#include "view/QelView.h"

namespace {

using testenv::Quote;
using testenv::Shell;

// The view's default colours: text 0x010203 (red 3, green 2, blue 1), background
// 0xF8F9FA (red FA, green F9, blue F8).
constexpr const char* kText = "#030201";
constexpr const char* kBackground = "#FAF9F8";

class DrawingToolsTest : public imagetest::ScriptPictureTest {
 protected:
  void SetUp() override {
    ScriptPictureTest::SetUp();
    if (IsSkipped()) return;
    Sh("convert -size 200x150 xc:white -type TrueColor BMP3:w.bmp");
  }
  // Pixels of a colour, and the bounding box of that colour as "WxH+X+Y".
  std::string Count(const std::string& file, const std::string& colour) {
    return Sh("convert " + file + " -fill black +opaque '" + colour + "' -fill white -opaque '" + colour +
              "' -format '%[fx:int(mean*w*h+0.5)]' info:");
  }
  std::string Box(const std::string& file, const std::string& colour) {
    return Sh("convert " + file + " -fill white +opaque '" + colour + "' -format '%@' info:");
  }
};

TEST_F(DrawingToolsTest, FrameIsTheRectangleAndPressingAgainTakesItAway) {
  Run("open w.bmp\n" + Region(20, 30, 80, 90) + "command ID_REGION_FRAME\nsave-display frame.png\n" +
      "command ID_REGION_FRAME\nsave-display off.png\n");
  Sh(std::string("convert w.bmp +antialias -fill none -stroke '") + kText + "' -draw 'rectangle 20,30 79,89' want.png");
  EXPECT_EQ(Differ("frame.png", "want.png"), "0");
  EXPECT_EQ(Differ("off.png", "w.bmp"), "0");
}

TEST_F(DrawingToolsTest, FillAndFrameOfAnEllipse) {
  // Figure 3 is the ellipse; fill paints it in the background colour, frame adds the text colour.
  Run("open w.bmp\n" + Region(20, 30, 101, 91) +
      "command ID_DRAW_FIGURE\ncommand ID_DRAW_FIGURE\ncommand ID_DRAW_FIGURE\n"
      "command ID_REGION_FILL\nsave-display fill.png\ncommand ID_REGION_FRAME\nsave-display both.png\n");
  EXPECT_EQ(Box("fill.png", kBackground), "81x61+20+30");
  Sh(std::string("convert w.bmp +antialias -fill '") + kBackground + "' -draw 'ellipse 60,60 40,30 0,360' want.png");
  const int ours = std::stoi(Count("fill.png", kBackground)), theirs = std::stoi(Count("want.png", kBackground));
  EXPECT_NEAR(ours, theirs, theirs * 3 / 100);
  // With the frame the outline takes the text colour and the inside keeps the fill.
  EXPECT_EQ(Box("both.png", kText), "81x61+20+30");
  EXPECT_EQ(Sh("convert both.png -format '%[hex:p{60,60}]' info:"), "FAF9F8");
}

TEST_F(DrawingToolsTest, HatchedFigureIsTheHatchFromTheRegionsCorner) {
  // Figure 5 with pattern 4 (cross): the frame command draws the hatch in the text colour.
  Run("open w.bmp\n" + Region(100, 20, 180, 100) +
      "command ID_DRAW_FIGURE\ncommand ID_DRAW_FIGURE\ncommand ID_DRAW_FIGURE\ncommand ID_DRAW_FIGURE\n"
      "command ID_DRAW_FIGURE\n"
      "command ID_DRAW_PATTERN\ncommand ID_DRAW_PATTERN\ncommand ID_DRAW_PATTERN\ncommand ID_DRAW_PATTERN\n"
      "print status\ncommand ID_REGION_FRAME\nsave-display hatch.png\n");
  EXPECT_NE(out_.find("  ++  Cross"), std::string::npos) << out_;
  // The layer's origin is the region's corner: an 80 x 80 tile of ImageMagick's cross hatch.
  Sh("convert hatch.png -crop 80x80+100+20 +repage -fill white +opaque '" + std::string(kText) +
     "' -fill black -opaque '" + kText + "' ours.png");
  Sh("convert -size 80x80 pattern:hs_cross theirs.png");
  EXPECT_EQ(Differ("ours.png", "theirs.png"), "0");
  EXPECT_EQ(Count("hatch.png", kText), std::to_string(80 * 80 * 15 / 64));
}

// Fill, frame and fill with frame of a hatched figure all looked the same: the gaps
// of the hatch were never painted, because the fill followed the layer's
// transparent background mode. At the fill steps the gaps take the fill colour.
TEST_F(DrawingToolsTest, HatchGapsIgnoredTheFillStepFault) {
  Run("open w.bmp\n" + Region(100, 20, 180, 100) +
      "command ID_DRAW_FIGURE\ncommand ID_DRAW_FIGURE\ncommand ID_DRAW_FIGURE\ncommand ID_DRAW_FIGURE\n"
      "command ID_DRAW_FIGURE\n"
      "command ID_DRAW_PATTERN\ncommand ID_DRAW_PATTERN\ncommand ID_DRAW_PATTERN\ncommand ID_DRAW_PATTERN\n"
      "command ID_REGION_FILL\nsave-display fill.png\ncommand ID_REGION_FRAME\nsave-display both.png\n");
  // Lines in the text colour, gaps in the background colour: ImageMagick's cross hatch.
  Sh("convert fill.png -crop 80x80+100+20 +repage -fill white -opaque '" + std::string(kBackground) +
     "' -fill black -opaque '" + kText + "' ours.png");
  Sh("convert -size 80x80 pattern:hs_cross theirs.png");
  EXPECT_EQ(Differ("ours.png", "theirs.png"), "0");
  EXPECT_EQ(Count("fill.png", kBackground), std::to_string(80 * 80 * 49 / 64));
  EXPECT_EQ(Box("fill.png", kBackground), "80x80+100+20");
  EXPECT_EQ(Differ("both.png", "fill.png"), "0");
}

TEST_F(DrawingToolsTest, PatternStatusTexts) {
  Run("open w.bmp\ncommand ID_DRAW_PATTERN\nprint status\ncommand ID_DRAW_PATTERN\ncommand ID_DRAW_PATTERN\n"
      "print status\ncommand ID_DRAW_POINT\ncommand ID_DRAW_PATTERN\nprint status\n");
  EXPECT_NE(out_.find("line 2dot"), std::string::npos) << out_;
  EXPECT_NE(out_.find("Dash line"), std::string::npos) << out_;
  EXPECT_NE(out_.find("  brush 5dot"), std::string::npos) << out_;
}

TEST_F(DrawingToolsTest, BlockFillFloodsLikeImageMagick) {
  Sh("convert -size 120x90 xc:white +antialias -fill none -stroke red -draw 'circle 50,40 50,10' "
     "-draw 'rectangle 80,10 110,80' -type TrueColor BMP3:c.bmp");
  Run("open c.bmp\ncommand ID_DRAW_BLOCK_FILL\nclick 50 40\nsave-display inside.png\nclick 5 5\n"
      "save-display outside.png\n");
  Sh(std::string("convert c.bmp -fill '") + kBackground + "' -draw 'color 50,40 floodfill' want1.png");
  EXPECT_EQ(Differ("inside.png", "want1.png"), "0");
  Sh(std::string("convert want1.png -fill '") + kBackground + "' -draw 'color 5,5 floodfill' want2.png");
  EXPECT_EQ(Differ("outside.png", "want2.png"), "0");
}

TEST_F(DrawingToolsTest, PointBrushPaintsSquaresOfThePatternSize) {
  Run("open w.bmp\ncommand ID_DRAW_POINT\nclick 10 10\ncommand ID_DRAW_PATTERN\ncommand ID_DRAW_PATTERN\n"
      "click 30 20\nsave-display dots.png\ncommand ID_REGION_RESTORE\nsave-display back.png\n");
  // Pattern 0 one pixel, pattern 2 a 3 x 3 square whose top-left is the click.
  EXPECT_EQ(Count("dots.png", kBackground), "10");
  EXPECT_EQ(Box("dots.png", kBackground), "23x13+10+10");
  EXPECT_EQ(Sh("convert dots.png -format '%[hex:p{32,22}]' info:"), "FAF9F8");
  EXPECT_EQ(Differ("back.png", "w.bmp"), "0");
}

TEST_F(DrawingToolsTest, TextTagsSizeColourAndBackground) {
  Run("open w.bmp\n" + Region(20, 30, 120, 90) +
      "answer \"text=<15Br>Hello\"\ncommand ID_REGION_TEXT\nsave-display red.png\n"
      "command ID_REGION_RESTORE\nsave-display back.png\ncommand ID_REGION_CLEAR\n" +
      Region(20, 30, 120, 90) + "answer \"text=<bA-y>日本\"\ncommand ID_REGION_TEXT\nsave-display blue.png\n");
  // <15Br>: bold red text in a cell of 15 x 40 / 30 = 20 rows from the region's top.
  const std::string red = Box("red.png", "#FF0000");
  int w = 0, h = 0, x = 0, y = 0;
  ASSERT_EQ(std::sscanf(red.c_str(), "%dx%d+%d+%d", &w, &h, &x, &y), 4) << red;
  EXPECT_GE(x, 20);
  EXPECT_GE(y, 30);
  EXPECT_LE(y + h, 50);
  EXPECT_GT(h, 10);
  EXPECT_EQ(Differ("back.png", "w.bmp"), "0");
  // <bA-y>: the region filled light yellow (0x80F0F0), blue text from (4, 1) inside it.
  EXPECT_EQ(Box("blue.png", "#F0F080"), "100x60+20+30");
  const std::string blue = Box("blue.png", "#0000FF");
  ASSERT_EQ(std::sscanf(blue.c_str(), "%dx%d+%d+%d", &w, &h, &x, &y), 4) << blue;
  EXPECT_GE(x, 24);
  EXPECT_GE(y, 31);
  EXPECT_LE(y + h, 31 + 16);
  EXPECT_GT(w, 16);  // two ideographs of a 16-pixel cell
}

// Fault mended: the default text box (10,10)-(210,60) reached past a smaller picture.
TEST_F(DrawingToolsTest, DefaultTextRegionIsClippedToThePicture) {
  Sh("convert -size 60x30 xc:white -type TrueColor BMP3:small.bmp");
  Run("open small.bmp\nanswer \"text=<A>\"\ncommand ID_REGION_TEXT\nsave-display t.png\n");
  EXPECT_EQ(Box("t.png", kBackground), "50x20+10+10");
}

class LayerTest : public testenv::DocTest {
 protected:
  // Draws a tagged text into a white 200 x 40 layer; the columns holding a pixel of colour.
  std::vector<int> Columns(const std::string& text, uint32_t colour) {
    CQelView view(*doc_);
    view.Region().m_nPaintMode = 2;
    std::vector<uint8_t> copy = WhiteBmp(200, 40);
    EXPECT_EQ(view.DrawTextIntoImage(copy, 200, 40, text), 0);
    BmpImageView image;
    EXPECT_TRUE(ReadBmpImage(copy, image));
    std::vector<int> columns;
    for (int x = 0; x < 200; ++x) {
      for (int y = 0; y < 40; ++y) {
        const uint8_t* p = image.bits.data() + static_cast<size_t>(y) * 600 + static_cast<size_t>(x) * 3;
        if ((uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0]) == colour) {
          columns.push_back(x);
          break;
        }
      }
    }
    return columns;
  }
  static std::vector<uint8_t> WhiteBmp(int w, int h) {
    std::vector<uint8_t> f(54 + static_cast<size_t>(w) * 3 * static_cast<size_t>(h), 255);
    std::fill(f.begin(), f.begin() + 54, 0);
    const auto put = [&](size_t at, uint32_t v) {
      for (int i = 0; i < 4; ++i) f[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
    };
    f[0] = 'B', f[1] = 'M';
    put(10, 54), put(14, 40), put(18, static_cast<uint32_t>(w)), put(22, static_cast<uint32_t>(h));
    f[26] = 1, f[28] = 24;
    return f;
  }
};

// Fault mended: tab stops were 6 x the size of the last tag, 0 when that tag gave
// no size, which put every tab at the line's start.
TEST_F(LayerTest, TabStopsUseTheCurrentSizeWhenTheTagGaveNone) {
  // "b" (in the text colour: the second tag names no colour) stands at the first
  // stop after "a": 6 x 20 = 120 pixels.
  const std::vector<int> b = Columns("<20r>a<B>\tb", 0x030201);
  ASSERT_FALSE(b.empty());
  EXPECT_GE(b.front(), 120);
  EXPECT_LE(b.back(), 140);
}

TEST_F(LayerTest, EscapedLessThanAndEmptyText) {
  CQelView view(*doc_);
  std::vector<uint8_t> copy = WhiteBmp(20, 20);
  EXPECT_EQ(view.DrawTextIntoImage(copy, 20, 20, ""), -1);
  EXPECT_EQ(copy.size(), 54u + 20 * 60);
  // "<<" draws one "<" (as a tag it would draw nothing).
  EXPECT_FALSE(Columns("<<x", 0x030201).empty());
  // Fault mended: a tag's size had no bound; it is capped, and a glyph far larger
  // than the layer is not rendered, so this ends at once.
  EXPECT_TRUE(Columns("<99999999r>" + std::string(1000, 'W'), 0xFF0000).empty());
}

}  // namespace
