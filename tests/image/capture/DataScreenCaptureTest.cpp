// Captures through scripts on pictures made by ImageMagick. The data screen: a region
// is taken as the picture shows under it, a region too low to grab is refused, a
// picture larger than the pane is taken page by page, asking before each next page,
// and a write that fails fails the capture. The clicked-window series on the
// virtual desktop asks before it replaces its numbered files.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

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
// written (and so is a zoomed picture the display cannot render, with its reason). A picture of two columns and two pages each was taken without a word;
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

  // A zoomed picture the display could not render was taken as the blank pane, or
  // failed without a reason: it fails saying what it takes, before any prompt.
  Sh("convert -size 4000x3000 gradient:red-blue -quality 90 big.jpg");
  RunScript("open big.jpg\ncommand ID_IMAGE_ZOOM_IN\n" + Capture("zoomed.png"), &status);
  EXPECT_EQ(status, 1);
  EXPECT_NE(Err().find("zoomed.png: the picture could not be rendered at this zoom: it takes 137 MB, over the picture "
                       "volume of 32 MB"),
            std::string::npos)
      << Err();
  EXPECT_EQ(Err().find("Push OK"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir_.HostPath("zoomed.png")));
}

// A data-screen capture to .pdf on a full disk wrote nothing, said nothing and
// exited 0: the PDF's write was not checked once its JPEG was made. Every target
// fails alike now: exit 1, the system's message naming the file, the user's file of
// that name as it was and no work file left beside it.
TEST_F(DataScreenCaptureTest, DataScreenPdfOnAFullDiskFailedSilentlyFault) {
  Sh("convert -size 300x200 xc: +noise Random -type TrueColor BMP3:p.bmp");
  // The JPEG a PDF wraps is the .jpg capture's: the file-size limit lets it through
  // and stops the PDF, which is that JPEG and a thousand bytes more.
  Run("open p.bmp\n" + Capture("probe.jpg"));
  const int64_t limit = static_cast<int64_t>(std::filesystem::file_size(dir_.HostPath("probe.jpg"))) + 256;
  const std::vector<std::string> targets = {"shot.pdf", "shot.png", "shot.bmp"};
  std::vector<std::pair<std::string, std::string>> files;
  for (const std::string& t : targets) files.emplace_back(t, "the user's " + t);
  MakeFullDisk(files);
  for (const std::string& target : targets) {
    SCOPED_TRACE(target);
    int status = -1;
    RunOnFullDisk("open p.bmp\nanswer path=disk/" + target + "\nanswer ok\ncommand ID_SAVE_DATA_SCREEN\n", &status, limit);
    EXPECT_EQ(status, 1);
    EXPECT_NE(Err().find("disk/" + target + " \nはディスクの空き容量が足りないため書き込めません。"), std::string::npos)
        << Err();
    EXPECT_EQ(testenv::ReadHostFile(dir_.HostPath("disk/" + target)), "the user's " + target);
    EXPECT_EQ(Sh("ls -a disk | grep -c 'part~' | tr -d '\\n'"), "0");
  }
}

// The clicked-window series asked about the chosen name, which it never writes, and
// then replaced the series' numbered files without a word. It asks once, about the
// first of them that is there: Cancel leaves every file as it was, OK replaces them.
TEST_F(DataScreenCaptureTest, ClickedSeriesReplacedItsNumberedFilesUnaskedFault) {
  const std::vector<std::string> old = {"pic#3s1000m.png", "pic#3s1000m_0001.png", "pic#3s1000m_0002.png"};
  for (const std::string& name : old) testenv::WriteHostFile(dir_.HostPath(name), "the user's " + name);
  const std::string series = "window target 100 100 200 120 0000FF\nfront target 3000\nanswer path=pic#3s1000m.png\n";
  for (const char* answer : {"cancel", "ok"}) {
    SCOPED_TRACE(answer);
    int status = -1;
    RunScript(series + "answer " + answer + "\ncommand ID_SAVE_CLICKED_WINDOW_REPEAT\n", &status, "env -u DISPLAY ");
    const std::string err = Err();
    const std::string question = "pic#3s1000m_0001.png は既に存在します。";
    const size_t asked = err.find(question);
    EXPECT_NE(asked, std::string::npos) << err;
    EXPECT_EQ(err.find("既に存在します", asked + question.size()), std::string::npos) << "asked once\n" << err;
    EXPECT_EQ(testenv::ReadHostFile(dir_.HostPath(old[0])), "the user's " + old[0]) << "never written";
    const bool replaced = std::string(answer) == "ok";
    EXPECT_EQ(status, replaced ? 0 : 1) << err;
    for (size_t i = 1; i < old.size(); ++i) {
      EXPECT_EQ(testenv::ReadHostFile(dir_.HostPath(old[i])) == "the user's " + old[i], !replaced) << old[i];
    }
    EXPECT_EQ(std::filesystem::exists(dir_.HostPath("pic#3s1000m_0003.png")), replaced);
  }
  EXPECT_EQ(Sh("identify -format '%wx%h' 'pic#3s1000m_0002.png'"), "200x120");
}

}  // namespace
