// The recorder in a pane, with the program clock's date fixed by the "clock"
// setting and the null sound device: the named file, its format and length with
// the paused time left out, and the faults of a failed start, a failed save and a
// work folder whose disk fills.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/Settings.h"
#include "media/MediaState.h"
#include "platform/os/Files.h"
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

// Fault: with the program folder on a 20 MB disk the work file stopped near 100 s
// while the status counted on to 5 min; at the stop the recording was thrown away.
// It stops where the disk filled, says so at once naming the work folder, and what
// was recorded is saved whole, whether the record command or the pane's end stops it.
TEST_F(RecordWaveTest, WorkFolderDiskFillsFault) {
  SKIP_WITHOUT_PROGRAM("soxi");
  testenv::SmallDisk disk(dir_, "program", 20 << 20);
  if (!disk.Mounted()) GTEST_SKIP() << "no tmpfs can be mounted here";
  const std::string saved = testenv::Quote(dir_.HostPath("list")) + "/audio_*.wav";  // named by the clock
  for (const bool paneEnds : {false, true}) {
    SCOPED_TRACE(paneEnds ? "the pane ends" : "record stops it");
    testenv::Shell("rm -f " + saved);
    const size_t said = frame_->Ui().MessageLog().size();
    auto pane = std::make_unique<CQelView>(*doc_, 2);
    ASSERT_EQ(pane->OnRecord(), 0);
    Wait(300000);
    ASSERT_EQ(frame_->Ui().MessageLog().size(), said + 1);
    const std::string box = frame_->Ui().MessageLog().back().text;
    EXPECT_NE(box.find(plat::ShownPath(plat::FromHostPath(disk.Host())) + "/TMP/"), std::string::npos) << box;
    EXPECT_NE(box.find("(No space left on device)"), std::string::npos) << box;
    const std::string status = frame_->StatusBar().GetPaneText(0);
    EXPECT_TRUE(status.starts_with(" Recording stopped") && status.find(" 1 min 4") != std::string::npos) << status;
    if (paneEnds) {
      pane.reset();
    } else {
      EXPECT_EQ(pane->OnRecord(), -1) << "cut, and said so";
    }
    // A little under 20 MB of 48,000 Hz stereo, whole.
    const int64_t samples = std::stoll(testenv::Shell("soxi -s " + saved));
    EXPECT_GT(samples, 48000 * 100);
    EXPECT_EQ(std::stoll(testenv::Shell("stat -c %s " + saved)), 44 + samples * 4);
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
