// Presentations: a LibreOffice deck against pdftotext's reading of LibreOffice's
// PDF of it, the page per slide, and hand-made slides for placeholders.
#include <algorithm>
#include <string>

#include "base/ConvertStatus.h"
#include "convert/dump/DumpCall.h"
#include "convert/ooxml/OoxmlTestSupport.h"

namespace {

using namespace ooxmltest;

class ConvertPptxTest : public OoxmlTest {};

std::string Banner(int k) {
  char text[128];
  std::snprintf(text, sizeof text, "%spage %2d%s", std::string(45, '=').c_str(), k, std::string(48, '=').c_str());
  return text;
}

// The PDF's bullets are glyphs of the private-use area, not text.
std::string WithoutPrivateUse(const std::string& utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size(); ++i) {
    const auto b = static_cast<uint8_t>(utf8[i]);
    if ((b == 0xEE || (b == 0xEF && i + 1 < utf8.size() && static_cast<uint8_t>(utf8[i + 1]) < 0xA4)) && i + 2 < utf8.size()) {
      i += 2;
      continue;
    }
    out += utf8[i];
  }
  return out;
}

TEST_F(ConvertPptxTest, SlideTextInTheOrderOfThePdf) {
  const std::string text = ShowData("deck.pptx");
  EXPECT_TRUE(LinesInOrder(text, WithoutPrivateUse(testenv::ReadHostFile(testenv::DataPath("office/deck.pdftotext.txt")))));
}

TEST_F(ConvertPptxTest, OnePagePerSlide) {
  const std::string text = ShowData("deck.pptx");
  const std::vector<std::string> lines = Lines(text);
  std::vector<size_t> banners;
  for (size_t k = 0; k < lines.size(); ++k)
    if (lines[k].rfind(std::string(45, '=') + "page", 0) == 0) banners.push_back(k);
  ASSERT_EQ(banners.size(), 3u);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(lines[banners[k]].substr(0, 100), Banner(k + 1));
  EXPECT_EQ(lines.back(), std::string(100, '='));
  for (size_t k = 0; k + 1 < lines.size(); ++k) EXPECT_EQ(lines[k].size(), 130u) << k;
  // Each slide's text lies between its banner and the next.
  EXPECT_LT(text.find("Annual results"), text.find(Banner(2)));
  EXPECT_GT(text.find("Figures by region"), text.find(Banner(2)));
  // The table: one row per line, cells at rising columns; the picture label.
  const std::string row = LineWith(text, "Region");
  EXPECT_LT(Column(row, "Region"), Column(row, "Sales"));
  EXPECT_LT(Column(row, "Sales"), Column(row, "Staff"));
  EXPECT_NE(Column(LineWith(text, "300"), "大阪"), std::string::npos);
  EXPECT_GT(text.find("[image1.png]"), text.find(Banner(3)));
}

TEST_F(ConvertPptxTest, VerticalRulesLayOutOnAFinerGrid) {
  const size_t coarse = Column(LineWith(ShowData("deck.pptx"), "Opened in March"), "Opened");
  doc_->m_bVerticalRules = 1;
  const size_t fine = Column(LineWith(ShowData("deck.pptx"), "Opened in March"), "Opened");
  EXPECT_GT(fine, coarse);
}

// A title placeholder without its own transform takes the master's title box and
// is centred; a body placeholder keeps to the left; pictures 50 and above are "[Image]".
TEST_F(ConvertPptxTest, PlaceholdersFromTheMaster) {
  const std::string master =
      "<p:sldMaster><p:cSld><p:spTree>"
      "<p:sp><p:nvSpPr><p:cNvPr id=\"2\" name=\"Title\"/><p:nvPr><p:ph type=\"title\"/></p:nvPr></p:nvSpPr>"
      "<p:spPr><a:xfrm><a:off x=\"1000000\" y=\"400000\"/><a:ext cx=\"8000000\" cy=\"1200000\"/></a:xfrm></p:spPr></p:sp>"
      "</p:spTree></p:cSld></p:sldMaster>";
  auto shape = [](const std::string& ph, const std::string& xfrm, const std::string& body) {
    return "<p:sp><p:nvSpPr><p:cNvPr id=\"3\" name=\"x\"/><p:nvPr>" + ph + "</p:nvPr></p:nvSpPr><p:spPr>" + xfrm +
           "</p:spPr><p:txBody>" + body + "</p:txBody></p:sp>";
  };
  const std::string slide =
      "<p:sld><p:cSld><p:spTree>" + shape("<p:ph type=\"title\"/>", "", "<a:p><a:r><a:t>Centred</a:t></a:r></a:p>") +
      shape("", "<a:xfrm><a:off x=\"800000\" y=\"2400000\"/><a:ext cx=\"6000000\" cy=\"800000\"/></a:xfrm>",
            "<a:p><a:r><a:t>Left one</a:t></a:r></a:p><a:p><a:r><a:t>Left two</a:t></a:r></a:p>") +
      "<p:pic><p:nvPicPr><p:cNvPr id=\"4\" name=\"p\"/></p:nvPicPr><p:blipFill><a:blip r:embed=\"rId60\"/></p:blipFill>"
      "<p:spPr><a:xfrm><a:off x=\"5000000\" y=\"4000000\"/><a:ext cx=\"2000000\" cy=\"1000000\"/></a:xfrm></p:spPr></p:pic>"
      "</p:spTree></p:cSld></p:sld>";
  const std::string text = ShowPath(Package("p.pptx", {{"ppt/slideMasters/slideMaster1.xml", master},
                                                      {"ppt/slides/slide1.xml", slide},
                                                      {"ppt/media/image1.png", "png"}}));
  // Master title box: column 1,000 / 80 = 12, width 8,000 / 80 = 100; "Centred" (7) at 12 + 93 / 2.
  EXPECT_EQ(Column(LineWith(text, "Centred"), "Centred"), 12u + (100 - 7) / 2);
  EXPECT_EQ(Column(LineWith(text, "Left one"), "Left one"), 10u);
  EXPECT_EQ(Column(LineWith(text, "Left two"), "Left two"), 10u);
  EXPECT_NE(LineWith(text, "[Image]"), "");
}

