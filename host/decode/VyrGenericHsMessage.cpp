#include "VyrGenericHsMessage.h"

char* CVyrGenericHsMessage::AllocMsgBuf(int n) {
  // resize, not assign: the bytes kept from the last payload are overwritten
  // by the caller, so only room beyond it is filled.
  m_buf.resize(n > 0 ? static_cast<size_t>(n) : 0);
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
  m_buf.clear();
  m_bHasBuf = false;
  m_bHasIndex = false;
  m_nMsgClass = 0;
  m_msgTime = CVyrMilliSecRelTime();
  m_dLongitude = kVyrNoPosition;
  m_dLatitude = kVyrNoPosition;
  m_byPosQuality = 0;
  m_nFlags = 0;
}
