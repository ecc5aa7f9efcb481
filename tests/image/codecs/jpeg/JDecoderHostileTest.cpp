// Hostile JPEG input: a small cjpeg file with one field made to lie, cut short or
// flipped. Each case expects its result code and exception class.
#include <gtest/gtest.h>

#include <functional>

#include "JpegTestSupport.h"
#include "image/codecs/jpeg/JDecoder.h"

using namespace jpegtest;

namespace {

// Offset of the 0xFF of the first marker `code` in the header part of a file.
size_t FindMarker(const std::string& f, int code) {
  size_t at = 2;
  while (at + 4 <= f.size()) {
    const int m = static_cast<uint8_t>(f[at + 1]);
    if (m == code) return at;
    if (m == 0xDA) break;
    at += 2 + (static_cast<uint8_t>(f[at + 2]) << 8 | static_cast<uint8_t>(f[at + 3]));
  }
  ADD_FAILURE() << "no marker " << code;
  return 0;
}

void SetByte(std::string& f, size_t at, int v) { f[at] = static_cast<char>(v); }

struct Result {
  int setSource;
  int decode;
  std::string error;
};

Result Feed(const std::string& f, AllocHook* hook = nullptr) {
  JDecoder dec(hook);
  Result r{};
  r.setSource = dec.SetSource(reinterpret_cast<const uint8_t*>(f.data()), static_cast<int64_t>(f.size()));
  r.decode = r.setSource == 0 ? dec.Decode() : 99;
  r.error = dec.GetError();
  return r;
}

struct HostileCase {
  const char* name;
  std::function<void(std::string&)> mutate;
  int setSource;      // expected
  int decode;         // expected when setSource is 0
  const char* error;  // start of the error text
};

}  // namespace

TEST(JDecoderHostileTest, LyingFieldsGiveTheirErrorClass) {
  SKIP_WITHOUT_PROGRAM("cjpeg");
  testenv::TempDir dir;
  testenv::WriteHostFile(dir.HostPath("in.ppm"), MakePnm(24, 16, false));
  const std::string good =
      RunTool("cjpeg -quality 80 -sample 2x2 " + testenv::Quote(dir.HostPath("in.ppm")));
  ASSERT_GT(good.size(), 200u);
  ASSERT_EQ(Feed(good).decode, 0);
  const size_t dqt = FindMarker(good, 0xDB);
  const size_t dht = FindMarker(good, 0xC4);
  const size_t sof = FindMarker(good, 0xC0);
  const size_t sos = FindMarker(good, 0xDA);

  const HostileCase cases[] = {
      {"no SOI", [](std::string& f) { SetByte(f, 1, 0x00); }, -2, 0, "JBufferError GetByte"},
      {"cut in DQT", [&](std::string& f) { f.resize(dqt + 30); }, -2, 0, "JBufferError CopyByte"},
      {"segment length 1", [&](std::string& f) { SetByte(f, dqt + 2, 0), SetByte(f, dqt + 3, 1); }, -2, 0,
       "JDataFormatError Marker length"},
      {"length past the end", [&](std::string& f) { SetByte(f, dqt + 2, 0xFF); }, -2, 0, "JBufferError CopyByte"},
      {"unknown marker", [&](std::string& f) { SetByte(f, dqt + 1, 0xF3); }, -2, 0, "JDataFormatError Marker error"},
      {"DHT class 2", [&](std::string& f) { SetByte(f, dht + 4, 0x20); }, -2, 0, "JDataFormatError AnalyzeDHT:Tc"},
      {"DHT index 5", [&](std::string& f) { SetByte(f, dht + 4, 0x05); }, -2, 0, "JDataFormatError AnalyzeDHT:Th"},
      {"DHT over 256 codes", [&](std::string& f) { for (int i = 0; i < 16; ++i) SetByte(f, dht + 5 + i, 255); },
       -2, 0, "JIndexError AnalyzeDHT:Size Table Index over"},
      {"DHT codes overflow", [&](std::string& f) { SetByte(f, dht + 6, 4), SetByte(f, dht + 7, 2); }, -2, 0,
       "JDataFormatError AnalyzeDHT:Huffman Code-T"},
      {"SOF two components", [&](std::string& f) { SetByte(f, sof + 9, 2); }, -2, 0, "JNotSupported marker 192"},
      {"SOF 12-bit samples", [&](std::string& f) { SetByte(f, sof + 4, 12); }, -2, 0, "JNotSupported marker 192"},
      {"SOF sampling 0", [&](std::string& f) { SetByte(f, sof + 11, 0x02); }, -2, 0,
       "JDataFormatError AnalyzeSOF:sampling factor"},
      {"SOF sampling 3 against 2", [&](std::string& f) { SetByte(f, sof + 14, 0x31); }, -2, 0,
       "JNotSupported marker 192"},
      {"SOF width 0", [&](std::string& f) { SetByte(f, sof + 7, 0), SetByte(f, sof + 8, 0); }, -2, 0,
       "JNotSupported marker 192"},
      {"SOF table 4", [&](std::string& f) { SetByte(f, sof + 12, 4); }, -2, 0, "JIndexError AnalyzeSOF:Tq Over"},
      {"SOS DC table 3", [&](std::string& f) { SetByte(f, sos + 6, 0x30); }, -2, 0, "JIndexError AnalyzeScan:Td Over"},
      {"SOS AC table 3", [&](std::string& f) { SetByte(f, sos + 6, 0x03); }, -2, 0, "JIndexError AnalyzeScan:Ta Over"},
      {"SOS unknown component", [&](std::string& f) { SetByte(f, sos + 5, 9); }, -2, 0,
       "JDataFormatError AnalyzeScan:component"},
      // A first scan of fewer components than the frame starts an image in several
      // scans: the interleaved data read as one component's gives some picture.
      {"SOS one of three components", [&](std::string& f) { SetByte(f, sos + 4, 1); }, 0, 0, ""},
      {"SOS table never defined", [&](std::string& f) { SetByte(f, sos + 6, 0x22); }, 0, -2,
       "JDataFormatError DoDecode:Huffman table not defined"},
      {"one DQT of two", [&](std::string& f) { SetByte(f, dqt + 1, 0xE5); }, 0, -2,
       "JDataFormatError DoDecode:quantisation table not defined"},
      {"no DQT", [&](std::string& f) {
         for (size_t at = 2; at < sos; at += 2 + (static_cast<uint8_t>(f[at + 2]) << 8 | static_cast<uint8_t>(f[at + 3])))
           if (static_cast<uint8_t>(f[at + 1]) == 0xDB) SetByte(f, at + 1, 0xE5);
       }, 0, -2, "JDataFormatError missing"},
      {"no scan", [&](std::string& f) { f.resize(sos); f += "\xFF\xD9"; }, 0, -2, "JDataFormatError missing"},
  };
  for (const HostileCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string f = good;
    c.mutate(f);
    const Result r = Feed(f);
    EXPECT_EQ(r.setSource, c.setSource);
    if (c.setSource == 0) {
      EXPECT_EQ(r.decode, c.decode);
    }
    EXPECT_EQ(r.error.rfind(c.error, 0), 0u) << r.error;
  }
}

