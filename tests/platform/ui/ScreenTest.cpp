// The screen the captures read. Without DISPLAY it is the virtual desktop: the
// frame painted by its owner, windows stacked in the order they came to the front
// at their program times, and grabs clipped to the desktop.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstdint>
#include <string>

#include "platform/ui/Screen.h"

namespace {

using plat::Screen;

// A surface pixel: 0x00RRGGBB.
constexpr uint32_t Px(int r, int g, int b) { return static_cast<uint32_t>(r << 16 | g << 8 | b); }
constexpr uint32_t kDesktop = Px(58, 110, 165);

class ScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* d = std::getenv("DISPLAY")) display_ = d;
    unsetenv("DISPLAY");
  }
  void TearDown() override {
    if (!display_.empty()) setenv("DISPLAY", display_.c_str(), 1);
  }
  // The colour at a desktop point, as a one-pixel grab reads it.
  static uint32_t At(Screen& s, int x, int y) {
    plat::BitmapPtr p = s.Grab(CRect{x, y, x + 1, y + 1});
    return p ? p->pixels.at(0) : 0xFFFFFFFFu;
  }
  static std::string Text(const CRect& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "-" + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
  }
  std::string display_;
};

TEST_F(ScreenTest, WindowsStackInTheOrderTheirTimesCome) {
  Screen s;
  EXPECT_FALSE(s.UseX());
  s.SetFrame(CRect{0, 0, 100, 80}, [](plat::Bitmap& frame) { frame.pixels.assign(frame.pixels.size(), Px(1, 2, 3)); });
  const uint64_t red = s.PlaceWindow(CRect{50, 40, 150, 120}, RGB(255, 0, 0), "red");
  const uint64_t green = s.PlaceWindow(CRect{120, 100, 200, 160}, RGB(0, 255, 0), "green");
  EXPECT_EQ(s.ForegroundWindow(0), Screen::kFrameWindow);
  EXPECT_EQ(s.WindowTitle(red), "red");
  EXPECT_EQ(s.WindowTitle(Screen::kFrameWindow), "");
  // Placed later lies on top; the frame lies below both; the desktop around them.
  EXPECT_EQ(At(s, 10, 10), Px(1, 2, 3));
  EXPECT_EQ(At(s, 60, 50), Px(255, 0, 0));
  EXPECT_EQ(At(s, 130, 110), Px(0, 255, 0));
  EXPECT_EQ(At(s, 500, 500), kDesktop);

  // Red comes to the front at 300 ms, green at 200 ms: by 300 red is on top.
  EXPECT_TRUE(s.BringToFront("red", 300));
  EXPECT_TRUE(s.BringToFront("green", 200));
  EXPECT_FALSE(s.BringToFront("none", 100));
  EXPECT_EQ(s.ForegroundWindow(250), green);
  EXPECT_EQ(At(s, 130, 110), Px(0, 255, 0));
  EXPECT_EQ(s.ForegroundWindow(300), red);
  EXPECT_EQ(At(s, 130, 110), Px(255, 0, 0));
  // The clock never goes back: an earlier time keeps the order.
  EXPECT_EQ(s.ForegroundWindow(0), red);

  // Closing the foreground window gives the front back to the frame.
  EXPECT_TRUE(s.CloseWindow(red));
  EXPECT_FALSE(s.CloseWindow(red));
  EXPECT_EQ(s.ForegroundWindow(400), Screen::kFrameWindow);
  EXPECT_EQ(At(s, 60, 50), Px(1, 2, 3));
  EXPECT_EQ(Text(s.WindowRect(green)), "120,100-200,160");
  EXPECT_EQ(Text(s.WindowRect(red)), "0,0-0,0");

  // A minimised frame shows the desktop behind it.
  s.MinimizeFrame(true);
  EXPECT_EQ(At(s, 10, 10), kDesktop);
}

TEST_F(ScreenTest, GrabsAreClippedToTheDesktop) {
  Screen s;
  const CRect desk = s.DesktopRect();
  const struct {
    CRect asked;
    int width, height;  // 0 x 0: nothing grabbed
  } kCases[] = {
      {{-10, -10, 20, 30}, 20, 30},
      {{desk.right - 5, desk.bottom - 4, desk.right + 50, desk.bottom + 50}, 5, 4},
      {{desk.right, 0, desk.right + 10, 10}, 0, 0},
      {{30, 30, 30, 40}, 0, 0},
      {{40, 40, 30, 30}, 0, 0},
  };
  for (const auto& c : kCases) {
    plat::BitmapPtr p = s.Grab(c.asked);
    if (c.width == 0) {
      EXPECT_EQ(p, nullptr);
      continue;
    }
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->width, c.width);
    EXPECT_EQ(p->height, c.height);
    EXPECT_EQ(p->pixels.size(), static_cast<size_t>(c.width) * static_cast<size_t>(c.height));
  }
}

}  // namespace
