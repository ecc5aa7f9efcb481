// The recorder in a pane, with the program clock's date fixed by the "clock"
// setting and the null sound device: the named file, its format and length with
// the paused time left out, and the faults of a failed start, a failed save and a
// work folder whose disk fills.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/Settings.h"
#include "media/MediaState.h"
#include "platform/os/Files.h"
#include "platform/text/CodePage.h"
#include "support/SmallDisk.h"
#include "support/TestEnv.h"
#include "view/QelView.h"

namespace {

class RecordWaveTest : public testenv::DocTest {
 protected:
  RecordWaveTest() : view_(*doc_, 1) {
    doc_->Media().m_strAudioDevice = "null";
    EXPECT_EQ(ApplySetting(*doc_, "clock", "2024-03-05T14:07:09"), "");
    doc_->m_strFileName1 = Win("list") + "\\x.txt";
    plat::MakeDirectory(Win("list"));
  }
  void Wait(uint64_t ms) { frame_->Ui().Advance(ms); }
  std::string Soxi(const std::string& flag, const std::string& name) {
    return testenv::Shell("soxi " + flag + " " + testenv::Quote(dir_.HostPath("list/" + name)));
  }
  CQelView view_;
};

TEST_F(RecordWaveTest, ThreeSecondsAt48kHzWithAPauseLeftOut) {
  SKIP_WITHOUT_PROGRAM("soxi");
  doc_->Media().m_nRecordRate = 48;
  view_.OnRecord();
  EXPECT_EQ(doc_->Media().m_nRecordState, 1);
  Wait(2000);
  doc_->m_nMediaRequest = 32;  // pause, as the pause command stores it while recording
  view_.OnUpdate();
  EXPECT_EQ(doc_->Media().m_nRecordState, 2);
  Wait(4000);
  EXPECT_EQ(frame_->StatusBar().GetPaneText(0), " Recording     0 min 2 sec");
  view_.RecordWave(2);
  Wait(1000);
  view_.OnRecord();
  EXPECT_EQ(doc_->Media().m_nRecordState, 0);
  const std::string name = "audio_240305_140709.wav";
  EXPECT_EQ(Soxi("-r", name), "48000\n");
  EXPECT_EQ(Soxi("-c", name), "2\n");
  EXPECT_EQ(Soxi("-b", name), "16\n");
  EXPECT_EQ(Soxi("-D", name), "3.000000\n");
  // The recording is the current file of the list and shows in the pane.
  EXPECT_EQ(doc_->m_strFileName1, Win("list") + "\\" + name);
  EXPECT_EQ(doc_->m_strPathName, doc_->m_strFileName1);
}

TEST_F(RecordWaveTest, At44kHzOtherwise) {
  SKIP_WITHOUT_PROGRAM("soxi");
  doc_->Media().m_nRecordRate = 44;
  view_.OnRecord();
  Wait(1000);
  view_.OnRecord();
  EXPECT_EQ(Soxi("-r", "audio_240305_140709.wav"), "44100\n");
  EXPECT_EQ(Soxi("-s", "audio_240305_140709.wav"), "44100\n");
}

// Fault: a failed start left the state recording, and the next request saved a
// device that was never opened.
TEST_F(RecordWaveTest, FailedStartLeavesTheStateIdleFault) {
  doc_->Media().m_strAudioDevice = "nosuchdevice";
  view_.OnRecord();
  EXPECT_EQ(doc_->Media().m_nRecordState, 0);
  ASSERT_EQ(frame_->Ui().MessageLog().size(), 1u);
  EXPECT_FALSE(frame_->Ui().HasTimer(&view_, 50));
  // The next request starts again (and fails again) instead of saving.
  view_.OnRecord();
  EXPECT_EQ(doc_->Media().m_nRecordState, 0);
  EXPECT_EQ(frame_->Ui().MessageLog().size(), 2u);
  EXPECT_FALSE(plat::Exists(Win("list") + "\\audio_240305_140709.wav"));
  EXPECT_EQ(doc_->m_strFileName1, Win("list") + "\\x.txt");
}

// Fault: a failed save still made its file the current one.
TEST_F(RecordWaveTest, FailedSaveKeepsTheCurrentFileFault) {
  doc_->m_strFileName1 = Win("gone") + "\\x.txt";
  view_.OnRecord();
  Wait(500);
  view_.OnRecord();
  EXPECT_EQ(doc_->Media().m_nRecordState, 0);
  ASSERT_EQ(frame_->Ui().MessageLog().size(), 1u);
  EXPECT_EQ(doc_->m_strFileName1, Win("gone") + "\\x.txt");
  EXPECT_TRUE(doc_->m_strPathName.empty());
}

// Fault: two recordings started in the same second got one name; the second replaced the first.
TEST_F(RecordWaveTest, RecordingsInTheSameSecondKeepBothFault) {
  SKIP_WITHOUT_PROGRAM("soxi");
  view_.OnRecord();
  Wait(300);
  view_.OnRecord();
  view_.OnRecord();
  Wait(500);
  view_.OnRecord();
  EXPECT_EQ(Soxi("-D", "audio_240305_140709.wav"), "0.300000\n");
  EXPECT_EQ(Soxi("-D", "audio_240305_140709_2.wav"), "0.500000\n");
  EXPECT_EQ(doc_->m_strFileName1, Win("list") + "\\audio_240305_140709_2.wav");
}

// Fault: with the program folder on a 20 MB disk the work file stopped growing near
// 100 s while the status counted on; at the stop the recording was thrown away and
// the message named the save target, which had room. The recording stops where the
// disk filled and says so at once, naming the work folder; the time stops with it;
// whether the record command or the pane's end stops it, what was recorded up to
// the failure is saved whole.
TEST_F(RecordWaveTest, WorkFolderDiskFillsFault) {
  SKIP_WITHOUT_PROGRAM("soxi");
  const struct {
    const char* fault;
    bool paneEnds;  // the pane goes instead of a second record command
  } cases[] = {{"record stops it", false}, {"the pane ends while it is stopped", true}};
  // The one recording in the list's folder (its name follows the clock).
  const auto recording = [&] {
    std::vector<std::string> found;
    for (const auto& e : std::filesystem::directory_iterator(dir_.HostPath("list"))) {
      if (e.path().filename().string().starts_with("audio_")) found.push_back(e.path().filename().string());
    }
    return found;
  };
  testenv::SmallDisk disk(dir_, "program", 20 << 20);
  if (!disk.Mounted()) GTEST_SKIP() << "no tmpfs can be mounted here";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fault);
    for (const std::string& old : recording()) std::remove(dir_.HostPath("list/" + old).c_str());
    const size_t said = frame_->Ui().MessageLog().size();
    auto pane = std::make_unique<CQelView>(*doc_, 2);
    ASSERT_EQ(pane->OnRecord(), 0);
    Wait(300000);
    // Said at once, once: the work folder, the reason.
    ASSERT_EQ(frame_->Ui().MessageLog().size(), said + 1);
    const std::string box = frame_->Ui().MessageLog().back().text;
    EXPECT_NE(box.find(plat::Utf8ToCp932Lossy("録音を止めました")), std::string::npos);
    EXPECT_NE(box.find(plat::ShownPath(plat::FromHostPath(disk.Host()))), std::string::npos) << box;
    EXPECT_NE(box.find("No space left on device"), std::string::npos) << box;
    const std::string status = frame_->StatusBar().GetPaneText(0);
    EXPECT_NE(status.find("Recording stopped"), std::string::npos) << status;
    EXPECT_EQ(status.find(" 5 min"), std::string::npos) << status;
    Wait(5000);
    EXPECT_EQ(frame_->StatusBar().GetPaneText(0), status) << "the time stops with the recording";
    if (c.paneEnds) {
      pane.reset();
    } else {
      EXPECT_EQ(pane->OnRecord(), -1) << "cut, and said so";
    }
    // Saved whole up to the failure: a little under 20 MB of 48,000 Hz stereo.
    ASSERT_EQ(recording().size(), 1u);
    const std::string name = recording()[0];
    const int64_t samples = std::stoll(Soxi("-s", name));
    EXPECT_GT(samples, 48000 * 90);
    EXPECT_LT(samples, 48000 * 110);
    EXPECT_EQ(static_cast<int64_t>(std::filesystem::file_size(dir_.HostPath("list/" + name))), 44 + samples * 4);
    doc_->Media().m_nRecordState = 0;
  }
}

TEST_F(RecordWaveTest, ClockSettingIsCheckedAndKeptAsWritten) {
  EXPECT_EQ(SettingValue(*doc_, "clock"), "2024-03-05T14:07:09");
  EXPECT_NE(ApplySetting(*doc_, "clock", "2023-02-29T00:00:00"), "");
  EXPECT_NE(ApplySetting(*doc_, "clock", "2024-03-05 14:07"), "");
  EXPECT_EQ(ApplySetting(*doc_, "clock", ""), "");
  EXPECT_EQ(SettingValue(*doc_, "clock"), "");
  EXPECT_NE(ApplySetting(*doc_, "recrate", "96"), "");
}

}  // namespace
