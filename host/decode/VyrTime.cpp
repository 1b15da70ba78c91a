#include "VyrTime.h"

#include <cstdio>
#include <limits>

#include "CTime.h"

namespace {
using i128 = __int128;

// Days from 1970-01-01 of a proleptic Gregorian date (month 1 to 12).
i128 DaysFromCivil(i128 y, int m, int d) {
  y -= m <= 2;
  i128 era = (y >= 0 ? y : y - 399) / 400;
  i128 yoe = y - era * 400;
  i128 doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  i128 doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t& y, int& m, int& d) {
  z += 719468;
  std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  std::int64_t doe = z - era * 146097;
  std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  std::int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = yoe + era * 400 + (m <= 2);
}

std::int64_t Saturate(i128 v) {
  constexpr auto lo = std::numeric_limits<std::int64_t>::min();
  constexpr auto hi = std::numeric_limits<std::int64_t>::max();
  return v < lo ? lo : v > hi ? hi : static_cast<std::int64_t>(v);
}

i128 FloorDiv(i128 a, i128 b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }
}  // namespace

CVyrMilliSecAbsTime::CVyrMilliSecAbsTime(int nYear, int nMonth, int nDay, int nHour, int nMinute, int nSecond) {
  // Month 13 is January of the next year, month 0 December of the previous.
  i128 monthIndex = static_cast<i128>(nMonth) - 1;
  i128 year = static_cast<i128>(nYear) + FloorDiv(monthIndex, 12);
  int month = static_cast<int>(monthIndex - FloorDiv(monthIndex, 12) * 12) + 1;
  i128 days = DaysFromCivil(year, month, 1) + (static_cast<i128>(nDay) - 1);
  i128 ms = days * kVyrMsPerDay + (static_cast<i128>(nHour) * 3600 + static_cast<i128>(nMinute) * 60 + nSecond) * 1000;
  m_ms = Saturate(ms);
}

CVyrMilliSecAbsTime::CVyrMilliSecAbsTime(const CTime& time, int nMilliSeconds)
    : m_ms(Saturate(static_cast<i128>(time.GetTime()) * 1000 + nMilliSeconds)) {}

std::string CVyrMilliSecAbsTime::FormatIso8601() const {
  // The day's start may lie below the 64-bit range for the earliest times.
  std::int64_t days = static_cast<std::int64_t>(FloorDiv(m_ms, kVyrMsPerDay));
  std::int64_t msOfDay = static_cast<std::int64_t>(m_ms - static_cast<i128>(days) * kVyrMsPerDay);
  std::int64_t y;
  int m, d;
  CivilFromDays(days, y, m, d);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04lld-%02d-%02dT%02d:%02d:%02d.%03d", static_cast<long long>(y), m, d,
                static_cast<int>(msOfDay / 3600000), static_cast<int>(msOfDay / 60000 % 60),
                static_cast<int>(msOfDay / 1000 % 60), static_cast<int>(msOfDay % 1000));
  return buf;
}
