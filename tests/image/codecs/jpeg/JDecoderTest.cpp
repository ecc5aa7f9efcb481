// The JPEG decoder against djpeg on files made by cjpeg and ImageMagick, and on the
// shared pictures; the DIB layout; truncated files.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "image/codecs/jpeg/JDecoder.h"
#include "JpegTestSupport.h"

using namespace jpegtest;

namespace {

// Our decoding of a file as interleaved RGB (or grey when it has one component).
struct Decoded {
  int result = -9;
  int width = 0, height = 0, components = 0;
  std::vector<uint8_t> px;
  std::string error;
  bool whole = false;  // every block of the image was decoded
};

Decoded DecodeBytes(const std::string& file, bool asGrey) {
  Decoded d;
  JDecoder dec;
  d.result = dec.SetSource(reinterpret_cast<const uint8_t*>(file.data()), static_cast<int64_t>(file.size()));
  if (d.result == 0) d.result = dec.Decode();
  d.error = dec.GetError();
  d.whole = dec.Whole();
  if (d.result != 0) return d;
  uint8_t *r, *g, *b;
  dec.GetInfo(&r, &g, &b, &d.width, &d.height, &d.components);
  const size_t n = static_cast<size_t>(d.width) * d.height;
  for (size_t i = 0; i < n; ++i) {
    if (asGrey) {
      EXPECT_TRUE(r[i] == g[i] && g[i] == b[i]) << "grey pixel " << i;
      d.px.push_back(r[i]);
    } else {
      d.px.insert(d.px.end(), {r[i], g[i], b[i]});
    }
  }
  return d;
}

class JDecoderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SKIP_WITHOUT_PROGRAM("cjpeg");
    SKIP_WITHOUT_PROGRAM("djpeg");
  }
  // djpeg's own reading of a file, without smoothing, with its integer transform.
  Pnm Reference(const std::string& path) {
    return ParsePnm(RunTool("djpeg -dct int -nosmooth -pnm " + testenv::Quote(path)));
  }
  testenv::TempDir dir_;
};

struct MadeCase {
  const char* name;
  int width, height;
  bool grey;
  const char* maker;  // command line with %IN and %OUT
  double minPsnr;
  int maxDiff;        // 0: not checked
};

const MadeCase kMade[] = {
    {"420", 64, 48, false, "cjpeg -quality 85 -sample 2x2 -outfile %OUT %IN", 42, 0},
    {"422", 64, 48, false, "cjpeg -quality 85 -sample 2x1 -outfile %OUT %IN", 42, 0},
    {"444", 64, 48, false, "cjpeg -quality 85 -sample 1x1 -outfile %OUT %IN", 42, 0},
    {"411", 64, 48, false, "cjpeg -quality 85 -sample 4x1 -outfile %OUT %IN", 42, 0},
    {"440", 40, 40, false, "cjpeg -quality 90 -sample 1x2 -outfile %OUT %IN", 42, 0},
    {"grey", 50, 30, true, "cjpeg -quality 85 -grayscale -outfile %OUT %IN", 50, 2},
    {"odd420", 17, 17, false, "cjpeg -quality 90 -sample 2x2 -outfile %OUT %IN", 42, 0},
    {"one_pixel", 1, 1, false, "cjpeg -quality 90 -outfile %OUT %IN", 42, 0},
    {"thin", 33, 7, false, "cjpeg -quality 75 -sample 2x2 -outfile %OUT %IN", 42, 0},
    {"restart_each_mcu", 40, 24, false, "cjpeg -quality 85 -restart 1B -outfile %OUT %IN", 42, 0},
    {"restart_rows", 40, 40, true, "cjpeg -quality 85 -grayscale -restart 1 -outfile %OUT %IN", 50, 2},
    {"optimized_tables", 64, 48, false, "cjpeg -quality 80 -optimize -outfile %OUT %IN", 42, 0},
    {"quality100", 24, 24, false, "cjpeg -quality 100 -sample 1x1 -outfile %OUT %IN", 42, 0},
    {"quality5", 48, 32, false, "cjpeg -quality 5 -baseline -outfile %OUT %IN", 42, 0},
    {"imagemagick", 45, 31, false, "convert %IN -quality 82 -sampling-factor 2x2 -define jpeg:restart-interval=2 jpg:%OUT", 42, 0},
    {"imagemagick_grey", 30, 20, true, "convert %IN -quality 90 jpg:%OUT", 50, 2},
};

