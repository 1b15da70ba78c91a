// The decode device for HYTEM messages: names each message, gives its payload
// as the summary text and decodes the payload through the HYTEM field
// definitions.
#pragma once

#include <memory>

#include "NameValueDefn.h"
#include "NameValueLayout.h"
#include "VyrDecodeReceiver.h"

constexpr int kHytemMsgClassHeader = 306;
constexpr int kHytemMsgClassMeasurement = 307;

class CVyrDecodeReceiverHytem : public CVyrDecodeReceiver {
 public:
  explicit CVyrDecodeReceiverHytem(const CVyrDeviceTypeInfo& info);
  ~CVyrDecodeReceiverHytem() override;

  // Returns 0 in every case; decodes only when the base agrees.
  RolRetc DecodeMessage(const CVyrGenericHsMessage& msg, IVyrDataState* pDataState, CVyrExpandedMessage& expanded,
                        IKelCellRefs_Search* pSearch) override;
  void GetSupportedMsgClassInfo(CVyrDeviceMsgClassInfoArray& array) const override;
  RolRetc GetMsgBrowseGroupDefn(CVyrMsgBrowseGroupDefn& defn) override;

 private:
  std::unique_ptr<NameValueDefnMap> m_pDefnMap;
  // The fields of the last payloads' names: a device decodes one file's
  // messages, one at a time.
  CNameValueLayout m_layout;
};

// The factory's creation function; null when the receiver cannot be built.
CVyrDecodeDevice* CreateHytemDecodeDevice(const CVyrDeviceTypeInfo& info);
