// Word-processing documents made by LibreOffice and python-docx, against
// LibreOffice's own text export and docx2txt's reading of the same files, and the
// layout facts of the page-laid text.
#include <chrono>
#include <string>

#include "convert/ooxml/OoxmlTestSupport.h"

namespace {

using namespace ooxmltest;

class ConvertDocxTest : public OoxmlTest {};

TEST_F(ConvertDocxTest, WordsInTheOrderThePeersReadThem) {
  const struct {
    const char* docx;
    const char* reading;
    std::vector<std::string> elsewhere;  // cells of a nested table: laid out after the document
  } cases[] = {
      {"letter.docx", "letter.lo.txt", {}},
      // docx2txt reads a text box before the paragraph that anchors it (and twice).
      {"letter.docx", "letter.docx2txt.txt", {"Boxed note text"}},
      {"report.docx", "report.lo.txt", {"adults", "young"}},
  };
  for (const auto& c : cases) {
    const std::string text = ShowData(c.docx);
    EXPECT_TRUE(LinesInOrder(text, testenv::ReadHostFile(testenv::DataPath(std::string("office/") + c.reading)),
                             c.elsewhere))
        << c.docx;
  }
}

TEST_F(ConvertDocxTest, PageLaidText) {
  const std::string text = ShowData("letter.docx");
  const std::vector<std::string> lines = Lines(text);
  // Rows of one width, ending in CR LF; page marks carry their own line breaks.
  size_t width = 0;
  for (const std::string& line : lines) {
    if (line.empty() || line.rfind("-[page", 0) == 0) continue;
    if (!width) width = line.size();
    EXPECT_EQ(line.size(), width) << line;
  }
  // The cells of a table row on one line, at rising columns.
  const std::string row = LineWith(text, "Region");
  EXPECT_LT(Column(row, "Region"), Column(row, "Spring"));
  EXPECT_LT(Column(row, "Spring"), Column(row, "Autumn"));
  EXPECT_NE(Column(LineWith(text, "300"), "東京"), std::string::npos);
  // The text box, the picture label and the page mark.
  EXPECT_NE(LineWith(text, "Boxed note text"), "");
  EXPECT_NE(LineWith(text, "[image1.png]"), "");
  EXPECT_EQ(LineWith(text, "-[page 2]"), "-[page 2]" + std::string(80, '-') + std::string(width - 4 - 89, ' '));
  EXPECT_GT(text.find(Sjis("Second page")), text.find("-[page 2]"));
}

TEST_F(ConvertDocxTest, TopMarginBlankRowsAndNestedTables) {
  // report.docx: top margin 3 cm (1,701 twips): 1,701 / 300 + 5 blank rows first.
  const std::string text = ShowData("report.docx");
  const std::vector<std::string> lines = Lines(text);
  size_t first = 0;
  while (first < lines.size() && lines[first].find_first_not_of(' ') == std::string::npos) ++first;
  EXPECT_EQ(first, 10u);
  EXPECT_NE(lines[first].find("Field notes"), std::string::npos);
  // The nested table: its note in the cell, its rows after the document.
  EXPECT_NE(Column(LineWith(text, "Heron"), "[Table1]"), std::string::npos);
  const size_t title = text.rfind("\r\n[Table1]");
  ASSERT_NE(title, std::string::npos);
  EXPECT_GT(text.find("adults"), title);
  EXPECT_GT(text.find("adults"), text.find(Sjis("weather was calm")));
}

TEST_F(ConvertDocxTest, VerticalRulesBoxTheTable) {
  doc_->m_bVerticalRules = 1;
  const std::string text = ShowData("letter.docx");
  const std::vector<std::string> lines = Lines(text);
  size_t at = 0;
  while (at < lines.size() && lines[at].find("Region") == std::string::npos) ++at;
  ASSERT_GT(at, 0u);
  ASSERT_LT(at + 3, lines.size());
  for (size_t border : {at - 1, at + 3}) {
    const std::string& line = lines[border];
    const size_t last = line.find_last_not_of(' ');
    EXPECT_EQ(line[0], '+') << line;
    EXPECT_EQ(line[last], '+') << line;
    EXPECT_EQ(line.find_first_not_of('-', 1), last) << line;
  }
  for (size_t k = at; k < at + 3; ++k) {
    EXPECT_EQ(lines[k][0], '|') << lines[k];
    EXPECT_GE(std::count(lines[k].begin(), lines[k].end(), '|'), 4) << lines[k];
  }
}

// Hand-made documents for what the tools above do not write.
const std::string kWords =
    "wrapping keeps every word whole across the rows of a narrow page even when the words are rather long "
    "like extraordinarily or internationalisation";

TEST_F(ConvertDocxTest, EntitiesBreaksAndWrapping) {
  const std::string body =
      "<w:p><w:r><w:t>A &amp; B &lt;c&gt; &quot;d&quot; &apos;e&apos;\xE3\x80\x80" "f</w:t></w:r></w:p>"
      "<w:p/>"
      "<w:p><w:r><w:t>before</w:t><w:br/><w:t>after</w:t></w:r></w:p>"
      "<w:p><w:r><w:t>" + std::string(40, 'x') + " " + std::string(200, '\xE3') + "</w:t></w:r></w:p>"
      "<w:p><w:r><w:t>" + kWords + "</w:t></w:r></w:p>";
  std::string wide;
  for (int k = 0; k < 80; ++k) wide += "\xE6\x97\xA5";  // 日
  const std::string doc = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:document><w:body>" + body +
                          "<w:p><w:r><w:t>" + wide + "</w:t></w:r></w:p>"
                          "<w:sectPr><w:pgSz w:w=\"6000\"/><w:pgMar w:top=\"0\" w:right=\"0\"/></w:sectPr></w:body></w:document>";
  const std::string text = ShowPath(Package("e.docx", {{"word/document.xml", doc}}));
  EXPECT_NE(LineWith(text, "A & B <c> \"d\" 'e'  f"), "") << text;
  const std::vector<std::string> lines = Lines(text);
  size_t before = 0;
  while (before < lines.size() && lines[before].find("before") == std::string::npos) ++before;
  ASSERT_LT(before + 1, lines.size());
  EXPECT_EQ(lines[before - 1].find_first_not_of(' '), std::string::npos) << text;  // the empty paragraph
  EXPECT_EQ(lines[before + 1].find("after"), 0u);
  // Line width 6000 / 100 - 10 = 50: rows break between words...
  for (size_t at = 0, end; at < kWords.size(); at = end + 1) {
    end = std::min(kWords.find(' ', at), kWords.size());
    const std::string word = " " + kWords.substr(at, end - at) + " ";
    bool whole = false;
    for (const std::string& line : Lines(text)) whole = whole || (" " + line + " ").find(word) != std::string::npos;
    EXPECT_TRUE(whole) << word;
  }
  // ...and the wide line wraps into rows of whole characters.
  const std::string sjisDay = Sjis("日");
  for (const std::string& line : lines) {
    const size_t at = line.find(sjisDay);
    if (at != 0) continue;
    const size_t end = line.find_last_not_of(' ') + 1;
    EXPECT_LE(end, 50u);
    EXPECT_EQ(end % 2, 0u);
  }
}

}  // namespace

