#include "SweepDecodeDevice.h"

#include <iterator>
#include <new>

#include "DataFileSweepCsv.h"
#include "SweepScanDecoding.h"
#include "VyrSchema.h"

namespace {
// The field table: the payload names the device knows, the label of each in
// the detail text (none: the value is not shown) and its routine.
struct SweepFieldDefn {
  const char* pszName;
  const char* pszLabel;
  SweepFieldRoutine pfnRoutine;
};

constexpr SweepFieldDefn s_sweepFieldDefns[] = {
    {sweepcsv::kSoftware, "Software", nullptr},
    {sweepcsv::kHops, "Hops", nullptr},
    {sweepcsv::kBins, "Bins", DecodeSweepBinCount},
    {sweepcsv::kBands, "Bands", nullptr},
    {sweepcsv::kBand, nullptr, DecodeSweepPlan},
    {sweepcsv::kDate, "Date", nullptr},
    {sweepcsv::kTime, "Time", nullptr},
    {sweepcsv::kLevels, nullptr, DecodeSweepLevels},
    {sweepcsv::kLine, "Line", nullptr},
    {sweepcsv::kReason, "Reason", nullptr},
};

const SweepFieldDefn* FindDefn(std::string_view name) {
  for (const SweepFieldDefn& d : s_sweepFieldDefns)
    if (name == d.pszName) return &d;
  return nullptr;
}

const char* MessageName(std::int32_t nClass) {
  switch (nClass) {
    case CDataFileSweepCsv::kPlanMsgClass: return "Sweep Plan";
    case CDataFileSweepCsv::kSweepMsgClass: return "Sweep";
    case CDataFileSweepCsv::kUnreadableMsgClass: return "Unreadable Line";
    default: return "Unknown message";
  }
}

int Resolve(const char* pszName) {
  IVyrSchemaAccessor2* schema = GetSchemaDefsDynamic();
  return schema ? schema->GetAttrIdByName(pszName) : 0;
}
}  // namespace

const KelMessageClassDecl s_sweepMsgClassDecls[3] = {
    {CDataFileSweepCsv::kPlanMsgClass, KEL_ROLE_HEADER, "Sweep Plan"},
    {CDataFileSweepCsv::kSweepMsgClass, KEL_ROLE_MEASUREMENT, "Sweep"},
    {CDataFileSweepCsv::kUnreadableMsgClass, KEL_ROLE_OTHER, "Unreadable Line"},
};

CSweepDecodeDevice::CSweepDecodeDevice(const CVyrDeviceTypeInfo& info) : CVyrDecodeReceiver(info) {
  m_ids.nFrequency = Resolve("ATTR_ID_SCAN_LOG_FREQ");
  m_ids.nBandStart = Resolve("ATTR_ID_SCAN_LOG_HYTEM_BAND_START_IDX");
  m_ids.nFrequencies = Resolve("ATTR_ID_SCAN_LOG_NUM_FREQUENCIES");
  m_ids.nLevel = Resolve("ATTR_ID_SCAN_BIN_DB_MEAN");
}

RolRetc CSweepDecodeDevice::DecodeMessage(const CVyrGenericHsMessage& msg, IVyrDataState* pDataState,
                                          CVyrExpandedMessage& expanded, IKelCellRefs_Search* pSearch) {
  try {
    if (CVyrDecodeDevice::DecodeMessage(msg, pDataState, expanded, pSearch) == 0) return 0;
    const std::string_view payload(msg.GetMsgBuf() ? msg.GetMsgBuf() : "", static_cast<size_t>(msg.GetMsgBufLen()));
    if (expanded.m_bWantSummaryText) {
      std::string& summary = expanded.m_strSummaryText.str();
      summary.assign(payload.empty() ? std::string_view("EMPTY MESSAGE") : payload);
      summary += "\r\n";
    }
    sweepcsv::SplitPayload(payload, m_fields);
    const SweepDecodeContext context{m_fields, pDataState, expanded, m_ids};
    for (const auto& [name, value] : m_fields) {
      const SweepFieldDefn* pDefn = FindDefn(name);
      if (!pDefn) continue;
      if (pDefn->pszLabel && expanded.m_bWantDetailText) {
        std::string& detail = expanded.m_strDetailText.str();
        detail += ' ';
        detail += pDefn->pszLabel;
        detail += '=';
        detail += value;
      }
      if (pDefn->pfnRoutine && pDataState) pDefn->pfnRoutine(context, value);
    }
    expanded.m_nMsgType = msg.m_nMsgClass;
    if (expanded.m_bWantMsgName) expanded.m_strMsgName = MessageName(msg.m_nMsgClass);
    return 0;
  } catch (const std::bad_alloc&) {
    return ROL_OUT_OF_MEMORY;
  }
}

void CSweepDecodeDevice::GetSupportedMsgClassInfo(CVyrDeviceMsgClassInfoArray& array) const {
  CVyrDecodeDevice::GetSupportedMsgClassInfo(array);
  CVyrDeviceMsgClassInfo classes[std::size(s_sweepMsgClassDecls)];
  for (size_t i = 0; i < std::size(s_sweepMsgClassDecls); ++i)
    classes[i] = CVyrDeviceMsgClassInfo(s_sweepMsgClassDecls[i].pszName,
                                        static_cast<std::int16_t>(s_sweepMsgClassDecls[i].nClass), 1, 0, 0, nullptr, -1, 0);
  AddSupportedMsgClassInfo(array, classes, static_cast<int>(std::size(classes)));
}

CVyrDecodeDevice* CreateSweepDecodeDevice(const CVyrDeviceTypeInfo& info) {
  try {
    return new CSweepDecodeDevice(info);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
