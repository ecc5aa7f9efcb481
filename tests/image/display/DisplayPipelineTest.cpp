// The display pipeline against ImageMagick on the same pictures: what the view
// renders (save-display) must equal the peer's transformation pixel for pixel
// (`compare -metric AE` 0), the half-tone reduction within 1 of `-scale`. Also the
// pane at a scroll offset, the status line, banding and the hostile cases.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/Globals.h"
#include "app/StringTable.h"
#include "image/ImageState.h"
#include "image/ImageTestSupport.h"
#include "image/ViewImageState.h"
#include "platform/os/Files.h"
#include "platform/ui/Keys.h"
#include "support/TestEnv.h"
#include "view/QelView.h"

namespace {

using testenv::Quote;
using testenv::Shell;

class DisplayPipelineTest : public testenv::DocTest {
 protected:
  // A picture made by ImageMagick in the test's folder; its Windows path.
  std::string Make(const std::string& name, const std::string& recipe) {
    int status = 0;
    Shell("convert " + recipe + Quote(dir_.HostPath(name)) + " 2>&1", &status);
    EXPECT_EQ(status, 0) << recipe;
    return Win(name);
  }
  // Opens the picture in a view and renders it with the settings.
  void Show(CQelView& view, const std::string& path, void (*set)(ImageConvertSettings&) = nullptr) {
    ASSERT_EQ(doc_->LoadDocument(path), 0);
    ASSERT_NE(view.Image().m_pImageBits, nullptr) << "the view took the image over";
    if (set) set(view.Image().m_ImageSettings);
    view.RefreshImage(CQelView::RefreshMode::kKeepScroll);
  }
  // ImageMagick's count of differing pixels between our rendering and its own.
  std::string AbsoluteError(const std::string& ours, const std::string& theirs) {
    return Shell("compare -metric AE " + Quote(ours) + " " + Quote(theirs) + " null: 2>&1");
  }
};

struct PeerCase {
  const char* name;
  void (*set)(ImageConvertSettings&);
  const char* magick;  // ImageMagick operators applied to the same picture
};

const PeerCase kRoseCases[] = {
    {"mirror", [](ImageConvertSettings& s) { s.m_bMirror = 1; }, "-flop"},
    {"flip", [](ImageConvertSettings& s) { s.m_bFlip = 1; }, "-flip"},
    {"rotate90", [](ImageConvertSettings& s) { s.m_nRotation = 1; }, "-rotate 90"},
    {"rotate180", [](ImageConvertSettings& s) { s.m_nRotation = 2; }, "-rotate 180"},
    {"rotate270", [](ImageConvertSettings& s) { s.m_nRotation = 3; }, "-rotate 270"},
    {"mirror+rotate90", [](ImageConvertSettings& s) { s.m_bMirror = 1, s.m_nRotation = 1; }, "-flop -rotate 90"},
    {"zoom6", [](ImageConvertSettings& s) { s.m_nZoomIndex = 6; }, "-sample 200%"},
    {"zoom7", [](ImageConvertSettings& s) { s.m_nZoomIndex = 7; }, "-sample 400%"},
    {"zoom8", [](ImageConvertSettings& s) { s.m_nZoomIndex = 8; }, "-sample 800%"},
    {"zoom9", [](ImageConvertSettings& s) { s.m_nZoomIndex = 9; }, "-sample 1600%"},
    {"invert", [](ImageConvertSettings& s) { s.m_bInvert = 1, s.m_bActive = 1; }, "-negate"},
    {"colourphase", [](ImageConvertSettings& s) { s.m_nColorPhase = 1; }, "-negate -separate -reverse -combine"},
    {"threshold10", [](ImageConvertSettings& s) { s.m_bEmphasis = 1, s.m_nEmphasis = 6, s.m_bActive = 1; },
     "-fx \"(r+g+b)*255>691.5?1:0\""},
    {"threshold70", [](ImageConvertSettings& s) { s.m_bEmphasis = 1, s.m_nEmphasis = 15, s.m_bActive = 1; },
     "-fx \"(r+g+b)*255>230.5?1:0\""},
};

TEST_F(DisplayPipelineTest, RenderingEqualsImageMagick) {
  SKIP_WITHOUT_PROGRAM("compare");
  const std::string rose = Make("rose.bmp", "rose: BMP3:");
  for (const PeerCase& c : kRoseCases) {
    CQelView view(*doc_);
    Show(view, rose, c.set);
    const std::string ours = dir_.HostPath(std::string(c.name) + ".png");
    ASSERT_TRUE(view.SaveDisplayPng(plat::FromHostPath(ours))) << c.name;
    const std::string theirs = dir_.HostPath(std::string(c.name) + "-im.png");
    Shell("convert " + Quote(dir_.HostPath("rose.bmp")) + " " + c.magick + " " + Quote(theirs));
    EXPECT_EQ(AbsoluteError(ours, theirs), "0") << c.name;
  }
}

TEST_F(DisplayPipelineTest, PaletteImagesReduceByTheNearestPixelFromTheBottomRow) {
  SKIP_WITHOUT_PROGRAM("convert");
  struct Case {
    const char* name;
    const char* recipe;
    int bits;
    int zoom;
  };
  const Case cases[] = {
      {"rose8.png", "rose: -crop 64x40+0+0 +repage -colors 60 PNG8:", 8, 4},
      {"rose8.png", "rose: -crop 64x40+0+0 +repage -colors 60 PNG8:", 8, 3},
      {"rose4.bmp", "rose: -crop 64x40+0+0 +repage -colors 16 -type Palette BMP3:", 4, 4},
      {"rose1.bmp", "rose: -crop 64x40+0+0 +repage -type Bilevel BMP3:", 1, 2},
  };
  for (const Case& c : cases) {
    const std::string path = Make(c.name, c.recipe);
    CQelView view(*doc_);
    ASSERT_EQ(doc_->LoadDocument(path), 0);
    ASSERT_EQ(doc_->Image().m_bmiImage.bmiHeader.biBitCount, c.bits);
    view.Image().m_ImageSettings.m_nZoomIndex = c.zoom;
    view.RefreshImage(CQelView::RefreshMode::kKeepScroll);
    const std::string ours = dir_.HostPath("ours.png");
    ASSERT_TRUE(view.SaveDisplayPng(plat::FromHostPath(ours))) << c.name;
    // Every n-th pixel from the left and every n-th row counted from the bottom one,
    // in ImageMagick's reading of the source and of ours.
    const int divisor = 1 << (5 - c.zoom);
    const imagetest::Rgb source = imagetest::PeerRgb(dir_.HostPath(c.name));
    const imagetest::Rgb shown = imagetest::PeerRgb(ours);
    ASSERT_EQ(shown.width, 64 / divisor);
    ASSERT_EQ(shown.height, 40 / divisor);
    int mismatches = 0;
    for (int y = 0; y < shown.height; ++y) {
      const int sy = 39 - divisor * (shown.height - 1 - y);
      for (int x = 0; x < shown.width; ++x) {
        for (int k = 0; k < 3; ++k) {
          mismatches += shown.pixels[static_cast<size_t>((y * shown.width + x) * 3 + k)] !=
                        source.pixels[static_cast<size_t>((sy * 64 + divisor * x) * 3 + k)];
        }
      }
    }
    EXPECT_EQ(mismatches, 0) << c.name << " zoom " << c.zoom;
    // The picture stays a palette picture as shown.
    EXPECT_EQ(view.Image().m_nPaintBits, c.bits);
  }
}

TEST_F(DisplayPipelineTest, HalftoneReductionIsWithinOneOfScale) {
  SKIP_WITHOUT_PROGRAM("convert");
  const std::string path = Make("grad.bmp", "-size 64x48 gradient:red-blue -type TrueColor BMP3:");
  for (int zoom : {4, 3, 2}) {
    CQelView view(*doc_);
    ASSERT_EQ(doc_->LoadDocument(path), 0);
    view.Image().m_ImageSettings.m_nZoomIndex = zoom;
    view.RefreshImage(CQelView::RefreshMode::kKeepScroll);
    const std::string ours = dir_.HostPath("ours.png");
    ASSERT_TRUE(view.SaveDisplayPng(plat::FromHostPath(ours)));
    Shell("convert " + Quote(dir_.HostPath("grad.bmp")) + " -scale " + std::to_string(100 >> (5 - zoom)) + "% " +
          Quote(dir_.HostPath("peer.png")));
    EXPECT_LE(imagetest::MaxDiff(imagetest::PeerRgb(ours), imagetest::PeerRgb(dir_.HostPath("peer.png"))), 1)
        << "zoom " << zoom;
  }
}

TEST_F(DisplayPipelineTest, PaneShowsTheRenderingAtTheScrollOffsetOnTheBackground) {
  SKIP_WITHOUT_PROGRAM("convert");
  const std::string rose = Make("rose.bmp", "rose: BMP3:");
  CQelView view(*doc_);
  Show(view, rose, [](ImageConvertSettings& s) { s.m_nZoomIndex = 9; });  // 1120 x 736
  view.OnHScroll(plat::SB_THUMBPOSITION, 600);                             // at most 1120 - 640
  view.OnVScroll(plat::SB_THUMBPOSITION, 100);
  EXPECT_EQ(view.Image().m_nImageOriginX, 480);
  EXPECT_EQ(view.Image().m_nImageOriginY, 100);
  const std::string pane = dir_.HostPath("pane.png"), whole = dir_.HostPath("whole.png");
  ASSERT_TRUE(view.SavePanePng(plat::FromHostPath(pane)));
  ASSERT_TRUE(view.SaveDisplayPng(plat::FromHostPath(whole)));
  const imagetest::Rgb a = imagetest::PeerRgb(pane), b = imagetest::PeerRgb(whole);
  ASSERT_EQ(a.width, 640);
  ASSERT_EQ(b.width, 1120);
  int mismatches = 0;
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) {
      for (int c = 0; c < 3; ++c) {
        const int got = a.pixels[static_cast<size_t>((y * 640 + x) * 3 + c)];
        const int want = b.pixels[static_cast<size_t>(((y + 100) * 1120 + x + 480) * 3 + c)];
        mismatches += got != want;
      }
    }
  }
  EXPECT_EQ(mismatches, 0);

  // A small picture leaves the background (the document's background colour) around it.
  CQelView small(*doc_);
  Show(small, rose);
  ASSERT_TRUE(small.SavePanePng(plat::FromHostPath(pane)));
  const imagetest::Rgb p = imagetest::PeerRgb(pane);
  const size_t outside = static_cast<size_t>((300 * 640 + 300) * 3);
  EXPECT_EQ(p.pixels[outside], 255);
  EXPECT_EQ(p.pixels[outside + 1], 255);
}

