// The image region through scripts, as a user drives it: corners picked by clicks
// and the corner commands, then copy, cut, paste, crop, restore and save. Each
// result is saved with save-display and compared with ImageMagick's own drawing of
// the same change (compare -metric AE: every edit here moves whole pixels, so the
// results must be exact). The region is half-open: corners (20,30) and (80,90) take
// columns 20..79 and rows 30..89.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/codecs/BmpImage.h"
#include "image/ScriptPictureTest.h"
#include "image/ViewImageState.h"
#include "image/ViewRegionState.h"
#include "support/TestEnv.h"
#include "view/QelView.h"

namespace {

// The view's default background colour (0xF8F9FA as COLORREF: red FA, green F9, blue F8).
constexpr const char* kBackground = "#FAF9F8";

class RegionEditTest : public imagetest::ScriptPictureTest {
 protected:
  void SetUp() override {
    ScriptPictureTest::SetUp();
    if (IsSkipped()) return;
    Sh("convert -size 200x150 gradient:red-blue -type TrueColor BMP3:g.bmp");
  }
  // The script's standard output; its exit status in *status when asked for.
  std::string Run(const std::string& script, int* status = nullptr) { return RunScript(script, status); }
};

TEST_F(RegionEditTest, CutFillsWithTheBackgroundAndRestoreBringsBackEveryByte) {
  int status = -1;
  Run("open g.bmp\n" + Region(20, 30, 80, 90) +
          "command ID_REGION_CUT\nsave-display cut.png\ncommand ID_REGION_RESTORE\nsave-display back.png\n",
      &status);
  ASSERT_EQ(status, 0) << Err();
  Sh(std::string("convert g.bmp -fill '") + kBackground + "' -draw 'rectangle 20,30 79,89' want.png");
  EXPECT_EQ(Differ("cut.png", "want.png"), "0");
  EXPECT_EQ(Differ("back.png", "g.bmp"), "0");
}

TEST_F(RegionEditTest, CopyThenPasteElsewhereAndRestore) {
  int status = -1;
  Run("open g.bmp\n" + Region(20, 30, 80, 90) + "command ID_REGION_COPY\ncommand ID_REGION_CLEAR\n" +
          Region(100, 10, 160, 70) + "command ID_REGION_PASTE\nsave-display pasted.png\n" +
          "command ID_REGION_RESTORE\nsave-display back.png\n",
      &status);
  ASSERT_EQ(status, 0) << Err();
  Sh("convert g.bmp \\( g.bmp -crop 60x60+20+30 \\) -geometry +100+10 -composite want.png");
  EXPECT_EQ(Differ("pasted.png", "want.png"), "0");
  EXPECT_EQ(Differ("back.png", "g.bmp"), "0");
}

TEST_F(RegionEditTest, PasteIntoALargerRegionRepeatsPixelsAsSampleDoes) {
  int status = -1;
  Run("open g.bmp\n" + Region(0, 0, 30, 20) + "command ID_REGION_COPY\n" + Region(100, 50, 160, 90) +
          "command ID_REGION_PASTE\nsave-display pasted.png\n",
      &status);
  ASSERT_EQ(status, 0) << Err();
  Sh("convert g.bmp \\( g.bmp -crop 30x20+0+0 +repage -sample 60x40! \\) -geometry +100+50 -composite want.png");
  EXPECT_EQ(Differ("pasted.png", "want.png"), "0");
}

TEST_F(RegionEditTest, CropAndRestoreTheWholePicture) {
  int status = -1;
  const std::string out = Run("open g.bmp\n" + Region(10, 10, 60, 50) +
                                  "command ID_REGION_CROP\nsave-display crop.png\nprint status\n"
                                  "command ID_REGION_CLEAR\ncommand ID_REGION_RESTORE\nsave-display back.png\n",
                              &status);
  ASSERT_EQ(status, 0) << Err();
  EXPECT_NE(out.find("W50 x H40 x 24bits "), std::string::npos) << out;
  Sh("convert g.bmp -crop 50x40+10+10 +repage want.png");
  EXPECT_EQ(Differ("crop.png", "want.png"), "0");
  // Clearing the frame after a crop keeps the crop undoable.
  EXPECT_EQ(Differ("back.png", "g.bmp"), "0");
}

TEST_F(RegionEditTest, CtrlKeysAndEscape) {
  int status = -1;
  Run("open g.bmp\n" + Region(20, 30, 80, 90) + "key Ctrl+X\nsave-display cut.png\nkey Esc\nsave-display back.png\n",
      &status);
  ASSERT_EQ(status, 0) << Err();
  Sh(std::string("convert g.bmp -fill '") + kBackground + "' -draw 'rectangle 20,30 79,89' want.png");
  EXPECT_EQ(Differ("cut.png", "want.png"), "0");
  EXPECT_EQ(Differ("back.png", "g.bmp"), "0");
}

TEST_F(RegionEditTest, PasteWithShiftKeepsTheImageUnderNearWhitePixels) {
  Sh("convert -size 40x40 xc:'rgb(200,200,200)' -fill 'rgb(199,250,250)' -draw 'rectangle 0,0 19,39' "
     "-type TrueColor BMP3:w.bmp");
  int status = -1;
  Run("open w.bmp\n" + Region(0, 0, 40, 40) + "command ID_REGION_COPY\nopen g.bmp\n" + Region(50, 50, 90, 90) +
          "key Ctrl+Shift+V\nsave-display pasted.png\n",
      &status);
  ASSERT_EQ(status, 0) << Err();
  // Only the left half (red 199) is pasted; the right half (all channels 200) lets the image through.
  Sh("convert g.bmp -fill 'rgb(199,250,250)' -draw 'rectangle 50,50 69,89' want.png");
  EXPECT_EQ(Differ("pasted.png", "want.png"), "0");
}

// Fault mended: a region reaching past the picture's edge edited rows and columns
// beyond it; now it is clipped to the picture.
TEST_F(RegionEditTest, RegionOutsideTheImageIsClipped) {
  int status = -1;
  Run("open g.bmp\n" + Region(150, 100, 400, 300) + "command ID_REGION_CUT\nsave-display cut.png\n" +
          "command ID_REGION_RESTORE\nsave-display back.png\n" + Region(300, 200, 400, 300) +
          "command ID_REGION_CUT\ncommand ID_REGION_CROP\nsave-display outside.png\n",
      &status);
  // A region wholly outside changes nothing, and its commands say so
  // (RegionFileRoadsFailWithTheirReasonFault).
  EXPECT_EQ(status, 1) << Err();
  EXPECT_NE(Err().find("lies outside the picture (200 x 150)"), std::string::npos) << Err();
  Sh(std::string("convert g.bmp -fill '") + kBackground + "' -draw 'rectangle 150,100 199,149' want.png");
  EXPECT_EQ(Differ("cut.png", "want.png"), "0");
  EXPECT_EQ(Differ("back.png", "g.bmp"), "0");
}

TEST_F(RegionEditTest, ZeroSizedRegionChangesNothing) {
  int status = -1;
  Run("open g.bmp\n" + Region(40, 40, 40, 90) + "command ID_REGION_CUT\ncommand ID_REGION_COPY\n" +
          "save-display same.png\n",
      &status);
  ASSERT_EQ(status, 0) << Err();
  EXPECT_EQ(Differ("same.png", "g.bmp"), "0");
}

// Fault mended: undo wrote the saved pixels at the document's last region, which a
// later copy moves; the saved pixels keep their own rectangle.
TEST_F(RegionEditTest, RestoreUsesTheSavedRectangleNotTheLastRegion) {
  int status = -1;
  Run("open g.bmp\n" + Region(0, 0, 30, 30) + "command ID_REGION_COPY\n" + Region(100, 100, 130, 130) +
          "command ID_REGION_PASTE\n" + Region(10, 60, 50, 100) + "command ID_REGION_COPY\n" +
          "command ID_REGION_RESTORE\nsave-display back.png\n",
      &status);
  ASSERT_EQ(status, 0) << Err();
  EXPECT_EQ(Differ("back.png", "g.bmp"), "0");
}

TEST_F(RegionEditTest, SaveRegionAsPngAndBmp) {
  int status = -1;
  Run("open g.bmp\n" + Region(20, 30, 80, 90) + "answer path=r.png\ncommand ID_REGION_SAVE\n" +
          "answer path=r.bmp\ncommand ID_REGION_SAVE\n",
      &status);
  ASSERT_EQ(status, 0) << Err();
  Sh("convert g.bmp -crop 60x60+20+30 +repage want.png");
  EXPECT_EQ(Differ("r.png", "want.png"), "0");
  EXPECT_EQ(Differ("r.bmp", "want.png"), "0");
}

// Fault mended: the region copy wrote the display's bit count over 24-bit rows, so
// the copy of an 8-bit picture was a BMP whose header lied about its rows.
TEST_F(RegionEditTest, RegionCopyOfAPalettePictureIs24Bits) {
  Sh("convert g.bmp -colors 16 -type Palette BMP3:p.bmp");
  int status = -1;
  Run("open p.bmp\n" + Region(20, 30, 80, 90) + "answer path=r.bmp\ncommand ID_REGION_SAVE\n", &status);
  ASSERT_EQ(status, 0) << Err();
  EXPECT_EQ(Sh("identify -format '%wx%h' r.bmp"), "60x60");
  EXPECT_EQ(Sh("od -An -tu2 -j28 -N2 r.bmp | tr -d ' \\n'"), "24");
  Sh("convert p.bmp -crop 60x60+20+30 +repage want.png");
  EXPECT_EQ(Differ("r.bmp", "want.png"), "0");
}

// The region's file roads called every failure success (exit 0): a save to a
// missing, full or read-only folder, a paste of a file that is no picture or does
// not exist. A "+png"-style (protected) name and an unknown extension were refused
// the same way, and save-display to a missing or full folder blamed "no image is
// shown". Each fails now with its reason and the name as written; nothing is written.
// So did the keys Ctrl+S and Ctrl+L, a region wholly outside the picture (fill,
// text and cut did nothing; a paste said only "failed"), a paste of a picture over
// the picture memory volume (called damaged) or of a cut BMP (pasted), and the saves
// and captures the file list starts.
TEST_F(RegionEditTest, RegionFileRoadsFailWithTheirReasonFault) {
  Sh("echo junk > junk.png && echo text > t.txt && head -c 100 g.bmp > cut.bmp");
  Sh("convert -size 600x600 gradient:red-blue big.png && convert -size 1x1 xc:red -type TrueColor BMP3:one.bmp");
  MakeFullDisk({});
  testenv::SmallDisk readOnly(dir_, "ro", 64 << 10);
  Sh("convert g.bmp ro/p.png && mount -o remount,ro ro 2>/dev/null");
  const std::string save = "\ncommand ID_REGION_SAVE\n", paste = "\ncommand ID_REGION_PASTE_FILE\n";
  const std::string outside = Region(300, 300, 350, 350);
  const char* kOutside = "the region (300, 300)-(350, 350) lies outside the picture (200 x 150)";
  struct Case {
    const char* fault;
    std::string steps;
    const char* says;
  };
  const Case cases[] = {
      {"marked name", "answer path=r.+png" + save, "直接圧縮又は暗号化保存できません"},
      {"unknown extension", "answer path=r.xyz" + save, "r.xyz\n作成できません  (the region is saved as .png"},
      {"missing folder", "answer path=nodir/r.png" + save, "nodir/r.png\n作成できません  (No such file or directory)"},
      {"full disk", "answer path=disk/r.bmp" + save, "disk/r.bmp \nはディスクの空き容量が足りないため"},
      {"read-only folder", "answer path=ro/r.jpg" + save, "ro/r.jpg \nは書込み禁止又は他で使用中です"},
      {"no picture", "answer path=junk.png" + paste, "junk.png\r\n画像ファイルが壊れているか"},
      {"a text", "answer path=t.txt" + paste, "t.txt\r\n画像ファイルが壊れているか"},
      {"no file", "answer path=none.png" + paste, "none.png\r\nファイルをオープンできません。\r\n(No such file or directory)"},
      {"display, missing folder", "save-display nodir/r.png\n", "nodir/r.png\n作成できません  (No such file"},
      {"display, full disk", "save-display disk/r.png\n", "disk/r.png \nはディスクの空き容量が足りないため"},
      {"key Ctrl+S, missing folder", "answer path=nodir/r.png\nkey Ctrl+S\n", "nodir/r.png\n作成できません"},
      {"key Ctrl+L, no file", "answer path=none.png\nkey Ctrl+L\n", "none.png\r\nファイルをオープンできません"},
      {"fill outside", outside + "command ID_REGION_FILL\n", kOutside},
      {"text outside", outside + "command ID_REGION_TEXT\n", kOutside},
      {"cut outside", outside + "command ID_REGION_CUT\n", kOutside},
      {"crop outside", outside + "command ID_REGION_CROP\n", kOutside},
      {"paste outside", outside + "answer path=big.png" + paste, kOutside},
      {"paste over bmpdata", "set bmpdata=1\nanswer path=big.png" + paste,
       "big.png\r\nthe picture's rows take 1.02997 MB, more than the picture memory volume (bmpdata=1 MB); --set"},
      {"paste of a cut BMP", "answer path=cut.bmp" + paste, "cut.bmp\r\n画像ファイルが壊れているか"},
      {"list save, missing folder", "list 1 g.bmp\nanswer path=nodir/r.png\nlist-command ID_IMAGE_SAVE_PNG\n",
       "nodir/r.png\n作成できません  (No such file"},
      {"list save, full disk", "list 1 g.bmp\nanswer path=disk/r.png\nlist-command ID_IMAGE_SAVE_PNG\n",
       "disk/r.png \nはディスクの空き容量が足りないため"},
      {"list BMP save, read-only folder", "list 1 ro/p.png\nlist-command ID_IMAGE_SAVE_BMP\n", "ro/p.bmp \nは書込み禁止"},
      {"convert to bitmap, 1 x 1 picture", "open one.bmp\ncommand ID_IMAGE_CONVERT_TO_BITMAP\n",
       "a picture of 8 rows or fewer is painted"},
      {"list capture, missing folder", "list 1 g.bmp\nanswer path=nodir/r.png\nlist-command ID_SAVE_DESKTOP_SCREEN\n",
       "nodir/r.png"},
  };
  RunScript("open g.bmp\n", nullptr);  // the program folder's settings made before the disk is full
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    if (std::string(c.fault).find("read-only folder") != std::string::npos && !readOnly.Mounted()) continue;  // no mount: no such folder
    int status = -1;
    RunOnFullDisk("open g.bmp\n" + Region(20, 30, 80, 90) + c.steps, &status, 100);
    EXPECT_EQ(status, 1) << Err();
    EXPECT_NE(Err().find(c.says), std::string::npos) << Err();
    EXPECT_EQ(Err().find("no image is shown"), std::string::npos) << Err();
  }
  EXPECT_EQ(Sh("ls r.* disk/r.* ro/r.* 2>/dev/null | wc -l | tr -d ' \\n'"), "0");
}

