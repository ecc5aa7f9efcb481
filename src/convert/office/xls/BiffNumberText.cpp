// Number texts of the binary workbook records. The value is split into its whole
// part and its fraction in ten-thousandths (from the millionths, rounded half up),
// then rounded to the format's decimals; no shift depends on the file's bits, and a
// value outside the ranges below takes the scaled or "9999:ER" form. Every text is
// written into one fixed buffer, digits two at a time from a table: the workbook
// road formats one text per number cell.
#include "convert/office/xls/BiffNumberText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "convert/office/xls/SerialDate.h"

namespace {

constexpr double kTwo33 = 8589934592.0;
constexpr double kTwo38 = 274877906944.0;
constexpr double kTwo48 = 281474976710656.0;
constexpr double kTwo57 = 144115188075855872.0;

constexpr char kPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// A text being written into the caller's buffer of kBiffNumberMax bytes; every text
// below is far shorter, and a write past the end is dropped.
class Out {
 public:
  explicit Out(char* buffer) : buf_(buffer) {}
  void Put(char c) {
    if (n_ < kBiffNumberMax) buf_[n_++] = c;
  }
  void Put(const char* text, size_t size) {
    const size_t k = std::min(size, static_cast<size_t>(kBiffNumberMax - n_));
    std::memcpy(buf_ + n_, text, k);
    n_ += static_cast<int>(k);
  }
  void Put(const char* text) { Put(text, std::strlen(text)); }
  // v (0 to 99) as two digits.
  void Pair(unsigned v) { Put(kPairs + 2 * (v % 100), 2); }
  int Size() const { return n_; }
  char* Data() { return buf_; }

 private:
  char* buf_;
  int n_ = 0;
};

// The decimal digits of v (not negative) into digits (at least 20 bytes), right
// aligned to its end: returns the first digit.
char* Digits(uint64_t v, char* end) {
  char* p = end;
  while (v >= 100) {
    const auto pair = static_cast<unsigned>(v % 100);
    v /= 100;
    p -= 2;
    std::memcpy(p, kPairs + 2 * pair, 2);
  }
  if (v >= 10) {
    p -= 2;
    std::memcpy(p, kPairs + 2 * v, 2);
  } else {
    *--p = static_cast<char>('0' + v);
  }
  return p;
}

// The digits of whole (not negative), with a comma before every group of three when
// grouping.
void PutGrouped(Out& out, int64_t whole, bool grouping) {
  char digits[24];
  const char* first = Digits(static_cast<uint64_t>(whole), digits + sizeof digits);
  const auto n = static_cast<size_t>(digits + sizeof digits - first);
  if (!grouping || n <= 3) {
    out.Put(first, n);
    return;
  }
  for (size_t i = 0; i < n; ++i) {
    if (i > 0 && (n - i) % 3 == 0) out.Put(',');
    out.Put(first[i]);
  }
}

bool IsDateFormat(int f) {
  return (f >= 14 && f <= 17) || f == 21 || f == 22 || f == 30 || f == 31 || (f >= 55 && f <= 58);
}

// Whole part and fraction in ten-thousandths of a non-negative value below 2^33
// (for such values the conversion's truncation is the floor).
void Split(double a, int64_t& whole, int64_t& tenThousandths) {
  whole = static_cast<int64_t>(a);
  const auto millionths = static_cast<int64_t>((a - static_cast<double>(whole)) * 1e6);
  tenThousandths = (millionths + 50) / 100;
  if (tenThousandths >= 10000) {
    ++whole;
    tenThousandths -= 10000;
  }
}

int Number(Out& out, int& code) {
  code = 9000 + out.Size();
  return out.Size();
}

int Text(Out& out, int& code) {
  code = 1000 + out.Size();
  return out.Size();
}

// 'yy-mm-dd, with a blank for a leading zero of month and day (YY for serial 0),
// and the time when the day has one.
int DateText(double a, const BiffNumberStyle& s, Out& out, int& code) {
  int64_t whole, frac;
  Split(a, whole, frac);
  const int64_t serial = whole + (s.date1904 ? 1462 : 0);
  const SerialMoment d = SerialToDay(serial);
  out.Put('\'');
  if (serial != 0) {
    out.Pair(static_cast<unsigned>(std::abs(d.year % 100)));
  } else {
    out.Put("YY", 2);
  }
  out.Put('-');
  out.Put(d.month >= 10 ? '1' : ' ');
  out.Put(static_cast<char>('0' + d.month % 10));
  out.Put('-');
  out.Put(d.day >= 10 ? static_cast<char>('0' + d.day / 10) : ' ');
  out.Put(static_cast<char>('0' + d.day % 10));
  if (frac > 10 || s.format == 22) {
    const int64_t minutes = std::min<int64_t>((frac + 1) * 1440 / 10000, 1439);
    out.Put(' ');
    out.Pair(static_cast<unsigned>(minutes / 60));
    out.Put(':');
    out.Pair(static_cast<unsigned>(minutes % 60));
  }
  return Text(out, code);
}

int TimeText(double a, const BiffNumberStyle& s, Out& out, int& code) {
  if (a >= 9) {
    code = 0;
    return 0;
  }
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
  out.Put(buf);
  return Text(out, code);
}

int PercentText(double a, bool negative, Out& out, int& code) {
  if (a >= 9) {
    code = 0;
    return 0;
  }
  const int64_t hundredths = (static_cast<int64_t>(std::floor(a * 1e6)) + 50) / 100;
  char buf[24];
  std::snprintf(buf, sizeof buf, "%c%2lld.%02lld%%", negative && hundredths ? '-' : ' ',
                static_cast<long long>(hundredths / 100), static_cast<long long>(hundredths % 100));
  out.Put(buf);
  return Number(out, code);
}

// A plain number below 2^33: a yen mark, the sign (none before a zero), the whole
// part (grouped), and the fraction rounded to d decimals (0 to 3; others keep four,
// without trailing zeros unless d is 4).
int PlainText(double a, bool negative, const BiffNumberStyle& s, int d, Out& out, int& code) {
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
  const auto u = static_cast<unsigned>(std::clamp<int64_t>(frac, 0, 9999));  // Split keeps it in range
  char fraction[4];
  std::memcpy(fraction, kPairs + 2 * (u / 100), 2);
  std::memcpy(fraction + 2, kPairs + 2 * (u % 100), 2);
  size_t kept = d >= 0 && d <= 3 ? static_cast<size_t>(d) : 4;
  if (d == 8 || d < 0 || d > 4) {
    while (kept > 0 && fraction[kept - 1] == '0') --kept;
  }
  bool zeroFraction = true;
  for (size_t k = 0; k < kept; ++k) zeroFraction = zeroFraction && fraction[k] == '0';
  if (s.yen) out.Put('\\');
  if (negative && !(whole == 0 && zeroFraction)) out.Put('-');
  PutGrouped(out, whole, s.grouping);
  if (kept > 0) {
    out.Put('.');
    out.Put(fraction, kept);
  }
  return Number(out, code);
}

}  // namespace

