// Hostile packages through the whole road: bombs, members outside the folder,
// missing parts, bad UTF-8, lying geometry, truncations and bit flips. Each
// asserts the text it expects.
#include <string>

#include "app/StringTable.h"
#include "convert/ooxml/OoxmlTestSupport.h"

namespace {

using namespace ooxmltest;

class OoxmlHostileTest : public OoxmlTest {
 protected:
  std::string Hostile(const std::string& name) { return ShowData("hostile/" + name); }
};

TEST_F(OoxmlHostileTest, PackagesOfTheFixtureFolder) {
  EXPECT_EQ(Hostile("declared-bomb.docx"), LoadString(IDS_FILE_SIZE_OVER).substr(0, 24) + "(>256MB)\x81\x42\r\n");
  EXPECT_EQ(doc_->m_bPartialLoad, 1);
  EXPECT_NE(Hostile("lying-bomb.docx").find("inside"), std::string::npos);
  EXPECT_EQ(doc_->m_bPartialLoad, 1);
  EXPECT_NE(Hostile("traversal.docx").find("inside"), std::string::npos);
  // Slide 2 without relationships still shows; slide 3 is missing, so slide 4 is not read.
  const std::string slides = Hostile("missing-parts.pptx");
  EXPECT_EQ(slides.find(std::string(45, '=') + "page  1"), 0u);
  EXPECT_NE(slides.find("first"), std::string::npos);
  EXPECT_NE(slides.find("second"), std::string::npos);
  EXPECT_EQ(slides.find("fourth"), std::string::npos);
}

TEST_F(OoxmlHostileTest, MissingPartsShowWhatCouldBeRead) {
  // No document part: the message is the text, and its length the result.
  EXPECT_EQ(ShowPath(Package("none.docx", {{"word/styles.xml", "<w:styles/>"}})), LoadString(IDS_CANNOT_OPEN));
  EXPECT_EQ(doc_->m_nTextLen, static_cast<int>(LoadString(IDS_CANNOT_OPEN).size()));
  // No ZIP archive: the message says it is no file of its kind (it showed nothing).
  EXPECT_EQ(ShowPath(WriteFile("plain.docx", "just text")), StatusText(ConvertStatus::Message(IDS_NOT_OF_KIND).With("Word")));
  EXPECT_EQ(ShowPath(WriteFile("empty.pptx", "")), StatusText(ConvertStatus::Message(IDS_NOT_OF_KIND).With("PowerPoint")));
  // No slides: the closing line only.
  EXPECT_EQ(ShowPath(Package("noslides.pptx", {{"ppt/presentation.xml", "<p:presentation/>"}})), std::string(100, '='));
}

TEST_F(OoxmlHostileTest, MemoryFailuresAreTheWholeText) {
  // A frame far right, then 10,000 one-letter paragraphs: 10,000 rows of 500 columns.
  std::string rows = "<w:p><w:pPr><w:framePr w:x=\"40000\" w:y=\"0\"/></w:pPr></w:p>";
  for (int k = 0; k < 10000; ++k) rows += "<w:p><w:r><w:t>x</w:t></w:r></w:p>";
  const std::string docx = Package("rows.docx", {{"word/document.xml", "<w:document><w:body>" + rows + "</w:body></w:document>"}});
  std::vector<std::pair<std::string, std::string>> slides;
  for (int k = 1; k <= 150; ++k) slides.emplace_back("ppt/slides/slide" + std::to_string(k) + ".xml", "<p:sld/>");
  const std::string pptx = Package("many.pptx", slides);
  doc_->m_nOutDataLimit = 100000;
  // The output of 10,000 wide rows, or of 150 slide pages, is more than the allocation
  // hook lets through; the part, the canvas and the first buffer are less.
  doc_->m_allocHook.FailAbove(1000000);
  const std::string oom = LoadString(IDS_OUT_OF_MEMORY);
  EXPECT_EQ(ShowPath(docx), oom + " 022");
  EXPECT_EQ(doc_->m_nTextLen, static_cast<int>(oom.size()) + 4);
  EXPECT_EQ(ShowPath(pptx), oom + " 020");
  doc_->m_allocHook.Reset();
  EXPECT_GT(Lines(ShowPath(docx)).size(), 10000u);
}

TEST_F(OoxmlHostileTest, BadUtf8InRunText) {
  const std::string run =
      "good \xF0\x9F\x98\x80 four \x80\xBF stray \xC0\xAF overlong \xEF\xBB\xBF" "bom \xE3\x81</w:t></w:r></w:p>";
  const std::string doc = "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:document><w:body><w:p><w:r><w:t>" +
                          run + "<w:p><w:r><w:t>next</w:t></w:r></w:p></w:body></w:document>";
  const std::string text = ShowPath(Package("u.docx", {{"word/document.xml", doc}}));
  EXPECT_NE(LineWith(text, "good ? four ?? stray ? overlong bom ?"), "") << text;
  EXPECT_NE(LineWith(text, "next"), "");  // the cut sequence did not swallow the markup
}

TEST_F(OoxmlHostileTest, GeometryThatPointsOffTheCanvas) {
  std::string cells;
  for (int k = 0; k < 150; ++k) cells += "<w:tc><w:tcPr><w:tcW w:w=\"99999999\"/></w:tcPr><w:p><w:r><w:t>c</w:t></w:r></w:p></w:tc>";
  std::string nested = "<w:p><w:r><w:t>deep</w:t></w:r></w:p>";
  for (int k = 0; k < 120; ++k) nested = "<w:tbl><w:tr><w:tc>" + nested + "</w:tc></w:tr></w:tbl>";
  const std::string body =
      "<w:p><w:pPr><w:framePr w:x=\"2147483647\" w:y=\"2147483647\" w:vAnchor=\"page\" w:hAnchor=\"text\"/></w:pPr>"
      "<w:r><w:t>framed</w:t></w:r></w:p>"
      "<w:p><w:r><w:drawing><wp:anchor><wp:positionH relativeFrom=\"page\"><wp:posOffset>-2147483648</wp:posOffset>"
      "</wp:positionH><wp:positionV relativeFrom=\"paragraph\"><wp:posOffset>9999999999</wp:posOffset></wp:positionV>"
      "<wp:extent cx=\"2147483647\" cy=\"2147483647\"/><a:blip r:embed=\"rId99999\"/></wp:anchor></w:drawing></w:r></w:p>"
      "<w:tbl><w:tr>" + cells + "</w:tr></w:tbl>" + nested +
      "<w:p><w:r><w:t>end</w:t></w:r></w:p>";
  const std::string doc = "<w:document><w:body>" + body + "</w:body></w:document>";
  const std::string text = ShowPath(Package("g.docx", {{"word/document.xml", doc}}));
  EXPECT_NE(text.find("framed"), std::string::npos);
  EXPECT_NE(text.find("[Table50]"), std::string::npos);
  EXPECT_EQ(text.find("[Table51]"), std::string::npos);
  EXPECT_LT(doc_->m_nTextLen, doc_->m_nConvCap);

  // Slides: 300 shapes named "Rectangle N", far positions, a wide table, a rich shape.
  std::string shapes;
  for (int k = 1; k <= 300; ++k)
    shapes += "<p:sp><p:nvSpPr><p:cNvPr id=\"1\" name=\"Rectangle " + std::to_string(k) +
              "\"/><p:nvPr><p:ph type=\"title\"/></p:nvPr></p:nvSpPr><p:spPr><a:xfrm><a:off x=\"" +
              std::to_string(int64_t{k} * 9000000) + "\" y=\"2147483647\"/><a:ext cx=\"2147483647\" cy=\"1\"/></a:xfrm></p:spPr>"
              "<p:txBody><a:p><a:r><a:t>s" + std::to_string(k) + "</a:t></a:r></a:p></p:txBody></p:sp>";
  std::string grid, row;
  for (int k = 0; k < 200; ++k) {
    grid += "<a:gridCol w=\"2147483647\"/>";
    row += "<a:tc><a:txBody><a:p><a:r><a:t>cell</a:t></a:r></a:p></a:txBody></a:tc>";
  }
  const std::string table = "<p:graphicFrame><p:xfrm><a:off x=\"-5\" y=\"999999999\"/></p:xfrm><a:tbl><a:tblGrid>" +
                            grid + "</a:tblGrid><a:tr>" + row + "</a:tr></a:tbl></p:graphicFrame>";
  const std::string slide = "<p:sld><p:cSld><p:spTree>" + shapes + table +
                            "<p:sp><p:txBody><a:p><a:r><a:t>" + std::string(9000, 'w') +
                            "</a:t></a:r></a:p></p:txBody></p:sp></p:spTree></p:cSld></p:sld>";
  const std::string master =
      "<p:sldMaster><p:sp><p:nvSpPr><p:cNvPr id=\"1\" name=\"Rectangle 20\"/></p:nvSpPr><p:spPr><a:xfrm><a:off x=\"1\" "
      "y=\"1\"/><a:ext cx=\"900000\" cy=\"900000\"/></a:xfrm></p:spPr></p:sp></p:sldMaster>";
  const std::string slides = ShowPath(Package("g.pptx", {{"ppt/slideMasters/slideMaster1.xml", master},
                                                          {"ppt/slides/slide1.xml", slide},
                                                          {"ppt/slides/slide2.xml", "<p:sld><a:t>x</a:t></p:sld>"}}));
  const std::vector<std::string> lines = Lines(slides);
  for (size_t k = 0; k + 1 < lines.size(); ++k) ASSERT_EQ(lines[k].size(), 130u) << k;
  EXPECT_NE(slides.find(std::string(45, '=') + "page  2"), std::string::npos);
}

TEST_F(OoxmlHostileTest, TruncationsAndBitFlips) {
  doc_->m_nOutDataLimit = 1 << 16;
  for (const char* name : {"letter.docx", "deck.pptx"}) {
    const std::string bytes = testenv::ReadHostFile(testenv::DataPath(std::string("office/") + name));
    ASSERT_FALSE(bytes.empty());
    for (size_t cut = 0; cut < bytes.size(); cut += 1 + bytes.size() / 12) {
      ShowPath(WriteFile(std::string("cut-") + name, bytes.substr(0, cut)));
      ASSERT_LT(doc_->m_nTextLen, doc_->m_nConvCap) << name << " cut at " << cut;
    }
    for (size_t at = 0; at < bytes.size(); at += 1 + bytes.size() / 25) {
      std::string flipped = bytes;
      flipped[at] = static_cast<char>(flipped[at] ^ 0x10);
      ShowPath(WriteFile(std::string("flip-") + name, flipped));
      ASSERT_LT(doc_->m_nTextLen, doc_->m_nConvCap) << name << " flipped at " << at;
    }
  }
}

}  // namespace
