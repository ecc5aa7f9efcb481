// Screen capture on the virtual desktop (no DISPLAY) and, under an Xvfb the test
// starts and stops itself, on a real X server compared with ImageMagick's `import`.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>

#include "app/Globals.h"
#include "image/ImageTestSupport.h"
#include "image/ViewImageState.h"
#include "platform/os/Files.h"
#include "support/TestEnv.h"
#include "view/QelView.h"

namespace {

using testenv::Quote;
using testenv::Shell;

class CaptureTest : public testenv::DocTest {
 protected:
  void SetUp() override {
    unsetenv("DISPLAY");
    view_ = std::make_unique<CQelView>(*doc_);
  }
  void AnswerSaveDialog(const std::string& name) {
    frame_->Ui().QueueDialog(plat::DialogAnswer{plat::IDOK, {{"path", Win(name)}}});
  }
  std::unique_ptr<CQelView> view_;
};

TEST_F(CaptureTest, DesktopOfTheVirtualScreenWithAPlacedWindow) {
  SKIP_WITHOUT_PROGRAM("convert");
  frame_->Ui().GetScreen().PlaceWindow(CRect{700, 100, 800, 300}, RGB(255, 0, 0), "red");
  AnswerSaveDialog("desk.png");
  ASSERT_EQ(view_->CaptureScreen(1), 0);
  const imagetest::Rgb desk = imagetest::PeerRgb(dir_.HostPath("desk.png"));
  ASSERT_EQ(desk.width, 1024);
  ASSERT_EQ(desk.height, 768);
  auto at = [&](int x, int y, int c) { return desk.pixels[static_cast<size_t>((y * 1024 + x) * 3 + c)]; };
  EXPECT_EQ(at(750, 200, 0), 255);
  EXPECT_EQ(at(750, 200, 1), 0);
  EXPECT_EQ(at(10, 10, 2), 165) << "the frame is minimised while the desktop is taken";
  EXPECT_FALSE(frame_->Ui().GetScreen().FrameMinimized()) << "and restored afterwards";
  EXPECT_EQ(doc_->m_strPathName, Win("desk.png")) << "the saved file is shown";
}

TEST_F(CaptureTest, ClickedWindowComesToTheFrontAfterADelay) {
  SKIP_WITHOUT_PROGRAM("convert");
  plat::Screen& screen = frame_->Ui().GetScreen();
  screen.PlaceWindow(CRect{100, 100, 300, 220}, RGB(0, 0, 255), "blue");
  screen.BringToFront("blue", frame_->Ui().NowMs() + 5000);
  AnswerSaveDialog("win.png");
  ASSERT_EQ(view_->CaptureScreen(40), 0);
  EXPECT_EQ(testenv::Shell("identify -format '%wx%h' " + Quote(dir_.HostPath("win.png"))), "200x120");
  EXPECT_EQ(Shell("convert " + Quote(dir_.HostPath("win.png")) + " -format '%[fx:int(255*mean.b)]' info:"), "255");
}

// Waiting for the user's window never ended: it ends after a time limit or Esc,
// with nothing saved and the frame restored.
TEST_F(CaptureTest, ForegroundWaitEndsWithoutAWindowFault) {
  AnswerSaveDialog("none.png");
  EXPECT_EQ(view_->CaptureScreen(40), -1);
  EXPECT_FALSE(plat::Exists(Win("none.png")));
  EXPECT_FALSE(frame_->Ui().GetScreen().FrameMinimized());
  frame_->Ui().PushKeyDown(plat::VK_ESCAPE);
  const uint64_t before = frame_->Ui().NowMs();
  AnswerSaveDialog("none.png");
  EXPECT_EQ(view_->CaptureScreen(41), -1);
  EXPECT_LT(frame_->Ui().NowMs() - before, 5000u) << "Esc ends the wait at once";
}

// Faults: captures that failed said nothing or saved the wrong thing. A DISPLAY
// naming no server gave a picture of the virtual desktop; a .gif target got BMP
// bytes; a series marker of no pictures and a wait for a window that ended failed
// without a reason; a series to .jpeg wrote "_0001.peg". Each failure now says why
// and writes nothing.
TEST_F(CaptureTest, CaptureFailuresSaidNothingOrSavedTheWrongThingFault) {
  struct Case {
    const char* fault;
    int code;
    const char* name;      // the answer to the save dialog
    const char* display;   // DISPLAY, or nullptr for none
    bool green;            // a window comes to the front
    const char* said;      // in the last message; nullptr when it succeeds
    const char* written;   // the file a success writes
  };
  const Case cases[] = {
      {"DISPLAY names no server", 1, "desk.png", ":93517", false, "DISPLAY=:93517: no X server answers", nullptr},
      {"wait ended by Esc", 40, "esc.png", nullptr, false, "ended with Esc", nullptr},
      {"wait past its limit", 40, "late.png", nullptr, false, "no other window came to the front in 60 s", nullptr},
      {"GIF target", 40, "w.gif", nullptr, true, "not as .gif", nullptr},
      {"series marker of no pictures", 41, "z#0s500m.png", nullptr, true, "gives no pictures", nullptr},
      {"series to .jpeg", 41, "j#1s500m.jpeg", nullptr, true, nullptr, "j#1s500m_0001.jpeg"},
  };
  plat::Screen& screen = frame_->Ui().GetScreen();
  screen.PlaceWindow(CRect{0, 0, 100, 100}, RGB(0, 128, 0), "green");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    if (c.display) setenv("DISPLAY", c.display, 1);
    if (c.green) screen.BringToFront("green", frame_->Ui().NowMs() + 1);
    if (std::string(c.fault).find("Esc") != std::string::npos) frame_->Ui().PushKeyDown(plat::VK_ESCAPE);
    if (!c.display) AnswerSaveDialog(c.name);  // no server: refused before the name is asked
    EXPECT_EQ(view_->CaptureScreen(c.code), c.said ? -1 : 0);
    unsetenv("DISPLAY");
    if (c.said) {
      ASSERT_FALSE(frame_->Ui().MessageLog().empty());
      EXPECT_NE(frame_->Ui().MessageLog().back().text.find(c.said), std::string::npos) << frame_->Ui().MessageLog().back().text;
      EXPECT_FALSE(plat::Exists(Win(c.name)));
    } else {
      EXPECT_EQ(testenv::ReadHostFile(dir_.HostPath(c.written)).substr(0, 2), "\xFF\xD8") << "a JPEG";
    }
  }
}

