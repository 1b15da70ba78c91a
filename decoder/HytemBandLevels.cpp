// DecodeBandLevels: one band's levels spread over the scan's frequency plan,
// ranked by strength, with the "Top 10 RSSI values" text.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "HytemScanDecoding.h"
#include "HytemValueReading.h"
#include "NameValueFields.h"
#include "NameValueNumbers.h"
#include "VyrDataState.h"
#include "VyrDecodeDevice.h"
#include "VyrExpandedMessage.h"
#include "VyrScanSort.h"

namespace {
double ReadLevel(std::string_view element) { return NameValueReadDouble(std::string(element).c_str()); }

// The first element is always taken, even when empty; after it, elements are
// taken until the first empty one.
std::vector<double> SplitLevels(const char* pszLevels) {
  CNameValueFieldCursor elements(pszLevels, ',');
  std::vector<double> levels{ReadLevel(elements.Current())};
  for (std::string_view e = elements.Next(); !e.empty(); e = elements.Next()) levels.push_back(ReadLevel(e));
  return levels;
}

// The plan element where band b starts: element b - 1 of the band start
// indexes. A band number without an element (below INT_MIN + 1) reads as a
// band never declared: 0.
std::int32_t ReadBandStart(const IVyrDataState* pDataState, std::int32_t nBand) {
  if (nBand == INT_MIN) return 0;
  VyrRetVal v = pDataState->GetValue(g_nAttrScanLogHytemBandStartIdx, nBand - 1, kVyrScopeFrequencyPlan);
  return HytemClampToInt32(HytemRetValInt64(v));
}

// Level in thousandths of a dB, from the level cut to whole dB.
std::int32_t RankLevel(double dLevel) {
  return HytemClampToInt32(static_cast<std::int64_t>(HytemTruncToInt32(dLevel)) * 1000);
}

// Stores each level at its plan element (clearing those below the threshold)
// and returns its ranking record.
std::vector<CWScanMeasurementStruct> StoreBinLevels(IVyrDataState* pDataState, const std::vector<double>& levels,
                                                    std::int32_t nStart, double dThreshold) {
  // Elements run from nStart on; levels whose element would pass INT_MAX are
  // dropped, and so is any level beyond INT_MAX ranks.
  const std::int64_t nRoom = std::min<std::int64_t>(static_cast<std::int64_t>(INT_MAX) - nStart + 1, INT_MAX);
  const size_t n = static_cast<size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(levels.size()), nRoom));
  std::vector<CWScanMeasurementStruct> records(n);
  for (size_t k = 0; k < n; ++k) {
    const int e = static_cast<int>(nStart + static_cast<std::int64_t>(k));
    if (levels[k] < dThreshold) pDataState->ClearValue(g_nAttrScanBinDbMean, e, kVyrScopeMessage, 0);
    else pDataState->SetRealValue(g_nAttrScanBinDbMean, levels[k], e, kVyrScopeMessage, 0);

    VyrRetVal freq = pDataState->GetValue(g_nAttrScanLogFreq, e, kVyrScopeFrequencyPlan);
    records[k] = CWScanMeasurementStruct{};
    records[k].nIndex = static_cast<std::int32_t>(k);
    records[k].llFreqHz = HytemRetValInt64(freq);
    records[k].nRxLev = RankLevel(levels[k]);
  }
  return records;
}

// The ranked lists, strongest first, down to the threshold.
void WriteRankedLevels(IVyrDataState* pDataState, const std::vector<CWScanMeasurementStruct>& records,
                       double dThreshold) {
  if (pDataState->IsSortOutputSuppressed()) return;
  for (size_t r = 0; r < records.size(); ++r) {
    const double dLevel = records[r].nRxLev * 0.001;
    if (dLevel < dThreshold) break;  // every later record is weaker
    const int nRank = static_cast<int>(r);
    pDataState->SetRealValue(g_nAttrScanSortSigLevelBySigLev, dLevel, nRank, kVyrScopeMessage, 0);
    pDataState->SetIntValue(g_nAttrScanSortIndexBySigLev, records[r].nIndex, nRank, kVyrScopeMessage, 0);
    pDataState->SetRealValue(g_nAttrScanSortFreqBySigLev, static_cast<double>(records[r].llFreqHz) * 0.000001, nRank,
                             kVyrScopeMessage, 0);
  }
}

// The strongest levels whatever the threshold.
void AppendTopLevels(CVyrExpandedMessage* pExpandedMsg, const std::vector<CWScanMeasurementStruct>& records) {
  if (!pExpandedMsg || !pExpandedMsg->m_bWantDetailText) return;
  CString& strText = pExpandedMsg->m_strDetailText;
  strText += "\nTop 10 RSSI values\nFreq (MHz) \tRSSI (dBm) \n";
  const size_t nLines = std::min<size_t>(records.size(), kTopLevelCount);
  for (size_t r = 0; r < nLines; ++r)
    strText.AppendFormat("%.3f\t%.3f\n", static_cast<double>(records[r].llFreqHz) * 0.000001,
                         records[r].nRxLev * 0.001);
}
}  // namespace

void DecodeBandLevels(const CVyrGenericHsMessage& msg, const NameValueDefn*, IVyrDataState* pDataState,
                      CVyrExpandedMessage* pExpandedMsg, CVyrDecodeReceiver*, IKelCellRefs_Search*) {
  if (!pDataState) return;
  CHytemPayloadValue bandNumber(msg, "BandNumber");
  if (!bandNumber) return;
  const std::int32_t nBand = NameValueReadLong(bandNumber.c_str());
  CHytemPayloadValue levelsText(msg, "Levels");
  if (!levelsText) return;

  const std::vector<double> levels = SplitLevels(levelsText.c_str());
  const double dThreshold = CVyrDecodeDevice::m_prefs.dLevelThreshold;
  const std::int32_t nStart = ReadBandStart(pDataState, nBand);

  std::vector<CWScanMeasurementStruct> records = StoreBinLevels(pDataState, levels, nStart, dThreshold);
  NVyrDecodeDeviceUtils::CWScanSortByRxLev(records.data(), static_cast<int>(records.size()));
  WriteRankedLevels(pDataState, records, dThreshold);
  AppendTopLevels(pExpandedMsg, records);
}
