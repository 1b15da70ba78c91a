#include "vyr/LogSummary.h"

#include <algorithm>
#include <memory>

#include "vyr/LevelRows.h"
#include "vyr/PayloadFields.h"
#include "VyrDecodeDevice.h"

const char* LogSummary::Kind() const {
  if (headers.empty()) return "other";
  if (!headers.front().bands.empty()) return "scan";
  if (!headers.front().channels.empty()) return "channels";
  return "other";
}

std::string LogSummary::EndTime() const {
  CVyrMilliSecAbsTime end;
  // Wraps (defined) rather than overflows for a duration saturated near the
  // int64 limit by a damaged time text, as GetMessageFacts does.
  end.SetMs(static_cast<std::int64_t>(static_cast<std::uint64_t>(file.startTime.GetMs()) +
                                      static_cast<std::uint64_t>(nDurationMs)));
  return end.FormatIso8601();
}

void CLogSummaryCollector::OnFile(const DecodedFileInfo& info) {
  m_summary.file = info;
  TakeClassNames();
}

// The names of the message classes and of the device, as the decode device
// of the file's stream announces them.
void CLogSummaryCollector::TakeClassNames() {
  CVyrDecodeDeviceFactoryHelper::Registration reg;
  if (!CVyrDecodeDeviceFactoryHelper::FindByDeviceType(m_summary.file.nDeviceType, reg)) return;
  m_summary.strDecodeDevice = reg.info.m_strName.str();
  if (!reg.pfnCreate) return;
  std::unique_ptr<CVyrDecodeDevice> device(reg.pfnCreate(reg.info));
  if (!device) return;
  CVyrDeviceMsgClassInfoArray classes;
  device->GetSupportedMsgClassInfo(classes);
  for (int i = 0; i < classes.GetSize(); ++i) m_classNames[classes[i].m_nClassId] = classes[i].m_strName.str();
}

void CLogSummaryCollector::OnMessage(const DecodedMessage& m, const CFrequencyPlan& plan) {
  ++m_summary.nMessages;
  ++m_classCounts[m.msg.m_nMsgClass];
  m_summary.nDurationMs = std::max(m_summary.nDurationMs, m.msg.m_msgTime.GetMs());
  if (m.msg.m_nMsgClass == kHeaderMessageClass) TakeHeader(m, plan);
  if (m.msg.m_nMsgClass != kMeasurementMessageClass) return;
  ++m_summary.nMeasurementMessages;
  if (GetMessagePosition(m.msg).HasBoth()) ++m_summary.nPositions;
  if (m_bNeedColumns) {
    m_bNeedColumns = false;
    const char* payload = m.msg.GetMsgBuf();
    for (const PayloadField& f : SplitPayload(payload ? payload : ""))
      m_summary.headers.back().columns.emplace_back(f.first);
  }
}

void CLogSummaryCollector::TakeHeader(const DecodedMessage& m, const CFrequencyPlan& plan) {
  HeaderSection& section = m_summary.headers.emplace_back();
  section.nMessage = m.nIndex;
  m_bNeedColumns = true;
  const char* payload = m.msg.GetMsgBuf();
  for (const PayloadField& f : SplitPayload(payload ? payload : "")) {
    if (f.first == "Software Version") section.strSoftwareVersion = f.second;
    else section.fields.emplace_back(f.first, f.second);
  }
  bool laidPlan = std::any_of(m.writes.begin(), m.writes.end(), [&](const CVyrMemoryDataState::Write& w) {
    return w.nAttrId == m_ids.nBandStartIdx && w.nScope == kScopePlan;
  });
  if (laidPlan)
    for (int b = 1; b <= plan.BandCount(); ++b) section.bands.push_back(plan.Band(b));
  TakeChannels(m, section);
}

// The fixed frequencies of a channel log, which its header message decodes
// into ATTR_ID_SCAN_LOG_FREQ at message scope.
void CLogSummaryCollector::TakeChannels(const DecodedMessage& m, HeaderSection& section) {
  std::vector<int> indexes;
  for (const auto& w : m.writes) {
    if (w.nAttrId == m_ids.nFreq && w.nScope == kScopeMessage) indexes.push_back(w.nIndex);
  }
  std::sort(indexes.begin(), indexes.end());
  indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
  for (int i : indexes) {
    double value = 0;
    if (RetValNumber(m.dataState.GetValue(m_ids.nFreq, i, kScopeMessage), value))
      section.channels.push_back({i, m_ids.FrequencyMHz(value)});
  }
}

const LogSummary& CLogSummaryCollector::Finish() {
  m_summary.classes.clear();
  for (const auto& [cls, n] : m_classCounts) {
    auto name = m_classNames.find(cls);
    m_summary.classes.push_back({cls, name == m_classNames.end() ? std::string() : name->second, n});
  }
  return m_summary;
}