TEST_F(DisplayPipelineTest, StatusLineNamesSizeZoomAndRotation) {
  SKIP_WITHOUT_PROGRAM("convert");
  const std::string rose = Make("rose.bmp", "rose: BMP3:");
  struct Case {
    void (*set)(ImageConvertSettings&);
    const char* status;
  };
  const Case cases[] = {
      {[](ImageConvertSettings&) {}, "W70 x H46 x 24bits  1/1"},
      {[](ImageConvertSettings& s) { s.m_nZoomIndex = 9; }, "W70 x H46 x 24bits  x 16"},
      {[](ImageConvertSettings& s) { s.m_nZoomIndex = 3; }, "W70 x H46 x 24bits  1/4"},
      {[](ImageConvertSettings& s) { s.m_nRotation = 1; }, "W70 x H46 x 24bits  1/1  + 90deg"},
      {[](ImageConvertSettings& s) { s.m_nRotation = 2, s.m_nZoomIndex = 6; }, "W70 x H46 x 24bits  x 2  +180deg"},
      {[](ImageConvertSettings& s) { s.m_nFitTenths = 8; }, "W70 x H46 x 24bits  x80%"},
  };
  for (const Case& c : cases) {
    CQelView view(*doc_);
    Show(view, rose, c.set);
    EXPECT_EQ(g_pStatusBar->GetPaneText(0), c.status);
  }
}

