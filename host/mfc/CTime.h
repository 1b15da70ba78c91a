// MFC's CTime: seconds since 1970-01-01 UTC.
#pragma once

#include <cstdint>

class CTime {
 public:
  CTime() = default;
  CTime(std::int64_t t) : m_time(t) {}
  std::int64_t GetTime() const { return m_time; }

 private:
  std::int64_t m_time = 0;
};
