// The chosen picture of a PDF made by Ghostscript: a JPEG comes out byte for byte as
// pdfimages extracts it; raw grey, RGB and 1-bit samples come out as a BMP whose
// pixels equal pdfimages' PNM files.
#include <cstdint>

#include "PdfTestSupport.h"
#include <filesystem>

#include "app/FileKind.h"
#include "app/StringTable.h"
#include "platform/os/Files.h"
#include "support/SmallDisk.h"

namespace pdftest {
namespace {

using testenv::DataPath;
using testenv::Quote;
using testenv::ReadHostFile;
using testenv::Shell;

struct Rgb {
  int width = 0, height = 0;
  std::vector<uint8_t> pixels;  // 3 bytes a pixel, top row first
};

uint32_t Le(const std::string& b, size_t at, int n) {
  uint32_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(b[at + static_cast<size_t>(i)]);
  return v;
}

Rgb FromBmp(const std::string& b) {
  Rgb out;
  if (b.size() < 54 || b[0] != 'B') return out;
  const uint32_t offset = Le(b, 10, 4), bits = Le(b, 28, 2);
  out.width = static_cast<int>(Le(b, 18, 4));
  out.height = static_cast<int>(Le(b, 22, 4));
  const size_t stride = (static_cast<size_t>(out.width) * bits + 31) / 32 * 4;
  for (int y = out.height - 1; y >= 0; --y) {
    const size_t row = offset + static_cast<size_t>(y) * stride;
    for (int x = 0; x < out.width; ++x) {
      if (bits == 24) {
        for (int c = 2; c >= 0; --c) out.pixels.push_back(static_cast<uint8_t>(b.at(row + static_cast<size_t>(x) * 3 + static_cast<size_t>(c))));
        continue;
      }
      const uint8_t byte = static_cast<uint8_t>(b.at(row + static_cast<size_t>(x) * bits / 8));
      const int index = bits == 8 ? byte : bits == 4 ? (x % 2 ? byte & 15 : byte >> 4) : byte >> (7 - x % 8) & 1;
      for (int c = 2; c >= 0; --c) out.pixels.push_back(static_cast<uint8_t>(b.at(54 + static_cast<size_t>(index) * 4 + static_cast<size_t>(c))));
    }
  }
  return out;
}

// P4, P5 and P6 files as pdfimages writes them.
Rgb FromPnm(const std::string& b) {
  Rgb out;
  size_t at = 2;
  auto number = [&]() {
    while (at < b.size() && (std::isspace(static_cast<unsigned char>(b[at])) || b[at] == '#')) {
      if (b[at] == '#') while (at < b.size() && b[at] != '\n') ++at;
      else ++at;
    }
    int v = 0;
    while (at < b.size() && std::isdigit(static_cast<unsigned char>(b[at]))) v = v * 10 + (b[at++] - '0');
    return v;
  };
  const char kind = b.at(1);
  out.width = number();
  out.height = number();
  if (kind != '4') number();
  ++at;
  for (int y = 0; y < out.height; ++y) {
    for (int x = 0; x < out.width; ++x) {
      if (kind == '6') {
        for (int c = 0; c < 3; ++c) out.pixels.push_back(static_cast<uint8_t>(b.at(at++)));
      } else if (kind == '5') {
        out.pixels.insert(out.pixels.end(), 3, static_cast<uint8_t>(b.at(at++)));
      } else {
        const size_t row = at + static_cast<size_t>(y) * ((static_cast<size_t>(out.width) + 7) / 8);
        const bool black = static_cast<uint8_t>(b.at(row + static_cast<size_t>(x) / 8)) >> (7 - x % 8) & 1;
        out.pixels.insert(out.pixels.end(), 3, black ? 0 : 255);
      }
    }
  }
  return out;
}

class PdfPictures : public PdfTest {
 protected:
  // Shows picture object `object` of a fixture; returns the picture file's bytes.
  std::string Choose(const std::string& fixture, int object) {
    doc_->m_nSelectedItem = object;
    doc_->m_nSelectedItemView = 'a';
    LoadBytes(fixture, ReadHostFile(DataPath("pdf/" + fixture)));
    EXPECT_GE(doc_->m_nSelectedItem, 100000);
    return ReadHostFile(plat::ToHostPath(doc_->LastImageFile()).value_or(""));
  }
};

TEST_F(PdfPictures, JpegComesOutAsWrapped) {
  SKIP_WITHOUT_PROGRAM("pdfimages");
  Shell("pdfimages -j " + Quote(DataPath("pdf/jpeg-image.pdf")) + " " + Quote(dir_.HostPath("ref")));
  const std::string jpeg = Choose("jpeg-image.pdf", 7);
  EXPECT_EQ(jpeg, ReadHostFile(dir_.HostPath("ref-000.jpg")));
  EXPECT_EQ(doc_->m_nFileKind, kKindJpeg);
}

TEST_F(PdfPictures, RawSamplesEqualPdfimages) {
  SKIP_WITHOUT_PROGRAM("pdfimages");
  Shell("pdfimages " + Quote(DataPath("pdf/raw-images.pdf")) + " " + Quote(dir_.HostPath("ref")));
  // Grey 8 bits, RGB, and 1 bit (41 pixels: a row ends inside a byte).
  const struct {
    int object;
    const char* reference;
  } cases[] = {{7, "ref-000.ppm"}, {8, "ref-001.ppm"}, {9, "ref-002.pbm"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reference);
    const Rgb ours = FromBmp(Choose("raw-images.pdf", c.object));
    const Rgb theirs = FromPnm(ReadHostFile(dir_.HostPath(c.reference)));
    EXPECT_EQ(ours.width, theirs.width);
    EXPECT_EQ(ours.height, theirs.height);
    EXPECT_EQ(ours.pixels, theirs.pixels);
  }
}

}  // namespace
}  // namespace pdftest

