// The dump frame: reading under the memory volumes, the truncation note, the common
// end, the display forms and the failures that are reported as text.
#include <filesystem>
#include <string>

#include "app/StringTable.h"
#include "convert/ConvertState.h"
#include "convert/dump/DumpTestSupport.h"

namespace {

using dumptest::DumpTest;

class DumpFrameTest : public DumpTest {
 protected:
  // Calls the dump directly (as the loader does, with a fresh output buffer).
  std::string Dump(const std::string& winPath, int bForceHtml = 0) {
    EXPECT_TRUE(doc_->AllocateConvBuffer(doc_->m_nOutDataLimit + 8192));
    const int n = doc_->DumpFileAsText(winPath, 0, bForceHtml, doc_->DumpVolumes(false));
    return std::string(doc_->m_pConvBuf, static_cast<size_t>(n));
  }
  static std::string TextBytes(size_t n) {
    std::string s;
    for (size_t i = 0; s.size() < n; ++i) s += "line " + std::to_string(i) + "\r\n";
    s.resize(n);
    return s;
  }
};

TEST_F(DumpFrameTest, EmptyAndShortFilesKeepExactlyTheirBytes) {
  EXPECT_EQ(Show("empty.dat", ""), "");
  EXPECT_EQ(doc_->m_bPartialLoad, 0);
  EXPECT_EQ(Show("two.dat", "ab"), "ab");
  EXPECT_EQ(Show("one.dat", "z"), "z");
  EXPECT_EQ(Show("nul.dat", std::string("\0\0", 2)), std::string("\0\0", 2));
  // The end-of-file mark of an old text file is not part of the text.
  EXPECT_EQ(Show("old.dat", "text\x1a"), "text");
}

TEST_F(DumpFrameTest, PathsThatCannotBeReadGiveTheirTexts) {
  EXPECT_EQ(Dump(dir_.Win() + "\\" + std::string(520, 'a') + ".dat"), "");
  EXPECT_EQ(Dump(dir_.Win() + "\\"), "");
  EXPECT_EQ(Dump(Win("missing.dat")), LoadString(IDS_CANNOT_OPEN));
}

TEST_F(DumpFrameTest, PdfOverTheInputVolumeGivesTheSizeOverMessage) {
  const std::string head = LoadString(IDS_FILE_SIZE_OVER).substr(0, 24);
  EXPECT_EQ(Show("big.pdf", "%PDF-1.4\n" + std::string(600000, 'x')), head + "(>500KB)");
  EXPECT_EQ(doc_->m_bPartialLoad, 1);
  doc_->m_nInDataLimit = 2 * 1048576;
  std::string whole = LoadString(IDS_FILE_SIZE_OVER);
  whole.replace(whole.find("%d"), 2, "2");
  EXPECT_EQ(Show("bigger.pdf", "%PDF-1.4\n" + std::string(3 * 1048576, 'x')), whole);
}

TEST_F(DumpFrameTest, LongTextIsCutWithTheNoteAndMarkedPartial) {
  const std::string bytes = TextBytes(600000);
  const std::string text = Show("long.dat", bytes);
  const std::string note = LoadString(IDS_DATA_OMITTED) + LoadString(IDS_FILE_SIZE_OVER).substr(0, 24) + "(>500KB)";
  EXPECT_EQ(text, bytes.substr(0, 524288) + note);
  EXPECT_EQ(doc_->m_bPartialLoad, 1);

  // Quick head display: a shorter read and no note, still partial.
  doc_->m_bQuickHead = 1;
  EXPECT_EQ(Show("long.dat", bytes), bytes.substr(0, 200000));
  EXPECT_EQ(doc_->m_bPartialLoad, 1);

  // The flag is reset by the next dump that shows a whole file.
  doc_->m_bQuickHead = 0;
  EXPECT_EQ(Dump(WriteFile("short.dat", "abc")), "abc");
  EXPECT_EQ(doc_->m_bPartialLoad, 0);
}

TEST_F(DumpFrameTest, BinaryLookingFileShowsItsFirst2000Bytes) {
  std::string bytes(5000, 'b');
  for (int i = 0; i < 10; ++i) bytes[i * 7] = '\0';
  EXPECT_EQ(Show("data.dat", bytes), bytes.substr(0, 2000) + LoadString(IDS_DATA_OMITTED));
  EXPECT_EQ(doc_->m_bPartialLoad, 1);
  // A cut that ends on the byte 1A still tells that the rest is left out.
  bytes[1999] = '\x1a';
  EXPECT_EQ(Show("mark.dat", bytes), bytes.substr(0, 2000) + LoadString(IDS_DATA_OMITTED));
  // A Word name on a file that is not one is read as text.
  const std::string text = TextBytes(3000);
  EXPECT_EQ(Show("notword.doc", text), text);
}

TEST_F(DumpFrameTest, SettingsAreClampedWhereTheFrameIndexesWithThem) {
  doc_->m_nCharLimit = 800;
  doc_->m_nTableRows = 5;
  doc_->m_nTableRowsR = 0;
  EXPECT_EQ(Show("a.dat", "abc"), "abc");
  const CQelDoc::DumpRequest volumes = doc_->DumpVolumes(false);
  EXPECT_EQ(volumes.charLimit, 510);
  EXPECT_GE(volumes.tableRows - 210, 0);
  EXPECT_GE(volumes.settingRows - 210, 0);
  EXPECT_GT(volumes.tableRowsR, 0);
  // The call carries the bounded volumes; the settings stay as the user set them.
  EXPECT_EQ(doc_->m_nCharLimit, 800);
  EXPECT_EQ(doc_->m_nTableRows, 5);
  EXPECT_EQ(doc_->m_nTableRowsR, 0);
}

TEST_F(DumpFrameTest, EachAllocationFailureHasItsPlaceCode) {
  const std::string path = WriteFile("a.dat", TextBytes(3000));
  const char* codes[] = {" 001", " 002", " 003", " 004", " 005"};
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(doc_->AllocateConvBuffer(doc_->m_nOutDataLimit + 8192));
    doc_->m_allocHook.FailAfter(i);
    const int n = doc_->DumpFileAsText(path, 0, 0, doc_->DumpVolumes(false));
    doc_->m_allocHook.Reset();
    EXPECT_EQ(std::string(doc_->m_pConvBuf, static_cast<size_t>(n)), LoadString(IDS_OUT_OF_MEMORY) + codes[i]);
    EXPECT_EQ(doc_->Convert().m_pRawData, nullptr);
  }
}