std::string Fill(std::string cmd, const std::string& in, const std::string& out) {
  cmd.replace(cmd.find("%OUT"), 4, testenv::Quote(out));
  cmd.replace(cmd.find("%IN"), 3, testenv::Quote(in));
  return cmd;
}

}  // namespace

TEST_F(JDecoderTest, FilesOfPeerToolsDecodeAsDjpegReadsThem) {
  for (const MadeCase& c : kMade) {
    SCOPED_TRACE(c.name);
    if (std::string(c.maker).rfind("convert", 0) == 0 && !testenv::PeerProgram("convert")) continue;
    const std::string in = dir_.HostPath(std::string(c.name) + (c.grey ? ".pgm" : ".ppm"));
    const std::string out = dir_.HostPath(std::string(c.name) + ".jpg");
    testenv::WriteHostFile(in, MakePnm(c.width, c.height, c.grey));
    RunTool(Fill(c.maker, in, out));
    const Pnm ref = Reference(out);
    ASSERT_EQ(ref.width, c.width);
    const Decoded d = DecodeBytes(testenv::ReadHostFile(out), c.grey);
    ASSERT_EQ(d.result, 0) << d.error;
    ASSERT_EQ(d.width, c.width);
    ASSERT_EQ(d.height, c.height);
    EXPECT_EQ(d.components, c.grey ? 1 : 3);
    ASSERT_EQ(d.px.size(), ref.px.size());
    EXPECT_GE(Psnr(d.px.data(), ref.px.data(), d.px.size()), c.minPsnr);
    if (c.maxDiff) {
      EXPECT_LE(MaxDiff(d.px.data(), ref.px.data(), d.px.size()), c.maxDiff);
    }
  }
}

// Progressive and arithmetic-coded frames are refused with JNotSupported and the
// marker that says so.
TEST_F(JDecoderTest, OtherCodingProcessesAreRefused) {
  const std::string in = dir_.HostPath("in.ppm");
  testenv::WriteHostFile(in, MakePnm(32, 32, false));
  const struct {
    std::string options;
    const char* error;
  } cases[] = {
      {"-progressive", "JNotSupported marker 194"},
      {"-arithmetic", "JNotSupported marker 201"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.options);
    const std::string out = dir_.HostPath("refused.jpg");
    RunTool("cjpeg " + c.options + " -outfile " + testenv::Quote(out) + " " + testenv::Quote(in));
    const Decoded d = DecodeBytes(testenv::ReadHostFile(out), false);
    EXPECT_EQ(d.result, -2);
    EXPECT_EQ(d.error.rfind(c.error, 0), 0u) << d.error;
  }
}

