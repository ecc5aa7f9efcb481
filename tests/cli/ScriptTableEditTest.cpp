// Tables and formats edited through a script: the formatting commands seen in the
// pane's paragraphs and in what LibreOffice reads from `print rtf`, the table edits
// the README shows, and hostile tables (row and cell limits, 2,000 columns, markup
// with huge numbers) that must end with a message, never a crash.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <vector>

#include "app/FileKind.h"
#include "cli/CommandTables.h"
#include "cli/ScriptDocTest.h"
#include "cli/ScriptRunner.h"
#include "platform/text/CodePage.h"
#include "support/TestEnv.h"

namespace {

std::string Q(const std::string& word) { return "\"" + word + "\""; }

class ScriptTableEditTest : public clitest::ScriptDocTest {
 protected:
  // The RTF of a `print rtf` in the output, from its "{\rtf1" to the end.
  std::string PrintedRtf() {
    const std::string out = out_.str();
    const size_t at = out.find("{\\rtf1");
    return at == std::string::npos ? std::string() : out.substr(at);
  }
  // LibreOffice's conversion of an RTF text: its flat document (`to` "fodt", out
  // "fodt") or its text (`to` "txt:Text (encoded):UTF8", out "txt").
  std::string LibreOffice(const std::string& rtf, const std::string& to, const std::string& out) {
    const std::string file = dir_.HostPath("pane.rtf");
    testenv::WriteHostFile(file, rtf);
    return testenv::LibreOfficeConvert(dir_, file, to, out);
  }
  std::string Fodt(const std::string& rtf) { return LibreOffice(rtf, "fodt", "fodt"); }
  // LibreOffice's text of the printed RTF holds the cells in this order.
  void ExpectLibreOfficeCellsInOrder(std::initializer_list<const char*> cells) {
    const std::string text = LibreOffice(PrintedRtf(), "txt:Text (encoded):UTF8", "txt");
    size_t at = 0;
    for (const char* cell : cells) {
      const size_t next = text.find(cell, at);
      ASSERT_NE(next, std::string::npos) << cell << " after " << at << ":\n" << text;
      at = next + 1;
    }
  }
};

// The automatic style of the span or paragraph whose text starts with `word`, as its
// properties; "" when there is none.
std::string StyleOf(const std::string& fodt, const std::string& word, const char* element) {
  const std::string open = std::string("<text:") + element + " text:style-name=\"";
  for (size_t at = fodt.find(open); at != std::string::npos; at = fodt.find(open, at + 1)) {
    const size_t nameStart = at + open.size();
    const size_t nameEnd = fodt.find('"', nameStart);
    const size_t textStart = fodt.find('>', nameEnd);
    if (nameEnd == std::string::npos || textStart == std::string::npos) break;
    size_t text = textStart + 1;  // a paragraph's text may stand in its spans
    while (fodt.compare(text, 10, "<text:span") == 0 && fodt.find('>', text) != std::string::npos) text = fodt.find('>', text) + 1;
    if (fodt.compare(text, word.size(), word) != 0) continue;
    const std::string def = "<style:style style:name=\"" + fodt.substr(nameStart, nameEnd - nameStart) + "\"";
    const size_t a = fodt.find(def);
    if (a == std::string::npos) return "";
    return fodt.substr(a, fodt.find("</style:style>", a) - a);
  }
  return "";
}

TEST_F(ScriptTableEditTest, FormattingCommandsShowInTheParagraphsAndInLibreOffice) {
  SKIP_WITHOUT_PROGRAM("soffice");
  WriteFile("a.rtf",
            "{\\rtf1\\ansi\\ansicpg932{\\fonttbl{\\f0\\fnil\\fcharset128 Gothic;}}\\f0\\fs24 "
            "plain bold italic under strike red back mark up down\\par spaced line\\par narrow line\\par}");
  const std::string script = "open " + Q(dir_.HostPath("a.rtf")) +
                             "\ncaret 1 7 1 11\ncommand ID_FORMAT_BOLD"
                             "\ncaret 1 12 1 18\ncommand ID_FORMAT_ITALIC"
                             "\ncaret 1 19 1 24\ncommand ID_FORMAT_UNDERLINE"
                             "\ncaret 1 25 1 31\ncommand ID_FORMAT_STRIKEOUT"
                             "\ncaret 1 32 1 35\nanswer color=FF0000\ncommand ID_FORMAT_SET_TEXT_BACK_COLOR"
                             "\ncaret 1 36 1 40\ncommand ID_FORMAT_TOGGLE_TEXT_BACK\nanswer color=00FF00"
                             "\ncommand ID_FORMAT_SET_TEXT_BACK_COLOR\ncommand ID_FORMAT_TOGGLE_TEXT_BACK"
                             "\ncaret 1 41 1 45\ncommand ID_FORMAT_HIGHLIGHT_SELECTION"
                             "\ncaret 1 46 1 48\ncommand ID_FORMAT_RAISE_CHARS\ncommand ID_FORMAT_RAISE_CHARS"
                             "\ncaret 1 49 1 53\ncommand ID_FORMAT_LOWER_CHARS"
                             "\ncaret 2 1 2 3\ncommand ID_FORMAT_LINE_SPACING_WIDER"
                             "\ncaret 3 1 3 3\ncommand ID_FORMAT_LINE_SPACING_NARROWER"
                             "\nprint table\nprint rtf\n";
  ASSERT_EQ(Run(script), kScriptDone) << messages_.str();
  const std::string out = out_.str();
  // Each word in its own run (an unset spacing counts as 260 for these steps).
  for (const char* run : {"\\b bold\\b0 ", "\\i italic\\i0 ", "\\ul under\\ulnone ", "\\strike strike\\strike0 ",
                          "\\cf2 red\\cf0 ", "\\highlight3 back\\highlight0 ", "\\highlight4 mark\\highlight0 ",
                          "\\up3 up\\up0 ", "\\dn1 down\\up0 ", "\\red255\\green0\\blue0;\\red0\\green255\\blue0;",
                          "text exact 270 tabs : \"spaced line\"", "text exact 240 tabs : \"narrow line\""}) {
    EXPECT_NE(out.find(run), std::string::npos) << run << "\n" << out;
  }
  const std::string fodt = Fodt(PrintedRtf());
  ASSERT_FALSE(fodt.empty()) << "soffice made no fodt";
  struct Case {
    const char* word;
    const char* property;
  } cases[] = {
      {"bold", "fo:font-weight=\"bold\""},
      {"italic", "fo:font-style=\"italic\""},
      {"under", "style:text-underline-style=\"solid\""},
      {"strike", "style:text-line-through-style=\"solid\""},
      {"red", "fo:color=\"#ff0000\""},
      {"back", "fo:background-color=\"#00ff00\""},
      {"mark", "fo:background-color=\"#ffff00\""},
      {"up", "style:text-position=\""},
      {"down", "style:text-position=\"-"},
  };
  for (const Case& c : cases) {
    const std::string style = StyleOf(fodt, c.word, "span");
    EXPECT_NE(style.find(c.property), std::string::npos) << c.word << ": " << style;
    // No other word took the format.
    if (std::string(c.word) != "up" && std::string(c.word) != "down") {
      EXPECT_EQ(StyleOf(fodt, "plain", "span").find(c.property), std::string::npos) << c.word;
    }
  }
  EXPECT_NE(fodt.find("fo:font-size=\"12pt\""), std::string::npos);
  const std::string spaced = StyleOf(fodt, "spaced", "p");
  const std::string narrow = StyleOf(fodt, "narrow", "p");
  EXPECT_NE(spaced.find("fo:line-height"), std::string::npos) << spaced;
  EXPECT_NE(narrow.find("fo:line-height"), std::string::npos) << narrow;
  EXPECT_NE(spaced, narrow);
}

// The README's table editing example: a table from '|' lines, a column inserted
// before the caret's and taken back, a boundary moved.
TEST_F(ScriptTableEditTest, TableEditingExampleOfTheReadme) {
  WriteFile("table.rtf", "{\\rtf1\\ansi\\ansicpg932{\\fonttbl{\\f0\\fnil\\fcharset128 Gothic;}}\\f0\\fs21 "
                         "item|count|price\\par apple|3|100\\par pear|5|80\\par}");
  const std::string script = "open " + Q(dir_.HostPath("table.rtf")) +
                             "\ncaret 1 1 3 11\ncommand ID_TABLE_CONVERT_SELECTION\nwait 500\ncommand ID_TABLE_EDIT"
                             "\ncaret 3 2\ncommand ID_TABLE_INSERT_COLUMN\nprint table\ncommand ID_TABLE_UNDO\nprint table"
                             "\ncaret 3 2\ncommand ID_COLUMN_BOUNDARY_RIGHT\nprint status\nexpect status \"width = 11\"\n";
  ASSERT_EQ(Run(script), kScriptDone) << messages_.str();
  const std::string out = out_.str();
  const char* inserted = "text exact 240 tabs 0,145,865,1585,2305,3025: |\"\" |\"apple\" fs21 |\"3\" fs21 |\"100\" fs21\n";
  const char* original = "text exact 240 tabs 0,145,865,1585,2305: |\"apple\" fs21 |\"3\" fs21 |\"100\" fs21\n";
  const size_t a = out.find(inserted);
  ASSERT_NE(a, std::string::npos) << out;
  EXPECT_NE(out.find(original, a), std::string::npos) << out;  // the undo
  // The rows above the caret's keep their columns.
  EXPECT_NE(out.find("text exact 240 tabs 0,145,865,1585,2305: |\"item\" fs21 |\"count\" fs21 |\"price\" fs21\n", a),
            std::string::npos);
  EXPECT_NE(out.find("column 1  moved +1 | width = 11"), std::string::npos) << out;
}

// A selection over two rows, or a drag across them, is the block the column codes
// act on: exactly those rows change, the rows above and below keep their stops.
TEST_F(ScriptTableEditTest, ColumnCodesActOnTheSelectedOrDraggedRowsOnly) {
  WriteFile("table.rtf", "{\\rtf1\\ansi\\ansicpg932{\\fonttbl{\\f0\\fnil\\fcharset128 Gothic;}}\\f0\\fs21 "
                         "item|count|price\\par apple|3|100\\par pear|5|80\\par plum|7|60\\par fig|9|40\\par}");
  const char* kept = "tabs 0,145,865,1585,2305: ";
  struct Case {
    const char* edit;      // the rows (caret 3 .. 4 or a drag over them) and the code
    const char* changed;   // the stops of the apple and pear rows after it
  } cases[] = {
      {"caret 3 2 4 2\ncommand ID_COLUMN_BOUNDARY_RIGHT", "tabs 0,165,865,1585,2305: "},
      {"caret 3 2 4 2\ncommand ID_TABLE_INSERT_COLUMN", "tabs 0,145,865,1585,2305,3025: "},
      {"caret 3 2 4 2\ncommand ID_CELL_SPLIT", "tabs 0,145,1115,1165,1885,2605: "},
      {"caret 3 2 5 1\ncommand ID_COLUMN_BOUNDARY_RIGHT", "tabs 0,165,865,1585,2305: "},  // line 5 not reached
      {"drag 26 36 50 52", "tabs 0,165,865,1585,2305: "},
      {"drag 26 52 50 36", "tabs 0,165,865,1585,2305: "},
  };
  for (const Case& c : cases) {
    out_.str("");
    const std::string script = "open " + Q(dir_.HostPath("table.rtf")) +
                               "\ncaret 1 1 5 9\ncommand ID_TABLE_CONVERT_SELECTION\nwait 500\ncommand ID_TABLE_EDIT\n" +
                               c.edit + "\nprint table\n";
    ASSERT_EQ(Run(script), kScriptDone) << c.edit << messages_.str();
    std::istringstream lines(out_.str());
    std::vector<std::string> rows;
    for (std::string line; std::getline(lines, line);) {
      if (line.find("|\"") != std::string::npos) rows.push_back(line);
    }
    ASSERT_EQ(rows.size(), 5u) << c.edit << "\n" << out_.str();
    for (size_t r = 0; r < rows.size(); ++r) {
      const bool inBlock = r == 1 || r == 2;
      EXPECT_NE(rows[r].find(inBlock ? c.changed : kept), std::string::npos) << c.edit << " row " << r << ": " << rows[r];
      // The spacing stays: a drag that moved a boundary is no spacing drag.
      EXPECT_EQ(rows[r].rfind("text exact 240 ", 0), 0u) << c.edit << " row " << r << ": " << rows[r];
    }
  }
}

// After the column codes LibreOffice still reads every cell of the re-rendered rows
// in order: the rewritten RTF is sound.
TEST_F(ScriptTableEditTest, LibreOfficeReadsTheCellsOfReRenderedRows) {
  SKIP_WITHOUT_PROGRAM("soffice");
  WriteFile("table.rtf", "{\\rtf1\\ansi\\ansicpg932{\\fonttbl{\\f0\\fnil\\fcharset128 Gothic;}}\\f0\\fs21 "
                         "item|count|price\\par apple|3|100\\par pear|5|80\\par}");
  const std::string script = "open " + Q(dir_.HostPath("table.rtf")) +
                             "\ncaret 1 1 3 11\ncommand ID_TABLE_CONVERT_SELECTION\nwait 500\ncommand ID_TABLE_EDIT"
                             "\ncaret 3 2\ncommand ID_TABLE_INSERT_COLUMN\ncaret 4 2\ncommand ID_TABLE_SPLIT_COLUMN"
                             "\ncaret 2 2\ncommand ID_TABLE_LEFT_RULE\nprint rtf\n";
  ASSERT_EQ(Run(script), kScriptDone) << messages_.str();
  ExpectLibreOfficeCellsInOrder({"item", "count", "price", "apple", "3", "100", "pear", "5", "80"});
}

// Sheets past the row limit, 2,000 columns wide, with markup numbers far past 32
// bits, or with pictures over 150,000 bytes or missing in cells that hold text (they
// vanished without a word): each ends with the system's message or a note, or is
// shown within its limits.
TEST_F(ScriptTableEditTest, HostileSheetsStayWithinTheirLimits) {
  std::string rows;
  for (int r = 0; r < 290; ++r) rows += "r" + std::to_string(r) + ",x\r\n";
  WriteFile("rows.csv", rows);
  WriteFile("fits.csv", rows.substr(0, rows.find("r289")));
  std::string wide, numbers;
  for (int c = 0; c < 2000; ++c) wide += (c ? "," : "") + std::string("c") + std::to_string(c), numbers += (c ? "," : "") + std::to_string(c);
  WriteFile("wide.csv", wide + "\r\n" + numbers + "\r\n");
  WriteFile("huge.csv",
            "XLxA3HT99999999999B99999999999L-99999999999R4294967296#\r\nh1,h2\r\na,b^99999999999\r\n"
            "c,123456789012345678901234567890\r\n!%,\r\nA,%RB99999999999,if:>99999999999999999999999\r\n"
            "Rect,N$1Tb,B2:C99999999999\r\n");
  // A PDF read under the small input volume gets more rows for its own load alone:
  // the rows set for the sheet after it stay as set.
  WriteFile("lzw.pdf", testenv::ReadHostFile(testenv::DataPath("pdf/lzw.pdf")));
  WriteFile("pictures.csv", "a,b\r\nd,,f\r\n!%,\r\nA,\r\nImage,N$1,A1:A1,big.bmp\r\nImage,$1,B1,missing.bmp\r\n");
  if (testenv::PeerProgram("convert")) testenv::Shell("convert -size 300x200 xc:red BMP3:" + testenv::Quote(dir_.HostPath("big.bmp")));
  const std::string afterPdf = "set indata=0\nset n_tbl=3\nopen " + Q(dir_.HostPath("lzw.pdf")) + "\n";
  struct Case {
    const char* file;
    std::string settings;
    std::vector<const char*> expected;
  } cases[] = {
      {"rows.csv", "set n_tbl=3\n", {" raw number over 300 "}},
      {"rows.csv", afterPdf, {" raw number over 300 "}},
      {"fits.csv", "set n_tbl=3\n", {"\"r288\" fs21 \"x\" fs21\n"}},
      {"wide.csv", "", {"\"c29\" fs21", "1998  1999\" fs21\n"}},
      {"huge.csv", "", {"\"h1\" fs21 \"h2\" fs21\n", "rule exact 20 tabs 0,145,520,4115: -=\n", "|\"123456789012345678901234567890\" fs21\n"}},
      {"pictures.csv", "", {"picture big.bmp left out: over 150,000 bytes", "picture missing.bmp left out: the file cannot be opened"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    out_.str("");
    ASSERT_EQ(Run(c.settings + "open " + Q(dir_.HostPath(c.file)) + "\nprint table\nprint status\n"), kScriptDone)
        << messages_.str();
    const std::string shown = out_.str() + messages_.str();
    for (const char* want : c.expected) EXPECT_NE(shown.find(want), std::string::npos) << want << "\n" << shown.substr(0, 3000);
  }
}

}  // namespace

namespace {

// A table of tab-stop paragraphs without rule slots, and a line of text after it.
std::string PlainTable() {
  const std::string para = "\\pard\\sl-240\\slmult0\\tx0\\tx1000\\tx2000\\tx3000 ";
  return "{\\rtf1\\ansi\\ansicpg932{\\fonttbl{\\f0\\fnil\\fcharset128 Gothic;}}\\f0\\fs21 " + para +
         "\\tab item\\tab count\\tab price\\par " + para + "\\tab apple\\tab 3\\tab 100\\par " + para +
         "\\tab pear\\tab 5\\tab 80\\par " + para + "\\tab plum\\tab 7\\tab 60\\par \\pard after the table\\par}";
}

// The cell rows of a `print table` output.
std::vector<std::string> TableRows(const std::string& out) {
  std::istringstream lines(out);
  std::vector<std::string> rows;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("text ", 0) == 0 && line.find("\"") != std::string::npos) rows.push_back(line);
  }
  return rows;
}

// The cell texts of a flat document's paragraphs that a 1-point span in the rule
// colour directly precedes, one string per paragraph ("" when none).
std::vector<std::string> RuledCells(const std::string& fodt) {
  std::vector<std::string> ruledStyles;
  const std::string open = "<style:style style:name=\"";
  for (size_t at = fodt.find(open); at != std::string::npos; at = fodt.find(open, at + 1)) {
    const size_t end = fodt.find("</style:style>", at);
    const std::string def = fodt.substr(at, end - at);
    if (def.find("fo:font-size=\"1pt\"") != std::string::npos && def.find("fo:background-color=\"#010000\"") != std::string::npos) {
      ruledStyles.push_back(def.substr(open.size(), def.find('"', open.size()) - open.size()));
    }
  }
  std::vector<std::string> cells;
  for (size_t p = fodt.find("<text:p "); p != std::string::npos; p = fodt.find("<text:p ", p + 1)) {
    const std::string para = fodt.substr(p, fodt.find("</text:p>", p) - p);
    std::string ruled;
    for (const std::string& style : ruledStyles) {
      const std::string span = "<text:span text:style-name=\"" + style + "\">";
      for (size_t s = para.find(span); s != std::string::npos; s = para.find(span, s + 1)) {
        size_t text = para.find("</text:span>", s);
        if (text == std::string::npos) break;
        text += 12;
        while (para.compare(text, 10, "<text:span") == 0) text = para.find('>', text) + 1;
        ruled += para.substr(text, para.find('<', text) - text) + ";";
      }
    }
    cells.push_back(ruled);
  }
  return cells;
}

// '3' and '4' over a block of rows put the rule at the block's left or right column
// on exactly the block's text lines; a selection within one row is no block.
TEST_F(ScriptTableEditTest, BlockRulesStandAtTheBlockColumnOnItsRowsOnly) {
  WriteFile("plain.rtf", PlainTable());
  struct Case {
    const char* edit;
    std::vector<const char*> rows;  // the four table rows after it
  } cases[] = {
      {"caret 2 2 3 2\ncommand ID_TABLE_LEFT_RULE",  // left column at the first cell's text
       {"\"item\" fs21 \"count\"", "|\"apple\" fs21 \"3\"", "|\"pear\" fs21 \"5\"", "\"plum\" fs21 \"7\""}},
      {"caret 2 2 3 7\ncommand ID_TABLE_RIGHT_RULE",  // right column at the second cell of the last row
       {"\"item\" fs21 \"count\"", "\"apple\" fs21 |\"3\" fs21 \"100\"", "\"pear\" fs21 |\"5\" fs21 \"80\"", "\"plum\" fs21 \"7\""}},
      {"caret 3 7 4 7\ncommand ID_TABLE_LEFT_RULE",
       {"\"item\" fs21 \"count\"", "\"apple\" fs21 \"3\"", "\"pear\" fs21 |\"5\" fs21 \"80\"", "\"plum\" fs21 |\"7\" fs21 \"60\""}},
      {"caret 2 2 2 7\ncommand ID_TABLE_LEFT_RULE",  // one row: the slot search finds none
       {"\"item\" fs21 \"count\"", "\"apple\" fs21 \"3\"", "\"pear\" fs21 \"5\"", "\"plum\" fs21 \"7\""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.edit);
    out_.str("");
    ASSERT_EQ(Run("open " + Q(dir_.HostPath("plain.rtf")) + "\ncommand ID_TABLE_EDIT\n" + c.edit + "\nprint table\ncommand ID_TABLE_MODE_END\n"), kScriptDone)
        << messages_.str();
    const std::vector<std::string> rows = TableRows(out_.str());
    ASSERT_EQ(rows.size(), 5u) << out_.str();
    for (size_t r = 0; r < 4; ++r) EXPECT_NE(rows[r].find(c.rows[r]), std::string::npos) << rows[r];
    EXPECT_EQ(rows[4], "text single tabs : \"after the table\" fs21");
  }
}

// Repeated presses over the same block step each row's slot single, double, none and
// single again, the selection staying on its rows.
TEST_F(ScriptTableEditTest, BlockRulesCycleSingleDoubleNone) {
  WriteFile("plain.rtf", PlainTable());
  ASSERT_EQ(Run("open " + Q(dir_.HostPath("plain.rtf")) + "\ncommand ID_TABLE_EDIT\ncaret 2 2 3 2" +
                "\ncommand ID_TABLE_LEFT_RULE\nprint rtf\ncommand ID_TABLE_LEFT_RULE\nprint rtf" +
                "\ncommand ID_TABLE_LEFT_RULE\nprint rtf\ncommand ID_TABLE_LEFT_RULE\nprint rtf\n"),
            kScriptDone)
      << messages_.str();
  const std::string out = out_.str();
  size_t at = 0;
  for (const char* slots : {"\\tab \\highlight1\\fs2  \\highlight0\\fs21 ", "\\tab \\highlight1\\fs2   \\highlight0\\fs21 ",
                            "\\tab \\highlight2\\fs2   \\highlight0\\fs21 ", "\\tab \\highlight1\\fs2  \\highlight2  \\highlight0\\fs21 "}) {
    for (const char* cell : {"apple", "pear"}) {
      const size_t next = out.find(slots + std::string(cell), at);
      ASSERT_NE(next, std::string::npos) << slots << cell << " after " << at << "\n" << out;
      at = next;
    }
  }
  // The rows outside the block keep their plain cells in every print.
  for (const char* row : {"\\tab item\\tab count", "\\tab plum\\tab 7"}) {
    size_t n = 0;
    for (size_t p = out.find(row); p != std::string::npos; p = out.find(row, p + 1)) ++n;
    EXPECT_EQ(n, 4u) << row;
  }
}

// A table of ruled cells (each opened by a 1-point slot in the rule colour) directly
// followed by two lines of text, the first bold.
std::string RuledTableAndText() {
  const std::string para = "\\pard\\sl-240\\slmult0\\tx0\\tx1000\\tx2000\\tx3000 ";
  const std::string slot = "\\tab \\highlight1\\fs2  \\highlight0\\fs21 ";
  std::string rtf = "{\\rtf1\\ansi\\ansicpg932{\\fonttbl{\\f0\\fnil\\fcharset128 Gothic;}}{\\colortbl ;\\red1\\green0\\blue0;}\\f0\\fs21 ";
  for (const char* row : {"item|count|price", "apple|3|100", "pear|5|80", "plum|7|60"}) {
    std::string cells = row;
    for (size_t bar = cells.find('|'); bar != std::string::npos; bar = cells.find('|')) cells.replace(bar, 1, slot);
    rtf += para + slot + cells + "\\par ";
  }
  return rtf + "\\pard\\b after the table\\par \\pard\\b0 more text\\par}";
}

// The lines of a `print table` output that are no table rows, and their count.
std::string LinesAfterTheTable(const std::string& dump) {
  std::istringstream lines(dump);
  std::string rest;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("text exact 240 tabs 0,", 0) != 0) rest += line + "\n";
  }
  return rest;
}

