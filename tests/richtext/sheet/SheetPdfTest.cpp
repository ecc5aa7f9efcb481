// The sheet PDF builder: the fixed objects and their offsets, pages and paging, paper,
// the title, fonts, the cells in the page streams, the limits and hostile markup.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "codec/CodecServices.h"
#include "platform/text/CodePage.h"
#include "richtext/sheet/SheetPdfWriter.h"

namespace {

const std::string kSjisSheet = "\x95\x69\x96\xBC\x06\x90\x94\x97\xCA\r\n";  // 品名|数量

sheet::PdfOutput Build(const std::string& cells, char paper = 'a') {
  sheet::PdfInput in;
  in.cells = cells;
  in.paper = paper;
  in.title = "t";
  in.date = "20260102030405";
  return sheet::BuildSheetPdf(in);
}

std::string Rows(int n, const std::string& item = "") {
  std::string cells;
  for (int i = 1; i <= n; ++i) cells += "r" + std::to_string(i) + "\x06" "x" + item + "\r\n";
  return cells;
}

int CountOf(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// The offset of "N 0 obj" as the cross-reference table gives it.
long XrefOffset(const std::string& pdf, int number) {
  const size_t xref = pdf.rfind("xref\n0 ");
  const size_t first = pdf.find('\n', pdf.find('\n', xref) + 1) + 1;
  return std::stol(pdf.substr(first + static_cast<size_t>(number) * 20, 10));
}

// Every page stream's data inflated, in page order.
std::vector<std::string> PageStreams(const std::string& pdf) {
  std::vector<std::string> pages;
  const std::string open = "/Filter /FlateDecode >>\nstream\n";
  for (size_t at = pdf.find(open); at != std::string::npos; at = pdf.find(open, at + 1)) {
    const size_t data = at + open.size();
    const size_t end = pdf.find("\nendstream", data);
    std::vector<uint8_t> raw(pdf.begin() + static_cast<long>(data) + 2, pdf.begin() + static_cast<long>(end) - 4);
    std::string text(1 << 22, '\0');
    CBufferInflater inflater;
    const int64_t n = inflater.Run(raw.data(), static_cast<int64_t>(raw.size()), reinterpret_cast<uint8_t*>(text.data()),
                                   static_cast<int64_t>(text.size()));
    text.resize(static_cast<size_t>(std::max<int64_t>(n, 0)));
    pages.push_back(text);
  }
  return pages;
}

TEST(SheetPdfTest, OnePageSheetHasTheFixedObjectsPageAndTree) {
  const std::string pdf = Build(kSjisSheet).bytes;
  ASSERT_TRUE(pdf.starts_with("%PDF-1.3\n%\xE2\xE3\xCF\xD3\n1 0 obj\n<</Creator  (Tamrel) /CreationDate (D:20260102030405) /Title <FEFF0074> "
                              "/Author (Tamrel) /Producer (DIZER)>>\nendobj\n2 0 obj\n[ /PDF /Text ]\nendobj\n"
                              "3 0 obj\n<</Pages 7 0 R /Type /Catalog >>\nendobj\n4 0 obj\n"));
  for (int k : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 16, 17, 18, 19, 20, 21, 22, 23, 24}) {
    const long at = XrefOffset(pdf, k);
    EXPECT_EQ(pdf.substr(static_cast<size_t>(at), std::to_string(k).size() + 6), std::to_string(k) + " 0 obj") << k;
  }
  EXPECT_EQ(XrefOffset(pdf, 1), 15);
  EXPECT_NE(pdf.find("xref\n0 25\n0000000000 65535 f \n0000000015 00000 n \n"), std::string::npos);
  EXPECT_NE(pdf.find("\n0000000000 65535 f \n", pdf.find("xref") + 30), std::string::npos);  // 15 holds no object
  EXPECT_NE(pdf.find("21 0 obj\n<</Type /Page /Parent 7 0 R /MediaBox [ 0 0 595 842 ] /Resources 24 0 R /Contents 22 0 R >>\nendobj\n"
                     "22 0 obj\n<</Length 23 0 R \n/Filter /FlateDecode >>\nstream\n"),
            std::string::npos);
  EXPECT_NE(pdf.find("7 0 obj\n<</Kids [ 21 0 R] /Count 1 /Type /Pages /MediaBox [ 0 0 595 842 ] >>\nendobj\n"), std::string::npos);
  EXPECT_NE(pdf.find("trailer\n<</Size 25 /Root 3 0 R /Info 1 0 R\n>>\nstartxref\n"), std::string::npos);
  EXPECT_TRUE(pdf.ends_with("%%EOF\n"));
  EXPECT_EQ(std::stol(pdf.substr(pdf.rfind("startxref\n") + 10)), static_cast<long>(pdf.rfind("xref\n0 ")));
}

TEST(SheetPdfTest, FontsAreFiveCidFontsInTheirObjects) {
  const std::string pdf = Build(kSjisSheet).bytes;
  EXPECT_NE(pdf.find("4 0 obj\n<</Type /Font /Subtype /Type0 /Name /F0 /BaseFont /#82l#82r#83S#83V#83b#83N /DescendantFonts [ 6 0 R ] "
                     "/Encoding /90msp-RKSJ-H >>\nendobj\n"),
            std::string::npos);
  EXPECT_NE(pdf.find("/Name /F4 /BaseFont /#82l#82r#83S#83V#83b#83N,Bold /DescendantFonts [ 14 0 R ]"), std::string::npos);
  EXPECT_NE(pdf.find("/Name /F2 /BaseFont /#82l#82r#82o#83S#83V#83b#83N /DescendantFonts [ 17 0 R ]"), std::string::npos);
  EXPECT_NE(pdf.find("16 0 obj\n<</Type /FontDescriptor /FontName /#82l#82r#82o#83S#83V#83b#83N /Flags 6 /FontBBox [ -100 -141 842 1000 ] "
                     "/MissingWidth 418 /StemV 76 /StemH 76/ItalicAngle 0 /CapHeight 859"),
            std::string::npos);
  EXPECT_NE(pdf.find("6 0 obj\n<</Type /Font /Subtype /CIDFontType2 /BaseFont /#82l#82r#83S#83V#83b#83N /WinCharSet 128/FontDescriptor 5 0 R "
                     "/CIDSystemInfo <</Registry(Adobe) /Ordering(Japan1) /Supplement 2>> /DW 1000\n/W [ 1 99 500 326 421 500 ] >>\nendobj\n"),
            std::string::npos);
  EXPECT_NE(pdf.find("17 0 obj\n<</Type /Font /Subtype /CIDFontType2"), std::string::npos);
  EXPECT_NE(pdf.find("/W [ 1 [ 250 250 500 "), std::string::npos);
  EXPECT_NE(pdf.find(" 234 234 234 ]\n326 [ 500 441 "), std::string::npos);
  EXPECT_NE(pdf.find(" 250 230 ] 631 631 414 ] >>\nendobj\n"), std::string::npos);
  EXPECT_NE(pdf.find("24 0 obj\n<</ProcSet 2 0 R /Font <</F0 4 0 R /F1 8 0 R /F2 11 0 R /F3 18 0 R /F4 12 0 R >> >>\nendobj\n"),
            std::string::npos);
}

// The Mincho fonts' names were the bytes 96 AF 92 B2, which read as 民調; they are
// now 96 BE 92 A9, 明朝.
TEST(SheetPdfTest, MinchoFaceNameReadAsMinChoFault) {
  const std::string pdf = Build(kSjisSheet).bytes;
  EXPECT_EQ(pdf.find("#96#AF#92#B2"), std::string::npos);
  EXPECT_EQ(CountOf(pdf, "/#82l#82r#96#BE#92#A9 "), 3);      // F1: Type0, descriptor, CID font
  EXPECT_EQ(CountOf(pdf, "/#82l#82r#82o#96#BE#92#A9 "), 3);  // F3
  EXPECT_EQ(plat::Cp932ToUtf8("\x96\xBE\x92\xA9"), "明朝");
}

TEST(SheetPdfTest, TitleIsTheNameAsUtf16) {
  EXPECT_EQ(sheet::PdfTitleHex("\x94\x84\x8F\xE3\x95\x5C"), "FEFF58F24E0A8868");  // 売上表
  EXPECT_EQ(sheet::PdfTitleHex("a\xB1"), "FEFF0061FF71");                       // a and half-width ｱ
}

// The title was cut at 100 UTF-16 units; a longer name is now written whole.
TEST(SheetPdfTest, TitleCutAt100UnitsFault) {
  const std::string name(150, 'n');
  const std::string hex = sheet::PdfTitleHex(name);
  EXPECT_EQ(hex.size(), 4u + 150 * 4);
  sheet::PdfInput in;
  const std::string cells = "a\r\n";
  in.cells = cells;
  in.title = name;
  in.date = "20260102030405";
  EXPECT_NE(sheet::BuildSheetPdf(in).bytes.find("/Title <" + hex + ">"), std::string::npos);
}

// Cell text went into literal strings unescaped: a ')' or a trail byte 0x5C ended or
// bent the string. Every cell is now a hex string of its bytes.
TEST(SheetPdfTest, CellTextUnescapedInPdfStringsFault) {
  const std::string cells = std::string("\x95\x5C\\\x8E\xA6") + "\x06" "a)b(c\r\n";  // 表\示 | a)b(c
  const std::vector<std::string> pages = PageStreams(Build(cells).bytes);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_NE(pages[0].find("<955C5C8EA6> Tj"), std::string::npos) << pages[0];
  EXPECT_NE(pages[0].find("<6129622863> Tj"), std::string::npos);
  EXPECT_EQ(pages[0].find('('), std::string::npos);
}

TEST(SheetPdfTest, CellsSelectTheirFontAndSize) {
  // Column 2 bold (after two colour letters), column 3 Mincho at size code 6 (27 half-points).
  const std::string cells = "a\x06" "b\x06" "c\r\n!%\r\nOne\r\nTwo\x06%AAB\r\nThree\x06%AAM6\r\n";
  const std::vector<std::string> pages = PageStreams(Build(cells).bytes);
  ASSERT_EQ(pages.size(), 1u);
  const std::string expected = "BT\n/F0 9.5 Tf\nET\nBT\n66.0 797.2 Td\n<61> Tj\nET\n"
                               "BT\n/F4 9.5 Tf\nET\n";
  EXPECT_NE(pages[0].find(expected), std::string::npos) << pages[0];
  EXPECT_NE(pages[0].find("BT\n/F1 12.5 Tf\nET\n"), std::string::npos) << pages[0];
}

TEST(SheetPdfTest, RulesBetweenRowsAreDrawnAndLowerTheRows) {
  // A thick rule under row 1 (its bottom '2'), a thin one over row 3 (its top '1').
  const std::vector<std::string> pages = PageStreams(Build("a^02\r\nb\r\nc^10\r\n").bytes);
  ASSERT_EQ(pages.size(), 1u);
  const std::string& p = pages[0];
  EXPECT_NE(p.find("1.5 w\n66.0 797 m 80.1 797 l S\n"), std::string::npos) << p;
  EXPECT_NE(p.find("0.5 w\n66.0 783 m 80.1 783 l S\n"), std::string::npos) << p;
  // Rows at 809, then 797 - 2, then 783 - 1: baselines 9.4 points below.
  EXPECT_NE(p.find("66.0 799.6 Td\n<61>"), std::string::npos) << p;
  EXPECT_NE(p.find("66.0 785.6 Td\n<62>"), std::string::npos) << p;
  EXPECT_NE(p.find("66.0 772.6 Td\n<63>"), std::string::npos) << p;
}

TEST(SheetPdfTest, PlacementAndColumnRules) {
  // Column 2 in thousands placed right, with a thick left rule; row 3 centred.
  const std::string cells = "item\x06" "amount\r\nalpha\x06" "1234567.8\r\nbeta\x06" "2^C\r\n!%\x06\r\nName\x06L\r\nSum\x06Rc2102\r\n";
  const std::vector<std::string> pages = PageStreams(Build(cells).bytes);
  ASSERT_EQ(pages.size(), 1u);
  const std::string& p = pages[0];
  // Column 1 is 5 characters of 4.7 points, column 2 9 ("1,234,568"), one between.
  EXPECT_NE(p.find("94.2 787.6 Td\n<312C3233342C353638>"), std::string::npos) << p;
  EXPECT_NE(p.find("113.0 775.6 Td\n<32>"), std::string::npos) << p;  // centred: 94.2 + (42.3 - 4.7) / 2
  EXPECT_NE(p.find("1.5 w\n91.9 809 m 91.9 797 l S\n"), std::string::npos) << p;
  EXPECT_EQ(CountOf(p, " l S\n"), 3);
  sheet::PdfInput in;
  const std::string plain = "a\x06" "b\r\n";
  in.cells = plain;
  in.verticalRules = true;
  const std::vector<std::string> ruled = PageStreams(sheet::BuildSheetPdf(in).bytes);
  ASSERT_EQ(ruled.size(), 1u);
  EXPECT_NE(ruled[0].find("0.5 w\n63.7 809 m 63.7 797 l S\n"), std::string::npos) << ruled[0];
  EXPECT_EQ(CountOf(ruled[0], " l S\n"), 2);
}

TEST(SheetPdfTest, HundredRowsAtTheDefaultMarginsMakeTwoPages) {
  const sheet::PdfOutput out = Build(Rows(100));
  EXPECT_EQ(out.pages, 2);
  const std::string& pdf = out.bytes;
  EXPECT_NE(pdf.find("/Kids [ 21 0 R 25 0 R] /Count 2 "), std::string::npos);
  const std::vector<std::string> pages = PageStreams(pdf);
  ASSERT_EQ(pages.size(), 2u);
  // From 842 - 1000 / 30 = 809 down by 12 points a row: full below 1000 / 30 + 10 = 43.
  EXPECT_EQ(CountOf(pages[0], "Tj"), 2 * 64);
  EXPECT_EQ(CountOf(pages[1], "Tj"), 2 * 36);
  EXPECT_EQ(Build(Rows(64)).pages, 1);
  EXPECT_EQ(Build(Rows(65)).pages, 2);
}

TEST(SheetPdfTest, PageMarksSheetsAndPaper) {
  EXPECT_EQ(Build(Rows(3, "^P")).pages, 3);                 // a mark on each row but the last
  EXPECT_EQ(Build("XLxA4V#AP\r\n" + Rows(3, "^P")).pages, 1);  // the sheet's page item turns them off
  const sheet::PdfOutput two = Build("!*[Sheet 1]\r\na\r\n!*[Sheet 2]\r\nXLxA3H\r\nb\r\n");
  EXPECT_EQ(two.pages, 2);
  EXPECT_NE(two.bytes.find("/MediaBox [ 0 0 595 842 ] /Resources 24 0 R"), std::string::npos);
  EXPECT_NE(two.bytes.find("/MediaBox [ 0 0 1190 842 ] /Resources 28 0 R"), std::string::npos);
  EXPECT_EQ(two.paper, 'd');
  const sheet::PdfOutput landscape = Build("XLxA4H\r\na\r\n");
  EXPECT_NE(landscape.bytes.find("/Count 1 /Type /Pages /MediaBox [ 0 0 842 595 ]"), std::string::npos);
  EXPECT_NE(Build("a\r\n", 'n').bytes.find("/MediaBox [ 0 0 790 612 ]"), std::string::npos);  // Letter landscape
  const struct {
    char paper;
    int width, height;
  } sizes[] = {{'a', 595, 842}, {'b', 842, 595}, {'i', 1031, 1456}, {'j', 1459, 1031}, {'m', 612, 790}, {'v', 419, 283}, {'z', 595, 842}};
  for (const auto& s : sizes) {
    int w = 0, h = 0;
    sheet::PdfPageSize(s.paper, w, h);
    EXPECT_EQ(w, s.width) << s.paper;
    EXPECT_EQ(h, s.height) << s.paper;
  }
}

TEST(SheetPdfTest, ProgressEveryTenthRowAndEscStops) {
  std::vector<int> asked;
  sheet::PdfInput in;
  const std::string cells = Rows(45);
  in.cells = cells;
  in.progress = [&asked](int row, int last, int sheetNumber) {
    EXPECT_EQ(last, 45);
    EXPECT_EQ(sheetNumber, 1);
    asked.push_back(row);
    return row == 30;
  };
  const sheet::PdfOutput out = sheet::BuildSheetPdf(in);
  EXPECT_EQ(out.stop, sheet::PdfStop::Esc);
  EXPECT_TRUE(out.bytes.empty());
  EXPECT_EQ(asked, (std::vector<int>{10, 20, 30}));
  asked.clear();
  in.progress = [&asked](int row, int, int) {
    asked.push_back(row);
    return false;
  };
  const std::string forty = Rows(40);
  in.cells = forty;
  EXPECT_EQ(sheet::BuildSheetPdf(in).stop, sheet::PdfStop::None);
  EXPECT_EQ(asked, (std::vector<int>{10, 20, 30}));  // not at the last row
}

TEST(SheetPdfTest, APageAboveObject4870StopsTheRun) {
  // Pages 21, 25, ...: the 1,213th page would be object 4,869, the 1,214th 4,873.
  const sheet::PdfOutput fits = Build(Rows(1213, "^P"));
  EXPECT_EQ(fits.stop, sheet::PdfStop::None);
  EXPECT_EQ(fits.pages, 1213);
  EXPECT_NE(fits.bytes.find("xref\n0 4873\n"), std::string::npos);
  const sheet::PdfOutput over = Build(Rows(1214, "^P"));
  EXPECT_EQ(over.stop, sheet::PdfStop::ObjectLimit);
  EXPECT_EQ(over.stopObject, 4873);
  EXPECT_TRUE(over.bytes.empty());
}

TEST(SheetPdfTest, HostileMarkupStaysBounded) {
  // Huge numbers: margins, sizes, row heights, widths; a 2,000-column line of long cells.
  std::string wide;
  for (int c = 0; c < 2000; ++c) wide += std::string(c ? "\x06" : "") + std::string(500, 'W');
  const std::string cases[] = {
      "XLxT99999B99999L99999R99999%99999#A%99h99w99\r\na\x06" "b\r\nc\r\n",
      "XLxA4V#A%9999999999\r\n!%\r\n" + std::string("\x06") + "99999999999\r\n\x06\r\na\r\n",
      wide + "\r\n" + wide + "\r\n",
      "XL\xFF\r\n!#XLz\r\n^" + std::string(5000, '9') + "\r\n",
  };
  for (const std::string& cells : cases) {
    sheet::PdfInput in;
    in.cells = cells;
    in.number = INT32_MAX;
    const sheet::PdfOutput out = sheet::BuildSheetPdf(in);
    if (out.stop == sheet::PdfStop::ObjectLimit) continue;  // a margin past the page: a page a row
    ASSERT_EQ(out.stop, sheet::PdfStop::None);
    ASSERT_TRUE(out.bytes.ends_with("%%EOF\n"));
    for (const std::string& page : PageStreams(out.bytes)) EXPECT_LT(page.size(), 200000u);
  }
}

}  // namespace
