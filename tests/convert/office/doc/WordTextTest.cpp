// Binary Word as text: LibreOffice's .doc against antiword's reading of it, the
// shared corpus, and the simple forms and hostile images.
#include <filesystem>

#include "convert/office/OfficeTextSupport.h"

namespace {

using officetext::OfficeTextTest;

TEST_F(OfficeTextTest, WordFromLibreOfficeHoldsAntiwordWords) {
  const std::string text = ShowUtf8("word-sample.doc");
  std::string reference = Fixture("word-sample.antiword.txt");
  // antiword shows the deleted revision, frames cells with "|" and marks pictures.
  // Curly quotes are folded to ASCII, the dash is CP932's.
  const std::pair<std::string, std::string> edits[] = {
      {"REMOVEDWORDS", ""}, {"|", ""}, {"[pic]", ""}, {"“", "\""}, {"”", "\""}, {"—", "―"}};
  for (const auto& [from, to] : edits) {
    for (size_t at; (at = reference.find(from)) != std::string::npos;) reference.replace(at, from.size(), to);
  }
  EXPECT_EQ(officetext::Join(officetext::MissingWords(reference, text)), "") << text;
  EXPECT_EQ(text.find("REMOVEDWORDS"), std::string::npos);           // deleted text is blanked
  EXPECT_NE(text.find("page # PAGE [1] of"), std::string::npos);      // field code and result
  EXPECT_NE(text.find("日本語の文章です。漢字とひらがなとカタカナ。\r\n"), std::string::npos);
  EXPECT_NE(text.find("Last line \"quoted\""), std::string::npos);   // curly quotes folded
  // The pictures at their anchors, with the kinds of the Data stream's picture records.
  EXPECT_NE(text.find("After the table. [Image1]PNG  picture one."), std::string::npos);
  EXPECT_NE(text.find("New page text [Image2]JPG  picture two."), std::string::npos);
  // The table's cells side by side, one row a line, at the columns of its layout.
  const size_t alpha = text.find("Alpha");
  ASSERT_NE(alpha, std::string::npos);
  const std::string row = text.substr(alpha, text.find("\r\n", alpha) - alpha);
  EXPECT_EQ(row.find("Beta"), 40u) << row;
  EXPECT_EQ(row.find("Gamma"), 80u) << row;
}

// A line is flushed every 2,000 characters; the character after the cut starts
// the next line even when its low byte is 0 (antiword reads the same words).
TEST_F(OfficeTextTest, WordLongLineCutBeforeACharacterWithALowZeroByte) {
  const std::string text = ShowUtf8("word-longline.doc");
  EXPECT_NE(text.find(std::string(2000, 'a') + "\r\n　後の文 after the space\r\nSecond paragraph."), std::string::npos)
      << text.substr(text.size() > 200 ? text.size() - 200 : 0);
}

TEST_F(OfficeTextTest, WordTableWithRules) {
  doc_->m_bVerticalRules = 1;
  const std::string text = ShowUtf8("word-sample.doc");
  EXPECT_NE(text.find("+-------"), std::string::npos) << text;
  EXPECT_NE(text.find("|Alpha"), std::string::npos) << text;
}

TEST_F(OfficeTextTest, WordSourceFormListsTheGrid) {
  doc_->m_nDisplayForm = 2;
  const std::string text = Show("a.doc", Fixture("word-sample.doc"));
  EXPECT_EQ(text.rfind("\r\n[   0:]\r\nThe quick", 0), 0u) << text.substr(0, 80);
  EXPECT_NE(text.find("@7"), std::string::npos);  // a cell mark's class
}

// The simple forms are copied nearly as they are.
TEST_F(OfficeTextTest, WordSimpleForms) {
  std::string fe(0x201, '\0');
  fe[0] = '\xFE';
  fe[1] = '\x37';
  fe += std::string("ab\x07" "c\x0B" "d\r" "e\r\n" "\x82\xA0", 13) + std::string(2, '\0') + "tail";
  fe.resize(2100, 'x');
  EXPECT_EQ(Show("a.doc", fe), "ab\tc~d\r\ne\r\n\x82\xA0\r\n");

  std::string old(0x180, '\0');
  old[0] = '\x94';
  old[1] = '\xA6';
  old[2] = '\x2E';
  old += "cell\r\x07" "two\r\x07\r\x07" "next";
  old += std::string(2, '\0');
  old.resize(2100, 'y');
  EXPECT_EQ(Show("a.doc", old), "cell\ttwo\r\nnext\r\n");
}

TEST_F(OfficeTextTest, SharedWordFilesShowText) {
  const std::string folder = testenv::SharedTestData("office/doc");
  SKIP_WITHOUT_SHARED_DATA(folder);
  // Files whose text antiword reads; the last one antiword finds too small, we read its line.
  const std::pair<const char*, const char*> expected[] = {
      {"poi-57843.doc", "Dear Governor Bush:"},
      {"poi-Bug50936_1.doc", "ROADSIDE DATA ANALYSIS"},
      {"poi-FloatingPictures.doc", "This is a single centered line in Times New Roman, 12 pt."},
      {"poi-TestChineseProperties.doc", "世界雅虎"},
      {"poi-TestMickey.doc", "saved in Word 6.0/95 format."},
      {"poi-stanford-biosketch.doc", "BIOGRAPHICAL SKETCH"},
      {"poi-Word6.doc", "The quick brown fox jumps over the lazy dog"},
  };
  for (const auto& [name, line] : expected) {
    const std::string text = ShowBytesUtf8("a.doc", testenv::ReadHostFile(folder + "/" + name));
    EXPECT_NE(text.find(line), std::string::npos) << name << "\n" << text.substr(0, 400);
  }
  // Every file loads (under the sanitizers) and stays within the output volume.
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() != ".doc") continue;
    const std::string text = Show("a.doc", testenv::ReadHostFile(entry.path().string()));
    EXPECT_LE(static_cast<int>(text.size()), doc_->m_nOutDataLimit) << entry.path();
  }
}

}  // namespace
