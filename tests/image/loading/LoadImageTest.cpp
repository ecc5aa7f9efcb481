// The loader: BMP files as they come and as they lie, the kinds a file's first
// bytes decide, the load road's messages, plug-ins from the program folder only,
// and the shared pictures.
#include <filesystem>

#include "image/ImageTestSupport.h"
#include "app/StringTable.h"
#include "frame/MainFrame.h"
#include "base/ByteOrder.h"
#include "image/ImageState.h"
#include "platform/os/Files.h"
#include "support/TestEnv.h"
#include "view/QelView.h"

namespace {

struct BmpShape {
  int32_t width = 3, height = 2;
  int bits = 24;
  uint32_t headerSize = 40;
  uint32_t compression = 0;
  uint32_t colorsUsed = 0;
  int64_t pixelOffset = -1;  // -1: right behind the table
  int64_t keepBytes = -1;    // cut the file to this length
};

// A BMP whose pixel bytes count up from 1.
std::string MakeBmp(const BmpShape& s) {
  const int colors = s.bits <= 8 ? (s.colorsUsed ? static_cast<int>(s.colorsUsed) : 1 << s.bits) : 0;
  const int64_t stride = (int64_t{s.width} * s.bits + 31) / 32 * 4;
  const int64_t rows = stride * (s.height < 0 ? -s.height : s.height);
  const uint32_t offset = s.pixelOffset >= 0 ? static_cast<uint32_t>(s.pixelOffset) : 14 + s.headerSize + 4 * colors;
  std::vector<uint8_t> b = {'B', 'M'};
  AppendLE32(b, static_cast<uint32_t>(offset + rows));
  AppendLE32(b, 0);
  AppendLE32(b, offset);
  AppendLE32(b, s.headerSize);
  AppendLE32(b, static_cast<uint32_t>(s.width));
  AppendLE32(b, static_cast<uint32_t>(s.height));
  AppendLE16(b, 1);
  AppendLE16(b, static_cast<uint16_t>(s.bits));
  AppendLE32(b, s.compression);
  for (int i = 0; i < 3; ++i) AppendLE32(b, 0);
  AppendLE32(b, s.colorsUsed);
  AppendLE32(b, 0);
  b.resize(14 + s.headerSize, 0);
  for (int i = 0; i < colors; ++i) b.insert(b.end(), {uint8_t(i), uint8_t(i), uint8_t(i), 0});
  b.resize(std::max<size_t>(b.size(), offset), 0);
  for (int64_t i = 0; i < std::min<int64_t>(rows, 1 << 20); ++i) b.push_back(static_cast<uint8_t>(1 + i % 250));
  if (s.keepBytes >= 0) b.resize(static_cast<size_t>(s.keepBytes));
  return std::string(b.begin(), b.end());
}

class LoadImageTest : public testenv::DocTest {
 protected:
  int Load(const std::string& name, const std::string& bytes) {
    doc_->Image().m_nImageLoadState = 0;
    return doc_->LoadImageFile(WriteFile(name, bytes), 0);
  }
  std::string FormatPane() { return frame_->StatusBar().GetPaneText(frame_->StatusBar().CommandToIndex(104)); }
};

struct BmpCase {
  const char* what;
  BmpShape shape;
  int result;
  int shortRows = 0;  // the file ends before the last row (-1: not looked at)
};

TEST_F(LoadImageTest, BmpFilesAsTheyComeAndAsTheyLie) {
  const BmpCase cases[] = {
      {"plain 24 bits", {}, 0},
      {"8 bits, 0 colours used", {.width = 5, .bits = 8}, 0},
      {"16 bits", {.bits = 16}, 0},
      {"top-down", {.height = -2}, -1},
      {"no height", {.height = 0}, -1},
      {"no width", {.width = 0}, -1},
      {"a width no stride can hold", {.width = 0x7FFFFFFF}, -1},
      {"rows of a million and one", {.width = 1, .height = 1000001, .bits = 8}, -1},
      {"2 bits", {.bits = 2}, -1},
      {"core header of 12 bytes", {.headerSize = 12}, -1},
      {"run-length rows", {.bits = 8, .compression = 1}, 0, -1},
      {"4-bit run-length rows", {.bits = 4, .compression = 2}, 0, -1},
      {"run-length codes of 24 bits", {.compression = 1}, -1},
      {"4-bit run-length codes of 8 bits", {.bits = 8, .compression = 2}, -1},
      {"version 5 header", {.headerSize = 124}, 0},
      {"pixel offset past the end", {.pixelOffset = 5000}, 0},
      {"pixel offset inside the header", {.pixelOffset = 20}, 0},
      {"rows cut short", {.width = 4, .height = 4, .keepBytes = 54 + 20}, 0, 1},
      {"last row without its padding", {.width = 5, .height = 2, .keepBytes = 54 + 16 + 15}, 0, 0},
      {"last row one byte short", {.width = 5, .height = 2, .keepBytes = 54 + 16 + 14}, 0, 1},
      {"header cut short", {.keepBytes = 40}, -1},
      {"a lying colour count", {.bits = 8, .colorsUsed = 100000}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const int result = Load("a.bmp", MakeBmp(c.shape));
    EXPECT_EQ(result, c.result);
    if (result != 0) {
      EXPECT_EQ(doc_->Image().m_nImageAlloc, 0);
      continue;
    }
    const auto& h = doc_->Image().m_bmiImage.bmiHeader;
    // The block always covers the rows the header describes.
    EXPECT_GE(doc_->Image().m_nImageAlloc, DibStride(h.biWidth, h.biBitCount) * h.biHeight + 10000);
    EXPECT_EQ(h.biSize, 40u);
    if (c.shortRows >= 0) {
      EXPECT_EQ(doc_->Image().m_bImageShort, c.shortRows);
    }
  }
}

TEST_F(LoadImageTest, BmpPixelsTableAndRowsThatRanShort) {
  ASSERT_EQ(Load("p.bmp", MakeBmp({.width = 5, .bits = 8})), 0);
  EXPECT_EQ(doc_->Image().m_nImageInfoSize, 40 + 4 * 256);
  EXPECT_EQ(doc_->Image().m_bmiImage.bmiColors[7].rgbRed, 7);
  EXPECT_EQ(doc_->Image().m_pImageBits[0], 1);
  EXPECT_EQ(doc_->Image().m_nImageLoadState, 1);
  EXPECT_EQ(FormatPane(), "Bitmap 8 bit");

  // A 4 x 4 file cut after 20 of its 48 pixel bytes: the rest is zero.
  ASSERT_EQ(Load("cut.bmp", MakeBmp({.width = 4, .height = 4, .keepBytes = 54 + 20})), 0);
  EXPECT_EQ(doc_->Image().m_pImageBits[19], 20);
  EXPECT_EQ(doc_->Image().m_pImageBits[20], 0);
  EXPECT_EQ(doc_->Image().m_pImageBits[47], 0);
}

TEST_F(LoadImageTest, FirstBytesDecideTheKind) {
  ASSERT_EQ(Load("photo.jpg", MakeBmp({})), 0);
  EXPECT_EQ(FormatPane(), "Bitmap 24 bit");
  // A second load without a new document load is refused without reading.
  EXPECT_EQ(doc_->LoadImageFile(Win("photo.jpg"), 0), -1);
  EXPECT_EQ(Load("anim.png", std::string("GIF88a") + std::string(20, '\0')), -1);  // the GIF road, a version it refuses
  EXPECT_EQ(Load("empty.png", ""), -1);
  EXPECT_EQ(Load("missing.png", "x"), -1);
  doc_->Image().m_nImageLoadState = 0;
  EXPECT_EQ(doc_->LoadImageFile(Win("not-there.png"), 0), -1);
}

TEST_F(LoadImageTest, VolumeLimits) {
  // A BMP over the "bmpfile" volume keeps the bottom rows that fit.
  doc_->m_nBmpFileLimit = 1000;
  ASSERT_EQ(Load("big.bmp", MakeBmp({.width = 20, .height = 20})), 0);
  EXPECT_EQ(doc_->Image().m_nImageHeight, 1000 / 60);
  EXPECT_EQ(doc_->Image().m_pImageBits[0], 1);
  // Cut, not short: the rows kept are all read, the top one too.
  EXPECT_EQ(doc_->Image().m_bImageCut, 1);
  EXPECT_EQ(doc_->Image().m_bImageShort, 0);
  EXPECT_EQ(doc_->Image().m_pImageBits[1000 / 60 * 60 - 1], (1000 / 60 * 60 - 1) % 250 + 1);
  // Any other kind over it is refused with -3 and the volume in the message.
  doc_->m_nBmpFileLimit = 1 << 20;
  EXPECT_EQ(Load("big.png", "\x89PNG" + std::string((1 << 20) + 10, '\0')), -3);
  doc_->LoadDocument(Win("big.png"));
  char expected[256];
  std::snprintf(expected, sizeof expected, LoadString(IDS_FILE_SIZE_OVER).c_str(), 1);
  EXPECT_EQ(Text(), expected);
}

// A BMP cut at the "bmpfile" volume was shown as if whole: the status compared the
// image size with the volume after the size had been made whole rows again. The cut
// picture says "Over!" and shows the file's bottom rows; one that fits says nothing.
TEST_F(LoadImageTest, BmpCutAtTheVolumeNeverSaidOverFault) {
  SKIP_WITHOUT_PROGRAM("convert");
  testenv::Shell("convert -size 1600x1200 gradient:red-blue -type TrueColor BMP3:" + testenv::Quote(dir_.HostPath("big.bmp")));
  testenv::Shell("convert " + testenv::Quote(dir_.HostPath("big.bmp")) + " -crop 1600x218+0+982 +repage BMP3:" +
                 testenv::Quote(dir_.HostPath("fits.bmp")));
  CQelView view(*doc_);
  doc_->m_nBmpFileLimit = 1 << 20;
  for (const auto& [name, status] : {std::pair{"big.bmp", "W1600 x H(218)Over! x 24bits "},
                                     std::pair{"fits.bmp", "W1600 x H218 x 24bits "}}) {
    doc_->Image().m_nImageLoadState = 0;
    ASSERT_EQ(doc_->LoadDocument(Win(name)), 0) << name;
    EXPECT_EQ(frame_->StatusBar().GetPaneText(0).rfind(status, 0), 0u) << frame_->StatusBar().GetPaneText(0);
    ASSERT_TRUE(view.SaveDisplayPng(Win("shown.png")));
    EXPECT_EQ(imagetest::MaxDiff(imagetest::PeerRgb(dir_.HostPath("shown.png")), imagetest::PeerRgb(dir_.HostPath("fits.bmp"))), 0)
        << name;
  }
}

TEST_F(LoadImageTest, ListMacroTrimsByTheMarginsInUnitsOf48Pixels) {
  doc_->m_nQuietState = 1;
  doc_->Image().m_nTrimLeft = 1;
  doc_->Image().m_nTrimBottom = 1;
  ASSERT_EQ(Load("wide.bmp", MakeBmp({.width = 100, .height = 60, .bits = 8})), 0);
  EXPECT_EQ(doc_->Image().m_nImageWidth, 52);
  EXPECT_EQ(doc_->Image().m_nImageHeight, 12);
  // The first kept pixel is row 48 (bottom-up), column 48 of the file.
  EXPECT_EQ(doc_->Image().m_pImageBits[0], 1 + (48 * 100 + 48) % 250);
  // Margins that leave nothing keep the whole picture.
  doc_->Image().m_nTrimLeft = 5;
  ASSERT_EQ(Load("wide.bmp", MakeBmp({.width = 100, .height = 60, .bits = 8})), 0);
  EXPECT_EQ(doc_->Image().m_nImageWidth, 100);
}

TEST_F(LoadImageTest, ProgressiveAndArithmeticJpegsAreRefusedWithTheMessage) {
  SKIP_WITHOUT_PROGRAM("cjpeg");
  SKIP_WITHOUT_PROGRAM("convert");
  for (const char* option : {"-progressive", "-arithmetic"}) {
    SCOPED_TRACE(option);
    testenv::Shell("convert rose: ppm:- | cjpeg " + std::string(option) + " > " + testenv::Quote(dir_.HostPath("p.jpg")));
    doc_->LoadDocument(Win("p.jpg"));
    EXPECT_EQ(Text(), LoadString(IDS_IMAGE_BROKEN));
  }
}

TEST_F(LoadImageTest, LoadRoadMessages) {
  WriteFile("broken.png", "\x89PNG\r\n\x1a\n broken");
  doc_->LoadDocument(Win("broken.png"));
  EXPECT_EQ(Text(), LoadString(IDS_IMAGE_BROKEN));
  doc_->Image().m_astrImageExt[0] = "abc";
  WriteFile("pic.abc", "TESTPIC");
  doc_->LoadDocument(Win("pic.abc"));
  EXPECT_EQ(Text(), LoadString(IDS_IMAGE_PLUGIN_MISSING));
  WriteFile("ok.bmp", MakeBmp({}));
  doc_->LoadDocument(Win("ok.bmp"));
  EXPECT_EQ(Text(), "");
  EXPECT_EQ(doc_->Image().m_nImageLoadState, 1);
}

#ifdef PELNORIX_TEST_PLUGIN
TEST_F(LoadImageTest, PluginsComeFromTheProgramFolderOnly) {
  const std::string plugin = testenv::ReadHostFile(PELNORIX_TEST_PLUGIN);
  ASSERT_FALSE(plugin.empty());
  doc_->Image().m_astrImageExt[0] = "abc";
  doc_->Image().m_astrImageExt[1] = ".abcdef";
  doc_->Image().m_astrImageExt[2] = "xyz";
  // In the current folder it is not loaded.
  WriteFile("IFXYZ.SPI", plugin);
  const std::string cwd = plat::GetCurrentDirectory();
  plat::SetCurrentDirectory(dir_.Win());
  EXPECT_EQ(Load("a.xyz", "TESTPIC"), -2);
  plat::SetCurrentDirectory(cwd);

  plat::MakeDirectories(doc_->m_strProgramDir);
  plat::WriteWholeFile(doc_->m_strProgramDir + "\\IFABC.SPI", plugin);
  ASSERT_EQ(Load("b.abc", "TESTPIC"), 0);
  EXPECT_EQ(doc_->Image().m_nImageBitsOwner, 2);
  const auto rgb = imagetest::DocImage(*doc_);
  EXPECT_EQ(rgb.pixels, (std::vector<uint8_t>{255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255}));
  EXPECT_EQ(Load("c.abc", "NOTAPIC"), -1);
  EXPECT_EQ(doc_->Image().m_nImageAlloc, 0);
  // ".abcdef" looks for IFDEF.SPI (the last three letters), then IFDEF*.SPI.
  plat::WriteWholeFile(doc_->m_strProgramDir + "\\IFDEF2.SPI", plugin);
  EXPECT_EQ(Load("d.abcdef", "TESTPIC"), 0);
}
#endif

TEST_F(LoadImageTest, SharedPicturesLoadOrAreRefused) {
  const std::string folder = testenv::SharedTestData("images");
  SKIP_WITHOUT_SHARED_DATA(folder);
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string ext = entry.path().extension().string();
    if (ext != ".png" && ext != ".bmp" && ext != ".jpg" && ext != ".tiff" && ext != ".gif") continue;
    SCOPED_TRACE(entry.path().filename().string());
    doc_->Image().m_nImageLoadState = 0;
    const int result = doc_->LoadImageFile(plat::FromHostPath(entry.path().string()), 0);
    EXPECT_TRUE(result == 0 || result == -1);
    if (result == 0) {
      EXPECT_EQ(doc_->Image().m_bImageShort, 0) << "a whole file taken as cut short";
    }
    if (ext == ".jpg") {
      ASSERT_EQ(result, 0);
      const auto peer = imagetest::PeerPnm("djpeg -dct int -nosmooth " + testenv::Quote(entry.path().string()));
      EXPECT_GE(imagetest::Psnr(imagetest::DocImage(*doc_), peer), 36);
    }
    if (ext == ".png" || ext == ".bmp") {
      ASSERT_EQ(result, 0);
      EXPECT_EQ(imagetest::MaxDiff(imagetest::DocImage(*doc_),
                                   imagetest::PeerPnm((ext == ".png" ? "pngtopnm " : "bmptoppm ") +
                                                      testenv::Quote(entry.path().string()))),
                0);
    }
  }
}

}  // namespace
