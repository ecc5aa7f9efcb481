// Columns of a table in the rich text re-rendered: boundaries, columns inserted,
// removed, split and joined, vertical rules, rule segments and leader walks.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/FileKind.h"
#include "frame/MainFrame.h"
#include "platform/ui/Ui.h"
#include "app/StringTable.h"
#include "richtext/table/ColumnRewrite.h"
#include "richtext/table/TableDump.h"
#include "richtext/table/TableEngine.h"
#include "richtext/table/ShownSheetTest.h"
#include "richtext/ViewTableState.h"
#include "support/TestEnv.h"
#include "view/QelView.h"

namespace {

class ColumnRenderTest : public richtexttest::ShownSheetTest {};

// The stops and cells of row "d e f" after each column code with the caret in "e",
// and one undo taking the whole code back.
TEST_F(ColumnRenderTest, ColumnCodesChangeStopsAndCellsFromTheCaretRowAndUndoAtOnce) {
  struct Case {
    TableKey code;
    int number;
    const char* row;
  } cases[] = {
      {TableKey::kInsertColumn, -1, "tabs 0,145,520,895,1270,1645: \"d\" fs21 \"e\" fs21 \"f\" fs21"},  // new empty column before "e"
      {TableKey::kDeleteColumn, -1, "tabs 0,145,520,895: \"d\" fs21 \"f\" fs21"},
      {TableKey::kSplit, -1, "tabs 0,145,520,685,1195,1570: \"d\" fs21 \"\" \"e\" fs21 \"f\" fs21"},
      {TableKey::kJoin, -1, "tabs 0,145,895,1270: \"d e\" fs21 \"f\" fs21"},
      {TableKey::kColumnRight, 2, "tabs 0,145,540,895,1270: \"d\" fs21 \"e\" fs21 \"f\" fs21"},
      {TableKey::kColumnLeft, 2, "tabs 0,145,500,895,1270: \"d\" fs21 \"e\" fs21 \"f\" fs21"},
  };
  ShowSheet();
  const std::string before = Dump();
  const std::string rtfBefore = Rich().StreamOutRtf(false);
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.code));
    CaretAt("e");
    ASSERT_EQ(Table(c.code, c.number), 0);
    const std::string dump = Dump();
    EXPECT_NE(dump.find(c.row), std::string::npos) << dump;
    // The rows above the caret's stay; the text around the table stays.
    EXPECT_NE(dump.find("tabs 0,145,520,895,1270: \"a\" fs21 \"b\" fs21 \"c\" fs21"), std::string::npos) << dump;
    EXPECT_EQ(std::count(Rich().Text().begin(), Rich().Text().end(), '\r'), std::count(rtfBefore.begin(), rtfBefore.end(), '\n') - 4);
    EXPECT_EQ(doc_->m_nLockUpdateDepth, 0);
    ASSERT_TRUE(Rich().Undo());
    EXPECT_EQ(Dump(), before);
    EXPECT_EQ(Rich().StreamOutRtf(false), rtfBefore);
  }
}

TEST_F(ColumnRenderTest, BoundaryMoveShowsTheWidthAndMovesLaterStopsOnlyWhenAsked) {
  ShowSheet();
  CaretAt("e");
  ASSERT_EQ(Table(TableKey::kColumnRight, 2), 0);
  CStatusBar& bar = frame_->StatusBar();
  EXPECT_EQ(bar.GetPaneText(0), "column 2  moved +1");
  EXPECT_EQ(bar.GetPaneText(bar.CommandToIndex(ID_INDICATOR_FORMAT)), "width = 26");  // (540 - 145) / 15
  view_.Table().m_bMoveFollowingStops = 1;
  CaretAt("e");
  ASSERT_EQ(Table(TableKey::kColumnRight, 3), 0);
  EXPECT_NE(Dump().find("tabs 0,145,570,925,1300: \"d\""), std::string::npos) << Dump();
  CaretAt("e");
  // A boundary moved left past the column's left one swallowed the stop and shifted
  // the later columns; it stops 1 twip short of it, the later stops keeping their gaps.
  ASSERT_EQ(Table(TableKey::kColumnLeft, 100), 0);
  EXPECT_NE(Dump().find("tabs 0,145,146,501,876: \"d\""), std::string::npos) << Dump();
  EXPECT_EQ(bar.GetPaneText(0), "column 2  moved -66");
  CaretAt("e");
  ASSERT_EQ(Table(TableKey::kColumnLeft, 2), 0);  // refused at width 0, with the reason
  EXPECT_NE(Dump().find("tabs 0,145,146,501,876: \"d\""), std::string::npos) << Dump();
  EXPECT_EQ(bar.GetPaneText(0), "column 2: width 0: the boundary moves no further left");
}

