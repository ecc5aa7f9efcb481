// The audio decoder against ffmpeg's own decoding of the same files: the samples,
// the rate and channels, and reads after a seek.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/mci/decoding/AudioDecoder.h"
#include "support/TestFiles.h"

namespace {

using testenv::Quote;
using testenv::Shell;

std::vector<int16_t> ReadRaw(const std::string& path) {
  const std::string bytes = testenv::ReadHostFile(path);
  std::vector<int16_t> s(bytes.size() / 2);
  std::memcpy(s.data(), bytes.data(), s.size() * 2);
  return s;
}

std::vector<int16_t> DecodeAll(plat::AudioDecoder& d) {
  std::vector<int16_t> all;
  std::vector<int16_t> chunk(4096 * 2);
  for (;;) {
    const int64_t got = d.Read(chunk.data(), 4096);
    if (got <= 0) break;
    all.insert(all.end(), chunk.begin(), chunk.begin() + got * d.Channels());
  }
  return all;
}

TEST(AudioDecoderTest, SamplesAgreeWithFfmpegAndSeeksDecodeTheirPreRollFault) {
  SKIP_WITHOUT_PROGRAM("ffmpeg");
  struct Case {
    const char* name;
    const char* make;  // ffmpeg's options that make the file
    int rate;
    int channels;      // what the decoder gives (more than two are mixed down)
    int tolerance;     // largest sample difference from ffmpeg's decoding
  };
  const Case cases[] = {
      {"stereo.wav", "-f lavfi -i sine=f=440:r=44100 -ac 2 -t 2", 44100, 2, 0},
      {"mono.flac", "-f lavfi -i sine=f=300:r=22050 -t 1.5", 22050, 1, 0},
      {"stereo.mp3", "-f lavfi -i sine=f=500:r=48000 -ac 2 -t 2 -b:a 128k", 48000, 2, 1},
      {"six.wav", "-f lavfi -i anoisesrc=r=32000:a=0.2 -ac 6 -t 1", 32000, 2, 1},
  };
  testenv::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = dir.HostPath(c.name);
    const std::string ref = dir.HostPath(std::string(c.name) + ".raw");
    Shell("ffmpeg -y -loglevel error " + std::string(c.make) + " " + Quote(file));
    Shell("ffmpeg -y -loglevel error -i " + Quote(file) + " -ac " + std::to_string(c.channels) + " -f s16le " +
          Quote(ref));
    const std::vector<int16_t> expected = ReadRaw(ref);
    ASSERT_GT(expected.size(), 1000u);

    plat::AudioDecoder d;
    ASSERT_TRUE(d.Open(file));
    EXPECT_EQ(d.Rate(), c.rate);
    ASSERT_EQ(d.Channels(), c.channels);
    const std::vector<int16_t> got = DecodeAll(d);
    ASSERT_EQ(got.size(), expected.size());
    int worst = 0;
    for (size_t i = 0; i < got.size(); ++i) worst = std::max(worst, std::abs(got[i] - expected[i]));
    EXPECT_LE(worst, c.tolerance);

    // A seek lands on its frame: the next read gives the frames from there.
    const int64_t frames = static_cast<int64_t>(expected.size()) / c.channels;
    for (const int64_t at : {frames / 3, frames - 10, int64_t{0}}) {
      ASSERT_TRUE(d.SeekFrame(at)) << at;
      EXPECT_EQ(d.Position(), at);
      std::vector<int16_t> some(64 * static_cast<size_t>(c.channels));
      const int64_t n = d.Read(some.data(), 64);
      ASSERT_EQ(n, std::min<int64_t>(64, frames - at)) << at;
      for (int64_t i = 0; i < n * c.channels; ++i) {
        ASSERT_LE(std::abs(some[static_cast<size_t>(i)] - expected[static_cast<size_t>(at * c.channels + i)]),
                  c.tolerance)
            << "frame " << at << " sample " << i;
      }
    }
  }
}

TEST(AudioDecoderTest, FilesWithoutSoundAreRefused) {
  testenv::TempDir dir;
  testenv::WriteHostFile(dir.HostPath("text.wav"), std::string("RIFF\x10\0\0\0WAVEfmt nothing", 24));
  testenv::WriteHostFile(dir.HostPath("empty.mp3"), "");
  plat::AudioDecoder d;
  EXPECT_FALSE(d.Open(dir.HostPath("text.wav")));
  EXPECT_FALSE(d.Open(dir.HostPath("empty.mp3")));
  EXPECT_FALSE(d.Open(dir.HostPath("missing.flac")));
  int16_t out[8];
  EXPECT_LE(d.Read(out, 4), 0);
}

}  // namespace
