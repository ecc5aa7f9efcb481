// Media information against soxi, Python's wave module, exiftool and mediainfo, and
// the headers that lie: ADPCM and channel-less waves, short MP3s, looping ASF objects.
#include <cstdlib>
#include <string>

#include "app/Settings.h"
#include "convert/dump/DumpTestSupport.h"

namespace {

using dumptest::DumpTest;

std::string Trim(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
  return s;
}

std::string After(const std::string& text, const std::string& label) {
  const size_t at = text.find(label);
  if (at == std::string::npos) return "";
  const size_t from = at + label.size();
  return text.substr(from, text.find_first_of("\n ", from) - from);
}

class MediaInfoTest : public DumpTest {};

TEST_F(MediaInfoTest, WaveFormatAgreesWithSoxi) {
  SKIP_WITHOUT_PROGRAM("soxi");
  for (const char* name : {"tone.wav", "adpcm.wav"}) {
    const std::string host = testenv::DataPath(std::string("dump/") + name);
    const std::string text = ShowFixture(name);
    EXPECT_EQ(After(text, "Sampling frequency "), Trim(testenv::Shell("soxi -r " + host))) << name;
    EXPECT_EQ(After(text, "channel number "), Trim(testenv::Shell("soxi -c " + host))) << name;
    EXPECT_EQ(After(text, "bit/sample "), Trim(testenv::Shell("soxi -b " + host))) << name;
    // The length is taken from the RIFF size: within the header's few milliseconds.
    const double soxi = std::atof(testenv::Shell("soxi -D " + host).c_str());
    const double ours = std::atof(After(text, " length ").c_str());
    EXPECT_NEAR(ours, soxi, 0.02) << name << "\n" << text;
  }
}

TEST_F(MediaInfoTest, WaveLengthForms) {
  // 44,100 Hz, 16 bits, 2 channels, RIFF size 1,764,000: ten seconds.
  std::string wav = "RIFF" + std::string("\xA0\xEA\x1A\x00", 4) + "WAVEfmt " + std::string("\x10\0\0\0\x01\0\x02\0", 8) +
                    std::string("\x44\xAC\0\0\x10\xB1\x02\0\x04\0\x10\0", 12) + "data" + std::string(4, '\0');
  std::string text = Show("ten.wav", wav);
  EXPECT_NE(text.find(" length 10.000 sec ( 0 min 10.000 sec)"), std::string::npos) << text;
  // 96 kHz does not fit in 16 bits.
  wav[24] = 0x00, wav[25] = 0x77, wav[26] = 0x01;
  text = Show("hi.wav", wav);
  EXPECT_NE(text.find("Sampling frequency 96000 Hz"), std::string::npos) << text;
  // No channels, no rate: no length, and no division by zero.
  wav[22] = 0;
  EXPECT_NE(Show("none.wav", wav).find(" length 0.000 sec"), std::string::npos);
  wav[22] = 2, wav[24] = wav[25] = wav[26] = 0;
  EXPECT_NE(Show("norate.wav", wav).find(" length 0.000 sec"), std::string::npos);
  // With the recording rate at 44.1 kHz the key help says so.
  ASSERT_EQ(ApplySetting(*doc_, "recrate", "44"), "");
  EXPECT_NE(Show("x.avi", "RIFF").find("( 44.1 kHz)"), std::string::npos);
}

TEST_F(MediaInfoTest, Mp3TagsAgreeWithExiftool) {
  SKIP_WITHOUT_PROGRAM("exiftool");
  const std::string host = testenv::DataPath("dump/tags.mp3");
  const std::string text = ShowFixture("tags.mp3");
  EXPECT_EQ(text.rfind(" Audio file\n", 0), 0u);
  for (const char* tag : {"Title", "Artist", "Album"}) {
    const std::string value = Trim(testenv::Shell(std::string("exiftool -s3 -ID3v2_3:") + tag + " " + host));
    ASSERT_FALSE(value.empty()) << tag;
    EXPECT_NE(text.find(" " + value), std::string::npos) << tag << ": " << value << "\n" << text;
  }
  // An upper-case .MP3 goes the WMA way: no ID3 reading.
  EXPECT_EQ(ShowFixture("tags.mp3", "TAGS.MP3").find("Morning"), std::string::npos);
}

TEST_F(MediaInfoTest, WmaAttributesAgreeWithMediainfo) {
  SKIP_WITHOUT_PROGRAM("mediainfo");
  const std::string host = testenv::DataPath("dump/tags.wma");
  const std::string text = ShowFixture("tags.wma");
  for (const char* field : {"%Title%", "%Performer%", "%Genre%"}) {
    const std::string value =
        Trim(testenv::Shell(std::string("mediainfo --Inform='General;") + field + "' " + testenv::Quote(host)));
    ASSERT_FALSE(value.empty()) << field;
    EXPECT_NE(text.find(value), std::string::npos) << field << ": " << value << "\n" << text;
  }
  EXPECT_NE(text.find("\r\n Year  2011"), std::string::npos) << text;
}

TEST_F(MediaInfoTest, AsfTimeStampsAreCalendarDates) {
  // A 64-bit attribute in an extended content description object.
  std::string object = std::string("\x40\xA4\xD0\xD2\x07\xE3\xD2\x11\x97\xF0\x00\xA0\xC9\x5E\xA8\x50", 16);
  std::string body = std::string("\x01\x00", 2) + std::string("\x04\x00\x08\x00", 4);
  // 2020-06-15 12:34:56 UTC in 100 ns units since 1601.
  const unsigned long long ticks = (13236698096ull) * 10000000ull;
  for (int i = 0; i < 8; ++i) body += static_cast<char>(ticks >> (8 * i) & 0xFF);
  const uint64_t size = 24 + body.size();
  for (int i = 0; i < 8; ++i) object += static_cast<char>(size >> (8 * i) & 0xFF);
  object += body;
  std::string header = std::string("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16);
  const uint64_t total = 30 + object.size();
  for (int i = 0; i < 8; ++i) header += static_cast<char>(total >> (8 * i) & 0xFF);
  header += std::string(6, '\0');
  const std::string text = Show("date.wma", header + object + std::string(3000, '\0'));
  EXPECT_NE(text.find(" 2020/06/15 12h34m56s (UTC)"), std::string::npos) << text;
}

TEST_F(MediaInfoTest, HostileHeadersEndTheWalks) {
  // ASF objects of 65,536 bytes and of size 0 ended the walk early or never.
  std::string asf = std::string("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16) +
                    std::string("\x40\x1F\0\0\0\0\0\0", 8) + std::string(6, '\0');
  std::string big = std::string("\x33\x26\xB2\x75", 4) + std::string(12, '\0') + std::string("\x00\x00\x01\0\0\0\0\0", 8);
  Show("big.wma", asf + big + std::string(8000, 'a'));
  std::string zero = std::string(16, 'z') + std::string(8, '\0');
  Show("zero.wma", asf + zero + std::string(8000, 'a'));
  // A MIDI text event whose length runs past the data.
  EXPECT_NE(Show("cut.mid", "MThd\xFF\x03\x40short").find(" short\r\n"), std::string::npos);
  // ID3 frames up to the end of a short file, and a short file for the tail search.
  Show("short.mp3", "ID3\x03\0\0\0\0\0\x10TIT2\0\0\xFF\xFF\0\0\x01\xFF\xFE");
  Show("tiny.mp3", "TAG");
}

TEST_F(MediaInfoTest, MidiTextEventsEachOnTheirLine) {
  const std::string text = ShowFixture("text.mid");
  EXPECT_EQ(text.rfind(" MIDI  file\n", 0), 0u);
  EXPECT_NE(text.find("kHz)\r\n\r\n Piano Track\r\n made for a test\r\n"), std::string::npos) << text;
}

}  // namespace
