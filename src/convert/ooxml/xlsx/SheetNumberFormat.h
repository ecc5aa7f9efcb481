// Spreadsheet number and date formats of the XLSX road: a cell value's decimal text
// from the sheet, rewritten digit by digit as the cell's format class shows it
// (never through a floating-point value), or, for the date and time forms, printed
// from the day serial in one of a fixed list of forms, Japanese eras included.
#pragma once

#include <string>
#include <string_view>

struct SheetFormatContext {
  bool date1904 = false;
  int tableDecimals = 0;    // 0 as the format says; 1 no decimals; k: k - 1 decimals
  int columnWidthMode = 0;  // thousands separators only below kWidthsCellList
};

// True for the forms printed as dates and times.
bool IsDateForm(int formatClass);
// The displayed text of a date or time value; empty when the value is no number.
std::string FormatSheetDate(std::string_view value, int formatClass, const SheetFormatContext& context);
// The displayed text of a number value (a plain number: digits, sign, point, exponent).
std::string FormatSheetNumber(std::string_view value, int formatClass, const SheetFormatContext& context);
// A plain number: digits, '-', '+', '.', ',' and an exponent, at most 256 characters.
bool IsPlainNumber(std::string_view value);
