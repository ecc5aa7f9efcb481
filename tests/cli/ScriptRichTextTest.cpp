// The script statements of the rich text: caret, print and expect of rtf, table and
// clipboard, the edit commands, and the sheet markup seen through `print table`.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <sstream>
#include <vector>

#include "cli/CommandTables.h"
#include "cli/ScriptDocTest.h"
#include "cli/ScriptParser.h"
#include "cli/ScriptRunner.h"
#include "support/TestEnv.h"

namespace {

std::string Q(const std::string& word) { return "\"" + word + "\""; }

class ScriptRichTextTest : public clitest::ScriptDocTest {
 protected:
};

TEST_F(ScriptRichTextTest, CaretSelectsAndTheClipboardCarriesIt) {
  WriteFile("a.rtf", "{\\rtf1 first line\\par {\\b bold} \\'82\\'a0\\'82\\'a2 end}");
  EXPECT_EQ(Run("open " + Q(dir_.HostPath("a.rtf")) +
                "\ncaret 2 1 2 7\nprint selection\ncommand ID_EDIT_COPY\nprint clipboard\nexpect clipboard bold\n"
                "caret 1 7\ncommand ID_EDIT_PASTE\nprint text\nexpect table \" b fs\"\ncommand ID_EDIT_UNDO\nprint text\n"),
            kScriptDone)
      << messages_.str();
  EXPECT_EQ(out_.str(), "bold あ\nbold あ\nfirst bold あline\r\nbold あい end\nfirst line\r\nbold あい end\n");
}

// `print text` of a rich-text pane ended its lines with a bare CR; it prints them as
// the same text in a plain pane does.
TEST_F(ScriptRichTextTest, PrintTextOfRichTextEndedLinesWithABareCrFault) {
  WriteFile("a.rtf", "{\\rtf1 one\\par two\\par}");
  WriteFile("a.txt", "one\r\ntwo\r\n");
  ASSERT_EQ(Run("open " + Q(dir_.HostPath("a.rtf")) + "\nprint text\nopen " + Q(dir_.HostPath("a.txt")) + "\nprint text\n"), kScriptDone)
      << messages_.str();
  EXPECT_EQ(out_.str(), "one\r\ntwo\r\none\r\ntwo\r\n");
}

TEST_F(ScriptRichTextTest, PrintRtfAndExpectFailures) {
  WriteFile("a.txt", "plain {text}\r\n");
  EXPECT_EQ(Run("open " + Q(dir_.HostPath("a.txt")) + "\nprint rtf\nexpect rtf \"\\{text\\}\"\n"), kScriptDone)
      << messages_.str();
  EXPECT_NE(out_.str().find("{\\colortbl ;\\red1\\green0\\blue0;}"), std::string::npos) << out_.str();
  EXPECT_EQ(Run("open " + Q(dir_.HostPath("a.txt")) + "\ncaret 9 1\n"), kScriptFailed);
  EXPECT_NE(messages_.str().find("caret: the text has no such line"), std::string::npos);
  EXPECT_EQ(Run("expect clipboard nothing\n"), kScriptFailed);
}

TEST_F(ScriptRichTextTest, CaretAndSubjectsAreCheckedBeforeRunning) {
  const CommandTables tables = AllCommandTables();
  EXPECT_EQ(ParseScript("caret 1\n", tables).errorLine, 1);
  EXPECT_EQ(ParseScript("caret 1 2 3\n", tables).errorLine, 1);
  EXPECT_EQ(ParseScript("caret 0 1\n", tables).errorLine, 1);
  EXPECT_EQ(ParseScript("caret 1 2 3 4\nprint table\nexpect rtf x\n", tables).errorLine, 0);
  EXPECT_EQ(ParseScript("print pictures\n", tables).errorLine, 1);
  EXPECT_NE(std::string(ScriptStatementsHelp()).find("caret LINE COL"), std::string::npos);
}

// A CSV file shows as a sheet; its markup (column formats, number forms, rules
// between rows) is what `print table` shows.
TEST_F(ScriptRichTextTest, SheetMarkupThroughPrintTable) {
  WriteFile("s.csv", "item,amount\r\nalpha,1234567.8\r\nbeta,2\r\n");
  ASSERT_EQ(Run("open " + Q(dir_.HostPath("s.csv")) + "\nprint table\nexpect table alpha\n"), kScriptDone)
      << messages_.str();
  const std::string table = out_.str();
  EXPECT_TRUE(table.starts_with("text exact 240 tabs 0,")) << table;
  EXPECT_NE(table.find(" \"item\" fs21 \"amount\" fs21"), std::string::npos) << table;
  EXPECT_NE(table.find("\"1234567.8\""), std::string::npos) << table;
}

// Markup lines in a CSV file: row items set the rules between rows (2 thick, drawn
// twice; 1 thin; 0 none) and a column format block the number form and placement.
TEST_F(ScriptRichTextTest, RuleKindsAndColumnFormatsOfTheMarkup) {
  WriteFile("m.csv", "item,amount^02\r\nalpha,1234567.8\r\nbeta,2^21\r\ngamma,3\r\n!%,\r\nName,L\r\nSum,Rc\r\n");
  ASSERT_EQ(Run("open " + Q(dir_.HostPath("m.csv")) + "\nprint table\n"), kScriptDone) << messages_.str();
  std::vector<std::string> kinds;
  std::istringstream lines(out_.str());
  for (std::string line; std::getline(lines, line);) {
    if (line.find("\"item\"") != std::string::npos) kinds.push_back("item");
    if (line.find("\"alpha\" fs21 \"1,234,568\"") != std::string::npos) kinds.push_back("alpha");
    if (line.find("\"beta\"") != std::string::npos) kinds.push_back("beta");
    if (line.find("\"gamma\"") != std::string::npos) kinds.push_back("gamma");
    if (line.starts_with("rule exact 20 ")) kinds.push_back(line.substr(line.find(": ") + 2));
  }
  const std::vector<std::string> expected = {"item", "==", "==", "alpha", "==", "==", "beta", "==", "gamma"};
  EXPECT_EQ(kinds, expected) << out_.str();
}


// A rectangle over B2:C3 in the column format block: 'N' draws its outline, 'H' adds
// the rule between its rows, 'V' the slots between its columns.
TEST_F(ScriptRichTextTest, BoxDirectionsThroughPrintTable) {
  const struct {
    std::string direction;
    std::vector<std::string> lines;  // the row e, the rule line between e and i, the row i
  } cases[] = {
      {"N", {"\"e\" fs21 |\"f\" fs21 \"g\" fs21 |\"h\"", "", "\"i\" fs21 |\"j\" fs21 \"k\" fs21 |\"l\""}},
      {"H", {"\"e\" fs21 |\"f\" fs21 \"g\" fs21 |\"h\"", "-==-", "\"i\" fs21 |\"j\" fs21 \"k\" fs21 |\"l\""}},
      {"V", {"\"e\" fs21 |\"f\" fs21 |\"g\" fs21 |\"h\"", "", "\"i\" fs21 |\"j\" fs21 |\"k\" fs21 |\"l\""}},
  };
  for (const auto& c : cases) {
    WriteFile("box.csv", "a,b,c,d\r\ne,f,g,h\r\ni,j,k,l\r\nm,n,o,p\r\n!%,\r\nA,\r\nRect," + c.direction + "$1Tb,B2:C3\r\n");
    out_.str("");
    ASSERT_EQ(Run("open " + Q(dir_.HostPath("box.csv")) + "\nprint table\n"), kScriptDone) << messages_.str();
    std::vector<std::string> lines;
    std::istringstream in(out_.str());
    for (std::string line; std::getline(in, line);) lines.push_back(line.substr(line.find(": ") + 2));
    const auto e = std::find_if(lines.begin(), lines.end(), [](const std::string& l) { return l.starts_with("\"e\""); });
    ASSERT_NE(e, lines.end()) << out_.str();
    EXPECT_TRUE(e[-1] == "-==-") << c.direction << "\n" << out_.str();  // the box's top
    EXPECT_TRUE(e[0].starts_with(c.lines[0])) << c.direction << "\n" << out_.str();
    const bool inner = !c.lines[1].empty();
    EXPECT_EQ(e[1] == "-==-", inner) << c.direction << "\n" << out_.str();
    EXPECT_TRUE(e[inner ? 2 : 1].starts_with(c.lines[2])) << c.direction << "\n" << out_.str();
  }
}


// The formatting commands and the image tools share one colour dialog: a second
// class of the same name in the rich text took the answer into an object of another
// layout, and the chosen colour never reached the text.
TEST_F(ScriptRichTextTest, ColourDialogAnswerReachesTheTextColourFault) {
  WriteFile("a.rtf", "{\\rtf1 hello world}");
  ASSERT_EQ(Run("open " + Q(dir_.HostPath("a.rtf")) +
                "\ncaret 1 1 1 5\nanswer color=FF8000\ncommand ID_FORMAT_SET_TEXT_BACK_COLOR\nprint rtf\n"),
            kScriptDone)
      << messages_.str();
  EXPECT_NE(out_.str().find("\\red255\\green128\\blue0;"), std::string::npos) << out_.str();
}

// A sheet of more rows than one display page said " disp  1000 / 5000 line (Down
// button to next page)", but nothing turned the page: rows from 1,001 on could not be
// reached. Down or PageDown below the last row, Up or PageUp above the first, and
// Ctrl+End and Ctrl+Home turn it now, the status following. A page of wide rows (300
// rows of 1,000 cells) held 1,000 rows and took seconds: it holds 65,536 cells.
TEST_F(ScriptRichTextTest, SheetsOverOneDisplayPageCouldNotBePagedFault) {
  for (const auto [total, cells, page] : {std::array{5000, 2, 1000}, std::array{300, 1000, 65}}) {
    std::string rows;
    for (int i = 1; i <= total; ++i) rows += "row" + std::to_string(i) + ",v" + std::string(static_cast<size_t>(cells - 2), ',') + "\r\n";
    WriteFile("big.csv", rows);
    const int last = (total - 1) / page * page;  // the last page's start
    const auto status = [&](int shown) {
      return " disp  " + std::to_string(shown) + " / " + std::to_string(total) + " line" +
             (shown < total ? "  (Down button to next page)" : "");
    };
    struct Step {
      std::string keys;
      int first, last;  // rows shown
    } steps[] = {
        {"", 1, page},
        {"caret " + std::to_string(page + 1) + " 1\nkey Down", page + 1, 2 * page},
        {"caret " + std::to_string(page + 1) + " 1\nkey PageDown", 2 * page + 1, 3 * page},
        {"key PageUp", page + 1, 2 * page},
        {"key Ctrl+End", last + 1, total},
        {"caret 2 1\nkey Up", last - page + 1, last},
        {"key Ctrl+Home", 1, page},
    };
    out_.str("");
    std::string script = "open " + Q(dir_.HostPath("big.csv")) + "\n";
    for (const Step& s : steps) script += s.keys + "\nprint status\nprint text\n";
    ASSERT_EQ(Run(script), kScriptDone) << messages_.str();
    const std::string out = out_.str();
    size_t at = 0;
    for (const Step& s : steps) {
      const size_t shown = out.find(status(s.last), at);
      ASSERT_NE(shown, std::string::npos) << s.keys << ": " << status(s.last);
      const size_t next = out.find(" disp  ", shown + 1);
      const std::string text = out.substr(shown, next == std::string::npos ? std::string::npos : next - shown);
      for (int row : {s.first, s.last}) EXPECT_NE(text.find(" row" + std::to_string(row) + "\t"), std::string::npos) << s.keys << " row " << row;
      for (int row : {s.first - 1, s.last + 1}) EXPECT_EQ(text.find(" row" + std::to_string(row) + "\t"), std::string::npos) << s.keys << " row " << row;
      at = shown + 1;
    }
  }
}

}  // namespace
