// HTML tables: cells laid out as aligned columns, spans, wrapping, the matrix
// limits (255 columns, a full matrix flushed in the middle of a table).
#include <string>

#include "convert/markup/MarkupTestSupport.h"
#include "support/TestEnv.h"

using markuptest::Body;
using markuptest::Cells;
using markuptest::Convert;
using markuptest::Lines;

namespace {

class HtmlTable : public testenv::DocTest {
 protected:
  // The table lines of the text (those holding a separator), without the empty last one.
  std::vector<std::string> TableLines(const std::string& page, int layout = 1, char separator = '|') {
    std::vector<std::string> lines;
    for (const auto& line : Lines(Body(Convert(*doc_, page, markuptest::Form::Html, layout)))) {
      if (line.find(separator) != std::string::npos && line.find_first_not_of(std::string(" ") + separator) != std::string::npos) {
        lines.push_back(line);
      }
    }
    return lines;
  }
};

// Byte positions of the separators in a line.
std::vector<size_t> Separators(const std::string& line, char separator = '|') {
  std::vector<size_t> at;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == separator) at.push_back(i);
  }
  return at;
}

}  // namespace

TEST_F(HtmlTable, ColumnsAlignWithTheChosenSeparator) {
  const std::string page =
      "<table><tr><th>Name</th><th>Qty</th></tr><tr><td>apple pie</td><td>3</td></tr>"
      "<tr><td>fig</td><td>1200</td></tr></table>after";
  const auto lines = TableLines(page);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "Name     |Qty |");
  EXPECT_EQ(lines[1], "apple pie|3   |");
  EXPECT_EQ(lines[2], "fig      |1200|");
  EXPECT_EQ(TableLines(page, 2, '\x08')[1], "apple pie\x08" "3   \x08");
  EXPECT_EQ(TableLines(page, 0, ' ').size(), 3u);
  doc_->m_nListingKind = 1;
  EXPECT_TRUE(TableLines(page, 1).empty()) << "a listing lays columns out with blanks";
}

TEST_F(HtmlTable, SpansLeaveColumnsEmptyAndCoverLaterRows) {
  const auto lines = TableLines(
      "<table><tr><td>a</td><td>bb</td><td>c</td></tr>"
      "<tr><td colspan=\"2\">ab</td><td>z</td></tr>"
      "<tr><td rowspan=2>R</td><td>x</td><td>y</td></tr>"
      "<tr><td>p</td><td>q</td></tr>"
      "<tr><th colspan=2>H</th><th>h</th></tr></table>");
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "a|bb|c|");
  EXPECT_EQ(lines[1], "ab  |z|") << "the spanned cell overflows into the column it leaves empty";
  EXPECT_EQ(lines[2], "R|x |y|");
  EXPECT_EQ(lines[3], " |p |q|") << "the row span covers column 1";
  EXPECT_EQ(lines[4], "H|  |h|") << "a header cell spans too";
}

TEST_F(HtmlTable, HeadAndBodyGroupsAreNotCells) {
  const auto lines = TableLines(
      "<table><thead><tr><th>k</th><th>v</th></tr></thead><tbody><tr><td>1</td><td>2</td></tr></tbody></table>");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "k|v|");
  EXPECT_EQ(lines[1], "1|2|");
}

TEST_F(HtmlTable, LongCellsWrapAtTheWrapWidth) {
  doc_->m_nTextSizeIndex = 5;  // wrap width 64
  const std::string page = "<table><tr><td>" + std::string(150, 'w') + "</td><td>r</td></tr></table>";
  const auto lines = TableLines(page);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], std::string(64, 'w') + "|r|");
  EXPECT_EQ(lines[2], std::string(22, 'w') + std::string(42, ' ') + "| |");
  // Shift-JIS pairs are never split across cell lines.
  std::string kana;
  for (int i = 0; i < 40; ++i) kana += "\x82\xA0";
  const auto split = TableLines("<meta charset=shift_jis><table><tr><td>a" + kana + "</td></tr></table>");
  ASSERT_EQ(split.size(), 2u);
  EXPECT_EQ(split[0], "a" + kana.substr(0, 62) + "|");
  EXPECT_EQ(split[1], kana.substr(0, 18) + std::string(45, ' ') + "|");
}

TEST_F(HtmlTable, TwoHundredFiftyFiveColumnsAtMost) {
  std::string page = "<table>";
  for (int r = 0; r < 3; ++r) {
    page += "<tr>";
    for (int c = 0; c < 300; ++c) page += "<td rowspan=3 colspan=2>" + std::to_string(c % 10) + "</td>";
    page += "</tr>";
  }
  page += "</table>";
  const auto lines = TableLines(page);
  ASSERT_FALSE(lines.empty());
  EXPECT_LE(Separators(lines[0]).size(), 255u);
}

TEST_F(HtmlTable, AFullMatrixIsFlushedAndNothingIsLost) {
  std::string page = "<table>";
  for (int r = 0; r < 200; ++r) page += "<tr><td>r" + std::to_string(r) + "</td><td>v</td></tr>";
  page += "</table>";
  const auto lines = TableLines(page);
  ASSERT_EQ(lines.size(), 200u);
  for (int r = 0; r < 200; ++r) EXPECT_EQ(Cells(lines[r])[0], "r" + std::to_string(r));
  // Widths carry on over a flush forced by the full matrix: columns never narrow.
  for (size_t i = 1; i < lines.size(); ++i) EXPECT_GE(Separators(lines[i]), Separators(lines[i - 1])) << i;

  // A matrix of the smallest size and one cell far longer than it holds.
  doc_->m_nTableRows = 10;
  const std::string huge = "<table><tr><td>" + std::string(30000, 'k') + "</td><td>e</td></tr></table>";
  const std::string text = Body(Convert(*doc_, huge, markuptest::Form::Html, 1));
  EXPECT_EQ(std::count(text.begin(), text.end(), 'k'), 30000);
  EXPECT_NE(text.find('e'), std::string::npos);
}

TEST_F(HtmlTable, ATableLeftOpenIsStillWritten) {
  const auto lines = TableLines("<table><tr><td>left</td><td>open");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "left|open|");
}

TEST_F(HtmlTable, NestedTablesKeepTheirText) {
  const std::string text = Body(Convert(*doc_,
      "<table><tr><td>out1<table><tr><td>in1</td><td>in2</td></tr></table>out2</td><td>o3</td></tr></table>", 
      markuptest::Form::Html, 1));
  for (const char* word : {"out1", "in1", "in2", "out2", "o3"}) EXPECT_NE(text.find(word), std::string::npos) << word;
}
