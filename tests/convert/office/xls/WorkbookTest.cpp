// Binary workbooks end to end: LibreOffice's workbooks against its own CSV reading,
// the table form's layout, progress and keys, the number texts against Python's
// datetime and decimal, the shared real-world workbooks and hostile records.
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <algorithm>
#include <sstream>

#include "../../../../fuzz/CfbImage.h"
#include "app/FileKind.h"
#include "app/StringTable.h"
#include "convert/office/xls/BiffNumberText.h"
#include "platform/text/CodePage.h"
#include "convert/office/xls/SheetCompare.h"
#include "support/TestEnv.h"

namespace {

using sheetcompare::Grid;
using sheetcompare::ReadCellList;
using sheetcompare::ReadCsv;
using sheetcompare::SameCell;
using sheetcompare::SplitLines;

class WorkbookTest : public testenv::DocTest {
 protected:
  std::string Load(const std::string& name, const std::string& bytes) {
    doc_->LoadDocument(WriteFile(name, bytes));
    return Text();
  }
  std::string LoadFixture(const std::string& name) {
    return Load(name, testenv::ReadHostFile(testenv::DataPath("office/" + name)));
  }
};

TEST_F(WorkbookTest, LibreOfficeWorkbooksMatchItsCsvReading) {
  for (const char* name : {"book.xls", "d1904.xls", "long.xls"}) {
    SCOPED_TRACE(name);
    doc_->m_nColumnWidthMode = 10;
    const std::vector<Grid> sheets = ReadCellList(LoadFixture(name));
    EXPECT_EQ(doc_->m_nFileKind, kKindCsv);
    for (int s = 1; s <= 3; ++s) {
      const std::string csvPath = testenv::DataPath("office/" + std::string(name) + ".sheet" + std::to_string(s) + ".csv");
      if (!std::filesystem::exists(csvPath)) continue;
      ASSERT_GE(sheets.size(), static_cast<size_t>(s));
      const Grid csv = ReadCsv(testenv::ReadHostFile(csvPath));
      const Grid& ours = sheets[s - 1];
      for (size_t r = 0; r < csv.size(); ++r) {
        for (size_t c = 0; c < csv[r].size(); ++c) {
          if (csv[r][c].empty()) continue;
          const std::string mine = r < ours.size() && c < ours[r].size() ? ours[r][c] : "(none)";
          EXPECT_TRUE(SameCell(mine, csv[r][c])) << "sheet " << s << " row " << r << " col " << c << ": " << mine
                                                  << " vs " << csv[r][c];
        }
      }
    }
  }
}

TEST_F(WorkbookTest, TableFormLaysOutSheetsRowsAndGaps) {
  const std::string text = plat::Cp932ToUtf8(LoadFixture("book.xls"));
  const std::vector<std::string> lines = SplitLines(text);
  const std::string dashes(63, '-');
  EXPECT_EQ(lines[0], "[Sheet 1]数値" + dashes);
  EXPECT_NE(text.find("\r\n\r\n[Sheet 2]Dates" + dashes + "\r\n \r\n"), std::string::npos);
  EXPECT_NE(text.find("[Sheet 3]Sheet3"), std::string::npos);
  // The long text runs on across the empty columns after it, with no separator inside.
  EXPECT_NE(text.find("A long line of text that runs on"), std::string::npos);
  // A number right-aligned in its column; a time and a date as the sheet formats them.
  EXPECT_NE(text.find("  1,234,567 "), std::string::npos);
  EXPECT_NE(text.find(" 13:45 "), std::string::npos);
  EXPECT_NE(text.find("'24- 3- 5"), std::string::npos);
  EXPECT_NE(text.find("\r\n[sheet end]" + std::string(67, '-') + "\r\n"), std::string::npos);
  // Vertical rules separate the columns with "|".
  doc_->m_bVerticalRules = 1;
  const std::string ruled = plat::Cp932ToUtf8(LoadFixture("book.xls"));
  EXPECT_NE(ruled.find("品名"), std::string::npos);
  EXPECT_NE(ruled.find("|"), std::string::npos);
}

TEST_F(WorkbookTest, TextBoxesAndPicturesShowAtTheirAnchors) {
  const struct {
    const char* file;
    const char* label;
    const char* box;
  } cases[] = {{"shapes.xls", "[Image1]PNG", "メモ: text box note"}, {"shapes.xlsx", "[image1.png]", "(B05): メモ: text box note"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const std::vector<std::string> lines = SplitLines(plat::Cp932ToUtf8(LoadFixture(c.file)));
    ASSERT_GT(lines.size(), 6u);
    EXPECT_EQ(lines[1].rfind("cell A1", 0), 0u);
    // The picture is anchored in row 1 (column F), the text box in row 4 (column C).
    EXPECT_NE(lines[2].find(c.label), std::string::npos) << lines[2];
    EXPECT_EQ(lines[5].find(c.box), 14u) << lines[5];
  }
}

TEST_F(WorkbookTest, LargeTablesShowProgressAndTakeTheSkipKeys) {
  struct Case {
    std::vector<int> keys;
    int answer;
    bool endLine;
    int aborted;
  };
  const Case cases[] = {
      {{}, 0, true, 0},
      {{plat::VK_DOWN}, 0, false, 0},
      {{plat::VK_UP}, 0, false, 0},
      {{plat::VK_ESCAPE}, plat::IDYES, false, 1},
      {{plat::VK_ESCAPE}, plat::IDNO, true, 0},
  };
  for (const Case& c : cases) {
    doc_->m_bUserAbort = 0;
    for (int k : c.keys) frame_->Ui().PushKeyDown(k);
    if (c.answer) frame_->Ui().QueueAnswer(c.answer);
    const std::string text = LoadFixture("long.xls");
    EXPECT_EQ(text.find("[sheet end]") != std::string::npos, c.endLine);
    EXPECT_EQ(doc_->m_bUserAbort, c.aborted);
    EXPECT_NE(frame_->StatusBar().GetPaneText(0).find("Making Table  "), std::string::npos);
    EXPECT_NE(frame_->StatusBar().GetPaneText(0).find("(Push ESC to stop, Up/Down to skip)"), std::string::npos);
  }
}

TEST_F(WorkbookTest, NumberTextsMatchPythonDatetimeAndDecimal) {
  std::istringstream table(testenv::ReadHostFile(testenv::DataPath("office/serials.tsv")));
  std::string kind;
  int checked = 0;
  while (table >> kind) {
    if (kind == "date") {
      int64_t serial;
      int y, m, d;
      table >> serial >> y >> m >> d;
      BiffNumberStyle style;
      style.format = 14;
      char want[16];
      std::snprintf(want, sizeof want, "'%02d-%c%d-%c%d", y % 100, m >= 10 ? '1' : ' ', m % 10,
                    d >= 10 ? static_cast<char>('0' + d / 10) : ' ', d % 10);
      EXPECT_EQ(FormatBiffNumber(static_cast<double>(serial), style).text, want) << serial;
      style.date1904 = true;
      if (serial >= 1462) {
        EXPECT_EQ(FormatBiffNumber(static_cast<double>(serial - 1462), style).text, want) << serial;
      }
    } else {
      std::string value, rounded;
      int places;
      table >> value >> places >> rounded;
      BiffNumberStyle style;
      style.decimals = places;
      if (rounded == "-0" || rounded.find_first_not_of("-0.") == std::string::npos) rounded.erase(0, rounded[0] == '-');
      EXPECT_EQ(FormatBiffNumber(std::strtod(value.c_str(), nullptr), style).text, rounded) << value << " " << places;
    }
    ++checked;
  }
  EXPECT_GT(checked, 200);
}

TEST_F(WorkbookTest, NumberTextEdgeCases) {
  struct Case {
    double value;
    int format, decimals;
    bool grouping;
    const char* text;
  };
  const Case cases[] = {
      {DecodeRk(12345u << 2 | 3), 2, 8, false, "123.45"},
      {DecodeRk(1200u << 2 | 3), 2, 8, false, "12"},
      {1.999, 2, 2, false, "2.00"},          // rounded, not cut
      {0.145, 2, 2, false, "0.15"},
      {9.96, 2, 1, false, "10.0"},
      {-9.6, 2, 0, false, "-10"},
      {-0.001, 2, 2, false, "0.00"},
      {1234567.891, 4, 2, true, "1,234,567.89"},
      {std::ldexp(1.0, 57), 2, 8, false, "9999:ER"},
      {1e10, 2, 8, false, "10000000:E3"},
      {0, 14, 4, false, "'YY-12-30"},
      {-5, 14, 4, false, "-5"},               // a negative serial is a number
      {3e6, 14, 4, false, "3000000"},         // past the year 9999
      {45356.75, 22, 4, false, "'24- 3- 5 18:00"},
      {0.5, 20, 4, false, " 12:00"},
      {0.25, 18, 4, false, "  6:00 am"},
      {0.99999, 20, 4, false, "#00:00"},      // rounded to the next day, never 24:00 or :60
      {0.0409, 20, 4, false, " 00:59"},
      {0.0416319, 20, 4, false, " 01:00"},  // 59.95 minutes carry into the hour
      {0.125, 10, 2, false, " 12.50%"},
      {1, 9, 0, false, " 100.00%"},
  };
  for (const Case& c : cases) {
    BiffNumberStyle s;
    s.format = c.format;
    s.decimals = c.decimals;
    s.grouping = c.grouping;
    EXPECT_EQ(FormatBiffNumber(c.value, s).text, c.text) << c.value;
  }
}

// A workbook stream of records in a compound file.
std::string Record(uint16_t type, const std::string& data) {
  std::string r(4, '\0');
  cfbimage::Put16(r, 0, type);
  cfbimage::Put16(r, 2, static_cast<uint16_t>(data.size()));
  return r + data;
}
std::string Le16(int v) { return std::string{static_cast<char>(v), static_cast<char>(v >> 8)}; }
std::string Le32(uint32_t v) { return Le16(static_cast<int>(v & 0xFFFF)) + Le16(static_cast<int>(v >> 16)); }
std::string Bof(int kind) { return Record(0x0809, Le16(0x600) + Le16(kind) + std::string(12, '\0')); }
std::string Sst(const std::vector<std::string>& strings) {
  std::string d = Le32(static_cast<uint32_t>(strings.size())) + Le32(static_cast<uint32_t>(strings.size()));
  for (const auto& s : strings) d += Le16(static_cast<int>(s.size())) + std::string(1, '\0') + s;
  return Record(0x00FC, d);
}
std::string LabelSst(int row, int col, uint32_t index) {
  return Record(0x00FD, Le16(row) + Le16(col) + Le16(15) + Le32(index));
}
std::string Workbook(const std::string& records) { return cfbimage::Build({{"Workbook", records}}); }

TEST_F(WorkbookTest, HostileRecordsGiveTheirAnswers) {
  const std::string eof = Record(0x000A, "");
  const std::string head = Bof(5) + Sst({"alpha", "beta"});
  struct Case {
    const char* what;
    std::string records;
    std::string want;  // in the text
  };
  const Case cases[] = {
      {"encrypted", Bof(5) + Record(0x002F, std::string(54, '\x01')) + head + eof, LoadString(IDS_ENCRYPTED_DATA) + LoadString(IDS_OPEN_WITH_APPLICATION)},
      {"untrusted first string", Bof(5) + Record(0x00FC, Le32(1) + Le32(1) + Le16(3) + "\xF0" + "abc") + eof,
       LoadString(IDS_ENCRYPTED_DATA) + LoadString(IDS_OPEN_WITH_APPLICATION)},
      {"string index past the pool", head + eof + Bof(16) + LabelSst(0, 0, 1) + LabelSst(1, 0, 7) + eof, "beta"},
      {"columns past the table", head + eof + Bof(16) + Record(0x0200, std::string(10, '\0') + Le16(65535) + Le16(0)) +
                                     Record(0x007D, Le16(0) + Le16(65535) + Le16(40000) + Le16(15) + Le16(0) + Le16(0)) +
                                     LabelSst(0, 255, 0) + eof,
       "alpha"},
      {"text object that claims more characters than it holds",
       head + eof + Bof(16) + LabelSst(0, 0, 0) +
           Record(0x00EC, Le16(0) + Le16(0xF010) + Le32(18) + Le16(0) + Le16(1) + Le16(0) + Le16(1) + Le16(0) +
                              Le16(3) + Le16(0) + Le16(3) + Le16(0) + std::string(48, '\0')) +
           Record(0x01B6, std::string(10, '\0') + Le16(60000) + std::string(6, '\0')) + Record(0x003C, std::string(1, '\0') + "abc") + eof,
       "abc"},
      {"record longer than the stream", head + eof + Bof(16) + LabelSst(0, 0, 0) + Record(0x0203, Le16(3) + std::string(12, '\0')).substr(0, 6),
       "alpha"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string text = Load("h.xls", Workbook(c.records));
    EXPECT_EQ(text.find("address error"), std::string::npos);
    EXPECT_NE(text.find(c.want), std::string::npos) << plat::Cp932ToUtf8(text);
  }
  // More than 256 sheets: every sheet is counted and shown.
  std::string many = head + eof;
  for (int s = 0; s < 300; ++s) many += Bof(16) + LabelSst(0, 0, s % 2) + eof;
  const std::string text = Load("many.xls", Workbook(many));
  EXPECT_NE(text.find("[Sheet300]"), std::string::npos);
}

// The text cells xls2csv reads in each shared workbook are cells of ours too.
TEST_F(WorkbookTest, SharedWorkbookTextsMatchXls2csv) {
  SKIP_WITHOUT_PROGRAM("xls2csv");
  const std::string root = testenv::SharedTestData("office/xls");
  SKIP_WITHOUT_SHARED_DATA(root);
  for (const auto& f : std::filesystem::directory_iterator(root)) {
    if (f.path().extension() != ".xls") continue;
    SCOPED_TRACE(f.path().filename().string());
    int status = 0;
    const std::string peer = testenv::Shell("xls2csv -d utf-8 " + testenv::Quote(f.path().string()) + " 2>/dev/null", &status);
    if (status != 0 || peer.empty()) continue;
    doc_->m_nColumnWidthMode = 10;
    std::set<std::string> ours;
    for (const Grid& sheet : ReadCellList(Load("s.xls", testenv::ReadHostFile(f.path().string())))) {
      for (const auto& row : sheet) ours.insert(row.begin(), row.end());
    }
    int compared = 0, missing = 0;
    {
      for (const auto& row : ReadCsv(peer)) {
        for (std::string cell : row) {
          // A line break inside a cell is a control byte of the cell list (";").
          std::replace(cell.begin(), cell.end(), '\n', ';');
          // Texts that pass through Shift-JIS unchanged, without separators or quotes.
          double v;
          if (cell.empty() || sheetcompare::Number(cell, v) || cell.find_first_of(",\"\x0C\r\t") != std::string::npos) continue;
          const auto sjis = plat::Utf8ToCp932(cell);
          if (!sjis || std::any_of(cell.begin(), cell.end(), [](char c) { return static_cast<unsigned char>(c) == 0xC2 || static_cast<unsigned char>(c) == 0xC3; })) continue;
          ++compared;
          if (!ours.count(cell)) {
            ++missing;
            ADD_FAILURE() << "missing: " << cell;
          }
          if (missing > 5) return;
        }
      }
    }
    EXPECT_EQ(missing, 0) << compared << " compared";
  }
}

// A sheet with a dimensions record (and column information) but no default-width
// record showed no column at all: its widths were all zero.
TEST_F(WorkbookTest, WorkbookWithoutDefaultColumnWidthShowsItsCells) {
  const std::string eof = Record(0x000A, "");
  const std::string head = Bof(5) + Sst({"alpha", "beta"}) + eof;
  const std::string cells = LabelSst(0, 0, 0) + LabelSst(1, 1, 1);
  const std::string dims = Record(0x0200, Le32(0) + Le32(2) + Le16(0) + Le16(2) + Le16(0));
  const std::string wide = Record(0x007D, Le16(1) + Le16(1) + Le16(20 * 256) + Le16(15) + Le16(0) + Le16(0));
  const std::string defaults = Record(0x0055, Le16(8));
  struct Case {
    const char* what;
    std::string records;
    int sheets;
  };
  const Case cases[] = {
      {"dimensions only", head + Bof(16) + dims + cells + eof, 1},
      {"column information and dimensions", head + Bof(16) + wide + dims + cells + eof, 1},
      {"a second sheet after one with a default width",
       head + Bof(16) + defaults + wide + dims + cells + eof + Bof(16) + dims + cells + eof, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string text = Load("w.xls", Workbook(c.records));
    size_t at = 0;
    for (int sheet = 0; sheet < c.sheets; ++sheet) {
      at = text.find("alpha", at);
      ASSERT_NE(at, std::string::npos) << plat::Cp932ToUtf8(text);
      at = text.find("beta", at);
      ASSERT_NE(at, std::string::npos) << plat::Cp932ToUtf8(text);
    }
  }
  // A real workbook of this kind: xls2csv reads its title and figures.
  const std::string path = testenv::SharedTestData("office/xls/poi-61045_govdocs1_626534.xls");
  SKIP_WITHOUT_SHARED_DATA(path);
  const std::string text = Load("govdocs.xls", testenv::ReadHostFile(path));
  for (const char* want : {"TABLE F-2 BY FILING MONTH", "DURING THE 12 MONTH PERIOD ENDED MAR. 31, 2006", "200504", "167,943",
                           "34,059"}) {
    EXPECT_NE(text.find(want), std::string::npos) << want;
  }
}

// With a decimals setting of 10 or more a number's zero fraction was shown: it is
// left out, other fractions keep the setting's decimals.
TEST_F(WorkbookTest, DecimalsSettingOfTenOrMoreLeavesOutAZeroFraction) {
  const std::string eof = Record(0x000A, "");
  const std::string xf = Record(0x00E0, Le16(0) + Le16(0) + std::string(16, '\0'));
  auto number = [](int row, double v) {
    std::string bits(8, '\0');
    std::memcpy(bits.data(), &v, 8);
    return Record(0x0203, Le16(row) + Le16(0) + Le16(1) + bits);
  };
  doc_->m_nTableDecimals = 3;
  const std::string text = Load("d.xls", Workbook(Bof(5) + xf + xf + eof + Bof(16) + number(0, 5.0) + number(1, 5.25) +
                                                  number(2, 7.5) + number(3, 12.0) + eof));
  for (const char* want : {"5.25", "7.50"}) EXPECT_NE(text.find(want), std::string::npos) << want << "\n" << text;
  for (const char* unwanted : {"5.00", "12.00"}) EXPECT_EQ(text.find(unwanted), std::string::npos) << unwanted << "\n" << text;
  EXPECT_NE(text.find("12"), std::string::npos) << text;
}

// Shared strings: the published BIFF8 forms, and the cleaning for the table.
TEST_F(WorkbookTest, SharedStringsReadAcrossContinuationsAndCleaned) {
  const std::string eof = Record(0x000A, "");
  auto sheetOf = [&](const std::string& sst, int count) {
    std::string cells;
    for (int i = 0; i < count; ++i) cells += LabelSst(i, 0, static_cast<uint32_t>(i));
    return Bof(5) + sst + eof + Bof(16) + cells + eof;
  };
  auto counts = [](int n) { return Le32(static_cast<uint32_t>(n)) + Le32(static_cast<uint32_t>(n)); };
  // "ab" 8-bit, then continued in a CONTINUE record as 16-bit "あい".
  const std::string split = Record(0x00FC, counts(1) + Le16(4) + std::string(1, '\0') + "ab") +
                            Record(0x003C, std::string(1, '\1') + "\x42\x30\x44\x30");
  // Rich text (2 runs) and a phonetic block around "x".
  const std::string rich = Record(0x00FC, counts(1) + Le16(1) + "\x0C" + Le16(2) + Le32(6) + "x" + std::string(8, 'R') +
                                               std::string(6, 'P'));
  struct Case {
    const char* what;
    std::string records;
    const char* utf8;  // the cell as shown in the cell list
  };
  const Case cases[] = {
      {"8-bit switching to 16-bit in a continuation", sheetOf(split, 1), "abあい"},
      {"runs and phonetic block passed over", sheetOf(rich, 1), "x"},
      {"lone multiplication sign", sheetOf(Record(0x00FC, counts(1) + Le16(1) + std::string(1, '\0') + "\xD7"), 1), "×"},
      {"tab and line feed", sheetOf(Record(0x00FC, counts(1) + Le16(5) + std::string(1, '\0') + "a\tb\nc"), 1), "a b;c"},
      {"byte 2 blanks the rest", sheetOf(Record(0x00FC, counts(1) + Le16(5) + std::string(1, '\0') + "ab\x02zz"), 1), "ab"},
      {"Latin letters folded", sheetOf(Record(0x00FC, counts(1) + Le16(4) + std::string(1, '\0') + "caf\xE9"), 1), "cafe"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    doc_->m_nColumnWidthMode = 10;
    const std::vector<Grid> sheets = ReadCellList(Load("s.xls", Workbook(c.records)));
    ASSERT_FALSE(sheets.empty());
    ASSERT_FALSE(sheets[0].empty());
    std::string cell = sheets[0][0][0];
    while (!cell.empty() && cell.back() == ' ') cell.pop_back();
    EXPECT_EQ(cell, c.utf8);
  }
  // The source display lists the shared strings with their codes and ends with <END>.
  doc_->m_nColumnWidthMode = 0;
  doc_->m_nDisplayForm = 2;
  const std::string listing = Load("d.xls", Workbook(sheetOf(split, 1)));
  EXPECT_NE(listing.find("\n<END>\n"), std::string::npos);
  EXPECT_NE(plat::Cp932ToUtf8(listing).find("abあい\n"), std::string::npos);
}

TEST_F(WorkbookTest, RowGapsAndAutomaticWidths) {
  const std::string eof = Record(0x000A, "");
  std::string cells = LabelSst(0, 0, 0) + LabelSst(15, 0, 1) + LabelSst(18, 0, 0) + LabelSst(19, 1, 1);
  const std::string text = Load("g.xls", Workbook(Bof(5) + Sst({"alpha", "a much longer text"}) + eof + Bof(16) + cells + eof));
  EXPECT_NE(text.find("\r\n#------------- 14Line -------------#\r\n\r\n"), std::string::npos) << text;
  // Two empty lines for a gap of three rows.
  EXPECT_NE(text.find(" \r\n\r\n\r\nalpha"), std::string::npos);
  // Automatic widths: the first column as wide as its widest text.
  doc_->m_nColumnWidthMode = 1;
  const std::string wide = Load("g.xls", Workbook(Bof(5) + Sst({"alpha", "a much longer text"}) + eof + Bof(16) + cells + eof));
  EXPECT_NE(wide.find("a much longer text "), std::string::npos);
}

// Sheet names from the sheet records, in the width each was stored with, bounded.
TEST_F(WorkbookTest, SheetNamesKeepTheirWidthAndBound) {
  const std::string eof = Record(0x000A, "");
  auto boundSheet = [](const std::string& chars, int count, bool wide) {
    return Record(0x0085, Le32(0) + Le16(0) + std::string(1, static_cast<char>(count)) + std::string(1, wide ? '\1' : '\0') + chars);
  };
  const std::string records = Bof(5) + boundSheet("\x68\x88\x68\x88", 2, true) +  // 表表 (U+8868)
                              boundSheet("Plain", 5, false) + boundSheet(std::string(200, 'N'), 200, false) + Sst({"x"}) + eof +
                              Bof(16) + LabelSst(0, 0, 0) + eof + Bof(16) + LabelSst(0, 0, 0) + eof + Bof(16) + LabelSst(0, 0, 0) + eof;
  const std::string text = plat::Cp932ToUtf8(Load("n.xls", Workbook(records)));
  EXPECT_NE(text.find("[Sheet 1]表表---"), std::string::npos) << text.substr(0, 200);
  EXPECT_NE(text.find("[Sheet 2]Plain---"), std::string::npos);
  EXPECT_NE(text.find("[Sheet 3]" + std::string(32, 'N') + "---"), std::string::npos);
}

// The output volume: the table stops before it, on a character boundary, with the note.
TEST_F(WorkbookTest, OutputVolumeCutsTheTableCleanly) {
  doc_->m_nOutDataLimit = 6000;
  const std::string text = LoadFixture("long.xls");
  const std::string note = LoadString(IDS_DATA_OMITTED);
  ASSERT_GE(text.size(), note.size());
  EXPECT_LE(text.size(), 6000u);
  const size_t at = text.rfind(note);
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(plat::Utf8ToCp932(plat::Cp932ToUtf8(text.substr(0, at))), text.substr(0, at));
  EXPECT_EQ(doc_->m_bPartialLoad, 1);
}

// The input volume: the workbook stream is gathered up to it, the table shows what
// was gathered and ends with the truncation note instead of its end line.
TEST_F(WorkbookTest, InputVolumeCutsTheStreamWithTheNote) {
  doc_->m_nInDataLimit = 40000;
  const std::string text = LoadFixture("long.xls");
  EXPECT_NE(text.find("[Sheet 1]long"), std::string::npos) << plat::Cp932ToUtf8(text.substr(0, 300));
  EXPECT_EQ(text.find("[sheet end]"), std::string::npos);
  EXPECT_NE(text.find(LoadString(IDS_DATA_OMITTED)), std::string::npos);
  EXPECT_EQ(doc_->m_bPartialLoad, 1);
}

TEST_F(WorkbookTest, SharedWorkbooksLoadAndShowTheirText) {
  const std::string root = testenv::SharedTestData("office/xls");
  SKIP_WITHOUT_SHARED_DATA(root);
  for (const auto& f : std::filesystem::directory_iterator(root)) {
    if (f.path().extension() != ".xls") continue;
    SCOPED_TRACE(f.path().filename().string());
    const std::string text = Load("s.xls", testenv::ReadHostFile(f.path().string()));
    EXPECT_GT(text.size(), 20u);
    const bool shown = text.find("[Sheet") != std::string::npos || text.find(LoadString(IDS_SHEET_WITHOUT_CELLS)) != std::string::npos ||
                       text.find(LoadString(IDS_ENCRYPTED_DATA)) != std::string::npos;
    EXPECT_TRUE(shown) << plat::Cp932ToUtf8(text.substr(0, 300));
  }
}

}  // namespace