// A slide takes the placeholder geometry of the layout its relationships name, not
// of the layout that happens to share its number.
TEST_F(ConvertPptxTest, TheLayoutComesFromTheSlidesRelationships) {
  auto layout = [](int x) {
    return "<p:sldLayout><p:sp><p:nvSpPr><p:nvPr><p:ph type=\"ctrTitle\"/></p:nvPr></p:nvSpPr><p:spPr><a:xfrm>"
           "<a:off x=\"" + std::to_string(x) + "\" y=\"800000\"/><a:ext cx=\"1600000\" cy=\"400000\"/></a:xfrm>"
           "</p:spPr></p:sp></p:sldLayout>";
  };
  const std::string slide =
      "<p:sld><p:sp><p:nvSpPr><p:nvPr><p:ph type=\"ctrTitle\"/></p:nvPr></p:nvSpPr><p:txBody><a:p><a:r><a:t>Title"
      "</a:t></a:r></a:p></p:txBody></p:sp></p:sld>";
  const std::string rels =
      "<Relationships><Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
      "relationships/slideLayout\" Target=\"../slideLayouts/slideLayout2.xml\"/></Relationships>";
  const std::string text = ShowPath(Package("l.pptx", {{"ppt/slideLayouts/slideLayout1.xml", layout(800000)},
                                                      {"ppt/slideLayouts/slideLayout2.xml", layout(8000000)},
                                                      {"ppt/slides/slide1.xml", slide},
                                                      {"ppt/slides/_rels/slide1.xml.rels", rels}}));
  // Layout 2: column 8,000 / 80 = 100, width 1,600 / 80 = 20: "Title" centred at 100 + 15 / 2.
  EXPECT_EQ(Column(LineWith(text, "Title"), "Title"), 107u);
}

TEST_F(ConvertPptxTest, TheNextSlideKeepsTheLastRowOfThePreviousOne) {
  // A shape on row 30, the first slide's largest row: the next banner goes below it.
  const std::string slide1 =
      "<p:sld><p:sp><p:spPr><a:xfrm><a:off x=\"800000\" y=\"11600000\"/><a:ext cx=\"8000000\" cy=\"100\"/></a:xfrm>"
      "</p:spPr><p:txBody><a:p><a:r><a:t>last row</a:t></a:r></a:p></p:txBody></p:sp></p:sld>";
  const std::string text = ShowPath(Package("rows.pptx", {{"ppt/slides/slide1.xml", slide1},
                                                         {"ppt/slides/slide2.xml", "<p:sld/>"}}));
  const std::vector<std::string> lines = Lines(text);
  ASSERT_GT(lines.size(), 31u);
  EXPECT_NE(lines[30].find("last row"), std::string::npos);
  EXPECT_EQ(lines[31].substr(0, 100), Banner(2));
}

}  // namespace

namespace {

// Numeric character references were shown as they are written.
TEST_F(ConvertPptxTest, NumericCharacterReferencesAreDecoded) {
  const std::string slide = "<p:sld><p:sp><p:txBody><a:p><a:r><a:t>&#21335;&#x5009;&#24235; &#65;&#128512;</a:t></a:r></a:p>"
                            "</p:txBody></p:sp></p:sld>";
  const std::string text = ShowPath(Package("r.pptx", {{"ppt/slides/slide1.xml", slide}}));
  EXPECT_NE(text.find(Sjis("南倉庫 A?")), std::string::npos) << plat::Cp932ToUtf8(text);
}

}  // namespace

namespace {

// A deck of many slides without relationships parts took time growing with the
// square of its slides: every part was unpacked to a file, and each missing
// relationships part searched its folder. Parts are now read from the package in
// memory: the slides shown are read once each, a missing part costs no read, and
// nothing is written below the program folder.
TEST_F(ConvertPptxTest, ManySlidesWithoutRelationshipsAreReadOnceEachWithoutWorkFiles) {
  std::vector<std::pair<std::string, std::string>> members;
  for (int k = 1; k <= 400; ++k) {
    const std::string n = std::to_string(k);
    members.emplace_back("ppt/slides/slide" + n + ".xml",
                         "<p:sld><p:sp><p:txBody><a:p><a:r><a:t>slide " + n + "</a:t></a:r></a:p></p:txBody></p:sp></p:sld>");
  }
  DumpCall call;
  call.path = Package("many.pptx", members);
  ASSERT_TRUE(doc_->AllocateConvBuffer(1000));
  ASSERT_TRUE(doc_->ConvertPptx(call).ok());
  ASSERT_GT(doc_->m_nConvPos, 0);
  const std::string text(doc_->m_pConvBuf, static_cast<size_t>(doc_->m_nConvPos));
  EXPECT_NE(text.find("slide 199"), std::string::npos);  // the slides shown end at 199
  EXPECT_EQ(text.find("slide 200"), std::string::npos);
  EXPECT_EQ(doc_->PackagePartsRead(), 199);
  EXPECT_FALSE(plat::LinkStat(doc_->TmpFolder() + "\\XLSX"));
  // The load lets the package go.
  ShowPath(call.path);
  EXPECT_EQ(doc_->PackagePartsRead(), 0);
  EXPECT_FALSE(plat::LinkStat(doc_->TmpFolder() + "\\XLSX"));
}

}  // namespace
