// How a font's codes become characters: ToUnicode maps per font, Differences
// arrays by their numbers, radicals, Shift-JIS encodings, and the canvas edge.
#include "PdfTestSupport.h"

namespace pdftest {
namespace {

const std::string kCatalog = "<< /Type /Catalog /Pages 2 0 R >>";
const std::string kPages = "<< /Type /Pages /Kids [3 0 R] /Count 1 >>";

// One page drawing `content` with the fonts F1 (object 5) and F2 (object 6).
std::string TwoFonts(const std::string& content, const std::string& f1, const std::string& f2,
                     const std::vector<std::string>& more = {}) {
  std::vector<std::string> objects = {kCatalog, kPages,
                                      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 2000 792] /Resources << /Font << /F1 5 0 R /F2 6 0 R >> >> /Contents 4 0 R >>",
                                      Stream("", content), f1, f2};
  objects.insert(objects.end(), more.begin(), more.end());
  return MakePdf(objects);
}

std::string Cmap(const std::string& entries) {
  return Stream("", "/CIDInit /ProcSet findresource begin 12 dict begin begincmap\n1 begincodespacerange <0000> <FFFF> endcodespacerange\n" +
                        entries + "\nendcmap CMapName currentdict /CMap defineresource pop end end");
}

std::string Type0(int toUnicode) {
  return "<< /Type /Font /Subtype /Type0 /BaseFont /X /Encoding /Identity-H /ToUnicode " + std::to_string(toUnicode) + " 0 R >>";
}

class PdfFonts : public PdfTest {};

TEST_F(PdfFonts, EachFontDecodesWithItsOwnMap) {
  // The same codes in two fonts, alternating: neither map leaks into the other.
  const std::string pdf = TwoFonts(
      "BT /F1 12 Tf 72 700 Td <00010002> Tj ET BT /F2 12 Tf 72 600 Td <00010002> Tj ET BT /F1 12 Tf 72 500 Td <0001> Tj ET",
      Type0(7), Type0(8),
      {Cmap("2 beginbfchar <0001> <0041> <0002> <0042> endbfchar"), Cmap("1 beginbfrange <0001> <0002> <0058> endbfrange")});
  const std::vector<std::string> words = Tokens(LoadBytes("maps.pdf", pdf));
  EXPECT_EQ(words, (std::vector<std::string>{"AB", "XY", "A"}));
}

TEST_F(PdfFonts, DifferencesFollowTheirNumbers) {
  const std::string simple = "<< /Type /Font /Subtype /Type1 /BaseFont /Y /LastChar 255 /Encoding 7 0 R >>";
  const std::string pdf =
      TwoFonts("BT /F1 12 Tf 72 700 Td (ABab) Tj ET", simple, simple,
               {"<< /Type /Encoding /Differences [65 /B /A 97 /zero /one] >>"});
  EXPECT_EQ(Tokens(LoadBytes("differences.pdf", pdf)), (std::vector<std::string>{"BA01"}));
}

TEST_F(PdfFonts, RadicalsBecomeTheirIdeographs) {
  // U+2F04 (the radical second) is shown as its ideograph U+4E59, U+2F08 as U+4EBA.
  const std::string pdf = TwoFonts("BT /F1 12 Tf 72 700 Td <00030004> Tj ET", Type0(7), Type0(7),
                                   {Cmap("2 beginbfchar <0003> <2F04> <0004> <2F08> endbfchar")});
  EXPECT_EQ(Tokens(LoadBytes("radical.pdf", pdf)), (std::vector<std::string>{"\xE4\xB9\x99", "\xE4\xBA\xBA"}));
}

TEST_F(PdfFonts, ShiftJisEncodingKeepsItsPairs) {
  // A 90ms-RKSJ font: the string's Shift-JIS pairs are characters from the first.
  const std::string font = "<< /Type /Font /Subtype /Type0 /BaseFont /MS-Mincho /Encoding /90ms-RKSJ-H >>";
  const std::string pdf = TwoFonts("BT /F1 12 Tf 72 700 Td (\x93\xFA\x96{A) Tj ET", font, font);
  EXPECT_EQ(Tokens(LoadBytes("rksj.pdf", pdf)), (std::vector<std::string>{"\xE6\x97\xA5", "\xE6\x9C\xAC", "A"}));
}

TEST_F(PdfFonts, DoubleByteCharacterIsNeverSplitAtTheEdge) {
  // 300 ideographs from the left: the line stops before the canvas edge on a whole character.
  std::string codes;
  for (int i = 0; i < 300; ++i) codes += "0003";
  const std::string pdf = TwoFonts("BT /F1 3 Tf 1 700 Td <" + codes + "> Tj ET", Type0(7), Type0(7),
                                   {Cmap("1 beginbfchar <0003> <65E5> endbfchar")});
  const std::string text = LoadBytes("edge.pdf", pdf);
  EXPECT_EQ(text.find("\xEF\xBF\xBD"), std::string::npos);  // no broken character
  const std::vector<std::string> words = Tokens(text);
  EXPECT_GE(words.size(), 250u);
  EXPECT_LE(words.size(), 300u);
}

}  // namespace
}  // namespace pdftest

namespace pdftest {
namespace {

TEST_F(PdfFonts, VerticalFontRunsDownOneCharacterALine) {
  // Identity-V: each character on the next line in the same two columns; the long
  // vowel mark takes its upright form.
  const std::string font = "<< /Type /Font /Subtype /Type0 /BaseFont /X /Encoding /Identity-V /ToUnicode 7 0 R >>";
  const std::string pdf = TwoFonts("BT /F1 12 Tf 300 700 Td <000100020003> Tj ET", font, font,
                                   {Cmap("3 beginbfchar <0001> <3042> <0002> <30FC> <0003> <3044> endbfchar")});
  std::vector<std::string> lines;
  const std::string text = LoadBytes("vertical.pdf", pdf);
  for (size_t at = 0, end; at < text.size(); at = end + 2) {
    end = text.find("\r\n", at);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(at, end - at));
  }
  ASSERT_EQ(lines.size(), 3u) << text;
  const size_t column = lines[0].find("\xE3\x81\x82");  // あ
  ASSERT_NE(column, std::string::npos);
  EXPECT_EQ(lines[1].find("\xEF\xBD\x8C"), column);  // ー upright (CP932 82 8C)
  EXPECT_EQ(lines[2].find("\xE3\x81\x84"), column);  // い
}

}  // namespace
}  // namespace pdftest
