// The host's message: class, time, position, and a payload text buffer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "VyrTime.h"

constexpr double kVyrNoPosition = -10000.0;

// Where the fields of a message's payload lie, as the code that built the
// payload knows them: the length of the names section (up to and including
// its last "^") and the offset of the ";" that ends each value, in order,
// every ";" of the values section listed and the last one the payload's last
// character. A decoder may take the fields from it instead of splitting the
// text again.
struct VyrPayloadIndex {
  std::uint32_t nNamesLength = 0;
  const std::uint32_t* pValueEnds = nullptr;
  std::uint32_t nValues = 0;
};

class CVyrGenericHsMessage {
 public:
  CVyrGenericHsMessage() = default;
  virtual ~CVyrGenericHsMessage() = default;

  // The payload text, or null when the message has no payload buffer.
  virtual const char* GetMsgBuf() const { return m_bHasBuf ? m_buf.data() : nullptr; }
  // The writable payload; the caller may change it, so the index goes.
  virtual char* GetMsgBufForWrite() {
    m_bHasIndex = false;
    return m_bHasBuf ? m_buf.data() : nullptr;
  }
  virtual int GetMsgBufLen() const { return m_bHasBuf ? m_nLen : 0; }

  // Makes room for n characters (plus a terminator) and returns the buffer;
  // the payload then reads back as the n characters that the caller copies
  // in. The room is not cleared first: the caller writes all of it. The
  // payload index goes with the old payload.
  char* AllocMsgBuf(int n);
  // Makes room for the index of the payload now in the buffer and returns
  // the array of its nValues value ends, for the caller to fill in.
  std::uint32_t* AllocPayloadIndex(std::uint32_t nNamesLength, std::uint32_t nValues);
  // The index of the current payload; false when none was made for it.
  bool GetPayloadIndex(VyrPayloadIndex& index) const;
  // Back to a new message: no payload, no position, class and time 0. The
  // payload's storage is kept for the next message.
  void Reset();

  std::int32_t m_nMsgClass = 0;
  CVyrMilliSecRelTime m_msgTime;
  double m_dLongitude = kVyrNoPosition;
  double m_dLatitude = kVyrNoPosition;
  std::uint8_t m_byPosQuality = 0;
  std::int16_t m_nFlags = 0;

 private:
  // The payload's n characters and its terminator; the storage beyond them
  // is kept, uncleared, for the next payload (a message is refilled line
  // after line).
  std::string m_buf;
  int m_nLen = 0;
  bool m_bHasBuf = false;
  bool m_bHasIndex = false;
  std::uint32_t m_nIndexNamesLength = 0;
  std::vector<std::uint32_t> m_indexValueEnds;  // kept, like the buffer, for the next message
};
