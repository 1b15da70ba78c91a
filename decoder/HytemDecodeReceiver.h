// The decode device for HYTEM messages: names each message, gives its payload
// as the summary text and decodes the payload through the HYTEM field
// definitions.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "FormatDriver.h"
#include "HytemLevelsWork.h"
#include "HytemScanDecoding.h"
#include "NameValueDefn.h"
#include "NameValueLayout.h"
#include "VyrDecodeReceiver.h"

constexpr int kHytemMsgClassHeader = 306;
constexpr int kHytemMsgClassMeasurement = 307;
// The message classes the device announces, with what each stands for.
extern const KelMessageClassDecl s_hytemMsgClassDecls[2];

class CVyrDecodeReceiverHytem : public CVyrDecodeReceiver {
 public:
  explicit CVyrDecodeReceiverHytem(const CVyrDeviceTypeInfo& info);
  ~CVyrDecodeReceiverHytem() override;

  // Decodes only when the base agrees. Returns 0, or ROL_OUT_OF_MEMORY when
  // memory ran out: the decoding stopped there, the writes made so far stand.
  RolRetc DecodeMessage(const CVyrGenericHsMessage& msg, IVyrDataState* pDataState, CVyrExpandedMessage& expanded,
                        IKelCellRefs_Search* pSearch) override;
  void GetSupportedMsgClassInfo(CVyrDeviceMsgClassInfoArray& array) const override;
  RolRetc GetMsgBrowseGroupDefn(CVyrMsgBrowseGroupDefn& defn) override;

  // The frequency plans this device may still lay out (HytemScanDecoding.h).
  CHytemPlanBudget& PlanBudget() { return m_planBudget; }
  // The plan frequencies and work arrays of DecodeBandLevels (HytemLevelsWork.h).
  CHytemLevelsWork& LevelsWork() { return m_levelsWork; }

 private:
  RolRetc DecodeMessageWithin(const CVyrGenericHsMessage& msg, IVyrDataState* pDataState,
                              CVyrExpandedMessage& expanded, IKelCellRefs_Search* pSearch);

  std::unique_ptr<NameValueDefnMap> m_pDefnMap;
  // The fields of the last payloads' names: a device decodes one file's
  // messages, one at a time.
  CNameValueLayout m_layout;
  CHytemPlanBudget m_planBudget;
  CHytemLevelsWork m_levelsWork;
};

// The factory's creation function; null when the receiver cannot be built.
CVyrDecodeDevice* CreateHytemDecodeDevice(const CVyrDeviceTypeInfo& info);

// What the device carries from message to message beyond the data state,
// for a host that decodes one log in pieces (KelPiecesDecl,
// HytemDeviceState.cpp): the plan budget. Its caches (payload layouts, plan
// frequencies, work arrays) follow the data state and change no result.
bool SaveHytemDeviceState(CVyrDecodeDevice& device, std::string& state);
bool LoadHytemDeviceState(CVyrDecodeDevice& device, std::string_view state);
void BeginHytemDeviceStretch(CVyrDecodeDevice& device);
bool HytemDeviceStretchFrom(CVyrDecodeDevice& device, std::string_view before, std::string& after);
