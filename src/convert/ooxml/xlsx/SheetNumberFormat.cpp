// Number and date texts of the XLSX road. Numbers are handled as decimal digit
// strings: the exponent form is shifted first (an exponent too large to shift falls
// back to the scientific form), then the integer digits are copied with grouping,
// the fraction is cut to its decimals and rounded half up with the carry running
// through the nines. Dates take the integer day serial and the day
// fraction (rounded to the second); a serial past the year 9999 is shown as a number, and a second or minute
// that rounds up carries into the minute and hour.
#include "convert/ooxml/xlsx/SheetNumberFormat.h"

#include <algorithm>
#include <cstdio>

#include "convert/office/xls/ColumnWidthMode.h"
#include "convert/office/xls/SerialDate.h"

namespace {

constexpr int kMaxShift = 60;  // exponent shifts beyond this take the scientific form

struct Digits {
  bool negative = false;
  std::string digits;  // no point, no leading sign
  int point = 0;       // digits before the point (may be negative or past the end)
  int exponent = 0;
  bool hadExponent = false;
  bool ok = false;
};

Digits Parse(std::string_view v) {
  Digits d;
  size_t i = 0;
  if (i < v.size() && (v[i] == '-' || v[i] == '+')) d.negative = v[i++] == '-';
  bool point = false;
  for (; i < v.size() && i < 256; ++i) {
    const char c = v[i];
    if (c >= '0' && c <= '9') {
      d.digits += c;
      if (!point) ++d.point;
    } else if (c == '.' && !point) {
      point = true;
    } else if (c == ',') {
      continue;
    } else {
      break;
    }
  }
  if (i < v.size() && (v[i] == 'E' || v[i] == 'e')) {
    d.hadExponent = true;
    ++i;
    bool negative = false;
    if (i < v.size() && (v[i] == '-' || v[i] == '+')) negative = v[i++] == '-';
    int e = 0;
    for (; i < v.size() && v[i] >= '0' && v[i] <= '9'; ++i) e = std::min(e * 10 + (v[i] - '0'), 100000);
    d.exponent = negative ? -e : e;
  }
  d.ok = !d.digits.empty();
  return d;
}

// Strips leading zeros of the integer part (keeping one digit before the point).
void Normalize(Digits& d) {
  while (d.point > 1 && !d.digits.empty() && d.digits[0] == '0') {
    d.digits.erase(0, 1);
    --d.point;
  }
}

struct NumberStyle {
  int decimals = 0;
  bool grouped = false;
  bool percent = false;
  bool scientific = false;
  bool general = false;
  char currency = 0;
};

NumberStyle StyleOf(int cls, const SheetFormatContext& ctx) {
  int form = cls / 1000;
  int field = cls > 1000 ? cls % 1000 : -1;
  if (form == 10) form = 9, field = 3;
  if (form == 48) form = 11, field = 2;
  const int fieldDecimals = field > 0 ? field - 1 : 0;
  NumberStyle s;
  switch (form) {
    case 0: s.decimals = 3, s.general = true; break;
    case 1: s.decimals = fieldDecimals; break;
    case 2: s.decimals = 2; break;
    case 3: s.grouped = true; break;
    case 4: s.decimals = 2, s.grouped = true; break;
    case 9: s.decimals = fieldDecimals, s.percent = true; break;
    case 11: s.decimals = cls == 11000 || field < 0 ? 2 : fieldDecimals, s.scientific = true; break;
    case 12: s.decimals = 2, s.grouped = true; break;
    case 13: s.decimals = 3, s.grouped = true; break;
    case 37: case 38: s.grouped = true; break;
    case 39: case 40: s.decimals = 2, s.grouped = true; break;
    case 41: case 42: s.grouped = true, s.currency = '\\'; break;
    case 43: case 44: s.decimals = 2, s.grouped = true, s.currency = '\\'; break;
    case 51: case 52: s.grouped = true, s.currency = '$'; break;
    case 53: case 54: s.decimals = 2, s.grouped = true, s.currency = '$'; break;
    case 548: s.decimals = fieldDecimals, s.grouped = true, s.currency = '\\'; break;
    case 549: s.decimals = fieldDecimals, s.grouped = true; break;
    case 550: s.decimals = fieldDecimals, s.grouped = true, s.currency = '$'; break;
    case 551: s.decimals = fieldDecimals, s.grouped = true, s.currency = 'E'; break;
    default: s.decimals = fieldDecimals; break;
  }
  if (ctx.tableDecimals > 0 && s.decimals > 0) s.decimals = ctx.tableDecimals - 1;
  if (ctx.columnWidthMode >= kWidthsCellList) s.grouped = false;
  return s;
}

// Rounds the digit string d (with its point) to n fraction digits, half up (a 4
// followed by two 9s counts as a 5: the tail of a binary fraction).
void Round(Digits& d, int n) {
  const int keep = d.point + n;
  if (keep < 0) {
    d.digits.assign(1, '0');
    d.point = 1;
    return;
  }
  if (keep >= static_cast<int>(d.digits.size())) {
    d.digits.append(static_cast<size_t>(keep - static_cast<int>(d.digits.size())), '0');
    return;
  }
  const char first = d.digits[keep];
  const bool up = first >= '5' || (first == '4' && keep + 2 < static_cast<int>(d.digits.size()) &&
                                   d.digits[keep + 1] == '9' && d.digits[keep + 2] == '9');
  d.digits.resize(static_cast<size_t>(keep));
  if (!up) return;
  int i = keep - 1;
  for (; i >= 0; --i) {
    if (d.digits[i] == '9') {
      d.digits[i] = '0';
    } else {
      ++d.digits[i];
      break;
    }
  }
  if (i < 0) {
    d.digits.insert(d.digits.begin(), '1');
    ++d.point;
  }
}

std::string Scientific(Digits d, int decimals) {
  // The first non-zero digit becomes the one before the point.
  const size_t nz = d.digits.find_first_not_of('0');
  int exponent = 0;
  if (nz == std::string::npos) {
    d.digits.assign(1, '0');
    d.point = 1;
  } else {
    exponent = d.point - static_cast<int>(nz) - 1 + d.exponent;
    d.digits.erase(0, nz);
    d.point = 1;
  }
  d.exponent = 0;
  Round(d, decimals);
  if (d.point == 2) {  // 9.99 rounded to 10.0
    d.digits.pop_back();
    d.point = 1;
    ++exponent;
  }
  std::string out = d.negative ? "-" : "";
  out += d.digits.substr(0, 1);
  if (decimals > 0) out.append(1, '.').append(d.digits, 1, static_cast<size_t>(decimals));
  char e[16];
  std::snprintf(e, sizeof e, "E%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
  return out + e;
}

}  // namespace

bool IsPlainNumber(std::string_view v) {
  if (v.empty() || v.size() > 256) return false;
  bool digit = false;
  for (size_t i = 0; i < v.size(); ++i) {
    const char c = v[i];
    if (c >= '0' && c <= '9') digit = true;
    else if (c == 'E' || c == 'e') {
      if (!digit) return false;
    } else if (c != '-' && c != '+' && c != '.' && c != ',') {
      return false;
    }
  }
  return digit;
}

bool IsDateForm(int cls) {
  const int f = cls / 1000;
  return (f >= 14 && f <= 33) || (f >= 45 && f <= 47) || (f >= 55 && f <= 58) || (f >= 552 && f <= 598);
}

std::string FormatSheetNumber(std::string_view value, int cls, const SheetFormatContext& ctx) {
  Digits d = Parse(value);
  if (!d.ok) return std::string(value.substr(0, std::min<size_t>(value.size(), 256)));
  const NumberStyle s = StyleOf(cls, ctx);
  if (s.scientific || std::abs(d.exponent) > kMaxShift) return Scientific(d, s.scientific ? s.decimals : 2);
  // Shift the exponent form into plain digits.
  d.point += d.exponent;
  if (d.point < 0) {
    d.digits.insert(0, static_cast<size_t>(-d.point), '0');
    d.point = 0;
  }
  if (d.point > static_cast<int>(d.digits.size())) d.digits.append(static_cast<size_t>(d.point) - d.digits.size(), '0');
  if (d.point == 0) {
    d.digits.insert(d.digits.begin(), '0');
    d.point = 1;
  }
  if (s.percent) d.point += 2;
  if (d.point > static_cast<int>(d.digits.size())) d.digits.append(static_cast<size_t>(d.point) - d.digits.size(), '0');
  Normalize(d);
  Round(d, s.decimals);
  Normalize(d);
  std::string intPart = d.digits.substr(0, static_cast<size_t>(d.point));
  std::string frac = d.digits.substr(static_cast<size_t>(d.point));
  if (s.general && ctx.tableDecimals == 0 && !d.hadExponent) {
    while (!frac.empty() && frac.back() == '0') frac.pop_back();
  }
  const bool zero = intPart.find_first_not_of('0') == std::string::npos && frac.find_first_not_of('0') == std::string::npos;
  std::string out;
  if (s.currency) out += s.currency;
  if (d.negative && !zero) out += '-';
  if (s.grouped && intPart.size() >= 4) {
    for (size_t i = 0; i < intPart.size(); ++i) {
      out += intPart[i];
      const size_t left = intPart.size() - i - 1;
      if (left > 0 && left % 3 == 0) out += ',';
    }
  } else {
    out += intPart;
  }
  if (!frac.empty()) out += "." + frac;
  if (s.percent) out += '%';
  return out;
}

std::string FormatSheetDate(std::string_view value, int cls, const SheetFormatContext& ctx) {
  Digits d = Parse(value);
  if (!d.ok) return "";
  // A value in exponent form, or one too large for a date, is shown as a number.
  std::string whole = d.digits.substr(0, static_cast<size_t>(std::clamp(d.point, 0, static_cast<int>(d.digits.size()))));
  whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size()));
  if (d.hadExponent || whole.size() > 9) return FormatSheetNumber(value, 0, ctx);
  int64_t serial = whole.empty() ? 0 : std::stoll(whole);
  std::string fraction = d.point >= 0 && d.point < static_cast<int>(d.digits.size()) ? d.digits.substr(static_cast<size_t>(d.point)) : "";
  fraction.resize(9, '0');
  const int64_t f = std::stoll(fraction);
  if (ctx.date1904) serial += 1462;
  if (d.negative) serial = 0;
  if (serial > kLastDateSerial) return FormatSheetNumber(value, 0, ctx);
  // Seconds of the day from nine fraction digits, rounded: a value written as
  // 0.572916666 is 13:45:00, not 13:44:59.
  int seconds = static_cast<int>((f * 86400 + 500000000) / 1000000000);
  if (seconds >= 86400) {
    seconds -= 86400;
    ++serial;
  }
  SerialMoment m = SerialToMoment(serial, seconds);
  int form = cls / 1000;
  if (form == 18 || form == 20 || form == 32) {
    if (m.second >= 30 && ++m.minute == 60) {
      m.minute = 0;
      m.hour = (m.hour + 1) % 24;
    }
  }
  const int yy = m.year % 100;
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const char* mon = kMonths[std::clamp(m.month, 1, 12) - 1];
  const int h12 = m.hour % 12 == 0 ? 12 : m.hour % 12;
  const char* ampm = m.hour >= 12 ? "PM" : "AM";
  // The era by the serial (Shift-JIS names).
  const char* era = "XXXX";
  const char* letter = "X";
  int eraYear = 99;
  if (serial >= 32516) era = "\x95\xBD\x90\xAC", letter = "H", eraYear = m.year - 1988;
  else if (serial >= 9856) era = "\x8F\xBA\x98\x61", letter = "S", eraYear = m.year - 1925;
  else if (serial >= 4595) era = "\x91\xE5\x90\xB3", letter = "T", eraYear = m.year - 1911;
  else if (m.year > 1900) era = "\x96\xBE\x8E\xA1", letter = "M", eraYear = m.year - 1867;
  // 年 月 日 時 分 秒 in Shift-JIS.
  const char* nen = "\x94\x4E";
  const char* tsuki = "\x8C\x8E";
  const char* nichi = "\x93\xFA";
  const char* ji = "\x8E\x9E";
  const char* fun = "\x95\xAA";
  const char* byo = "\x95\x62";
  char out[96];
  switch (form) {
    case 14: std::snprintf(out, sizeof out, "%d/%d/%d", m.year, m.month, m.day); break;
    case 15: std::snprintf(out, sizeof out, "%d/%s/%d", m.day, mon, yy); break;
    case 16: std::snprintf(out, sizeof out, "%d-%s", m.day, mon); break;
    case 17: std::snprintf(out, sizeof out, "%s-%d", mon, yy); break;
    case 18: std::snprintf(out, sizeof out, "%d:%02d %s", h12, m.minute, ampm); break;
    case 19: case 560: std::snprintf(out, sizeof out, "%d:%02d:%02d %s", h12, m.minute, m.second, ampm); break;
    case 20: std::snprintf(out, sizeof out, "%d:%02d", m.hour, m.minute); break;
    case 21: case 46: case 557: std::snprintf(out, sizeof out, "%d:%02d:%02d", m.hour, m.minute, m.second); break;
    case 22: std::snprintf(out, sizeof out, "%d/%d/%d %d:%02d", m.year, m.month, m.day, m.hour, m.minute); break;
    case 23: std::snprintf(out, sizeof out, "%dh%02dm%02ds", m.hour, m.minute, m.second); break;
    case 30: std::snprintf(out, sizeof out, "%d/%02d/%02d", m.month, m.day, yy); break;
    case 31: std::snprintf(out, sizeof out, "%d%s%d%s%d%s", m.year, nen, m.month, tsuki, m.day, nichi); break;
    case 32: std::snprintf(out, sizeof out, "%d%s%02d%s", m.hour, ji, m.minute, fun); break;
    case 33: std::snprintf(out, sizeof out, "%d%s%02d%s%02d%s", m.hour, ji, m.minute, fun, m.second, byo); break;
    case 45: std::snprintf(out, sizeof out, "%02d:%02d", m.minute, m.second); break;
    case 47: std::snprintf(out, sizeof out, "%02d:%02d:0", m.minute, m.second); break;
    case 55: case 555: std::snprintf(out, sizeof out, "%d%s%d%s", m.year, nen, m.month, tsuki); break;
    case 56: std::snprintf(out, sizeof out, "%d%s%d%s", m.month, tsuki, m.day, nichi); break;
    case 57: std::snprintf(out, sizeof out, "%s%d.%d.%d", letter, eraYear, m.month, m.day); break;
    case 58: std::snprintf(out, sizeof out, "%s%d%s%d%s%d%s", era, eraYear, nen, m.month, tsuki, m.day, nichi); break;
    case 552: std::snprintf(out, sizeof out, "%d/%d", m.month, m.year); break;
    case 553: std::snprintf(out, sizeof out, "%d/%d", m.year, m.month); break;
    case 554: std::snprintf(out, sizeof out, "%d/%d", m.month, m.day); break;
    case 556: std::snprintf(out, sizeof out, "%d/%02d/'%d", m.month, m.day, yy); break;
    case 558:
      std::snprintf(out, sizeof out, "%d%s%d%s%d%s %d%s%02d%s", m.year, nen, m.month, tsuki, m.day, nichi, m.hour, ji, m.minute, fun);
      break;
    case 559: std::snprintf(out, sizeof out, "%d/%02d/%02d %d:%02d %s", m.year, m.month, m.day, h12, m.minute, ampm); break;
    default: std::snprintf(out, sizeof out, "%d/%d/%d", m.year, m.month, m.day); break;
  }
  return out;
}