namespace {

// Numeric character references were shown as they are written.
TEST_F(ConvertDocxTest, NumericCharacterReferencesAreDecoded) {
  const std::string doc = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:document><w:body>"
                          "<w:p><w:r><w:t>&#21335;&#x5009;&#24235;&#9;&#128512;&#;&#x;</w:t></w:r></w:p></w:body></w:document>";
  const std::string text = ShowPath(Package("r.docx", {{"word/document.xml", doc}}));
  EXPECT_NE(LineWith(text, "南倉庫 ?&#;&#x;"), "") << plat::Cp932ToUtf8(text);
}

}  // namespace

namespace {

// 20,000 nested tables took minutes: the end of each nested table was searched for
// from its start to the end of the part at every tag. The inner tables are noted as
// " [TableN]" and the document is laid out in time linear in its size (the bound is
// generous for the sanitizer build; bench/ measures the speed).
TEST_F(ConvertDocxTest, DeeplyNestedTablesAreLaidOutInLinearTime) {
  constexpr int kDepth = 20000;
  std::string body;
  for (int k = 0; k < kDepth; ++k) body += "<w:tbl><w:tr><w:tc>";
  body += "<w:p><w:r><w:t>deep</w:t></w:r></w:p>";
  for (int k = 0; k < kDepth; ++k) body += "</w:tc></w:tr></w:tbl>";
  const std::string doc = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:document><w:body>" + body + "</w:body></w:document>";
  const std::string path = Package("nested.docx", {{"word/document.xml", doc}});
  const auto start = std::chrono::steady_clock::now();
  const std::string text = ShowPath(path);
  const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_NE(text.find("[Table1]"), std::string::npos);
  EXPECT_LT(seconds, 60.0);
}

}  // namespace
