// GIF and TIFF files that ImageMagick writes from its built-in picture, read back
// pixel for pixel against giftopnm and tifftopnm; the options this reader refuses
// are refused, never shown wrong.
#include "image/ImageState.h"
#include "image/ImageTestSupport.h"
#include "platform/os/Files.h"
#include "support/TestEnv.h"

namespace {

struct MadeFile {
  const char* name;
  const char* options;  // ImageMagick options between the source and the target
  int bits;             // the DIB depth the reader gives; 0: refused
};

const MadeFile kFiles[] = {
    {"c256.gif", "-colors 256", 8},
    {"c16.gif", "-colors 16", 4},
    {"c2.gif", "-colors 2", 4},
    {"interlaced.gif", "-colors 64 -interlace GIF", 8},
    {"column.gif", "-crop 1x46+10+0 +repage -colors 16", 4},
    {"rgb.tif", "-compress None", 24},
    {"rgb-lzw.tif", "-compress LZW", 24},
    {"rgb-lzw-predictor.tif", "-compress LZW -define tiff:predictor=2", 24},
    {"rgb-packbits.tif", "-compress RLE", 24},
    {"rgb-msb-strips.tif", "-endian MSB -compress LZW -define tiff:rows-per-strip=7", 24},
    {"palette.tif", "-colors 16 -type Palette -compress LZW", 4},
    {"palette8.tif", "-colors 200 -type Palette -compress RLE", 8},
    {"grey.tif", "-type Grayscale -compress LZW", 8},
    {"grey4.tif", "-type Grayscale -depth 4 -compress None", 4},
    {"grey-min-is-white.tif", "-type Grayscale -define tiff:photometric=min-is-white -compress LZW", 8},
    {"grey2.tif", "-type Grayscale -depth 2 -compress None", 4},
    {"bilevel.tif", "-resize 400x -monochrome -depth 1 -compress None", 1},
    {"g4.tif", "-resize 400x -monochrome -compress Group4", 1},
    {"g3.tif", "-resize 400x -monochrome -compress Fax", 1},
    {"g4-lsb.tif", "-resize 400x -monochrome -compress Group4 -define tiff:fill-order=lsb", 1},
    {"g4-strips.tif", "-resize 400x -monochrome -compress Group4 -define tiff:rows-per-strip=16", 1},
    {"planar.tif", "-interlace Plane -compress None", 0},
    {"jpeg.tif", "-compress JPEG", 0},
    {"rgb16.tif", "-depth 16 -compress None", 0},
};

class GifTiffTest : public testenv::DocTest {};

TEST_F(GifTiffTest, FilesMadeByImageMagickMatchNetpbm) {
  SKIP_WITHOUT_PROGRAM("convert");
  SKIP_WITHOUT_PROGRAM("tifftopnm");
  for (const MadeFile& f : kFiles) {
    SCOPED_TRACE(f.name);
    const std::string host = dir_.HostPath(f.name);
    testenv::Shell("convert rose: " + std::string(f.options) + " " + testenv::Quote(host));
    doc_->Image().m_nImageLoadState = 0;
    const int result = doc_->LoadImageFile(plat::FromHostPath(host), 0);
    if (f.bits == 0) {
      EXPECT_EQ(result, -1);
      continue;
    }
    ASSERT_EQ(result, 0);
    EXPECT_EQ(doc_->Image().m_bImageShort, 0) << "a whole file taken as cut short";
    EXPECT_EQ(doc_->Image().m_bmiImage.bmiHeader.biBitCount, f.bits);
    const bool gif = std::string(f.name).ends_with(".gif");
    const auto peer = imagetest::PeerPnm((gif ? "giftopnm " : "tifftopnm ") + testenv::Quote(host));
    EXPECT_EQ(imagetest::MaxDiff(imagetest::DocImage(*doc_), peer), 0);
  }
}

}  // namespace