TEST_F(DisplayPipelineTest, PixelReadOutAfterAPick) {
  SKIP_WITHOUT_PROGRAM("convert");
  const std::string grey = Make("grey.bmp", "-size 20x20 xc:#808080 -type TrueColor BMP3:");
  CQelView view(*doc_);
  Show(view, grey);
  view.OnMouseMove(0, CPoint{5, 6});
  EXPECT_EQ(g_pStatusBar->GetPaneText(0), "") << "no read-out before a point is picked";
  view.OnLButtonDown(plat::MK_LBUTTON, CPoint{3, 4});
  EXPECT_EQ(g_pStatusBar->GetPaneText(0), "XY=( 003, 004)  RGB=(128,128,128)  YCP=(050%,000%, 000deg )");
  EXPECT_EQ(view.Image().m_ImageSettings.m_clrPicked, RGB(128, 128, 128));
  view.OnMouseMove(0, CPoint{30, 7});  // the background beside the picture
  EXPECT_EQ(g_pStatusBar->GetPaneText(0), "XY=( 030, 007)  RGB=(255,255,255)  YCP=(100%,000%, 000deg )");
}

TEST_F(DisplayPipelineTest, TallImageBandsWhenTheHostRefusesTheWholeBitmap) {
  SKIP_WITHOUT_PROGRAM("convert");
  const std::string tall = Make("tall.bmp", "-size 10x1000 gradient: -type TrueColor BMP3:");
  frame_->Ui().Gdi().SetPixelBudget(10 * 600);
  CQelView view(*doc_);
  Show(view, tall);
  ASSERT_TRUE(view.Image().m_pDisplayBitmap);
  EXPECT_EQ(view.Image().m_pDisplayBitmap->height, 400);
  EXPECT_NE(g_pStatusBar->GetPaneText(0).find("(1 - 400)lines of W10 x H1000"), std::string::npos)
      << g_pStatusBar->GetPaneText(0);
}

