// GIF and TIFF files written byte by byte for the rules and lies the peers'
// files do not show.
#include "image/ImageTestSupport.h"
#include "app/StringTable.h"
#include "frame/MainFrame.h"
#include "image/ImageState.h"
#include "support/TestEnv.h"

namespace {

std::string B(std::initializer_list<int> v) {
  std::string s;
  for (int b : v) s += static_cast<char>(b);
  return s;
}

// Two pixels (index 0, 1) of a 2-colour GIF, black and white, index 0 transparent.
std::string TwoPixelGif(const std::string& version = "GIF89a", int width = 2, int codeSize = 2) {
  return version + B({width, 0, 1, 0, 0x80, 0, 0, 0, 0, 0, 255, 255, 255}) + B({0x21, 0xF9, 4, 1, 0, 0, 0, 0}) +
         B({0x2C, 0, 0, 0, 0, width, 0, 1, 0, 0, codeSize, 2, 0x44, 0x0A, 0, 0x3B});
}

// A little-endian TIFF of one row: the entries (tag, type, value) and the pixel bytes.
std::string Tiff(std::initializer_list<std::array<uint32_t, 3>> entries, const std::string& pixels, bool big = false) {
  std::string s = big ? B({'M', 'M', 0, 42}) : B({'I', 'I', 42, 0});
  auto put = [&](uint32_t v, int n) {
    for (int i = 0; i < n; ++i) s += static_cast<char>(big ? v >> (8 * (n - 1 - i)) : v >> (8 * i));
  };
  put(8, 4);
  const uint32_t dataAt = 8 + 2 + 12 * static_cast<uint32_t>(entries.size() + 2) + 4;
  put(static_cast<uint32_t>(entries.size() + 2), 2);
  auto entry = [&](uint32_t tag, uint32_t type, uint32_t value) {
    put(tag, 2);
    put(type, 2);
    put(1, 4);
    if (type == 3) {
      put(value, 2);
      put(0, 2);
    } else {
      put(value, 4);
    }
  };
  for (const auto& e : entries) entry(e[0], e[1], e[2]);
  entry(273, 4, dataAt);
  entry(279, 4, static_cast<uint32_t>(pixels.size()));
  put(0, 4);
  return s + pixels;
}

class GifTiffRulesTest : public testenv::DocTest {
 protected:
  int Load(const std::string& name, const std::string& bytes) {
    doc_->Image().m_nImageLoadState = 0;
    return doc_->LoadImageFile(WriteFile(name, bytes), 0);
  }
  std::vector<uint8_t> Pixels() { return imagetest::DocImage(*doc_).pixels; }
  std::string FormatPane() { return frame_->StatusBar().GetPaneText(frame_->StatusBar().CommandToIndex(104)); }
};

TEST_F(GifTiffRulesTest, GifTransparencyDepthAndLies) {
  ASSERT_EQ(Load("a.gif", TwoPixelGif()), 0);
  EXPECT_EQ(doc_->Image().m_bmiImage.bmiHeader.biBitCount, 4);
  EXPECT_EQ(FormatPane(), "GIF 2 bit");
  EXPECT_EQ(Pixels(), (std::vector<uint8_t>{248, 248, 248, 255, 255, 255}));
  ASSERT_EQ(Load("a.gif", TwoPixelGif("GIF87a")), 0);
  // Four pixels wide: the data stops after two; the rest are index 0.
  ASSERT_EQ(Load("w.gif", TwoPixelGif("GIF89a", 4)), 0);
  EXPECT_EQ(Pixels().size(), 12u);
  EXPECT_EQ(Pixels()[11], 248);
  for (const std::string& bad : {TwoPixelGif("GIF88a"), TwoPixelGif("GIF89a", 0), TwoPixelGif("GIF89a", 2, 12),
                                 TwoPixelGif("GIF89a", 2, 1), TwoPixelGif().substr(0, 30), std::string("GIF89a") + B({0x3B})}) {
    EXPECT_EQ(Load("bad.gif", bad), -1);
    EXPECT_EQ(doc_->Image().m_nImageAlloc, 0);
  }
}

TEST_F(GifTiffRulesTest, TiffSensesOrdersAndLies) {
  const auto bilevel = [](int photometric) {
    return Tiff({{256, 3, 8}, {257, 3, 1}, {258, 3, 1}, {259, 3, 1}, {262, 3, static_cast<uint32_t>(photometric)}}, B({0x0F}));
  };
  ASSERT_EQ(Load("white-is-zero.tif", bilevel(0)), 0);
  EXPECT_EQ(Pixels()[0], 255);
  EXPECT_EQ(Pixels()[21], 0);
  ASSERT_EQ(Load("black-is-zero.tif", bilevel(1)), 0);
  EXPECT_EQ(Pixels()[0], 0);
  EXPECT_EQ(FormatPane(), "Uncompressed , Reverse B/W");

  // Big-endian LONG width and a grey 8-bit row.
  ASSERT_EQ(Load("big.tif", Tiff({{256, 4, 3}, {257, 3, 1}, {258, 3, 8}, {262, 3, 1}}, B({0, 128, 255}), true)), 0);
  EXPECT_EQ(Pixels(), (std::vector<uint8_t>{0, 0, 0, 128, 128, 128, 255, 255, 255}));

  EXPECT_EQ(Load("c7.tif", Tiff({{256, 3, 1}, {257, 3, 1}, {259, 3, 7}, {262, 3, 1}}, B({1}))), -1);
  EXPECT_EQ(FormatPane(), "Other compression , Reverse B/W");
  std::string lying = bilevel(1);
  lying[8] = '\xFF';  // 255 entries in a file that holds 7
  EXPECT_EQ(Load("count.tif", lying), -1);
  std::string far = bilevel(1);
  far[4] = '\x70';  // the IFD past the end
  EXPECT_EQ(Load("far.tif", far), -1);
  EXPECT_EQ(Load("cmyk.tif", Tiff({{256, 3, 1}, {257, 3, 1}, {258, 3, 8}, {262, 3, 5}, {277, 3, 4}}, B({1, 2, 3, 4}))), -1);
  EXPECT_EQ(Load("planar.tif", Tiff({{256, 3, 1}, {257, 3, 1}, {258, 3, 8}, {262, 3, 2}, {277, 3, 3}, {284, 3, 2}}, B({1, 2, 3}))),
            -1);
  EXPECT_EQ(Load("huge.tif", Tiff({{256, 4, 0x7FFFFFFF}, {257, 4, 0x7FFFFFFF}, {262, 3, 1}}, B({1}))), -1);
  doc_->LoadDocument(Win("huge.tif"));
  EXPECT_NE(Text().find("more than the largest picture held (1024 MB"), std::string::npos) << Text();
}

}  // namespace