// A frame of 65535 x 65535 pixels in a file of a few hundred bytes: the planes are
// asked for through the allocation hook and refused, -1 and JMemoryError.
TEST(JDecoderHostileTest, HugeFrameIsRefusedAsOutOfMemory) {
  SKIP_WITHOUT_PROGRAM("cjpeg");
  testenv::TempDir dir;
  testenv::WriteHostFile(dir.HostPath("in.pgm"), MakePnm(8, 8, true));
  std::string f = RunTool("cjpeg -grayscale " + testenv::Quote(dir.HostPath("in.pgm")));
  const size_t sof = FindMarker(f, 0xC0);
  for (int i = 5; i < 9; ++i) SetByte(f, sof + i, 0xFF);
  AllocHook hook;
  hook.FailAbove(64 << 20);
  const Result r = Feed(f, &hook);
  EXPECT_EQ(r.setSource, 0);
  EXPECT_EQ(r.decode, -1);
  EXPECT_EQ(r.error.rfind("JMemoryError DoDecode:rgbPA_[0]", 0), 0u) << r.error;
  // Without a hook, the planes of 12 GB are refused before anything is asked for.
  const Result unhooked = Feed(f);
  EXPECT_EQ(unhooked.decode, -1);
  EXPECT_EQ(unhooked.error.rfind("JMemoryError DoDecode:rgbPA_[0]", 0), 0u) << unhooked.error;
  JDecoder dec;
  ASSERT_EQ(dec.SetSource(reinterpret_cast<const uint8_t*>(f.data()), static_cast<int64_t>(f.size())), 0);
  std::vector<uint8_t> dib;
  EXPECT_EQ(dec.DecodeDib(dib, 10000), -1);
  EXPECT_EQ(dec.GetError().rfind("JMemoryError DoDecode:DIB", 0), 0u) << dec.GetError();
}

