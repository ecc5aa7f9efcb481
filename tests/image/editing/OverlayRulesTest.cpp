// The overlay's rules held in the view: the line figure's drag snaps in every
// quadrant and for either corner, and the display slots of the mark mode read from
// the pane's text, with their pictures converted and blitted.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>

#include "image/ViewRegionState.h"
#include "platform/os/Files.h"
#include "support/TestEnv.h"
#include "view/QelView.h"

namespace {

class OverlayRulesTest : public testenv::DocTest {
 protected:
  CQelView view_{*doc_};
};

TEST_F(OverlayRulesTest, LineSnapsInEveryQuadrant) {
  struct Case {
    CRect before;
    int corner;
    CRect after;
  };
  const Case cases[] = {
      // A short side is level or upright: the moved corner one pixel past the fixed one.
      {{100, 100, 200, 104}, 4, {100, 100, 200, 101}},   // right, below
      {{100, 100, 0, 104}, 4, {100, 100, 0, 101}},       // left, below
      {{100, 100, 97, 20}, 4, {100, 100, 99, 20}},       // left, above: upright
      {{100, 100, 100, 100}, 4, {100, 100, 99, 99}},     // level: quadrant 1
      // Sides within the threshold of each other: 45 degrees, the longer side kept.
      {{100, 100, 200, 160}, 4, {100, 100, 200, 200}},   // both at least 50: threshold 50
      {{100, 100, 165, 30}, 4, {100, 100, 170, 30}},     // right, above
      {{100, 100, 60, 140}, 4, {100, 100, 60, 140}},     // equal already
      {{100, 100, 70, 125}, 4, {100, 100, 70, 130}},     // below 50: threshold 10
      // Sides far apart stay as they are.
      {{100, 100, 300, 160}, 4, {100, 100, 300, 160}},
      // Corner 1 moves the anchor, away from the end.
      {{100, 100, 200, 104}, 1, {100, 103, 200, 104}},
      {{100, 100, 200, 160}, 1, {100, 60, 200, 160}},
  };
  view_.Region().m_nFigure = 10;
  for (const Case& c : cases) {
    view_.Region().m_rcRegion = c.before;
    view_.AdjustDragRegion(c.corner);
    const CRect& r = view_.Region().m_rcRegion;
    EXPECT_EQ((std::array{r.left, r.top, r.right, r.bottom}),
              (std::array{c.after.left, c.after.top, c.after.right, c.after.bottom}))
        << c.before.left << "," << c.before.top << "," << c.before.right << "," << c.before.bottom;
  }
  // Other figures are left as dragged.
  view_.Region().m_nFigure = 0;
  view_.Region().m_rcRegion = CRect{100, 100, 200, 104};
  view_.AdjustDragRegion(4);
  EXPECT_EQ(view_.Region().m_rcRegion.bottom, 104);
}

// Fault mended: the slot table and the picture loop ran to 100, one past what two
// digits number, so "IMAGE100.jpg" was converted into a slot past the table.
TEST_F(OverlayRulesTest, DisplaySlotTableIsCappedAt99) {
  SKIP_WITHOUT_PROGRAM("convert");
  const std::string zivo = dir_.HostPath("program/TMP/ZIVO");
  std::filesystem::create_directories(zivo);
  for (const char* name : {"IMAGE01", "IMAGE99", "IMAGE100"}) {
    testenv::Shell("convert -size 40x30 xc:'#0000FF' " + testenv::Quote(zivo + "/" + name + ".jpg"));
  }
  view_.UseRichText();
  view_.Text().SetText("#%P01 picture #%E01\r\n#%S02#%E02\r\n#%P00 #%Q05 #%P99x");
  view_.Region().m_nFigure = 51;
  view_.DrawImageOverlay();
  EXPECT_EQ(view_.Region().m_nFigure, 60);
  // Every mark read is blanked; the ones of no slot stay (the control ends lines with CR).
  EXPECT_EQ(view_.Text().GetText(), "    _ picture     _\r    _    _\r#%P00 #%Q05     _x");
  EXPECT_TRUE(std::filesystem::exists(zivo + "/IMAGE01.bmp"));
  EXPECT_TRUE(std::filesystem::exists(zivo + "/IMAGE99.bmp"));
  EXPECT_FALSE(std::filesystem::exists(zivo + "/IMAGE100.bmp"));
  // Slot 1: from its mark to 34 and 13 pixels past its end mark.
  const auto& slot = view_.Region().m_displaySlots[1];
  EXPECT_TRUE(slot.picture);
  EXPECT_EQ(slot.end.x - slot.start.x, slot.width);
  EXPECT_GE(slot.width, 34);
  EXPECT_EQ(slot.height, 13);
  // A slot without an end is 10 x 10; slot 2 is no picture slot.
  EXPECT_EQ(view_.Region().m_displaySlots[99].width, 10);
  EXPECT_FALSE(view_.Region().m_displaySlots[2].picture);
  // The picture sits in its slot on the pane, cut to the slot's size.
  const plat::Bitmap& pane = view_.Pane().m_paneSurface;
  const auto blueAt = [&](int x, int y) {
    const uint32_t p = pane.At(x, y);
    return (p & 0xFF) > 200 && (p >> 8 & 0xFF) < 60 && (p >> 16 & 0xFF) < 60;
  };
  EXPECT_TRUE(blueAt(slot.start.x + 1, slot.start.y + 1));
  EXPECT_FALSE(blueAt(slot.start.x + 1, slot.start.y + 14));
}

}  // namespace
