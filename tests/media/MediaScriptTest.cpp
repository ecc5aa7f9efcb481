// The player and the recorder driven by scripts of the built program, with an ALSA
// file device in the test's HOME: the samples played are ffmpeg's decoding of the
// file with the volume's gain, the samples recorded are the input file's, a video's
// pictures in the pane are ffmpeg's frames at the same time, MIDI sounds on its
// tempo map. The second device appends, so that files played one after another
// all stay in its output.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <vector>

#include "support/SmallDisk.h"
#include "support/TestEnv.h"

namespace {

using testenv::Quote;
using testenv::Shell;

class MediaScriptTest : public ::testing::Test {
 protected:
  MediaScriptTest() {
    testenv::WriteHostFile(dir_.HostPath(".asoundrc"), "pcm.pelnorixtest {\n type file\n slave.pcm null\n file \"" +
                                                           dir_.HostPath("out.raw") + "\"\n infile \"" +
                                                           dir_.HostPath("in.raw") + "\"\n format raw\n}\n" +
                                                           "pcm.pelnorixappend {\n type file\n slave.pcm null\n file \"|cat >> " +
                                                           dir_.HostPath("out.raw") + "\"\n format raw\n}\n" +
                                                           // records the input, its copy of the samples kept nowhere
                                                           "pcm.pelnorixquiet {\n type file\n slave.pcm null\n file \"/dev/null\"\n infile \"" +
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
  // A picture file as rows of red, green, blue bytes, read by ffmpeg.
  std::string Rgb(const std::string& name, const std::string& options = "") {
    return Shell("ffmpeg -loglevel error -i " + Quote(dir_.HostPath(name)) + options + " -frames:v 1 -f rawvideo -pix_fmt rgb24 -");
  }
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

// Fault: a recording that could not be saved (a full disk, every numbered name
// taken) ended the script with status 0, and with every name up to _999 taken the
// recording replaced _999.wav. Now the statement fails, nothing is written and no
// file is replaced; the message names the file and the system's reason. A script
// that ended while recording threw the recording away without a word: it is saved
// and said. Recording on the null device that stands in for a missing sound card
// wrote silence without a note. A work file that could not grow (a file-size limit,
// a full tmpfs under the program folder) threw the recording away: it stops there,
// the wait running then fails, and what was recorded is saved whole.
TEST_F(MediaScriptTest, LostRecordingExitsZeroAndReplacesTheLastNumberedNameFault) {
  const std::string base = dir_.HostPath("audio_240305_140709");
  struct Case {
    const char* what;
    int64_t limit;       // a file-size limit standing for a full disk; 0 none
    bool takeNames;      // audio_..., _2 ... _999 exist
    const char* device;  // the audiodev setting
    const char* stop;    // the script's end
    int status;
    const char* said;    // on standard error
    int64_t homeDisk = 0;  // the program folder on a tmpfs of this size; 0 on the test's own disk
  };
  const std::string record = "set recrate=48\nset clock=2024-03-05T14:07:09\ncommand record\nwait 2000\n";
  const Case cases[] = {
      {"full disk", 64 << 10, false, "pelnorixquiet", "command record\n", 1,
       "wait: the recording stopped: its work file cannot be written: "},
      // The recording went on counting, was thrown away at the stop and the script exited 0.
      {"work folder's disk fills", 0, false, "pelnorixtest", "wait 300000\ncommand record\n", 1,
       "wait: the recording stopped: its work file cannot be written: ", 20 << 20},
      {"every name taken", 0, true, "pelnorixtest", "command record\n", 1, "are all taken"},
      {"script ends while recording", 0, false, "pelnorixtest", "", 0, "ここまでの録音を保存しました: "},
      {"no sound card", 0, false, "default", "command record\n", 0, "サウンド カードがありません"},
  };
  SKIP_WITHOUT_PROGRAM("sox");
  Shell("sox -n -r 48000 -c 2 -b 16 -t raw " + Quote(dir_.HostPath("in.raw")) + " synth 6 sine 200 2>/dev/null");
  // "default" names no device here, as on a machine without a card.
  Shell("echo 'pcm.!default { type hw card 99 }' >> " + Quote(dir_.HostPath(".asoundrc")));
  for (const Case& c : cases) {
    std::remove((base + ".wav").c_str());
    std::optional<testenv::SmallDisk> disk;
    if (c.homeDisk > 0) {
      disk.emplace(dir_, "homedisk", c.homeDisk);
      if (!disk->Mounted()) {
        std::cerr << "note: no tmpfs can be mounted here; " << c.what << " is not run\n";
        continue;
      }
    }
    if (c.takeNames) {
      testenv::WriteHostFile(base + ".wav", "mine");
      for (int n = 2; n <= 999; ++n) testenv::WriteHostFile(base + "_" + std::to_string(n) + ".wav", "mine");
    }
    testenv::WriteHostFile(dir_.HostPath("s.script"), std::string("set audiodev=") + c.device + "\n" + record + c.stop);
    const int status = testenv::RunProgram(dir_.Host(), disk ? disk->Host() : dir_.HostPath("home"), "--script s.script",
                                           "HOME=" + Quote(dir_.Host()) + " " +
                                               (c.limit > 0 ? testenv::FileSizeLimitPrefix(c.limit) : ""))
                           .status;
    EXPECT_EQ(status, c.status) << c.what << ": " << Err();
    EXPECT_NE(Err().find(c.said), std::string::npos) << c.what << ": " << Err();
    if (c.takeNames) {
      EXPECT_EQ(testenv::ReadHostFile(base + "_999.wav"), "mine") << c.what;
      EXPECT_EQ(testenv::ReadHostFile(base + ".wav"), "mine") << c.what;
      for (int n = 2; n <= 999; ++n) std::remove((base + "_" + std::to_string(n) + ".wav").c_str());
    } else if (disk || c.limit > 0) {
      // Saved whole up to where the work file could not grow (a little under 20 MB on
      // the tmpfs, the input's first seconds in it), the work folder and the reason said.
      EXPECT_NE(Err().find(disk ? "No space left on device" : "File too large"), std::string::npos) << Err();
      EXPECT_NE(Err().find((disk ? disk->Host() : dir_.HostPath("home")) + "/TMP/"), std::string::npos) << Err();
      const int64_t samples = std::atoll(Shell("soxi -s " + Quote(base + ".wav")).c_str());
      EXPECT_GT(samples, disk ? 48000 * 90 : 8000) << c.what;
      EXPECT_EQ(testenv::ReadHostFile(base + ".wav").size(), 44u + static_cast<size_t>(samples) * 4) << c.what;
      if (disk) {
        EXPECT_EQ(Shell("sox " + Quote(base + ".wav") + " -t raw - trim 0 6 | cmp - " + Quote(dir_.HostPath("in.raw")) +
                        " && echo same"),
                  "same\n")
            << c.what;
      }
    } else {
      // Two seconds of 48,000 Hz stereo, or nothing.
      EXPECT_EQ(testenv::ReadHostFile(base + ".wav").size(), c.status == 0 ? 44u + 2 * 192000 : 0u) << c.what;
    }
  }
}

// Fault: a play that failed exited 0 with the error only in the status line (a WAV
// of 65,535 channels not even there), a player command with no medium did nothing
// and exited 0, and a named pipe or a WAV padded with a gigabyte of zeros after its
// samples held the player without end. Each now fails
// the statement with the file's name and the reason, within the open's deadline;
// auto-play stops at such a file and says why, a SoundFont that is a pipe is one line.
TEST_F(MediaScriptTest, PlayThatFailsExitsZeroOrWaitsWithoutEndFault) {
  SKIP_WITHOUT_PROGRAM("sox");
  SKIP_WITHOUT_PROGRAM("ffmpeg");
  SKIP_WITHOUT_PROGRAM("abc2midi");
  struct Case {
    const char* fault;
    const char* make;    // shell, in the test's folder
    const char* script;  // after "set audiodev=null"
    int status;
    const char* said;    // on standard error
  };
  const Case cases[] = {
      {"zero-length WAV", ": > z.wav", "open z.wav\ncommand play\n", 1, "z.wav: このファイル"},
      {"key P on a zero-length WAV", ": > k.wav", "open k.wav\nkey P\n", 1, "key failed: k.wav: このファイル"},
      {"random MP3", "head -c 4000 /dev/urandom > r.mp3", "open r.mp3\ncommand play\n", 1, "r.mp3: このファイル"},
      {"zero-length AVI", ": > z.avi", "open z.avi\ncommand play\n", 1, "z.avi: このファイル"},
      {"random WMA", "head -c 4000 /dev/urandom > r.wma", "open r.wma\ncommand play\n", 1, "r.wma: このファイル"},
      {"truncated MP4",
       "ffmpeg -loglevel error -f lavfi -i testsrc=d=2:s=160x120 -f lavfi -i sine=d=2 -c:v mpeg4 -c:a aac f.mp4 && "
       "head -c 3000 f.mp4 > cut.mp4",
       "open cut.mp4\ncommand play\n", 1, "cut.mp4: このファイル"},
      {"play on a text file", "echo hello > t.txt", "open t.txt\ncommand play\n", 1, "t.txt: このファイル"},
      // Each exited 0 without a word with nothing to act on.
      {"pause on a text file", "echo hello > t.txt", "open t.txt\ncommand pause\n", 1, "ID_MEDIA_PAUSE is not available now"},
      {"forward on a text file", "echo hello > t.txt", "open t.txt\ncommand forward\n", 1,
       "ID_MEDIA_FAST_FORWARD is not available now"},
      {"rewind on a text file", "echo hello > t.txt", "open t.txt\ncommand rewind\n", 1, "ID_MEDIA_REWIND is not available now"},
      {"repeat-mark on a text file", "echo hello > t.txt", "open t.txt\ncommand repeat-mark\n", 1,
       "ID_MEDIA_REPEAT_MARK is not available now"},
      {"repeat on a text file", "echo hello > t.txt", "open t.txt\ncommand repeat\n", 1,
       "ID_MEDIA_REPEAT_PLAY is not available now"},
      {"WAV of 65535 channels",
       "sox -n -r 8000 -c 1 -b 16 c.wav synth 1 sine 300 && printf '\\377\\377' | dd of=c.wav bs=1 seek=22 conv=notrunc "
       "2>/dev/null",
       "open c.wav\ncommand play\n", 1, "c.wav: このファイル"},
      {"WAV that is a named pipe", "mkfifo p.wav", "open p.wav\ncommand play\n", 1,
       "p.wav cannot be shown: ファイルをオープンできません。 (not a regular file"},
      {"WAV padded with a gigabyte of zeros",
       "sox -n -r 8000 -c 1 -b 16 pad.wav synth 1 sine 300 && truncate -s +1G pad.wav", "open pad.wav\ncommand play\n", 1,
       "pad.wav: ファイルを決められた時間内に読み終えられませんでした"},
      {"auto-play over a named pipe",
       "mkdir l && sox -n -r 8000 -c 1 -b 16 l/1.wav synth 0.5 sine 300 && mkfifo l/2.wav && cp l/1.wav l/3.wav",
       "set autoplay=1\nlist 1 l/1.wav\nwait 3000\n", 0, "2.wav: 通常のファイルではありません"},
      {"SoundFont that is a named pipe",
       "mkfifo sf.sf2 && printf 'X:1\\nK:C\\nC\\n' > m.abc && abc2midi m.abc -o m.mid >/dev/null",
       "set soundfont=sf.sf2\nopen m.mid\ncommand play\nwait 500\n", 0, "sf.sf2 (通常のファイルではありません)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    Shell("cd " + Quote(dir_.Host()) + " && " + c.make);
    int status = -1;
    Run(std::string("set audiodev=null\n") + c.script, &status);
    EXPECT_EQ(status, c.status) << Err();
    EXPECT_NE(Err().find(c.said), std::string::npos) << Err();
  }
}

// The video window's picture in the pane, at its place (1, 1) and zoomed size, is
// ffmpeg's frame of the same time scaled by libswscale's bicubic filter; a frame
// step while paused shows the next frame. The volume keys step the video's volume.
TEST_F(MediaScriptTest, VideoPicturesInThePaneAreTheFramesOfTheTime) {
  SKIP_WITHOUT_PROGRAM("ffmpeg");
  struct Case {
    const char* file;
    const char* steps;  // after the play
    const char* at;     // the time ffmpeg reads the frame at
    int width, height;  // the window
  };
  // An AVI pauses with a frame step (1,040 ms); an MP4 holds where it is.
  const Case cases[] = {
      {"clip.avi", "wait 1000\ncommand pause\n", "1.04", 320, 240},
      {"clip.avi", "wait 1000\ncommand pause\ncommand forward\n", "1.08", 320, 240},
      {"clip.mp4", "command zoom-in\nwait 2000\ncommand pause\n", "2.0", 451, 338},
      {"clip.mp4", "command zoom-in\ncommand zoom-in\ncommand zoom-in\ncommand zoom-in\nwait 600\ncommand pause\n", "0.6", 640, 480},
  };
  for (const char* name : {"clip.avi", "clip.mp4"}) {
    Shell("ffmpeg -y -loglevel error -f lavfi -i testsrc=d=4:s=320x240:r=25 -f lavfi -i sine=d=4 -c:v mpeg4 -q:v 3 " +
          Quote(dir_.HostPath(name)));
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " at " + c.at);
    int status = -1;
    const std::string out = Run(std::string("set audiodev=null\nopen ") + c.file + "\ncommand play\n" + c.steps +
                                    "save-pane pane.png\nkey < <\nprint status\n",
                                &status);
    ASSERT_EQ(status, 0) << Err();
    EXPECT_NE(out.find("vol= 96"), std::string::npos) << out;
    const std::string pane = Rgb("pane.png");
    const std::string scaled =
        Rgb(c.file, std::string(" -ss ") + c.at + " -vf scale=" + std::to_string(c.width) + ":" + std::to_string(c.height));
    ASSERT_EQ(pane.size(), 640u * 480 * 3);
    ASSERT_EQ(scaled.size(), static_cast<size_t>(c.width) * c.height * 3);
    // The window starts at (1, 1): its last row and column of a full-pane size lie outside.
    int worst = 0;
    int64_t sum = 0;
    for (int y = 0; y < std::min(c.height, 479); ++y) {
      for (int x = 0; x < std::min(c.width, 639); ++x) {
        for (int k = 0; k < 3; ++k) {
          const int a = static_cast<uint8_t>(scaled[(static_cast<size_t>(y) * c.width + x) * 3 + k]);
          const int b = static_cast<uint8_t>(pane[(static_cast<size_t>(y + 1) * 640 + x + 1) * 3 + k]);
          worst = std::max(worst, std::abs(a - b));
          sum += std::abs(a - b);
        }
      }
    }
    // Scaling to RGB24 and to BGRA round differently in libswscale (up to 4); the
    // frames next to the right one differ by 19 and more.
    EXPECT_LE(worst, 6);
    EXPECT_LT(double(sum) / (std::min(c.height, 479) * std::min(c.width, 639) * 3), 1.0);
  }
}

// Fault: at 30 frames a second a frame step added 33 ms to the time, which can land
// in the frame already shown (1.500 -> 1.533 s stays in frame 45). Each frame of the
// clip has its own grey; the pane after the steps shows the frame ffmpeg gives by
// index: pausing an AVI steps one frame, each forward or rewind one more.
TEST_F(MediaScriptTest, FrameStepAt30FpsShowsTheSameFrameAgainFault) {
  SKIP_WITHOUT_PROGRAM("ffmpeg");
  struct Case {
    const char* file;
    const char* steps;  // after the play and 1.5 s
    int frame;          // the index the pane shows
  };
  const Case cases[] = {
      {"grey.avi", "command pause\n", 46},
      {"grey.avi", "command pause\ncommand forward\ncommand forward\ncommand forward\n", 49},
      {"grey.avi", "command pause\ncommand forward\ncommand forward\ncommand rewind\n", 47},
      {"grey.mp4", "command pause\ncommand forward\n", 46},
      {"grey.mp4", "command pause\ncommand forward\ncommand forward\ncommand rewind\n", 46},
  };
  for (const char* name : {"grey.avi", "grey.mp4"}) {
    Shell("ffmpeg -y -loglevel error -f lavfi -i color=c=black:s=64x48:r=30:d=3,format=gray,geq=lum='N*2' -pix_fmt yuv420p "
          "-c:v mpeg4 -q:v 1 " + Quote(dir_.HostPath(name)));
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " " + c.steps);
    int status = -1;
    Run(std::string("set audiodev=null\nopen ") + c.file + "\ncommand play\nwait 1500\n" + c.steps + "save-pane pane.png\n",
        &status);
    ASSERT_EQ(status, 0) << Err();
    const std::string pane = Rgb("pane.png");
    const std::string frame = Rgb(c.file, " -vf 'select=eq(n\\," + std::to_string(c.frame) + ")'");
    ASSERT_EQ(pane.size(), 640u * 480 * 3);
    ASSERT_EQ(frame.size(), 64u * 48 * 3);
    int64_t sum = 0;
    for (int y = 0; y < 48; ++y) {
      for (int x = 0; x < 64 * 3; ++x) {
        sum += std::abs(static_cast<uint8_t>(frame[static_cast<size_t>(y) * 64 * 3 + x]) -
                        static_cast<uint8_t>(pane[(static_cast<size_t>(y + 1) * 640 + 1) * 3 + x]));
      }
    }
    // Neighbouring frames differ by 2 in every channel.
    EXPECT_LT(double(sum) / (64 * 48 * 3), 0.8);
  }
}

// RMS of the left channel over [from, to) seconds of 44,100 Hz stereo samples.
double Loudness(const std::vector<int16_t>& s, double from, double to) {
  double sum = 0;
  size_t n = 0;
  for (size_t i = static_cast<size_t>(from * 44100) * 2; i < static_cast<size_t>(to * 44100) * 2 && i < s.size(); i += 2, ++n) {
    sum += double(s[i]) * s[i];
  }
  return n ? std::sqrt(sum / n) : 0;
}

// abc2midi's file: quarters at 120 bpm, then at 60 bpm after an inline tempo change,
// each note followed by a rest; every onset is where that tempo map puts it. A
// SoundFont that is not there gives one line, silence and no failure.
TEST_F(MediaScriptTest, MidiSoundsOnItsTempoMap) {
  SKIP_WITHOUT_PROGRAM("abc2midi");
  testenv::WriteHostFile(dir_.HostPath("tune.abc"), "X:1\nT:t\nM:4/4\nL:1/4\nQ:1/4=120\nK:C\nC z E z|[Q:1/4=60] G z c z|\n");
  Shell("abc2midi " + Quote(dir_.HostPath("tune.abc")) + " -o " + Quote(dir_.HostPath("tune.mid")) + " >/dev/null");
  int status = -1;
  Run("set audiodev=pelnorixtest\nopen tune.mid\ncommand play\nwait 7000\nprint status\n", &status);
  ASSERT_EQ(status, 0) << Err();
  const std::vector<int16_t> played = Samples(testenv::ReadHostFile(dir_.HostPath("out.raw")));
  ASSERT_GE(played.size(), 2u * 44100 * 6);
  for (const double onset : {0.0, 1.0, 2.0, 4.0}) {
    SCOPED_TRACE(onset);
    const double before = onset > 0 ? Loudness(played, onset - 0.06, onset - 0.01) : 0;
    const double after = Loudness(played, onset + 0.01, onset + 0.06);
    EXPECT_GT(after, 300);
    EXPECT_GT(after, 3 * before);
  }
  // Between the notes' releases and the next onset the rests are quieter.
  EXPECT_LT(Loudness(played, 3.85, 3.95), Loudness(played, 4.01, 4.06) / 3);

  std::remove(dir_.HostPath("out.raw").c_str());
  Run("set audiodev=pelnorixtest\nset soundfont=" + dir_.HostPath("none.sf2") +
          "\nopen tune.mid\ncommand play\nwait 500\ncommand play\ncommand play\nwait 500\n",
      &status);
  EXPECT_EQ(status, 0);
  const std::string err = Err();
  EXPECT_NE(err.find("none.sf2"), std::string::npos) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  const std::string silent = testenv::ReadHostFile(dir_.HostPath("out.raw"));
  EXPECT_EQ(silent.find_first_not_of('\0'), std::string::npos);
}

// With auto-play the list's next file plays after the first, and the player stops
// after the last one (the folder listed first is not played).
TEST_F(MediaScriptTest, AutoPlayGoesOnThroughTheListAndStops) {
  SKIP_WITHOUT_PROGRAM("sox");
  Shell("mkdir -p " + Quote(dir_.HostPath("list/a folder")));
  Shell("cd " + Quote(dir_.HostPath("list")) + " && sox -n -r 8000 -c 2 -b 16 a.wav synth 1 sine 300 && " +
        "sox -n -r 8000 -c 2 -b 16 b.wav synth 1.5 sine 700 && sox -n -r 8000 -c 2 -b 16 'a folder/c.wav' synth 1 sine 500 && " +
        "sox a.wav -t raw - > ../a.raw && sox b.wav -t raw - > ../b.raw");
  int status = -1;
  const std::string out = Run("set audiodev=pelnorixappend\nset autoplay=1\nlist 1 list/a.wav\nwait 4000\nprint status\n", &status);
  ASSERT_EQ(status, 0) << Err();
  EXPECT_EQ(out.find("PLAY]"), std::string::npos) << out;
  EXPECT_EQ(testenv::ReadHostFile(dir_.HostPath("out.raw")),
            testenv::ReadHostFile(dir_.HostPath("a.raw")) + testenv::ReadHostFile(dir_.HostPath("b.raw")));
}

// "Rec.frequency = F": the key switches the recording rate and says it.
TEST_F(MediaScriptTest, TheRateKeySwitchesTheRecordingRate) {
  SKIP_WITHOUT_PROGRAM("sox");
  SKIP_WITHOUT_PROGRAM("soxi");
  Shell("sox -n -r 8000 -c 2 -b 16 " + Quote(dir_.HostPath("a.wav")) + " synth 1 sine 300");
  for (const auto& [rate, other] : {std::pair{"48", "44100"}, std::pair{"44", "48000"}}) {
    std::remove(dir_.HostPath("audio_240305_140709.wav").c_str());
    int status = -1;
    const std::string out = Run(std::string("set audiodev=null\nset clock=2024-03-05T14:07:09\nset recrate=") + rate +
                                    "\nopen a.wav\nkey F\nprint status\ncommand record\nwait 1000\ncommand record\n",
                                &status);
    ASSERT_EQ(status, 0) << Err();
    EXPECT_EQ(out, std::string("Rec.frequency = ") + other + " Hz\n");
    EXPECT_EQ(Shell("soxi -r " + Quote(dir_.HostPath("audio_240305_140709.wav"))), std::string(other) + "\n");
  }
}

}  // namespace
