// Tables edited in place: rules, rows, spacing, the undo of a table command, the
// conversions of lines and selections, and the faults the edit road had.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "app/FileKind.h"
#include "platform/os/Files.h"
#include "platform/ui/Keys.h"
#include "platform/ui/Ui.h"
#include "richtext/table/TableDump.h"
#include "richtext/table/TableEngine.h"
#include "richtext/table/ShownSheetTest.h"
#include "richtext/ViewTableState.h"
#include "support/SmallDisk.h"
#include "support/TestEnv.h"
#include "view/QelView.h"

namespace {

class TableEditTest : public richtexttest::ShownSheetTest {
 protected:
  int RuleLines() {
    int n = 0;
    for (int l = 0; l < Rich().GetLineCount(); ++l) n += table::IsRuleLine(Rich(), l) ? 1 : 0;
    return n;
  }
};

TEST_F(TableEditTest, BottomRuleCyclesThinThickNoneAndTheNextRowMakesRoom) {
  ShowSheet();
  const int rules = RuleLines();
  CaretAt("d");
  const int spacingBefore = table::SpacingOf(Rich(), LineOf("g"));
  ASSERT_EQ(Table(TableKey::kBottomRule), 0);
  EXPECT_EQ(RuleLines(), rules + 1);
  EXPECT_EQ(table::GetRuleLineClass(Rich(), LineOf("d") + 1), 1);
  EXPECT_EQ(table::SpacingOf(Rich(), LineOf("g")), spacingBefore + 30);
  EXPECT_NE(Dump().find("rule exact 20 tabs"), std::string::npos);
  ASSERT_EQ(Table(TableKey::kBottomRule), 0);
  EXPECT_EQ(RuleLines(), rules + 2);
  EXPECT_EQ(table::GetRuleLineClass(Rich(), LineOf("d") + 1), 2);
  ASSERT_EQ(Table(TableKey::kBottomRule), 0);
  EXPECT_EQ(RuleLines(), rules);
  EXPECT_EQ(table::SpacingOf(Rich(), LineOf("g")), spacingBefore);
  EXPECT_NE(Rich().Text().find("d"), std::string::npos);
}

// One undo took back two steps whatever the command made: a rule (several steps) was
// half undone, a row delete (one step) took the command before it too. Each table
// command is one undo group now.
TEST_F(TableEditTest, TableUndoRestoresTheStateBeforeTheLastCommandFault) {
  ShowSheet();
  CaretAt("d");
  const std::string start = Dump();
  ASSERT_EQ(Table(TableKey::kBottomRule), 0);
  const std::string ruled = Dump();
  ASSERT_EQ(Table(TableKey::kDeleteRow), 0);
  EXPECT_NE(Dump(), ruled);
  ASSERT_TRUE(Rich().Undo());
  EXPECT_EQ(Dump(), ruled);
  ASSERT_TRUE(Rich().Undo());
  EXPECT_EQ(Dump(), start);
}

TEST_F(TableEditTest, InsertRowCopiesStopsAndSpacingWithBlankCells) {
  ShowSheet();
  CaretAt("e");
  const int line = LineOf("e");
  const plat::ParaFormat2 pf = Rich().ParaOfLine(line);
  const int lines = Rich().GetLineCount();
  const std::string before = Dump();
  ASSERT_EQ(Table(TableKey::kInsertRow), 0);
  ASSERT_EQ(Rich().GetLineCount(), lines + 1);
  EXPECT_EQ(Rich().ParaOfLine(line + 1).rgxTabs, pf.rgxTabs);
  EXPECT_EQ(Rich().ParaOfLine(line + 1).dyLineSpacing, pf.dyLineSpacing);
  EXPECT_EQ(LineOf("e"), line);
  const std::string added = Rich().GetLine(line + 1);
  EXPECT_EQ(added.find_first_not_of(" \t\r_"), std::string::npos) << added;
  ASSERT_TRUE(Rich().Undo());
  EXPECT_EQ(Dump(), before);
}

TEST_F(TableEditTest, DeleteRowBetweenRulesTakesTheRuleBelowAndKeepsTheOneAbove) {
  ShowSheet();
  CaretAt("a");
  ASSERT_EQ(Table(TableKey::kBottomRule), 0);  // rule under a
  CaretAt("d");
  ASSERT_EQ(Table(TableKey::kBottomRule), 0);  // rule under d
  const int rules = RuleLines();
  const int lines = Rich().GetLineCount();
  CaretAt("d");
  ASSERT_EQ(Table(TableKey::kDeleteRow), 0);
  EXPECT_EQ(LineOf("d"), -1);
  EXPECT_EQ(Rich().GetLineCount(), lines - 2);
  EXPECT_EQ(RuleLines(), rules - 1);
  EXPECT_TRUE(table::IsRuleLine(Rich(), LineOf("a") + 1));
}

TEST_F(TableEditTest, LineSpacingStepsAndShowsItsText) {
  ShowSheet();
  CaretAt("e");
  const int line = LineOf("e");
  const int before = table::SpacingOf(Rich(), line);
  ASSERT_EQ(Table(TableKey::kLineWider), 0);
  EXPECT_EQ(table::SpacingOf(Rich(), line), before + 10);
  EXPECT_EQ(table::LineSpaceText(250), "line space = 12.5");
  EXPECT_EQ(table::LineSpaceText(240), "line space = 12.0");
  doc_->m_bShiftDown = 1;
  ASSERT_EQ(Table(TableKey::kLineNarrower), 0);
  doc_->m_bShiftDown = 0;
  EXPECT_EQ(table::SpacingOf(Rich(), line), before - 40);
  const CStatusBar& bar = frame_->StatusBar();
  EXPECT_EQ(bar.GetPaneText(bar.CommandToIndex(ID_INDICATOR_FORMAT)), table::LineSpaceText(before - 40));
}

TEST_F(TableEditTest, EngineServicesOnPlainLines) {
  plat::RichEdit edit;
  plat::Clipboard clip;
  edit.SetText("one\ttwo\rx");
  table::TableEngine eng(edit, clip, RGB(255, 255, 255));
  EXPECT_EQ(eng.AdjustLineSpacing(0, -300), 10);
  EXPECT_EQ(table::SpacingOf(edit, 1), 240);
  eng.CopyLineTo(0, 1);
  EXPECT_EQ(edit.Text(), "one\ttwo\rone\ttwo\rx");
  EXPECT_EQ(eng.ClearLineCells(1, 1), 2);
  EXPECT_EQ(edit.GetLine(1), " \t \r");
  eng.CopyLineTo(2, 3);  // a last line gets a line end and its copy
  EXPECT_EQ(edit.Text(), "one\ttwo\r \t \rx\rx");
}

// Exact spacing below 40 made a line a rule line even when formatting had narrowed a
// text line to 20 or 30 twips, so '0' deleted text. A line with a character of 50
// twips or more is never a rule line.
TEST_F(TableEditTest, RemovingRulesNeverDeletesANarrowedTextLineFault) {
  ShowSheet();
  table::TableEngine eng(Rich(), frame_->Ui().GetClipboard(), RGB(255, 255, 255));
  eng.SetExactSpacing(LineOf("d"), 20);
  CaretAt("a");
  ASSERT_EQ(Table(TableKey::kRemoveRules), 0);
  EXPECT_NE(LineOf("d"), -1);
  EXPECT_FALSE(table::IsRuleLine(Rich(), LineOf("d")));
}

// '0' on the line above a last rule line looped: the delete removed nothing and the
// line stayed a rule line. The last line goes, and a delete that removes nothing ends.
TEST_F(TableEditTest, RemovingALastRuleLineEndsFault) {
  plat::RichEdit& rich = Rich();
  view_.Pane().m_nShownKind = kKindRtf;
  rich.StreamInRtf("{\\rtf1 text\\par\\pard\\sl-20\\slmult0{\\fs2  \\tab  }}", false);
  ASSERT_TRUE(table::IsRuleLine(rich, 1));
  rich.ExSetSel(0, 0);
  ASSERT_EQ(Table(TableKey::kRemoveRules), 0);
  EXPECT_EQ(rich.GetLineCount(), 1);
  EXPECT_EQ(rich.Text(), "text");
}

// The rule class of a line past the end appended "\n \n" to the text; a query
// never edits now.
TEST_F(TableEditTest, RuleLineClassQueryNeverEditsFault) {
  ShowSheet();
  const std::string text = Rich().Text();
  EXPECT_EQ(table::GetRuleLineClass(Rich(), Rich().GetLineCount() + 3), 0);
  EXPECT_EQ(table::GetRuleLineClass(Rich(), -1), 0);
  EXPECT_EQ(Rich().Text(), text);
}

// '2' on line 0 read line -1. With no text line above it there is nothing to rule.
TEST_F(TableEditTest, TopRuleOnTheFirstLineReadsNoLineAboveFault) {
  view_.Pane().m_nShownKind = kKindRtf;
  Rich().StreamInRtf("{\\rtf1 a\\tab b\\par c\\tab d}", false);
  const std::string before = DumpTableParagraphs(Rich());
  Rich().ExSetSel(0, 0);
  ASSERT_EQ(Table(TableKey::kTopRule), 0);
  EXPECT_EQ(DumpTableParagraphs(Rich()), before);
  Rich().ExSetSel(Rich().LineIndex(1), Rich().LineIndex(1));
  ASSERT_EQ(Table(TableKey::kTopRule), 0);  // on the second row it rules under the first
  EXPECT_TRUE(table::IsRuleLine(Rich(), 1));
}

// The '|' conversion replaced the character after each new Tab by the rule slot:
// "a|b" lost its 'b'. Only a blank is replaced; anything else gets a slot inserted.
TEST_F(TableEditTest, BarConversionKeepsTheCharacterAfterEachTabFault) {
  doc_->LoadDocument(WriteFile("t.rtf", "{\\rtf1 a|b|c|d\\par x| y||z\\par end}"));
  ASSERT_EQ(view_.TableCommand(TableKey::kBarsToTable, {.lastLine = 2}), 0);
  const std::string dump = DumpTableParagraphs(*view_.Rich());
  EXPECT_NE(dump.find("\"a\" fs24 |\"b\" fs24 |\"c\" fs24 |\"d\" fs24"), std::string::npos) << dump;
  EXPECT_NE(dump.find("\"x\" fs24 |\"y\" fs24 |\"\" |\"z\" fs24"), std::string::npos) << dump;
  EXPECT_NE(view_.Rich()->Text().find("\rend"), std::string::npos);
  EXPECT_EQ(view_.Rich()->ParaOfLine(2).cTabCount, 0);
}

// 'D' on rich text deleted the whole control around its lines; a plain D in table
// mode reached it. Only the caret line (or the lines named) changes.
TEST_F(TableEditTest, RuleSlotsOnRichTextReplaceOnlyTheLinesFault) {
  doc_->LoadDocument(WriteFile("t.rtf", "{\\rtf1 before\\par a\\tab b\\par after}"));
  plat::RichEdit& rich = *view_.Rich();
  rich.ExSetSel(rich.LineIndex(1), rich.LineIndex(1));
  doc_->m_bTableMode = 1;
  view_.OnKeyDown('D');
  const std::string text = rich.Text();
  EXPECT_TRUE(text.starts_with("before\r")) << text;
  EXPECT_TRUE(text.ends_with("\rafter")) << text;
  EXPECT_NE(DumpTableParagraphs(rich).find("|\"b\""), std::string::npos) << DumpTableParagraphs(rich);
}

TEST_F(TableEditTest, TableModeKeysGoToTheEngineAndDoNotType) {
  ShowSheet();
  CaretAt("d");
  const int rules = RuleLines();
  const std::string before = Rich().Text();
  doc_->m_bTableMode = 1;
  view_.OnKeyDown('1');
  view_.OnChar('1');
  EXPECT_EQ(RuleLines(), rules + 1);
  EXPECT_EQ(std::count(Rich().Text().begin(), Rich().Text().end(), '1'), std::count(before.begin(), before.end(), '1'));
}

// An empty selection gave lines 0 and 0 and the conversion replaced the document's
// start; the work copy "_001.rtf" was written beside the user's file, overwriting
// and then deleting a file of that name. The caret line alone is converted, the
// work copy has a new name in TMP, and the rest of the document stays.
TEST_F(TableEditTest, SelectionToTableKeepsTheDocumentAndTheUserFilesFault) {
  const std::string userCopy = WriteFile("doc_001.rtf", "mine");
  doc_->LoadDocument(WriteFile("doc.rtf", "{\\rtf1 top\\par a|b|c\\par bottom}"));
  plat::RichEdit* rich = view_.Rich();
  ASSERT_NE(rich, nullptr);
  rich->ExSetSel(rich->LineIndex(1) + 1, rich->LineIndex(1) + 1);
  view_.OnTableConvertSelection();
  frame_->Ui().Advance(500);
  rich = view_.Rich();
  ASSERT_NE(rich, nullptr);
  const std::string text = rich->Text();
  EXPECT_TRUE(text.starts_with("top\r")) << text;
  EXPECT_TRUE(text.ends_with("bottom")) << text;
  EXPECT_EQ(text.find("a|b|c"), std::string::npos) << text;
  EXPECT_NE(text.find("b"), std::string::npos) << text;
  EXPECT_NE(DumpTableParagraphs(*rich).find("\"b\""), std::string::npos) << DumpTableParagraphs(*rich);
  EXPECT_EQ(testenv::ReadHostFile(dir_.HostPath("doc_001.rtf")), "mine");
  EXPECT_EQ(view_.Table().m_strPasteBackFile, "");
  EXPECT_EQ(doc_->m_strPathName, Win("doc.rtf"));
  EXPECT_EQ(doc_->m_nLockUpdateDepth, 0);
  EXPECT_FALSE(frame_->Ui().HasTimer(&view_, 40));
  (void)userCopy;
}

// A failed save of the whole text still went on: the selection was converted and
// pasted into a reload that never came. Now nothing changes.
TEST_F(TableEditTest, SelectionToTableStopsWhenTheWorkCopyCannotBeWrittenFault) {
  doc_->LoadDocument(WriteFile("doc.rtf", "{\\rtf1 top\\par a|b|c\\par bottom}"));
  plat::RichEdit* rich = view_.Rich();
  const std::string before = rich->Text();
  rich->ExSetSel(rich->LineIndex(1), rich->LineIndex(2));
  {
    testenv::ScopedFileSizeLimit full(16);  // no room for the work copy
    view_.OnTableConvertSelection();
  }
  frame_->Ui().Advance(500);
  EXPECT_EQ(view_.Rich()->Text(), before);
  EXPECT_EQ(doc_->m_nLockUpdateDepth, 0);
  EXPECT_FALSE(frame_->Ui().HasTimer(&view_, 40));
}

// The new-table template is 72 characters; 73 were selected, so the conversion took
// the first character of the line after the insertion too.
TEST_F(TableEditTest, NewTableLeavesTheFollowingLineFault) {
  doc_->LoadDocument(WriteFile("doc.rtf", "{\\rtf1 \\par Xfollow}"));
  plat::RichEdit* rich = view_.Rich();
  rich->ExSetSel(rich->LineIndex(1), rich->LineIndex(1));
  ASSERT_EQ(view_.BuildRtfTable(1), 0);
  frame_->Ui().Advance(500);
  const std::string text = view_.Rich()->Text();
  EXPECT_TRUE(text.ends_with("\rXfollow")) << text;
  EXPECT_NE(text.find("Title"), std::string::npos);
  EXPECT_NE(text.find("A6"), std::string::npos);
}

}  // namespace