TEST_F(ColumnRenderTest, CellSplitLengthComesFromTheSearchText) {
  struct Case {
    const char* search;
    int length;
  } cases[] = {{"", 9}, {"ATR:%I4", 7}, {"x ATR:%I        4 y", 7}, {"ATR:%I0", 12}, {"ATR:%I", 12}, {"ATR:%I99999999999", 1000002}};
  for (const Case& c : cases) EXPECT_EQ(sheetcols::SplitLengthOfSearch(c.search), c.length) << c.search;

  ShowSheet("h\x06h\x06h\r\n" "abcdefghij\x06" "b\x06" "c\r\n", 3, 2);
  view_.Pane().m_strSearch = "ATR:%I4";
  CaretAt("b");
  ASSERT_EQ(view_.TableCommand(TableKey::kSplit, {.number = 0, .cellOnly = 1}), 0);  // the cell split command
  // Seven characters of the cell: its slot, its blank and "abcde".
  EXPECT_NE(Dump().find("\"abcde\" fs21 \"fghij\" fs21 \"b\""), std::string::npos) << Dump();
}

TEST_F(ColumnRenderTest, VerticalRuleCyclesSingleDoubleNoneOnEveryRowAlike) {
  ShowSheet();
  auto slotAfterSecondTab = [this](const std::string& cell) {
    const int line = Rich().ExLineFromChar(Rich().CharFromByte(static_cast<int>(Rich().Text().find(cell))));
    const int tab = table::ColumnStart(Rich(), line, 3) - 1;
    std::string run;
    for (int cp = tab + 1; Rich().FormatAt(cp).yHeight < table::kTextHeight; ++cp) {
      const bool lit = !(Rich().FormatAt(cp).dwEffects & plat::CFE_AUTOBACKCOLOR) && Rich().FormatAt(cp).crBackColor == table::kRuleColour;
      run += lit ? "#" : Rich().GetTextRange(cp, cp + 1);
    }
    return run;
  };
  // The build road's slot is one clear blank: none; the rows below follow the first.
  const char* expected[] = {"# ", "##", "__", "# "};
  for (const char* want : expected) {
    CaretAt("e");
    ASSERT_EQ(Table(TableKey::kLeftRule), 0);
    EXPECT_EQ(slotAfterSecondTab("e"), want);
    EXPECT_EQ(slotAfterSecondTab("h\t"), want);
    EXPECT_EQ(slotAfterSecondTab("b"), " ");  // above the caret row
  }
  CaretAt("e");
  ASSERT_EQ(Table(TableKey::kLeftRule, 2, 1), 0);  // the caret's cell only, double
  EXPECT_EQ(slotAfterSecondTab("e"), "##");
  EXPECT_EQ(slotAfterSecondTab("h\t"), "# ");
}

TEST_F(ColumnRenderTest, RuleSegmentsOfTheCaretCellClearAndSet) {
  ShowSheet();
  CaretAt("a");
  ASSERT_EQ(Table(TableKey::kBottomRule), 0);  // a thin rule under "a b c"
  ASSERT_NE(Dump().find("rule exact 20 tabs 0,145,520,895,1270: ==="), std::string::npos) << Dump();
  CaretAt("e");
  ASSERT_EQ(Table(TableKey::kBottomRuleCtrl, -1, 1), 0);
  EXPECT_NE(Dump().find("rule exact 20 tabs 0,145,520,895,1270: =-="), std::string::npos) << Dump();
  CaretAt("e");
  ASSERT_EQ(Table(TableKey::kTopRuleCtrl, -1, 1), 0);
  EXPECT_NE(Dump().find("rule exact 20 tabs 0,145,520,895,1270: ==="), std::string::npos) << Dump();
}

