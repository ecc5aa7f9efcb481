// The number texts of the binary workbook against the earlier formatter (string
// building with to_chars and snprintf, kept here as the reference, with its own date
// table and an exact fraction split) on millions of random values under every style
// the workbook road makes, and on the hard cases: rounding edges, the scaled forms,
// negative zero, dates and times.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "convert/office/xls/BiffNumberText.h"
#include "convert/office/xls/SerialDate.h"

namespace {

namespace earlier {


constexpr double kTwo33 = 8589934592.0;
constexpr double kTwo38 = 274877906944.0;
constexpr double kTwo48 = 281474976710656.0;
constexpr double kTwo57 = 144115188075855872.0;

// v as exactly `width` decimal digits with leading zeros (v in 0 .. 10^width - 1),
// without the cost of a formatted print in the per-cell path.
void PutDigits(std::string& out, int64_t v, int width) {
  char digits[20];
  width = std::clamp(width, 0, 18);
  if (v >= 0 && v <= 0xFFFFFFFF) {
    // The usual small values: 32-bit division is the cheaper one.
    auto u = static_cast<uint32_t>(v);
    for (int k = width - 1; k >= 0; --k) {
      digits[k] = static_cast<char>('0' + u % 10);
      u /= 10;
    }
  } else {
    for (int k = width - 1; k >= 0; --k) {
      digits[k] = static_cast<char>('0' + v % 10);
      v /= 10;
    }
  }
  out.append(digits, static_cast<size_t>(width));
}

// The built-in formats that the workbook shows as dates, as its format table lists
// them (not the formatter's own test).
constexpr int kDateFormats[] = {14, 15, 16, 17, 21, 22, 30, 31, 55, 56, 57, 58};

bool IsDateFormat(int f) { return std::find(std::begin(kDateFormats), std::end(kDateFormats), f) != std::end(kDateFormats); }

// Whole part and fraction in ten-thousandths of a non-negative value below 2^33, the
// fraction rounded half up from whole millionths, worked out exactly from the
// double's bits in 128-bit integers rather than in floating point.
void Split(double a, int64_t& whole, int64_t& tenThousandths) {
  int exponent = 0;
  const double mantissa = std::frexp(a, &exponent);  // a = mantissa * 2^exponent
  const auto bits = static_cast<__int128>(std::ldexp(mantissa, 53));
  const int shift = 53 - exponent;  // a = bits / 2^shift
  if (shift <= 0) {
    whole = static_cast<int64_t>(bits << -shift);
    tenThousandths = 0;
    return;
  }
  if (shift >= 120) {
    whole = 0;
    tenThousandths = 0;
    return;
  }
  whole = static_cast<int64_t>(bits >> shift);
  const __int128 rest = bits - (static_cast<__int128>(whole) << shift);
  const auto millionths = static_cast<int64_t>((rest * 1000000) >> shift);
  tenThousandths = (millionths + 50) / 100;
  if (tenThousandths >= 10000) {
    ++whole;
    tenThousandths -= 10000;
  }
}

// Appends the decimal digits of whole (not negative), with a comma before every
// group of three when grouping.
void AppendGrouped(std::string& out, int64_t whole, bool grouping) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, whole).ptr;
  const size_t n = static_cast<size_t>(end - digits);
  if (!grouping || n <= 3) {
    out.append(digits, n);
    return;
  }
  for (size_t i = 0; i < n; ++i) {
    if (i > 0 && (n - i) % 3 == 0) out += ',';
    out += digits[i];
  }
}

BiffNumberText Number(std::string text) {
  const int n = static_cast<int>(text.size());
  return {std::move(text), 9000 + n};
}

BiffNumberText Text(std::string text) {
  const int n = static_cast<int>(text.size());
  return {std::move(text), 1000 + n};
}

BiffNumberText DateText(double a, const BiffNumberStyle& s) {
  int64_t whole, frac;
  Split(a, whole, frac);
  const int64_t serial = whole + (s.date1904 ? 1462 : 0);
  const SerialMoment d = SerialToDay(serial);
  // 'yy-mm-dd, with a blank for a leading zero of month and day; YY for serial 0.
  std::string text = "'";
  if (serial != 0) {
    PutDigits(text, std::abs(d.year % 100), 2);
  } else {
    text += "YY";
  }
  text += '-';
  text += d.month >= 10 ? '1' : ' ';
  text += static_cast<char>('0' + d.month % 10);
  text += '-';
  text += d.day >= 10 ? static_cast<char>('0' + d.day / 10) : ' ';
  text += static_cast<char>('0' + d.day % 10);
  if (frac > 10 || s.format == 22) {
    const int64_t minutes = std::min<int64_t>((frac + 1) * 1440 / 10000, 1439);
    text += ' ';
    PutDigits(text, minutes / 60, 2);
    text += ':';
    PutDigits(text, minutes % 60, 2);
  }
  return Text(text);
}

