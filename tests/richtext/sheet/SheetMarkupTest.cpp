// The sheet markup: settings lines and their print settings, sheet and column formats,
// ranges, row items, rule kinds between rows and number forms.
#include <gtest/gtest.h>

#include "richtext/sheet/SheetMarkup.h"

namespace {

using namespace sheet;

TEST(SheetMarkup, LinesAreClassedByTheirFirstCharacters) {
  const struct {
    std::string line;
    LineClass cls;
  } cases[] = {{"!*[Sheet 1]", LineClass::SheetHead}, {"!#XLa", LineClass::SheetHead},
               {"!^\x06^%M5", LineClass::RowFormatHead}, {"!%\x06", LineClass::ColumnBlock},
               {"!%x", LineClass::Data},            {"!$\x06", LineClass::Objects},
               {"$$", LineClass::Objects},          {"~free", LineClass::FreeText},
               {"XLaS", LineClass::Settings},       {"XLS", LineClass::Data},
               {"a\x06" "b", LineClass::Data}};
  for (const auto& c : cases) EXPECT_EQ(ClassifyLine(c.line), c.cls) << c.line;
}

TEST(SheetMarkup, SettingsLinesGivePaperMarginsAndKind) {
  const SettingsLine a = ParseSettingsLine("XLxA3HT15B20#");
  EXPECT_EQ(a.paper, 'd');
  EXPECT_EQ(a.margins[0], 1500);
  EXPECT_EQ(a.margins[1], 2000);
  EXPECT_EQ(a.kind, 'A');
  EXPECT_EQ(ParseSettingsLine("XLxLTV").paper, 'm');
  const SettingsLine l = ParseSettingsLine("XLxL25");
  EXPECT_EQ(l.paper, 0);
  EXPECT_EQ(l.margins[2], 2500);
  const SettingsLine h = ParseSettingsLine("XLxh30");
  EXPECT_EQ(h.paper, 0);
  EXPECT_EQ(h.margins[0], -99);
  const SettingsLine s = ParseSettingsLine("XLaS");
  EXPECT_EQ(s.paper, 'a');
  EXPECT_EQ(s.kind, 'S');
  EXPECT_EQ(ParseSettingsLine("XLxB5H#T").paper, 'l');
  EXPECT_EQ(ParseSettingsLine("XLxB3V#T").kind, 'T');
  EXPECT_EQ(ParseSettingsLine("XLxPCH").paper, 'v');
  EXPECT_EQ(ParseSettingsLine("XLx%150").scale, 150);

  int s1 = 0, s2 = 0, s3 = 0;
  const int margins[4] = {1500, 2000, 2500, 1000};
  MarginsToPrintSettings(margins, s1, s2, s3);
  EXPECT_EQ(s1, 102);  // 15 and 20 mm: the tens
  EXPECT_EQ(s2, 201);
  EXPECT_EQ(s3, 5050);  // the units: 5, 0, 5, 0
}

// Margin numbers are at most three digits and never negative; a long number no longer
// overflows into a negative margin.
TEST(SheetMarkup, MarkupNumbersSaturateAndMarginsAreClampedFault) {
  const SettingsLine s = ParseSettingsLine("XLxT-50B99999999999R7");
  EXPECT_EQ(s.margins[0], 0);
  EXPECT_EQ(s.margins[1], 99900);
  EXPECT_EQ(s.margins[3], 700);
  int s1 = 0, s2 = 0, s3 = 0;
  const int wild[4] = {-5000, 2000000000, -99, 123456};
  MarginsToPrintSettings(wild, s1, s2, s3);
  EXPECT_GE(s1, 0);
  EXPECT_GE(s2, 0);
  EXPECT_GE(s3, 0);
  std::array<int32_t, 4> r{};
  ParseRange("99999999999999:ZZZZZZZZZZZZZZ", false, r);
  EXPECT_GT(r[0], 0);
  EXPECT_GT(r[1], 0);
}

TEST(SheetMarkup, SheetFormatsAndAttributes) {
  const SheetFormat f = ParseSheetFormat("%M5B");
  EXPECT_EQ(f.attrs.Font(), 2);  // font 1, Mincho
  EXPECT_EQ(f.attrs.size, 24);
  EXPECT_TRUE(f.attrs.attributes & 1);
  const SheetFormat g = ParseSheetFormat("RTPh12w4f3");
  EXPECT_EQ(HorizontalPlacement(g.placement), 'R');
  EXPECT_EQ(VerticalPlacement(g.placement), 'T');
  EXPECT_TRUE(g.pageMarks);
  EXPECT_EQ(g.rowSize, 24);
  EXPECT_EQ(g.widthFactor, 4);
  EXPECT_EQ(g.numberForm, '3');
  const TextAttributes a = ParseColumnAttributes("RgBUK12$ignored");
  EXPECT_EQ(a.textColour, 'R');
  EXPECT_EQ(a.backColour, 'g');
  EXPECT_EQ(a.attributes & 0x0F, 3);
  EXPECT_EQ(a.Font(), 1);
  EXPECT_EQ(a.size, 45);
  EXPECT_EQ(ColourIndex('R'), 2);
  EXPECT_EQ(ColourIndex('d'), 25);
  EXPECT_EQ(ColourIndex('C'), 26);
  EXPECT_EQ(ColourIndex('Q'), 0);
}

TEST(SheetMarkup, ColumnLinesAndRanges) {
  const ColumnFormat c = ParseColumnLine("name\x06Rc1102#ABCD\x06" "AA3:AB7", false);
  EXPECT_EQ(c.name, "name");
  EXPECT_EQ(HorizontalPlacement(c.placement), 'R');
  EXPECT_EQ(c.numberForm, 'c' | 0x80);
  EXPECT_EQ(std::string(c.rules.begin(), c.rules.end()), "1102");
  EXPECT_EQ(c.ruleColours[3], 4);
  EXPECT_EQ(c.range, (std::array<int32_t, 4>{27, 3, 28, 7}));
  std::array<int32_t, 4> r{};
  EXPECT_EQ(ParseRange("C5", false, r), 2);
  EXPECT_EQ(r, (std::array<int32_t, 4>{3, 5, 3, 5}));
  ParseRange("C5", true, r);  // a converted workbook reads rows one higher
  EXPECT_EQ(r, (std::array<int32_t, 4>{3, 6, 3, 6}));
  const ColumnFormat m = ParseColumnLine("Memo\x06" "3_", false);
  EXPECT_EQ(m.name, "cemo");
  EXPECT_EQ(m.direction, 'N');
  EXPECT_EQ(m.rules[0], '1');
  EXPECT_EQ(m.rules[1], '9');
  EXPECT_EQ(ParseColumnLine("Image\x06\x06" "if:A>1", false).range[0], -9999);
  EXPECT_EQ(ParseColumnLine("Rect1", false).kind, 2);
}

TEST(SheetMarkup, RowItemsAndRulesBetweenRows) {
  const RowFormat r = ParseRowFormat("<12CMf2P");
  EXPECT_TRUE(r.tableStart);
  EXPECT_EQ(r.top, '1');
  EXPECT_EQ(r.bottom, '2');
  EXPECT_EQ(HorizontalPlacement(r.placement), 'C');
  EXPECT_EQ(VerticalPlacement(r.placement), 'M');
  EXPECT_EQ(r.numberForm, '2');
  EXPECT_TRUE(r.pageBreak);
  EXPECT_EQ(FindRowFormat("a\x06" "b^12"), 3u);
  EXPECT_EQ(FindRowFormat("a\\^b!^c"), std::string_view::npos);
  EXPECT_EQ(FindRowFormat("\x83^x"), std::string_view::npos);  // a trail byte '^' is text
  const struct {
    char upperBottom, lowerTop;
    int kind;
  } rules[] = {{0, 0, 0},     {'1', 0, 1},   {0, '1', 1},   {'2', 0, 2},   {'2', '0', 0},
               {'2', '1', 1}, {'0', '2', 2}, {'1', '0', 1}, {'2', '9', 2}, {'9', '9', 0}};
  for (const auto& c : rules) EXPECT_EQ(RuleKindBetween(c.upperBottom, c.lowerTop), c.kind) << c.upperBottom << c.lowerTop;
}

TEST(SheetMarkup, NumberForms) {
  const struct {
    std::string text;
    uint8_t form;
    std::string out;
  } cases[] = {
      {"1234567.8", 'c' | 0x80, "1,234,568"}, {"2.5", '3', "2.500"},      {"2.12345", '3', "2.123"},
      {"2.5", '2', "2.50"},                   {"7", '2', "7.00"},         {"9.5", 'i', "10"},
      {"1,999.7", 'i', "2000"},               {"1,999.7", 'm' | 0x80, "2,000"}, {"-1234", 'd' | 0x80, "-1,234"},
      {"\\12345", 'c' | 0x80, "\\12,345"},    {"2.995", '2', "3.00"},     {"abc", '2', "abc"},
      {"12'", '1', "12'"},                    {"1234", 's' | 0x80, "1234"}, {"12 kg", 'c' | 0x80, "12 kg"},
  };
  for (const auto& c : cases) EXPECT_EQ(ApplyNumberForm(c.text, c.form), c.out) << c.text << " " << int(c.form);
}

}  // namespace
