// Binary PowerPoint as text: LibreOffice's .ppt against pdftotext's reading of
// LibreOffice's PDF of the same slides, picture tags against the Pictures stream
// as python3-olefile lists it, and the shared corpus.
#include <zlib.h>

#include <filesystem>
#include <sstream>

#include "app/FileKind.h"
#include "convert/office/OfficeTextSupport.h"

namespace {

using officetext::OfficeTextTest;

std::string Gunzip(const std::string& hostPath) {
  std::string out;
  gzFile f = gzopen(hostPath.c_str(), "rb");
  if (!f) return out;
  char buf[65536];
  for (int n; (n = gzread(f, buf, sizeof buf)) > 0;) out.append(buf, static_cast<size_t>(n));
  gzclose(f);
  return out;
}

TEST_F(OfficeTextTest, PptFromLibreOfficeHoldsItsSlideText) {
  const std::string bytes = Gunzip(testenv::DataPath("office/slides.ppt.gz"));
  ASSERT_GT(bytes.size(), 10000u);
  const std::string text = ShowBytesUtf8("slides.ppt", bytes);
  const std::string reference = Fixture("slides.pdftotext.txt");
  EXPECT_EQ(officetext::Join(officetext::MissingWords(reference, text)), "") << text;
  EXPECT_EQ(text.rfind("=================================================page  1====", 0), 0u);
  EXPECT_NE(text.find("=================================================page  2===="), std::string::npos);
  EXPECT_NE(text.find("# Speaker note one"), std::string::npos) << text;

  // The picture shapes show the kinds of the Pictures stream's entries, in order.
  std::istringstream pictures(Fixture("slides.ppt.pictures.txt"));
  std::string line;
  int number = 0;
  while (std::getline(pictures, line)) {
    ++number;
    const std::string kind = line.substr(line.find(' ') + 1, 3);
    const std::string tag = "[Image" + std::to_string(number) + "]" + kind.substr(0, 1);
    EXPECT_NE(text.find(tag), std::string::npos) << tag;
  }
  EXPECT_EQ(number, 2);
  EXPECT_NE(text.find("[Image2]PNG"), std::string::npos);
}

TEST_F(OfficeTextTest, PptSourceFormListsEventsAndPictures) {
  doc_->m_nDisplayForm = 2;
  const std::string text = ShowBytesUtf8("slides.ppt", Gunzip(testenv::DataPath("office/slides.ppt.gz")));
  EXPECT_NE(text.find(" picture no.=  1 adr=       0 vol=   "), std::string::npos) << text.substr(0, 300);
  EXPECT_NE(text.find(" picture no.=  2 adr=     13c vol="), std::string::npos);
  EXPECT_NE(text.find("page  1========================"), std::string::npos);
  EXPECT_NE(text.find("[Note]--------------"), std::string::npos);
  EXPECT_NE(text.find("===End Rev===="), std::string::npos);
}

// The chosen picture is cut out of the Pictures stream and shown.
TEST_F(OfficeTextTest, PptSelectedPictureIsShown) {
  const std::string bytes = Gunzip(testenv::DataPath("office/slides.ppt.gz"));
  const struct {
    int item, kind;
  } cases[] = {{1, 13}, {2, 14}, {100, 13}, {250, 13}};
  for (const auto& c : cases) {
    doc_->m_nSelectedItem = c.item;
    Show("slides.ppt", bytes);
    EXPECT_EQ(doc_->m_nFileKind, c.kind) << c.item;
    EXPECT_EQ(doc_->m_nImageWidth, 16) << c.item;
    EXPECT_EQ(doc_->m_nImageHeight, 16) << c.item;
  }
  doc_->m_nSelectedItem = 3;  // no such picture
  Show("slides.ppt", bytes);
  EXPECT_EQ(doc_->m_nFileKind, kKindPpt);
}

TEST_F(OfficeTextTest, SharedPptFilesShowText) {
  const std::string folder = testenv::SharedTestData("office/ppt");
  if (folder.empty()) GTEST_SKIP() << "shared test data absent";
  const std::pair<const char*, const char*> expected[] = {
      {"poi-ParagraphStylesShorterThanCharStyles.ppt", "ROMANCE: AN ANALYSIS"},
      {"poi-bug58733_671884.ppt", "Animal Improvement Programs Laboratory"},
      {"poi-bug61881.ppt", "Causality Assessment in Drug Induced Liver Injury"},
      {"poi-tvcamboriu-pensar.ppt", "Talvez Deus queira que n"},
  };
  for (const auto& [name, line] : expected) {
    const std::string text = ShowBytesUtf8("a.ppt", testenv::ReadHostFile(folder + "/" + name));
    EXPECT_NE(text.find(line), std::string::npos) << name << "\n" << text.substr(0, 400);
  }
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() != ".ppt") continue;
    const std::string text = Show("a.ppt", testenv::ReadHostFile(entry.path().string()));
    EXPECT_LE(static_cast<int>(text.size()), doc_->m_nOutDataLimit) << entry.path();
  }
}

}  // namespace
