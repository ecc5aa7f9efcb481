// XLSX drawings: groups of shapes and pictures made by LibreOffice at test time and
// placed against LibreOffice's own reading of the same workbook; legacy (VML)
// pictures, label widths and hostile drawings in parts written here.
#include <array>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "convert/ooxml/xlsx/XlsxDrawing.h"
#include "convert/ooxml/XmlPart.h"
#include "support/TestEnv.h"
#include "convert/ooxml/OoxmlTestSupport.h"

namespace {

using Objects = std::vector<XlsxDrawing::Object>;

std::string Converted(const std::string& utf8) {
  std::string out(utf8.size(), '\0');
  out.resize(XmlBytesToSjis(reinterpret_cast<const uint8_t*>(utf8.data()), utf8.size(), out.data()));
  return out;
}

// The 8 x 8 PNG of the shapes fixture, as its flat ODF embeds it (base64).
std::string FixturePng() {
  const std::string fods = testenv::ReadHostFile(testenv::DataPath("office/shapes.fods"));
  const size_t from = fods.find("<office:binary-data>") + 20;
  return fods.substr(from, fods.find('<', from) - from);
}

std::string Frame(const char* x, const char* y, const char* w, const char* h, const std::string& inner) {
  return std::string("<draw:frame svg:x=\"") + x + "\" svg:y=\"" + y + "\" svg:width=\"" + w + "\" svg:height=\"" + h + "\">" +
         inner + "</draw:frame>";
}
std::string TextBox(const char* x, const char* y, const std::string& text) {
  return Frame(x, y, "4cm", "1.5cm", "<draw:text-box><text:p>" + text + "</text:p></draw:text-box>");
}
std::string Picture(const char* x, const char* y) {
  return Frame(x, y, "1cm", "1cm", "<draw:image><office:binary-data>" + FixturePng() + "</office:binary-data></draw:image>");
}

// Columns 2 cm wide and rows 0.5 cm high, so that a place in cm names its cell.
std::string GroupsFods() {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
         "<office:document xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\""
         " xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\""
         " xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\""
         " xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\""
         " xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\""
         " xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\""
         " xmlns:fo=\"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0\""
         " office:version=\"1.2\" office:mimetype=\"application/vnd.oasis.opendocument.spreadsheet\">"
         "<office:automatic-styles>"
         "<style:style style:name=\"co1\" style:family=\"table-column\"><style:table-column-properties style:column-width=\"2cm\"/></style:style>"
         "<style:style style:name=\"ro1\" style:family=\"table-row\"><style:table-row-properties style:row-height=\"0.5cm\" "
         "style:use-optimal-row-height=\"false\"/></style:style>"
         "</office:automatic-styles><office:body><office:spreadsheet><table:table table:name=\"G\"><table:shapes>"
         "<draw:g>" + TextBox("1.2cm", "1.1cm", "グループのメモ") + Picture("7.2cm", "4.3cm") + "</draw:g>"
         "<draw:g>" + Picture("1.2cm", "8.1cm") + Picture("9.2cm", "10.1cm") + "</draw:g>"
         "<draw:g>" + TextBox("12.2cm", "1.1cm", "outer text") +
         "<draw:g>" + Picture("15.2cm", "3.3cm") + TextBox("13.2cm", "5.1cm", "inner text") + "</draw:g></draw:g>"
         "</table:shapes><table:table-column table:style-name=\"co1\" table:number-columns-repeated=\"20\"/>"
         "<table:table-row table:style-name=\"ro1\" table:number-rows-repeated=\"40\"><table:table-cell/></table:table-row>"
         "</table:table></office:spreadsheet></office:body></office:document>";
}

// A length of LibreOffice's flat ODF ("0.3937in", "1cm") in cm.
double Centimetres(const std::string& element, const std::string& attribute) {
  const size_t at = element.find(attribute + "=\"");
  if (at == std::string::npos) return -1;
  const std::string value = element.substr(at + attribute.size() + 2, 20);
  const double n = std::atof(value.c_str());
  return value.find("in") != std::string::npos && value.find("in") < value.find('"') ? n * 2.54 : n;
}

// LibreOffice's reading of the group members: each picture's middle cell and each
// text box's top-left cell, in the order of the file.
struct Expected {
  bool picture;
  int row, column;
};
std::vector<Expected> LibreOfficeCells(const std::string& fods) {
  std::vector<Expected> cells;
  for (size_t at = fods.find("<draw:g"); at != std::string::npos;) {
    const size_t frame = fods.find("<draw:frame", at), shape = fods.find("<draw:custom-shape", at);
    at = std::min(frame, shape);
    if (at == std::string::npos) break;
    const std::string element = fods.substr(at, fods.find('>', at) - at);
    const bool picture = at == frame;
    const double x = Centimetres(element, "svg:x") + (picture ? Centimetres(element, "svg:width") / 2 : 0);
    const double y = Centimetres(element, "svg:y") + (picture ? Centimetres(element, "svg:height") / 2 : 0);
    cells.push_back({picture, static_cast<int>(std::floor(y / 0.5)), static_cast<int>(std::floor(x / 2.0))});
    ++at;
  }
  return cells;
}

class XlsxDrawingTest : public ooxmltest::OoxmlTest {
 protected:
  std::string Soffice(const std::string& to, const std::string& file) {
    testenv::Shell("cd " + testenv::Quote(dir_.Host()) + " && soffice -env:UserInstallation=file://" + dir_.HostPath("profile") +
                   " --headless --convert-to " + to + " --outdir out " + testenv::Quote(file) + " >/dev/null 2>&1");
    return dir_.HostPath("out/" + file.substr(0, file.rfind('.')) + "." + to);
  }
  std::string Member(const std::string& hostZip, const std::string& member) {
    return testenv::Shell("unzip -p " + testenv::Quote(hostZip) + " " + testenv::Quote(member));
  }
};

// A group holding a text box and a picture showed the picture only, and a group of
// two pictures one label: one object was made per anchor. Each member is an object
// of its own, placed where LibreOffice reads it.
TEST_F(XlsxDrawingTest, GroupTextBesidePictureAndEveryGroupPictureAreKept) {
  SKIP_WITHOUT_PROGRAM("soffice");
  SKIP_WITHOUT_PROGRAM("unzip");
  testenv::WriteHostFile(dir_.HostPath("groups.fods"), GroupsFods());
  const std::string xlsx = Soffice("xlsx", "groups.fods");
  testenv::Shell("cp " + testenv::Quote(xlsx) + " " + testenv::Quote(dir_.HostPath("groups.xlsx")));
  const std::vector<Expected> expected = LibreOfficeCells(testenv::ReadHostFile(Soffice("fods", "groups.xlsx")));
  ASSERT_EQ(expected.size(), 7u);

  XlsxDrawing drawing;
  drawing.ReadRelations(Converted(Member(xlsx, "xl/drawings/_rels/drawing1.xml.rels")), false);
  const Objects objects = drawing.Read(Converted(Member(xlsx, "xl/drawings/drawing1.xml")), {});
  ASSERT_EQ(objects.size(), expected.size());
  const char* texts[] = {"グループのメモ", "", "", "", "outer text", "", "inner text"};
  for (size_t i = 0; i < objects.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(objects[i].row, expected[i].row);
    EXPECT_EQ(objects[i].column, expected[i].column);
    if (expected[i].picture) EXPECT_EQ(objects[i].text.rfind("[image", 0), 0u) << objects[i].text;
    else EXPECT_NE(objects[i].text.find(ooxmltest::Sjis(texts[i])), std::string::npos) << objects[i].text;
  }
  EXPECT_EQ(objects[0].text, ooxmltest::Sjis("(A03): グループのメモ"));

  // The whole road: the group's text and all four labels are shown.
  const std::string text = ShowPath(Win("groups.xlsx"));
  EXPECT_NE(text.find(ooxmltest::Sjis("グループのメモ")), std::string::npos);
  EXPECT_NE(text.find("inner text"), std::string::npos);
  size_t labels = 0;
  for (size_t at = text.find("[image"); at != std::string::npos; at = text.find("[image", at + 1)) ++labels;
  EXPECT_EQ(labels, 4u);
}

const char* const kDrawingHead =
    "<xdr:wsDr xmlns:xdr=\"x\" xmlns:a=\"a\" xmlns:r=\"r\" xmlns:mc=\"m\" xmlns:a14=\"b\">";

std::string Anchor(int column, int row, int toColumn, int toRow, const std::string& body) {
  auto cell = [](const char* tag, int c, int r) {
    return std::string("<xdr:") + tag + "><xdr:col>" + std::to_string(c) + "</xdr:col><xdr:colOff>0</xdr:colOff><xdr:row>" +
           std::to_string(r) + "</xdr:row><xdr:rowOff>0</xdr:rowOff></xdr:" + tag + ">";
  };
  return "<xdr:twoCellAnchor>" + cell("from", column, row) + cell("to", toColumn, toRow) + body + "<xdr:clientData/></xdr:twoCellAnchor>";
}
std::string Xfrm(const std::string& inner) { return "<a:xfrm>" + inner + "</a:xfrm>"; }
std::string Box(long x, long y, long cx, long cy) {
  return "<a:off x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(y) + "\"/><a:ext cx=\"" + std::to_string(cx) + "\" cy=\"" +
         std::to_string(cy) + "\"/>";
}
std::string Group(const std::string& frame, const std::string& members) {
  return "<xdr:grpSp><xdr:nvGrpSpPr/><xdr:grpSpPr>" + frame + "</xdr:grpSpPr>" + members + "</xdr:grpSp>";
}
std::string Shape(const std::string& frame, const std::string& text, const std::string& spid = "") {
  const std::string ext = spid.empty() ? "" : "<a:extLst><a:ext uri=\"u\"><a14:compatExt spid=\"" + spid + "\"/></a:ext></a:extLst>";
  return "<xdr:sp><xdr:nvSpPr><xdr:cNvPr id=\"2\" name=\"s\">" + ext + "</xdr:cNvPr></xdr:nvSpPr><xdr:spPr>" + frame +
         "</xdr:spPr>" + (text.empty() ? "" : "<xdr:txBody><a:p><a:r><a:t>" + text + "</a:t></a:r></a:p></xdr:txBody>") + "</xdr:sp>";
}
std::string Pic(const std::string& frame, int relation) {
  return "<xdr:pic><xdr:blipFill><a:blip r:embed=\"rId" + std::to_string(relation) + "\"/></xdr:blipFill><xdr:spPr>" + frame +
         "</xdr:spPr></xdr:pic>";
}

// Shapes that refer to the legacy drawing by their shape number ("_x0000_s1025")
// take the picture of its VML shape, named by the legacy drawing's relations; a
// shape without a VML picture keeps its text.
TEST_F(XlsxDrawingTest, LegacyPictureReferencesNameTheirMedia) {
  SKIP_WITHOUT_PROGRAM("zip");
  const std::string drawing = std::string(kDrawingHead) +
                              "<mc:AlternateContent><mc:Choice Requires=\"a14\">" +
                              Anchor(2, 4, 4, 9, Shape(Xfrm(Box(0, 0, 100, 100)), "", "_x0000_s1025")) +
                              "</mc:Choice><mc:Fallback/></mc:AlternateContent>" +
                              Anchor(5, 1, 6, 2, Shape(Xfrm(Box(0, 0, 100, 100)), "Button 1", "_x0000_s1026")) +
                              Anchor(0, 12, 1, 13, Pic(Xfrm(Box(0, 0, 100, 100)), 1)) + "</xdr:wsDr>";
  const std::string vml =
      "<xml xmlns:v=\"v\" xmlns:o=\"o\"><v:shapetype id=\"_x0000_t75\"><v:imagedata o:relid=\"rId9\"/></v:shapetype>"
      "<v:shape id=\"_x0000_s1025\" type=\"#_x0000_t75\"><v:imagedata o:relid=\"rId1\" o:title=\"\"/></v:shape>"
      "<v:shape id=\"_x0000_s1026\" type=\"#_x0000_t201\"><x:ClientData ObjectType=\"Button\"/></v:shape></xml>";
  const std::string drawingRels = "<Relationships><Relationship Id=\"rId1\" Target=\"../media/image1.png\"/></Relationships>";
  const std::string vmlRels = "<Relationships><Relationship Id=\"rId1\" Target=\"../media/image2.emf\"/></Relationships>";

  XlsxDrawing objects;
  objects.ReadRelations(drawingRels, false);
  objects.ReadRelations(vmlRels, true);
  objects.ReadLegacy(vml);
  const Objects read = objects.Read(drawing, {});
  ASSERT_EQ(read.size(), 3u);
  EXPECT_EQ(read[0].text, "[image2.emf]");
  EXPECT_EQ(read[1].text, "(F02): Button 1");
  EXPECT_EQ(read[2].text, "[image1.png]");
  EXPECT_EQ(read[0].row, 4);
  EXPECT_EQ(read[0].column, 2);

  // The whole road: the sheet's relations name both drawings.
  const std::string book = Package(
      "legacy.xlsx",
      {{"xl/workbook.xml", "<workbook><sheets><sheet name=\"L\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
       {"xl/_rels/workbook.xml.rels", "<Relationships><Relationship Id=\"rId1\" Target=\"worksheets/sheet1.xml\"/></Relationships>"},
       {"xl/worksheets/sheet1.xml", "<worksheet><sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>cell</t></is></c></row>"
                                    "</sheetData><drawing r:id=\"rId1\"/><legacyDrawing r:id=\"rId2\"/></worksheet>"},
       {"xl/worksheets/_rels/sheet1.xml.rels",
        "<Relationships><Relationship Id=\"rId1\" Target=\"../drawings/drawing1.xml\"/>"
        "<Relationship Id=\"rId2\" Target=\"../drawings/vmlDrawing1.vml\"/></Relationships>"},
       {"xl/drawings/drawing1.xml", drawing},
       {"xl/drawings/_rels/drawing1.xml.rels", drawingRels},
       {"xl/drawings/vmlDrawing1.vml", vml},
       {"xl/drawings/_rels/vmlDrawing1.vml.rels", vmlRels}});
  const std::string text = ShowPath(book);
  EXPECT_NE(text.find("[image2.emf]"), std::string::npos) << text;
  EXPECT_NE(text.find("(F02): B"), std::string::npos);  // wrapped at its column's edge
  EXPECT_NE(text.find("utton 1"), std::string::npos);
  EXPECT_NE(text.find("[image1.png]"), std::string::npos);
}

// Picture labels were not padded: a label is filled with blanks to its column's
// width, or to its column's and the next one's when it is longer than its own.
TEST_F(XlsxDrawingTest, PictureLabelsArePaddedToTheColumnWidth) {
  std::array<unsigned char, 256> widths{};
  widths[1] = 8, widths[2] = 6, widths[3] = 20;
  struct Case {
    const char* media;
    int column;
    bool labels;
    std::string shown;
  };
  const Case cases[] = {
      {"a.png", 0, true, "[a.png] "},
      {"pic-1.png", 0, true, "[pic-1.png]   "},
      {"a-much-longer-name.png", 0, true, "[a-much-longer-name.png]"},
      {"b.png", 2, true, "[b.png]" + std::string(13, ' ')},
      {"b.png", 300, true, "[b.png]"},
      {"a.png", 0, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.media + std::string(" ") + std::to_string(c.column));
    XlsxDrawing drawing;
    drawing.ReadRelations(std::string("<Relationship Id=\"rId3\" Target=\"../media/") + c.media + "\"/>", false);
    XlsxDrawing::Settings settings;
    settings.widths = &widths;
    settings.pictureLabels = c.labels;
    const Objects read = drawing.Read(std::string(kDrawingHead) + Anchor(c.column, 0, c.column, 0, Pic("", 3)), settings);
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].text, c.shown);
  }
}

