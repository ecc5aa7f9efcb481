// The word-format filter on RTF written by LibreOffice and by hand.
#include "convert/office/OfficeTextSupport.h"

namespace {

using officetext::OfficeTextTest;

TEST_F(OfficeTextTest, RtfFromLibreOfficeHoldsLibreOfficeTextWords) {
  const std::string text = ShowUtf8("word-sample.rtf");
  // LibreOffice's own text of the document, less the field result the filter drops
  // (it sits in a field-result group) and the picture placeholders it writes itself.
  std::string reference = testenv::ReadHostFile(testenv::DataPath("office/word-sample.lo.txt"));
  reference.erase(0, 3);  // byte-order mark
  // The deleted revision is not shown (its group opens with \deleted, not with text).
  reference.erase(reference.find("REMOVEDWORDS"), 12);
  const std::vector<std::string> missing = officetext::MissingWords(reference, text);
  EXPECT_EQ(officetext::Join(missing), "0 —") << text;
  EXPECT_NE(text.find("日本語の文章です。"), std::string::npos);
  EXPECT_NE(text.find("□ picture one."), std::string::npos);
  EXPECT_NE(text.find("“quoted”"), std::string::npos);
  // unrtf agrees on the table's cells, one row a line.
  EXPECT_NE(text.find("Alpha Beta Gamma \r\n"), std::string::npos);
  EXPECT_EQ(text.find("REMOVEDWORDS"), std::string::npos);

  // unrtf's reading, less what it shows differently: the deleted revision and the
  // field result, "?" for every kanji, its picture notes and the control bytes it
  // writes for quote marks and dashes.
  std::string unrtf = Fixture("word-sample.unrtf.txt");
  for (const std::string cut : {"REMOVEDWORDS", "1 of", "### picture data found, picture dimensions are 16 by 16, depth 1",
                                "pict001.png", "pict002.jpg", "?"}) {
    for (size_t at; (at = unrtf.find(cut)) != std::string::npos;) unrtf.erase(at, cut == "1 of" ? 1 : cut.size());
  }
  std::erase_if(unrtf, [](char c) { return c > 0 && c < 0x20 && c != '\n' && c != '\t'; });
  EXPECT_EQ(officetext::Join(officetext::MissingWords(unrtf, text)), "") << unrtf;
}

TEST_F(OfficeTextTest, SharedRtfFilesShowText) {
  const std::string folder = testenv::SharedTestData("office/rtf");
  SKIP_WITHOUT_SHARED_DATA(folder);
  const std::pair<const char*, const char*> expected[] = {
      {"tika-testRTF-ms932.rtf", "Hello\r\nこんにちは\r\nTest\r\nテスト"},  // Shift-JIS escapes
      {"tika-testRTFHyperlink.rtf", "frequently asked questions"},
      {"tika-testRTFWord2010CzechCharacters.rtf", "svitku s textem Knihy"},       // code page 1250, folded
  };
  for (const auto& [name, line] : expected) {
    const std::string text = ShowBytesUtf8("a.rtf", testenv::ReadHostFile(folder + "/" + name));
    EXPECT_NE(text.find(line), std::string::npos) << name << "\n" << text.substr(0, 300);
  }
}

struct RtfCase {
  const char* name;
  const char* rtf;
  int verticalRules;
  const char* expected;
};

class RtfCases : public OfficeTextTest, public ::testing::WithParamInterface<RtfCase> {};

TEST_P(RtfCases, Text) {
  doc_->m_bVerticalRules = GetParam().verticalRules;
  EXPECT_EQ(Show("a.rtf", GetParam().rtf), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Filter, RtfCases,
    ::testing::Values(
        RtfCase{"TwoCellRow", "{\\rtf1\\f0 \\trowd\\cellx1760\\cellx3520 A\\cell B\\cell\\row}", 0, "A  B \r\n"},
        RtfCase{"TwoCellRowRules", "{\\rtf1\\f0 \\trowd\\cellx1760\\cellx3520 A\\cell B\\cell\\row}", 1, "A |B|\r\n"},
        RtfCase{"FontTableAndStylesHidden",
                "{\\rtf1{\\fonttbl{\\f0\\fswiss Arial;}}{\\stylesheet{\\s0\\fs24 Normal;}}{\\b\\f0 body}\\par}", 0,
                "body\r\n"},
        RtfCase{"HexEscapePair", "{\\rtf1\\f0 \\'82\\'a0\\par}", 0, "\x82\xa0\r\n"},
        RtfCase{"TextFlagStartsOff", "{\\rtf1 hidden\\f0 shown}", 0, "shown"},
        RtfCase{"PageAndSection", "{\\rtf1\\f0 a\\page b\\sect c}", 0, "a\r\n<page>\r\nb\r\n<Section>\r\nc"},
        RtfCase{"EscapedBraces", "{\\rtf1\\f0 x\\{y\\}z\\\\}", 0, "x{y}z\\"},
        RtfCase{"UnicodeWithFallback", "{\\rtf1\\uc1\\f0 \\u12354\\'3f!}", 0, "\x82\xa0!"},
        // Hostile: a take-back longer than the pass, unbalanced braces, a cut
        // escape at the very end.
        RtfCase{"TakeBackStopsAtPassStart", "{\\rtf1\\f0 \\trowd\\cellx2000 ab\\sl-1\\par x}", 0, "x"},
        RtfCase{"UnbalancedBraces", "}}}{\\rtf1\\f0 ok}}}}", 0, "ok"},
        RtfCase{"CutEscapeAtEnd", "{\\rtf1\\f0 z\\'8", 0, "z"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OfficeTextTest, RtfColumnStopsCappedKeepOneBlankPerCell) {
  std::string rtf = "{\\rtf1\\f0 \\trowd";
  for (int k = 0; k < 25; ++k) rtf += "\\cellx99000";
  rtf += " a";
  for (int k = 0; k < 25; ++k) rtf += "\\cell";
  rtf += " b\\row}";
  const std::string text = Show("a.rtf", rtf);
  // Stops past the twentieth reuse the last one; every cell still gets its blank.
  ASSERT_GE(text.size(), 5u);
  EXPECT_EQ(text.substr(0, 1), "a");
  EXPECT_EQ(text.substr(text.size() - 3), "b\r\n");
  EXPECT_LT(text.size(), 251u + 30u);
}

TEST_F(OfficeTextTest, RtfSourceFormCopiesTheBytes) {
  doc_->m_nDisplayForm = 2;
  EXPECT_EQ(Show("a.rtf", "{\\rtf1 \\'82\\'a0}"), "*\r\n{\\rtf1 \\'82\\'a0}");
  doc_->m_bVerticalRules = 1;
  EXPECT_EQ(Show("a.rtf", "{\\rtf1 \\'82\\'a0\\'41}"), "*\r\n{\\rtf1 \x82\xa0\\'41}");
}

}  // namespace