TEST_F(ColumnRenderTest, LeaderWalksClearAndDrawTheOnePointCharacters) {
  ShowSheet();
  const int line = Rich().ExLineFromChar(Rich().CharFromByte(static_cast<int>(Rich().Text().find("d"))));
  Rich().ExSetSel(Rich().LineIndex(line), Rich().LineIndex(line));
  ASSERT_EQ(Table(TableKey::kRightRuleCtrl), 0);
  EXPECT_NE(Dump().find("|\"d\" fs21 |\"e\" fs21 |\"f\" fs21"), std::string::npos) << Dump();
  Rich().ExSetSel(Rich().LineIndex(line), Rich().LineIndex(line));
  ASSERT_EQ(Table(TableKey::kLeftRuleCtrl), 0);
  EXPECT_NE(Dump().find("\"d\" fs21 \"e\" fs21 \"f\" fs21"), std::string::npos) << Dump();
  // A clear slot of no colour becomes a ',' that '8' turns into a cleared '_'.
  const int other = Rich().ExLineFromChar(Rich().CharFromByte(static_cast<int>(Rich().Text().find("g"))));
  Rich().ExSetSel(Rich().LineIndex(other), Rich().LineIndex(other));
  ASSERT_EQ(Table(TableKey::kLeftRuleCtrl), 0);
  EXPECT_NE(Rich().GetLine(other).find(','), std::string::npos) << Rich().GetLine(other);
  Rich().ExSetSel(Rich().LineIndex(other), Rich().LineIndex(other));
  ASSERT_EQ(Table(TableKey::kRightRuleCtrl), 0);
  EXPECT_EQ(Rich().GetLine(other).find(','), std::string::npos) << Rich().GetLine(other);
  EXPECT_NE(Rich().GetLine(other).find('_'), std::string::npos) << Rich().GetLine(other);
}

TEST_F(ColumnRenderTest, OutOfMemoryLeavesTheControlAsItWas) {
  ShowSheet();
  const std::string before = Rich().StreamOutRtf(false);
  struct Case {
    int failAfter;
    const char* place;
  } cases[] = {{0, " 042"}, {1, " 043"}};
  for (const Case& c : cases) {
    doc_->m_textStore.clear();
    doc_->m_textStore.shrink_to_fit();
    doc_->m_pText = nullptr;
    CaretAt("e");
    doc_->m_allocHook.FailAfter(c.failAfter);
    ASSERT_EQ(Table(TableKey::kDeleteColumn), 0);
    doc_->m_allocHook.Reset();
    ASSERT_FALSE(frame_->Ui().MessageLog().empty());
    EXPECT_EQ(frame_->Ui().MessageLog().back().text, LoadString(IDS_OUT_OF_MEMORY) + c.place);
    EXPECT_EQ(Rich().StreamOutRtf(false), before);
    EXPECT_EQ(doc_->m_nLockUpdateDepth, 0);
  }
}

// Past the row's 31st Tab the cells stand after 1-point separators; the column codes
// walk them row by row from the caret's row.
TEST_F(ColumnRenderTest, LeaderAreaColumnsMoveSplitJoinAndGo) {
  std::string cells;
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 35; ++c) cells += (c ? "\x06" : "") + std::to_string(r * 100 + c);
    cells += "\r\n";
  }
  // A row's characters from `from` to the end of `to`, 1-point ones as '|'.
  auto span = [this](const std::string& from, const std::string& to) {
    const std::string& text = Rich().Text();
    const size_t a = text.find(from), b = text.find(to, a);
    std::string seen;
    if (a == std::string::npos || b == std::string::npos) return seen;
    const int end = Rich().CharFromByte(static_cast<int>(b + to.size()));
    for (int cp = Rich().CharFromByte(static_cast<int>(a)); cp < end; ++cp) {
      seen += Rich().FormatAt(cp).yHeight < table::kTextHeight ? "|" : Rich().GetTextRange(cp, cp + 1);
    }
    return seen;
  };
  struct Case {
    TableKey code;
    int number;
    const char* caret;
    const char* row;   // "131" to "133" after the code
    const char* next;  // "231" to "233"
  } cases[] = {
      {TableKey::kColumnRight, 18, "132", "131   | 132 | 133", "231   | 232 | 233"},
      {TableKey::kColumnLeft, 9, "132", "131| 132 | 133", "231| 232 | 233"},
      {TableKey::kDeleteColumn, -1, "132", "131 | 133", "231 | 233"},
      {TableKey::kJoin, -1, "132", "131   132 | 133", "231   232 | 233"},
      {TableKey::kInsertColumn, -1, "132", "131 |     | 132 | 133", "231 |     | 232 | 233"},
      {TableKey::kSplit, -1, "32 ", "131 | 1|32 | 133", "231 | 2|32 | 233"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.code));
    ShowSheet(cells, 35, 4);
    EXPECT_EQ(span("131", "133"), "131 | 132 | 133");
    const size_t row = Rich().Text().find("131");
    const int at = Rich().CharFromByte(static_cast<int>(Rich().Text().find(c.caret, row)));
    Rich().ExSetSel(at, at);
    ASSERT_EQ(Table(c.code, c.number), 0);
    EXPECT_EQ(span("131", "133"), c.row);
    EXPECT_EQ(span("231", "233"), c.next);
    EXPECT_EQ(span("31", "33"), "31  | 32  | 33");  // the row above the caret's
    ASSERT_TRUE(Rich().Undo());
    EXPECT_EQ(span("131", "133"), "131 | 132 | 133");
  }
}

}  // namespace

