// The MCI host: the command strings and their error numbers, the error texts, the
// device choice, the string parser, and the media libraries opened on first use.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "platform/mci/AlsaLibrary.h"
#include "platform/mci/decoding/FfmpegLibrary.h"
#include "platform/mci/midi/FluidSynthLibrary.h"
#include "platform/mci/Mci.h"
#include "platform/mci/MciParse.h"
#include "platform/mci/MciTestSupport.h"
#include "support/TestFiles.h"

namespace {

using mcitest::MciAudioTest;
using mcitest::MciTest;
using testenv::Quote;
using testenv::Shell;

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
