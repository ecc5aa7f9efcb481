// PNG files made here with zlib for the rules the suite does not reach: alpha over
// the background, the white-on-transparent row rule, palette transparency, and
// hostile files (every one refused with the load road's message).
#include <zlib.h>

#include "image/ImageTestSupport.h"
#include "app/StringTable.h"
#include "frame/MainFrame.h"
#include "image/ImageState.h"
#include "support/TestEnv.h"

namespace {

void Put32(std::string& out, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out += static_cast<char>(v >> s);
}

std::string Chunk(const std::string& type, const std::string& data) {
  std::string out;
  Put32(out, static_cast<uint32_t>(data.size()));
  const std::string body = type + data;
  out += body;
  Put32(out, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
  return out;
}

std::string Ihdr(uint32_t w, uint32_t h, int depth, int type, int interlace = 0) {
  std::string d;
  Put32(d, w);
  Put32(d, h);
  d += {static_cast<char>(depth), static_cast<char>(type), 0, 0, static_cast<char>(interlace)};
  return Chunk("IHDR", d);
}

std::string Idat(const std::string& raw) {
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::string out(size, '\0');
  compress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()));
  out.resize(size);
  return Chunk("IDAT", out);
}

const std::string kSignature("\x89PNG\r\n\x1a\n", 8);

std::string Png(const std::string& ihdr, const std::string& middle) { return kSignature + ihdr + middle + Chunk("IEND", ""); }

std::string Rgba(std::initializer_list<int> v) {
  std::string s;
  for (int b : v) s += static_cast<char>(b);
  return s;
}

class PngTest : public testenv::DocTest {
 protected:
  int Load(const std::string& bytes) {
    doc_->Image().m_nImageLoadState = 0;
    return doc_->LoadImageFile(WriteFile("t.png", bytes), 0);
  }
  std::vector<uint8_t> Pixels() { return imagetest::DocImage(*doc_).pixels; }
};

TEST_F(PngTest, AlphaOverWhiteAndTheRowRule) {
  // Row 0: white transparent second pixel, so the opaque white after it turns black.
  // Row 1: an opaque second pixel; the opaque white stays white.
  const std::string raw = Rgba({0, 0, 0, 0, 0, 255, 255, 255, 0, 255, 255, 255, 255}) +
                          Rgba({0, 0, 0, 0, 0, 100, 50, 0, 255, 255, 255, 255, 255});
  ASSERT_EQ(Load(Png(Ihdr(3, 2, 8, 6), Idat(raw))), 0);
  EXPECT_EQ(doc_->Image().m_bmiImage.bmiHeader.biBitCount, 24);
  const auto p = Pixels();
  EXPECT_EQ(std::vector<uint8_t>(p.begin(), p.begin() + 9), (std::vector<uint8_t>{254, 254, 254, 254, 254, 254, 0, 0, 0}));
  EXPECT_EQ(std::vector<uint8_t>(p.begin() + 9, p.end()), (std::vector<uint8_t>{254, 254, 254, 100, 50, 0, 255, 255, 255}));
}

TEST_F(PngTest, PaletteTransparencyAndGreyDepths) {
  std::string plte = Rgba({0, 0, 0, 100, 100, 100});
  ASSERT_EQ(Load(Png(Ihdr(2, 1, 8, 3), Chunk("PLTE", plte) + Chunk("tRNS", Rgba({0, 128})) + Idat(Rgba({0, 0, 1})))), 0);
  EXPECT_EQ(Pixels(), (std::vector<uint8_t>{255, 255, 255, 227, 227, 227}));
  // 2-bit grey widens to a 4-bit DIB of four grey levels.
  ASSERT_EQ(Load(Png(Ihdr(4, 1, 2, 0), Idat(Rgba({0, 0x1B})))), 0);
  EXPECT_EQ(doc_->Image().m_bmiImage.bmiHeader.biBitCount, 4);
  EXPECT_EQ(Pixels(), (std::vector<uint8_t>{0, 0, 0, 85, 85, 85, 170, 170, 170, 255, 255, 255}));
  EXPECT_EQ(frame_->StatusBar().GetPaneText(frame_->StatusBar().CommandToIndex(104)), "Ping 4 bit");
  // A chunk name inside the compressed data is data, not a chunk.
  const std::string idat = Idat(Rgba({0, 7}));
  ASSERT_EQ(Load(Png(Ihdr(1, 1, 8, 0), Chunk("tEXt", std::string("k\0IHDR IDAT PLTE", 16)) + idat)), 0);
  EXPECT_EQ(Pixels(), (std::vector<uint8_t>{7, 7, 7}));
}

