// The MCI recorder: the exact samples recorded from an ALSA file device in the test's
// HOME, the pause left out, and the cut at the WAV limit.
#include <gtest/gtest.h>

#include <string>

#include "platform/mci/Mci.h"
#include "platform/mci/MciTestSupport.h"
#include "platform/mci/recorder/MciRecorder.h"
#include "platform/os/Files.h"
#include "support/TestFiles.h"

namespace {

using mcitest::MciAudioTest;
using testenv::Quote;
using testenv::Shell;

TEST_F(MciAudioTest, RecordedSamplesAreTheInputWithThePauseLeftOut) {
  SKIP_WITHOUT_PROGRAM("sox");
  SKIP_WITHOUT_PROGRAM("soxi");
  Shell("sox -n -r 48000 -c 2 -b 16 -t raw " + Quote(dir_.HostPath("in.raw")) + " synth 5 sine 200 sine 700 2>/dev/null");
  const std::string input = testenv::ReadHostFile(dir_.HostPath("in.raw"));
  plat::MCI_OPEN_PARMS open;
  open.wDeviceType = plat::MCI_DEVTYPE_WAVEFORM_AUDIO;
  open.lpstrElementName = "";
  ASSERT_EQ(mci_.SendCommand(0, plat::MCI_OPEN, plat::MCI_OPEN_TYPE | plat::MCI_OPEN_TYPE_ID | plat::MCI_OPEN_ELEMENT, &open), 0u);
  plat::MCI_WAVE_SET_PARMS set;
  set.format = {1, 2, 48000, 192000, 4, 16};
  const uint32_t all = plat::MCI_WAVE_SET_FORMATTAG | plat::MCI_WAVE_SET_CHANNELS | plat::MCI_WAVE_SET_SAMPLESPERSEC |
                       plat::MCI_WAVE_SET_AVGBYTESPERSEC | plat::MCI_WAVE_SET_BLOCKALIGN | plat::MCI_WAVE_SET_BITSPERSAMPLE;
  ASSERT_EQ(mci_.SendCommand(open.wDeviceID, plat::MCI_SET, all, &set), 0u);
  ASSERT_EQ(mci_.SendCommand(open.wDeviceID, plat::MCI_RECORD, 0, nullptr), 0u);
  ui_.Advance(1250);
  ASSERT_EQ(mci_.SendCommand(open.wDeviceID, plat::MCI_PAUSE, plat::MCI_WAIT, nullptr), 0u);
  ui_.Advance(900);
  ASSERT_EQ(mci_.SendCommand(open.wDeviceID, plat::MCI_RESUME, plat::MCI_WAIT, nullptr), 0u);
  ui_.Advance(1750);
  ASSERT_EQ(mci_.SendCommand(open.wDeviceID, plat::MCI_STOP, plat::MCI_WAIT, nullptr), 0u);
  const std::string saved = Win("rec.wav");
  plat::MCI_SAVE_PARMS save;
  save.lpfilename = saved.c_str();
  ASSERT_EQ(mci_.SendCommand(open.wDeviceID, plat::MCI_SAVE, plat::MCI_SAVE_FILE | plat::MCI_WAIT, &save), 0u);
  ASSERT_EQ(mci_.SendCommand(open.wDeviceID, plat::MCI_CLOSE, 0, nullptr), 0u);
  const std::string wav = testenv::ReadHostFile(dir_.HostPath("rec.wav"));
  ASSERT_EQ(wav.size(), 44u + 3 * 192000);
  EXPECT_EQ(wav.substr(44), input.substr(0, 3 * 192000));
  EXPECT_EQ(Shell("soxi -r " + Quote(dir_.HostPath("rec.wav"))), "48000\n");
  EXPECT_EQ(Shell("soxi -c " + Quote(dir_.HostPath("rec.wav"))), "2\n");
  EXPECT_EQ(Shell("soxi -b " + Quote(dir_.HostPath("rec.wav"))), "16\n");
  EXPECT_EQ(Shell("soxi -D " + Quote(dir_.HostPath("rec.wav"))), "3.000000\n");
  // The work file is gone with the device.
  EXPECT_FALSE(plat::Exists(Win("PelnorRec1.tmp")));
}

// Fault: a recording past what a WAV file can state was cut at the limit without a
// word. The device stops there (a limit of one second here), says so, and saves
// what it holds whole: the input's first second.
TEST_F(MciAudioTest, RecordingPastTheWaveLimitWasCutWithoutAWordFault) {
  SKIP_WITHOUT_PROGRAM("sox");
  Shell("sox -n -r 8000 -c 2 -b 16 -t raw " + Quote(dir_.HostPath("in.raw")) + " synth 3 sine 200 2>/dev/null");
  plat::MciRecordDevice recorder(32000);
  ASSERT_EQ(recorder.Open("pelnorixtest", Win("work.tmp")), 0u);
  ASSERT_EQ(recorder.SetFormat({1, 2, 8000, 32000, 4, 16}), 0u);
  ASSERT_EQ(recorder.Record(0), 0u);
  for (uint64_t t = 20; t <= 2500; t += 20) recorder.Pump(t);  // as the host's pump timer does
  EXPECT_TRUE(recorder.Full());
  EXPECT_FALSE(recorder.Recording());
  ASSERT_EQ(recorder.Save(Win("cut.wav")), 0u);
  recorder.Close(2500);
  const std::string wav = testenv::ReadHostFile(dir_.HostPath("cut.wav"));
  ASSERT_EQ(wav.size(), 44u + 32000);
  EXPECT_EQ(wav.substr(44), testenv::ReadHostFile(dir_.HostPath("in.raw")).substr(0, 32000));
}

}  // namespace
