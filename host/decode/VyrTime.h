// Signed 64-bit millisecond counts: absolute times (from 1970-01-01 00:00 UTC,
// no time zone) and relative times.
#pragma once

#include <cstdint>
#include <string>

class CTime;

class CVyrMilliSecRelTime {
 public:
  CVyrMilliSecRelTime() = default;
  explicit CVyrMilliSecRelTime(std::int64_t ms) : m_ms(ms) {}
  std::int64_t GetMs() const { return m_ms; }
  std::int64_t m_ms = 0;
};

class CVyrMilliSecAbsTime {
 public:
  CVyrMilliSecAbsTime() = default;
  // Midnight plus the given time on a civil date. Months and days out of range
  // roll over into the neighbouring months and years instead of failing, and
  // dates beyond the 64-bit range saturate.
  CVyrMilliSecAbsTime(int nYear, int nMonth, int nDay, int nHour, int nMinute, int nSecond);
  CVyrMilliSecAbsTime(const CTime& time, int nMilliSeconds);

  std::int64_t GetMs() const { return m_ms; }
  void SetMs(std::int64_t ms) { m_ms = ms; }
  // "YYYY-MM-DDTHH:MM:SS.mmm".
  std::string FormatIso8601() const;

  std::int64_t m_ms = 0;
};

constexpr std::int64_t kVyrMsPerDay = 86400000;