TEST_F(CaptureTest, SeriesFollowsTheNameMarkerAndEndsWhenAnotherWindowComesUp) {
  plat::Screen& screen = frame_->Ui().GetScreen();
  screen.PlaceWindow(CRect{0, 0, 100, 100}, RGB(0, 128, 0), "green");
  screen.PlaceWindow(CRect{200, 0, 300, 100}, RGB(0, 0, 128), "other");
  const uint64_t now = frame_->Ui().NowMs();
  screen.BringToFront("green", now + 1);
  AnswerSaveDialog("s#2s500m.png");
  ASSERT_EQ(view_->CaptureScreen(41), 0);
  for (int n = 1; n <= 4; ++n) EXPECT_TRUE(plat::Exists(Win("s#2s500m_000" + std::to_string(n) + ".png"))) << n;
  EXPECT_FALSE(plat::Exists(Win("s#2s500m_0005.png")));
  // Another window to the front ends a series at once.
  screen.BringToFront("green", frame_->Ui().NowMs() + 1);
  screen.BringToFront("other", frame_->Ui().NowMs() + 2600);
  AnswerSaveDialog("t#10s1000m.png");
  ASSERT_EQ(view_->CaptureScreen(41), 0);
  EXPECT_TRUE(plat::Exists(Win("t#10s1000m_0001.png")));
  EXPECT_FALSE(plat::Exists(Win("t#10s1000m_0004.png")));
}

// A series marker with a second number of 0 divided by zero: the defaults stay.
TEST_F(CaptureTest, SeriesWithZeroIntervalKeepsTheDefaultsFault) {
  plat::Screen& screen = frame_->Ui().GetScreen();
  screen.PlaceWindow(CRect{0, 0, 100, 100}, RGB(0, 128, 0), "green");
  screen.BringToFront("green", frame_->Ui().NowMs() + 1);
  AnswerSaveDialog("z#5s0m.bmp");
  ASSERT_EQ(view_->CaptureScreen(41), 0);
  EXPECT_TRUE(plat::Exists(Win("z#5s0m_0010.bmp")));
  EXPECT_FALSE(plat::Exists(Win("z#5s0m_0011.bmp")));
}