namespace pdftest {
namespace {

TEST_F(PdfPictures, PictureThatCannotBeWrittenIsSaid) {
  // A disk with no room for the picture file: it cannot be written.
  const std::string pdf = WriteFile("jpeg-image.pdf", ReadHostFile(DataPath("pdf/jpeg-image.pdf")));
  doc_->m_nSelectedItem = 7;
  doc_->m_nSelectedItemView = 'a';
  std::string text;
  {
    testenv::ScopedFileSizeLimit full(16);
    text = Load(pdf);
  }
  EXPECT_LT(doc_->m_nSelectedItem, 100000);
  const std::string note = StringUtf8(IDS_CANNOT_OPEN);
  EXPECT_NE(text.find(note.substr(0, note.find('\r'))), std::string::npos) << text;
}

}  // namespace
}  // namespace pdftest

namespace pdftest {
namespace {

TEST_F(PdfPictures, OverlongPaletteIsCappedAndUsed) {
  // An /Indexed lookup string of 1,000 entries: the first 256 colours are taken.
  std::string lookup = "<";
  for (int i = 0; i < 1000; ++i) lookup += i == 1 ? "FF0000" : "00FF00";
  lookup += ">";
  const std::string pdf = MakePdf(
      {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
       "<< /Type /Page /Parent 2 0 R /Resources << /XObject << /Im1 4 0 R >> >> /Contents 5 0 R >>",
       Stream("/Type /XObject /Subtype /Image /Width 16 /Height 16 /BitsPerComponent 8 /ColorSpace [/Indexed /DeviceRGB 255 " + lookup + "]",
              std::string(256, '\x01')),
       Stream("", "q 16 0 0 16 0 0 cm /Im1 Do Q")});
  doc_->m_nSelectedItem = 4;
  doc_->m_nSelectedItemView = 'a';
  LoadBytes("indexed.pdf", pdf);
  ASSERT_GE(doc_->m_nSelectedItem, 100000);
  const std::string bmp = ReadHostFile(plat::ToHostPath(doc_->LastImageFile()).value_or(""));
  const Rgb picture = FromBmp(bmp);
  ASSERT_EQ(picture.pixels.size(), 16u * 16u * 3u);
  EXPECT_EQ(picture.pixels[0], 0xFF);  // every pixel is entry 1: red
  EXPECT_EQ(picture.pixels[1], 0x00);
}

}  // namespace
}  // namespace pdftest
