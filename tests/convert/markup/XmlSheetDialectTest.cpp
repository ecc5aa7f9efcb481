// Spreadsheet XML in both of its dialects: LibreOffice's older XML spreadsheet
// (Table, Row, Cell) and an XLSX worksheet part (sheetData, row, c). Every cell text
// of the sheet reaches the table, in its row and column order.
#include <string>
#include <vector>

#include "platform/text/CodePage.h"
#include "support/TestEnv.h"

namespace {

class XmlSheetDialect : public testenv::DocTest {
 protected:
  std::string Show(const std::string& name, const std::string& bytes) {
    doc_->LoadDocument(WriteFile(name, bytes));
    return plat::Cp932ToUtf8(Text());
  }
  // The line holding all the words, in this order, or "".
  static std::string LineWith(const std::string& text, const std::vector<std::string>& words) {
    size_t at = 0;
    while (at < text.size()) {
      const size_t end = std::min(text.find('\n', at), text.size());
      const std::string line = text.substr(at, end - at);
      size_t p = 0;
      bool all = true;
      for (const auto& w : words) {
        p = line.find(w, p);
        if (p == std::string::npos) {
          all = false;
          break;
        }
        p += w.size();
      }
      if (all) return line;
      at = end + 1;
    }
    return "";
  }
};

TEST_F(XmlSheetDialect, CellsOfBothDialectsKeepTheirRowsAndColumns) {
  const std::string older = Show("book.xml", testenv::ReadHostFile(testenv::DataPath("office/book.2003.xml")));
  const std::string part = Show("sheet1.xml", testenv::ReadHostFile(testenv::DataPath("office/book.sheet1.xml")));
  const struct {
    const std::string* text;
    std::vector<std::vector<std::string>> rows;
  } cases[] = {
      {&older, {{"品名", "数量", "金額", "率"}, {"りんご", "12", "1234567", "0.125"}, {"東京都千代田区", "0.25", "9.96", "0.0345"}, {"A long line of text that runs on"}, {"after a gap", "7"}}},
      {&part, {{"0", "1", "2", "3"}, {"4", "12", "1234567", "0.125"}, {"1000000", "123456789", "-42", "3.14159"}}},
  };
  for (const auto& c : cases) {
    for (const auto& row : c.rows) EXPECT_NE(LineWith(*c.text, row), "") << row[0] << "\n" << *c.text;
  }
}

TEST_F(XmlSheetDialect, NoCellTextIsDropped) {
  const struct {
    const char* xml;
    std::vector<std::string> words;
  } cases[] = {
      {"<Workbook><Row><Cell><Data>A</Data></Cell></Row></Workbook>", {"A"}},
      {"<Workbook><Table><Column ss:Width=\"9\"/><Row><Cell><Data>B</Data></Cell><Cell><Data>C</Data></Cell></Row></Table></Workbook>", {"B", "C"}},
      {"<worksheet><cols><col min=\"1\"/></cols><sheetData><row><c><v>1</v></c><c><v>2</v></c></row></sheetData></worksheet>", {"1", "2"}},
      {"<Workbook><Row>loose<Cell><Data>D</Data></Cell></Row></Workbook>", {"loose", "D"}},
  };
  for (const auto& c : cases) {
    const std::string text = Show("x.xml", c.xml);
    EXPECT_NE(LineWith(text, c.words), "") << c.xml << "\n" << text;
  }
}

TEST_F(XmlSheetDialect, NumericCharacterReferencesShownRaw) {
  // Writers such as python's put every character of a cell as a reference.
  const struct {
    const char* data;
    std::vector<std::string> words;
  } cases[] = {
      {"&#21335;&#20489;&#24235;", {"南倉庫"}},
      {"&#x5357;&#X5009;&#x5eab;", {"南倉庫"}},
      {"A&#65;&#x42;", {"AAB"}},
      {"&#9100;x", {"?x"}},       // no CP932 character; once taken for the TAB of "#9"
      {"&#14000;y", {"?y"}},      // once the bullet of "#14"
      {"&#149;z", {"・z"}},       // a number the entity table names keeps its form
      {"&#21335", {"&#21335"}},   // no ';': not a reference
      {"&#;w", {"&#;w"}},
      {"one&#10;two&#13;&#10;three", {"one two  three"}},  // line feeds keep the cell on its row
  };
  for (const auto& c : cases) {
    const std::string xml = std::string("<Workbook><Row><Cell><Data>") + c.data + "</Data></Cell><Cell><Data>end</Data></Cell></Row></Workbook>";
    const std::string text = Show("refs.xml", xml);
    std::vector<std::string> words = c.words;
    words.push_back("end");
    EXPECT_NE(LineWith(text, words), "") << c.data << "\n" << text;
  }
}

}  // namespace