namespace {

class RichTableConvertTest : public testenv::DocTest {
 protected:
  CQelView view_{*doc_};
  plat::RichEdit& Load(const std::string& rtf) {
    doc_->LoadDocument(WriteFile("t.rtf", rtf));
    return *view_.Rich();
  }
  // The text of a line's column (from 1) up to its next Tab, 1-point characters as '|'.
  std::string Cell(const plat::RichEdit& rich, int line, int column) {
    std::string out;
    for (int cp = table::ColumnStart(rich, line, column); cp < table::LineEnd(rich, line); ++cp) {
      const std::string ch = rich.GetTextRange(cp, cp + 1);
      if (ch == "\t") break;
      out += rich.FormatAt(cp).yHeight < table::kTextHeight ? "|" : ch;
    }
    return out;
  }
};

// Rich-text 'D' opened every row but the first with a blank and a ruled cell, so the
// first row's cells stood one column left of the others. Every row opens alike.
TEST_F(RichTableConvertTest, RuleSlotsOpenEveryRowSoTheFirstAlignsFault) {
  plat::RichEdit& rich = Load("{\\rtf1 before\\par a\\tab b\\par c\\tab d\\par after}");
  ASSERT_EQ(view_.TableCommand(TableKey::kLinesToTable, {.firstLine = 1, .lastLine = 3}), 0);
  for (int line : {1, 2}) {
    SCOPED_TRACE(line);
    EXPECT_EQ(Cell(rich, line, 1), " ");
    EXPECT_EQ(Cell(rich, line, 2), line == 1 ? "|a" : "|c");
    EXPECT_EQ(Cell(rich, line, 3), line == 1 ? "|b" : "|d");
    EXPECT_EQ(Cell(rich, line, 4), "|  ");
    EXPECT_EQ(rich.FormatAt(rich.LineIndex(line)).yHeight, rich.FormatAt(rich.LineIndex(line) + 3).yHeight);
    ASSERT_GE(rich.ParaOfLine(line).cTabCount, 2);
    EXPECT_EQ(rich.ParaOfLine(line).rgxTabs[1], 300);
  }
  EXPECT_EQ(rich.GetLine(0), "before\r");
  EXPECT_EQ(rich.GetLine(3), "after");
}

// 101 on lines that carry stops added each line again after them as a row, so every
// row stood twice and the originals kept their stops unshifted. Each line becomes the
// row in place: its stops opened by 0 (and the start indent), exact spacing 240, the
// Gothic face, a rule slot after each Tab; nothing is added.
TEST_F(RichTableConvertTest, LinesWithStopsWereDoubledByTheTabConversionFault) {
  struct Case {
    const char* rtf;
    const char* row;
    std::vector<int> stops;
  } cases[] = {
      {"{\\rtf1 \\pard\\tx1000\\tx2000 a\\tab b\\tab c\\par after}", " a\tb\tc", {0, 1000, 2000}},
      {"{\\rtf1 \\pard\\li500\\tx1000\\tx2000 a\\tab b\\par after}", "\ta\tb", {0, 500, 1000, 2000}},
      {"{\\rtf1 \\pard\\li1500\\tx1000\\tx2000 a\\tab b\\par after}", "\ta\tb", {0, 1500}},  // from the first stop that does not rise
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rtf);
    plat::RichEdit& rich = Load(c.rtf);
    ASSERT_EQ(view_.TableCommand(TableKey::kTabsToTable, {.lastLine = 1}), 0);
    ASSERT_EQ(rich.GetLineCount(), 2);
    std::string row;
    for (int cp = rich.LineIndex(0); cp < table::LineEnd(rich, 0); ++cp) {
      if (rich.FormatAt(cp).yHeight >= table::kTextHeight) row += rich.GetTextRange(cp, cp + 1);
    }
    EXPECT_EQ(row, c.row);
    const plat::ParaFormat2& pf = rich.ParaOfLine(0);
    EXPECT_EQ(std::vector<int>(pf.rgxTabs.begin(), pf.rgxTabs.begin() + pf.cTabCount), c.stops);
    EXPECT_EQ(pf.bLineSpacingRule, plat::kSpacingExact);
    EXPECT_EQ(pf.dyLineSpacing, 240);
    EXPECT_EQ(rich.FormatAt(rich.LineIndex(0) + 1).szFaceName, "\x82\x6c\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4e");
    EXPECT_EQ(Cell(rich, 0, 2).substr(0, 1), "|");  // each cell opens with its rule slot
    EXPECT_EQ(rich.GetLine(1), "after");
    // Converted again, the row stays as it is.
    const std::string rtf = rich.StreamOutRtf(false);
    ASSERT_EQ(view_.TableCommand(TableKey::kTabsToTable, {.lastLine = 1}), 0);
    EXPECT_EQ(rich.StreamOutRtf(false), rtf);
  }
}

}  // namespace