// The column codes re-render the table's region, which reaches into the line after
// the table: that line and the rest of the text stay as they were, no line is added
// or lost after the table, in the pane and in the RTF.
TEST_F(ScriptTableEditTest, ColumnCodesLeaveTheLinesAfterTheTableAsTheyWere) {
  WriteFile("ruled.rtf", RuledTableAndText());
  const char* commands[] = {"ID_TABLE_INSERT_COLUMN", "ID_TABLE_DELETE_COLUMN", "ID_TABLE_SPLIT_COLUMN", "ID_TABLE_JOIN_COLUMN",
                            "ID_CELL_SPLIT", "ID_CELL_JOIN", "ID_COLUMN_BOUNDARY_RIGHT", "ID_COLUMN_BOUNDARY_LEFT",
                            "ID_TABLE_LEFT_RULE", "ID_TABLE_RIGHT_RULE"};
  const std::string tail = "\\b\\i0\\ulnone\\strike0\\f1\\fs21\\up0 after the table\\par\n"
                           "\\pard\\cf0\\highlight0\\b0\\i0\\ulnone\\strike0\\f1\\fs21\\up0 more text\\par\n\\pard}";
  for (const char* caret : {"caret 4 6", "caret 1 6"}) {  // the last row, the first row
    for (const char* command : commands) {
      SCOPED_TRACE(std::string(caret) + " " + command);
      out_.str("");
      ASSERT_EQ(Run("open " + Q(dir_.HostPath("ruled.rtf")) + "\ncommand ID_TABLE_EDIT\nprint table\nprint rtf\n" + caret +
                    "\ncommand " + command + "\nprint rtf\nprint table\ncommand ID_TABLE_MODE_END\n"),
                kScriptDone)
          << messages_.str();
      const std::string out = out_.str();
      const size_t rtf0 = out.find("{\\rtf1");
      ASSERT_NE(rtf0, std::string::npos);
      const size_t rtf0End = out.find("\\pard}", rtf0);
      const size_t rtf = out.find("{\\rtf1", rtf0 + 1);
      ASSERT_NE(rtf, std::string::npos);
      const size_t rtfEnd = out.find("\\pard}", rtf);
      ASSERT_NE(rtfEnd, std::string::npos);
      const std::string before = out.substr(0, rtf0), after = out.substr(rtfEnd + 7);
      EXPECT_NE(out.substr(rtf0, rtf0End - rtf0), out.substr(rtf, rtfEnd - rtf)) << "the code changed nothing";
      EXPECT_EQ(std::count(after.begin(), after.end(), '\n'), std::count(before.begin(), before.end(), '\n'));
      EXPECT_EQ(LinesAfterTheTable(after), LinesAfterTheTable(before));
      EXPECT_EQ(LinesAfterTheTable(after), "text single tabs : \"after the table\" b fs21\ntext single tabs : \"more text\" fs21\ntext single tabs :\n");
      // The RTF ends with the two lines, the last table row's paragraph end directly before them.
      EXPECT_EQ(out.substr(rtfEnd + 6 - tail.size(), tail.size()), tail);
      EXPECT_NE(out.rfind("\\par\n\\pard\\cf0\\highlight0\\b\\i0", rtfEnd), std::string::npos);
      EXPECT_EQ(out.find("\\par\\par", rtf), std::string::npos);
    }
  }
}

