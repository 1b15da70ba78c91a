// The display record of one decoded message: the three texts, the flags by
// which the host asks for each, and the message type.
#pragma once

#include <cstdint>

#include "CString.h"

class CVyrExpandedMessage {
 public:
  void Reset() {
    m_strSummaryText.Empty();
    m_strMsgName.Empty();
    m_strDetailText.Empty();
    m_nMsgType = 0;
  }

  CString m_strSummaryText;
  CString m_strMsgName;
  CString m_strDetailText;
  std::uint8_t m_bWantSummaryText = 1;
  std::uint8_t m_bWantMsgName = 1;
  std::uint8_t m_bWantDetailText = 1;
  std::int32_t m_nMsgType = 0;
};
