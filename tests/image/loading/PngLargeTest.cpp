// PNGs with rows of thousands of bytes, made by ImageMagick at test time with its
// adaptive filters (every filter type in the rows, pixels of 1 to 6 bytes, and the
// interlaced passes), decode exactly as pngtopnm reads them: the long rows are where
// the vector unfiltering and the fast inflate loop do their work.
#include "image/ImageState.h"
#include "image/ImageTestSupport.h"
#include "platform/os/Files.h"
#include "support/TestEnv.h"

namespace {

class PngLargeTest : public testenv::DocTest {};

TEST_F(PngLargeTest, LongRowsMatchPngtopnm) {
  SKIP_WITHOUT_PROGRAM("convert");
  SKIP_WITHOUT_PROGRAM("pngtopnm");
  const std::string source = dir_.HostPath("plasma.png");
  testenv::Shell("convert -seed 3 -size 1001x301 plasma:fractal " + testenv::Quote(source));
  const struct {
    const char* name;
    const char* recipe;
  } kCases[] = {
      {"rgb8.png", "-depth 8"},
      {"rgb16.png", "-depth 16"},
      {"rgb8i.png", "-depth 8 -interlace PNG"},
      {"gray8.png", "-colorspace gray -depth 8"},
      {"gray16.png", "-colorspace gray -depth 16"},
      {"palette.png", "-colors 200 -depth 8 -define png:format=png8"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir_.HostPath(c.name);
    testenv::Shell("convert " + testenv::Quote(source) + " " + c.recipe + " " + testenv::Quote(path));
    doc_->Image().m_nImageLoadState = 0;
    ASSERT_EQ(doc_->LoadImageFile(plat::FromHostPath(path), 0), 0);
    const imagetest::Rgb ours = imagetest::DocImage(*doc_);
    EXPECT_EQ(ours.width, 1001);
    EXPECT_EQ(imagetest::MaxDiff(ours, imagetest::PeerPnm("pngtopnm " + testenv::Quote(path))), 0);
  }
}

}  // namespace
