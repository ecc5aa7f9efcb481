// The player and the recorder driven by scripts of the built program, with an ALSA
// file device in the test's HOME: the samples played are ffmpeg's decoding of the
// file with the volume's gain, the samples recorded are the input file's.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "support/TestEnv.h"

namespace {

using testenv::Quote;
using testenv::Shell;

class MediaScriptTest : public ::testing::Test {
 protected:
  MediaScriptTest() {
    testenv::WriteHostFile(dir_.HostPath(".asoundrc"), "pcm.pelnorixtest {\n type file\n slave.pcm null\n file \"" +
                                                           dir_.HostPath("out.raw") + "\"\n infile \"" +
                                                           dir_.HostPath("in.raw") + "\"\n format raw\n}\n");
  }
  std::string Run(const std::string& script, int* status) {
    testenv::WriteHostFile(dir_.HostPath("s.script"), script);
    return Shell("cd " + Quote(dir_.Host()) + " && HOME=" + Quote(dir_.Host()) + " PELNORIX_HOME=" +
                     Quote(dir_.HostPath("home")) + " " + Quote(PELNORIX_BINARY) + " --script s.script 2>" +
                     Quote(dir_.HostPath("err.txt")),
                 status);
  }
  std::string Err() { return testenv::ReadHostFile(dir_.HostPath("err.txt")); }
  testenv::TempDir dir_;
};

std::vector<int16_t> Samples(const std::string& bytes) {
  std::vector<int16_t> s(bytes.size() / 2);
  std::memcpy(s.data(), bytes.data(), s.size() * 2);
  return s;
}

TEST_F(MediaScriptTest, PlayerStatusAndTheSamplesPlayed) {
  SKIP_WITHOUT_PROGRAM("sox");
  SKIP_WITHOUT_PROGRAM("ffmpeg");
  Shell("sox -n -r 16000 -c 2 -b 16 " + Quote(dir_.HostPath("two words.wav")) + " synth 2.5 sine 300 sine 700 2>/dev/null");
  Shell("ffmpeg -y -loglevel error -i " + Quote(dir_.HostPath("two words.wav")) + " -f s16le " + Quote(dir_.HostPath("ref.raw")));
  int status = -1;
  const std::string out = Run(
      "set audiodev=pelnorixtest\n"
      "open \"two words.wav\"\n"
      "command zoom-out\n"
      "command play\n"
      "wait 1000\n"
      "command zoom-out\n"
      "print status\n"
      "command pause\n"
      "wait 5000\n"
      "command forward\n"
      "print status\n"
      "command pause\n"
      "wait 3000\n"
      "print status\n",
      &status);
  EXPECT_EQ(status, 0) << Err();
  // The first zoom-out came before the play, with the player idle: it did nothing.
  EXPECT_EQ(out,
            "　　停止　【再生】　一時停止　   : posi = 0 min 01 sec / 0 min 02 sec    vol=112 | ------------0------------------  \n"
            "　　停止　　再生　【一時停止】   : posi = 0 min 01.12 sec / 0 min 02.50 sec    vol=112 | -------------0-----------------  \n"
            "　【停止】　再生　　一時停止 | ---------------------------0---  \n");
  // The first second at full volume; the pause and the step forward skip to 1.125 s,
  // from where the rest plays at the volume of one step down, 0xE000.
  const std::vector<int16_t> ref = Samples(testenv::ReadHostFile(dir_.HostPath("ref.raw")));
  const std::vector<int16_t> played = Samples(testenv::ReadHostFile(dir_.HostPath("out.raw")));
  ASSERT_EQ(ref.size(), 2u * 40000);
  std::vector<int16_t> expected(ref.begin(), ref.begin() + 2 * 16000);
  for (size_t i = 2 * 18000; i < ref.size(); ++i) expected.push_back(static_cast<int16_t>(ref[i] * 0xE000 / 0xFFFF));
  ASSERT_GE(played.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(played[i], expected[i]) << "sample " << i;
  for (size_t i = expected.size(); i < played.size(); ++i) ASSERT_EQ(played[i], 0) << "after the end, sample " << i;
}

TEST_F(MediaScriptTest, RecorderNamesItsFileByTheFixedClock) {
  SKIP_WITHOUT_PROGRAM("sox");
  SKIP_WITHOUT_PROGRAM("soxi");
  Shell("sox -n -r 48000 -c 2 -b 16 -t raw " + Quote(dir_.HostPath("in.raw")) + " synth 6 sine 200 sine 900 2>/dev/null");
  int status = -1;
  Run("set audiodev=pelnorixtest\n"
      "set clock=2024-03-05T14:07:09\n"
      "set recrate=48\n"
      "command record\n"
      "wait 1500\n"
      "command pause\n"
      "wait 4000\n"
      "command pause\n"
      "wait 1500\n"
      "command record\n"
      "expect text \"Sampling frequency 48000 Hz\"\n",
      &status);
  EXPECT_EQ(status, 0) << Err();
  const std::string wav = testenv::ReadHostFile(dir_.HostPath("audio_240305_140709.wav"));
  ASSERT_EQ(wav.size(), 44u + 3 * 192000);
  EXPECT_EQ(wav.substr(44), testenv::ReadHostFile(dir_.HostPath("in.raw")).substr(0, 3 * 192000));
  EXPECT_EQ(Shell("soxi -D " + Quote(dir_.HostPath("audio_240305_140709.wav"))), "3.000000\n");
  // A bad device: the error, no recording state, no file.
  Run("set audiodev=nosuchdevice\nset clock=2024-03-05T15:00:00\ncommand record\ncommand record\n", &status);
  EXPECT_NE(Err().find("audiodev"), std::string::npos) << Err();
  EXPECT_FALSE(testenv::ReadHostFile(dir_.HostPath("audio_240305_150000.wav")).size() > 0);
}

}  // namespace