// Baseline frames sent in several scans (one per component, in any order, or the
// luminance alone and then both chrominances; tables between the scans, restart
// intervals) were refused; they decode as djpeg reads them.
TEST_F(JDecoderTest, ScanPerComponentFilesDecodeAsDjpegReadsThem) {
  const struct {
    const char* name;
    int width, height;
    const char* options;
    const char* script;
  } cases[] = {
      {"420", 37, 29, "-quality 85", "0;\n1;\n2;\n"},
      {"444", 32, 24, "-quality 85 -sample 1x1", "0;\n1;\n2;\n"},
      {"422_luma_then_chroma", 45, 21, "-quality 85 -sample 2x1", "0;\n1 2;\n"},
      {"chroma_first", 33, 17, "-quality 90", "2;\n1;\n0;\n"},
      {"restart_each_block", 40, 24, "-quality 85 -restart 1B", "0;\n1;\n2;\n"},
      {"restart_rows", 50, 34, "-quality 85 -restart 1", "0;\n1;\n2;\n"},
      {"optimized_tables", 64, 48, "-quality 80 -optimize", "0;\n1;\n2;\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string in = dir_.HostPath(std::string(c.name) + ".ppm");
    const std::string script = dir_.HostPath(std::string(c.name) + ".scans");
    const std::string out = dir_.HostPath(std::string(c.name) + ".jpg");
    testenv::WriteHostFile(in, MakePnm(c.width, c.height, false));
    testenv::WriteHostFile(script, c.script);
    RunTool(std::string("cjpeg ") + c.options + " -scans " + testenv::Quote(script) + " -outfile " +
            testenv::Quote(out) + " " + testenv::Quote(in));
    const std::string file = testenv::ReadHostFile(out);
    ASSERT_EQ(file[file.size() - 2], '\xFF');
    const Pnm ref = Reference(out);
    ASSERT_EQ(ref.width, c.width);
    const Decoded d = DecodeBytes(file, false);
    ASSERT_EQ(d.result, 0) << d.error;
    EXPECT_TRUE(d.whole);
    ASSERT_EQ(d.width, c.width);
    ASSERT_EQ(d.height, c.height);
    EXPECT_EQ(d.components, 3);
    ASSERT_EQ(d.px.size(), ref.px.size());
    EXPECT_GE(Psnr(d.px.data(), ref.px.data(), d.px.size()), 42);
    // The same decoder decodes again from the first scan.
    JDecoder dec;
    ASSERT_EQ(dec.SetSource(reinterpret_cast<const uint8_t*>(file.data()), static_cast<int64_t>(file.size())), 0);
    std::vector<uint8_t> first, second;
    ASSERT_EQ(dec.DecodeDib(first, 0), 0);
    ASSERT_EQ(dec.DecodeDib(second, 0), 0);
    EXPECT_EQ(first, second);
  }
}

// A file in several scans cut short: cut inside a later scan or between scans, what
// was decoded stands and the rest is flat; cut inside the first scan, the same. The
// decoder says it was not whole, so that a conversion refuses it.
TEST_F(JDecoderTest, ScanPerComponentFilesCutShortStillDecode) {
  const std::string in = dir_.HostPath("in.ppm");
  const std::string script = dir_.HostPath("s.scans");
  const std::string out = dir_.HostPath("s.jpg");
  testenv::WriteHostFile(in, MakePnm(48, 40, false));
  testenv::WriteHostFile(script, "0;\n1;\n2;\n");
  RunTool("cjpeg -quality 85 -scans " + testenv::Quote(script) + " -outfile " + testenv::Quote(out) + " " +
          testenv::Quote(in));
  const std::string file = testenv::ReadHostFile(out);
  std::vector<size_t> scans;
  for (size_t i = 0; i + 1 < file.size(); ++i) {
    if (file[i] == '\xFF' && file[i + 1] == '\xDA') scans.push_back(i);
  }
  ASSERT_EQ(scans.size(), 3u);
  const Decoded whole = DecodeBytes(file, false);
  ASSERT_EQ(whole.result, 0) << whole.error;
  for (const size_t cut : {scans[0] + 40, scans[1], scans[1] + 20, scans[2] + 4, file.size() - 2}) {
    SCOPED_TRACE(cut);
    const Decoded d = DecodeBytes(file.substr(0, cut), false);
    ASSERT_EQ(d.result, 0) << d.error;
    ASSERT_EQ(d.px.size(), whole.px.size());
    // Only a file whose every scan is there counts as whole.
    EXPECT_EQ(d.whole, cut == file.size() - 2);
    if (cut == file.size() - 2) {
      EXPECT_EQ(d.px, whole.px);  // no EOI: every scan is there
    }
  }
}

// A first block whose DC difference is -255 is an ordinary value, not a code for
// another one: a flat grey block of 96 and 97 at quality 100 has exactly that.
TEST_F(JDecoderTest, FirstBlockDcOfMinus255IsDecodedAsWritten) {
  std::string pgm = "P5\n8 8\n255\n";
  for (int i = 0; i < 64; ++i) pgm += static_cast<char>(i < 56 ? 96 : 97);
  const std::string in = dir_.HostPath("dc.pgm");
  const std::string out = dir_.HostPath("dc.jpg");
  testenv::WriteHostFile(in, pgm);
  RunTool("cjpeg -quality 100 -grayscale -outfile " + testenv::Quote(out) + " " + testenv::Quote(in));
  const Pnm ref = Reference(out);
  const Decoded d = DecodeBytes(testenv::ReadHostFile(out), true);
  ASSERT_EQ(d.result, 0) << d.error;
  ASSERT_EQ(d.px.size(), ref.px.size());
  EXPECT_LE(MaxDiff(d.px.data(), ref.px.data(), d.px.size()), 2);
}

// ImageMagick's CMYK files (Adobe YCCK, four components, 2x2 sampled K) load with
// the component count 4; their colours are the first three components read as YCbCr.
TEST_F(JDecoderTest, FourComponentFilesLoad) {
  SKIP_WITHOUT_PROGRAM("convert");
  const std::string in = dir_.HostPath("in.ppm");
  const std::string out = dir_.HostPath("cmyk.jpg");
  testenv::WriteHostFile(in, MakePnm(21, 19, false));
  RunTool("convert " + testenv::Quote(in) + " -colorspace CMYK -quality 80 jpg:" + testenv::Quote(out));
  const Decoded d = DecodeBytes(testenv::ReadHostFile(out), false);
  ASSERT_EQ(d.result, 0) << d.error;
  EXPECT_EQ(d.components, 4);
  EXPECT_EQ(d.width, 21);
  EXPECT_EQ(d.height, 19);
}

TEST_F(JDecoderTest, DibRowsAreBottomUpBgrWithZeroPadding) {
  const std::string in = dir_.HostPath("in.ppm");
  const std::string out = dir_.HostPath("dib.jpg");
  testenv::WriteHostFile(in, MakePnm(13, 9, false));
  RunTool("cjpeg -outfile " + testenv::Quote(out) + " " + testenv::Quote(in));
  const std::string file = testenv::ReadHostFile(out);
  const Decoded planes = DecodeBytes(file, false);
  ASSERT_EQ(planes.result, 0);
  // One decoder gives both: a second decoding starts over at the scan.
  JDecoder dec;
  ASSERT_EQ(dec.SetSource(reinterpret_cast<const uint8_t*>(file.data()), static_cast<int64_t>(file.size())), 0);
  ASSERT_EQ(dec.Decode(), 0);
  std::vector<uint8_t> dib(7, 0xEE);
  ASSERT_EQ(dec.DecodeDib(dib, 100), 0);
  const int stride = 40;  // 13 x 3 = 39, padded to 40
  ASSERT_EQ(dib.size(), static_cast<size_t>(stride * 9 + 100));
  for (int y = 0; y < 9; ++y) {
    const uint8_t* row = dib.data() + (8 - y) * stride;
    for (int x = 0; x < 13; ++x) {
      const uint8_t* rgb = planes.px.data() + (y * 13 + x) * 3;
      EXPECT_EQ(row[x * 3 + 2], rgb[0]);
      EXPECT_EQ(row[x * 3 + 1], rgb[1]);
      EXPECT_EQ(row[x * 3 + 0], rgb[2]);
    }
    EXPECT_EQ(row[39], 0);
  }
}

// Bands of one colour, 16 rows each: every row must come out uniform, so the pixels
// converted sixteen at a time and those of the row's end agree for every colour.
TEST_F(JDecoderTest, RowsOfOneColourStayUniform) {
  const int w = 45, bands = 48;
  std::string ppm = "P6\n" + std::to_string(w) + " " + std::to_string(16 * bands) + "\n255\n";
  for (int k = 0; k < bands; ++k) {
    for (int i = 0; i < 16 * w; ++i) ppm += {static_cast<char>(k * 37 + 5), static_cast<char>(k * 91 + 200), static_cast<char>(k * 53)};
  }
  const std::string in = dir_.HostPath("bands.ppm");
  testenv::WriteHostFile(in, ppm);
  for (const char* sample : {"2x2", "1x1", "2x1"}) {
    SCOPED_TRACE(sample);
    const std::string out = dir_.HostPath("bands.jpg");
    RunTool(std::string("cjpeg -quality 100 -sample ") + sample + " -outfile " + testenv::Quote(out) + " " + testenv::Quote(in));
    const std::string file = testenv::ReadHostFile(out);
    const Decoded d = DecodeBytes(file, false);
    ASSERT_EQ(d.result, 0);
    JDecoder dec;
    std::vector<uint8_t> dib;
    ASSERT_EQ(dec.SetSource(reinterpret_cast<const uint8_t*>(file.data()), static_cast<int64_t>(file.size())), 0);
    ASSERT_EQ(dec.DecodeDib(dib, 0), 0);
    const int stride = (w * 3 + 3) / 4 * 4;
    for (int y = 0; y < 16 * bands; ++y) {
      const uint8_t* row = &d.px[static_cast<size_t>(y) * w * 3];
      const uint8_t* dibRow = &dib[static_cast<size_t>(16 * bands - 1 - y) * stride];
      for (int x = 0; x < w; ++x) {
        ASSERT_EQ(0, std::memcmp(row + 3 * x, row, 3)) << "row " << y << " pixel " << x;
        ASSERT_EQ(dibRow[3 * x], row[2]) << "row " << y << " pixel " << x;
        ASSERT_EQ(dibRow[3 * x + 1], row[1]) << "row " << y << " pixel " << x;
        ASSERT_EQ(dibRow[3 * x + 2], row[0]) << "row " << y << " pixel " << x;
      }
    }
  }
}

// A file that ends inside its scan loads: the rows before the cut as in the whole
// file, the rest zero.
TEST_F(JDecoderTest, TruncatedScanKeepsWhatWasDecoded) {
  const std::string in = dir_.HostPath("in.ppm");
  const std::string out = dir_.HostPath("cut.jpg");
  testenv::WriteHostFile(in, MakePnm(64, 64, false));
  RunTool("cjpeg -quality 90 -sample 2x2 -outfile " + testenv::Quote(out) + " " + testenv::Quote(in));
  const std::string file = testenv::ReadHostFile(out);
  const Decoded whole = DecodeBytes(file, false);
  ASSERT_EQ(whole.result, 0);
  const Decoded cut = DecodeBytes(file.substr(0, file.size() * 2 / 3), false);
  ASSERT_EQ(cut.result, 0) << cut.error;
  // A conversion refuses what the viewer shows of it.
  EXPECT_TRUE(whole.whole);
  EXPECT_FALSE(cut.whole);
  const size_t rowBytes = 64 * 3;
  EXPECT_EQ(0, std::memcmp(whole.px.data(), cut.px.data(), 16 * rowBytes)) << "first MCU row";
  for (size_t i = 63 * rowBytes; i < 64 * rowBytes; ++i) ASSERT_EQ(cut.px[i], 0) << i;
}

TEST_F(JDecoderTest, SharedPicturesDecodeAsDjpegReadsThem) {
  const std::string folder = testenv::SharedTestData("images");
  SKIP_WITHOUT_SHARED_DATA(folder);
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string file = testenv::ReadHostFile(entry.path().string());
    if (file.size() < 3 || static_cast<uint8_t>(file[0]) != 0xFF || static_cast<uint8_t>(file[1]) != 0xD8) continue;
    SCOPED_TRACE(entry.path().filename().string());
    ++count;
    const Pnm ref = Reference(entry.path().string());
    const Decoded d = DecodeBytes(file, ref.channels == 1);
    ASSERT_EQ(d.result, 0) << d.error;
    EXPECT_TRUE(d.whole);
    ASSERT_EQ(d.px.size(), ref.px.size());
    EXPECT_GE(Psnr(d.px.data(), ref.px.data(), d.px.size()), 42);
  }
  EXPECT_GT(count, 0);
}