double DecodeRk(uint32_t rk) {
  double v;
  if (rk & 2) {
    v = static_cast<double>(static_cast<int32_t>(rk) >> 2);
  } else {
    const uint64_t bits = static_cast<uint64_t>(rk & 0xFFFFFFFCu) << 32;
    std::memcpy(&v, &bits, sizeof v);
  }
  return rk & 1 ? v / 100 : v;
}

int FormatBiffNumberTo(double value, const BiffNumberStyle& s, char* buffer, int& code) {
  Out out(buffer);
  if (std::isnan(value)) {
    out.Put("9999:ER");
    return Number(out, code);
  }
  const bool negative = value < 0;
  const double a = std::fabs(value);
  int decimals = s.decimals;
  if (IsDateFormat(s.format)) {
    // A negative serial or one past the year 9999 is shown as a plain number.
    if (!negative && a < static_cast<double>(kLastDateSerial + 1)) return DateText(a, s, out, code);
    decimals = 8;
  } else if (s.format == 18 || s.format == 20) {
    if (!negative) return TimeText(a, s, out, code);
    decimals = 8;
  } else if (s.format == 9 || s.format == 10) {
    return PercentText(a, negative, out, code);
  }
  if (!(a < kTwo57)) {
    out.Put("9999:ER");
    return Number(out, code);
  }
  if (a >= kTwo33) {
    if (s.yen) out.Put('\\');
    if (negative) out.Put('-');
    const double scale = a < kTwo38 ? 1e3 : a < kTwo48 ? 1e6 : 1e9;
    PutGrouped(out, static_cast<int64_t>(std::floor(a / scale)), s.grouping);
    out.Put(a < kTwo38 ? ":E3" : a < kTwo48 ? ":E6" : ":E9");
    return Number(out, code);
  }
  return PlainText(a, negative, s, decimals, out, code);
}

BiffNumberText FormatBiffNumber(double value, const BiffNumberStyle& style) {
  char text[kBiffNumberMax];
  BiffNumberText number;
  const int n = FormatBiffNumberTo(value, style, text, number.code);
  number.text.assign(text, static_cast<size_t>(n));
  return number;
}
