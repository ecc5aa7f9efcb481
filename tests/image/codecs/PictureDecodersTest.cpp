// The picture decoders on their own, as the fuzz targets and any caller without a
// document run them: files ImageMagick wrote decode, with a bare context and the
// own codec's inflater, to the pixels ImageMagick reads from them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codec/CodecServices.h"
#include "image/codecs/PictureDecoders.h"
#include "support/TestFiles.h"

namespace {

using Decoder = int (*)(const uint8_t*, int, BITMAPINFO*, PictureBlock&, const PictureContext&);

int Bmp(const uint8_t* file, int length, BITMAPINFO* out, PictureBlock& picture, const PictureContext& cx) {
  return DecodeBmpBlock(file, length, 10485760, out, picture, cx);
}
int Png(const uint8_t* file, int length, BITMAPINFO* out, PictureBlock& picture, const PictureContext& cx) {
  return DecodePngBlock(file, length, out, picture, cx);
}

// The DIB's pixels as R, G, B rows top first.
std::string Rgb(const BITMAPINFO& info, const PictureRows& block) {
  const BITMAPINFOHEADER& h = info.bmiHeader;
  const int64_t stride = DibStride(h.biWidth, h.biBitCount);
  std::string rgb;
  for (int64_t y = h.biHeight - 1; y >= 0; --y) {
    const uint8_t* row = block.data() + y * stride;
    for (int64_t x = 0; x < h.biWidth; ++x) {
      if (h.biBitCount == 24) {
        rgb += {static_cast<char>(row[3 * x + 2]), static_cast<char>(row[3 * x + 1]), static_cast<char>(row[3 * x])};
        continue;
      }
      const int shift = 8 - h.biBitCount - static_cast<int>((x * h.biBitCount) % 8);
      const int index = (row[x * h.biBitCount / 8] >> shift) & ((1 << h.biBitCount) - 1);
      const RGBQUAD& c = info.bmiColors[index];
      rgb += {static_cast<char>(c.rgbRed), static_cast<char>(c.rgbGreen), static_cast<char>(c.rgbBlue)};
    }
  }
  return rgb;
}

TEST(PictureDecoders, ImageMagicksFilesDecodeWithoutADocument) {
  SKIP_WITHOUT_PROGRAM("convert");
  testenv::TempDir dir;
  const std::string source = dir.HostPath("source.ppm");
  testenv::Shell("convert -size 7x5 xc:none -seed 3 +noise Random -depth 8 " + testenv::Quote(source));
  const struct {
    const char* name;
    const char* options;
    Decoder decode;
  } cases[] = {
      {"p.png", "", &Png},
      {"p.bmp", "-type TrueColor", &Bmp},
      {"p.gif", "", &DecodeGifBlock},
      {"p.tif", "-compress LZW", &DecodeTiffBlock},
      {"q.tif", "-compress None", &DecodeTiffBlock},
  };
  PictureContext cx;
  cx.inflate = [](uint8_t* data, int length, int capacity) {
    const std::vector<uint8_t> in(data, data + length);
    return static_cast<int>(CBufferInflater().Run(in.data(), length, data, capacity));
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.HostPath(c.name);
    testenv::Shell("convert " + testenv::Quote(source) + " " + c.options + " " + testenv::Quote(path));
    const std::string file = testenv::ReadHostFile(path);
    const std::string peer = testenv::Shell("convert " + testenv::Quote(path) + " -depth 8 rgb:-");
    BITMAPINFO info{};
    PictureBlock picture;
    ASSERT_GT(c.decode(reinterpret_cast<const uint8_t*>(file.data()), static_cast<int>(file.size()), &info, picture, cx), 0);
    EXPECT_TRUE(picture.whole);
    ASSERT_EQ(info.bmiHeader.biWidth, 7);
    ASSERT_EQ(info.bmiHeader.biHeight, 5);
    EXPECT_EQ(Rgb(info, picture.block), peer);
  }
}

}  // namespace
