// CSV to table text, cell by cell against Python's csv reader, with the forms the
// table display relies on and the failures that are reported.
#include <sstream>
#include <string>
#include <vector>

#include "app/StringTable.h"
#include "convert/dump/DumpTestSupport.h"

namespace {

using dumptest::DumpTest;

// Our table text as rows of cells: lines split at CR LF, cells at byte 6; a quoted
// cell loses its quotes and its doubled quotes, as a CSV reader reads it.
std::vector<std::vector<std::string>> Cells(const std::string& text, bool unquote) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    std::vector<std::string> cells;
    std::istringstream fields(line);
    for (std::string cell; std::getline(fields, cell, '\x06');) {
      if (unquote && cell.size() >= 2 && cell.front() == '"' && cell.back() == '"') {
        cell = cell.substr(1, cell.size() - 2);
        for (size_t at = cell.find("\"\""); at != std::string::npos; at = cell.find("\"\"", at + 1)) cell.erase(at, 1);
      }
      cells.push_back(cell);
    }
    if (line.back() == '\x06') cells.push_back("");
    rows.push_back(cells);
  }
  return rows;
}

class CsvTableTest : public DumpTest {};

TEST_F(CsvTableTest, CellsAgreeWithPythonCsv) {
  SKIP_WITHOUT_PROGRAM("python3");
  const std::string host = testenv::DataPath("dump/table.csv");
  // Python's reading, with the forms of the table text: line ends in a cell as ':',
  // a tab as '~'; cells joined by byte 6, rows by LF.
  const std::string script =
      "import csv,sys\n"
      "rows=csv.reader(open(sys.argv[1],newline='',encoding='cp932'))\n"
      "out='\\n'.join('\\x06'.join(c.replace('\\r',':').replace('\\n',':').replace('\\t','~') for c in r) for r in rows)\n"
      "sys.stdout.buffer.write(out.encode('cp932'))\n";
  testenv::WriteHostFile(dir_.HostPath("read.py"), script);
  const std::string expected = testenv::Shell("python3 " + dir_.HostPath("read.py") + " " + testenv::Quote(host));
  const std::string text = ShowFixture("table.csv");
  EXPECT_EQ(doc_->m_nTextLen, static_cast<int>(Fixture("table.csv").size()));
  EXPECT_EQ(Cells(text, true), Cells(expected, false)) << text;
}

TEST_F(CsvTableTest, QuotesLeadBytesAndUnclosedQuotes) {
  EXPECT_EQ(Show("a.csv", "a,\"b,c\",d\r\n"), "a\x06\"b,c\"\x06" "d\r\n");
  // A Shift-JIS lead byte before a control byte or a digit shows as a blank.
  EXPECT_EQ(Show("b.csv", "\x82" "1,x"), " 1\x06x");
  // An unclosed quote is broken after its 91st comma.
  std::string open = "\"";
  for (int i = 0; i < 95; ++i) open += "a,";
  const std::string text = Show("c.csv", open);
  EXPECT_EQ(text.find(",\r\n"), 2 * 90u);  // the 90th comma, then the 91st as the line end
  EXPECT_EQ(text.size(), open.size());
  EXPECT_EQ(Show("e.csv", ""), "");
}

// Every byte read was table text, up to 900 KB past the input volume and past any
// output volume, and a CSV shown whole was marked partial: the table text is now the
// file up to the smaller volume, followed by the note of the volume that cut it.
TEST_F(CsvTableTest, VolumesCutTheTableWithTheirNoteAndFailuresHaveTheirCode) {
  std::string rows;
  while (rows.size() < 600000) rows += "1,2,3\r\n";
  // Within the volumes: whole, and not partial.
  std::string text = Show("whole.csv", rows.substr(0, 300000));
  EXPECT_EQ(text.substr(0, 14), "1\x06" "2\x06" "3\r\n1\x06" "2\x06" "3\r\n");
  EXPECT_EQ(text.size(), 300000u);
  EXPECT_EQ(doc_->m_bPartialLoad, 0);
  // Past the input volume: cut there, with the truncation note.
  struct Cut {
    int input, output;
    size_t at;
    std::string note;
  };
  const std::string overInput = LoadString(IDS_DATA_OMITTED) + LoadString(IDS_FILE_SIZE_OVER).substr(0, 24);
  const Cut cuts[] = {{524288, 1048576, 524288, overInput + "(>500KB)"},
                      {100000, 1048576, 100000, overInput + "(>97KB)"},
                      {524288, 204800, 204800, LoadString(IDS_DATA_OMITTED) + LoadString(IDS_DISPLAY_VOLUME_OVER)}};
  for (const Cut& c : cuts) {
    doc_->m_nInDataLimit = c.input;
    doc_->m_nOutDataLimit = c.output;
    text = Show("big.csv", rows);
    EXPECT_EQ(text.substr(c.at), c.note) << c.input << " " << c.output;
    EXPECT_EQ(doc_->m_bPartialLoad, 1);
  }
  doc_->m_nInDataLimit = 524288;

  // The output buffer must grow for a large CSV: when it cannot, string 152 and its place.
  doc_->m_nOutDataLimit = 204800;
  // Allocations before it: output buffer, raw data twice, two matrices, six work arrays.
  doc_->m_allocHook.FailAfter(11);
  EXPECT_EQ(Show("big.csv", rows.substr(0, 400000)), LoadString(IDS_OUT_OF_MEMORY) + " 016");
  doc_->m_allocHook.Reset();
}

}  // namespace