// A picture was held five times over (the document's block, the view's copy, two
// cleared work buffers and a cleared bitmap): the view shows the document's block
// itself, which it keeps when the document lets it go, a rendering reuses the
// display's rows, and the picture read back from the rows equals the read-back of
// its bitmap at every depth.
TEST_F(DisplayPipelineTest, PictureHeldInFiveCopiesFault) {
  SKIP_WITHOUT_PROGRAM("convert");
  for (const char* depth : {"-type TrueColor BMP3:", "-type Palette -colors 200 BMP3:", "-colors 16 -type Palette BMP3:",
                            "-monochrome BMP3:"}) {
    const std::string pic = Make("pic.bmp", std::string("rose: -resize 97x61! ") + depth);
    CQelView view(*doc_);
    Show(view, pic);
    EXPECT_EQ(view.Image().m_pImageBits, doc_->Image().m_pImageBits) << depth;
    EXPECT_EQ(view.Image().m_pDisplayBitmap.Block(), view.Image().m_pImageBits) << depth << ": shown as it is";
    for (const int mirror : {0, 1}) {
      view.Image().m_ImageSettings.m_bMirror = mirror;
      view.RefreshImage(CQelView::RefreshMode::kKeepScroll);
      const uint8_t* rows = view.Image().m_pDisplayBitmap.Block();
      view.RefreshImage(CQelView::RefreshMode::kKeepScroll);
      if (mirror) {
        EXPECT_EQ(view.Image().m_pDisplayBitmap.Block(), rows) << depth << ": the rows are reused";
      }
      BITMAPINFO direct{}, bitmap{};
      std::vector<uint8_t> a, b;
      ASSERT_TRUE(view.ReadDisplayDib(direct, a)) << depth;
      ASSERT_TRUE(view.Image().m_pDisplayBitmap.get());
      ASSERT_TRUE(view.ReadDisplayDib(bitmap, b)) << depth;
      EXPECT_EQ(std::memcmp(&direct, &bitmap, sizeof direct), 0) << depth;
      EXPECT_EQ(a, b) << depth << " mirror " << mirror;
    }
    doc_->ReleaseImage();
    EXPECT_TRUE(view.SaveDisplayPng(Win("kept.png"))) << depth;
    doc_->Image().m_nImageLoadState = 0;
  }
}