// Fault mended: paste from a file went through the document's image loader, which
// refuses while a picture is shown (or replaces it); the file is read on its own.
TEST_F(RegionEditTest, PasteFromFileWhileAPictureIsShown) {
  Sh("convert -size 30x20 xc:lime -type TrueColor BMP3:lime.bmp && convert -size 30x20 xc:lime lime.png");
  int status = -1;
  const std::string out = Run("open g.bmp\n" + Region(100, 50, 130, 70) +
                                  "answer path=lime.png\ncommand ID_REGION_PASTE_FILE\nsave-display pasted.png\n"
                                  "command ID_REGION_RESTORE\nsave-display back.png\nprint status\n",
                              &status);
  ASSERT_EQ(status, 0) << Err();
  Sh("convert g.bmp -fill lime -draw 'rectangle 100,50 129,69' want.png");
  EXPECT_EQ(Differ("pasted.png", "want.png"), "0");
  EXPECT_EQ(Differ("back.png", "g.bmp"), "0");
  EXPECT_EQ(out.find("Ping"), std::string::npos) << out;
}

TEST_F(RegionEditTest, FiltersActOnAnEditedRegionOnly) {
  Sh("convert -size 30x20 xc:lime lime.png");
  int status = -1;
  Run("open g.bmp\n" + Region(100, 50, 130, 70) +
          "answer path=lime.png\ncommand ID_REGION_PASTE_FILE\ncommand ID_IMAGE_INVERT\nsave-display inv.png\n",
      &status);
  ASSERT_EQ(status, 0) << Err();
  // Lime inverted is magenta; the rest of the picture keeps its pixels.
  Sh("convert g.bmp -fill magenta -draw 'rectangle 100,50 129,69' want.png");
  EXPECT_EQ(Differ("inv.png", "want.png"), "0");
}