namespace {

// Amounts and split lengths overflowed 32 bits on their way to a stop, a spacing or a
// count of blanks (a signed overflow, then stops far outside the control). Every
// code keeps its numbers within the control's range.
TEST_F(ColumnRenderTest, HugeNumbersToTheColumnCodesStayBoundedFault) {
  ShowSheet();
  for (TableKey code : {TableKey::kColumnRight, TableKey::kColumnLeft, TableKey::kLineNarrower, TableKey::kLineWider, TableKey::kSplit, TableKey::kInsertColumn}) {
    SCOPED_TRACE(static_cast<int>(code));
    for (int number : {INT32_MAX, INT32_MIN, INT32_MAX - 7}) {
      CaretAt("e");
      ASSERT_EQ(Table(code, number), 0);
      for (int line = 0; line < Rich().GetLineCount(); ++line) {
        const plat::ParaFormat2& pf = Rich().ParaOfLine(line);
        for (int k = 0; k < pf.cTabCount; ++k) {
          EXPECT_GE(pf.rgxTabs[static_cast<size_t>(k)], 0);
          EXPECT_LE(pf.rgxTabs[static_cast<size_t>(k)], 31680);
        }
        EXPECT_LE(table::SpacingOf(Rich(), line), table::kMaxSpacing);
        EXPECT_GE(table::SpacingOf(Rich(), line), 10);
      }
    }
  }
  view_.Pane().m_strSearch = "ATR:%I99999999999";
  CaretAt("e");
  ASSERT_EQ(view_.TableCommand(TableKey::kSplit, {.number = 0, .cellOnly = 1}), 0);
  EXPECT_NE(Rich().Text().find("e"), std::string::npos);
}

TEST_F(ColumnRenderTest, HugeAmountsInTheLeaderAreaStayBounded) {
  std::string cells;
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 35; ++c) cells += (c ? "\x06" : "") + std::to_string(r * 100 + c);
    cells += "\r\n";
  }
  ShowSheet(cells, 35, 3);
  const int length = Rich().GetTextLength();
  const int at = Rich().CharFromByte(static_cast<int>(Rich().Text().find("132")));
  Rich().ExSetSel(at, at);
  ASSERT_EQ(Table(TableKey::kColumnRight, INT32_MAX), 0);
  // The amount stops at 3,168 (352 blanks), on the caret's row and the one below.
  EXPECT_EQ(Rich().GetTextLength(), length + 2 * 352);
}

// A line of 2,000 cells: the stops end at 32, the rewrite and the leader walk read a
// bounded part of each line, and nothing outside the lines changes.
TEST_F(ColumnRenderTest, TwoThousandColumnLinesConvertAndEditWithinBounds) {
  std::string line;
  for (int c = 0; c < 2000; ++c) line += (c ? "\\tab " : "") + std::to_string(c);
  doc_->LoadDocument(WriteFile("wide.rtf", "{\\rtf1 before\\par " + line + "\\par " + line + "\\par after}"));
  plat::RichEdit& rich = *view_.Rich();
  ASSERT_EQ(view_.TableCommand(TableKey::kTabsToTable, {.firstLine = 1, .lastLine = 3}), 0);
  for (int l : {1, 2}) {
    EXPECT_EQ(rich.ParaOfLine(l).cTabCount, 32);
    const std::string text = rich.GetLine(l);
    EXPECT_EQ(std::count(text.begin(), text.end(), '_'), 1999);
  }
  for (TableKey code : {TableKey::kInsertColumn, TableKey::kDeleteColumn, TableKey::kColumnRight, TableKey::kLeftRule}) {
    SCOPED_TRACE(static_cast<int>(code));
    for (int column : {6, 1500}) {
      const int cp = table::ColumnStart(rich, 1, column) + 1;
      rich.ExSetSel(cp, cp);
      ASSERT_EQ(view_.TableCommand(code), 0);
      EXPECT_EQ(rich.GetLineCount(), 4);
      EXPECT_EQ(rich.GetLine(0), "before\r");
      EXPECT_EQ(rich.GetLine(3), "after");
      EXPECT_LE(rich.ParaOfLine(1).cTabCount, 32);
    }
  }
}

