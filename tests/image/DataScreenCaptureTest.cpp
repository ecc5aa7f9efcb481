// The data-screen capture through scripts on pictures made by ImageMagick: a region
// is taken as the picture shows under it, a region too low to grab is refused, and a
// picture larger than the pane is taken page by page, asking before each next page.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "image/ScriptPictureTest.h"
#include "support/TestEnv.h"

namespace {

class DataScreenCaptureTest : public imagetest::ScriptPictureTest {
 protected:
  std::string Capture(const std::string& out) {
    return "answer path=" + out + "\ncommand ID_SAVE_DATA_SCREEN\n";
  }
};

// The region's overlay frame was read with the pane: every border pixel of the
// capture was the frame's colour. The frame is drawn away first.
TEST_F(DataScreenCaptureTest, RegionCaptureTookTheOverlayFrameFault) {
  Sh("convert -size 400x300 xc: +noise Random -type TrueColor BMP3:p.bmp");
  Run("open p.bmp\n" + Region(50, 40, 250, 240) + Capture("r.png"));
  Sh("convert p.bmp -crop 200x200+50+40 +repage want.png");
  EXPECT_EQ(Differ("r.png", "want.png"), "0");
}

// A region under 51 rows was captured; it is refused with "Eror" and nothing is
// written. A picture of two columns and two pages each was taken without a word;
// each page after the first is announced by its column (H) and page (V) number.
TEST_F(DataScreenCaptureTest, DataScreenSkippedItsPromptsAndLowRegionRuleFault) {
  Sh("convert -size 700x499 xc: +noise Random -type TrueColor BMP3:p.bmp");
  int status = -1;
  RunScript("open p.bmp\n" + Region(50, 40, 250, 90) + Capture("low.png"), &status);
  EXPECT_NE(status, 0);
  EXPECT_NE(Err().find("Eror\n"), std::string::npos) << Err();
  EXPECT_FALSE(std::filesystem::exists(dir_.HostPath("low.png")));

  Run("open p.bmp\n" + Region(50, 40, 250, 91) + Capture("high.png") + "open p.bmp\n" + Capture("whole.png"));
  Sh("convert p.bmp -crop 200x51+50+40 +repage want.png");
  EXPECT_EQ(Differ("high.png", "want.png"), "0");
  EXPECT_EQ(Differ("whole.png", "p.bmp"), "0");
  const std::string err = Err();
  size_t at = 0;
  for (const char* prompt : {"H: 1  V: 2\n Push OK", "H: 2  V: 1\n Push OK", "H: 2  V: 2\n Push OK"}) {
    at = err.find(prompt, at);
    EXPECT_NE(at, std::string::npos) << prompt << " in\n" << err;
  }
  EXPECT_EQ(err.find("H: 1  V: 1"), std::string::npos) << err;
  EXPECT_EQ(err.find("V: 3"), std::string::npos) << err;
}

}  // namespace
