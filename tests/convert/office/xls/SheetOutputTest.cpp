// The sheet output's table form from cell tables made here: rows whose cells fit
// their columns beside rows that run on, wrap, repeat a column or start with a
// control mark, each line as the layout makes it.
#include <string>
#include <vector>

#include "convert/dump/DumpCall.h"
#include "convert/office/xls/SheetCompare.h"
#include "convert/office/xls/SheetTables.h"
#include "convert/office/xls/WorkbookWalk.h"
#include "support/TestEnv.h"

namespace {

class SheetOutputTest : public testenv::DocTest {};

struct Cell {
  int row;
  int column;
  std::string text;
  bool number;
};

// A blank line of six columns eight wide, with the texts written in at their offsets.
std::string Line(std::vector<std::pair<size_t, std::string>> texts) {
  std::string line(54, ' ');
  for (const auto& [at, text] : texts) line.replace(at, text.size(), text);
  return line;
}

TEST_F(SheetOutputTest, FittingRowsAndRowsThatDoNotAreLaidOutAlike) {
  const std::vector<Cell> cells = {
      {0, 0, "abc", false},
      {0, 1, "12.5", true},
      {1, 0, "a text longer than eight", false},  // runs on into columns 1 and 2
      {2, 2, "first", false},
      {2, 2, "x", false},  // the same column again: the later text is shown
      {3, 1, "first", false},
      {3, 1, "", false},  // and an empty one empties it
      {4, 0, "p\x0Bq", false},  // an in-cell break: two lines
      {5, 0, "\x1Elead", false},  // a leading mark shows as a blank
      {6, 0, "123456789", true},  // a number wider than its column wraps
      {7, 3, "12345678", true},
      {7, 4, "eight ch", false},
  };
  DumpCall call;
  call.cellChars = 40;
  call.cellRows = 400;
  call.tableRowsR = doc_->DumpVolumes(false).tableRowsR;
  call.cells.resize(static_cast<size_t>(call.cellChars) * static_cast<size_t>(call.cellRows));
  for (auto& ints : call.workInts) ints.resize(400);
  SheetTables tables(call, 30, 400);
  for (size_t k = 0; k < cells.size(); ++k) {
    const int i = static_cast<int>(k);
    const Cell& c = cells[k];
    tables.SetText(i, static_cast<int>(c.text.size()), c.text);
    tables.Code(i) = c.number ? 9000 + static_cast<int>(c.text.size()) : 1000 + static_cast<int>(c.text.size());
    tables.Row(i) = c.row;
    tables.Column(i) = c.column;
    tables.Entry(i) = i;
    tables.Sheet(i) = 0;
  }
  SheetSummary summary;
  summary.cells = summary.stored = summary.entries = static_cast<int>(cells.size());
  ASSERT_TRUE(doc_->AllocateConvBuffer(doc_->m_nOutDataLimit + 8192));
  doc_->m_nConvPos = 0;
  doc_->WriteSheetTable(call, tables, summary);
  const std::vector<std::string> lines =
      sheetcompare::SplitLines(std::string(doc_->m_pConvBuf, static_cast<size_t>(doc_->m_nConvPos)));
  const std::vector<std::string> expected = {
      Line({{0, "abc"}, {13, "12.5"}}),
      Line({{0, "a text longer than eight"}}),
      Line({{18, "x"}}),
      Line({}),
      Line({{0, "p"}}),
      Line({{0, "q"}}),
      Line({{0, " lead"}}),
      Line({{0, "12345678"}}),
      Line({{7, "9"}}),
      Line({{27, "12345678"}, {36, "eight ch"}}),
  };
  ASSERT_GT(lines.size(), expected.size());
  EXPECT_EQ(lines[0], "[Sheet 1]" + std::string(63, '-'));
  for (size_t l = 0; l < expected.size(); ++l) EXPECT_EQ(lines[l + 1], expected[l]) << "line " << l + 1;
}

}  // namespace
