// The table engine's calling contract and its build road: results, the lock, sizing,
// limits, the exact sheet RTF, markup through to the RTF, and the faults it had.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "app/StringTable.h"
#include "platform/ui/Keys.h"
#include "richtext/RichTextState.h"
#include "richtext/sheet/SheetMarkup.h"
#include "richtext/ViewTableState.h"
#include "support/TestEnv.h"
#include "view/QelView.h"

namespace {

class TableCommandTest : public testenv::DocTest {
 protected:
  CQelView view_{*doc_};

  void SetCells(const std::string& cells, int columns, int rows, int limit = 9000) {
    view_.Table().m_cellStore = cells;
    view_.Table().m_pTextBuf = view_.Table().m_cellStore.data();
    view_.Table().m_nCellTextLen = static_cast<int>(cells.size());
    view_.Table().m_nColumns = columns;
    view_.Table().m_nRows = rows;
    view_.Table().m_nRowLimit = limit;
  }
  std::string DocText() const { return std::string(doc_->m_pText, static_cast<size_t>(doc_->m_nTextLen)); }
  int Table(TableKey code, int number = -1, int first = 0, int last = 0) {
    return view_.TableCommand(code, {.number = number, .firstLine = first, .lastLine = last});
  }
};

TEST_F(TableCommandTest, AnEmptyCellTextStillGivesHeaderHeadLineAndEnd) {
  SetCells("", 0, 0);
  ASSERT_EQ(Table(TableKey::kWholeSheet), 0);
  const std::string rtf = DocText();
  EXPECT_TRUE(rtf.starts_with("{\\rtf1\\ansi\\ansicpg932\\deff0\\deflang1033\\deflangfe1041{\\fonttbl{\\f0\\fmodern\\fprq1\\fcharset128 "
                              "\x82\x6C\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4E;}"));
  EXPECT_NE(rtf.find("{\\colortbl ;\\red1\\green0\\blue0;\\red255\\green0\\blue0;\\red0\\green160\\blue0;"), std::string::npos);
  EXPECT_NE(rtf.find(";\\red0\\green0\\blue0;\\red255\\green255\\blue255;}\n\\viewkind4\\uc1"), std::string::npos);
  EXPECT_NE(rtf.find("\\pard\\sl-240\\slmult0\\tx0"), std::string::npos);
  EXPECT_NE(rtf.find("\\cf1\\lang1041\\f0\\fs21  \\par\n"), std::string::npos);
  EXPECT_TRUE(rtf.ends_with("\\pard\\sl-240\\fs21 \\par\n}"));
  EXPECT_EQ(view_.Table().m_nCellTextLen, 2);  // CR LF added to the cell text
}

// A cell text without a final line end got CR LF appended in place, past the end of
// the buffer that held it. It is now copied into the view's own store first.
TEST_F(TableCommandTest, CrLfWasAppendedWithoutRoomFault) {
  char buffer[8] = {'a', '\x06', 'b', 'G', 'G', 'G', 'G', 'G'};
  view_.Table().m_pTextBuf = buffer;
  view_.Table().m_nCellTextLen = 3;
  view_.Table().m_nColumns = 2;
  view_.Table().m_nRows = 1;
  view_.Table().m_nRowLimit = 100;
  ASSERT_EQ(Table(TableKey::kWholeSheet), 0);
  EXPECT_EQ(std::string(buffer + 3, 5), "GGGGG");
  EXPECT_EQ(std::string(view_.Table().m_pTextBuf, view_.Table().m_nCellTextLen), "a\x06" "b\r\n");
}

TEST_F(TableCommandTest, TheOutputIsSizedFromRowsAndColumnsWithAMinimum) {
  SetCells(std::string(4998, 'x') + "\r\n", 10, 100);
  ASSERT_EQ(Table(TableKey::kWholeSheet), 0);
  EXPECT_EQ(doc_->m_nTextCap, 300000);
  EXPECT_GE(doc_->m_textStore.size(), 300500u);
  SetCells("a\r\n", 200, 20);  // 200 x 20 x 200 = 800,000 + 3
  ASSERT_EQ(Table(TableKey::kWholeSheet), 0);
  EXPECT_EQ(doc_->m_nTextCap, 800003);
}

// columns x rows x 200 was computed in 32 bits: a large sheet wrapped to a small or
// negative size. It is now a size that cannot be had, reported as such.
TEST_F(TableCommandTest, OutputSizeIsComputedIn64BitsFault) {
  SetCells("a\r\n", 60000, 5000, 100000);
  EXPECT_EQ(Table(TableKey::kWholeSheet), 1);
  EXPECT_EQ(frame_->Ui().MessageLog().back().text, LoadString(IDS_OUT_OF_MEMORY) + " 60000000003 TAct1 038");
  EXPECT_EQ(doc_->m_nTextCap, 0);
  EXPECT_EQ(doc_->m_nLockUpdateDepth, 0);
}

TEST_F(TableCommandTest, TheRowLimitRefusesBeforeRendering) {
  SetCells("a\r\n", 1, 90, 100);
  EXPECT_EQ(Table(TableKey::kWholeSheet), 1);
  EXPECT_EQ(frame_->StatusBar().GetPaneText(0), " raw number over 100 ");
  SetCells("a\r\n", 1, 89, 100);
  EXPECT_EQ(Table(TableKey::kWholeSheet), 0);
}

// At the row limit the whole window-update lock was released (depth set to 0), also a
// caller's own level; it goes down by one.
TEST_F(TableCommandTest, RowLimitLowersTheLockOneLevelFault) {
  doc_->m_nLockUpdateDepth = 1;
  frame_->Ui().LockWindowUpdate(7);
  SetCells("a\r\n", 1, 95, 100);
  EXPECT_EQ(Table(TableKey::kWholeSheet), 1);
  EXPECT_EQ(doc_->m_nLockUpdateDepth, 1);
  EXPECT_NE(frame_->Ui().LockedWindow(), 0);
}

TEST_F(TableCommandTest, CodesOutsideTheTableChangeNothingButComeBackToTheLock) {
  doc_->LoadDocument(WriteFile("t.txt", "one|two|three|four\r\nx"));
  const std::string before = view_.Text().GetText();
  for (int code : {int{'Z'}, 0, 999, -5}) {
    EXPECT_EQ(Table(TableKeyOf(code)), 0);
    EXPECT_EQ(doc_->m_nLockUpdateDepth, 0);
  }
  // 101 outside rich text: nothing, and nothing noted.
  EXPECT_EQ(Table(TableKey::kTabsToTable, -1, 0, 1), 0);
  EXPECT_EQ(view_.Text().GetText(), before);
  EXPECT_EQ(messages_.str(), "");
}

TEST_F(TableCommandTest, BarsOutnumberingTabsMakeTheConversionTheBarOne) {
  doc_->LoadDocument(WriteFile("t.rtf", "{\\rtf1 a|b|c|d\\tab e\\tab f\\par x}"));
  EXPECT_EQ(Table(TableKey::kTabsToTable, -1, 0, 1), 0);
  EXPECT_EQ(view_.Rich()->GetLine(0).find('|'), std::string::npos);  // the bars became Tabs
  doc_->LoadDocument(WriteFile("u.rtf", "{\\rtf1 a|b|c\\par x}"));  // two bars only
  EXPECT_EQ(Table(TableKey::kTabsToTable, -1, 0, 1), 0);
  EXPECT_EQ(view_.Rich()->GetLine(0).substr(0, 5), "a|b|c");  // a Tab conversion leaves them
  doc_->m_bShiftDown = 1;
  Table(TableKey::kBottomRule);
  EXPECT_EQ(view_.Table().m_nTableCellOnly, 1);  // Shift makes a row rule the cell's
  doc_->m_bShiftDown = 0;
}

TEST_F(TableCommandTest, WholeSheetLeavesTheControlAndLinesReplaceTheirRange) {
  doc_->LoadDocument(WriteFile("t.txt", "zero\r\none\r\ntwo\r\nthree"));
  SetCells("a\x06" "b\r\n" "c\x06" "d\r\n", 2, 2);
  ASSERT_EQ(Table(TableKey::kWholeSheet), 0);
  EXPECT_EQ(view_.Text().GetText(), "zero\r\none\r\ntwo\r\nthree");
  EXPECT_EQ(view_.Rich(), nullptr);
  EXPECT_TRUE(DocText().starts_with("{\\rtf1"));
  ASSERT_EQ(Table(TableKey::kLinesToTable, -1, 1, 3), 0);  // lines 1 and 2 become the table
  const std::string text = view_.Text().GetText();
  EXPECT_TRUE(text.starts_with("zero\r")) << text;
  EXPECT_TRUE(text.ends_with("three")) << text;
  EXPECT_NE(text.find("a"), std::string::npos);
  EXPECT_EQ(text.find("one"), std::string::npos);
  EXPECT_NE(DocText().find("\\tx0\\tx200"), std::string::npos);
  ASSERT_TRUE(view_.Rich()->Undo());  // one undo group takes the whole rendering back
  EXPECT_EQ(view_.Text().GetText(), "zero\rone\rtwo\rthree");
}

// Cell text went into the RTF as it stood: "\1,234" lost its "\1" and "C:\temp\x"
// was cut at the backslash. Every cell is escaped.
TEST_F(TableCommandTest, CellTextIsEscapedInTheRtfFault) {
  SetCells("\\1,234\x06" "C:\\temp\\x\x06{b}\x06\x83\x5C\r\n", 4, 1);
  ASSERT_EQ(Table(TableKey::kWholeSheet), 0);
  plat::RichEdit edit;
  edit.StreamInRtf(DocText(), false);
  EXPECT_NE(edit.Text().find("\\1,234"), std::string::npos) << DocText();
  EXPECT_NE(edit.Text().find("C:\\temp\\x"), std::string::npos);
  EXPECT_NE(edit.Text().find("{b}"), std::string::npos);
  EXPECT_NE(edit.Text().find("\x83\x5C"), std::string::npos);
  EXPECT_NE(DocText().find("\\'83\\'5c"), std::string::npos);
}

TEST_F(TableCommandTest, RulesBetweenRowsBecomeHighlightedRuleLines) {
  SetCells("h1\x06h2^02\r\n" "a\x06" "b\r\n" "c\x06" "d^10\r\n" "e\x06" "f^2\r\n", 2, 4);
  ASSERT_EQ(Table(TableKey::kWholeSheet), 0);
  const std::string rtf = DocText();
  size_t rules = 0, thick = 0;
  for (size_t p = rtf.find("\\sl-20\\slmult0"); p != std::string::npos; p = rtf.find("\\sl-20\\slmult0", p + 1)) ++rules;
  (void)thick;
  // h1's bottom 2 is thick (two lines) before a, c's top 1 is thin (one), e's top 2 thick.
  EXPECT_EQ(rules, 5u) << rtf;
  EXPECT_NE(rtf.find("\\tab\\highlight1\\fs2  \\tab\\fs2  \\tab\\fs2  \\highlight0\\par"), std::string::npos) << rtf;
}

TEST_F(TableCommandTest, NineHundredSheetsOverranTheSheetTableFault) {
  std::string cells;
  for (int s = 1; s <= 900; ++s) {
    char head[32];
    std::snprintf(head, sizeof head, "!*[Sheet%2d]\r\n", s);
    cells += head;
    cells += "v" + std::to_string(s) + "\r\n";
  }
  SetCells(cells, 1, 1800, 5000);
  ASSERT_EQ(Table(TableKey::kWholeSheet), 0);
  const std::string rtf = DocText();
  EXPECT_NE(rtf.find(" v499"), std::string::npos);
  EXPECT_EQ(rtf.find(" v500"), std::string::npos);
  EXPECT_EQ(frame_->StatusBar().GetPaneText(0), LoadString(IDS_DATA_OMITTED));
  EXPECT_EQ(rtf.find("Sheet"), std::string::npos);  // heads are not rows
}

// The build road stopped copying at the buffer's capacity and still reported success.
// The buffer now grows; when it cannot, the sheet ends at a whole row and the status
// says so.
TEST_F(TableCommandTest, BuildRoadEndsAtARowWhenTheBufferCannotGrowFault) {
  std::string cells;
  for (int r = 0; r < 3000; ++r) cells += "row" + std::to_string(r) + "\x06" + std::string(90, 'q') + "\r\n";
  SetCells(cells, 0, 3000);  // no columns counted: the estimate is far too small
  ASSERT_EQ(Table(TableKey::kWholeSheet), 0);
  EXPECT_NE(DocText().find("row2999"), std::string::npos);
  EXPECT_TRUE(DocText().ends_with("\\par\n}"));

  SetCells(cells, 0, 3000);
  doc_->m_textStore.clear();
  doc_->m_textStore.shrink_to_fit();
  doc_->m_allocHook.FailAbove(400000);
  ASSERT_EQ(Table(TableKey::kWholeSheet), 0);
  const std::string rtf = DocText();
  EXPECT_EQ(rtf.find("row2999"), std::string::npos);
  EXPECT_TRUE(rtf.ends_with("\\pard\\sl-240\\fs21 \\par\n}"));
  EXPECT_NE(rtf.rfind("\\highlight0\\par\n\\pard\\sl-240\\fs21"), std::string::npos);  // after a whole row
  EXPECT_EQ(frame_->StatusBar().GetPaneText(0), LoadString(IDS_DATA_OMITTED));
  EXPECT_LT(doc_->m_nTextLen, doc_->m_nTextCap);
}

// The write-back after an edit allowed only the text + 10,000 bytes for the RTF and
// cut the rest; the RTF now always fits.
TEST_F(TableCommandTest, WriteBackGrowsPastTheTextAndTenThousandFault) {
  std::string body;
  for (int i = 0; i < 3000; ++i) body += "{\\b x}{\\i y}";
  doc_->LoadDocument(WriteFile("t.rtf", "{\\rtf1 " + body + "}"));
  doc_->m_nTextLen = 10;  // a short document text
  ASSERT_EQ(Table(TableKey::kInsertRow), 0);
  const std::string rtf = DocText();
  EXPECT_GT(rtf.size(), 20000u);
  EXPECT_TRUE(rtf.ends_with("}\n"));
  plat::RichEdit back;
  back.StreamInRtf(rtf, false);
  EXPECT_EQ(back.Text(), view_.Text().GetText());
}

TEST_F(TableCommandTest, ASettingsLineWritesTheMarginsBack) {
  SetCells("XLxA3HT15B20#\r\n" "a\x06" "b\r\n", 2, 2);
  ASSERT_EQ(Table(TableKey::kWholeSheet), 0);
  EXPECT_EQ(view_.Table().m_nPrintMarginTop, 1500);
  EXPECT_EQ(view_.Table().m_nPrintMarginBottom, 2000);
  EXPECT_EQ(doc_->m_nPrSpace1, 102);
  EXPECT_EQ(DocText().find("XL"), std::string::npos);
  EXPECT_EQ(doc_->RichText().m_nPrinterPaper, 8);  // A3 landscape
  EXPECT_EQ(doc_->RichText().m_nPrinterOrientation, 2);
  EXPECT_EQ(sheet::PaperLetter(doc_->RichText().m_nPrinterPaper, doc_->RichText().m_nPrinterOrientation), 'd');
  EXPECT_EQ(sheet::PaperLetter(1, 1), 'm');
  EXPECT_EQ(sheet::PaperLetter(999, 2), 'b');
}

TEST_F(TableCommandTest, ACsvFileShowsAsASheet) {
  doc_->LoadDocument(WriteFile("t.csv", "name,value\r\nalpha,1234567\r\nbeta,2\r\n"));
  ASSERT_NE(view_.Rich(), nullptr);
  const std::string text = view_.Text().GetText();
  EXPECT_NE(text.find("alpha"), std::string::npos) << text;
  EXPECT_NE(text.find("1234567"), std::string::npos);
  EXPECT_EQ(view_.Table().m_nTextMode, 3);
  EXPECT_GT(view_.Rich()->ParaOfLine(0).cTabCount, 1);
  doc_->LoadDocument(WriteFile("t.txt", "plain"));
  EXPECT_EQ(view_.Rich(), nullptr);
  EXPECT_EQ(view_.Table().m_nTextMode, 0);
}


// Objects of the column format block: a picture box embeds its file at its first
// cell (a missing file shows its name), a text box's text fills its empty first cell
// in the box's colours, and an object's line formats no column of its own.
TEST_F(TableCommandTest, PictureAndTextBoxesAppearInTheirFirstCells) {
  std::string bmp(120, '\x22');
  bmp[0] = 'B';
  bmp[1] = 'M';
  bmp[2] = 120;
  WriteFile("pic.bmp", bmp);
  view_.Pane().m_strFileName = Win("sheet.csv");  // relative picture names are beside the shown file
  SetCells("a\x06" "b\x06\r\n" "d\x06\x06" "f\r\n" "!%\x06\r\n" "A\x06\r\n"
           "Image\x06N$1\x06" "A1:A1\x06pic.bmp\r\n" "TH\x06N$1%Rb\x06" "B2:C2\x06note\r\n"
           "Image\x06$1\x06" "C1\x06missing.bmp\r\n",
           3, 2);
  ASSERT_EQ(Table(TableKey::kWholeSheet), 0);
  const std::string rtf = DocText();
  const size_t object = rtf.find("{\\object\\objemb{\\*\\objclass Paint.Picture}");
  ASSERT_NE(object, std::string::npos) << rtf;
  EXPECT_NE(rtf.find("}}a\\tab", object), std::string::npos);  // the picture, then the cell's text
  EXPECT_NE(rtf.find("missing.bmp"), std::string::npos);
  // The text box's text in red on light blue (colour letters R and b: 2 and 16).
  EXPECT_NE(rtf.find("\\cf2\\highlight16\\f0\\fs21  \\up0 note"), std::string::npos) << rtf;
  // Its outline: a left slot at B2, none between B2 and C2, a right slot after C2.
  plat::RichEdit edit;
  edit.StreamInRtf(rtf, false);
  EXPECT_NE(edit.Text().find("note"), std::string::npos);
}

// A column line with a condition formats only the cells that meet it.
TEST_F(TableCommandTest, ConditionsOfColumnFormatsChooseTheCells) {
  SetCells("x\x06" "50\r\n" "y\x06" "150\r\n" "z\x06" "many\r\n" "!%\x06\r\n" "A\x06\r\n" "B\x06%RB1\x06if:>100\r\n", 2, 3);
  ASSERT_EQ(Table(TableKey::kWholeSheet), 0);
  const std::string rtf = DocText();
  EXPECT_NE(rtf.find("\\cf4\\highlight0\\f0\\fs12  \\up0 150"), std::string::npos) << rtf;
  EXPECT_NE(rtf.find("\\cf0\\highlight0\\f0\\fs21  \\up0 50"), std::string::npos) << rtf;
  EXPECT_NE(rtf.find("\\cf0\\highlight0\\f0\\fs21  \\up0 many"), std::string::npos) << rtf;
}


// Table text mode 3 shows one display page of counted lines; the lines of a column
// format block are not counted, and a page inside a later sheet takes that sheet's
// markup from its head.
TEST_F(TableCommandTest, TheDisplayPageComesFromAPreScanOfTheLines) {
  const std::string cells = "!*[Sheet 1]\r\n" "a1\x06" "1\r\n" "a2\x06" "2\r\n" "!*[Sheet 2]\r\n" "b1\x06" "1\r\n"
                            "b2\x06" "2\r\n" "b3\x06" "1234567\r\n" "!%\x06\r\n" "A\x06\r\n" "B\x06Rc\r\n" "tail\r\n";
  view_.Table().m_nTextMode = 3;
  doc_->m_nDisplayPageRows = 3;
  const struct {
    int pageStart;
    std::vector<std::string> shown, hidden;
    int lastRow;
    size_t startOffset;
  } cases[] = {
      {0, {"up0 a1", "up0 a2"}, {"up0 b1"}, 3, 0},
      {3, {"up0 b1", "up0 b2"}, {"up0 a2", "up0 b3", "1,234,567"}, 6, cells.find("!*[Sheet 2]")},
      {5, {"up0 b2", "1,234,567"}, {"up0 a1", "up0 b1", "tail"}, 7, cells.find("b2")},
  };
  for (const auto& c : cases) {
    SetCells(cells, 2, 7);
    view_.Table().m_nPageStart = c.pageStart;
    ASSERT_EQ(Table(TableKey::kWholeSheet), 0);
    const std::string rtf = DocText();
    for (const auto& t : c.shown) EXPECT_NE(rtf.find(t), std::string::npos) << c.pageStart << " " << t << "\n" << rtf;
    for (const auto& t : c.hidden) EXPECT_EQ(rtf.find(t), std::string::npos) << c.pageStart << " " << t << "\n" << rtf;
    EXPECT_EQ(view_.Table().m_nPageRowsShown, c.lastRow - c.pageStart) << c.pageStart;
    EXPECT_EQ(static_cast<size_t>(view_.Table().m_nPageStartOffset), c.startOffset) << c.pageStart;
    EXPECT_EQ(frame_->StatusBar().GetPaneText(0),
              " disp  " + std::to_string(c.lastRow) + " / 8 line  (Down button to next page)");
  }
}


// The characters of the view's colour list take their letter's colour and give the
// cell's back; a trail byte equal to a listed character is part of its double-byte
// character and stays as it is.
TEST_F(TableCommandTest, ListedCharactersAreWrittenInTheirColour) {
  doc_->m_strCharColours = "*R-B\\G";
  SetCells("a*b-c\x06\x83\x5C\\x\r\n", 2, 1);
  ASSERT_EQ(Table(TableKey::kWholeSheet), 0);
  const std::string rtf = DocText();
  EXPECT_NE(rtf.find("a\\cf2 *\\cf0 b\\cf4 -\\cf0 c"), std::string::npos) << rtf;
  EXPECT_NE(rtf.find("\\'83\\'5c\\cf3 \\\\\\cf0 x"), std::string::npos) << rtf;
}

// A free-text line ('~') and a row outside the table ('>') run on over the empty
// columns after a long text: one Tab takes the next cell to its column, and they set
// no column widths.
TEST_F(TableCommandTest, FreeTextRunsOnOverEmptyColumns) {
  SetCells("~A long free heading\x06\x06\x06x\r\n" "ab\x06" "cd\x06" "ef\x06" "gh\r\n"
           "outside the table text\x06\x06\x06z^>\r\n",
           4, 3);
  ASSERT_EQ(Table(TableKey::kWholeSheet), 0);
  const std::string rtf = DocText();
  const auto line = [&](const std::string& text) {
    const size_t at = rtf.find(text);
    EXPECT_NE(at, std::string::npos) << text << "\n" << rtf;
    const size_t start = rtf.rfind("\\pard", at);
    return rtf.substr(start, rtf.find("\\par\n", at) - start);
  };
  const auto tabs = [](const std::string& l) {
    size_t n = 0;
    for (size_t p = l.find("\\tab"); p != std::string::npos; p = l.find("\\tab", p + 1)) ++n;
    return n;
  };
  EXPECT_EQ(tabs(line("A long free heading")), 2u);
  EXPECT_EQ(tabs(line("outside the table text")), 2u);
  EXPECT_EQ(tabs(line("up0 ab")), 4u);
  EXPECT_NE(rtf.find("\\tx0\\tx145\\tx520\\tx895"), std::string::npos) << rtf;  // widths from the table rows only
}

}  // namespace
