#include "VyrDecodeDevice.h"

#include <mutex>

thread_local CVyrDecodeDevice::DecodeSettings CVyrDecodeDevice::m_prefs;

RolRetc CVyrDecodeDevice::DecodeMessagePreExec(const CVyrGenericHsMessage&, IVyrDataState*, CVyrExpandedMessage&,
                                               IKelCellRefs_Search*) {
  return ROL_OK;
}

RolRetc CVyrDecodeDevice::DecodeMessage(const CVyrGenericHsMessage&, IVyrDataState*, CVyrExpandedMessage&,
                                        IKelCellRefs_Search*) {
  return m_bDecodeEnabled ? 1 : 0;
}

RolRetc CVyrDecodeDevice::DecodeMessagePostExec(const CVyrGenericHsMessage&, IVyrDataState*, CVyrExpandedMessage&,
                                                IKelCellRefs_Search*) {
  return ROL_OK;
}

RolRetc CVyrDecodeDevice::PrepareDataState(IVyrDataState*, const IVyrSchemaAccessor*, std::uint32_t,
                                           IKelCellRefs_File*) {
  return ROL_OK;
}

bool CVyrDecodeDevice::IsMessageRedundant(const CVyrGenericHsMessage&) { return false; }
void CVyrDecodeDevice::DoDecodeComplete(IVyrDataState*) {}
void CVyrDecodeDevice::GetSupportedMsgClassInfo(CVyrDeviceMsgClassInfoArray&) const {}
EScannerLoadType CVyrDecodeDevice::GetScannerLoadType() { return eScannerLoadScan; }
RolRetc CVyrDecodeDevice::GetMsgBrowseGroupDefn(CVyrMsgBrowseGroupDefn&) { return ROL_OK; }
void CVyrDecodeDevice::GetLoadPerfInfoToXML(IXMLDOMElement*) {}

void CVyrDecodeDevice::AddSupportedMsgClassInfo(CVyrDeviceMsgClassInfoArray& array,
                                                const CVyrDeviceMsgClassInfo* pInfos, int nCount) {
  for (int i = 0; pInfos && i < nCount; ++i) array.Add(pInfos[i]);
}

namespace {
std::mutex& FactoryLock() {
  static std::mutex m;
  return m;
}
std::vector<CVyrDecodeDeviceFactoryHelper::Registration>& Factories() {
  static std::vector<CVyrDecodeDeviceFactoryHelper::Registration> r;
  return r;
}
}  // namespace

CVyrDecodeDeviceFactoryHelper::CVyrDecodeDeviceFactoryHelper(const CVyrDeviceTypeInfo& info,
                                                             VyrCreateDecodeDeviceFn pfnCreate, bool bEnabled,
                                                             const char* pszOptions) {
  std::lock_guard<std::mutex> lock(FactoryLock());
  Factories().push_back({info, pfnCreate, bEnabled, CString(pszOptions)});
}

std::vector<CVyrDecodeDeviceFactoryHelper::Registration> CVyrDecodeDeviceFactoryHelper::GetRegistrations() {
  std::lock_guard<std::mutex> lock(FactoryLock());
  return Factories();
}

size_t CVyrDecodeDeviceFactoryHelper::GetRegistrationCount() {
  std::lock_guard<std::mutex> lock(FactoryLock());
  return Factories().size();
}

void CVyrDecodeDeviceFactoryHelper::WithdrawFrom(size_t nFirst) {
  std::lock_guard<std::mutex> lock(FactoryLock());
  if (nFirst < Factories().size()) Factories().resize(nFirst);
}

bool CVyrDecodeDeviceFactoryHelper::FindByDeviceType(int nDeviceType, Registration& out) {
  std::lock_guard<std::mutex> lock(FactoryLock());
  for (auto it = Factories().rbegin(); it != Factories().rend(); ++it)
    if (it->info.m_nDeviceType == nDeviceType) {
      out = *it;
      return true;
    }
  return false;
}