// Undoing an edit after a zoom step wrote the saved 30 x 25 block unscaled into the
// zoomed display at the region's display place and took that display as the
// picture: the cut area stayed, 750 other pixels were overwritten and, zoomed back
// to 1:1, 845 wrong pixels were saved. Restore puts the pixels back into the picture
// where they were taken and shows it again at the zoom in use: the display equals
// the untouched picture's at that zoom, and back at 1:1 the display and the saved
// file equal the picture. An edit after the zoom or mirror makes the display the
// picture, and its restore and then the cut's undo both (the cut stayed, 750 pixels):
// the picture is then the untouched one as that display showed it.
TEST_F(RegionEditTest, UndoingACutAfterAZoomStepCorruptedThePictureFault) {
  Sh("convert -size 97x61 -seed 3 plasma:fractal -type TrueColor BMP3:z.bmp");
  const std::string in = "command ID_IMAGE_ZOOM_IN\n", out = "command ID_IMAGE_ZOOM_OUT\n";
  const std::string cut = "command ID_REGION_CUT\n";
  const std::string paste = Region(60, 30, 90, 55) + "command ID_REGION_COPY\n" + Region(10, 5, 40, 30) +
                            "command ID_REGION_PASTE\n";
  const std::string mirror = "command ID_IMAGE_MIRROR\n", restore = "command ID_REGION_RESTORE\n";
  const std::string fill = "command ID_REGION_FILL\n", pasteAgain = "command ID_REGION_PASTE\n";
  const std::string copyInPlace = Region(60, 30, 90, 55) + "command ID_REGION_COPY\ncommand ID_REGION_PASTE\n";
  struct Case {
    const char* name;
    std::string edit, steps, later, back;
  };
  const Case cases[] = {
      {"cut, zoom in", cut, in, "", out},
      {"cut, zoom out", cut, out, "", in},
      {"cut, two steps in", cut, in + in, "", out + out},
      {"cut, zoom in and out", cut, in + out, "", ""},
      {"cut, mirror twice", cut, mirror + mirror, "", ""},
      {"paste, zoom in", paste, in, "", out},
      {"cut, zoom in, fill", cut, in, fill + restore, ""},
      {"cut, zoom out, paste", cut, out, pasteAgain + restore, ""},
      {"cut, mirror, fill", cut, mirror, fill + restore, ""},
      {"cut, mirror, paste", cut, mirror, pasteAgain + restore, ""},
      // A copy after the cut took its place as the thing to restore: after a paste,
      // two restores left the cut (600 pixels; 2,400 zoomed in).
      {"cut, copy and paste", cut, "", copyInPlace + restore, ""},
      {"cut, zoom in, copy and paste", cut, in, copyInPlace + restore, ""},
      {"cut, mirror, copy and paste", cut, mirror, copyInPlace + restore, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Sh("rm -f saved.png");
    int status = -1;
    Run("open z.bmp\n" + c.steps + "save-display want.png\n", &status);
    ASSERT_EQ(status, 0) << Err();
    Run("open z.bmp\n" + Region(10, 5, 40, 30) + c.edit + c.steps + c.later + restore +
            "save-display restored.png\n" + c.back +
            "save-display back.png\nanswer path=saved.png\ncommand ID_IMAGE_SAVE_PNG\n",
        &status);
    ASSERT_EQ(status, 0) << Err();
    // After a later edit the display, zoomed or mirrored, is the picture.
    const char* untouched = c.later.empty() ? "z.bmp" : "want.png";
    EXPECT_EQ(Differ("restored.png", "want.png"), "0");
    EXPECT_EQ(Differ("back.png", untouched), "0");
    EXPECT_EQ(Differ("saved.png", untouched), "0");
  }
}

// Crop had a floor of 3 x 5 pixels: a 1 x 1 or 2 x 2 region cropped to 3 x 5 and a
// 4 x 4 one to 4 x 5, taking pixels outside the region, while saving the same region
// was exact. The crop is the region, as every region edit takes it.
TEST_F(RegionEditTest, CropOfASmallRegionTookPixelsOutsideItFault) {
  struct Case {
    int left, top, width, height;
  };
  for (const Case& c : {Case{20, 30, 1, 1}, Case{20, 30, 2, 2}, Case{20, 30, 4, 4}, Case{199, 149, 1, 1}}) {
    const std::string size = std::to_string(c.width) + "x" + std::to_string(c.height);
    SCOPED_TRACE(size);
    Sh("rm -f saved.png");
    int status = -1;
    Run("open g.bmp\n" + Region(c.left, c.top, c.left + c.width, c.top + c.height) +
            "answer path=saved.png\ncommand ID_REGION_SAVE\ncommand ID_REGION_CROP\nsave-display crop.png\n",
        &status);
    ASSERT_EQ(status, 0) << Err();
    Sh("convert g.bmp -crop " + size + "+" + std::to_string(c.left) + "+" + std::to_string(c.top) + " +repage want.png");
    EXPECT_EQ(Sh("identify -format '%wx%h' crop.png"), size);
    EXPECT_EQ(Differ("crop.png", "want.png"), "0");
    EXPECT_EQ(Differ("saved.png", "want.png"), "0");
  }
}

class RegionViewTest : public testenv::DocTest {};

// At zoom 1:1 a fit factor scales image to screen but not back; the zooms divide
// and multiply by powers of two.
TEST_F(RegionViewTest, MapRegionAtEachZoom) {
  CQelView view(*doc_);
  struct Case {
    int zoom, tenths;
    CRect image, screen;
  };
  const Case cases[] = {
      {5, 0, {10, 20, 110, 220}, {10, 20, 110, 220}},
      {5, 8, {10, 20, 110, 220}, {8, 16, 88, 176}},
      {4, 0, {10, 20, 110, 220}, {5, 10, 55, 110}},
      {7, 0, {10, 20, 110, 220}, {40, 80, 440, 880}},
  };
  for (const Case& c : cases) {
    view.Image().m_ImageSettings.m_nZoomIndex = c.zoom;
    view.Image().m_ImageSettings.m_nFitTenths = c.tenths;
    view.Region().m_rcRegionImage = c.image;
    view.MapRegion(false);
    EXPECT_EQ(view.Region().m_rcRegion.left, c.screen.left) << c.zoom;
    EXPECT_EQ(view.Region().m_rcRegion.bottom, c.screen.bottom) << c.zoom;
    view.MapRegion(true);
    if (c.tenths == 0) {
      EXPECT_EQ(view.Region().m_rcRegionImage.right, c.image.right) << c.zoom;
    }
  }
  view.Image().m_ImageSettings.m_nZoomIndex = 5;
  view.Image().m_ImageSettings.m_nFitTenths = 8;
  view.Region().m_rcRegion = CRect{8, 16, 88, 176};
  view.MapRegion(true);
  EXPECT_EQ(view.Region().m_rcRegionImage.right, 88);
}

std::vector<uint8_t> SmallBmp() {
  std::vector<uint8_t> f(54 + 4, 0);
  f[0] = 'B', f[1] = 'M', f[10] = 54, f[14] = 40, f[18] = 1, f[22] = 1, f[26] = 1, f[28] = 24;
  return f;
}

// Fault mended: the pixel offset of a copy buffer read as a signed 16-bit value
// could point before the buffer; it is read unsigned and must lie inside it.
TEST(BmpImageTest, PixelOffsetReadUnsignedAndValidated) {
  BmpImageView view;
  std::vector<uint8_t> f = SmallBmp();
  EXPECT_TRUE(ReadBmpImage(f, view));
  EXPECT_EQ(view.bits.size(), 4u);
  const std::vector<std::vector<std::pair<size_t, uint8_t>>> lies = {
      {{10, 0x00}, {11, 0x80}},                          // 0x8000: past the end
      {{10, 0xF0}, {11, 0xFF}, {12, 0xFF}, {13, 0xFF}},  // 0xFFFFFFF0
      {{10, 20}},                                        // inside the headers
      {{18, 0xFF}, {19, 0xFF}, {20, 0xFF}, {21, 0x7F}},  // a width the rows cannot hold
      {{28, 7}},                                         // no such depth
  };
  for (const auto& lie : lies) {
    std::vector<uint8_t> bad = f;
    for (auto [at, v] : lie) bad[at] = v;
    EXPECT_FALSE(ReadBmpImage(bad, view)) << lie[0].first;
  }
  f.resize(40);
  EXPECT_FALSE(ReadBmpImage(f, view));
}

}  // namespace
