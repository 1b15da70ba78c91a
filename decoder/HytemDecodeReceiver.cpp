#include "HytemDecodeReceiver.h"

#include <cstdint>
#include <new>
#include <string>

#include "HytemNameValueDefns.h"
#include "NameValueDecoder.h"

namespace {
constexpr std::uint32_t kMsgClassFlags = 0x800000;

const char* MessageName(std::int32_t nMsgClass) {
  switch (nMsgClass) {
    case kHytemMsgClassHeader: return "Header Info";
    case kHytemMsgClassMeasurement: return "Scanner message";
    default: return "Unknown message :ERROR!";
  }
}
}  // namespace

const KelMessageClassDecl s_hytemMsgClassDecls[2] = {
    {kHytemMsgClassHeader, KEL_ROLE_HEADER, "HYTEM Header"},
    {kHytemMsgClassMeasurement, KEL_ROLE_MEASUREMENT, "HYTEM Message"},
};

CVyrDecodeReceiverHytem::CVyrDecodeReceiverHytem(const CVyrDeviceTypeInfo& info)
    : CVyrDecodeReceiver(info), m_pDefnMap(CreateNameValueDefnMap()) {
  for (int r = 0; r < s_nHytemNameValueDefns; ++r)
    m_pDefnMap->SetAt(s_HytemNameValueDefns[r].pszName, s_HytemNameValueDefns[r]);
}

CVyrDecodeReceiverHytem::~CVyrDecodeReceiverHytem() = default;

RolRetc CVyrDecodeReceiverHytem::DecodeMessage(const CVyrGenericHsMessage& msg, IVyrDataState* pDataState,
                                               CVyrExpandedMessage& expanded, IKelCellRefs_Search* pSearch) {
  try {
    return DecodeMessageWithin(msg, pDataState, expanded, pSearch);
  } catch (const std::bad_alloc&) {
    return ROL_OUT_OF_MEMORY;
  }
}

RolRetc CVyrDecodeReceiverHytem::DecodeMessageWithin(const CVyrGenericHsMessage& msg, IVyrDataState* pDataState,
                                                     CVyrExpandedMessage& expanded, IKelCellRefs_Search* pSearch) {
  if (CVyrDecodeDevice::DecodeMessage(msg, pDataState, expanded, pSearch) == 0) return 0;
  m_planBudget.AddMessage(msg.GetMsgBufLen());
  const std::int32_t nMsgClass = msg.m_nMsgClass;

  if (expanded.m_bWantSummaryText) {
    // Assigned in place, so that the text keeps its storage from one
    // message to the next.
    std::string& strSummary = expanded.m_strSummaryText.str();
    // Room for the line end too: a long payload is not copied twice.
    strSummary.clear();
    strSummary.reserve(static_cast<size_t>(msg.GetMsgBufLen()) + 2);
    strSummary.assign(msg.GetMsgBufLen() == 0 ? "EMPTY MESSAGE" : msg.GetMsgBuf());
    strSummary += "\r\n";
  }

  NameValueDecoder decoder{pDataState, &expanded, this, pSearch};
  decoder.Decode(msg, *m_pDefnMap, &m_layout);

  expanded.m_nMsgType = static_cast<std::int16_t>(nMsgClass);
  if (expanded.m_bWantMsgName) expanded.m_strMsgName = MessageName(nMsgClass);
  return 0;
}

void CVyrDecodeReceiverHytem::GetSupportedMsgClassInfo(CVyrDeviceMsgClassInfoArray& array) const {
  CVyrDecodeDevice::GetSupportedMsgClassInfo(array);
  const CVyrDeviceMsgClassInfo classes[] = {
      {s_hytemMsgClassDecls[0].pszName, kHytemMsgClassHeader, 1, kMsgClassFlags, 0, nullptr, -1, 0},
      {s_hytemMsgClassDecls[1].pszName, kHytemMsgClassMeasurement, 1, kMsgClassFlags, 0, nullptr, -1, 0},
  };
  AddSupportedMsgClassInfo(array, classes, 2);
}

RolRetc CVyrDecodeReceiverHytem::GetMsgBrowseGroupDefn(CVyrMsgBrowseGroupDefn& defn) {
  CVyrDecodeDevice::GetMsgBrowseGroupDefn(defn);
  return 0;
}

CVyrDecodeDevice* CreateHytemDecodeDevice(const CVyrDeviceTypeInfo& info) {
  try {
    return new CVyrDecodeReceiverHytem(info);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
