// What a data file tells the host about itself: its streams and start time.
#pragma once

#include <cstdint>
#include <vector>

#include "CString.h"
#include "VyrDecodeDevice.h"
#include "VyrTime.h"

class CDataStreamInfo {
 public:
  CVyrDeviceTypeInfo m_deviceType;  // first member: the stream's device
  std::int32_t m_nStreamFlags = 0;
  CString m_strName;
  std::int64_t m_startTime = 0;     // milliseconds, as CVyrMilliSecAbsTime
};

class CDataFileInfo {
 public:
  // No stream, no start time.
  void Clear();
  void AddStreamInfo(const CDataStreamInfo& info) { m_streams.push_back(info); }
  void SetFileStartTime(const CVyrMilliSecAbsTime& start, const CVyrMilliSecRelTime& offset, bool bValid);

  // Message time from the file start for a time within the day (milliseconds
  // since midnight, possibly shifted by the reader). Times are read in file
  // order: a time more than twelve hours before the previous one is taken to
  // lie on the next day, so that logs that run past midnight keep counting up.
  // A time of exactly 0 (what readers pass for an unreadable time) neither
  // starts a new day nor counts as the previous time.
  CVyrMilliSecRelTime CalculateRelMsgTimeFromTimeWithinDay(const CVyrMilliSecRelTime& timeWithinDay);

  int GetStreamCount() const { return static_cast<int>(m_streams.size()); }
  const CDataStreamInfo& GetStreamInfo(int i) const { return m_streams[static_cast<size_t>(i)]; }
  bool HasFileStartTime() const { return m_bHasStartTime; }
  const CVyrMilliSecAbsTime& GetFileStartTime() const { return m_startTime; }

 private:
  std::vector<CDataStreamInfo> m_streams;
  CVyrMilliSecAbsTime m_startTime;
  std::int64_t m_nOffsetMs = 0;
  bool m_bHasStartTime = false;
  std::int64_t m_nDayOffsetMs = 0;
  std::int64_t m_nLastTimeWithinDay = 0;
};