// A rewritten table above 500,000 bytes goes into the control through the listing
// output, with its progress text, and comes back whole.
TEST_F(ColumnRenderTest, ALargeTableGoesBackThroughTheListingOutput) {
  std::string cells = "h1\x06h2\x06h3\r\n";
  for (int r = 0; r < 4000; ++r) cells += "a" + std::to_string(r) + "\x06" "b\x06" "c\r\n";
  ShowSheet(cells, 3, 4001);
  const int lines = Rich().GetLineCount();
  CaretAt("a0\t");
  const int first = Rich().ExLineFromChar(Rich().CharFromByte(static_cast<int>(Rich().Text().find("a0\t"))));
  const plat::ParaFormat2 before = Rich().ParaOfLine(first);
  ASSERT_EQ(Table(TableKey::kColumnRight, 2), 0);
  EXPECT_GT(doc_->m_nTextLen, 500000);
  EXPECT_EQ(Rich().GetLineCount(), lines);
  const int last = Rich().ExLineFromChar(Rich().CharFromByte(static_cast<int>(Rich().Text().find("a3999"))));
  EXPECT_FALSE(Rich().ParaOfLine(first) == before);
  EXPECT_TRUE(Rich().ParaOfLine(last) == Rich().ParaOfLine(first));
  EXPECT_EQ(frame_->StatusBar().GetPaneText(0), " 100 % done  (Push Esc to Stop)");
}

}  // namespace

namespace {

class CaretReStepTest : public richtexttest::ShownSheetTest {};

// After a column removal or a join the cells at the caret may be of other widths
// (double-byte cells beside ASCII ones): the caret steps right from its former offset
// until it reaches its former x, and back one when it stands more than 20 pixels past.
TEST_F(CaretReStepTest, RemovalAndJoinStepTheCaretToItsFormerX) {
  const std::string jp = "\x93\xfa\x96\x7b\x8c\xea\x93\xfa\x96\x7b\x8c\xea";  // six double-byte characters
  const std::string asciiThenJp = "h\x06h\x06h\r\nabcdefgh\x06" + jp + "\x06z\r\n";
  const std::string jpThenAscii = "h\x06h\x06h\r\n" + jp + "\x06" "abcdefghijkl\x06z\r\n";
  struct Case {
    const char* name;
    std::string cells;
    std::string caretAt;
    TableKey code;
    int offset;  // the caret's offset in its line after the code
    int x;       // and its x in pixels from the line's start
  } cases[] = {
      // The caret stood at 45 px; the double-byte cell moves in: its offset gives 73 px,
      // 28 past, so it steps back one character.
      {"removal, double-byte cell moves in", asciiThenJp, "efgh", TableKey::kDeleteColumn, 6, 59},
      // The caret stood at 31 px; ASCII moves in: its offset gives 24 px, it steps right.
      {"removal, ASCII cell moves in", jpThenAscii, "\x96\x7b\x8c\xea\x93\xfa", TableKey::kDeleteColumn, 5, 31},
      // The join takes the cell's Tab: 49 px for 31 px is less than 20 past, it stays.
      {"join", jpThenAscii, "\x96\x7b\x8c\xea\x93\xfa", TableKey::kJoin, 4, 49},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ShowSheet(c.cells, 3, 2);
    CaretAt(c.caretAt);
    int a = 0, b = 0;
    Rich().ExGetSel(a, b);
    const int line = Rich().ExLineFromChar(b);
    ASSERT_EQ(Table(c.code), 0);
    Rich().ExGetSel(a, b);
    EXPECT_EQ(a, b);
    ASSERT_EQ(Rich().ExLineFromChar(b), line);
    EXPECT_EQ(b - Rich().LineIndex(line), c.offset);
    EXPECT_EQ((Rich().XInLineTwips(b) - Rich().XInLineTwips(Rich().LineIndex(line))) / 15, c.x);
  }
}

}  // namespace
