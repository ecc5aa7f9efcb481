// What LibreOffice makes of the RTF we write: the cells' text in order, the pages our
// page marks make, the tab stops and the rule colour; and RTF that LibreOffice wrote
// from a Word document, read and written back, keeps its text, formats and stops.
#include <gtest/gtest.h>

#include "app/FileKind.h"
#include "platform/os/Files.h"
#include "platform/richedit/RichEdit.h"
#include "richtext/ViewTableState.h"
#include "support/TestEnv.h"
#include "view/QelView.h"

namespace {

class LibreOfficeRtfTest : public testenv::DocTest {
 protected:
  CQelView view_{*doc_};

  // Converts host files with soffice into dir_/out; returns the converted file's bytes.
  std::string Convert(const std::string& hostFile, const std::string& filter, const std::string& ext) {
    return testenv::LibreOfficeConvert(dir_, hostFile, filter, ext);
  }
  std::string Text(const std::string& hostFile) {
    std::string t = Convert(hostFile, "txt:Text (encoded):UTF8", "txt");
    if (t.starts_with("\xEF\xBB\xBF")) t.erase(0, 3);
    return t;
  }
  std::string SheetRtf(const std::string& cells, int columns, int rows) {
    view_.Table().m_cellStore = cells;
    view_.Table().m_pTextBuf = view_.Table().m_cellStore.data();
    view_.Table().m_nCellTextLen = static_cast<int>(cells.size());
    view_.Table().m_nColumns = columns;
    view_.Table().m_nRows = rows;
    view_.Table().m_nRowLimit = 9000;
    EXPECT_EQ(view_.TableCommand(TableKey::kWholeSheet), 0);
    return std::string(doc_->m_pText, static_cast<size_t>(doc_->m_nTextLen));
  }
};

TEST_F(LibreOfficeRtfTest, TheCellsTextComesInOrder) {
  SKIP_WITHOUT_PROGRAM("soffice");
  const std::string rtf = SheetRtf("XLaA\r\n" "item\x06" "amount\r\n" "\x82\xA0\x82\xA2\x06" "1234567.8^c\r\n"
                                   "\\1,234\x06" "C:\\temp\\x\r\n",
                                   2, 3);
  testenv::WriteHostFile(dir_.HostPath("sheet.rtf"), rtf);
  const std::string text = Text(dir_.HostPath("sheet.rtf"));
  const size_t item = text.find("item");
  const size_t kana = text.find("あい");
  const size_t number = text.find("1,234,568");
  const size_t yen = text.find("\\1,234");
  const size_t path = text.find("C:\\temp\\x");
  ASSERT_NE(item, std::string::npos) << text;
  ASSERT_NE(kana, std::string::npos) << text;
  ASSERT_NE(number, std::string::npos) << text;
  ASSERT_NE(yen, std::string::npos) << text;
  ASSERT_NE(path, std::string::npos) << text;
  EXPECT_LT(item, kana);
  EXPECT_LT(kana, number);
  EXPECT_LT(number, yen);
  EXPECT_LT(yen, path);
}

TEST_F(LibreOfficeRtfTest, PageMarksOfRowsBecomePagesInTheSavedRtf) {
  SKIP_WITHOUT_PROGRAM("soffice");
  SKIP_WITHOUT_PROGRAM("pdfinfo");
  const std::string rtf = SheetRtf("one\x06" "1^P\r\n" "two\x06" "2^P\r\n" "three\x06" "3\r\n", 2, 3);
  view_.UseRichText().StreamInRtf(rtf, false);
  view_.Pane().m_nShownKind = kKindRtf;
  const std::string tmp = doc_->TmpFolder() + "\\Pelnor_tmp.rtf";
  ASSERT_EQ(view_.SaveToTempAndSettings(tmp, 3, 0), 0);
  const std::string host = *plat::ToHostPath(tmp);
  Convert(host, "pdf", "pdf");
  const std::string info = testenv::Shell("pdfinfo " + testenv::Quote(dir_.HostPath("out/Pelnor_tmp.pdf")));
  EXPECT_NE(info.find("Pages:           3"), std::string::npos) << info;
}

TEST_F(LibreOfficeRtfTest, TabStopsAndTheRuleColourReachTheDocument) {
  SKIP_WITHOUT_PROGRAM("soffice");
  const std::string rtf = SheetRtf("a\x06" "b\x06" "c^01\r\n" "d\x06" "e\x06" "f\r\n", 3, 2);
  testenv::WriteHostFile(dir_.HostPath("rules.rtf"), rtf);
  const std::string fodt = Convert(dir_.HostPath("rules.rtf"), "fodt", "fodt");
  EXPECT_NE(fodt.find("background-color=\"#010000\""), std::string::npos);
  size_t stops = 0;
  for (size_t p = fodt.find("<style:tab-stop "); p != std::string::npos; p = fodt.find("<style:tab-stop ", p + 1)) ++stops;
  EXPECT_GE(stops, 4u);
}

TEST_F(LibreOfficeRtfTest, RtfWrittenByLibreOfficeComesBackWithTextFormatsAndStops) {
  SKIP_WITHOUT_PROGRAM("soffice");
  // A Word document made by LibreOffice from our RTF, then RTF made by LibreOffice
  // from that document: the RTF a user brings from elsewhere.
  plat::RichEdit ours;
  ours.SetText("Title line\rname\tvalue\t\x82\xA0\x82\xA2\rlast words");
  plat::CharFormat2 bold;
  bold.dwMask = plat::CFM_BOLD;
  bold.dwEffects = plat::CFE_BOLD;
  ours.ExSetSel(0, 5);
  ours.SetCharFormat(bold, true);
  plat::ParaFormat2 pf;
  pf.dwMask = plat::PFM_TABSTOPS;
  pf.cTabCount = 2;
  pf.rgxTabs[0] = 1440;
  pf.rgxTabs[1] = 2880;
  ours.ExSetSel(12, 12);
  ours.SetParaFormat(pf);
  testenv::WriteHostFile(dir_.HostPath("ours.rtf"), ours.StreamOutRtf(false));
  Convert(dir_.HostPath("ours.rtf"), "docx", "docx");
  testenv::Shell("mv " + testenv::Quote(dir_.HostPath("out/ours.docx")) + " " + testenv::Quote(dir_.HostPath("word.docx")));
  const std::string theirs = Convert(dir_.HostPath("word.docx"), "rtf", "rtf");
  ASSERT_FALSE(theirs.empty());

  plat::RichEdit read;
  read.StreamInRtf(theirs, false);
  testenv::WriteHostFile(dir_.HostPath("theirs.rtf"), theirs);
  testenv::WriteHostFile(dir_.HostPath("back.rtf"), read.StreamOutRtf(false));
  const std::string expected = Text(dir_.HostPath("theirs.rtf"));
  ASSERT_NE(expected.find("あい"), std::string::npos) << expected;
  EXPECT_EQ(Text(dir_.HostPath("back.rtf")), expected);
  EXPECT_TRUE(read.FormatAt(0).dwEffects & plat::CFE_BOLD);
  EXPECT_FALSE(read.FormatAt(6).dwEffects & plat::CFE_BOLD);
  const int line = read.ExLineFromChar(static_cast<int>(read.Text().find("name")));
  const plat::ParaFormat2& stops = read.ParaOfLine(line);
  ASSERT_GE(stops.cTabCount, 2);
  EXPECT_EQ(stops.rgxTabs[0], 1440);
  EXPECT_EQ(stops.rgxTabs[1], 2880);
}


// A sheet with a framed text box and a box of rules reads in LibreOffice with its
// cells and the box's text in order, and the box rules as rule-coloured runs.
TEST_F(LibreOfficeRtfTest, BoxesAndTheirTextReachTheDocument) {
  SKIP_WITHOUT_PROGRAM("soffice");
  const std::string rtf = SheetRtf("a\x06" "b\x06" "c\r\n" "d\x06\x06" "f\r\n" "g\x06" "h\x06" "i\r\n" "!%\x06\r\n" "A\x06\r\n"
                                   "TH\x06N$1Tb%Rb\x06" "B2\x06note\r\n" "Rect\x06$2\x06" "A3:C3\r\n",
                                   3, 3);
  testenv::WriteHostFile(dir_.HostPath("boxes.rtf"), rtf);
  const std::string text = Text(dir_.HostPath("boxes.rtf"));
  const size_t d = text.find('d'), note = text.find("note"), f = text.find('f'), i = text.find('i');
  ASSERT_NE(note, std::string::npos) << text;
  EXPECT_LT(d, note);
  EXPECT_LT(note, f);
  EXPECT_LT(f, i);
  const std::string fodt = Convert(dir_.HostPath("boxes.rtf"), "fodt", "fodt");
  size_t rules = 0;
  for (size_t p = fodt.find("#010000"); p != std::string::npos; p = fodt.find("#010000", p + 1)) ++rules;
  EXPECT_GE(rules, 1u);
  EXPECT_NE(fodt.find("#ff0000"), std::string::npos);  // the text box's text colour
}


// The characters of the colour list reach LibreOffice in their colours, and the text
// around them keeps its order.
TEST_F(LibreOfficeRtfTest, ListedCharactersKeepTheirColours) {
  SKIP_WITHOUT_PROGRAM("soffice");
  doc_->m_strCharColours = "*R#B";
  const std::string rtf = SheetRtf("a*b#c\x06" "d\r\n", 2, 1);
  testenv::WriteHostFile(dir_.HostPath("colours.rtf"), rtf);
  EXPECT_NE(Text(dir_.HostPath("colours.rtf")).find("a*b#c"), std::string::npos);
  const std::string fodt = Convert(dir_.HostPath("colours.rtf"), "fodt", "fodt");
  EXPECT_NE(fodt.find("fo:color=\"#ff0000\""), std::string::npos);
  EXPECT_NE(fodt.find("fo:color=\"#0000ff\""), std::string::npos);
}

}  // namespace
