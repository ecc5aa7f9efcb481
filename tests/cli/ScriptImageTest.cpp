// Scripts that look at a shown picture: save-display writes the rendering and
// save-pane the client area, scroll moves the picture in the pane, hover reads the
// pixel under the pointer after a click picked a point.
#include <gtest/gtest.h>

#include "support/TestEnv.h"

namespace {

using testenv::Quote;
using testenv::Shell;

class ScriptImageTest : public ::testing::Test {
 protected:
  testenv::TempDir dir_;
  std::string Run(const std::string& script, int* status) {
    testenv::WriteHostFile(dir_.HostPath("s.script"), script);
    return Shell("cd " + Quote(dir_.Host()) + " && PELNORIX_HOME=" + Quote(dir_.HostPath("home")) + " " +
                     Quote(PELNORIX_BINARY) + " --script s.script 2>" + Quote(dir_.HostPath("err.txt")),
                 status);
  }
  std::string Err() { return testenv::ReadHostFile(dir_.HostPath("err.txt")); }
};

TEST_F(ScriptImageTest, SaveDisplaySavePaneScrollAndHover) {
  SKIP_WITHOUT_PROGRAM("compare");
  Shell("cd " + Quote(dir_.Host()) + " && convert -size 700x500 gradient:yellow-navy -type TrueColor BMP3:g.bmp");
  int status = -1;
  const std::string out = Run(
      "open g.bmp\n"
      "expect status \"W700 x H500 x 24bits \"\n"
      "save-display whole.png\n"
      "scroll h 50\n"
      "scroll v 15\n"
      "save-pane pane.png\n"
      "click 10 10\n"
      "hover 0 0\n"
      "print status\n",
      &status);
  EXPECT_EQ(status, 0) << Err();
  EXPECT_EQ(Shell("cd " + Quote(dir_.Host()) + " && compare -metric AE whole.png g.bmp null: 2>&1"), "0");
  // The pane is the picture from (50, 15) on.
  Shell("cd " + Quote(dir_.Host()) + " && convert g.bmp -crop 640x480+50+15 +repage want.png");
  EXPECT_EQ(Shell("cd " + Quote(dir_.Host()) + " && compare -metric AE pane.png want.png null: 2>&1"), "0");
  const std::string pixel = Shell("cd " + Quote(dir_.Host()) + " && convert g.bmp -format '%[fx:int(255*p{50,15}.r)]' info:");
  EXPECT_NE(out.find("XY=( 050, 015)  RGB=(" + std::string(3 - std::min<size_t>(pixel.size(), 3), '0') + pixel),
            std::string::npos)
      << out;
}

TEST_F(ScriptImageTest, CaptureOfAWindowOnTheVirtualDesktop) {
  SKIP_WITHOUT_PROGRAM("identify");
  int status = -1;
  testenv::WriteHostFile(dir_.HostPath("s.script"),
                         "window target 100 100 200 120 0000FF\n"
                         "front target 3000\n"
                         "answer path=shot.png\n"
                         "command ID_SAVE_CLICKED_WINDOW\n"
                         "front nobody 1\n");
  Shell("cd " + Quote(dir_.Host()) + " && env -u DISPLAY PELNORIX_HOME=" + Quote(dir_.HostPath("home")) + " " +
            Quote(PELNORIX_BINARY) + " --script s.script 2>" + Quote(dir_.HostPath("err.txt")),
        &status);
  EXPECT_EQ(status, 1);
  EXPECT_NE(Err().find("s.script:5: front: no window nobody"), std::string::npos) << Err();
  EXPECT_EQ(Shell("identify -format '%wx%h %[fx:int(255*p{5,5}.b)]' " + Quote(dir_.HostPath("shot.png"))), "200x120 255");
}

// Shift held on a command that reads it: the two-level threshold starts at 70 %
// instead of 10 %; the key is not held for the next command.
TEST_F(ScriptImageTest, CommandWithShiftHeld) {
  SKIP_WITHOUT_PROGRAM("convert");
  Shell("cd " + Quote(dir_.Host()) + " && convert rose: BMP3:r.bmp");
  int status = -1;
  const std::string out = Run(
      "open r.bmp\n"
      "command ID_IMAGE_TWO_LEVEL shift\n"
      "print status\n"
      "command ID_IMAGE_TWO_LEVEL\n"
      "print status\n"
      "command ID_IMAGE_TWO_LEVEL\n"
      "command ID_IMAGE_TWO_LEVEL Shift\n"
      "print status\n",
      &status);
  EXPECT_EQ(status, 0) << Err();
  const size_t first = out.find("B&W 2bit 70%");
  ASSERT_NE(first, std::string::npos) << out;
  EXPECT_NE(out.find("B&W 2bit off", first), std::string::npos) << out;
  EXPECT_NE(out.find("B&W 2bit 10%", first), std::string::npos) << "Shift at 10 % stays there: " << out;
}

TEST_F(ScriptImageTest, SaveDisplayWithoutAPictureFails) {
  int status = -1;
  testenv::WriteHostFile(dir_.HostPath("a.txt"), "text\n");
  Run("open a.txt\nsave-display x.png\n", &status);
  EXPECT_EQ(status, 1);
  EXPECT_NE(Err().find("s.script:2: save-display:"), std::string::npos) << Err();
}

// A 4-bit picture saved as a 4-bit PNG keeps its own indices and colour table; it
// was once re-quantised to the fixed 16-colour palette of the depth reduction.
TEST_F(ScriptImageTest, FourBitViewSavedAsFourBitPngKeepsItsPaletteFault) {
  SKIP_WITHOUT_PROGRAM("compare");
  SKIP_WITHOUT_PROGRAM("pngcheck");
  const std::string in = "cd " + Quote(dir_.Host()) + " && ";
  Shell(in + "convert rose: -colors 16 -type Palette BMP3:r4.bmp");
  ASSERT_EQ(Shell(in + "identify -format %z r4.bmp"), "4");
  int status = -1;
  Run("open r4.bmp\nanswer path=four.png\ncommand ID_IMAGE_SAVE_PNG_4BIT\nanswer path=own.png\ncommand ID_IMAGE_SAVE_PNG\n",
      &status);
  ASSERT_EQ(status, 0) << Err();
  for (const char* name : {"four.png", "own.png"}) {
    SCOPED_TRACE(name);
    int check = -1;
    EXPECT_NE(Shell(in + "pngcheck " + name, &check).find("4-bit palette"), std::string::npos);
    EXPECT_EQ(check, 0);
    EXPECT_EQ(Shell(in + "compare -metric AE " + name + " r4.bmp null: 2>&1"), "0");
  }
}

// In picture-object mode the pane shows the picture the control draws for its
// object, at the scroll position on the background; it once showed the background
// alone.
TEST_F(ScriptImageTest, PictureObjectModePaneShowsThePictureFault) {
  SKIP_WITHOUT_PROGRAM("compare");
  const std::string in = "cd " + Quote(dir_.Host()) + " && ";
  Shell(in + "convert -size 700x500 gradient:yellow-navy -type TrueColor BMP3:g.bmp");
  Shell(in + "convert rose: -colors 16 -type Palette BMP3:r4.bmp");
  int status = -1;
  Run("open g.bmp\n"
      "save-display whole.png\n"
      "command ID_IMAGE_OBJECT_MODE\n"
      "scroll h 50\n"
      "scroll v 15\n"
      "save-pane big.png\n"
      "open r4.bmp\n"
      "save-pane small.png\n",
      &status);
  ASSERT_EQ(status, 0) << Err();
  Shell(in + "convert whole.png -crop 640x480+50+15 +repage want-big.png");
  EXPECT_EQ(Shell(in + "compare -metric AE big.png want-big.png null: 2>&1"), "0");
  Shell(in + "convert -size 640x480 xc:white r4.bmp -composite want-small.png");
  EXPECT_EQ(Shell(in + "compare -metric AE small.png want-small.png null: 2>&1"), "0");
}

}  // namespace
