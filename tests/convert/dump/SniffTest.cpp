// File sniffing: real files under right and wrong names, each decision checked
// against `file --mime-type`; the title lines and the HTML and rich-text sniffing.
#include <map>
#include <string>

#include "app/FileKind.h"
#include "convert/dump/DumpTestSupport.h"

namespace {

using dumptest::DumpTest;

class SniffTest : public DumpTest {
 protected:
  // What the dump made of the file: a title or listing name, or the kind it took.
  std::string Decision(const std::string& winPath) {
    const std::string text = ShowPath(winPath);
    if (doc_->LoadedImageFacts().loadState == 1) return "picture";  // the image road took it
    const std::string first = text.substr(0, text.find('\r'));
    if (first.size() > 5 && first.substr(first.size() - 5) == " File") return first;
    if (doc_->m_nFileKind == kKindRtf || doc_->m_nFileKind == kKindHtml || doc_->m_nFileKind == kKindPdf) {
      return "kind " + std::to_string(doc_->m_nFileKind);
    }
    return "";
  }
  std::string MimeType(const std::string& host) {
    std::string out = testenv::Shell("file -b --mime-type " + testenv::Quote(host));
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
  }
};

// The media types that agree with each decision of the dump.
bool Agrees(const std::string& decision, const std::string& mime) {
  static const std::multimap<std::string, std::string> kAgree = {
      {"picture", "image/jpeg"},
      {"picture", "image/bmp"},
      {"picture", "image/x-ms-bmp"},
      {"picture", "image/gif"},
      {"picture", "image/tiff"},
      {"picture", "image/png"},
      {"JPEG File", "image/jpeg"},
      {"BMP File", "image/bmp"},
      {"BMP File", "image/x-ms-bmp"},
      {"TIFF File", "image/tiff"},
      {"GIF89a File", "image/gif"},
      {"GIF87a File", "image/gif"},
      {"ZIP File", "application/zip"},
      {"LZH File", "application/x-lzh-compressed"},
      {"kind 4", "text/rtf"},
      {"kind 6", "text/html"},
      {"kind 11", "application/pdf"},
      {"Program File", "application/x-executable"},
      {"Program File", "application/x-pie-executable"},
      {"Program File", "application/x-sharedlib"},
      {"Dynamic Link File", "application/x-sharedlib"},
      {"Dynamic Link File", "application/x-pie-executable"},
  };
  auto [from, to] = kAgree.equal_range(decision);
  for (auto it = from; it != to; ++it) {
    if (it->second == mime) return true;
  }
  return false;
}

TEST_F(SniffTest, DecisionsAgreeWithFileUnderRightAndWrongNames) {
  SKIP_WITHOUT_PROGRAM("file");
  SKIP_WITHOUT_PROGRAM("ffmpeg");
  SKIP_WITHOUT_PROGRAM("zip");
  SKIP_WITHOUT_PROGRAM("lha");
  const std::string d = dir_.Host();
  for (const char* ext : {"jpg", "bmp", "tiff", "gif", "png"}) {
    testenv::Shell("ffmpeg -loglevel error -y -f lavfi -i color=c=red:s=16x16 -frames:v 1 " + d + "/pic." + ext);
  }
  testenv::WriteHostFile(d + "/in.txt", "hello\n");
  testenv::Shell("cd " + d + " && zip -q arc.zip in.txt && lha aq arc.lzh in.txt");
  testenv::WriteHostFile(d + "/doc.rtf", "{\\rtf1\\ansi\\deff0 {\\fonttbl {\\f0 Times;}} Hello.\\par }\n");
  testenv::WriteHostFile(d + "/page.html", "<!DOCTYPE html>\n<!-- made for a test -->\n<html><body><p>Hi</p></body></html>\n");
  testenv::WriteHostFile(d + "/doc.pdf",
                         "%PDF-1.4\n1 0 obj<</Type/Catalog/Pages 2 0 R>>endobj\n2 0 obj<</Type/Pages/Kids[]/Count 0>>endobj\n"
                         "trailer<</Root 1 0 R>>\n%%EOF\n");
  testenv::Shell("cp /bin/true " + d + "/prog.exe");

  const std::map<std::string, std::string> kExpected = {
      {"pic.jpg", "picture"},   {"pic.bmp", "picture"},      {"pic.gif", "picture"},     {"arc.zip", "ZIP File"},
      {"arc.lzh", "LZH File"},  {"doc.rtf", "kind 4"},       {"page.html", "kind 6"},    {"doc.pdf", "kind 11"},
      {"prog.exe", "Program File"},
  };
  const char* wrongNames[] = {".dat", ".jpg", ".bmp", ".tif", ".gif", ".lzh", ".zip", ".exe", ".dll", ".bin"};
  int checked = 0;
  for (const auto& source : {"pic.jpg", "pic.bmp", "pic.tiff", "pic.gif", "pic.png", "arc.zip", "arc.lzh", "doc.rtf",
                             "page.html", "doc.pdf", "prog.exe"}) {
    const std::string bytes = testenv::ReadHostFile(d + "/" + source);
    ASSERT_FALSE(bytes.empty()) << source;
    const std::string mime = MimeType(d + "/" + source);
    auto right = kExpected.find(source);
    if (right != kExpected.end()) {
      EXPECT_EQ(Decision(Win(source)), right->second) << source;
      EXPECT_TRUE(Agrees(right->second, mime)) << source << " is " << mime;
    }
    for (const char* ext : wrongNames) {
      const std::string name = std::string("as_") + source + ext;
      const std::string decision = Decision(WriteFile(name, bytes));
      // Names decide only where the bytes cannot: programs by their extension.
      if (decision == "Program File" || decision == "Dynamic Link File" || decision == "Binary File") continue;
      if (decision.empty()) continue;
      EXPECT_TRUE(Agrees(decision, mime)) << name << ": " << decision << " but file says " << mime;
      ++checked;
    }
  }
  EXPECT_GT(checked, 10);
  // A TIFF named .tif (ffmpeg writes YCbCr, which the image road refuses) and a ZIP named .lzh.
  EXPECT_EQ(Decision(WriteFile("t.tif", testenv::ReadHostFile(d + "/pic.tiff"))), "");
  EXPECT_EQ(Decision(WriteFile("z.lzh", testenv::ReadHostFile(d + "/arc.zip"))), "ZIP File");
  EXPECT_EQ(Decision(WriteFile("l.zip", testenv::ReadHostFile(d + "/arc.lzh"))), "");
}

TEST_F(SniffTest, TitlesAreTheWholeText) {
  doc_->m_nDisplayForm = 2;  // pictures reach the dump only outside the image road
  EXPECT_EQ(Show("a.jpg", "\xFF\xD8\xFF\xE0" + std::string(100, 'j')), "JPEG File\r\n\r\n");
  EXPECT_NE(Show("a.jpeg", "\xFF\xD8\xFF\xE0" + std::string(100, 'j')), "JPEG File\r\n\r\n");
  EXPECT_EQ(Show("a.gif", "GIF87a" + std::string(50, '\0')), "GIF87a File\r\n\r\n");
  EXPECT_EQ(Show("A.BIN", "whatever"), "Binary File\r\n\r\n");
  EXPECT_EQ(Show("x.dll", "MZ"), "Dynamic Link File\r\n\r\n");
  EXPECT_EQ(Show("x.com", ""), "Program File\r\n\r\n");
}

TEST_F(SniffTest, HtmlIsFoundBehindBlankLinesAndComments) {
  Show("page.dat", "\r\n\r\n<!-- note -><HTML><BODY>x</BODY></HTML>");
  EXPECT_EQ(doc_->m_nFileKind, kKindHtml);
  // A declaration that does not close within 500 bytes: sniffed from the first byte.
  const std::string open = "<!DOCTYPE " + std::string(600, 'x') + "><html>";
  EXPECT_EQ(Show("open.dat", open), open);
  EXPECT_EQ(doc_->m_nFileKind, kKindOther);
  Show("doc.dat", "{\\rtf1 hello}");
  EXPECT_EQ(doc_->m_nFileKind, kKindRtf);
}

// A file shorter than any signature is no archive and no picture: under a name of
// no kind, or an archive's name, it shows its bytes as they stand; under a picture's
// or a document's name it gets no title line and no listing.
TEST_F(SniffTest, ShortAndEmptyFilesAreSniffedWithinTheirBytes) {
  for (const char* bytes : {"", "<", "<!", "<!-", "P", "PK", "PK\x03", "%", "%PD", "\r\n", "\xFF\xD8", "GIF"}) {
    for (const char* name : {"s.dat", "s.lzh", "s.zip"}) {
      EXPECT_EQ(Show(name, bytes), bytes) << name << " holding \"" << bytes << "\"";
    }
    for (const char* name : {"s.jpg", "s.gif", "s.pdf", "s.htm"}) {
      EXPECT_EQ(Show(name, bytes).find(" File\r\n"), std::string::npos) << name << " holding \"" << bytes << "\"";
    }
  }
}

}  // namespace
