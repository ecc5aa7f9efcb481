// The MCI layer: lengths against ffprobe and soxi on files the tools make here, the
// command strings and their error numbers, positions on the program clock, and the
// exact samples played and recorded through an ALSA file device in the test's HOME.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/mci/AlsaLibrary.h"
#include "platform/mci/decoding/FfmpegLibrary.h"
#include "platform/mci/midi/FluidSynthLibrary.h"
#include "platform/os/Files.h"
#include "platform/mci/Mci.h"
#include "platform/mci/MciParse.h"
#include "platform/mci/recorder/MciRecorder.h"
#include "platform/ui/Ui.h"
#include "support/TestFiles.h"

namespace {

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

class MciTest : public ::testing::Test {
 protected:
  testenv::TempDir dir_;
  plat::UiHost ui_;
  plat::MciHost mci_{ui_};

  std::string Win(const std::string& name) const { return plat::FromHostPath(dir_.HostPath(name)); }
  std::string Send(const std::string& command, plat::MCIERROR* error = nullptr, unsigned length = 50) {
    std::vector<char> reply(length + 1, '\x7F');
    const plat::MCIERROR e = mci_.SendString(command, reply.data(), length);
    if (error) *error = e;
    return reply.data();
  }
  plat::MCIERROR Error(const std::string& command) {
    plat::MCIERROR e = 0;
    Send(command, &e);
    return e;
  }
  std::string Make(const std::string& name, const std::string& command) {
    Shell(command + " " + Quote(dir_.HostPath(name)) + " 2>/dev/null");
    return dir_.HostPath(name);
  }
};

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

TEST_F(MciTest, CommandStringsAndTheirErrors) {
  Shell("sox -n -r 8000 -c 1 -b 16 " + Quote(dir_.HostPath("b c.wav")) + " synth 1 sine 300");
  const std::string dev = "\"" + Win("b c.wav") + "\"";
  struct Case {
    std::string command;
    plat::MCIERROR error;
  };
  const Case cases[] = {
      {"", plat::MCIERR_MISSING_COMMAND_STRING},
      {"play", plat::MCIERR_MISSING_DEVICE_NAME},
      {"open \"" + Win("b c.wav"), plat::MCIERR_NO_CLOSING_QUOTE},
      {"status " + dev + " length", plat::MCIERR_INVALID_DEVICE_NAME},
      {"open \"" + Win("none.wav") + "\" type waveaudio", plat::MCIERR_FILE_NOT_FOUND},
      {"open " + dev + " type telescope", plat::MCIERR_INVALID_DEVICE_NAME},
      {"open " + dev + " type waveaudio buffer six", plat::MCIERR_BAD_INTEGER},
      {"open " + dev + " type waveaudio buffer 6", 0},
      {"open " + dev + " type waveaudio", plat::MCIERR_DEVICE_OPEN},
      {"fly " + dev, plat::MCIERR_UNRECOGNIZED_COMMAND},
      {"play " + dev + " from", plat::MCIERR_MISSING_PARAMETER},
      {"play " + dev + " from 5000", plat::MCIERR_OUTOFRANGE},
      {"play " + dev + " loudly", plat::MCIERR_UNRECOGNIZED_KEYWORD},
      {"set " + dev + " time format frames", plat::MCIERR_BAD_TIME_FORMAT},
      {"step " + dev + " by 1", plat::MCIERR_UNSUPPORTED_FUNCTION},
      {"where " + dev + " window", plat::MCIERR_UNSUPPORTED_FUNCTION},
      // An unquoted path with a blank names another device.
      {"pause " + Win("b c.wav"), plat::MCIERR_INVALID_DEVICE_NAME},
      {"pause " + dev + " wait", 0},
      {"close " + dev, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(Error(c.command), c.error) << c.command;

  // A reply that does not fit its buffer.
  ASSERT_EQ(Error("open " + dev + " type waveaudio"), 0u);
  plat::MCIERROR e = 0;
  EXPECT_EQ(Send("status " + dev + " length", &e, 4), "");
  EXPECT_EQ(e, plat::MCIERR_PARAM_OVERFLOW);
  EXPECT_EQ(Send("status " + dev + " length", &e, 5), "1000");
  EXPECT_EQ(e, 0u);
  // Device names compare without case.
  std::string upper = dev;
  for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  EXPECT_EQ(Error("close " + upper), 0u);

  // A child-window open of a file without pictures has no window.
  ASSERT_EQ(Error("open " + dev + " parent 5 style child"), 0u);
  EXPECT_EQ(Error("where " + dev + " window"), plat::MCIERR_NO_WINDOW);
  EXPECT_EQ(Error("put " + dev + " window at 1 1 10 10"), plat::MCIERR_NO_WINDOW);
}

TEST_F(MciTest, ErrorTextsFitTheirBuffers) {
  char text[128];
  for (plat::MCIERROR e : {plat::MCIERR_DEVICE_OPEN, plat::MCIERR_NO_WINDOW, plat::MCIERR_INVALID_DEVICE_NAME,
                           plat::MCIERR_FILE_NOT_FOUND, plat::MCIERR_PARAM_OVERFLOW, plat::MCIERR_HARDWARE}) {
    ASSERT_TRUE(plat::mciGetErrorString(e, text, sizeof text)) << e;
    EXPECT_GT(std::strlen(text), 4u) << e;
  }
  EXPECT_FALSE(plat::mciGetErrorString(9999, text, sizeof text));
  EXPECT_STREQ(text, "");
  // Cut to fit, never inside a double-byte character.
  char small[6];
  ASSERT_TRUE(plat::mciGetErrorString(plat::MCIERR_FILE_NOT_FOUND, small, sizeof small));
  EXPECT_EQ(std::strlen(small), 4u);
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

// An ALSA file device in a private HOME: what is played lands in out.raw, what is
// recorded comes from in.raw.
class MciAudioTest : public MciTest {
 protected:
  void SetUp() override {
    const char* home = std::getenv("HOME");
    oldHome_ = home ? home : "";
    testenv::WriteHostFile(dir_.HostPath(".asoundrc"),
                           "pcm.pelnorixtest {\n type file\n slave.pcm null\n file \"" + dir_.HostPath("out.raw") +
                               "\"\n infile \"" + dir_.HostPath("in.raw") + "\"\n format raw\n}\n");
    setenv("HOME", dir_.Host().c_str(), 1);
    plat::Alsa()->snd_config_update_free_global();
    mci_.SetAudioDevice("pelnorixtest");
    mci_.SetWorkFolder(Win(""));
  }
  void TearDown() override {
    setenv("HOME", oldHome_.c_str(), 1);
    plat::Alsa()->snd_config_update_free_global();
  }
  std::string oldHome_;
};

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

TEST_F(MciAudioTest, ABadDeviceIsAnErrorNotAFallback) {
  Shell("sox -n -r 8000 -c 1 -b 16 " + Quote(dir_.HostPath("d.wav")) + " synth 1 sine 300");
  mci_.SetAudioDevice("nosuchdevice");
  const std::string dev = "\"" + Win("d.wav") + "\"";
  ASSERT_EQ(Error("open " + dev + " type waveaudio"), 0u);
  EXPECT_EQ(Error("play " + dev), plat::MCIERR_HARDWARE);
  plat::MCI_OPEN_PARMS open;
  open.wDeviceType = plat::MCI_DEVTYPE_WAVEFORM_AUDIO;
  open.lpstrElementName = "";
  EXPECT_EQ(mci_.SendCommand(0, plat::MCI_OPEN, plat::MCI_OPEN_TYPE | plat::MCI_OPEN_TYPE_ID | plat::MCI_OPEN_ELEMENT, &open),
            plat::MCIERR_HARDWARE);
  // The default device falls back to the null device on a machine without a card.
  mci_.SetAudioDevice("default");
  EXPECT_EQ(Error("play " + dev), 0u);
}

TEST(MciParse, WordsQuotesAndIntegers) {
  plat::MciStringCommand c;
  ASSERT_EQ(plat::ParseMciString("  PLAY \"c:\\a b\\x.wav\"  From 12\t", c), 0u);
  EXPECT_EQ(c.verb, "play");
  EXPECT_EQ(c.device, "c:\\a b\\x.wav");
  EXPECT_EQ(c.args, (std::vector<std::string>{"from", "12"}));
  EXPECT_EQ(plat::ParseMciString("play \"\"", c), plat::MCIERR_MISSING_DEVICE_NAME);
  EXPECT_EQ(plat::ParseMciInteger("-1"), -1);
  EXPECT_EQ(plat::ParseMciInteger("+7"), 7);
  EXPECT_FALSE(plat::ParseMciInteger("2147483648").has_value());
  EXPECT_FALSE(plat::ParseMciInteger("1x").has_value());
  EXPECT_FALSE(plat::ParseMciInteger("").has_value());
}

// A quoted empty first word parsed as a command with no verb (found by fuzzing).
TEST(MciParse, EmptyQuotedVerbIsAMissingCommandFault) {
  plat::MciStringCommand c;
  EXPECT_EQ(plat::ParseMciString("\"\" x.wav", c), plat::MCIERR_MISSING_COMMAND_STRING);
  EXPECT_EQ(plat::ParseMciString("\"\"en\"\"^ s", c), plat::MCIERR_MISSING_COMMAND_STRING);
  EXPECT_TRUE(c.verb.empty());
}

// The media libraries are opened on first use, not linked (tests/cli checks the program).
TEST(LoadedLibrary, TheMediaTablesLoad) {
  EXPECT_NE(plat::Alsa(), nullptr);
  EXPECT_NE(plat::Ffmpeg(), nullptr);
  EXPECT_NE(plat::FluidSynth(), nullptr);
}

}  // namespace
