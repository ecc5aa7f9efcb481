// The pane's rich-text services: RTF files as rich text, the RTF stream to and from
// the document text (and the faults it had: a cut stream reported as success, a
// stream-in with no end set inserting nothing), the temporary RTF save, lines split
// into cells, block colouring, the background cycle and the listing output.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>

#include "app/StringTable.h"
#include "app/SystemStringsFile.h"
#include "platform/ui/Keys.h"
#include "platform/os/Files.h"
#include "richtext/ViewRichTextState.h"
#include "richtext/ViewTableState.h"
#include "support/TestEnv.h"
#include "view/QelView.h"

namespace {

class ViewRichTextTest : public testenv::DocTest {
 protected:
  CQelView view_{*doc_};

  void Show(const std::string& name, const std::string& bytes) { doc_->LoadDocument(WriteFile(name, bytes)); }
  // Puts text into the document buffer as a caller of the stream would.
  void SetDocText(const std::string& text) {
    doc_->m_textStore.assign(text.size() + 1, '\0');
    std::memcpy(doc_->m_textStore.data(), text.data(), text.size());
    doc_->m_pText = doc_->m_textStore.data();
    doc_->m_nTextLen = static_cast<int>(text.size());
    doc_->m_nTextCap = static_cast<int>(doc_->m_textStore.size());
  }
};

TEST_F(ViewRichTextTest, AnRtfFileIsShownAsRichTextAndTheDocumentKeepsItsWordText) {
  Show("letter.rtf", "{\\rtf1\\ansi\\ansicpg932{\\fonttbl{\\f0\\fcharset128 x;}}\\pard\\tx1000 a{\\b b}\\tab c\\par d}");
  ASSERT_NE(view_.Rich(), nullptr);
  EXPECT_EQ(view_.Text().GetText(), "ab\tc\rd");
  EXPECT_TRUE(view_.Rich()->FormatAt(1).dwEffects & plat::CFE_BOLD);
  EXPECT_EQ(view_.Rich()->ParaOfLine(0).rgxTabs[0], 1000);
  EXPECT_EQ(std::string(doc_->m_pText, doc_->m_nTextLen).find("\\rtf"), std::string::npos);
  // Another file brings the plain model back.
  Show("plain.txt", "x\r\ny");
  EXPECT_EQ(view_.Rich(), nullptr);
  EXPECT_EQ(view_.Text().GetText(), "x\r\ny");
}

TEST_F(ViewRichTextTest, StreamOutRtfReportedACutAsSuccessFault) {
  Show("t.rtf", "{\\rtf1 " + std::string(3000, 'x') + "}");
  SetDocText("HEAD");
  doc_->m_nStreamPos = 4;
  doc_->m_nStreamLimit = 100;  // far too small for the RTF
  ASSERT_EQ(view_.StreamOutRtf(0, 0), 0);
  const std::string out(doc_->m_pText, static_cast<size_t>(doc_->m_nStreamPos));
  EXPECT_TRUE(out.starts_with("HEAD{\\rtf1"));
  EXPECT_TRUE(out.ends_with("}\n"));
  EXPECT_NE(out.find(std::string(3000, 'x')), std::string::npos);
  EXPECT_GE(doc_->m_nStreamLimit, doc_->m_nStreamPos + 1);

  // Out of memory: -1, and nothing written or moved.
  SetDocText("HEAD");
  doc_->m_nStreamPos = 4;
  doc_->m_nStreamLimit = 100;
  doc_->m_allocHook.FailAbove(0);
  EXPECT_EQ(view_.StreamOutRtf(0, 0), -1);
  EXPECT_EQ(doc_->m_nStreamPos, 4);
  EXPECT_EQ(std::string(doc_->m_pText, 4), "HEAD");
}

TEST_F(ViewRichTextTest, StreamInWithNoEndSetInsertedNothingFault) {
  Show("t.rtf", "{\\rtf1 start}");
  SetDocText("{\\rtf1 {\\b new}\\par}");
  doc_->m_nStreamPos = 0;
  doc_->m_nStreamEnd = 0;  // nobody set it
  view_.SetSel(0, 0);
  ASSERT_EQ(view_.StreamInRtf(0, 1), 0);
  EXPECT_EQ(view_.Text().GetText(), "new\rstart");
  EXPECT_TRUE(view_.Rich()->FormatAt(0).dwEffects & plat::CFE_BOLD);
}

// A stream-in that ran out of memory ended the program (std::terminate); now every
// allocation on the way, refused through the hook at any size, ends with the memory
// message and leaves the pane as it was.
TEST_F(ViewRichTextTest, StreamInRanOutOfMemoryIntoTerminateFault) {
  Show("t.rtf", "{\\rtf1 kept}");
  std::string rtf = "{\\rtf1\\ansi\\ansicpg932 ";
  for (int i = 0; i < 20000; ++i) rtf += "\\pard\\tx" + std::to_string(i % 700) + " \\'82\\'a0 row\\par\n";
  rtf += "}";
  for (const size_t above : {size_t{0}, size_t{1} << 10, size_t{1} << 16, size_t{1} << 18}) {
    SetDocText(rtf);
    doc_->m_nStreamPos = doc_->m_nStreamEnd = 0;
    doc_->m_allocHook.FailAbove(above);
    const size_t boxes = frame_->Ui().MessageLog().size();
    EXPECT_EQ(view_.StreamInRtf(0, 0), -1) << above;
    ASSERT_EQ(frame_->Ui().MessageLog().size(), boxes + 1) << above;
    EXPECT_EQ(frame_->Ui().MessageLog().back().text, LoadString(IDS_OUT_OF_MEMORY) + " 302") << above;
    EXPECT_EQ(view_.Text().GetText(), "kept") << above;
  }
  doc_->m_allocHook.Reset();
  ASSERT_EQ(view_.StreamInRtf(0, 0), 0);
  EXPECT_EQ(view_.Rich()->GetLineCount(), 20001);
}

TEST_F(ViewRichTextTest, TheTemporaryRtfSaveMakesPageBreaksAndWritesTheSettings) {
  Show("t.rtf", "{\\rtf1 one\\ ~~\\par two}");
  const std::string tmp = doc_->TmpFolder() + "\\Pelnor_tmp.rtf";
  ASSERT_EQ(view_.SaveToTempAndSettings(tmp, 3, 0), 0);
  const auto saved = plat::ReadFileHead(tmp, 1 << 20);
  ASSERT_TRUE(saved);
  EXPECT_NE(saved->find("one~`\\page"), std::string::npos) << *saved;
  EXPECT_TRUE(plat::Exists(doc_->m_strProgramDir + "\\Pelnor.inf"));
  EXPECT_TRUE(plat::Exists(doc_->m_strProgramDir + "\\Pelnor.sys"));
  // Another name keeps the marks as they are.
  const std::string other = Win("copy.rtf");
  ASSERT_EQ(view_.SaveToTempAndSettings(other, 3, 0), 0);
  EXPECT_NE(plat::ReadFileHead(other, 1 << 20)->find("one ~~\\par"), std::string::npos);
}

TEST_F(ViewRichTextTest, ConvertToCsvSplitsAtBarsTabsOrBlanks) {
  Show("t.txt", "head\r\na|b|c\r\nx\ty\r\n  p   q  \r\n\x82\xA0|\x83\x7C");
  ASSERT_EQ(view_.ConvertToCsv(1, 1, 4), 0);
  EXPECT_EQ(std::string(view_.Table().m_pTextBuf, view_.Table().m_nCellTextLen),
            "a\x06" "b\x06" "c\r\nx\x06y\r\np\x06q\r\n\x82\xA0\x06\x83\x7C\r\n");
  EXPECT_EQ(view_.Table().m_nColumns, 3);
  EXPECT_EQ(view_.Table().m_nRows, 4);
}

TEST_F(ViewRichTextTest, PaintBlockColoursTheBlockColumnsOfEachLine) {
  Show("t.rtf", "{\\rtf1 abcdef\\par ab\\par abcdef}");
  BlockRect block{1, 0, 4, 2, 1};
  view_.PaintBlock(block, RGB(0, 0, 255));
  const plat::RichEdit& r = *view_.Rich();
  auto back = [&](int cp) { return (r.FormatAt(cp).dwEffects & plat::CFE_AUTOBACKCOLOR) ? -1 : static_cast<int>(r.FormatAt(cp).crBackColor); };
  EXPECT_EQ(back(0), -1);
  EXPECT_EQ(back(1), static_cast<int>(RGB(0, 0, 255)));
  EXPECT_EQ(back(3), static_cast<int>(RGB(0, 0, 255)));
  EXPECT_EQ(back(4), -1);
  EXPECT_EQ(back(8), static_cast<int>(RGB(0, 0, 255)));  // "b" of the short line
  EXPECT_EQ(back(9), -1);                                // its CR
  view_.PaintBlock({0, 0, 1, 0, 0}, RGB(9, 9, 9));
  EXPECT_EQ(back(0), -1);
}

TEST_F(ViewRichTextTest, TheBackgroundColourCyclesThroughSevenAndNamesItself) {
  const int pane = frame_->StatusBar().CommandToIndex(ID_INDICATOR_FORMAT);
  std::vector<COLORREF> seen;
  for (int i = 0; i < 7; ++i) {
    view_.CycleBackgroundColor(1);
    seen.push_back(doc_->m_clrTextBack);
    EXPECT_FALSE(frame_->StatusBar().GetPaneText(pane).empty());
  }
  EXPECT_EQ(view_.RichText().m_nBackColorIndex, 0);  // wrapped
  EXPECT_EQ(seen.back(), RGB(255, 255, 255));
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(std::unique(seen.begin(), seen.end()), seen.end());
}

TEST_F(ViewRichTextTest, OutputListingInPiecesCutTheTableOnEscFault) {
  Show("t.rtf", "{\\rtf1 tail}");
  SetDocText("{\\rtf1 {\\i listed}\\par}");
  doc_->m_nStreamEnd = 0;
  frame_->Ui().PushKeyDown(plat::VK_ESCAPE);
  frame_->Ui().QueueAnswer(plat::IDYES);
  EXPECT_EQ(view_.OutputListing(), -1);
  EXPECT_EQ(view_.Text().GetText(), "tail");
  EXPECT_EQ(frame_->StatusBar().GetPaneText(0), "<< output canceled >>");
  EXPECT_EQ(doc_->m_nLockUpdateDepth, 0);
  EXPECT_EQ(frame_->Ui().LockedWindow(), 0);
  ASSERT_EQ(view_.OutputListing(), 0);
  EXPECT_EQ(view_.Text().GetText(), "listed\rtail");
  EXPECT_EQ(doc_->m_nLockUpdateDepth, 0);
}

}  // namespace

