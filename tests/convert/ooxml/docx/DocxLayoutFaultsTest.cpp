// Faults of the word-processing layout, each with the document that showed it:
// hand-made parts for what LibreOffice does not write, and a LibreOffice document
// (made at test time from flat ODF) against LibreOffice's own text.
#include <algorithm>
#include <cstring>
#include <string>

#include "convert/ooxml/OoxmlTestSupport.h"

namespace {

using namespace ooxmltest;

class DocxLayoutFaultsTest : public OoxmlTest {
 protected:
  std::string Show(const std::string& body) {
    const std::string doc = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:document><w:body>" + body +
                            "<w:sectPr><w:pgSz w:w=\"12000\"/><w:pgMar w:top=\"0\" w:right=\"0\"/></w:sectPr>"
                            "</w:body></w:document>";
    return ShowPath(Package("f.docx", {{"word/document.xml", doc}}));
  }
  // The row index of the first line holding needle, or -1.
  static int RowOf(const std::string& text, const std::string& needle) {
    const std::vector<std::string> lines = Lines(text);
    for (size_t k = 0; k < lines.size(); ++k)
      if (lines[k].find(Sjis(needle)) != std::string::npos) return static_cast<int>(k);
    return -1;
  }
};

std::string Para(const std::string& text) { return "<w:p><w:r><w:t>" + text + "</w:t></w:r></w:p>"; }

// A text box in an anchored drawing; spPr and extent in EMU.
std::string AnchoredBox(const std::string& extent, const std::string& shapes) {
  return "<w:p><w:r><w:drawing><wp:anchor><wp:positionH relativeFrom=\"page\"><wp:posOffset>0</wp:posOffset>"
         "</wp:positionH><wp:positionV relativeFrom=\"page\"><wp:posOffset>0</wp:posOffset></wp:positionV>"
         "<wp:extent " + extent + "/><a:graphic><a:graphicData>" + shapes +
         "</a:graphicData></a:graphic></wp:anchor></w:drawing></w:r></w:p>";
}

std::string Shape(const std::string& off, const std::string& ext, const std::string& text) {
  return "<wps:wsp><wps:spPr><a:xfrm><a:off " + off + "/><a:ext " + ext + "/></a:xfrm></wps:spPr>"
         "<wps:txbx><w:txbxContent>" + Para(text) + "</w:txbxContent></wps:txbx></wps:wsp>";
}

// The shapes of a group lay on one another: each shape's offset was not read.
TEST_F(DocxLayoutFaultsTest, ShapeOffsetsPlaceEachTextBoxOfAGroup) {
  // 3,000,000 EMU across are 46 columns, 1,700,000 EMU down 9 rows.
  const std::string text = Show(Para("flow") + AnchoredBox("cx=\"6000000\" cy=\"3000000\"",
                                                           "<wpg:wgp>" +
                                                               Shape("x=\"0\" y=\"0\"", "cx=\"2000000\" cy=\"900000\"", "left box") +
                                                               Shape("x=\"3000000\" y=\"1700000\"", "cx=\"2000000\" cy=\"900000\"",
                                                                     "right box") +
                                                               "</wpg:wgp>"));
  const int left = RowOf(text, "left box"), right = RowOf(text, "right box");
  ASSERT_GE(left, 0) << text;
  ASSERT_GE(right, 0) << text;
  EXPECT_EQ(right - left, 9) << text;
  EXPECT_EQ(Column(Lines(text)[static_cast<size_t>(right)], "right box") - Column(Lines(text)[static_cast<size_t>(left)], "left box"),
            46u)
      << text;
}

// A text box's text wrapped at its extent in columns instead of at the drawing's
// width: 2,400,000 EMU are 24,000 shape units, a wrap at 24,000 / 600 + 5 = 45.
TEST_F(DocxLayoutFaultsTest, TextBoxWrapsAtTheDrawingWidth) {
  std::string words;
  for (int k = 0; k < 30; ++k) words += "word" + std::to_string(k % 10) + " ";
  const std::string text =
      Show(Para("flow") + AnchoredBox("cx=\"2400000\" cy=\"900000\"",
                                      Shape("x=\"0\" y=\"0\"", "cx=\"2400000\" cy=\"900000\"", words)));
  size_t widest = 0;
  for (const std::string& line : Lines(text)) {
    const size_t at = line.find("word");
    if (at == std::string::npos) continue;
    widest = std::max(widest, line.find_last_not_of(' ') + 1 - at);
  }
  EXPECT_GT(widest, 38u) << text;
  EXPECT_LE(widest, 45u) << text;
}

// After a table held in a frame the text went on below the table, where the frame
// had put it, instead of where the flow was before the frame.
TEST_F(DocxLayoutFaultsTest, TableInAFrameReturnsToTheFlowAtItsEnd) {
  const std::string framed = "<w:p><w:pPr><w:framePr w:x=\"4000\" w:y=\"12000\" w:vAnchor=\"page\" w:hAnchor=\"page\"/>"
                             "</w:pPr><w:r><w:t>framed cell</w:t></w:r></w:p>";
  const std::string text = Show(Para("before") + "<w:tbl><w:tr><w:tc><w:tcPr><w:tcW w:w=\"3000\"/></w:tcPr>" + framed +
                                "</w:tc></w:tr></w:tbl>" + Para("after"));
  const int before = RowOf(text, "before"), cell = RowOf(text, "framed cell"), after = RowOf(text, "after");
  EXPECT_EQ(cell, 12000 / 200 + 1) << text;
  EXPECT_EQ(after, before + 1) << text;
}

// A column break ended the line like a line break.
TEST_F(DocxLayoutFaultsTest, ColumnBreakIsNotALineBreak) {
  const std::string text = Show("<w:p><w:r><w:t>one</w:t><w:br w:type=\"column\"/><w:t>two</w:t>"
                                "<w:br w:type=\"textWrapping\"/><w:t>three</w:t><w:br/><w:t>four</w:t></w:r></w:p>");
  EXPECT_NE(LineWith(text, "onetwo"), "") << text;
  EXPECT_EQ(RowOf(text, "three"), RowOf(text, "onetwo") + 1) << text;
  EXPECT_EQ(RowOf(text, "four"), RowOf(text, "three") + 1) << text;
}

// A page break inside a text box was dropped.
TEST_F(DocxLayoutFaultsTest, PageBreakInsideATextBoxWritesThePageMark) {
  std::string body;
  for (int k = 0; k < 25; ++k) body += Para("line " + std::to_string(k));
  body += AnchoredBox("cx=\"2400000\" cy=\"900000\"",
                      "<wps:wsp><wps:txbx><w:txbxContent><w:p><w:r><w:t>box first</w:t><w:br w:type=\"page\"/>"
                      "<w:t>box second</w:t></w:r></w:p></w:txbxContent></wps:txbx></wps:wsp>");
  body += Para("after box");
  const std::string text = Show(body);
  const int mark = RowOf(text, "-[page 2]");
  ASSERT_GT(mark, 0) << text;
  EXPECT_LT(RowOf(text, "box first"), mark) << text;
  EXPECT_GT(RowOf(text, "box second"), mark) << text;
  EXPECT_GT(RowOf(text, "after box"), mark) << text;
}

// A full cell line neither took back the character that overflowed it nor ended
// with '|'; the take-back never splits a double-byte character.
TEST_F(DocxLayoutFaultsTest, CellLineTakesBackTwoBytesAndEndsWithABar) {
  // 1,000 twips: ((1,000 + 32) / 64) x 7 / 10 = 11 columns.
  const auto table = [&](const std::string& words) {
    return Show("<w:tbl><w:tr><w:tc><w:tcPr><w:tcW w:w=\"1000\"/></w:tcPr>" + Para(words) + "</w:tc></w:tr></w:tbl>");
  };
  const struct {
    const char* words;
    const char* first;   // the first cell line, from the cell's column
    const char* second;  // the start of the next
  } cases[] = {
      {"abcdefghijklmn", "abcdefghij|", "klmn"},
      {"aあいうえおか", "aあいうえ |", "おか"},   // the double-byte character that overflows goes to the next line
      {"abcdefgh>おか", "abcdefgh>|", "おか"},   // after '>' without the blank
      {"あいうえおかき", "あいうえお|", "かき"},
  };
  for (const auto& c : cases) {
    const std::vector<std::string> lines = Lines(table(c.words));
    size_t k = 0;
    while (k < lines.size() && lines[k].find_first_not_of(' ') == std::string::npos) ++k;
    ASSERT_LT(k + 1, lines.size()) << c.words;
    const std::string first = Sjis(c.first), second = Sjis(c.second);
    EXPECT_EQ(lines[k].substr(2, first.size()), first) << c.words;
    EXPECT_EQ(lines[k + 1].substr(2, second.size()), second) << c.words;
  }
}

// A LibreOffice document with a text box, a table of narrow columns and a column
// break: every line LibreOffice reads is shown (the cell lines are joined again
// where they were cut), the box wraps at its width, the column break adds no row.
TEST_F(DocxLayoutFaultsTest, LibreOfficeDocumentKeepsItsWords) {
  SKIP_WITHOUT_PROGRAM("soffice");
  const std::string fodt = R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0"
 xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0" xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0"
 office:version="1.3" office:mimetype="application/vnd.oasis.opendocument.text">
 <office:automatic-styles>
  <style:style style:name="fr" style:family="graphic"><style:graphic-properties style:horizontal-pos="from-left"
   style:horizontal-rel="paragraph" style:vertical-pos="from-top" style:vertical-rel="paragraph" style:wrap="none"/></style:style>
  <style:style style:name="col" style:family="paragraph"><style:paragraph-properties fo:break-before="column"/></style:style>
  <style:style style:name="sect" style:family="section"><style:section-properties><style:columns fo:column-count="2"/></style:section-properties></style:style>
  <style:style style:name="tbl" style:family="table"><style:table-properties style:width="6cm" table:align="left"/></style:style>
  <style:style style:name="tbl.A" style:family="table-column"><style:table-column-properties style:column-width="2cm"/></style:style>
 </office:automatic-styles>
 <office:body><office:text>
  <text:p>Opening paragraph of the document.</text:p>
  <text:p><draw:frame draw:name="box" draw:style-name="fr" text:anchor-type="paragraph" svg:x="10cm" svg:y="0cm" svg:width="5cm" svg:height="3cm">
   <draw:text-box><text:p>Boxed words that wrap inside the drawing width of five centimetres here.</text:p></draw:text-box>
  </draw:frame>Anchor paragraph.</text:p>
  <table:table table:name="T" table:style-name="tbl"><table:table-column table:style-name="tbl.A" table:number-columns-repeated="3"/>
   <table:table-row><table:table-cell><text:p>Narrowcellwithalongword</text:p></table:table-cell>
    <table:table-cell><text:p>東京都千代田区丸の内</text:p></table:table-cell><table:table-cell><text:p>short</text:p></table:table-cell></table:table-row>
  </table:table>
  <text:section text:name="S" text:style-name="sect">
   <text:p>Left column text.</text:p><text:p text:style-name="col">Right column text.</text:p>
  </text:section>
  <text:p>Closing paragraph.</text:p>
 </office:text></office:body></office:document>)";
  testenv::WriteHostFile(dir_.HostPath("lo.fodt"), fodt);
  const std::string profile = "-env:UserInstallation=file://" + dir_.HostPath("profile");
  for (const char* to : {"docx", "txt:Text (encoded):UTF8"})
    testenv::Shell("cd " + testenv::Quote(dir_.HostPath("")) + " && soffice " + profile + " --headless --convert-to " +
                   testenv::Quote(to) + " lo.fodt >/dev/null 2>&1");
  // LibreOffice's text leaves the box out; its words are checked on their own.
  const std::string reading = testenv::ReadHostFile(dir_.HostPath("lo.txt"));
  ASSERT_NE(reading.find("Closing paragraph."), std::string::npos) << reading;
  const std::string boxed = "Boxed words that wrap inside the drawing width of five centimetres here.";
  const std::string text = ShowPath(Win("lo.docx"));
  // The box's words, wrapped at 1,800,000 EMU / 100 / 600 + 5 = 35 columns.
  const size_t boxColumn = Column(LineWith(text, "Boxed"), "Boxed");
  ASSERT_NE(boxColumn, std::string::npos) << plat::Cp932ToUtf8(text);
  std::string boxText;
  // The cells (2 cm: 12 columns from column 2), their lines joined without the bars.
  std::string cells[3];
  const int firstCellRow = RowOf(text, "Narrow");
  const std::vector<std::string> lines = Lines(text);
  for (size_t k = 0; k < lines.size(); ++k) {
    const std::string& line = lines[k];
    if (static_cast<int>(k) >= firstCellRow && static_cast<int>(k) < firstCellRow + 3) {
      for (size_t c = 0; c < 3; ++c) cells[c] += WithoutBlanks(line.substr(std::min(line.size(), 2 + 12 * c), 12));
    }
    if (line.size() <= boxColumn) continue;
    const std::string part = line.substr(boxColumn);
    if (part.find_first_not_of(' ') == std::string::npos) continue;
    EXPECT_LE(part.find_last_not_of(' ') + 1, 35u) << part;
    boxText += part.substr(0, part.find_last_not_of(' ') + 1) + " ";
  }
  EXPECT_NE(boxText.find(boxed), std::string::npos) << boxText;
  const std::string expected[3] = {"Narrowcellw|ithalongwor|d", Sjis("東京都千代|田区丸の内"), "short"};
  for (size_t c = 0; c < 3; ++c) EXPECT_EQ(cells[c], expected[c]);
  // Every line LibreOffice reads but the cells' in order.
  std::string rest = reading;
  for (const char* cell : {"Narrowcellwithalongword\n", "東京都千代田区丸の内\n", "short\n"}) rest.erase(rest.find(cell), std::strlen(cell));
  EXPECT_TRUE(LinesInOrder(text, rest)) << plat::Cp932ToUtf8(text);
  // The column break starts the paragraph of the right column: no blank row.
  EXPECT_EQ(RowOf(text, "Right column text."), RowOf(text, "Left column text.") + 1) << plat::Cp932ToUtf8(text);
}

}  // namespace