// The cell split and join commands, and the column commands with Shift ("1行のみ"),
// without a block change the caret's row only; they used to change every row from
// the caret's to the table's end.
TEST_F(ScriptTableEditTest, CellCommandsWithoutABlockChangeTheCaretRowOnlyFault) {
  WriteFile("table.rtf", "{\\rtf1\\ansi\\ansicpg932{\\fonttbl{\\f0\\fnil\\fcharset128 Gothic;}}\\f0\\fs21 "
                         "item|count|price\\par apple|3|100\\par pear|5|80\\par plum|7|60\\par fig|9|40\\par}");
  const char* kept = "tabs 0,145,865,1585,2305: ";
  struct Case {
    const char* edit;     // with the caret in the pear row
    const char* changed;  // the pear row's stops after it
  } cases[] = {
      {"command ID_CELL_SPLIT", "tabs 0,145,1115,1165,1885,2605: "},
      {"command ID_CELL_JOIN", "tabs 0,865,1585,2305: "},
      {"command ID_TABLE_INSERT_COLUMN shift", "tabs 0,145,865,1585,2305,3025: "},
      {"command ID_TABLE_DELETE_COLUMN shift", "tabs 0,145,865,1585: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.edit);
    out_.str("");
    ASSERT_EQ(Run("open " + Q(dir_.HostPath("table.rtf")) +
                  "\ncaret 1 1 5 9\ncommand ID_TABLE_CONVERT_SELECTION\nwait 500\ncommand ID_TABLE_EDIT\ncaret 4 5\n" + c.edit +
                  "\nprint table\ncommand ID_TABLE_MODE_END\n"),
              kScriptDone)
        << messages_.str();
    std::vector<std::string> rows;
    for (const std::string& row : TableRows(out_.str())) {
      if (row.find("|\"") != std::string::npos) rows.push_back(row);
    }
    ASSERT_EQ(rows.size(), 5u) << out_.str();
    for (size_t r = 0; r < rows.size(); ++r) {
      EXPECT_NE(rows[r].find(r == 2 ? c.changed : kept), std::string::npos) << "row " << r << ": " << rows[r];
    }
  }
}

// Japanese '|' lines, all selected, converted: a head line and three text lines with
// rising stops, and LibreOffice reads the same cells in order from `print rtf`.
TEST_F(ScriptTableEditTest, JapaneseLinesBecomeATableLibreOfficeReads) {
  WriteFile("jp.rtf", clitest::SjisRtf({"品名|数量|単価", "りんご|3|100", "なし|5|80"}));
  ASSERT_EQ(Run("open " + Q(dir_.HostPath("jp.rtf")) + "\ncaret 1 1 3 8\ncommand ID_TABLE_CONVERT_SELECTION\nwait 500\nprint table\nprint rtf\n"),
            kScriptDone)
      << messages_.str();
  const std::vector<std::string> rows = TableRows(out_.str());
  ASSERT_GE(rows.size(), 4u) << out_.str();
  const char* stops = "text exact 240 tabs 0,145,980,1585,2190: ";
  EXPECT_EQ(rows[0], std::string(stops) + "\"\"");  // the head line
  EXPECT_EQ(rows[1], std::string(stops) + "|\"品名\" fs21 |\"数量\" fs21 |\"単価\" fs21");
  EXPECT_EQ(rows[2], std::string(stops) + "|\"りんご\" fs21 |\"3\" fs21 |\"100\" fs21");
  EXPECT_EQ(rows[3], std::string(stops) + "|\"なし\" fs21 |\"5\" fs21 |\"80\" fs21");
  SKIP_WITHOUT_PROGRAM("soffice");
  ExpectLibreOfficeCellsInOrder({"品名", "数量", "単価", "りんご", "3", "100", "なし", "5", "80"});
}

// The dumps of the `print table` statements of an output, one string each: each
// starts with the table's head line.
std::vector<std::string> Dumps(const std::string& out, const std::string& head) {
  std::vector<std::string> dumps;
  for (size_t at = out.find(head); at != std::string::npos;) {
    const size_t next = out.find(head, at + 1);
    dumps.push_back(out.substr(at, next == std::string::npos ? std::string::npos : next - at));
    at = next;
  }
  return dumps;
}

// In table mode a row inserted under row 2 has the same stops and spacing and blank
// cells, and the table undo restores the dump exactly; the bottom rule cycles thin,
// thick, none while the next row's spacing rises by 30 twips and returns.
TEST_F(ScriptTableEditTest, RowsAndRulesThroughTheTableCommands) {
  WriteFile("jp.rtf", clitest::SjisRtf({"品名|数量|単価", "りんご|3|100", "なし|5|80"}));
  ASSERT_EQ(Run("open " + Q(dir_.HostPath("jp.rtf")) +
                "\ncaret 1 1 3 8\ncommand ID_TABLE_CONVERT_SELECTION\nwait 500\ncommand ID_TABLE_EDIT\nprint table"
                "\ncaret 3 4\ncommand ID_TABLE_INSERT_ROW\nprint table\ncommand ID_TABLE_UNDO\nprint table"
                "\ncaret 3 4\ncommand ID_TABLE_BOTTOM_RULE_CYCLE\nprint table\ncommand ID_TABLE_BOTTOM_RULE_CYCLE\nprint table"
                "\ncommand ID_TABLE_BOTTOM_RULE_CYCLE\nprint table\n"),
            kScriptDone)
      << messages_.str();
  const std::string stops = "tabs 0,145,980,1585,2190: ";
  const std::vector<std::string> dumps = Dumps(out_.str(), "text exact 240 " + stops + "\"\"\n");
  ASSERT_EQ(dumps.size(), 6u) << out_.str();
  const std::string apple = "text exact 240 " + stops + "|\"りんご\" fs21 |\"3\" fs21 |\"100\" fs21\n";
  const std::string pear = stops + "|\"なし\" fs21 |\"5\" fs21 |\"80\" fs21\n";
  const std::string rule = "rule exact 20 " + stops + "===\n";
  EXPECT_NE(dumps[0].find(apple + "text exact 240 " + pear), std::string::npos) << dumps[0];
  EXPECT_NE(dumps[1].find(apple + "text exact 240 " + stops + "|\"\" |\"\" |\"\"\n" + "text exact 240 " + pear), std::string::npos)
      << dumps[1];
  EXPECT_EQ(dumps[2], dumps[0]);
  EXPECT_NE(dumps[3].find(apple + rule + "text exact 270 " + pear), std::string::npos) << dumps[3];
  EXPECT_NE(dumps[4].find(apple + rule + rule + "text exact 270 " + pear), std::string::npos) << dumps[4];
  EXPECT_EQ(dumps[5], dumps[0]);
}

// A selection that ends inside a line becomes a table of the selected text only: the
// rest of that line follows the table once. The whole lines went into the table
// while the rest stayed after it, so that text stood twice.
TEST_F(ScriptTableEditTest, APartOfALineConvertedLeavesTheRestOnceFault) {
  WriteFile("jp.rtf", clitest::SjisRtf({"品名|数量|単価", "りんご|3|100", "なし|5|80", "end"}));
  ASSERT_EQ(Run("open " + Q(dir_.HostPath("jp.rtf")) + "\ncaret 1 1 3 6\ncommand ID_TABLE_CONVERT_SELECTION\nwait 500\nprint table\n"),
            kScriptDone)
      << messages_.str();
  const std::string out = out_.str();
  EXPECT_NE(out.find("|\"なし\" fs21 |\"5\" fs21 |\"\"\n"), std::string::npos) << out;
  EXPECT_EQ(out.find("\"80\""), out.rfind("\"80\"")) << out;
  const size_t rest = out.find("\"80\" fs21\n");
  ASSERT_NE(rest, std::string::npos) << out;
  EXPECT_LT(out.find("|\"なし\""), rest);
  EXPECT_LT(rest, out.find("\"end\" fs21\n"));
}

// LibreOffice reads the block's rule as a 1-point run in the rule colour before the
// cells at the block's column of the block's rows, and nowhere else.
TEST_F(ScriptTableEditTest, LibreOfficeSeesTheBlockRuleOnTheBlockRows) {
  SKIP_WITHOUT_PROGRAM("soffice");
  WriteFile("plain.rtf", PlainTable());
  ASSERT_EQ(Run("open " + Q(dir_.HostPath("plain.rtf")) + "\ncommand ID_TABLE_EDIT\ncaret 2 2 3 7\ncommand ID_TABLE_RIGHT_RULE\nprint rtf\n"),
            kScriptDone)
      << messages_.str();
  const std::vector<std::string> cells = RuledCells(Fodt(PrintedRtf()));
  ASSERT_GE(cells.size(), 5u);
  const std::vector<std::string> expected = {"", "3;", "5;", "", ""};
  for (size_t p = 0; p < expected.size(); ++p) EXPECT_EQ(cells[p], expected[p]) << "paragraph " << p;
}

// A text with Tab-separated lines between a title and a tail, each line in `size`
// half-points.
std::string TabLinesRtf(int size) {
  const std::string fs = "\\fs" + std::to_string(size) + " ";
  return "{\\rtf1\\ansi\\ansicpg932{\\fonttbl{\\f0\\fnil\\fcharset128 Gothic;}}\\f0\\fs21 Title line\\par" + fs + "a1\\tab b1\\tab c1\\par " +
         "a2\\tab b2\\tab c2\\par a3\\tab b3\\tab c3\\par\\fs21 tail line\\par}";
}

// The Ctrl conversion deleted the trimmed copy from the selection's end, taking the
// last line's paragraph mark, which carries its stops: the last row came back with
// none. Every converted row keeps the same stops, in the pane and in LibreOffice.
TEST_F(ScriptTableEditTest, CtrlConversionLostTheLastLinesTabStopsFault) {
  WriteFile("t.rtf", TabLinesRtf(21));
  ASSERT_EQ(Run("open " + Q(dir_.HostPath("t.rtf")) + "\ncaret 2 1 4 9\ncommand ID_TABLE_CONVERT_SELECTION ctrl\nwait 500\nprint table\nprint rtf\n"),
            kScriptDone)
      << messages_.str();
  const std::vector<std::string> rows = TableRows(out_.str());
  ASSERT_EQ(rows.size(), 5u) << out_.str();
  const std::string stops = rows[1].substr(0, rows[1].find(':') + 1);
  EXPECT_NE(stops.find("tabs 8"), std::string::npos) << rows[1];
  for (int r = 1; r <= 3; ++r) EXPECT_EQ(rows[static_cast<size_t>(r)].rfind(stops, 0), 0u) << rows[static_cast<size_t>(r)];
  EXPECT_EQ(rows[4], "text single tabs : \"tail line\" fs21");
  SKIP_WITHOUT_PROGRAM("soffice");
  const std::string fodt = Fodt(PrintedRtf());
  for (const char* cell : {"a1", "a3"}) EXPECT_NE(StyleOf(fodt, cell, "p").find("<style:tab-stop "), std::string::npos) << cell;
  EXPECT_EQ(StyleOf(fodt, "tail line", "p").find("<style:tab-stop "), std::string::npos);
}

// A selection's font size was lost: an 18-point selection became a 10.5-point table,
// and the table size a size letter sets was never read. Both give the sheet's size.
TEST_F(ScriptTableEditTest, ASelectionsFontSizeWasLostFault) {
  WriteFile("t.rtf", TabLinesRtf(36));
  ASSERT_EQ(Run("open " + Q(dir_.HostPath("t.rtf")) + "\ncaret 2 1 4 9\ncommand ID_TABLE_CONVERT_SELECTION\nwait 500\nprint table\nprint rtf\n"),
            kScriptDone)
      << messages_.str();
  std::string out = out_.str();
  EXPECT_NE(out.find("|\"a1\" fs36 |\"b1\" fs36 |\"c1\" fs36"), std::string::npos) << out;
  EXPECT_NE(PrintedRtf().find("\\fs36  a3"), std::string::npos) << PrintedRtf();

  WriteFile("s.csv", "a,b\r\n");
  doc_->m_nFileKind = kKindCsv;
  doc_->SetSizeFromLetter('J');  // step 9: 36 half-points
  out_.str("");
  ASSERT_EQ(Run("open " + Q(dir_.HostPath("s.csv")) + "\nprint table\n"), kScriptDone) << messages_.str();
  EXPECT_NE(out_.str().find("\"a\" fs36 \"b\" fs36"), std::string::npos) << out_.str();
}

// Ctrl+P on rich text said " raw number over 0 " without a converted table, and after
// an edit wrote the cells as they were before it. It writes the pane as it stands.
// (Writing the PDF makes the file list active: a click brings the keys back.)
TEST_F(ScriptTableEditTest, CtrlPWroteTheOldCellsOfRichTextFault) {
  SKIP_WITHOUT_PROGRAM("pdftotext");
  WriteFile("t.rtf", TabLinesRtf(21));
  WriteFile("p.rtf", "{\\rtf1 only a paragraph\\par}");
  ASSERT_EQ(Run("open " + Q(dir_.HostPath("t.rtf")) + "\ncaret 2 1 4 9\ncommand ID_TABLE_CONVERT_SELECTION\nwait 500\ncommand ID_TABLE_EDIT" +
                "\ncaret 4 3\ncommand ID_TABLE_DELETE_ROW\nanswer " + Q("path=" + dir_.HostPath("t.pdf")) + "\nkey Ctrl+P\nprint status" +
                "\nopen " + Q(dir_.HostPath("p.rtf")) + "\nclick 1 1\nanswer " + Q("path=" + dir_.HostPath("p.pdf")) + "\nkey Ctrl+P\nprint status\n"),
            kScriptDone)
      << messages_.str();
  EXPECT_EQ(out_.str().find("raw number over"), std::string::npos) << out_.str();
  std::istringstream table(testenv::Shell("pdftotext -layout " + testenv::Quote(dir_.HostPath("t.pdf")) + " -"));
  std::vector<std::string> words;
  for (std::string w; table >> w;) words.push_back(w);
  const std::vector<std::string> expected = {"Title", "line", "a1", "b1", "c1", "a3", "b3", "c3", "tail", "line"};
  EXPECT_EQ(words, expected);
  EXPECT_NE(testenv::Shell("pdftotext " + testenv::Quote(dir_.HostPath("p.pdf")) + " -").find("only a paragraph"), std::string::npos);
}

// A top rule on a table's first row copied the line above the table (no cells) into
// an empty rule line that showed nothing, and still gave the row its 30 twips. The
// rule line takes the row's columns: thin, thick, none as for any other row.
TEST_F(ScriptTableEditTest, ATopRuleOnTheFirstRowWasInvisibleFault) {
  WriteFile("t.rtf", TabLinesRtf(21));
  ASSERT_EQ(Run("open " + Q(dir_.HostPath("t.rtf")) + "\ncaret 2 1 4 9\ncommand ID_TABLE_CONVERT_SELECTION\nwait 500\ncommand ID_TABLE_EDIT\ncaret 3 3" +
                "\ncommand ID_TABLE_TOP_RULE\nprint table\ncommand ID_TABLE_TOP_RULE\nprint table\ncommand ID_TABLE_TOP_RULE\nprint table\n"),
            kScriptDone)
      << messages_.str();
  const std::string stops = "tabs 0,145,520,895,1270: ";
  const std::string head = "text exact 240 " + stops + "\"\"\n";
  const std::string rule = "rule exact 20 " + stops + "===\n";
  const std::string row = stops + "|\"a1\" fs21 |\"b1\" fs21 |\"c1\" fs21\n";
  const std::vector<std::string> dumps = Dumps(out_.str(), "text single tabs : \"Title line\" fs21\n");
  ASSERT_EQ(dumps.size(), 3u) << out_.str();
  EXPECT_NE(dumps[0].find(head + rule + "text exact 270 " + row), std::string::npos) << dumps[0];
  EXPECT_NE(dumps[1].find(head + rule + rule + "text exact 270 " + row), std::string::npos) << dumps[1];
  EXPECT_NE(dumps[2].find(head + "text exact 240 " + row), std::string::npos) << dumps[2];
}

}  // namespace
