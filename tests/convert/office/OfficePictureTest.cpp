// Pictures of binary workbooks and Word documents chosen by the number of their tag
// and shown: documents made at test time by LibreOffice from flat ODF holding a
// JPEG and a PNG that ImageMagick made, and the fixtures.
#include <algorithm>
#include <string>

#include "app/FileKind.h"
#include "base/ByteCursor.h"
#include "convert/office/OfficeTextSupport.h"
#include "convert/office/doc/WordText.h"

namespace {

using officetext::OfficeTextTest;

class OfficePictureTest : public OfficeTextTest {
 protected:
  // A JPEG of 300 x 200 (noise: larger than one workbook record) and a PNG of 40 x 30,
  // as base64 for flat ODF.
  void MakePictures() {
    testenv::Shell("cd " + testenv::Quote(dir_.HostPath("")) +
                   " && convert -size 300x200 plasma:fractal -quality 95 pic.jpg && convert -size 40x30 gradient:red-blue pic.png");
    jpeg_ = testenv::Shell("base64 -w0 " + testenv::Quote(dir_.HostPath("pic.jpg")));
    png_ = testenv::Shell("base64 -w0 " + testenv::Quote(dir_.HostPath("pic.png")));
  }
  std::string Frame(const std::string& name, const std::string& base64, const std::string& anchor) {
    return "<draw:frame draw:name=\"" + name + "\" text:anchor-type=\"" + anchor +
           "\" svg:width=\"3cm\" svg:height=\"2cm\"><draw:image><office:binary-data>" + base64 +
           "</office:binary-data></draw:image></draw:frame>";
  }
  // soffice converts the flat ODF file into the format to; returns its Windows path.
  std::string Convert(const std::string& name, const std::string& body, const std::string& to) {
    const std::string head =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><office:document "
        "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
        "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
        "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
        "xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\" "
        "xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\" "
        "xmlns:xlink=\"http://www.w3.org/1999/xlink\" office:version=\"1.3\" office:mimetype=\"application/vnd.oasis.opendocument.";
    testenv::WriteHostFile(dir_.HostPath(name), head + body + "</office:document>");
    testenv::Shell("cd " + testenv::Quote(dir_.HostPath("")) + " && soffice -env:UserInstallation=file://" +
                   dir_.HostPath("profile") + " --headless --convert-to " + to + " " + testenv::Quote(name) + " >/dev/null 2>&1");
    return Win(name.substr(0, name.rfind('.')) + "." + to);
  }
  // The document loaded with picture n chosen: the kind and size of what is shown.
  struct Shown {
    int kind, width, height;
  };
  Shown Choose(const std::string& winPath, int n) {
    doc_->m_nSelectedItem = n;
    ShowPath(winPath);
    doc_->m_nSelectedItem = 0;
    return {doc_->m_nFileKind, doc_->LoadedImageFacts().width, doc_->LoadedImageFacts().height};
  }
  void ExpectPictures(const std::string& winPath) {
    const Shown jpeg = Choose(winPath, 1), png = Choose(winPath, 2);
    EXPECT_EQ(jpeg.kind, kKindJpeg);
    EXPECT_EQ(jpeg.width, 300);
    EXPECT_EQ(jpeg.height, 200);
    EXPECT_EQ(png.kind, kKindPng);
    EXPECT_EQ(png.width, 40);
    EXPECT_EQ(png.height, 30);
  }
  std::string jpeg_, png_;
};

// A workbook's picture list kept only each picture's kind: a chosen picture had
// nothing to be cut from. The JPEG spans continuation records.
TEST_F(OfficePictureTest, WorkbookPictureIsChosenByItsLabel) {
  SKIP_WITHOUT_PROGRAM("soffice");
  SKIP_WITHOUT_PROGRAM("convert");
  MakePictures();
  const std::string fods = "spreadsheet\"><office:body><office:spreadsheet><table:table table:name=\"S\">"
                           "<table:table-row><table:table-cell><text:p>cell A1</text:p></table:table-cell></table:table-row>"
                           "<table:table-row><table:table-cell>" + Frame("j", jpeg_, "cell") + "</table:table-cell></table:table-row>"
                           "<table:table-row table:number-rows-repeated=\"8\"><table:table-cell/></table:table-row>"
                           "<table:table-row><table:table-cell>" + Frame("p", png_, "cell") + "</table:table-cell></table:table-row>"
                           "</table:table></office:spreadsheet></office:body>";
  const std::string xls = Convert("pics.fods", fods, "xls");
  const std::string text = plat::Cp932ToUtf8(ShowPath(xls));
  ASSERT_NE(text.find("[Image2]PNG"), std::string::npos) << text;
  ASSERT_LT(text.find("[Image1]JPG"), text.find("[Image2]PNG")) << text;
  ExpectPictures(xls);
  // The text is shown again once the choice is given up; no such picture: the text.
  EXPECT_EQ(Choose(xls, 3).kind, kKindXls);
  EXPECT_NE(plat::Cp932ToUtf8(ShowPath(xls)).find("cell A1"), std::string::npos);
}

// Word documents announced their pictures but could not show one; a picture
// record padded to four bytes ended the walk (the PNG after the JPEG had no tag).
TEST_F(OfficePictureTest, WordPictureIsChosenByItsTag) {
  SKIP_WITHOUT_PROGRAM("soffice");
  SKIP_WITHOUT_PROGRAM("convert");
  MakePictures();
  const std::string fodt = "text\"><office:body><office:text><text:p>first " + Frame("j", jpeg_, "as-char") +
                           " picture</text:p><text:p>second " + Frame("p", png_, "as-char") + " picture</text:p>"
                           "</office:text></office:body>";
  const std::string doc = Convert("pics.fodt", fodt, "doc");
  const std::string text = plat::Cp932ToUtf8(ShowPath(doc));
  ASSERT_NE(text.find("[Image2]PNG"), std::string::npos) << text;
  ASSERT_LT(text.find("[Image1]JPG"), text.find("[Image2]PNG")) << text;
  ExpectPictures(doc);
}

TEST_F(OfficePictureTest, FixturePicturesAreShown) {
  const struct {
    const char* file;
    int item, kind;
  } cases[] = {{"word-sample.doc", 1, kKindPng}, {"word-sample.doc", 2, kKindJpeg}, {"shapes.xls", 1, kKindPng}};
  for (const auto& c : cases) {
    const std::string path = WriteFile(c.file, Fixture(c.file));
    EXPECT_EQ(Choose(path, c.item).kind, c.kind) << c.file << " " << c.item;
    EXPECT_GT(doc_->LoadedImageFacts().width, 0) << c.file;
  }
}

// Pictures a Word document's text does not place are listed after it as "[Img1]",
// "[Img2]": chosen by those tags, they count on from the placed ones (none here:
// the anchors of the fixture's pictures are blanked).
TEST_F(OfficePictureTest, WordPictureListedAfterTheTextIsChosenByItsTag) {
  std::string bytes = Fixture("word-sample.doc");
  const std::string after = std::string("A\0f\0t\0e\0r\0 \0t\0h\0e\0 \0t\0a\0b\0l\0e\0", 30);
  const size_t at = bytes.find(after);
  ASSERT_NE(at, std::string::npos);
  for (size_t k = at; k + 1 < std::min(bytes.size(), at + 400); k += 2)
    if (bytes[k] == 1 && bytes[k + 1] == 0) bytes[k] = ' ';
  const std::string path = WriteFile("unplaced.doc", bytes);
  const std::string text = ShowPath(path);
  ASSERT_NE(text.find("[Img2]"), std::string::npos) << text;
  EXPECT_EQ(text.find("[Image"), std::string::npos) << text;
  const struct {
    const char* tag;
    int kind;
  } cases[] = {{"[Img1]", kKindPng}, {"[Img2]", kKindJpeg}};
  for (const auto& c : cases) {
    ShowPath(path);
    EXPECT_EQ(doc_->ShowOfficePicture(c.tag), 0) << c.tag;
    EXPECT_EQ(doc_->m_nFileKind, c.kind) << c.tag;
    EXPECT_EQ(doc_->m_nSelectedItem, 0);
  }
}

// The first picture walk of a Word document: the picture page after the text,
// one picture per record from its byte 32 on, and the rules that end the walk.
TEST(WordPagePictures, RecordsOfThePicturePageAndTheirStopRules) {
  struct Image {
    std::string bytes = std::string(4 * 512, '\0');
    void Put(size_t at, std::string_view b) { bytes.replace(at, b.size(), b); }
    void Length(size_t at, uint32_t n) {
      for (int k = 0; k < 4; ++k) bytes[at + static_cast<size_t>(k)] = static_cast<char>(n >> (8 * k) & 0xFF);
    }
  };
  // Page 1 (at 512) is the picture page; a JPEG record of 200 bytes, then a PNG one of 150.
  const auto make = [](std::string_view head) {
    Image img;
    img.Put(512, head);
    img.Length(544, 200);
    img.Put(544 + 10, "\xFF\xD8\xFF\xE0");
    img.Length(744, 150);
    img.Put(744 + 20, "\xFF\x89PNG");
    return img;
  };
  const struct {
    const char* name;
    Image img;
    int count;
  } cases[] = {
      {"two records", make(std::string_view("\x20\x00\x31\x90", 4)), 2},
      {"other page starts", make(std::string_view("\x35\x00\x12\x30", 4)), 2},
      {"1E F0 near the start: one record", make(std::string_view("\x3A\x00\x31\x90\x1E\xF0", 6)), 1},
      {"no picture page", make("abcd"), 0},
  };
  for (const auto& c : cases) {
    const ByteCursor img(c.img.bytes);
    WordPicture list[4];
    EXPECT_EQ(FindWordPagePictures(img, 512, img.Size(), list, 4, 0), c.count) << c.name;
    if (c.count < 1) continue;
    EXPECT_EQ(list[0].pos, 554) << c.name;
    EXPECT_EQ(list[0].kind, 0x52) << c.name;
    EXPECT_EQ(list[0].volume, 744 - 554) << c.name;
    if (c.count < 2) continue;
    EXPECT_EQ(list[1].pos, 765) << c.name;
    EXPECT_EQ(list[1].kind, 0x62) << c.name;
  }
  // A first record of length 0, a length past 0x0FFFFFFF and a record without a
  // 0xFF in its first 100 bytes end the walk; the list's capacity is kept.
  Image empty = make(std::string_view("\x20\x00\x31\x90", 4));
  empty.Length(544, 0);
  Image huge = make(std::string_view("\x20\x00\x31\x90", 4));
  huge.Length(744, 0x10000000);
  Image plain = make(std::string_view("\x20\x00\x31\x90", 4));
  plain.Put(744 + 20, "\x01");
  WordPicture list[4];
  EXPECT_EQ(FindWordPagePictures(ByteCursor(empty.bytes), 512, 4 * 512, list, 4, 0), 0);
  EXPECT_EQ(FindWordPagePictures(ByteCursor(huge.bytes), 512, 4 * 512, list, 4, 0), 1);
  EXPECT_EQ(FindWordPagePictures(ByteCursor(plain.bytes), 512, 4 * 512, list, 4, 0), 1);
  EXPECT_EQ(FindWordPagePictures(ByteCursor(make(std::string_view("\x20\x00\x31\x90", 4)).bytes), 512, 4 * 512, list, 1, 0), 1);
}

}  // namespace
