// Run-length BMP files (BI_RLE8, BI_RLE4) read as ImageMagick reads them: the files
// ImageMagick writes with -compress RLE, and hand-made codes with every escape (end
// of row, end of picture, delta, absolute blocks with their padding). Hostile codes
// (runs past the row, moves past the picture, codes cut short) stay inside the image.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/ImageTestSupport.h"
#include "base/ByteOrder.h"
#include "image/ImageState.h"
#include "support/TestEnv.h"

namespace {

using testenv::Quote;
using testenv::Shell;

// A BMP of the depth (8: compression 1, 4: compression 2) with a grey ramp as its
// colour table and the codes as its pixel data.
std::string MakeRleBmp(int width, int height, int depth, const std::vector<uint8_t>& codes) {
  const int colors = 1 << depth;
  const uint32_t offset = 14 + 40 + 4 * colors;
  std::vector<uint8_t> b = {'B', 'M'};
  AppendLE32(b, static_cast<uint32_t>(offset + codes.size()));
  AppendLE32(b, 0);
  AppendLE32(b, offset);
  AppendLE32(b, 40);
  AppendLE32(b, static_cast<uint32_t>(width));
  AppendLE32(b, static_cast<uint32_t>(height));
  AppendLE16(b, 1);
  AppendLE16(b, static_cast<uint16_t>(depth));
  AppendLE32(b, depth == 8 ? 1 : 2);
  AppendLE32(b, static_cast<uint32_t>(codes.size()));
  AppendLE32(b, 2835);
  AppendLE32(b, 2835);
  AppendLE32(b, static_cast<uint32_t>(colors));
  AppendLE32(b, 0);
  for (int i = 0; i < colors; ++i) {
    const auto grey = static_cast<uint8_t>(i * 255 / (colors - 1));
    b.insert(b.end(), {grey, static_cast<uint8_t>(255 - grey), static_cast<uint8_t>(i * 7), 0});
  }
  b.insert(b.end(), codes.begin(), codes.end());
  return std::string(b.begin(), b.end());
}

class BmpRleTest : public testenv::DocTest {
 protected:
  // Our reading and ImageMagick's of the same file differ by this much.
  int DiffFromPeer(const std::string& name) {
    doc_->Image().m_nImageLoadState = 0;
    EXPECT_EQ(doc_->LoadImageFile(Win(name), 0), 0) << name;
    if (!doc_->Image().m_pImageBits) return 256;
    EXPECT_EQ(doc_->Image().m_bmiImage.bmiHeader.biCompression, 0u);
    return imagetest::MaxDiff(imagetest::DocImage(*doc_), imagetest::PeerRgb(dir_.HostPath(name)));
  }
};

TEST_F(BmpRleTest, ImageMagicksRunLengthFilesReadAsItReadsThem) {
  SKIP_WITHOUT_PROGRAM("convert");
  const std::string in = "cd " + Quote(dir_.Host()) + " && ";
  struct Case {
    const char* name;
    const char* recipe;
  };
  for (const Case c : {Case{"rose16.bmp", "rose: -colors 16 -type Palette"},
                       Case{"rose200.bmp", "rose: -colors 200 -type Palette"},
                       Case{"flat.bmp", "-size 300x7 xc:navy -fill yellow -draw 'rectangle 10,2 280,4' -type Palette"},
                       Case{"noise.bmp", "-size 61x33 plasma:fractal -seed 4 -colors 256 -type Palette"}}) {
    SCOPED_TRACE(c.name);
    Shell(in + "convert " + c.recipe + " -compress RLE BMP3:" + c.name);
    ASSERT_EQ(Shell(in + "identify -format '%C' " + c.name), "RLE");
    EXPECT_EQ(DiffFromPeer(c.name), 0);
  }
}

TEST_F(BmpRleTest, EveryEscapeOfBothDepthsAsImageMagickReadsIt) {
  SKIP_WITHOUT_PROGRAM("convert");
  struct Case {
    const char* name;
    int width, height, depth;
    std::vector<uint8_t> codes;
  };
  const Case cases[] = {
      // Runs, an absolute block of odd length with its pad byte, a delta, rows ended early.
      {"rle8.bmp", 9, 4, 8, {3, 5, 0, 3, 1, 2, 3, 0, 2, 7, 0, 0, 0, 2, 2, 1, 4, 9, 0, 0, 9, 200, 0, 0, 0, 1}},
      // Nibble runs, absolute blocks of 3, 4 and 5 pixels (pad rules by byte count), a delta.
      {"rle4.bmp", 11, 4, 4,
       {5, 0x1E, 0, 3, 0x23, 0x40, 0, 0, 0, 4, 0x56, 0x78, 3, 0x9A, 0, 0, 0, 5, 0xBC, 0xDE, 0xF0, 0, 0, 2, 3, 0,
        2, 0x31, 0, 0, 11, 0xC4, 0, 1}},
      // The end of the picture before the last row: the rest is index 0.
      {"short.bmp", 4, 3, 8, {4, 9, 0, 0, 0, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile(c.name, MakeRleBmp(c.width, c.height, c.depth, c.codes));
    EXPECT_EQ(DiffFromPeer(c.name), 0);
  }
}

// Codes that would write outside the rows: each is held to the picture and the
// file still loads, with the pixels the sound codes gave.
TEST_F(BmpRleTest, RunsAndMovesPastThePictureStayInsideFault) {
  struct Case {
    const char* what;
    int depth;
    std::vector<uint8_t> codes;
  };
  const Case cases[] = {
      {"a run longer than the row", 8, {255, 7, 255, 7, 255, 7, 0, 0, 255, 3}},
      {"a nibble run longer than the row", 4, {255, 0x77, 255, 0x77, 0, 0, 255, 0x33}},
      {"an absolute block longer than the row", 8, {0, 200, 1, 2, 3}},
      {"a delta past the right edge", 8, {0, 2, 250, 0, 5, 1, 0, 2, 250, 0, 0, 2, 250, 250, 3, 3}},
      {"a delta past the top", 4, {0, 2, 0, 255, 6, 0x11}},
      {"codes cut in an absolute block", 8, {2, 5, 0, 40, 1, 2}},
      {"codes cut in a delta", 8, {2, 5, 0, 2, 1}},
      {"no codes", 4, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    doc_->Image().m_nImageLoadState = 0;
    ASSERT_EQ(doc_->LoadImageFile(WriteFile("h.bmp", MakeRleBmp(5, 3, c.depth, c.codes)), 0), 0);
    const imagetest::Rgb shown = imagetest::DocImage(*doc_);
    EXPECT_EQ(shown.width, 5);
    EXPECT_EQ(shown.height, 3);
  }
  // A run past the row's end does not spill into the next row.
  doc_->Image().m_nImageLoadState = 0;
  ASSERT_EQ(doc_->LoadImageFile(WriteFile("h.bmp", MakeRleBmp(5, 2, 8, {9, 4, 0, 0, 1, 6, 0, 1})), 0), 0);
  const uint8_t* rows = doc_->Image().m_pImageBits;
  EXPECT_EQ(rows[4], 4);
  EXPECT_EQ(rows[8], 6);   // second row, first pixel
  EXPECT_EQ(rows[9], 0);
}

}  // namespace