// Below 800 rows the band height (h / 400) x 400 - 400 was 0 or less: every
// attempt failed. A band keeps at least 400 rows.
TEST_F(DisplayPipelineTest, BandHeightStaysPositiveBelow800RowsFault) {
  SKIP_WITHOUT_PROGRAM("convert");
  const std::string tall = Make("tall.bmp", "-size 10x600 gradient: -type TrueColor BMP3:");
  frame_->Ui().Gdi().SetPixelBudget(10 * 500);
  CQelView view(*doc_);
  Show(view, tall);
  view.Image().m_nBandIndex = 7;  // past the end: the last band is shown
  view.RefreshImage(CQelView::RefreshMode::kKeepScroll);
  ASSERT_TRUE(view.Image().m_pDisplayBitmap);
  EXPECT_EQ(view.Image().m_pDisplayBitmap->height, 200);
  EXPECT_EQ(view.Image().m_nBandTop, 400);
}

TEST_F(DisplayPipelineTest, ABudgetThatRefusesEverySurfaceShowsString332) {
  SKIP_WITHOUT_PROGRAM("convert");
  const std::string rose = Make("rose.bmp", "rose: BMP3:");
  frame_->Ui().Gdi().SetPixelBudget(0);
  CQelView view(*doc_);
  Show(view, rose);
  EXPECT_FALSE(view.Image().m_pDisplayBitmap);
  EXPECT_FALSE(frame_->Ui().MessageLog().empty());
  EXPECT_EQ(frame_->Ui().MessageLog().back().text, LoadString(IDS_IMAGE_CANNOT_SHOW));
  EXPECT_FALSE(view.SaveDisplayPng(Win("none.png")));
}

// Work sizes at zoom 9 were 32-bit products that overflowed: they are 64-bit and
// capped by the "bmpdata" volume, so the rendering keeps the rows that fit.
TEST_F(DisplayPipelineTest, ZoomNineWorkSizeDoesNotOverflowFault) {
  SKIP_WITHOUT_PROGRAM("convert");
  const std::string big = Make("big.bmp", "-size 2000x1200 xc:navy -type Palette BMP3:");
  CQelView view(*doc_);
  Show(view, big, [](ImageConvertSettings& s) { s.m_nZoomIndex = 9; });
  ASSERT_TRUE(view.Image().m_pDisplayBitmap);
  EXPECT_EQ(view.Image().m_nPaintWidth, 32000);
  const int64_t stride = DibStride(32000, view.Image().m_nPaintBits);
  EXPECT_LE(int64_t{view.Image().m_nPaintHeight} * stride, doc_->m_nBmpDataLimit);
  EXPECT_GT(view.Image().m_nPaintHeight, 0);
}

TEST_F(DisplayPipelineTest, EveryZoomOfAOnePixelImage) {
  SKIP_WITHOUT_PROGRAM("convert");
  for (const char* depth : {"-type Bilevel", "-type Palette", "-type TrueColor"}) {
    const std::string one = Make("one.bmp", std::string("xc:white -resize 1x1 ") + depth + " BMP3:");
    for (int zoom = 1; zoom <= 9; ++zoom) {
      for (int rotation = 0; rotation < 4; ++rotation) {
        CQelView view(*doc_);
        Show(view, one);
        view.Image().m_ImageSettings.m_nZoomIndex = zoom;
        view.Image().m_ImageSettings.m_nRotation = rotation;
        view.Image().m_ImageSettings.m_bMirror = 1;
        view.RefreshImage(CQelView::RefreshMode::kKeepScroll);
        ASSERT_TRUE(view.Image().m_pDisplayBitmap) << depth << " zoom " << zoom;
        EXPECT_EQ(view.Image().m_nPaintWidth, zoom > 5 ? 1 << (zoom - 5) : 1);
      }
    }
  }
}

TEST_F(DisplayPipelineTest, UpdateLockIsReleasedAfterEveryRendering) {
  SKIP_WITHOUT_PROGRAM("convert");
  const std::string rose = Make("rose.bmp", "rose: BMP3:");
  CQelView view(*doc_);
  Show(view, rose);
  for (int zoom = 1; zoom <= 9; ++zoom) {
    view.Image().m_ImageSettings.m_nZoomIndex = zoom;
    view.RefreshImage(CQelView::RefreshMode::kKeepScroll);
    EXPECT_EQ(doc_->m_nLockUpdateDepth, 0);
    EXPECT_EQ(frame_->Ui().LockedWindow(), 0);
  }
  EXPECT_EQ(doc_->Image().m_nImageLoadState, 2);
}

}  // namespace
