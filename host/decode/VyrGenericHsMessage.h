// The host's message: class, time, position, and a payload text buffer.
#pragma once

#include <cstdint>
#include <string>

#include "VyrTime.h"

constexpr double kVyrNoPosition = -10000.0;

class CVyrGenericHsMessage {
 public:
  CVyrGenericHsMessage() = default;
  virtual ~CVyrGenericHsMessage() = default;

  // The payload text, or null when the message has no payload buffer.
  virtual const char* GetMsgBuf() const { return m_bHasBuf ? m_buf.c_str() : nullptr; }
  virtual char* GetMsgBufForWrite() { return m_bHasBuf ? m_buf.data() : nullptr; }
  virtual int GetMsgBufLen() const { return m_bHasBuf ? static_cast<int>(m_buf.size()) : 0; }

  // Makes room for n characters (plus a terminator) and returns the buffer;
  // the payload then reads back as the n characters that the caller copies in.
  char* AllocMsgBuf(int n);
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
  std::string m_buf;
  bool m_bHasBuf = false;
};