BiffNumberText TimeText(double a, const BiffNumberStyle& s) {
  if (a >= 9) return {};
  int64_t whole, frac;
  Split(a, whole, frac);
  const int64_t minutes = (frac * 1440 + 5000) / 10000 % 1440;
  const int hour = static_cast<int>(minutes / 60), minute = static_cast<int>(minutes % 60);
  char buf[24];
  const char lead = whole > 0 ? '#' : ' ';
  if (s.format == 20) {
    std::snprintf(buf, sizeof buf, "%c%02d:%02d", lead, hour, minute);
  } else {
    const int h12 = hour % 12 == 0 ? 12 : hour % 12;
    std::snprintf(buf, sizeof buf, "%c%2d:%02d %s", lead, h12, minute, hour < 12 ? "am" : "pm");
  }
  return Text(buf);
}

BiffNumberText PercentText(double a, bool negative) {
  if (a >= 9) return {};
  const int64_t hundredths = (static_cast<int64_t>(std::floor(a * 1e6)) + 50) / 100;
  char buf[24];
  std::snprintf(buf, sizeof buf, "%c%2lld.%02lld%%", negative && hundredths ? '-' : ' ',
                static_cast<long long>(hundredths / 100), static_cast<long long>(hundredths % 100));
  return Number(buf);
}

// A plain number below 2^33, built in one buffer: a yen mark, the sign (none before
// a zero), the whole part (grouped), and the fraction rounded to d decimals (0 to 4;
// others keep up to four without trailing zeros).
BiffNumberText PlainText(double a, bool negative, const BiffNumberStyle& s, int d) {
  int64_t whole, frac;
  Split(a, whole, frac);
  if (d >= 0 && d <= 3) {
    static constexpr int64_t kHalf[] = {5000, 500, 50, 5};
    frac += kHalf[d];
    if (frac >= 10000) {
      ++whole;
      frac -= 10000;
    }
  }
  char fraction[4];
  auto u = static_cast<uint32_t>(std::clamp<int64_t>(frac, 0, 9999));  // Split keeps it in range
  for (int k = 3; k >= 0; --k) {
    fraction[k] = static_cast<char>('0' + u % 10);
    u /= 10;
  }
  size_t kept = d >= 0 && d <= 3 ? static_cast<size_t>(d) : 4;
  if (d == 8 || d < 0 || d > 4) {
    while (kept > 0 && fraction[kept - 1] == '0') --kept;
  }
  const bool zeroFraction = std::all_of(fraction, fraction + kept, [](char c) { return c == '0'; });
  char text[48];
  size_t n = 0;
  if (s.yen) text[n++] = '\\';
  if (negative && !(whole == 0 && zeroFraction)) text[n++] = '-';
  char digits[24];
  const size_t count = static_cast<size_t>(std::to_chars(digits, digits + sizeof digits, whole).ptr - digits);
  for (size_t i = 0; i < count; ++i) {
    if (s.grouping && count > 3 && i > 0 && (count - i) % 3 == 0) text[n++] = ',';
    text[n++] = digits[i];
  }
  if (kept > 0) {
    text[n++] = '.';
    std::memcpy(text + n, fraction, kept);
    n += kept;
  }
  return {std::string(text, n), 9000 + static_cast<int>(n)};
}


BiffNumberText EarlierFormat(double value, const BiffNumberStyle& s) {
  if (std::isnan(value)) return Number("9999:ER");
  const bool negative = value < 0;
  const double a = std::fabs(value);
  BiffNumberStyle plain = s;
  if (IsDateFormat(s.format)) {
    // A negative serial or one past the year 9999 is shown as a plain number.
    if (!negative && a < static_cast<double>(kLastDateSerial + 1)) return DateText(a, s);
    plain.decimals = 8;
  } else if (s.format == 18 || s.format == 20) {
    if (!negative) return TimeText(a, s);
    plain.decimals = 8;
  } else if (s.format == 9 || s.format == 10) {
    return PercentText(a, negative);
  }
  if (!(a < kTwo57)) return Number("9999:ER");
  if (a >= kTwo33) {
    std::string text = negative ? "-" : "";
    if (s.yen) text = "\\" + text;
    const double scale = a < kTwo38 ? 1e3 : a < kTwo48 ? 1e6 : 1e9;
    AppendGrouped(text, static_cast<int64_t>(std::floor(a / scale)), s.grouping);
    text += a < kTwo38 ? ":E3" : a < kTwo48 ? ":E6" : ":E9";
    return Number(text);
  }
  return PlainText(a, negative, s, plain.decimals);
}

}  // namespace earlier

