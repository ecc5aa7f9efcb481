// Faults found on real files, each with the small PDF that shows it, compared with
// pdftotext's reading of the same file where it has one.
#include <algorithm>

#include "PdfTestSupport.h"
#include "app/QelDoc.h"
#include "app/StringTable.h"
#include "convert/ConvertState.h"

namespace pdftest {
namespace {

using testenv::Quote;
using testenv::Shell;

const std::string kCatalog = "<< /Type /Catalog /Pages 2 0 R >>";

// A one-page document: the page's resources and content, then further objects from 5 on.
std::string OnePage(const std::string& resources, const std::string& content, const std::vector<std::string>& more = {},
                    const std::string& pageEntries = "") {
  std::vector<std::string> objects = {kCatalog, "<< /Type /Pages /Kids [3 0 R] /Count 1 " + pageEntries + ">>",
                                      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources " + resources + " /Contents 4 0 R >>",
                                      Stream("", content)};
  objects.insert(objects.end(), more.begin(), more.end());
  return MakePdf(objects);
}

// A Type1 font with a one-byte ToUnicode map (object toUnicode), every glyph half an em wide.
std::string SimpleFont(int toUnicode, const std::string& extra = "") {
  std::string widths;
  for (int i = 0; i < 255; ++i) widths += " 500";
  return "<< /Type /Font /Subtype /Type1 /BaseFont /ABCDEF+Times /FirstChar 1 /LastChar 255 /Widths [" + widths + "] " + extra +
         " /ToUnicode " + std::to_string(toUnicode) + " 0 R >>";
}

std::string Cmap(const std::string& entries) {
  return Stream("", "/CIDInit /ProcSet findresource begin 12 dict begin begincmap\n1 begincodespacerange <00> <FF> endcodespacerange\n" +
                        entries + "\nendcmap CMapName currentdict /CMap defineresource pop end end");
}

class PdfFaults : public PdfTest {
 protected:
  // Our words and pdftotext's for the same file.
  void Compare(const std::string& name, const std::string& pdf, std::vector<std::string>* ours, std::vector<std::string>* theirs) {
    const std::string path = WriteFile(name, pdf);
    *ours = Tokens(Load(path));
    *theirs = Tokens(Shell("pdftotext -layout " + Quote(dir_.HostPath(name)) + " -"));
  }
};

TEST_F(PdfFaults, FormNamedWithoutDigitsIsDrawn) {
  SKIP_WITHOUT_PROGRAM("pdftotext");
  // The page draws a form by a name without digits (/ARRS) beside two pictures; the
  // form has its own fonts (Differences encodings with ToUnicode maps), a Flate
  // filter in an array, an indirect length, and codes that are control bytes.
  std::string codes, map;
  const std::string words = "Tenet text test of the form";
  for (size_t i = 0; i < words.size(); ++i) {
    char code[8], entry[32];
    std::snprintf(code, sizeof code, "\\%03o", static_cast<unsigned>(i + 2));
    std::snprintf(entry, sizeof entry, "<%02X> <%04X>\n", static_cast<unsigned>(i + 2), static_cast<unsigned char>(words[i]));
    codes += code;
    map += entry;
  }
  const std::string formContent =
      "/GS1 gs BT /F1 1 Tf 8.2326 0 0 8.2326 91.1 765.4 Tm /Cs8 cs 1 scn .0001 Tc .0002 Tw [(" + codes + ")] TJ ET";
  const std::string packed = Deflate(formContent);
  const std::string form = "<< /Type /XObject /Subtype /Form /BBox [0 0 612 792] /Resources << /Font << /F1 9 0 R >> "
                           "/ExtGState << /GS1 << /Type /ExtGState /SA false >> >> /ColorSpace << /Cs8 [/Indexed /DeviceRGB 1 <000000FFFFFF>] >> >> "
                           "/Filter [ /FlateDecode ] /Length 12 0 R >>\nstream\n" + packed + "\nendstream";
  const std::string image = Stream("/Type /XObject /Subtype /Image /Width 16 /Height 16 /ColorSpace /DeviceGray /BitsPerComponent 8",
                                   std::string(256, '\x80'));
  const std::string pdf = OnePage("<< /XObject << /ARRS 5 0 R /Im1 6 0 R /Im2 7 0 R >> /Font << /F2 8 0 R >> >>",
                                  "q 1 0 0 1 0 0 cm /ARRS Do Q q 16 0 0 16 72 72 cm /Im1 Do Q q 16 0 0 16 172 72 cm /Im2 Do Q "
                                  "BT /F2 10 Tf 72 40 Td (Footer line) Tj ET",
                                  {form, image, image, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
                                   SimpleFont(11, "/Encoding 10 0 R"), "<< /Type /Encoding /Differences [2 /T /e] >>",
                                   Cmap(std::to_string(words.size()) + " beginbfchar\n" + map + "endbfchar"),
                                   std::to_string(packed.size())});
  std::vector<std::string> ours, theirs;
  Compare("form.pdf", pdf, &ours, &theirs);
  ASSERT_GE(theirs.size(), 8u);
  EXPECT_GE(OrderedRecall(ours, theirs), 0.95) << testing::PrintToString(ours) << testing::PrintToString(theirs);
}

std::string Type0(const std::string& encoding, int toUnicode) {
  return "<< /Type /Font /Subtype /Type0 /BaseFont /ABCDEF+NotoSansCJKjp-Bold /Encoding /" + encoding +
         " /DescendantFonts [7 0 R] /ToUnicode " + std::to_string(toUnicode) + " 0 R >>";
}

const std::string kCidFont =
    "<< /Type /Font /Subtype /CIDFontType0 /BaseFont /ABCDEF+NotoSansCJKjp-Bold "
    "/CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >> /DW 1000 >>";

std::string WideCmap(const std::string& entries) {
  return Stream("", "/CIDInit /ProcSet findresource begin 12 dict begin begincmap\n1 begincodespacerange <0000> <FFFF> endcodespacerange\n" +
                        entries + "\nendcmap CMapName currentdict /CMap defineresource pop end end");
}

TEST_F(PdfFaults, VerticalCidCodesAboveHalfTheRangeUseTheirMap) {
  // Vertical glyphs of a large CID font have high codes; the map gives their
  // characters, and a vertical presentation form reads as its ordinary character.
  const std::string pdf = OnePage("<< /Font << /F1 5 0 R /F2 6 0 R >> >>",
                                  "BT /F1 12 Tf 300 700 Td <E001E002E003E004> Tj ET BT /F2 12 Tf 72 500 Td <E001E002E003> Tj ET",
                                  {Type0("Identity-V", 8), Type0("Identity-H", 8), kCidFont,
                                   WideCmap("4 beginbfchar <E001> <3042> <E002> <65E5> <E003> <672C> <E004> <FE12> endbfchar")});
  const std::string text = LoadBytes("vertical.pdf", pdf);
  EXPECT_EQ(text.find("\xE2\x96\xA0"), std::string::npos) << text;  // no ■
  // Down the canvas in one place: あ, 日, 本, then the full stop in its vertical form.
  std::vector<std::string> lines;
  for (size_t at = 0, end; at < text.size(); at = end + 2) {
    end = std::min(text.find("\r\n", at), text.size());
    lines.push_back(text.substr(at, end - at));
  }
  ASSERT_GE(lines.size(), 5u) << text;
  const size_t column = lines[0].find("\xE3\x81\x82");
  ASSERT_NE(column, std::string::npos) << text;
  EXPECT_EQ(lines[1].find("\xE6\x97\xA5"), column);
  EXPECT_EQ(lines[2].find("\xE6\x9C\xAC"), column);
  EXPECT_NE(lines[3].find("\xEF\xBD\xA1"), std::string::npos);  // the half-width full stop of vertical text
  EXPECT_NE(text.find("\xE3\x81\x82\xE6\x97\xA5\xE6\x9C\xAC"), std::string::npos);  // the same codes across
}

// Lines of Latin text down a page.
std::string Lines(double x, double top, int count) {
  std::string content = "BT /F1 12 Tf 14 TL " + std::to_string(x) + " " + std::to_string(top) + " Td ";
  for (int i = 0; i < count; ++i) content += "(Line " + std::to_string(i + 1) + " holds several plain words) Tj T* ";
  return content + "ET";
}

const std::string kHelvetica = "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>";

TEST_F(PdfFaults, PageTurnedByRotateKeepsItsWords) {
  SKIP_WITHOUT_PROGRAM("pdftotext");
  SKIP_WITHOUT_PROGRAM("qpdf");
  WriteFile("upright.pdf", OnePage("<< /Font << /F1 5 0 R >> >>", Lines(72, 700, 6), {kHelvetica}));
  Shell("qpdf --rotate=+90 " + Quote(dir_.HostPath("upright.pdf")) + " " + Quote(dir_.HostPath("turned.pdf")));
  const std::vector<std::string> ours = Tokens(Load(Win("turned.pdf")));
  const std::vector<std::string> theirs = Tokens(Shell("pdftotext -layout " + Quote(dir_.HostPath("turned.pdf")) + " -"));
  ASSERT_GE(theirs.size(), 30u);
  EXPECT_GE(OrderedRecall(ours, theirs), 0.95) << testing::PrintToString(ours);
}

TEST_F(PdfFaults, TurnedLabelKeepsItsLetters) {
  // A label turned by its matrix on an upright page: its Latin letters stay one word.
  const std::string text = LoadBytes("label.pdf", OnePage("<< /Font << /F1 5 0 R >> >>",
                                                          "BT /F1 12 Tf 0 1 -1 0 300 400 Tm (Label) Tj ET", {kHelvetica}));
  EXPECT_EQ(Tokens(text), (std::vector<std::string>{"Label"})) << text;
}

TEST_F(PdfFaults, RestoreBringsBackTheFont) {
  SKIP_WITHOUT_PROGRAM("pdftotext");
  // The font chosen inside q ... Q is given up at Q: the text after it is in F1 again.
  const std::string pdf = OnePage("<< /Font << /F1 5 0 R /F2 6 0 R >> >>",
                                  "BT /F1 12 Tf 72 700 Td (Hello) Tj ET q BT /F2 12 Tf 72 650 Td <0001> Tj ET Q BT 72 600 Td (World) Tj ET",
                                  {kHelvetica, Type0("Identity-H", 8), kCidFont, WideCmap("1 beginbfchar <0001> <0058> endbfchar")});
  std::vector<std::string> ours, theirs;
  Compare("restore.pdf", pdf, &ours, &theirs);
  EXPECT_EQ(theirs, (std::vector<std::string>{"Hello", "X", "World"}));
  EXPECT_EQ(ours, theirs);
}

TEST_F(PdfFaults, RotationInheritedFromPagesIsKept) {
  SKIP_WITHOUT_PROGRAM("pdftotext");
  // The /Rotate of the page tree's node holds for its pages: text set upright for
  // the turned page reads in lines.
  std::string content = "BT /F1 12 Tf ";
  for (int i = 0; i < 5; ++i) content += "0 1 -1 0 " + std::to_string(500 - 20 * i) + " 72 Tm (Turned line " + std::to_string(i + 1) + " with words) Tj ";
  content += "ET";
  std::vector<std::string> ours, theirs;
  Compare("inherited.pdf", OnePage("<< /Font << /F1 5 0 R >> >>", content, {kHelvetica}, "/Rotate 90 "), &ours, &theirs);
  ASSERT_GE(theirs.size(), 20u);
  EXPECT_GE(OrderedRecall(ours, theirs), 0.95) << testing::PrintToString(ours) << testing::PrintToString(theirs);
}

// The page's text with its line ends, from the first character to the last.
std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \r\n");
  const size_t last = text.find_last_not_of(" \r\n");
  return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

TEST_F(PdfFaults, ShiftJisWrittenAsEscapesIsJapanese) {
  // A font without a map or a one-byte flag, its Shift-JIS bytes written as octal escapes.
  const std::string font = "<< /Type /Font /Subtype /TrueType /BaseFont /MS-Mincho >>";
  const std::string text = LoadBytes("escapes.pdf", OnePage("<< /Font << /F1 5 0 R >> >>",
                                                            "BT /F1 12 Tf 72 700 Td (\\223\\372\\226\\173\\214\\352) Tj ET", {font}));
  EXPECT_EQ(Trimmed(text), "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E");  // 日本語
}

TEST_F(PdfFaults, LigatureEscapesBecomeLetters) {
  SKIP_WITHOUT_PROGRAM("pdftotext");
  std::vector<std::string> ours, theirs;
  Compare("ligatures.pdf", OnePage("<< /Font << /F1 5 0 R >> >>", "BT /F1 12 Tf 72 700 Td (\\256nd the \\257ow) Tj ET", {kHelvetica}),
          &ours, &theirs);
  EXPECT_EQ(theirs, (std::vector<std::string>{"find", "the", "flow"}));
  EXPECT_EQ(ours, theirs);
  // The en dash and the double quote of the same escapes.
  const std::string text = LoadBytes("signs.pdf", OnePage("<< /Font << /F1 5 0 R >> >>", "BT /F1 12 Tf 72 700 Td (a\\261b \\262c\\262) Tj ET", {kHelvetica}));
  EXPECT_EQ(Trimmed(text), "a-b \"c\"");
}

TEST_F(PdfFaults, WordIsNeverSplitByItsGlyphsPlacement) {
  SKIP_WITHOUT_PROGRAM("pdftotext");
  // A standard font without /Widths, its word continued by a run set at the exact
  // place; and a blank drawn on its own where a later word's glyph falls.
  const std::string content =
      "BT /F1 12 Tf 72 700 Td (ABC para) Tj ET BT /F1 12 Tf 124.02 700 Td (graph) Tj ET "
      "BT /F1 12 Tf 72 650 Td (Second) Tj ET BT /F1 12 Tf 120.7 650 Td ( ) Tj ET BT /F1 12 Tf 113.4 650 Td (paragraph) Tj ET";
  std::vector<std::string> ours, theirs;
  Compare("split.pdf", OnePage("<< /Font << /F1 5 0 R >> >>", content, {kHelvetica}), &ours, &theirs);
  EXPECT_EQ(theirs, (std::vector<std::string>{"ABC", "paragraph", "Second", "paragraph"}));
  EXPECT_EQ(ours, theirs);
}

TEST_F(PdfFaults, TjNumbersLeaveTheirBlanks) {
  SKIP_WITHOUT_PROGRAM("pdftotext");
  // -600 is two blanks; a quarter em at 1 Tf scaled by the matrix still parts words.
  const std::string content = "BT /F1 12 Tf 72 700 Td [(AB)-600(CD)] TJ ET "
                              "BT /F1 1 Tf 8.2326 0 0 8.2326 72 600 Tm [(Tenet)-250(text)-250(test)] TJ ET";
  const std::string pdf = OnePage("<< /Font << /F1 5 0 R >> >>", content, {kHelvetica});
  std::vector<std::string> ours, theirs;
  Compare("tj.pdf", pdf, &ours, &theirs);
  EXPECT_EQ(ours, theirs);
  EXPECT_NE(LoadBytes("tj.pdf", pdf).find("AB  CD"), std::string::npos);
}

TEST_F(PdfFaults, DifferencesNamesOfSignsAndAccents) {
  const std::string font = "<< /Type /Font /Subtype /Type1 /BaseFont /Y /LastChar 255 /Encoding 6 0 R >>";
  const std::string text = LoadBytes("signs.pdf", OnePage("<< /Font << /F1 5 0 R >> >>", "BT /F1 12 Tf 72 700 Td (\\001\\002\\003) Tj ET",
                                                          {font, "<< /Type /Encoding /Differences [1 /copyright /registered /acute] >>"}));
  EXPECT_EQ(Trimmed(text), "CR`");
}

TEST_F(PdfFaults, WordGapLimitDecidesTheBlanks) {
  // Two runs 1.2 em apart: within a limit of 2 em one blank, beyond the default
  // limit of 0.85 em each run stands at its own column.
  const std::string pdf = OnePage("<< /Font << /F1 5 0 R >> >>",
                                  "BT /F1 12 Tf 72 700 Td (left) Tj ET BT /F1 12 Tf 107.43 700 Td (right) Tj ET", {kHelvetica});
  EXPECT_EQ(Trimmed(LoadBytes("gap.pdf", pdf)).find("left  "), 0u);
  doc_->Convert().m_nPdfWordGapLimit = 200;
  EXPECT_EQ(Trimmed(LoadBytes("gap.pdf", pdf)), "left right");
}

TEST_F(PdfFaults, Type1FontWithMapReadsSingleBytes) {
  SKIP_WITHOUT_PROGRAM("pdftotext");
  // A Type1 font with a ToUnicode map and no /LastChar: its codes are single bytes.
  const std::string font = "<< /Type /Font /Subtype /Type1 /BaseFont /ABCDEF+Serif /ToUnicode 6 0 R >>";
  std::vector<std::string> ours, theirs;
  Compare("type1.pdf", OnePage("<< /Font << /F1 5 0 R >> >>", "BT /F1 12 Tf 72 700 Td (\\001\\002\\003\\004) Tj ET",
                               {font, Cmap("1 beginbfrange <01> <04> <0057> endbfrange")}), &ours, &theirs);
  EXPECT_EQ(theirs, (std::vector<std::string>{"WXYZ"}));
  EXPECT_EQ(ours, theirs);
}

TEST_F(PdfFaults, FullCanvasKeepsTheContinuedText) {
  // Pages past a full canvas: the status pane keeps the page count the road wrote.
  doc_->m_nTableRows = 620;
  const std::string page = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 5 0 R >> >> /Contents 4 0 R >>";
  const std::string text = LoadBytes("full.pdf", MakePdf({kCatalog, "<< /Type /Pages /Kids [3 0 R 6 0 R 7 0 R] /Count 3 >>", page,
                                                          Stream("", "BT /F1 12 Tf 72 700 Td (Hello) Tj ET"), kHelvetica, page, page}));
  ASSERT_EQ(doc_->m_bPartialLoad, 1) << text;
  const std::string pane = frame_->StatusBar().GetPaneText(0);
  EXPECT_EQ(pane.rfind("Page No. = ", 0), 0u) << pane;
  EXPECT_NE(pane.find("  continued"), std::string::npos) << pane;
}

TEST_F(PdfFaults, TableViewMarksAscii85DataAndStopsAfterFiftyBlanks) {
  // The content stream as ASCII85: its line in the listing, and the run cut after 50 blanks.
  doc_->m_nCsvMode = 2;
  std::string a85;
  {
    const std::string plain = "BT /F1 12 Tf 72 700 Td (A" + std::string(60, ' ') + "B) Tj ET";
    for (size_t i = 0; i < plain.size(); i += 4) {
      uint32_t v = 0;
      const size_t n = std::min<size_t>(4, plain.size() - i);
      for (size_t k = 0; k < 4; ++k) v = v << 8 | (k < n ? static_cast<uint8_t>(plain[i + k]) : 0);
      char digits[5];
      for (int k = 4; k >= 0; --k) {
        digits[k] = static_cast<char>('!' + v % 85);
        v /= 85;
      }
      a85.append(digits, n + 1);
    }
    a85 += "~>";
  }
  const std::string pdf = MakePdf({kCatalog, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                                   "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 5 0 R >> >> /Contents 4 0 R >>",
                                   Stream("/Filter /ASCII85Decode", a85), kHelvetica});
  const std::string listed = LoadBytes("a85.pdf", pdf);
  const size_t note = listed.find("[ASCII85 data] ");
  ASSERT_NE(note, std::string::npos) << listed;
  EXPECT_TRUE(note == 0 || listed[note - 1] == '\n') << listed;
  EXPECT_NE(listed.find(":A"), std::string::npos) << listed;
  EXPECT_EQ(listed.find("B"), std::string::npos) << listed;
}

TEST_F(PdfFaults, CmapFillsTheCodesJustBelowAMappedOne) {
  // After a code-space range, the 30 empty codes below a mapped one run on to it;
  // the 31st stays as it is.
  const std::string pdf = OnePage("<< /Font << /F1 5 0 R >> >>", "BT /F1 12 Tf 72 700 Td <0022003E003F00400041> Tj ET",
                                  {Type0("Identity-H", 8), "", kCidFont, WideCmap("1 beginbfchar <0041> <3044> endbfchar")});
  EXPECT_EQ(Trimmed(LoadBytes("fill.pdf", pdf)), "\"\xE3\x81\x81\xE3\x81\x82\xE3\x81\x83\xE3\x81\x84");  // "ぁあぃい
}

TEST_F(PdfFaults, OneByteCmapFontWithoutLastCharReadsSingleBytes) {
  SKIP_WITHOUT_PROGRAM("pdftotext");
  // A TrueType font with neither /LastChar nor /Widths whose ToUnicode map gives
  // one-byte codes: its bytes are characters of their own, not pairs. The second
  // range of the block, the list form and a long destination before a later entry
  // are kept as well.
  const std::string font = "<< /Type /Font /Subtype /TrueType /BaseFont /ABCDEF+Arial /ToUnicode 6 0 R >>";
  const std::string map = Cmap("3 beginbfrange <41> <43> <0061> <44> <45> [<0078> <0079>] <46> <46> <0066>\nendbfrange\n"
                               "2 beginbfchar <47> <00660069> <48> <007A> endbfchar");
  std::vector<std::string> ours, theirs;
  Compare("onebyte.pdf", OnePage("<< /Font << /F1 5 0 R >> >>", "BT /F1 12 Tf 72 700 Td (ABCDEFH) Tj ET", {font, map}), &ours, &theirs);
  EXPECT_EQ(theirs, (std::vector<std::string>{"abcxyfz"}));
  EXPECT_EQ(ours, theirs);
}

TEST_F(PdfFaults, KidsWithObjectZeroKeepTheirPages) {
  // "0 0 R" at the end of /Kids names no page; the pages before it are walked.
  const std::string page = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 5 0 R >> >> /Contents 4 0 R >>";
  const std::string text = LoadBytes("kids0.pdf", MakePdf({kCatalog, "<< /Type /Pages /Kids [3 0 R 6 0 R 0 0 R] /Count 2 >>", page,
                                                            Stream("", "BT /F1 12 Tf 72 700 Td (Hello) Tj ET"), kHelvetica,
                                                            "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 5 0 R >> >> /Contents 7 0 R >>",
                                                            Stream("", "BT /F1 12 Tf 72 700 Td (World) Tj ET")}));
  const size_t hello = text.find("Hello");
  ASSERT_NE(hello, std::string::npos) << text;
  EXPECT_NE(text.find("World", hello), std::string::npos) << text;
}

class PdfFaultsSource : public PdfFaults {
 protected:
  void SetUp() override {
    PdfFaults::SetUp();
    doc_->m_nDisplayForm = 2;
  }
};

TEST_F(PdfFaultsSource, StreamKeywordStartsItsOwnLine) {
  const std::string text = LoadBytes("source.pdf", MakePdf({kCatalog, Stream("/Filter /FlateDecode", Deflate("BT ET"))}));
  EXPECT_NE(text.find(">>\n\r\nstream  adrs = "), std::string::npos) << text;
}

TEST_F(PdfFaultsSource, StreamTooLargeToInflateIsUnreadable) {
  // Inflated, the stream passes the stream capacity: the listing says it cannot read it.
  const std::string text = LoadBytes("large.pdf", MakePdf({kCatalog, Stream("/Filter /FlateDecode", Deflate(std::string(3000000, '\0')))}));
  EXPECT_NE(text.find(std::string(StringUtf8(IDS_UNSUPPORTED_FORMAT)) + " 010"), std::string::npos) << text.substr(0, 400);
  EXPECT_EQ(text.find(StringUtf8(IDS_DISPLAY_VOLUME_OVER)), std::string::npos);
}

TEST_F(PdfFaultsSource, DottedLineAfterA256ByteDump) {
  const std::string text = LoadBytes("dump.pdf", MakePdf({kCatalog, Stream("/Filter /FlateDecode", Deflate(std::string(256, 'A')))}));
  EXPECT_NE(text.find("41 \r\n ................ \r\n"), std::string::npos) << text;
}

}  // namespace
}  // namespace pdftest
