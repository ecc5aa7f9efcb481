// Spreadsheet day serials in the OLE automation date convention: day 0 is
// 1899-12-30, so serial 1 is 1899-12-31 and serials from 61 on match the
// spreadsheet calendar. Shared by the binary and the XLSX workbook roads (the XLSX
// reader uses the office folder's sheet tables and dates; office uses nothing of ooxml).
#pragma once

#include <cstdint>

struct SerialMoment {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0;
};

// The last serial with a four-digit year (9999-12-31).
constexpr int64_t kLastDateSerial = 2958465;

// The calendar day of a serial (0 to kLastDateSerial).
SerialMoment SerialToDay(int64_t serial);
// The moment of serial + seconds within the day (0 to 86,399).
SerialMoment SerialToMoment(int64_t serial, int secondOfDay);
