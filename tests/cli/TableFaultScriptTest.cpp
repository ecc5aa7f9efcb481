// Table faults through a script, read back by LibreOffice from `print rtf`: every
// conversion and edit keeps every cell and picture, and the table undo gives back the
// exact text before it; a script's statements run in the order written.
#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "cli/CommandTables.h"
#include "cli/ScriptDocTest.h"
#include "cli/ScriptRunner.h"
#include "platform/text/CodePage.h"
#include "support/TestEnv.h"

namespace {

std::string Q(const std::string& word) { return "\"" + word + "\""; }

using clitest::kSjisRtfHead;
using clitest::SjisRtf;

// A 4 x 3 red PNG made by ImageMagick, as an RTF picture group.
std::string Picture(const testenv::TempDir& dir) {
  const std::string png = dir.HostPath("red.png");
  testenv::Shell("convert -size 4x3 xc:red " + testenv::Quote(png));
  std::string hex;
  for (unsigned char c : testenv::ReadHostFile(png)) {
    char h[3];
    std::snprintf(h, sizeof h, "%02x", c);
    hex += h;
  }
  return "{\\pict\\pngblip\\picw4\\pich3\\picwgoal60\\pichgoal45 " + hex + "}";
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class TableFaultScriptTest : public clitest::ScriptDocTest {
 protected:
  // The RTF texts the `print rtf` statements of the last run wrote, in order.
  std::vector<std::string> Rtfs() const {
    std::vector<std::string> rtfs;
    const std::string out = out_.str();
    for (size_t at = out.find("{\\rtf1"); at != std::string::npos; at = out.find("{\\rtf1", at)) {
      // To the brace that closes the first one (escaped braces and backslashes skipped).
      size_t i = at;
      for (int depth = 0; i < out.size(); ++i) {
        if (out[i] == '\\') {
          ++i;
        } else if (out[i] == '{') {
          ++depth;
        } else if (out[i] == '}' && --depth == 0) {
          break;
        }
      }
      rtfs.push_back(out.substr(at, i + 1 - at));
      at = i;
    }
    return rtfs;
  }
  // LibreOffice's rows of each RTF (one soffice run for all): each line of its text
  // with its cells (the Tab-separated fields, blanks and an opening rule slot
  // trimmed, empty ones left out) joined by " / "; empty lines left out. Its drawn
  // pictures are counted in `pictures`.
  std::vector<std::vector<std::string>> LibreOfficeRows(const std::vector<std::string>& rtfs, std::vector<size_t>& pictures) {
    std::string files;
    for (size_t k = 0; k < rtfs.size(); ++k) {
      const std::string name = dir_.HostPath("r" + std::to_string(k) + ".rtf");
      testenv::WriteHostFile(name, rtfs[k]);
      files += " " + testenv::Quote(name);
    }
    const std::string lo = "soffice -env:UserInstallation=file://" + dir_.HostPath("profile") + " --headless --convert-to ";
    const std::string out = " --outdir " + testenv::Quote(dir_.HostPath("lo"));
    testenv::Shell(lo + Q("txt:Text (encoded):UTF8") + out + files + " >/dev/null 2>&1");
    testenv::Shell(lo + "fodt" + out + files + " >/dev/null 2>&1");
    std::vector<std::vector<std::string>> all;
    pictures.clear();
    for (size_t k = 0; k < rtfs.size(); ++k) {
      const std::string base = dir_.HostPath("lo/r" + std::to_string(k));
      pictures.push_back(Count(testenv::ReadHostFile(base + ".fodt"), "<draw:image"));
      std::istringstream text(testenv::ReadHostFile(base + ".txt"));
      std::vector<std::string> rows;
      for (std::string line; std::getline(text, line);) {
        if (line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
        // The 1-point blanks of rule slots come as six-per-em spaces.
        for (size_t at = line.find("\xE2\x80\x86"); at != std::string::npos; at = line.find("\xE2\x80\x86")) line.replace(at, 3, " ");
        std::string row;
        std::istringstream fields(line);
        for (std::string cell; std::getline(fields, cell, '\t');) {
          // A cell's rule slot ('_', '.', blanks) before its text is no text of it.
          const size_t text = cell.find_first_not_of(" _.");
          const size_t a = text == std::string::npos ? cell.find_first_not_of(' ') : text;
          const size_t b = cell.find_last_not_of(' ');
          if (a == std::string::npos || cell.find_first_not_of(" _") == std::string::npos) continue;
          row += (row.empty() ? "" : " / ") + cell.substr(a, b - a + 1);
        }
        if (!row.empty()) rows.push_back(row);
      }
      all.push_back(rows);
    }
    return all;
  }

  struct Case {
    const char* fault;
    std::string file;          // name, written with `content`
    std::string content;
    std::string setup;         // statements after `open` that make the state before
    std::string edit;          // the conversion or edit
    int undos;                 // table undos that take it back whole
    std::vector<std::string> rows;  // LibreOffice's rows after it
    size_t pictures;           // pictures before and after
    std::vector<std::string> shows;  // texts the output (table dump, status, clipboard) holds
  };
  // Runs a case: the RTF before, the edit, the RTF after with the table dump, the
  // status and the clipboard, then the undos and the RTF after them.
  void Check(const Case& c) {
    SCOPED_TRACE(c.fault);
    doc_->m_bTableMode = 0;  // each case starts out of table mode
    WriteFile(c.file, c.content);
    std::string script = "open " + Q(dir_.HostPath(c.file)) + "\n" + c.setup + "\nprint rtf\n" + c.edit +
                         "\nwait 500\nprint rtf\nprint table\nprint status\nprint clipboard\n";
    for (int k = 0; k < c.undos; ++k) script += "command ID_TABLE_UNDO\n";
    out_.str("");
    ASSERT_EQ(Run(script + "print rtf\n"), kScriptDone) << messages_.str();
    const std::vector<std::string> rtfs = Rtfs();
    ASSERT_EQ(rtfs.size(), 3u) << out_.str();
    EXPECT_EQ(rtfs[2], rtfs[0]) << "the undo did not give back the text before";
    for (const std::string& text : c.shows) EXPECT_NE(out_.str().find(text), std::string::npos) << text << "\n" << out_.str();
    EXPECT_EQ(Count(rtfs[1], "{\\pict"), c.pictures) << rtfs[1];
    std::vector<size_t> pictures;
    const auto rows = LibreOfficeRows({rtfs[1]}, pictures);
    EXPECT_EQ(rows[0], c.rows);
    EXPECT_EQ(pictures[0], c.pictures);
  }
};

const std::vector<std::string> kTabTable = {"city\tnote\tprice", "New York\tA|B\t100", "Los Angeles\tC or D\t200", "p|q\tr"};
const std::vector<std::string> kTabRows = {"city / note / price", "New York / A|B / 100", "Los Angeles / C or D / 200", "p|q / r"};

std::string TabRtf(const std::vector<std::string>& lines) {
  std::vector<std::string> escaped;
  for (std::string line : lines) {
    for (size_t at = line.find('\t'); at != std::string::npos; at = line.find('\t', at)) line.replace(at, 1, "\\tab ");
    escaped.push_back(line);
  }
  return SjisRtf(escaped);
}

// Each conversion of text to a table lost a cell, a row's place or a picture: a '|'
// in a cell of a Tab table split its row there, pictures were dropped on the plain
// road, lines with stops came back twice, the lines command converted one line and
// left '|' unsplit, a new table split the caret's line. Each keeps every cell and
// picture now, and one table undo gives back the text before it.
TEST_F(TableFaultScriptTest, TableConversionsLostCellsAndPicturesFault) {
  SKIP_WITHOUT_PROGRAM("soffice");
  SKIP_WITHOUT_PROGRAM("convert");
  const std::string pict = Picture(dir_);
  const std::string stops = "\\pard\\tx1000\\tx2000 ";
  const Case cases[] = {
      {"a '|' in a Tab table's cell", "tab.rtf", TabRtf(kTabTable), "", "caret 1 1 4 6\ncommand ID_TABLE_CONVERT_SELECTION", 1,
       kTabRows, 0, {}},
      {"a '|' in a Tab table's cell, ctrl", "tab.rtf", TabRtf(kTabTable), "", "caret 1 1 4 6\ncommand ID_TABLE_CONVERT_SELECTION ctrl", 1,
       kTabRows, 0, {}},
      {"a picture on the plain road", "pict.rtf", SjisRtf({"head line", "x|" + pict + "y|z", "a|b|c", "tail"}), "",
       "caret 2 1 3 6\ncommand ID_TABLE_CONVERT_SELECTION", 1, {"head line", "x / y / z", "a / b / c", "tail"}, 1, {}},
      {"a picture on the ctrl road", "pict.rtf", SjisRtf({"head line", "x\\tab " + pict + "y\\tab z", "a\\tab b\\tab c", "tail"}), "",
       "caret 2 1 3 6\ncommand ID_TABLE_CONVERT_SELECTION ctrl", 1, {"head line", "x / y / z", "a / b / c", "tail"}, 1, {}},
      {"the lines command", "bars.rtf", SjisRtf({"item|count|price", "apple|3|100", "pear|5|80"}), "",
       "caret 1 1 3 10\ncommand ID_TABLE_CONVERT_LINES", 1, {"item / count / price", "apple / 3 / 100", "pear / 5 / 80"}, 0, {}},
      {"ctrl on lines with stops", "stops.rtf",
       std::string(kSjisRtfHead) + stops + "a1\\tab b1\\tab c1\\par " + stops + "a2\\tab b2\\tab c2\\par \\pard tail\\par}", "",
       "caret 1 1 2 9\ncommand ID_TABLE_CONVERT_SELECTION ctrl", 1, {"a1 / b1 / c1", "a2 / b2 / c2", "tail"}, 0, {}},
      {"a new table at the caret mid-line", "new.rtf", SjisRtf({"hello world", "second"}), "caret 1 4",
       "command ID_TABLE_NEW", 1, {"hello world", "Title", "A1 / A2 / A3 / A4 / A5 / A6", ".. / .. / ..", "second"}, 0, {}},
  };
  for (const Case& c : cases) Check(c);
}

// The paste-back took whatever the clipboard held when it came: a copy made before
// it replaced the converted rows, and a row inserted before it (through the
// clipboard) replaced the table with that row; a key typed or a row inserted in the
// converted lines before it was replaced by the table unseen, and a Delete at the
// text's end after it made an undo step of nothing. The table comes back whole, the
// copy holds what was copied, the inserted row stays, an edit of the converted lines
// is refused saying why; the undos give the text before.
TEST_F(TableFaultScriptTest, ClipboardUseBeforeThePasteBackReplacedTheTableFault) {
  SKIP_WITHOUT_PROGRAM("soffice");
  const std::string text = SjisRtf({"前の行", "a|b|c", "d|e|f", "後の行です"});
  const std::string convert = "caret 2 1 3 6\ncommand ID_TABLE_CONVERT_SELECTION\n";
  const std::vector<std::string> rows = {"前の行", "a / b / c", "d / e / f", "後の行です"};
  const Case cases[] = {
      {"a copy before the paste-back", "jp.rtf", text, "", convert + "caret 4 1 4 3\ncommand ID_EDIT_COPY", 1, rows, 0, {"後の\n"}},
      {"a row inserted before the paste-back", "jp.rtf", text, "", convert + "command ID_TABLE_EDIT\ncommand ID_TABLE_INSERT_ROW", 2,
       rows, 0, {"text single tabs : \"\"\ntext single tabs : \"前の行\" fs21\n"}},
      {"a key typed in the converted lines before the paste-back", "jp.rtf", text, "", convert + "caret 3 2\nkey X", 1, rows, 0,
       {"edit refused: these lines are becoming a table"}},
      {"a row inserted in the converted lines before the paste-back", "jp.rtf", text, "",
       convert + "caret 3 2\ncommand ID_TABLE_EDIT\ncommand ID_TABLE_INSERT_ROW", 1, rows, 0, {"edit refused: these lines"}},
      {"a Delete at the text's end after the paste-back", "jp.rtf", text, "", convert + "wait 500\nkey Ctrl+End\nkey Delete", 1, rows,
       0, {}},
  };
  for (const Case& c : cases) Check(c);
}

// Table edits that lost a stop, a rule line or the way back: a boundary moved left
// past width 0 swallowed its stop and shifted the later columns; an inserted column
// made a rule line a text line; a column removed before the first Tab moved the
// stops but no cell; on a CSV sheet the table keys could not be undone. Each keeps
// every cell and picture, refusals say why, and the undos give the text before.
TEST_F(TableFaultScriptTest, TableEditsLostStopsRulesOrTheUndoFault) {
  SKIP_WITHOUT_PROGRAM("soffice");
  SKIP_WITHOUT_PROGRAM("convert");
  const std::string table = SjisRtf({"item|count|price", "apple|" + Picture(dir_) + "3|100", "pear|5|80"});
  const std::string converted = "caret 1 1 3 10\ncommand ID_TABLE_CONVERT_SELECTION\nwait 500\ncommand ID_TABLE_EDIT";
  const std::vector<std::string> rows = {"item / count / price", "apple / 3 / 100", "pear / 5 / 80"};
  std::string left;
  for (int k = 0; k < 10; ++k) left += "caret 3 9\ncommand ID_COLUMN_BOUNDARY_LEFT\n";
  const Case cases[] = {
      {"a boundary moved left past width 0", "t.rtf", table, converted, left, 8, rows, 1,
       {"column 1: width 0: the boundary moves no further left | width = 0", "text exact 240 tabs 0,1,865,1585,2305: |"}},
      {"a column inserted on a ruled row", "t.rtf", table, converted + "\ncaret 3 3\ncommand ID_TABLE_BOTTOM_RULE_CYCLE",
       "caret 3 3\ncommand ID_TABLE_INSERT_COLUMN", 1, {"item / count / price", "apple / 3 / 100", "..", "pear / 5 / 80"}, 1,
       {"rule exact 20 tabs 0,145,865,1585,2305,3025: ===="}},  // the rule line's 1-point run reads as dots
      {"a column removed before the first Tab", "t.rtf", table, converted, "caret 1 1\ncommand ID_TABLE_DELETE_COLUMN", 0, rows, 1,
       {"column 0: the cells before the first Tab are no column to remove"}},
      {"a sheet's row removed by key K", "s.csv", "a,b,c\r\n1,2,3\r\n4,5,6\r\n", "command ID_TABLE_EDIT", "caret 3 3\nkey K", 1,
       {"a / b / c", "4 / 5 / 6"}, 0, {}},
      {"a sheet's column added by key E", "s.csv", "a,b,c\r\n1,2,3\r\n4,5,6\r\n", "command ID_TABLE_EDIT", "caret 3 3\nkey E", 1,
       {"a / b / c", "1 / 2 / 3", "4 / 5 / 6"}, 0, {"\"\" \"1\" fs21 \"2\" fs21 \"3\" fs21"}},
      {"a sheet's column removed by key R", "s.csv", "a,b,c\r\n1,2,3\r\n4,5,6\r\n", "command ID_TABLE_EDIT", "caret 3 3\nkey R", 1,
       {"a / b / c", "2 / 3", "5 / 6"}, 0, {}},
  };
  for (const Case& c : cases) Check(c);
}

// A key waited for the next command so that its Esc poll could take it: `key X`
// then a copy copied the text the key had already replaced, and `key K` then the
// table undo undid the table and left the row deleted. Each statement finishes
// before the next starts.
TEST_F(TableFaultScriptTest, StatementsDidNotRunInTheOrderWrittenFault) {
  SKIP_WITHOUT_PROGRAM("soffice");
  WriteFile("a.rtf", SjisRtf({"hello world", "second"}));
  ASSERT_EQ(Run("open " + Q(dir_.HostPath("a.rtf")) + "\nprint rtf\ncaret 1 1 1 6\nkey X\ncaret 1 1 1 8\ncommand ID_EDIT_COPY" +
                "\nprint clipboard\ncommand ID_EDIT_UNDO\nprint rtf\n"),
            kScriptDone)
      << messages_.str();
  EXPECT_NE(out_.str().find("\nx world\n"), std::string::npos) << out_.str();
  std::vector<std::string> rtfs = Rtfs();
  ASSERT_EQ(rtfs.size(), 2u);
  EXPECT_EQ(rtfs[1], rtfs[0]);  // the undo took the typed key back

  WriteFile("t.rtf", SjisRtf({"item|count|price", "apple|3|100", "pear|5|80"}));
  out_.str("");
  ASSERT_EQ(Run("open " + Q(dir_.HostPath("t.rtf")) + "\ncaret 1 1 3 10\ncommand ID_TABLE_CONVERT_SELECTION\nwait 500" +
                "\ncommand ID_TABLE_EDIT\nprint rtf\ncaret 3 3\nkey K\nprint rtf\ncommand ID_TABLE_UNDO\nprint rtf\n"),
            kScriptDone)
      << messages_.str();
  rtfs = Rtfs();
  ASSERT_EQ(rtfs.size(), 3u);
  EXPECT_EQ(rtfs[2], rtfs[0]);
  std::vector<size_t> pictures;
  const auto rows = LibreOfficeRows(rtfs, pictures);
  EXPECT_EQ(rows[1], (std::vector<std::string>{"item / count / price", "pear / 5 / 80"}));
  EXPECT_EQ(rows[2], (std::vector<std::string>{"item / count / price", "apple / 3 / 100", "pear / 5 / 80"}));
}

// A CSV of `columns` columns and three rows, each cell "R<row>C<column>" padded with
// 'x' to `width` characters.
std::string NumberedCsv(int columns, size_t width) {
  std::string csv;
  for (int r = 1; r <= 3; ++r) {
    for (int c = 1; c <= columns; ++c) {
      std::string cell = "R" + std::to_string(r) + "C" + std::to_string(c);
      cell.resize(std::max(cell.size(), width), 'x');
      csv += (c > 1 ? "," : "") + cell;
    }
    csv += "\r\n";
  }
  return csv;
}

// The cells of row r in a pane text: each "R<r>C<n>" found, by column n, with where it stands.
std::vector<std::pair<int, size_t>> RowCells(const std::string& text, int r) {
  std::vector<std::pair<int, size_t>> cells;
  const std::string head = "R" + std::to_string(r) + "C";
  std::istringstream lines(text);
  for (std::string line; cells.empty() && std::getline(lines, line);) {
    for (size_t at = line.find(head); at != std::string::npos; at = line.find(head, at + 1)) {
      size_t end = at + head.size();
      while (end < line.size() && line[end] >= '0' && line[end] <= '9') ++end;
      if (end > at + head.size()) cells.emplace_back(std::stoi(line.substr(at + head.size(), end - at - head.size())), at);
    }
  }
  return cells;
}

// Column commands with the caret past character 3,000 of its row took the last column
// that started in the row's first 3,000 characters: in a CSV of 35 columns of 100
// characters shown as RTF a removal with the caret in column 33 removed column 28 of every row;
// in 256 columns one in column 250 removed columns 167 to 256, and insert, split and
// boundary acted on column 167; the left rule at column 35 of 40 named column 30.
// Only the caret's column changes now, in every row, and the status names it.
TEST_F(TableFaultScriptTest, ColumnCommandsPastCharacter3000ActedOnAnotherColumnFault) {
  // Each CSV as the RTF of its sheet.
  for (const auto& [name, csv] : {std::pair{"wide", NumberedCsv(35, 100)}, std::pair{"many", NumberedCsv(256, 8)},
                                  std::pair{"forty", NumberedCsv(40, 100)}}) {
    WriteFile(std::string(name) + ".csv", csv);
    out_.str("");
    ASSERT_EQ(Run("open " + Q(dir_.HostPath(std::string(name) + ".csv")) + "\nprint rtf\n"), kScriptDone) << messages_.str();
    ASSERT_EQ(Rtfs().size(), 1u);
    WriteFile(std::string(name) + ".rtf", Rtfs()[0]);
  }
  enum class Change { kRemoved, kSplit, kGapGrown, kNone };
  struct Row {
    const char* fault;
    const char* file;
    int column;  // the caret's, 3 characters into its cell
    const char* command;
    Change change;
    const char* status;  // the status holds it ("" to pass)
  } rows[] = {
      {"removal in column 33 of 35 wide ones", "wide.rtf", 33, "ID_TABLE_DELETE_COLUMN", Change::kRemoved, ""},
      {"insertion in column 33 of 35 wide ones", "wide.rtf", 33, "ID_TABLE_INSERT_COLUMN", Change::kGapGrown, ""},
      {"removal in column 250 of 256", "many.rtf", 250, "ID_TABLE_DELETE_COLUMN", Change::kRemoved, ""},
      {"insertion in column 250 of 256", "many.rtf", 250, "ID_TABLE_INSERT_COLUMN", Change::kGapGrown, ""},
      {"split in column 250 of 256", "many.rtf", 250, "ID_TABLE_SPLIT_COLUMN", Change::kSplit, ""},
      {"boundary in column 250 of 256", "many.rtf", 250, "ID_COLUMN_BOUNDARY_RIGHT", Change::kGapGrown, "column 250 "},
      {"left rule at column 35 of 40", "forty.rtf", 35, "ID_TABLE_LEFT_RULE", Change::kNone, "column 35"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.fault);
    const std::string open = "open " + Q(dir_.HostPath(row.file)) + "\ncommand ID_TABLE_EDIT\n";
    doc_->m_bTableMode = 0;
    out_.str("");
    ASSERT_EQ(Run(open + "print text\n"), kScriptDone) << messages_.str();
    const std::string before = out_.str();
    // The caret's place: its row's line (1-based) and 3 characters into the cell.
    std::istringstream lines(before);
    int lineNumber = 0;
    size_t at = std::string::npos;
    for (std::string line; at == std::string::npos && std::getline(lines, line); ++lineNumber) {
      const std::string cell = "R1C" + std::to_string(row.column) + "x";
      at = line.find(cell);
    }
    ASSERT_NE(at, std::string::npos) << before.substr(0, 2000);
    doc_->m_bTableMode = 0;
    out_.str("");
    ASSERT_EQ(Run(open + "caret " + std::to_string(lineNumber) + " " + std::to_string(at + 4) + "\ncommand " + row.command +
                  "\nprint text\nprint status\n"),
              kScriptDone)
        << messages_.str();
    const std::string after = out_.str();
    EXPECT_NE(after.find(row.status), std::string::npos) << after.substr(after.size() > 300 ? after.size() - 300 : 0);
    for (int r = 1; r <= 3; ++r) {
      SCOPED_TRACE("row " + std::to_string(r));
      const auto was = RowCells(before, r);
      const auto now = RowCells(after, r);
      std::vector<int> wasColumns, nowColumns, others;
      for (const auto& [column, place] : was) {
        wasColumns.push_back(column);
        if (column != row.column) others.push_back(column);
      }
      for (const auto& [column, place] : now) nowColumns.push_back(column);
      if (row.change == Change::kRemoved || row.change == Change::kSplit) {
        EXPECT_EQ(nowColumns, others);
        continue;
      }
      ASSERT_EQ(nowColumns, wasColumns);
      // Where each cell stands against the one before: only the caret's column moves.
      for (size_t k = 1; k < was.size(); ++k) {
        const size_t wasGap = was[k].second - was[k - 1].second, nowGap = now[k].second - now[k - 1].second;
        if (row.change == Change::kGapGrown && was[k].first == row.column) {
          EXPECT_GT(nowGap, wasGap) << "column " << was[k].first;
        } else {
          EXPECT_EQ(nowGap, wasGap) << "column " << was[k].first;
        }
      }
    }
  }
}

}  // namespace
