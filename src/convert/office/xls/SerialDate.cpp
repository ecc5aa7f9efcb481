// Day serials to calendar dates: the days-from-civil inversion of the proleptic
// Gregorian calendar (Howard Hinnant's algorithm), in integers.
#include "convert/office/xls/SerialDate.h"

SerialMoment SerialToDay(int64_t serial) {
  // Days since 1970-01-01; serial 25,569 is that day.
  const int64_t z = serial - 25569 + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  SerialMoment m;
  m.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  m.year = static_cast<int>(yoe + era * 400 + (m.month <= 2 ? 1 : 0));
  return m;
}

SerialMoment SerialToMoment(int64_t serial, int secondOfDay) {
  SerialMoment m = SerialToDay(serial);
  m.hour = secondOfDay / 3600;
  m.minute = secondOfDay / 60 % 60;
  m.second = secondOfDay % 60;
  return m;
}
