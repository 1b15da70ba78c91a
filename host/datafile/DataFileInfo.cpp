#include "DataFileInfo.h"

namespace {
constexpr std::int64_t kHalfDayMs = kVyrMsPerDay / 2;

std::int64_t FloorMod(std::int64_t a, std::int64_t b) {
  std::int64_t r = a % b;
  return r < 0 ? r + b : r;
}

// Wrapping arithmetic keeps absurd inputs (a time of day of 10^15 hours, a
// start time at the end of the range) free of undefined behaviour; such
// times are nonsense either way.
std::int64_t WrapAdd(std::int64_t a, std::int64_t b) {
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) + static_cast<std::uint64_t>(b));
}
std::int64_t WrapSub(std::int64_t a, std::int64_t b) {
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) - static_cast<std::uint64_t>(b));
}
}  // namespace

void CDataFileInfo::Clear() {
  m_streams.clear();
  m_startTime = CVyrMilliSecAbsTime();
  m_nOffsetMs = 0;
  m_bHasStartTime = false;
  m_nDayOffsetMs = 0;
  m_nLastTimeWithinDay = 0;
}

void CDataFileInfo::SetFileStartTime(const CVyrMilliSecAbsTime& start, const CVyrMilliSecRelTime& offset,
                                     bool bValid) {
  m_startTime = start;
  m_nOffsetMs = offset.GetMs();
  m_bHasStartTime = bValid;
  m_nDayOffsetMs = 0;
  m_nLastTimeWithinDay = FloorMod(start.GetMs(), kVyrMsPerDay);
}

CVyrMilliSecRelTime CDataFileInfo::CalculateRelMsgTimeFromTimeWithinDay(const CVyrMilliSecRelTime& timeWithinDay) {
  std::int64_t t = timeWithinDay.GetMs();
  // Readers pass 0 for a line whose time they could not read: such a time
  // says nothing about the day and must not start a new one.
  if (t != 0) {
    if (static_cast<__int128>(t) < static_cast<__int128>(m_nLastTimeWithinDay) - kHalfDayMs)
      m_nDayOffsetMs = WrapAdd(m_nDayOffsetMs, kVyrMsPerDay);
    m_nLastTimeWithinDay = t;
  }
  std::int64_t startOfDay = WrapSub(m_startTime.GetMs(), FloorMod(m_startTime.GetMs(), kVyrMsPerDay));
  std::int64_t rel = WrapSub(WrapAdd(WrapAdd(startOfDay, m_nDayOffsetMs), t), m_startTime.GetMs());
  return CVyrMilliSecRelTime(WrapAdd(rel, m_nOffsetMs));
}
