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

// The value of a compact RK number.
double DecodeRk(uint32_t rk);
// The text of a value under a style.
BiffNumberText FormatBiffNumber(double value, const BiffNumberStyle& style);