// Hostile drawings: groups with no frame, nested beyond the limit, members outside
// their anchor, unclosed elements and object floods keep to their bounds.
TEST_F(XlsxDrawingTest, HostileDrawingsKeepTheirBounds) {
  std::string deep = Shape(Xfrm(Box(10, 10, 1, 1)), "deep");
  for (int i = 0; i < 40; ++i) deep = Group(Xfrm(Box(0, 0, 100, 100) + "<a:chOff x=\"0\" y=\"0\"/><a:chExt cx=\"100\" cy=\"100\"/>"), deep);
  std::string flood;
  for (int i = 0; i < 300; ++i) flood += Pic("", 1);
  std::string frames;
  for (int i = 0; i < 40; ++i) frames += "<xdr:grpSp><a:xfrm>";
  struct Case {
    const char* what;
    std::string body;
    std::vector<std::string> texts;
    std::vector<std::pair<int, int>> places;
  };
  const Case cases[] = {
      {"picture without r:embed", Anchor(1, 1, 1, 1, "<xdr:pic><xdr:blipFill><a:blip/></xdr:blipFill></xdr:pic>"), {"[Image]"}, {{1, 1}}},
      {"group without a frame: shape at the start, picture in the middle",
       Anchor(2, 10, 6, 20, Group("", Shape(Xfrm(Box(5, 5, 1, 1)), "t") + Pic(Xfrm(Box(5, 5, 1, 1)), 1))), {"(C11): t", "[Image]"},
       {{10, 2}, {15, 4}}},
      {"members outside the anchor fall back",
       Anchor(2, 10, 6, 20, Group(Xfrm(Box(0, 0, 100, 100)), Shape(Xfrm(Box(-50, 500, 1, 1)), "t") + Pic(Xfrm(Box(900, 5, 1, 1)), 1))),
       {"(C11): t", "[Image]"}, {{10, 2}, {15, 4}}},
      {"a member at the far corner", Anchor(2, 10, 6, 20, Group(Xfrm(Box(0, 0, 100, 100)), Shape(Xfrm(Box(100, 100, 0, 0)), "t"))),
       {"(G21): t"}, {{20, 6}}},
      {"groups nested past the limit", Anchor(0, 0, 10, 10, deep), {"(B02): deep"}, {{1, 1}}},
      {"unclosed members, groups and anchors",
       Anchor(0, 0, 0, 0, "<xdr:grpSp><xdr:sp><a:t>open") + "<xdr:oneCellAnchor><xdr:from><xdr:col>3</xdr:col></xdr:from><xdr:pic>",
       {"(A01): open", "[Image]"}, {{0, 0}, {0, 3}}},
      {"group frames opened and never closed", Anchor(0, 0, 3, 3, frames + Shape(Xfrm(Box(1, 1, 1, 1)), "x")), {"(A01): x"}, {{0, 0}}},
      {"lengths past 64 bits",
       Anchor(0, 0, 9, 9, Group(Xfrm(Box(0, 0, 1, 1) + "<a:chExt cx=\"99999999999999999999999\" cy=\"1\"/>"),
                                Shape(Xfrm(Box(99999999, 999999999, 1, 1)), "far"))),
       {"(A01): far"}, {{0, 0}}},
      {"a column of ten digits overflowed the label's width look-up",
       "<xdr:oneCellAnchor><xdr:from><xdr:col>8888888888</xdr:col><xdr:row>-8888888888</xdr:row></xdr:from>" + Pic("", 1),
       {"[Image]"}, {{0, 16384}}},
  };
  // Columns of width 0: every label's width is looked up, none is padded.
  const std::array<unsigned char, 256> noWidths{};
  XlsxDrawing::Settings widths;
  widths.widths = &noWidths;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Objects read = XlsxDrawing().Read(std::string(kDrawingHead) + c.body, widths);
    ASSERT_EQ(read.size(), c.texts.size());
    for (size_t i = 0; i < read.size(); ++i) {
      EXPECT_EQ(read[i].text, c.texts[i]);
      EXPECT_EQ(std::make_pair(read[i].row, read[i].column), c.places[i]);
    }
  }
  XlsxDrawing::Settings settings;
  settings.room = 200;
  EXPECT_EQ(XlsxDrawing().Read(std::string(kDrawingHead) + Anchor(0, 0, 1, 1, flood), settings).size(), 200u);
}

// A picture without r:embed ended the program: the search for it ran past the part.
TEST_F(XlsxDrawingTest, PictureWithoutEmbedDoesNotEndTheProgram) {
  SKIP_WITHOUT_PROGRAM("zip");
  const std::string book = Package(
      "noembed.xlsx",
      {{"xl/workbook.xml", "<workbook><sheets><sheet name=\"N\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
       {"xl/_rels/workbook.xml.rels", "<Relationships><Relationship Id=\"rId1\" Target=\"worksheets/sheet1.xml\"/></Relationships>"},
       {"xl/worksheets/sheet1.xml", "<worksheet><sheetData><row r=\"1\"><c t=\"inlineStr\"><is><t>cell</t></is></c></row></sheetData></worksheet>"},
       {"xl/drawings/drawing1.xml", std::string(kDrawingHead) + Anchor(1, 1, 2, 2, "<xdr:pic><xdr:nvPicPr/></xdr:pic>") + "</xdr:wsDr>"}});
  EXPECT_NE(ShowPath(book).find("[Image]"), std::string::npos);
}

}  // namespace
