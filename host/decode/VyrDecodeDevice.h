// Decode devices: the device description, the message-class description, the
// decode-device base class and the registry of decode-device factories.
#pragma once

#include <cstdint>
#include <limits>
#include <vector>

#include "CArray.h"
#include "CString.h"
#include "RolRetc.h"
#include "VyrDataState.h"
#include "VyrExpandedMessage.h"
#include "VyrGenericHsMessage.h"

class CVyrDeviceTypeInfo {
 public:
  CVyrDeviceTypeInfo() = default;
  CVyrDeviceTypeInfo(std::int16_t nDeviceType, std::int16_t nSubType, std::int16_t nInstance, std::int16_t nVariant,
                     std::uint64_t qwFlags, const char* pszName, const char* pszShortName, std::uint64_t qwExtra)
      : m_nDeviceType(nDeviceType), m_nSubType(nSubType), m_nInstance(nInstance), m_nVariant(nVariant),
        m_qwFlags(qwFlags), m_strName(pszName), m_strShortName(pszShortName), m_qwExtra(qwExtra) {}

  std::int16_t m_nDeviceType = 0;
  std::int16_t m_nSubType = 0;
  std::int16_t m_nInstance = 0;
  std::int16_t m_nVariant = 0;
  std::uint64_t m_qwFlags = 0;
  CString m_strName;
  CString m_strShortName;
  std::uint64_t m_qwExtra = 0;
};

class CVyrDeviceMsgClassInfo {
 public:
  CVyrDeviceMsgClassInfo() = default;
  CVyrDeviceMsgClassInfo(const char* pszName, std::int16_t nClassId, std::int16_t nGroup, std::uint32_t dwFlags,
                         std::int16_t nReserved, const char* pszDescription, std::int32_t nParent,
                         std::int32_t nOrder)
      : m_strName(pszName), m_nClassId(nClassId), m_nGroup(nGroup), m_dwFlags(dwFlags), m_nReserved(nReserved),
        m_strDescription(pszDescription), m_nParent(nParent), m_nOrder(nOrder) {}

  CString m_strName;
  std::int16_t m_nClassId = 0;
  std::int16_t m_nGroup = 0;
  std::uint32_t m_dwFlags = 0;
  std::int16_t m_nReserved = 0;
  CString m_strDescription;
  std::int32_t m_nParent = 0;
  std::int32_t m_nOrder = 0;
};

using CVyrDeviceMsgClassInfoArray = CArray<CVyrDeviceMsgClassInfo, const CVyrDeviceMsgClassInfo&>;

class IVyrSchemaAccessor;
class CVyrMsgBrowseGroupDefn {};
class IXMLDOMElement;
enum EScannerLoadType { eScannerLoadNone = 0, eScannerLoadScan = 1 };

class CVyrDecodeDevice {
 public:
  // The decode settings that decode devices read. There is one per thread:
  // a host sets them from a decode's own settings before it decodes each
  // message, so that decodes with different settings run side by side.
  struct DecodeSettings {
    // The weakest level, in dBm, that scan decoding keeps. The default keeps
    // every level.
    double dLevelThreshold = -std::numeric_limits<double>::infinity();
  };
  static thread_local DecodeSettings m_prefs;

  explicit CVyrDecodeDevice(const CVyrDeviceTypeInfo& info) : m_deviceTypeInfo(info) {}
  virtual ~CVyrDecodeDevice() = default;
  CVyrDecodeDevice(const CVyrDecodeDevice&) = delete;
  CVyrDecodeDevice& operator=(const CVyrDecodeDevice&) = delete;

  virtual RolRetc DecodeMessagePreExec(const CVyrGenericHsMessage& msg, IVyrDataState* pDataState,
                                       CVyrExpandedMessage& expanded, IKelCellRefs_Search* pSearch);
  // The base answers 0 ("do not decode") while the host has disabled the
  // device, and 1 otherwise.
  virtual RolRetc DecodeMessage(const CVyrGenericHsMessage& msg, IVyrDataState* pDataState,
                                CVyrExpandedMessage& expanded, IKelCellRefs_Search* pSearch);
  virtual RolRetc DecodeMessagePostExec(const CVyrGenericHsMessage& msg, IVyrDataState* pDataState,
                                        CVyrExpandedMessage& expanded, IKelCellRefs_Search* pSearch);
  virtual RolRetc PrepareDataState(IVyrDataState* pDataState, const IVyrSchemaAccessor* pSchema,
                                   std::uint32_t dwFlags, IKelCellRefs_File* pCellRefs);
  virtual bool IsMessageRedundant(const CVyrGenericHsMessage& msg);
  virtual void DoDecodeComplete(IVyrDataState* pDataState);
  virtual void GetSupportedMsgClassInfo(CVyrDeviceMsgClassInfoArray& array) const;
  virtual EScannerLoadType GetScannerLoadType();
  virtual RolRetc GetMsgBrowseGroupDefn(CVyrMsgBrowseGroupDefn& defn);
  virtual void GetLoadPerfInfoToXML(IXMLDOMElement* pElement);

  const CVyrDeviceTypeInfo& GetDeviceTypeInfo() const { return m_deviceTypeInfo; }
  void SetDecodeEnabled(bool bEnabled) { m_bDecodeEnabled = bEnabled; }

 protected:
  static void AddSupportedMsgClassInfo(CVyrDeviceMsgClassInfoArray& array, const CVyrDeviceMsgClassInfo* pInfos,
                                       int nCount);

 private:
  CVyrDeviceTypeInfo m_deviceTypeInfo;
  bool m_bDecodeEnabled = true;
};

using VyrCreateDecodeDeviceFn = CVyrDecodeDevice* (*)(const CVyrDeviceTypeInfo&);

// Registers a decode device when a module's static object is built. The
// registry keeps copies; nothing is unregistered, so the helper needs no
// destructor.
class CVyrDecodeDeviceFactoryHelper {
 public:
  CVyrDecodeDeviceFactoryHelper(const CVyrDeviceTypeInfo& info, VyrCreateDecodeDeviceFn pfnCreate, bool bEnabled,
                                const char* pszOptions);

  struct Registration {
    CVyrDeviceTypeInfo info;
    VyrCreateDecodeDeviceFn pfnCreate;
    bool bEnabled;
    CString strOptions;
  };
  // A snapshot of every registration, in registration order.
  static std::vector<Registration> GetRegistrations();
  // The count of registrations, and the withdrawal of those from the
  // nFirst-th on (for a host that unloads a module it refused).
  static size_t GetRegistrationCount();
  static void WithdrawFrom(size_t nFirst);
  // The newest registration of a device type, or false.
  static bool FindByDeviceType(int nDeviceType, Registration& out);
};
