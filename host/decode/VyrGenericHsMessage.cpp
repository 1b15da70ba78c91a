#include "VyrGenericHsMessage.h"

char* CVyrGenericHsMessage::AllocMsgBuf(int n) {
  // The caller writes all n characters: the room is not cleared, and only
  // storage beyond any payload before is made.
  m_nLen = n > 0 ? n : 0;
  if (m_buf.size() <= static_cast<size_t>(m_nLen)) m_buf.resize(static_cast<size_t>(m_nLen) + 1);
  m_buf[static_cast<size_t>(m_nLen)] = '\0';
  m_bHasBuf = true;
  m_bHasIndex = false;
  return m_buf.data();
}

std::uint32_t* CVyrGenericHsMessage::AllocPayloadIndex(std::uint32_t nNamesLength, std::uint32_t nValues) {
  m_indexValueEnds.resize(nValues);
  m_nIndexNamesLength = nNamesLength;
  m_bHasIndex = true;
  return m_indexValueEnds.data();
}

bool CVyrGenericHsMessage::GetPayloadIndex(VyrPayloadIndex& index) const {
  if (!m_bHasIndex || !m_bHasBuf) return false;
  index.nNamesLength = m_nIndexNamesLength;
  index.pValueEnds = m_indexValueEnds.data();
  index.nValues = static_cast<std::uint32_t>(m_indexValueEnds.size());
  return true;
}

void CVyrGenericHsMessage::Reset() {
  m_nLen = 0;
  m_bHasBuf = false;
  m_bHasIndex = false;
  m_nMsgClass = 0;
  m_msgTime = CVyrMilliSecRelTime();
  m_dLongitude = kVyrNoPosition;
  m_dLatitude = kVyrNoPosition;
  m_byPosQuality = 0;
  m_nFlags = 0;
}