// A capture from the list (code 2) of shot07.png saves shot08.png; one of shot.png
// saves shotTMP01.png; an existing name is stepped over, never overwritten.
TEST_F(CaptureTest, NumberedCaptureStepsToTheNextFreeNameFault) {
  SKIP_WITHOUT_PROGRAM("convert");
  plat::Screen& screen = frame_->Ui().GetScreen();
  screen.PlaceWindow(CRect{0, 0, 100, 100}, RGB(0, 128, 0), "green");
  Shell("convert rose: " + Quote(dir_.HostPath("shot07.png")) + " && cp " + Quote(dir_.HostPath("shot07.png")) + " " +
        Quote(dir_.HostPath("shot08.png")));
  ASSERT_EQ(doc_->LoadDocument(Win("shot07.png")), 0);
  const std::string kept = testenv::ReadHostFile(dir_.HostPath("shot08.png"));
  screen.BringToFront("green", frame_->Ui().NowMs() + 1);
  ASSERT_EQ(view_->CaptureScreen(2), 0);
  EXPECT_EQ(testenv::ReadHostFile(dir_.HostPath("shot08.png")), kept);
  EXPECT_TRUE(plat::Exists(Win("shot09.png")));
  Shell("convert rose: " + Quote(dir_.HostPath("shot.png")));
  ASSERT_EQ(doc_->LoadDocument(Win("shot.png")), 0);
  screen.BringToFront("green", frame_->Ui().NowMs() + 1);
  ASSERT_EQ(view_->CaptureScreen(2), 0);
  EXPECT_TRUE(plat::Exists(Win("shotTMP01.png")));
}

// The empty rectangle a view starts with was taken for a region: the data screen
// was cut to the pane (640 x 480; 19 rows short of a 499-row picture). Without a
// region the picture is taken page by page, column by column, whole.
TEST_F(CaptureTest, DataScreenWithoutARegionTakesTheWholePictureFault) {
  SKIP_WITHOUT_PROGRAM("compare");
  for (const char* size : {"300x200", "700x499", "1300x1000", "641x481"}) {
    const std::string pic = std::string("p") + size + ".bmp";
    Shell("convert -size " + std::string(size) + " xc: +noise Random -type TrueColor BMP3:" + Quote(dir_.HostPath(pic)));
    ASSERT_EQ(doc_->LoadDocument(Win(pic)), 0) << size;
    const std::string out = std::string("d") + size + ".png";
    AnswerSaveDialog(out);
    ASSERT_EQ(view_->CaptureScreen(0), 0) << size;
    EXPECT_EQ(Shell("compare -metric AE " + Quote(dir_.HostPath(out)) + " " + Quote(dir_.HostPath(pic)) +
                    " null: 2>&1"),
              "0")
        << size;
  }
  // Zoomed to 200 %: what the pipeline rendered, not the file.
  view_->Image().m_ImageSettings.m_nZoomIndex = 6;
  view_->RefreshImage(CQelView::RefreshMode::kKeepScroll);
  ASSERT_TRUE(view_->SaveDisplayPng(Win("shown.png")));
  AnswerSaveDialog("zoomed.png");
  ASSERT_EQ(view_->CaptureScreen(0), 0);
  EXPECT_EQ(Shell("identify -format '%wx%h' " + Quote(dir_.HostPath("zoomed.png"))), "1282x962");
  EXPECT_EQ(Shell("compare -metric AE " + Quote(dir_.HostPath("zoomed.png")) + " " + Quote(dir_.HostPath("shown.png")) +
                  " null: 2>&1"),
            "0");
}

TEST_F(CaptureTest, PdfTargetIsRefusedForTheDesktop) {
  AnswerSaveDialog("desk.pdf");
  EXPECT_EQ(view_->CaptureScreen(1), -1);
  EXPECT_FALSE(plat::Exists(Win("desk.pdf")));
}

}  // namespace
