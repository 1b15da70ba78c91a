#include "VyrGenericHsMessage.h"

char* CVyrGenericHsMessage::AllocMsgBuf(int n) {
  m_buf.assign(n > 0 ? static_cast<size_t>(n) : 0, '\0');
  m_bHasBuf = true;
  return m_buf.data();
}

void CVyrGenericHsMessage::Reset() {
  m_buf.clear();
  m_bHasBuf = false;
  m_nMsgClass = 0;
  m_msgTime = CVyrMilliSecRelTime();
  m_dLongitude = kVyrNoPosition;
  m_dLatitude = kVyrNoPosition;
  m_byPosQuality = 0;
  m_nFlags = 0;
}