// Flipped bits in the scan never fault: the result is a picture of the frame's size
// or the data error, and every run of the same bytes gives the same result.
TEST(JDecoderHostileTest, FlippedScanBitsDecodeOrFailCleanly) {
  SKIP_WITHOUT_PROGRAM("cjpeg");
  testenv::TempDir dir;
  testenv::WriteHostFile(dir.HostPath("in.ppm"), MakePnm(40, 24, false));
  const std::string good = RunTool("cjpeg -restart 1B " + testenv::Quote(dir.HostPath("in.ppm")));
  const size_t scan = FindMarker(good, 0xDA) + 14;
  uint32_t seed = 7;
  int decoded = 0;
  for (int round = 0; round < 300; ++round) {
    std::string f = good;
    for (int k = 0; k < 3; ++k) {
      seed = seed * 1103515245 + 12345;
      const size_t at = scan + (seed >> 8) % (good.size() - scan);
      f[at] = static_cast<char>(f[at] ^ (1 << ((seed >> 4) & 7)));
    }
    const Result r = Feed(f);
    ASSERT_EQ(r.setSource, 0);
    ASSERT_TRUE(r.decode == 0 || r.decode == -2) << r.decode << " " << r.error;
    if (r.decode == -2) {
      EXPECT_EQ(r.error.rfind("JDataFormatError", 0), 0u) << r.error;
    }
    decoded += r.decode == 0;
  }
  EXPECT_GT(decoded, 0);
}

// A file cut at every length: inside the headers the reading runs out (JBufferError);
// from the first byte of the scan on, the picture loads with what was decoded.
TEST(JDecoderHostileTest, EveryCutEitherRunsOutInTheHeadersOrLoads) {
  SKIP_WITHOUT_PROGRAM("cjpeg");
  testenv::TempDir dir;
  testenv::WriteHostFile(dir.HostPath("in.ppm"), MakePnm(20, 12, false));
  const std::string good = RunTool("cjpeg -restart 1B " + testenv::Quote(dir.HostPath("in.ppm")));
  const size_t sos = FindMarker(good, 0xDA);
  const size_t scan = sos + 2 + (static_cast<uint8_t>(good[sos + 2]) << 8 | static_cast<uint8_t>(good[sos + 3]));
  for (size_t cut = 0; cut < good.size(); ++cut) {
    SCOPED_TRACE(cut);
    const Result r = Feed(good.substr(0, cut));
    if (cut < scan) {
      ASSERT_EQ(r.setSource, -2);
      ASSERT_EQ(r.error.rfind("JBufferError", 0), 0u) << r.error;
    } else {
      ASSERT_EQ(r.setSource, 0);
      ASSERT_EQ(r.decode, 0) << r.error;
    }
  }
}

// A file in one scan per component, cut at every length after its first scan header
// and with bits flipped in its scans and in the segments between them: it loads what
// it holds, or fails with a codec error, never faults.
TEST(JDecoderHostileTest, ScanPerComponentFilesCutOrFlipped) {
  SKIP_WITHOUT_PROGRAM("cjpeg");
  testenv::TempDir dir;
  testenv::WriteHostFile(dir.HostPath("in.ppm"), MakePnm(20, 12, false));
  testenv::WriteHostFile(dir.HostPath("s.scans"), "0;\n1;\n2;\n");
  const std::string good = RunTool("cjpeg -restart 1B -scans " + testenv::Quote(dir.HostPath("s.scans")) + " " +
                                   testenv::Quote(dir.HostPath("in.ppm")));
  const size_t sos = FindMarker(good, 0xDA);
  const size_t scan = sos + 2 + (static_cast<uint8_t>(good[sos + 2]) << 8 | static_cast<uint8_t>(good[sos + 3]));
  for (size_t cut = scan; cut < good.size(); ++cut) {
    SCOPED_TRACE(cut);
    const Result r = Feed(good.substr(0, cut));
    ASSERT_EQ(r.setSource, 0);
    ASSERT_EQ(r.decode, 0) << r.error;
  }
  uint32_t seed = 11;
  for (int round = 0; round < 300; ++round) {
    std::string f = good;
    seed = seed * 1103515245 + 12345;
    const size_t at = scan + (seed >> 8) % (good.size() - scan);
    f[at] = static_cast<char>(f[at] ^ (1 << ((seed >> 4) & 7)));
    const Result r = Feed(f);
    ASSERT_EQ(r.setSource, 0);
    ASSERT_TRUE(r.decode == 0 || r.decode == -1 || r.decode == -2) << r.decode << " " << r.error;
    if (r.decode != 0) {
      EXPECT_TRUE(r.error.rfind("JDataFormatError", 0) == 0 || r.error.rfind("JIndexError", 0) == 0 ||
                  r.error.rfind("JNotSupported", 0) == 0)
          << r.error;
    }
    EXPECT_EQ(Feed(f).decode, r.decode);
  }
}
