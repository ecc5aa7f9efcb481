// The image editor's roads that once lost work or could not be reached, driven by
// scripts on a 97 x 61 picture that ImageMagick makes, each result compared with
// ImageMagick's own drawing of it (compare -metric AE: these edits move whole
// pixels, so they must be exact). The region (10, 5)-(40, 30) is 30 x 25 pixels.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "image/ScriptPictureTest.h"
#include "support/TestEnv.h"

namespace {

constexpr const char* kBackground = "#FAF9F8";  // the view's default background colour

class EditRoadsTest : public imagetest::ScriptPictureTest {
 protected:
  void SetUp() override {
    ScriptPictureTest::SetUp();
    if (IsSkipped()) return;
    Sh("convert -size 97x61 gradient:red-blue -type TrueColor BMP3:g.bmp");
  }
  static std::string Corners() { return Region(10, 5, 40, 30); }
};

// In picture-object mode every save read the painted bitmap, which that mode does
// not have, and refused with string 334; the object's own picture is saved, at its
// depth. The object save (32970) was not built.
TEST_F(EditRoadsTest, PictureObjectModeSavesTheObjectFault) {
  SKIP_WITHOUT_PROGRAM("pdfimages");
  Sh("convert g.bmp -colors 200 -type Palette BMP3:p8.bmp && convert g.bmp -colors 16 -type Palette BMP3:p4.bmp && "
     "convert g.bmp -monochrome -type Bilevel BMP3:p1.bmp && convert g.bmp g.png && convert g.bmp g.jpg");
  struct Case {
    const char* source;
    const char* depth;
    bool exact;  // the saves equal the source itself (not for JPEG: another decoder)
  };
  for (const Case c : {Case{"g.bmp", "8", true}, Case{"p8.bmp", "8", true}, Case{"p4.bmp", "4", true},
                       Case{"p1.bmp", "1", true}, Case{"g.png", "8", true}, Case{"g.jpg", "8", false}}) {
    SCOPED_TRACE(c.source);
    Sh("rm -f o.* object.png");
    Run(std::string("open ") + c.source +
        "\nsave-display shown.png\ncommand ID_IMAGE_OBJECT_MODE\nclick 16 16\n"
        "answer path=o.png\ncommand ID_IMAGE_SAVE_PNG\nanswer path=o.bmp\ncommand ID_IMAGE_SAVE_BMP\n"
        "answer path=object.png\ncommand ID_IMAGE_SAVE_OBJECT\nanswer path=o.pdf\ncommand ID_IMAGE_SAVE_PDF\n");
    for (const char* saved : {"o.png", "o.bmp", "object.png"}) {
      EXPECT_EQ(Differ(saved, c.exact ? c.source : "shown.png"), "0") << saved;
    }
    EXPECT_EQ(Sh("identify -format %z o.bmp"), c.depth);
    EXPECT_NE(Sh("pdfimages -list o.pdf").find(" 97    61 "), std::string::npos);
  }
  // Nothing selected: string 334, nothing written.
  int status = -1;
  RunScript("open g.bmp\ncommand ID_IMAGE_OBJECT_MODE\nclick 300 300\nanswer path=none.png\n"
            "command ID_IMAGE_SAVE_PNG\n",
            &status);
  EXPECT_EQ(status, 1);
  EXPECT_NE(Err().find("オブジェクトの形式が異なります"), std::string::npos) << Err();
  EXPECT_EQ(Sh("ls none.png 2>/dev/null"), "");
}

// The drawing's own copy after a cut replaced the cut's pixels, so the second
// restore left the region background: two restores undo the edit, then the cut,
// and then there is nothing left to restore.
TEST_F(EditRoadsTest, CutUndoneAfterALaterEditFault) {
  int status = -1;
  RunScript("open g.bmp\n" + Corners() +
                "command ID_REGION_CUT\nsave-display cut.png\ncommand ID_REGION_FRAME\nsave-display framed.png\n"
                "command ID_REGION_RESTORE\nsave-display first.png\ncommand ID_REGION_RESTORE\n"
                "save-display second.png\ncommand ID_REGION_RESTORE\n",
            &status);
  EXPECT_EQ(status, 1) << "a third restore has nothing to do";
  EXPECT_NE(Err().find("s.script:14: ID_REGION_RESTORE"), std::string::npos) << Err();
  Sh(std::string("convert g.bmp -fill '") + kBackground + "' -draw 'rectangle 10,5 39,29' want.png");
  EXPECT_EQ(Differ("cut.png", "want.png"), "0");
  EXPECT_NE(Differ("framed.png", "cut.png"), "0");
  EXPECT_EQ(Differ("first.png", "cut.png"), "0");
  EXPECT_EQ(Differ("second.png", "g.bmp"), "0");
}

// Rotate with a region in use turned the whole picture (61 x 97) and the restore
// then pasted an unturned block into it: the region turns a quarter clockwise
// about its top-left corner, taking the turned shape, and restore turns it back.
TEST_F(EditRoadsTest, RotateWithARegionTurnsTheRegionFault) {
  Run("open g.bmp\ncommand ID_REGION_COPY\ncommand ID_REGION_PASTE\ncommand ID_IMAGE_ROTATE\n"
      "save-display whole.png\ncommand ID_REGION_RESTORE\nsave-display back.png\nopen g.bmp\n" +
      Corners() +
      "command ID_IMAGE_ROTATE\nsave-display once.png\ncommand ID_IMAGE_ROTATE\nsave-display twice.png\n"
      "command ID_REGION_RESTORE\nsave-display undone.png\n");
  Sh("convert g.bmp \\( g.bmp -rotate 90 \\) -composite want-whole.png && "
     "convert g.bmp \\( g.bmp -crop 30x25+10+5 -rotate 90 \\) -geometry +10+5 -composite want-once.png && "
     "convert want-once.png \\( want-once.png -crop 25x30+10+5 -rotate 90 \\) -geometry +10+5 -composite "
     "want-twice.png");
  EXPECT_EQ(Sh("identify -format %wx%h whole.png"), "97x61");
  EXPECT_EQ(Differ("whole.png", "want-whole.png"), "0");
  EXPECT_EQ(Differ("back.png", "g.bmp"), "0");
  EXPECT_EQ(Differ("once.png", "want-once.png"), "0");
  EXPECT_EQ(Differ("twice.png", "want-twice.png"), "0");
  EXPECT_EQ(Differ("undone.png", "once.png"), "0");
}

// The file list's BMP save took the picture the pane was showing again: the source
// was saved, but the pane was left blank ("no image is shown"). The pane shows it
// again as the view renders it, and the save writes the source picture itself.
TEST_F(EditRoadsTest, ListBmpSaveLeftThePaneBlankFault) {
  Sh("convert g.bmp q.png");
  const std::pair<const char*, const char*> changes[] = {
      {"command ID_IMAGE_ZOOM_IN\n", "-sample 200%"},
      {"command ID_IMAGE_ROTATE\n", "-rotate 90"},
  };
  for (const auto& [change, recipe] : changes) {
    SCOPED_TRACE(change);
    Sh("rm -f q.bmp shown.png");
    Run(std::string("open q.png\n") + change + "list 1 q.png\nlist-command ID_IMAGE_SAVE_BMP\nsave-display shown.png\n");
    EXPECT_EQ(Differ("q.bmp", "g.bmp"), "0");
    Sh(std::string("convert g.bmp ") + recipe + " want.png");
    EXPECT_EQ(Differ("shown.png", "want.png"), "0");
  }
}

// A save under a name of no writable kind was rerouted to a BMP named ".bmp": the
// code chosen is kept under the name given; only BMP bytes get a ".bmp" name.
TEST_F(EditRoadsTest, UnknownExtensionKeepsTheCodeFault) {
  Run("open g.bmp\nanswer path=gg.gif\ncommand ID_IMAGE_SAVE_PNG\nanswer path=jj.xyz\n"
      "command ID_IMAGE_SAVE_JPEG_STANDARD\nanswer path=bb.gif\ncommand ID_IMAGE_SAVE_BMP\n");
  EXPECT_EQ(Sh("identify -format %m, gg.gif jj.xyz bb.bmp"), "PNG,JPEG,BMP3,");
  EXPECT_EQ(Differ("gg.gif", "g.bmp"), "0");
  EXPECT_EQ(Sh("ls gg.bmp jj.bmp bb.gif 2>/dev/null"), "");
}

// The filters and the display's cut-out took 31 x 26 pixels for the corners that
// copy, crop and paste take as 30 x 25: every road takes the half-open region.
TEST_F(EditRoadsTest, OneRegionRuleFault) {
  struct Case {
    const char* name;
    const char* steps;   // the script after the corners
    const char* recipe;  // ImageMagick's drawing of the same
  };
  const Case cases[] = {
      {"filter", "command ID_IMAGE_INVERT\nsave-display out.png\n", "g.bmp -region 30x25+10+5 -negate"},
      {"cut-out", "answer cutOut=1 inside=1\ncommand ID_IMAGE_CONVERT_SETTINGS\nsave-display out.png\n",
       "g.bmp -crop 30x25+10+5 +repage"},
      {"copy", "answer path=out.bmp\ncommand ID_REGION_SAVE\n", "g.bmp -crop 30x25+10+5 +repage"},
      {"crop", "command ID_REGION_CROP\nsave-display out.png\n", "g.bmp -crop 30x25+10+5 +repage"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Sh("rm -f out.*");
    Run("open g.bmp\n" + Corners() + c.steps);
    Sh(std::string("convert ") + c.recipe + " want.png");
    EXPECT_EQ(Differ("out.*", "want.png"), "0");
  }
}

// A 16-bit BMP with the masks 5-6-5 was widened by the 5-5-5 rule (RMSE 24 %):
// the masks are read, and a BMP written from it keeps them.
TEST_F(EditRoadsTest, SixteenBitFiveSixFiveBmpFault) {
  Sh("convert g.bmp -define bmp:subtype=RGB565 r565.bmp");
  const std::string depth = "od -An -tu2 -j28 -N2 ";
  ASSERT_EQ(Sh(depth + "r565.bmp | tr -d ' \\n'"), "16");
  Run("open r565.bmp\nsave-display shown.png\n");
  EXPECT_EQ(Differ("shown.png", "r565.bmp"), "0");
  Sh("PELNORIX_HOME=home " + testenv::Quote(PELNORIX_BINARY) + " --convert back.bmp r565.bmp");
  EXPECT_EQ(Sh(depth + "back.bmp | tr -d ' \\n'"), "16");
  EXPECT_EQ(Differ("back.bmp", "r565.bmp"), "0");
}

// A pasted block could not be dragged: a drag that starts on it moves it (what it
// covered comes back), it stops at the picture's edge, and restore takes it away.
TEST_F(EditRoadsTest, DraggingAPastedBlockMovesItFault) {
  Run("open g.bmp\n" + Corners() + "command ID_REGION_COPY\n" + Region(50, 20, 80, 45) +
      "command ID_REGION_PASTE\ndrag 55 25 62 21\nsave-display moved.png\ndrag 60 20 200 200\n"
      "save-display edge.png\ncommand ID_REGION_RESTORE\nsave-display back.png\n");
  Sh("convert g.bmp -crop 30x25+10+5 +repage block.png && convert g.bmp block.png -geometry +57+16 -composite "
     "want-moved.png && convert g.bmp block.png -geometry +67+36 -composite want-edge.png");
  EXPECT_EQ(Differ("moved.png", "want-moved.png"), "0");
  EXPECT_EQ(Differ("edge.png", "want-edge.png"), "0");
  EXPECT_EQ(Differ("back.png", "g.bmp"), "0");
}

// The region menu's "設定ﾒﾆｭｰ" (32977) was not built: it runs the conversion
// settings, unless a corner pick is pending.
TEST_F(EditRoadsTest, RegionSettingsMenuFault) {
  Run("open g.bmp\nanswer invert=1\ncommand ID_REGION_SETTINGS_MENU\nsave-display inverted.png\n");
  Run("open g.bmp\ncommand ID_REGION_MODE\nclick 10 10\nanswer invert=1\ncommand ID_REGION_SETTINGS_MENU\n"
      "save-display picking.png\n");
  Sh("convert g.bmp -negate want.png");
  EXPECT_EQ(Differ("inverted.png", "want.png"), "0");
  EXPECT_EQ(Differ("picking.png", "g.bmp"), "0");
}

// An edit on a 1-, 4- or 8-bit picture was written into a display that kept its
// depth and colour table, and read back through that table: the pane showed the
// green fill, the saved PNG had not one green pixel; a cut saved yellow where the
// pane showed the background, red text on a 1-bit picture saved black, and the BMP
// was 8-bit though the status said "Bitmap 24 bit". An edit makes the picture one of
// 24 bits: every save, PNG and BMP, is the pane's picture, at every depth.
TEST_F(EditRoadsTest, EditOnAPalettePictureSavedOtherColoursFault) {
  const std::string gradient = "convert -size 120x90 gradient:red-blue ";
  const std::pair<const char*, std::string> depths[] = {
      {"1", gradient + "-monochrome -type bilevel BMP3:p.bmp"},
      {"4", gradient + "-colors 16 -type palette BMP3:p.bmp"},
      {"8", gradient + "-colors 256 -type palette BMP3:p.bmp"},
      {"24", gradient + "-type truecolor BMP3:p.bmp"},
      {"32", gradient + "-alpha set -channel A -evaluate set 100% +channel -define bmp:format=bmp4 BMP:p.bmp"},
  };
  const std::string green = "answer color=00FF00\ncommand ID_DRAW_TARGET_COLOR\n";
  const std::pair<const char*, std::string> edits[] = {
      {"cut", Region(10, 10, 40, 30) + "command ID_REGION_CUT\n"},
      {"fill", Region(10, 10, 40, 30) + "command ID_REGION_FILL\n"},
      {"text", Region(10, 10, 110, 60) + "answer \"text=<20Br>Ab\"\ncommand ID_REGION_TEXT\n"},
      {"block fill", green + "command ID_DRAW_BLOCK_FILL\nclick 30 30\n"},
      {"point", green + "command ID_DRAW_POINT\ncommand ID_DRAW_PATTERN\ncommand ID_DRAW_PATTERN\nclick 30 30\n"},
  };
  for (const auto& [depth, make] : depths) {
    Sh("rm -f p.bmp && " + make);
    ASSERT_EQ(Sh("od -An -tu2 -j28 -N2 p.bmp | tr -d ' \\n'"), depth);
    for (const auto& [edit, steps] : edits) {
      SCOPED_TRACE(std::string(depth) + "-bit picture, " + edit);
      Sh("rm -f pane.png s.png s.bmp shown.png");
      // The region's outline, drawn on the pane only, is cleared first.
      Run("open p.bmp\n" + steps + "command ID_REGION_CLEAR\nsave-pane pane.png\nanswer path=s.png\n"
          "command ID_IMAGE_SAVE_PNG\nanswer path=s.bmp\ncommand ID_IMAGE_SAVE_BMP\n");
      Sh("convert pane.png -crop 120x90+0+0 +repage shown.png");
      EXPECT_NE(Differ("shown.png", "p.bmp"), "0") << "the edit shows";
      EXPECT_EQ(Differ("s.png", "shown.png"), "0");
      EXPECT_EQ(Differ("s.bmp", "shown.png"), "0");
      EXPECT_EQ(Sh("od -An -tu2 -j28 -N2 s.bmp | tr -d ' \\n'"), "24");
    }
  }
}

}  // namespace