struct HostileCase {
  const char* what;
  std::string bytes;
  bool tooLarge = false;  // a size no block holds: said so, not "damaged"
};

TEST_F(PngTest, HostileFilesAreRefusedWithTheMessage) {
  const std::string good = Png(Ihdr(2, 2, 8, 2), Idat(std::string(14, '\x40')));
  ASSERT_EQ(Load(good), 0);
  std::string flipped = good;
  flipped[40] = static_cast<char>(flipped[40] ^ 0x10);
  std::string bigPalette(3 * 300, '\x11');
  const HostileCase cases[] = {
      {"cut in the IDAT", good.substr(0, good.size() - 20)},
      {"a bit flipped", flipped},
      {"huge dimensions", Png(Ihdr(0x7FFFFFFF, 0x7FFFFFFF, 8, 6), Idat("x")), true},
      {"zero width", Png(Ihdr(0, 2, 8, 2), Idat("x"))},
      {"depth 3", Png(Ihdr(2, 2, 3, 0), Idat("x"))},
      {"colour type 5", Png(Ihdr(2, 2, 8, 5), Idat("x"))},
      {"IDAT before IHDR", kSignature + Idat("x") + Ihdr(2, 2, 8, 2) + Chunk("IEND", "")},
      {"no IDAT", Png(Ihdr(2, 2, 8, 2), "")},
      {"palette image without PLTE", Png(Ihdr(2, 2, 8, 3), Idat(std::string(6, '\0')))},
      {"a length past the end", kSignature + std::string("\x7f\xff\xff\xffIHDR", 8)},
      {"an unknown critical chunk", Png(Ihdr(2, 2, 8, 2), Chunk("ABCD", "") + Idat(std::string(14, '\0')))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFile("h.png", c.bytes);
    doc_->LoadDocument(Win("h.png"));
    if (c.tooLarge) {
      EXPECT_NE(Text().find("more than the largest picture held (1024 MB"), std::string::npos) << Text();
    } else {
      EXPECT_EQ(Text(), LoadString(IDS_IMAGE_BROKEN));
    }
    EXPECT_EQ(doc_->Image().m_nImageAlloc, 0);
  }
  // More than 256 palette entries are cut to 256; the image loads.
  EXPECT_EQ(Load(Png(Ihdr(1, 1, 8, 3), Chunk("PLTE", bigPalette) + Idat(std::string(2, '\0')))), 0);
  // A stream that inflates to less than the image leaves the missing rows zero.
  EXPECT_EQ(Load(Png(Ihdr(2, 3, 8, 2), Idat(std::string(7, '\x40')))), 0);
  EXPECT_EQ(Pixels()[17], 0);
}

// An empty IDAT before the data (valid PNG) made the reader copy from a null pointer.
TEST_F(PngTest, EmptyFirstIdatFault) {
  const std::string raw = Rgba({0, 10, 20, 30, 40, 50, 60}) + Rgba({2, 1, 1, 1, 1, 1, 1});
  ASSERT_EQ(Load(Png(Ihdr(2, 2, 8, 2), Idat(raw))), 0);
  const std::vector<uint8_t> expected = Pixels();
  ASSERT_EQ(Load(Png(Ihdr(2, 2, 8, 2), Chunk("IDAT", "") + Idat(raw))), 0);
  EXPECT_EQ(Pixels(), expected);
  // Empty chunks between the parts of a stream split over several IDATs.
  const std::string whole = Idat(raw);
  const std::string stream = whole.substr(8, whole.size() - 12);
  const std::string split = Chunk("IDAT", stream.substr(0, 5)) + Chunk("IDAT", "") + Chunk("IDAT", stream.substr(5)) +
                            Chunk("IDAT", "");
  ASSERT_EQ(Load(Png(Ihdr(2, 2, 8, 2), split)), 0);
  EXPECT_EQ(Pixels(), expected);
  // Only empty chunks: no image data, refused.
  doc_->Image().m_nImageLoadState = 0;
  WriteFile("e.png", Png(Ihdr(2, 2, 8, 2), Chunk("IDAT", "") + Chunk("IDAT", "")));
  doc_->LoadDocument(Win("e.png"));
  EXPECT_EQ(Text(), LoadString(IDS_IMAGE_BROKEN));
  EXPECT_EQ(doc_->Image().m_nImageAlloc, 0);
}

}  // namespace