// Pelnor.sys carries the system strings scrambled; a later session reads them back
// (before Pelnor.inf). Both files are private: they hold passwords.
TEST_F(ViewRichTextTest, PelnorSysKeepsTheSystemStringsScrambledAndPrivate) {
  doc_->m_astrSysKey[26] = "ftp1";
  doc_->m_astrSysValue[26] = "R:~2site~/ftp://127.0.0.1;USER=u;PWRD=secret";
  doc_->m_astrSysKey[29] = "PWRD";
  doc_->m_astrSysValue[29] = "12345678key\nX";  // a line end inside stays inside the value
  Show("t.rtf", "{\\rtf1 one}");
  ASSERT_EQ(view_.SaveToTempAndSettings(doc_->TmpFolder() + "\\Pelnor_tmp.rtf", 3, 0), 0);
  const std::string sys = doc_->m_strProgramDir + "\\Pelnor.sys";
  const auto bytes = plat::ReadFileHead(sys, 1 << 20);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(bytes->find("secret"), std::string::npos);
  EXPECT_EQ(bytes->find("ftp1"), std::string::npos);
  for (const std::string& name : {sys, doc_->m_strProgramDir + "\\Pelnor.inf"}) {
    struct stat st {};
    ASSERT_EQ(stat(plat::ToHostPath(name)->c_str(), &st), 0) << name;
    EXPECT_EQ(st.st_mode & 077, 0u) << name;
  }
  CQelDoc other(doc_->m_strProgramDir, frame_.get());
  other.m_astrSysValue[28] = "kept";
  ReadSystemStringsText(other, *bytes);
  EXPECT_EQ(other.m_astrSysKey[26], "ftp1");
  EXPECT_EQ(other.m_astrSysValue[26], doc_->m_astrSysValue[26]);
  EXPECT_EQ(other.m_astrSysValue[29], "12345678key X");
  EXPECT_EQ(other.m_astrSysValue[28], "kept");
  // Hostile bytes: cut short, garbage, slot numbers out of range.
  ReadSystemStringsText(other, bytes->substr(0, 7));
  ReadSystemStringsText(other, std::string(300, '\xFF'));
  EXPECT_EQ(other.m_astrSysValue[26], doc_->m_astrSysValue[26]);
}