// Every style the record walk can hand over: built-in formats and custom kinds,
// every decimals code (and the out-of-range ones), grouping, yen, both date systems.
std::vector<BiffNumberStyle> AllStyles() {
  std::vector<BiffNumberStyle> styles;
  const int formats[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 14, 15, 16, 17, 18, 19, 20, 21, 22,
                         26, 30, 31, 37, 45, 48, 49, 55, 56, 57, 58, 160};
  const int decimals[] = {-1, 0, 1, 2, 3, 4, 5, 8, 9};
  for (int f : formats) {
    for (int d : decimals) {
      for (int flags = 0; flags < 8; ++flags) {
        BiffNumberStyle s;
        s.format = f;
        s.decimals = d;
        s.grouping = flags & 1;
        s.yen = flags & 2;
        s.date1904 = flags & 4;
        styles.push_back(s);
      }
    }
  }
  return styles;
}

void ExpectSame(double value, const BiffNumberStyle& s) {
  const BiffNumberText want = earlier::EarlierFormat(value, s);
  const BiffNumberText got = FormatBiffNumber(value, s);
  char text[kBiffNumberMax];
  int code = -1;
  const int n = FormatBiffNumberTo(value, s, text, code);
  ASSERT_EQ(got.text, want.text) << value << " format " << s.format << " decimals " << s.decimals;
  ASSERT_EQ(got.code, want.code) << value << " format " << s.format;
  ASSERT_EQ(std::string(text, static_cast<size_t>(n)), want.text) << value;
  ASSERT_EQ(code, want.code) << value;
}

TEST(BiffNumberTextTest, MatchesTheEarlierFormatterOnRandomValues) {
  const std::vector<BiffNumberStyle> styles = AllStyles();
  std::mt19937_64 random(20261207);
  std::uniform_int_distribution<size_t> pick(0, styles.size() - 1);
  for (int i = 0; i < 2'000'000; ++i) {
    double value = 0;
    switch (i % 8) {
      case 0:  // any bit pattern: infinities, NaNs, subnormals, huge and tiny
        value = std::bit_cast<double>(random());
        break;
      case 1:  // compact RK numbers, as the MULRK and RK records give them
        value = DecodeRk(static_cast<uint32_t>(random()));
        break;
      case 2:  // money-like values with two decimals
        value = static_cast<double>(static_cast<int64_t>(random() % 2'000'000'000) - 1'000'000'000) / 100;
        break;
      case 3:  // near a rounding edge of the millionths and of each decimal
        value = static_cast<double>(random() % 100'000'000) / 10'000 + (static_cast<double>(random() % 3) - 1) * 5e-7;
        break;
      case 4:  // day serials with a time of day, past the last date too
        value = static_cast<double>(random() % 3'100'000) + static_cast<double>(random() % 86'400) / 86'400;
        break;
      case 5:  // around the 2^33, 2^38, 2^48 and 2^57 steps
        value = std::ldexp(1.0, 33 + static_cast<int>(random() % 25)) * (0.999 + static_cast<double>(random() % 2000) / 1e6);
        break;
      case 6:  // uniform in a wide range, either sign
        value = (static_cast<double>(random() >> 11) / 9007199254740992.0 - 0.5) * std::ldexp(1.0, static_cast<int>(random() % 40));
        break;
      default:  // whole numbers
        value = static_cast<double>(static_cast<int64_t>(random() % 20'000'000'000) - 10'000'000'000);
        break;
    }
    ExpectSame(value, styles[pick(random)]);
  }
}

TEST(BiffNumberTextTest, MatchesTheEarlierFormatterOnHardCases) {
  const double cases[] = {0.0, -0.0, 0.5, -0.5, 0.00005, 0.000049999, 0.99995, 0.999949, 9.99995, 1.005, 2.675,
                          0.145, 1e-300, -1e-300, 5e-324, 8589934591.99995, 8589934592.0, -8589934592.0,
                          274877906943.9, 274877906944.0, 281474976710656.0, 144115188075855871.0,
                          144115188075855872.0, INFINITY, -INFINITY, NAN, 1.0, 60.0, 61.0, 1462.0, 2958465.0,
                          2958465.99999, 2958466.0, 45356.75, 45356.999999, 0.041666, 0.0416319, 0.99999, 8.99999,
                          9.0, -9.6, 123456789.125, 999.9995, -999.9995};
  for (const BiffNumberStyle& s : AllStyles()) {
    for (double v : cases) ExpectSame(v, s);
  }
}

}  // namespace
