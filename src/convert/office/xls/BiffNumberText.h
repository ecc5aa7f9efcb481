// Number texts of the binary workbook records: a cell value (an IEEE double, or a
// compact RK value) written as the sheet shows it under its number format, with
// integer arithmetic on the decimal digits: plain numbers with the format's
// decimals, thousands grouping, the yen sign, percent, dates ('yy-mm-dd, with the
// time when the day has one) and times.
#pragma once

#include <cstdint>
#include <string>

struct BiffNumberStyle {
  int format = 0;        // built-in format number (up to 160), or the kind of a custom one
  int decimals = 8;      // decimals code: 0 to 3, 4 (four or more), 8 general
  bool grouping = false; // thousands separators
  bool yen = false;      // a leading "\"
  bool date1904 = false;
  bool dropZeroFraction = false;  // a fraction of zeros is left out (a decimals setting of 10 or more)
};

struct BiffNumberText {
  std::string text;
  int code = 0;  // CellTextCode: 9,000 + n for a number, 1,000 + n for a date or time, 0 empty
};

// The longest number text (a yen mark, a sign, 17 grouped digits and a fraction).
constexpr int kBiffNumberMax = 48;

// The value of a compact RK number.
double DecodeRk(uint32_t rk);
// The text of a value under a style.
BiffNumberText FormatBiffNumber(double value, const BiffNumberStyle& style);
// The same text written into out (kBiffNumberMax bytes, not terminated) without a
// string: its length, and its CellTextCode in code. The per-cell road of the workbook.
int FormatBiffNumberTo(double value, const BiffNumberStyle& style, char* out, int& code);
