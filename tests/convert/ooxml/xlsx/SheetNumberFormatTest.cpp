// Number and date texts of the XLSX road: the edge cases of the formats, the eras,
// the rounding and the carries, and the day serials of Python's datetime.
#include <gtest/gtest.h>

#include <sstream>

#include "convert/ooxml/xlsx/SheetNumberFormat.h"
#include "platform/text/CodePage.h"
#include "support/TestEnv.h"

namespace {

std::string Sjis(const char* utf8) { return plat::Utf8ToCp932Lossy(utf8); }

TEST(SheetNumberFormat, DatesTimesAndEras) {
  struct Case {
    const char* value;
    int cls;
    bool date1904;
    std::string text;
  };
  const Case cases[] = {
      {"32516", 58000, false, Sjis("平成1年1月8日")},
      {"32515", 58000, false, Sjis("昭和64年1月7日")},
      {"43952", 57000, false, "H32.5.1"},
      {"9856", 57000, false, "S1.12.25"},
      {"4595", 57000, false, "T1.7.30"},
      {"0", 14000, false, "1899/12/30"},
      {"-3", 14000, false, "1899/12/30"},
      {"0.5", 20000, false, "12:00"},
      {"0.25", 18000, false, "6:00 AM"},
      {"0.75", 18000, false, "6:00 PM"},
      {"0.572916666666667", 20000, false, "13:45"},
      {"0.572916666666667", 557000, false, "13:45:00"},
      {"0.99999999", 20000, false, "0:00"},  // rounds into the next hour and day, never 24:00
      {"0.0416608", 20000, false, "1:00"},   // 59:59.5 carries into the hour
      {"45356", 22000, false, "2024/3/5 0:00"},
      {"43891", 14000, true, "2024/3/2"},   // 1904 system: four years and a day later
      {"45356", 31000, false, Sjis("2024年3月5日")},
      {"3000000", 14000, false, "3000000"},   // past the year 9999: a number
      {"123456789012345678901234567890", 14000, false, "123456789012345678901234567890"},
      {"45356", 15000, false, "5/Mar/24"},
  };
  for (const Case& c : cases) {
    SheetFormatContext ctx;
    ctx.date1904 = c.date1904;
    EXPECT_TRUE(IsDateForm(c.cls));
    EXPECT_EQ(FormatSheetDate(c.value, c.cls, ctx), c.text) << c.value << " " << c.cls;
  }
}

TEST(SheetNumberFormat, NumbersRoundAndGroupOnTheDigits) {
  struct Case {
    const char* value;
    int cls;
    int tableDecimals, widthMode;
    const char* text;
  };
  const Case cases[] = {
      {"1234567.891", 4000, 0, 0, "1,234,567.89"},
      {"1234567.891", 2000, 0, 0, "1234567.89"},
      {"1234567.891", 4000, 0, 10, "1234567.89"},
      {"0.1449", 1003, 0, 0, "0.14"},
      {"0.14499", 1003, 0, 0, "0.15"},
      {"9.96", 1002, 0, 0, "10.0"},
      {"-9.6", 1001, 0, 0, "-10"},
      {"999.999", 1003, 0, 0, "1000.00"},
      {"0.25", 9000, 0, 0, "25%"},
      {"0.25", 10000, 0, 0, "25.00%"},
      {"1", 9000, 0, 0, "100%"},
      {"2.500", 0, 0, 0, "2.5"},
      {"7", 0, 0, 0, "7"},
      {"1.5E-3", 0, 0, 0, "0.002"},
      {"1.5E+3", 0, 0, 0, "1500.000"},  // a value in exponent form keeps its zeros
      {"1E+300", 0, 0, 0, "1.00E+300"},  // too far to shift: the scientific form, never a 300-digit text
      {"-2.5E-200", 0, 0, 0, "-2.50E-200"},
      {"12345.678", 11000, 0, 0, "1.23E+04"},
      {"1234.5", 548003, 0, 0, "\\1,234.50"},
      {"1234.5", 550001, 0, 0, "$1,235"},
      {"-0.001", 1003, 0, 0, "0.00"},
      {"3.14159", 1005, 2, 0, "3.1"},
  };
  for (const Case& c : cases) {
    SheetFormatContext ctx;
    ctx.tableDecimals = c.tableDecimals;
    ctx.columnWidthMode = c.widthMode;
    EXPECT_EQ(FormatSheetNumber(c.value, c.cls, ctx), c.text) << c.value << " " << c.cls;
  }
  EXPECT_TRUE(IsPlainNumber("-1.5E-3"));
  EXPECT_FALSE(IsPlainNumber("#N/A"));
  EXPECT_FALSE(IsPlainNumber("12a"));
}

TEST(SheetNumberFormat, SerialsMatchPythonDatetime) {
  std::istringstream table(testenv::ReadHostFile(testenv::DataPath("office/serials.tsv")));
  std::string kind;
  int dates = 0;
  while (table >> kind) {
    std::string a, b, c, d;
    table >> a >> b >> c >> d;
    if (kind != "date") continue;
    EXPECT_EQ(FormatSheetDate(a, 14000, {}), b + "/" + c + "/" + d) << a;
    ++dates;
  }
  EXPECT_GT(dates, 40);
}

}  // namespace
