// The region as a user marks it with the mouse and sees it: a drag sets both
// corners, the outline of the selected figure is drawn over the pane (not into the
// picture), the line figure snaps to level, upright and 45-degree lines, the status
// line gives the region's measures, and the region print crops to the region and
// asks for the print preview.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/TestEnv.h"

namespace {

using testenv::Quote;
using testenv::Shell;

class RegionOverlayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SKIP_WITHOUT_PROGRAM("compare");
    Sh("convert -size 200x150 xc:white -type TrueColor BMP3:w.bmp");
  }
  std::string Sh(const std::string& command) { return Shell("cd " + Quote(dir_.Host()) + " && " + command); }
  void Run(const std::string& script) {
    testenv::WriteHostFile(dir_.HostPath("s.script"), script);
    int status = -1;
    out_ = Shell("cd " + Quote(dir_.Host()) + " && PELNORIX_HOME=" + Quote(dir_.HostPath("home")) + " " +
                     Quote(PELNORIX_BINARY) + " --script s.script 2>" + Quote(dir_.HostPath("err.txt")),
                 &status);
    EXPECT_EQ(status, 0) << Err();
  }
  std::string Err() { return testenv::ReadHostFile(dir_.HostPath("err.txt")); }
  std::string Differ(const std::string& a, const std::string& b) {
    return Sh("compare -metric AE " + a + " " + b + " null: 2>&1");
  }
  testenv::TempDir dir_;
  std::string out_;
};

TEST_F(RegionOverlayTest, RegionPrintCropsToTheRegionAndAsksForThePreview) {
  Sh("convert -size 200x150 gradient:red-blue -type TrueColor BMP3:g.bmp");
  Run("open g.bmp\nclick 20 30\ncommand ID_REGION_TOP_LEFT\nclick 80 90\ncommand ID_REGION_BOTTOM_RIGHT\n"
      "command ID_REGION_PRINT\nsave-display printed.png\ncommand ID_REGION_RESTORE\nsave-display back.png\n");
  Sh("convert g.bmp -crop 60x60+20+30 +repage want.png");
  EXPECT_EQ(Differ("printed.png", "want.png"), "0");
  EXPECT_EQ(Differ("back.png", "g.bmp"), "0");
  EXPECT_NE(Err().find("print mode 2"), std::string::npos) << Err();
}

}  // namespace