TEST_F(DumpFrameTest, SourceDisplayIsBoundedByTheOutputBuffer) {
  doc_->m_nDisplayForm = 2;
  doc_->m_nInDataLimit = 2 * 1048576;
  doc_->m_nOutDataLimit = 204800;
  const std::string bytes = TextBytes(1048576);
  const std::string text = Show("src.dat", bytes);
  EXPECT_LT(static_cast<int>(text.size()), doc_->m_nConvCap);
  EXPECT_EQ(text, bytes.substr(0, text.size()));
  EXPECT_EQ(doc_->m_bPartialLoad, 1);
  // A .docx in the source display is listed as the ZIP archive it is.
  if (testenv::PeerProgram("zip")) {
    testenv::WriteHostFile(dir_.HostPath("w/word/document.xml"), "<w:document/>");
    testenv::Shell("cd " + testenv::Quote(dir_.HostPath("w")) + " && zip -qr ../doc.docx word");
    EXPECT_EQ(ShowPath(Win("doc.docx")).rfind("ZIP File", 0), 0u);
  }
}

TEST_F(DumpFrameTest, BinaryDisplayPlacesTheCursorAtItsBlock) {
  doc_->m_nDisplayForm = 1;
  doc_->m_nDumpBlock = -1;
  EXPECT_EQ(Show("blocks.dat", std::string(200000, 'x')), "");
  EXPECT_EQ(doc_->m_nDumpBlock, 3);
  EXPECT_EQ(doc_->Convert().m_nRawPos, 3 * 65536);
  doc_->m_nDumpBlock = 9;
  Show("blocks.dat", std::string(200000, 'x'));
  EXPECT_EQ(doc_->m_nDumpBlock, 0);
  EXPECT_EQ(doc_->Convert().m_nRawPos, 0);
}

TEST_F(DumpFrameTest, ThreeGigabyteSparseVideoShowsItsMediaText) {
  const std::string host = dir_.HostPath("big.avi");
  testenv::WriteHostFile(host, std::string("RIFF\xff\xff\xff\xff" "AVI LIST", 16) + std::string(100, '\0'));
  std::error_code ec;
  std::filesystem::resize_file(host, 3ull << 30, ec);
  if (ec) GTEST_SKIP() << "no sparse files here: " << ec.message();
  const std::string text = ShowPath(Win("big.avi"));
  EXPECT_EQ(text.rfind(" Video file\n ----", 0), 0u) << text;
  EXPECT_EQ(doc_->Convert().m_nRawLen, 3ll << 30);
  EXPECT_EQ(doc_->m_bPartialLoad, 1);
}

TEST_F(DumpFrameTest, M3uIsHtmlOnlyInLowerCase) {
  const std::string list = "#EXTM3U\r\nsong.mp3\r\n";
  EXPECT_EQ(Show("LIST.M3U", list), list);
  EXPECT_NE(Show("list.m3u", list), list);
  EXPECT_NE(Dump(WriteFile("page.dat", list), 1), list);
}

}  // namespace
