// The XLSX road end to end: LibreOffice's workbooks against its own CSV reading and
// python3-openpyxl's sheet names, the shared real-world workbooks, and packages
// written here with hostile sheets.
#include <zlib.h>

#include <filesystem>
#include <sstream>

#include "app/FileKind.h"
#include "app/StringTable.h"
#include "convert/office/xls/SheetCompare.h"
#include "platform/text/CodePage.h"
#include "support/TestEnv.h"

namespace {

using sheetcompare::Grid;

// A ZIP archive of stored members.
std::string StoredZip(const std::vector<std::pair<std::string, std::string>>& members) {
  std::string out, central;
  auto le = [](std::string& s, uint32_t v, int n) {
    for (int i = 0; i < n; ++i) s.push_back(static_cast<char>(v >> (8 * i)));
  };
  for (const auto& [name, data] : members) {
    const uint32_t crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
    const auto offset = static_cast<uint32_t>(out.size());
    std::string common;
    le(common, 20, 2), le(common, 0, 2), le(common, 0, 2), le(common, 0, 4), le(common, crc, 4);
    le(common, static_cast<uint32_t>(data.size()), 4), le(common, static_cast<uint32_t>(data.size()), 4);
    le(common, static_cast<uint32_t>(name.size()), 2), le(common, 0, 2);
    le(out, 0x04034b50, 4);
    out += common + name + data;
    le(central, 0x02014b50, 4), le(central, 20, 2);
    central += common;
    le(central, 0, 2), le(central, 0, 2), le(central, 0, 2), le(central, 0, 4), le(central, offset, 4);
    central += name;
  }
  const auto at = static_cast<uint32_t>(out.size());
  out += central;
  le(out, 0x06054b50, 4), le(out, 0, 4);
  le(out, static_cast<uint32_t>(members.size()), 2), le(out, static_cast<uint32_t>(members.size()), 2);
  le(out, static_cast<uint32_t>(central.size()), 4), le(out, at, 4), le(out, 0, 2);
  return out;
}

std::string Sheet(const std::string& rows) {
  return "<?xml version=\"1.0\"?><worksheet><sheetData>" + rows + "</sheetData></worksheet>";
}

class XlsxReaderTest : public testenv::DocTest {
 protected:
  std::string Load(const std::string& name, const std::string& bytes) {
    doc_->LoadDocument(WriteFile(name, bytes));
    return Text();
  }
  // A workbook of the given sheet parts and shared strings.
  std::string Book(const std::vector<std::string>& sheets, const std::string& strings = "") {
    std::string rels = "<Relationships>", book = "<workbook><sheets>";
    std::vector<std::pair<std::string, std::string>> members;
    for (size_t i = 0; i < sheets.size(); ++i) {
      const std::string n = std::to_string(i + 1);
      rels += "<Relationship Id=\"rId" + n + "\" Target=\"worksheets/sheet" + n + ".xml\"/>";
      book += "<sheet name=\"S" + n + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
      if (!sheets[i].empty()) members.emplace_back("xl/worksheets/sheet" + n + ".xml", sheets[i]);
    }
    members.emplace_back("xl/_rels/workbook.xml.rels", rels + "</Relationships>");
    members.emplace_back("xl/workbook.xml", book + "</sheets></workbook>");
    members.emplace_back("xl/sharedStrings.xml", "<sst>" + strings + "</sst>");
    return StoredZip(members);
  }
};

TEST_F(XlsxReaderTest, LibreOfficeWorkbooksMatchItsCsvAndOpenpyxlNames) {
  for (const char* name : {"book.xlsx", "d1904.xlsx"}) {
    SCOPED_TRACE(name);
    doc_->m_nColumnWidthMode = 11;
    const std::string text = Load(name, testenv::ReadHostFile(testenv::DataPath(std::string("office/") + name)));
    EXPECT_EQ(doc_->m_nFileKind, kKindCsv);
    // Sheet names as openpyxl reads them: the first after "!*", the others after their number.
    std::istringstream names(testenv::ReadHostFile(testenv::DataPath(std::string("office/") + name + ".names")));
    std::string sheetName;
    const std::string utf8 = plat::Cp932ToUtf8(text.substr(0, text.find('\0')));
    for (int s = 1; std::getline(names, sheetName); ++s) {
      const std::string head = s == 1 ? "!*" + sheetName : "!*[Sheet" + std::string(s < 10 ? " " : "") + std::to_string(s) + "]" + sheetName;
      EXPECT_NE(utf8.find(head + "---"), std::string::npos) << head;
    }
    doc_->m_nColumnWidthMode = 10;
    const std::vector<Grid> sheets = sheetcompare::ReadCellList(Load(name, testenv::ReadHostFile(testenv::DataPath(std::string("office/") + name))));
    for (int s = 1; s <= 3; ++s) {
      const std::string csvPath = testenv::DataPath("office/" + std::string(name) + ".sheet" + std::to_string(s) + ".csv");
      if (!std::filesystem::exists(csvPath)) continue;
      ASSERT_GE(sheets.size(), static_cast<size_t>(s));
      const Grid csv = sheetcompare::ReadCsv(testenv::ReadHostFile(csvPath));
      for (size_t r = 0; r < csv.size(); ++r) {
        for (size_t c = 0; c < csv[r].size(); ++c) {
          if (csv[r][c].empty()) continue;
          const Grid& ours = sheets[s - 1];
          const std::string mine = r < ours.size() && c < ours[r].size() ? ours[r][c] : "(none)";
          EXPECT_TRUE(sheetcompare::SameCell(mine, csv[r][c])) << s << ":" << r << ":" << c << " " << mine << " vs " << csv[r][c];
        }
      }
    }
  }
}

TEST_F(XlsxReaderTest, SharedWorkbooksLoadAndShowTheirText) {
  const std::string root = testenv::SharedTestData("office/xlsx");
  SKIP_WITHOUT_SHARED_DATA(root);
  for (const auto& f : std::filesystem::directory_iterator(root)) {
    if (f.path().extension() != ".xlsx") continue;
    SCOPED_TRACE(f.path().filename().string());
    const std::string text = Load("s.xlsx", testenv::ReadHostFile(f.path().string()));
    EXPECT_NE(text.find("[Sheet 1]"), std::string::npos);
    EXPECT_NE(text.find("[sheet end]"), std::string::npos);
  }
  // The phonetic workbook: its kanji without the readings of its phonetic runs.
  const std::string phonetic = plat::Cp932ToUtf8(Load("p.xlsx", testenv::ReadHostFile(root + "/tika-testEXCEL_phonetic.xlsx")));
  EXPECT_NE(phonetic.find("日本"), std::string::npos);
  EXPECT_EQ(phonetic.find("ニホン"), std::string::npos);
}

TEST_F(XlsxReaderTest, HostileSheetsGiveTheirAnswers) {
  const std::string strings = "<si><t>zero</t></si><si/><si><r><t>t</t></r><r><t>wo</t></r><rPh><t>YOMI</t></rPh></si>";
  struct Case {
    const char* what;
    std::vector<std::string> sheets;
    std::vector<std::string> shown, absent;
  };
  const Case cases[] = {
      {"shared strings indexed at si, runs joined, readings left out",
       {Sheet("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>2</v></c><c t=\"s\"><v>99</v></c></row>")},
       {"zero", "two"}, {"YOMI"}},
      {"rows and columns past the sheet's limits", {Sheet("<row r=\"99999999\"><c r=\"ZZZZZ1\" t=\"s\"><v>0</v></c></row>")}, {"zero"}, {}},
      {"a missing sheet ends the workbook", {Sheet("<row><c t=\"s\"><v>0</v></c></row>"), "", Sheet("<row><c t=\"s\"><v>2</v></c></row>")}, {"zero"}, {"two"}},
      {"errors and inline strings", {Sheet("<row><c t=\"e\"><v>#DIV/0!</v></c><c t=\"inlineStr\"><is><t>inline</t></is></c><c><v>#N/A</v></c></row>")},
       {"--", "inline", "#N/A"}, {}},
      {"a row far down a sheet sorts before the next sheet",
       {Sheet("<row r=\"600000\"><c t=\"s\"><v>0</v></c></row>"), Sheet("<row r=\"1\"><c t=\"s\"><v>2</v></c></row>")},
       {"zero", "[Sheet 2]", "two"}, {}},
      {"namespace prefixes", {"<x:worksheet><x:sheetData><x:row r=\"2\"><x:c r=\"C2\" t=\"s\"><x:v>0</x:v></x:c></x:row></x:sheetData></x:worksheet>"}, {"zero"}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string text = Load("h.xlsx", Book(c.sheets, strings));
    size_t after = 0;
    for (const auto& s : c.shown) {
      const size_t at = text.find(s, after);
      EXPECT_NE(at, std::string::npos) << s << "\n" << plat::Cp932ToUtf8(text);
      if (at != std::string::npos) after = at;
    }
    for (const auto& s : c.absent) EXPECT_EQ(text.find(s), std::string::npos) << s;
  }
  // Shared strings past the reader's 30,000: the table says that data was left out.
  std::string many;
  for (int i = 0; i < 30001; ++i) many += "<si><t>s</t></si>";
  const std::string cut = Load("many.xlsx", Book({Sheet("<row><c t=\"s\"><v>29999</v></c></row>")}, many));
  EXPECT_NE(cut.find("s "), std::string::npos);
  EXPECT_NE(cut.find(LoadString(IDS_DATA_OMITTED)), std::string::npos);
  // No message box for any cell; a file that is no package cannot be opened.
  EXPECT_TRUE(frame_->Ui().MessageLog().empty());
  EXPECT_EQ(Load("bad.xlsx", std::string(3000, 'x')), LoadString(IDS_CANNOT_OPEN));
}

}  // namespace

namespace {

// Every error value showed "--": #N/A, #NUM!, #NAME? and #NULL! are texts of their
// own, #DIV/0!, #REF! and #VALUE! error cells; a number style does not change that.
TEST_F(XlsxReaderTest, ErrorValuesShowTheirForms) {
  const char* values[] = {"#N/A", "#NUM!", "#NAME?", "#NULL!", "#DIV/0!", "#REF!", "#VALUE!"};
  const char* shown[] = {"#N/A", "#NUM!", "#NAME?", "#NULL!", "--", "--", "--"};
  std::string cells;
  for (const char* v : values) cells += std::string("<c t=\"e\" s=\"1\"><v>") + v + "</v></c>";
  doc_->m_nColumnWidthMode = 10;
  const std::vector<Grid> sheets = sheetcompare::ReadCellList(Load("e.xlsx", Book({Sheet("<row r=\"1\">" + cells + "</row>")})));
  ASSERT_EQ(sheets.size(), 1u);
  ASSERT_EQ(sheets[0].size(), 1u);
  ASSERT_EQ(sheets[0][0].size(), std::size(shown));
  for (size_t i = 0; i < std::size(shown); ++i) EXPECT_EQ(sheets[0][0][i], shown[i]) << values[i];
}

}  // namespace

namespace {

// Text written as numeric character references ("&#21335;", as python writers make
// inline strings) showed the references themselves, cut across lines.
TEST_F(XlsxReaderTest, NumericCharacterReferencesAreDecoded) {
  const std::string row = "<row r=\"1\"><c t=\"inlineStr\"><is><t>&#21335;&#20489;&#24235;</t></is></c>"
                          "<c t=\"s\"><v>0</v></c></row>";
  doc_->m_nColumnWidthMode = 10;
  const std::vector<Grid> sheets =
      sheetcompare::ReadCellList(Load("r.xlsx", Book({Sheet(row)}, "<si><t>&#x5357;&amp;&#65;&#x1F600;&#12;</t></si>")));
  ASSERT_EQ(sheets.size(), 1u);
  ASSERT_EQ(sheets[0].size(), 1u);
  ASSERT_EQ(sheets[0][0].size(), 2u);
  EXPECT_EQ(sheets[0][0][0], "南倉庫");
  EXPECT_EQ(sheets[0][0][1], "南&A? ");
}

}  // namespace

namespace {

// A shared string longer than the cell limit less five keeps a blank behind it (cut
// to the cell limit less one first); a shorter one is shown as it is.
TEST_F(XlsxReaderTest, LongSharedStringKeepsItsTrailingBlank) {
  doc_->m_nColumnWidthMode = 10;
  const size_t limit = static_cast<size_t>(doc_->m_nCharLimit);
  struct Case {
    size_t length;
    std::string shown;
  };
  const Case cases[] = {
      {limit - 5, std::string(limit - 5, 'x')},
      {limit - 4, std::string(limit - 4, 'x') + " "},
      {limit + 40, std::string(limit - 1, 'x') + " "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    const std::string strings = "<si><t>" + std::string(c.length, 'x') + "</t></si>";
    const std::vector<Grid> sheets =
        sheetcompare::ReadCellList(Load("long.xlsx", Book({Sheet("<row r=\"1\"><c t=\"s\"><v>0</v></c></row>")}, strings)));
    ASSERT_EQ(sheets.size(), 1u);
    ASSERT_EQ(sheets[0].size(), 1u);
    EXPECT_EQ(sheets[0][0][0], c.shown);
  }
}

}  // namespace
