// The MCI player: lengths against ffprobe and soxi on files the tools make here,
// positions on the program clock, video frames, MIDI tempo maps, hostile media, and
// the exact samples played through an ALSA file device in the test's HOME.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/mci/Mci.h"
#include "platform/mci/MciTestSupport.h"
#include "support/TestFiles.h"

namespace {

using mcitest::MciAudioTest;
using mcitest::MciTest;
using testenv::Quote;
using testenv::Shell;

// ffprobe's format duration truncated to milliseconds, read from its text.
int64_t ProbeMs(const std::string& host) {
  std::string text = Shell("ffprobe -v error -show_entries format=duration -of default=nw=1:nk=1 " + Quote(host));
  const size_t dot = text.find('.');
  if (dot == std::string::npos) return -1;
  std::string frac = text.substr(dot + 1, 3);
  while (frac.size() < 3) frac += '0';
  return std::stoll(text.substr(0, dot)) * 1000 + std::stoll(frac);
}

TEST_F(MciTest, LengthsAgreeWithFfprobe) {
  SKIP_WITHOUT_PROGRAM("ffmpeg");
  SKIP_WITHOUT_PROGRAM("ffprobe");
  SKIP_WITHOUT_PROGRAM("sox");
  const std::string ff = "ffmpeg -y -loglevel error ";
  const std::string video = "-f lavfi -i testsrc=d=2.3:s=160x120:r=25 -f lavfi -i sine=d=2.3 -shortest ";
  struct Case {
    const char* name;
    std::string command;
    const char* type;
    bool window;
  };
  const Case cases[] = {
      {"a.wav", "sox -n -r 44100 -c 2 -b 16", "waveaudio", false},
      {"a.mp3", ff + "-f lavfi -i sine=d=3.3 -ac 2", "waveaudio", false},
      {"a.wma", ff + "-f lavfi -i sine=d=2.2 -c:a wmav2", "waveaudio", false},
      {"a.avi", ff + video + "-c:v mpeg4 -c:a pcm_s16le", "", true},
      {"a.mpg", ff + video + "-c:v mpeg1video -c:a mp2", "", true},
      {"a.mp4", ff + video + "-c:v mpeg4 -c:a aac", "", true},
  };
  for (const Case& c : cases) {
    std::string host = std::string(c.name) == "a.wav" ? dir_.HostPath(c.name) : Make(c.name, c.command);
    if (std::string(c.name) == "a.wav") Shell(c.command + " " + Quote(host) + " synth 2.5 sine 440 2>/dev/null");
    const std::string open = std::string("open \"") + Win(c.name) + "\" " + (c.window ? "parent 1 style child" : "type " + std::string(c.type));
    ASSERT_EQ(Error(open), 0u) << c.name;
    ASSERT_EQ(Error("set \"" + Win(c.name) + "\" time format milliseconds"), 0u);
    const std::string length = Send("status \"" + Win(c.name) + "\" length");
    EXPECT_EQ(std::stoll(length), ProbeMs(host)) << c.name;
    if (c.window) {
      EXPECT_EQ(Send("where \"" + Win(c.name) + "\" window"), "0 0 160 120") << c.name;
      EXPECT_EQ(Send("status \"" + Win(c.name) + "\" nominal frame rate"), "25000") << c.name;
    }
    EXPECT_EQ(Error("close \"" + Win(c.name) + "\""), 0u);
  }
  SKIP_WITHOUT_PROGRAM("soxi");
  const std::string soxi = Shell("soxi -D " + Quote(dir_.HostPath("a.wav")));
  EXPECT_EQ(std::stod(soxi), 2.5);
}

TEST_F(MciTest, PositionFollowsTheProgramClock) {
  mci_.SetAudioDevice("null");
  Shell("sox -n -r 8000 -c 2 -b 16 " + Quote(dir_.HostPath("c.wav")) + " synth 3 sine 300");
  const std::string dev = "\"" + Win("c.wav") + "\"";
  ASSERT_EQ(Error("open " + dev + " type waveaudio buffer 6"), 0u);
  ASSERT_EQ(Error("play " + dev), 0u);
  ui_.Advance(1200);
  EXPECT_EQ(Send("status " + dev + " position"), "1200");
  ASSERT_EQ(Error("stop " + dev), 0u);
  ui_.Advance(5000);
  EXPECT_EQ(Send("status " + dev + " position"), "1200");
  ASSERT_EQ(Error("seek " + dev + " to 2500"), 0u);
  EXPECT_EQ(Send("status " + dev + " position"), "2500");
  ASSERT_EQ(Error("play " + dev + " from 2000"), 0u);
  ui_.Advance(10000);
  // Clamped to the length, where the device stops.
  EXPECT_EQ(Send("status " + dev + " position"), "3000");
  EXPECT_EQ(Error("close " + dev), 0u);
}

TEST_F(MciTest, VideoStepsByItsFrames) {
  SKIP_WITHOUT_PROGRAM("ffmpeg");
  Make("v.avi", "ffmpeg -y -loglevel error -f lavfi -i testsrc=d=2:s=64x48:r=20 -c:v mpeg4");
  mci_.SetAudioDevice("null");
  const std::string dev = "\"" + Win("v.avi") + "\"";
  ASSERT_EQ(Error("open " + dev + " parent 3 style child"), 0u);
  ASSERT_EQ(Error("play " + dev + " from 500"), 0u);
  ui_.Advance(100);
  ASSERT_EQ(Error("pause " + dev), 0u);
  ASSERT_EQ(Error("step " + dev + " by 1"), 0u);
  EXPECT_EQ(Send("status " + dev + " position"), "650");
  ASSERT_EQ(Error("step " + dev + " by -1"), 0u);
  EXPECT_EQ(Send("status " + dev + " position"), "600");
  ASSERT_EQ(Error("put " + dev + " window at 1 1 128 96"), 0u);
  EXPECT_EQ(Send("where " + dev + " window"), "1 1 128 96");
  EXPECT_EQ(Error("window " + dev + " state restore"), 0u);
  EXPECT_EQ(Error("close " + dev), 0u);
}

TEST_F(MciTest, MidiPlaysOnTheClockWithTheLengthOfItsTempoMap) {
  // One quarter at 120 bpm, then one at 60: 1.5 s.
  const std::string midi = std::string("MThd\0\0\0\6\0\0\0\1\1\xE0", 14) + std::string("MTrk\0\0\0\x14", 8) +
                           std::string("\0\xFF\x51\x03\x07\xA1\x20\x83\x60\xFF\x51\x03\x0F\x42\x40\x83\x60\xFF\x2F\x00", 20);
  testenv::WriteHostFile(dir_.HostPath("m.mid"), midi);
  const std::string dev = "\"" + Win("m.mid") + "\"";
  ASSERT_EQ(Error("open " + dev + " type sequencer"), 0u);
  EXPECT_EQ(Send("status " + dev + " length"), "1500");
  ASSERT_EQ(Error("play " + dev), 0u);
  ui_.Advance(400);
  EXPECT_EQ(Send("status " + dev + " position"), "400");
  EXPECT_EQ(Error("close " + dev), 0u);
}

// Hostile media: a cut file, a file that is no media, a huge stated duration.
TEST_F(MciTest, HostileMediaGivesErrorsNotCrashes) {
  SKIP_WITHOUT_PROGRAM("sox");
  Shell("sox -n -r 8000 -c 1 -b 16 " + Quote(dir_.HostPath("h.wav")) + " synth 1 sine 300");
  std::string wav = testenv::ReadHostFile(dir_.HostPath("h.wav"));
  testenv::WriteHostFile(dir_.HostPath("cut.wav"), wav.substr(0, 50));
  testenv::WriteHostFile(dir_.HostPath("text.wav"), "this is no wave file at all");
  // A data chunk claiming 4 GB: the length is what the container states, within range.
  std::string huge = wav;
  huge[40] = huge[41] = huge[42] = huge[43] = '\xFF';
  testenv::WriteHostFile(dir_.HostPath("huge.wav"), huge);
  testenv::WriteHostFile(dir_.HostPath("none.mid"), "MThd");
  mci_.SetAudioDevice("null");
  for (const char* name : {"cut.wav", "text.wav", "huge.wav", "none.mid"}) {
    const std::string dev = "\"" + Win(name) + "\"";
    const plat::MCIERROR e = Error("open " + dev);
    if (e != 0) {
      EXPECT_EQ(e, plat::MCIERR_INVALID_FILE) << name;
      continue;
    }
    const std::string length = Send("status " + dev + " length");
    EXPECT_GE(std::stoll(length), 0) << name;
    EXPECT_EQ(Error("play " + dev), 0u) << name;
    ui_.Advance(3000);
    EXPECT_EQ(Error("close " + dev), 0u) << name;
  }
}

std::vector<int16_t> Samples(const std::string& bytes) {
  std::vector<int16_t> s(bytes.size() / 2);
  std::memcpy(s.data(), bytes.data(), s.size() * 2);
  return s;
}

TEST_F(MciAudioTest, PlayedSamplesAreTheDecodedFileWithTheGain) {
  SKIP_WITHOUT_PROGRAM("ffmpeg");
  SKIP_WITHOUT_PROGRAM("sox");
  Shell("sox -n -r 22050 -c 2 -b 16 " + Quote(dir_.HostPath("t.wav")) + " synth 1.5 sine 300 sine 500 2>/dev/null");
  Shell("ffmpeg -y -loglevel error -i " + Quote(dir_.HostPath("t.wav")) + " -f s16le " + Quote(dir_.HostPath("ref.raw")));
  const std::vector<int16_t> ref = Samples(testenv::ReadHostFile(dir_.HostPath("ref.raw")));
  ASSERT_EQ(ref.size(), 22050u * 3);
  const uint32_t left = 0x6000, right = 0xE000;
  mci_.SetWaveVolume(right << 16 | left);
  const std::string dev = "\"" + Win("t.wav") + "\"";
  ASSERT_EQ(Error("open " + dev + " type waveaudio buffer 6"), 0u);
  ASSERT_EQ(Error("play " + dev), 0u);
  ui_.Advance(700);
  // A stop in the middle plays nothing while stopped, then goes on from the same sample.
  ASSERT_EQ(Error("stop " + dev), 0u);
  ui_.Advance(400);
  ASSERT_EQ(Error("play " + dev + " from " + Send("status " + dev + " position")), 0u);
  ui_.Advance(2000);
  ASSERT_EQ(Error("close " + dev), 0u);
  const std::vector<int16_t> out = Samples(testenv::ReadHostFile(dir_.HostPath("out.raw")));
  ASSERT_GE(out.size(), ref.size());
  for (size_t i = 0; i < ref.size(); ++i) {
    const int32_t gain = static_cast<int32_t>(i % 2 ? right : left);
    ASSERT_EQ(out[i], static_cast<int16_t>(ref[i] * gain / 0xFFFF)) << "sample " << i;
  }
  for (size_t i = ref.size(); i < out.size(); ++i) ASSERT_EQ(out[i], 0) << "after the end, sample " << i;
}

}  // namespace
