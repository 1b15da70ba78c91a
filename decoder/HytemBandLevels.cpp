// DecodeBandLevels: one band's levels spread over the scan's frequency plan,
// ranked by strength, with the "Top 10 RSSI values" text.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "HytemScanDecoding.h"
#include "HytemValueReading.h"
#include "NameValueFixed.h"
#include "NameValueNumbers.h"
#include "NameValuePayload.h"
#include "VyrDataState.h"
#include "VyrDecodeDevice.h"
#include "VyrExpandedMessage.h"
#include "VyrScanSort.h"

namespace {
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
  // Whole levels below 2147483 dB in magnitude times 1000 stay in range.
  if (dLevel > -2147483.0 && dLevel < 2147483.0) return static_cast<std::int32_t>(dLevel) * 1000;
  return HytemClampToInt32(static_cast<std::int64_t>(HytemTruncToInt32(dLevel)) * 1000);
}

// The frequency of a plan element in hertz, truncated. Plans hold whole
// hertz as reals, far inside the 64-bit range: those convert directly.
std::int64_t FrequencyHz(const VyrRetVal& v) {
  if (v.m_nStatus == VYR_RV_STATUS_OK && v.m_nType == VYR_RV_DOUBLE && std::fabs(v.m_value.d) < 9.0e18)
    return static_cast<std::int64_t>(v.m_value.d);
  return HytemRetValInt64(v);
}

// The levels of the list, at most nMax of them: elements joined by ",", the
// first one always taken, even when empty, the others up to the first empty
// one. Plain decimals are read in the same pass that finds their end; any
// other element is read on its own. All are read before any is stored, so
// that the conversions overlap instead of each waiting for a store.
void ReadLevels(std::string_view levelsText, std::int64_t nMax, std::vector<double>& levels) {
  levels.reserve(std::min<size_t>(levelsText.size() / 2 + 1, static_cast<size_t>(nMax)));
  const char* p = levelsText.data();
  const char* const end = p + levelsText.size();
  for (std::int64_t k = 0; k < nMax; ++k) {
    double d;
    const char* stop = NameValueReadPlainDecimal(p, end, ',', d);
    if (!stop) {
      stop = std::find(p, end, ',');
      if (stop == p && k > 0) break;  // an empty element ends the list
      d = NameValueReadDouble(std::string_view(p, static_cast<size_t>(stop - p)));
    }
    levels.push_back(d);
    if (stop == end) break;
    p = stop + 1;
  }
}

// Stores each level at its plan element (clearing those below the threshold)
// and reads the element's plan frequency into its record, when there are
// records, one element after the other.
void StoreLevelsOneByOne(IVyrDataState* pDataState, const std::vector<double>& levels, std::int32_t nStart,
                         double dThreshold, std::vector<CWScanMeasurementStruct>* pRecords) {
  for (size_t k = 0; k < levels.size(); ++k) {
    const int e = static_cast<int>(nStart + static_cast<std::int64_t>(k));
    if (levels[k] < dThreshold) pDataState->ClearValue(g_nAttrScanBinDbMean, e, kVyrScopeMessage, 0);
    else pDataState->SetRealValue(g_nAttrScanBinDbMean, levels[k], e, kVyrScopeMessage, 0);
    if (pRecords)
      (*pRecords)[k].llFreqHz = FrequencyHz(pDataState->GetValue(g_nAttrScanLogFreq, e, kVyrScopeFrequencyPlan));
  }
}

// Elements handled at a time by the run operations: the plan is read, and
// the ranks written, through buffers of this many elements.
constexpr int kPiece = 4096;

// The same through the data state's run operations: the reads of the plan
// follow the writes of the levels, which do not touch the plan's scope.
void StoreLevelsAsRun(IVyrDataStateRuns* pRuns, const std::vector<double>& levels, std::int32_t nStart,
                      double dThreshold, std::vector<CWScanMeasurementStruct>* pRecords) {
  const int nCount = static_cast<int>(levels.size());
  const VyrValueRun run{g_nAttrScanBinDbMean, levels.data(), nullptr, dThreshold};
  pRuns->SetValueRuns(&run, 1, nStart, nCount, kVyrScopeMessage, 0);
  for (int k0 = 0; pRecords && k0 < nCount; k0 += kPiece) {
    const int n = std::min(nCount - k0, kPiece);
    std::vector<VyrRetVal> plan(static_cast<size_t>(n));
    pRuns->GetValueRun(g_nAttrScanLogFreq, nStart + k0, n, kVyrScopeFrequencyPlan, plan.data());
    for (int i = 0; i < n; ++i)
      (*pRecords)[static_cast<size_t>(k0 + i)].llFreqHz = FrequencyHz(plan[static_cast<size_t>(i)]);
  }
}

// Stores each level at its plan element (clearing those below the threshold)
// and returns its ranking record; with bRanked false, only stores them and
// returns no records.
std::vector<CWScanMeasurementStruct> StoreBinLevels(IVyrDataState* pDataState, std::string_view levelsText,
                                                    std::int32_t nStart, double dThreshold, bool bRanked) {
  // Elements run from nStart on; levels whose element would pass INT_MAX are
  // dropped, and so is any level beyond INT_MAX ranks.
  const std::int64_t nRoom = std::min<std::int64_t>(static_cast<std::int64_t>(INT_MAX) - nStart + 1, INT_MAX);
  std::vector<double> levels;
  ReadLevels(levelsText, nRoom, levels);
  std::vector<CWScanMeasurementStruct> records(bRanked ? levels.size() : 0);
  std::vector<CWScanMeasurementStruct>* const pRecords = bRanked ? &records : nullptr;
  if (IVyrDataStateRuns* pRuns = pDataState->QueryRuns()) StoreLevelsAsRun(pRuns, levels, nStart, dThreshold, pRecords);
  else StoreLevelsOneByOne(pDataState, levels, nStart, dThreshold, pRecords);
  for (size_t k = 0; k < records.size(); ++k) {
    records[k].nIndex = static_cast<std::int32_t>(k);
    records[k].nRxLev = RankLevel(levels[k]);
  }
  return records;
}

// A ranked level without its frequency, which is read again from the plan
// when it is written: a quarter of a record's size.
struct RankedLevel {
  std::int32_t nIndex;
  std::int32_t nRxLev;
};

// Lists of up to this many ranks are written straight from their records;
// longer ones give their records up first.
constexpr int kRanksFromRecords = 1 << 16;

// The ranked lists, strongest first, down to the threshold: per rank, the
// level, the element's place in the band and its frequency in MHz. With the
// run operations the ranks go in pieces, and the records are given up for
// a compact list of the ranks first, so that a line of millions of levels
// does not hold the records beside the ranked lists it fills.
void WriteRankedLevels(IVyrDataState* pDataState, std::vector<CWScanMeasurementStruct> records, std::int32_t nStart,
                       double dThreshold) {
  if (pDataState->IsSortOutputSuppressed()) return;
  // Records are strongest first: the ranks end at the first one below the threshold.
  const auto weak = std::find_if(records.begin(), records.end(), [&](const CWScanMeasurementStruct& record) {
    return record.nRxLev * 0.001 < dThreshold;
  });
  const int nRanks = static_cast<int>(weak - records.begin());
  IVyrDataStateRuns* pRuns = pDataState->QueryRuns();
  if (!pRuns) {
    for (int r = 0; r < nRanks; ++r) {
      const CWScanMeasurementStruct& record = records[static_cast<size_t>(r)];
      pDataState->SetRealValue(g_nAttrScanSortSigLevelBySigLev, record.nRxLev * 0.001, r, kVyrScopeMessage, 0);
      pDataState->SetIntValue(g_nAttrScanSortIndexBySigLev, record.nIndex, r, kVyrScopeMessage, 0);
      pDataState->SetRealValue(g_nAttrScanSortFreqBySigLev, static_cast<double>(record.llFreqHz) * 0.000001, r,
                               kVyrScopeMessage, 0);
    }
    return;
  }
  const bool bCompact = nRanks > kRanksFromRecords;
  std::vector<RankedLevel> ranks(bCompact ? static_cast<size_t>(nRanks) : 0);
  for (size_t r = 0; r < ranks.size(); ++r) ranks[r] = {records[r].nIndex, records[r].nRxLev};
  if (bCompact) records = std::vector<CWScanMeasurementStruct>();
  const size_t nPiece = static_cast<size_t>(std::min(nRanks, kPiece));
  std::vector<double> levels(nPiece);
  std::vector<std::int32_t> places(nPiece);
  std::vector<double> freqsMHz(nPiece);
  constexpr double kStoreAll = -std::numeric_limits<double>::infinity();
  const VyrValueRun runs[] = {
      {g_nAttrScanSortSigLevelBySigLev, levels.data(), nullptr, kStoreAll},
      {g_nAttrScanSortIndexBySigLev, nullptr, places.data(), kStoreAll},
      {g_nAttrScanSortFreqBySigLev, freqsMHz.data(), nullptr, kStoreAll},
  };
  for (int r0 = 0; r0 < nRanks; r0 += kPiece) {
    const int n = std::min(nRanks - r0, kPiece);
    for (int i = 0; i < n; ++i) {
      const size_t r = static_cast<size_t>(r0 + i);
      std::int64_t llFreqHz = 0;
      if (bCompact) {
        // The plan element the level's record read its frequency from; the
        // plan's scope is not written while a message's levels are.
        const int e = static_cast<int>(nStart + static_cast<std::int64_t>(ranks[r].nIndex));
        llFreqHz = FrequencyHz(pDataState->GetValue(g_nAttrScanLogFreq, e, kVyrScopeFrequencyPlan));
      } else {
        llFreqHz = records[r].llFreqHz;
      }
      const RankedLevel rank = bCompact ? ranks[r] : RankedLevel{records[r].nIndex, records[r].nRxLev};
      levels[static_cast<size_t>(i)] = rank.nRxLev * 0.001;
      places[static_cast<size_t>(i)] = rank.nIndex;
      freqsMHz[static_cast<size_t>(i)] = static_cast<double>(llFreqHz) * 0.000001;
    }
    pRuns->SetValueRuns(runs, 3, r0, n, kVyrScopeMessage, 0);
  }
}

// The strongest levels whatever the threshold.
void AppendTopLevels(CVyrExpandedMessage* pExpandedMsg, const std::vector<CWScanMeasurementStruct>& records) {
  if (!pExpandedMsg || !pExpandedMsg->m_bWantDetailText) return;
  CString& strText = pExpandedMsg->m_strDetailText;
  strText += "\nTop 10 RSSI values\nFreq (MHz) \tRSSI (dBm) \n";
  const size_t nLines = std::min<size_t>(records.size(), kTopLevelCount);
  for (size_t r = 0; r < nLines; ++r) {
    // "%.3f\t%.3f\n"
    NameValueAppendFixed(strText, static_cast<double>(records[r].llFreqHz) * 0.000001, 3);
    strText += '\t';
    NameValueAppendFixed(strText, records[r].nRxLev * 0.001, 3);
    strText += '\n';
  }
}
}  // namespace

void DecodeBandLevels(const CVyrGenericHsMessage& msg, const NameValueDefn*, IVyrDataState* pDataState,
                      CVyrExpandedMessage* pExpandedMsg, CVyrDecodeReceiver*, IKelCellRefs_Search*) {
  if (!pDataState) return;
  // Both values are read in place: the payload does not change while the
  // message is decoded.
  std::string_view bandNumber;
  if (NameValueFindValue(msg, "BandNumber", bandNumber) != 0) return;
  const std::int32_t nBand = NameValueReadLong(bandNumber);
  std::string_view levelsText;
  if (NameValueFindValue(msg, "Levels", levelsText) != 0) return;

  const double dThreshold = CVyrDecodeDevice::m_prefs.dLevelThreshold;
  const std::int32_t nStart = ReadBandStart(pDataState, nBand);

  // The records feed only the ranked lists and the "Top 10" text: a host
  // that suppresses the one and wants none of the other gets the same
  // writes without them (their plan reads and the ranking change nothing).
  const bool bRanked = !pDataState->IsSortOutputSuppressed() || (pExpandedMsg && pExpandedMsg->m_bWantDetailText);
  std::vector<CWScanMeasurementStruct> records = StoreBinLevels(pDataState, levelsText, nStart, dThreshold, bRanked);
  if (!bRanked) return;
  NVyrDecodeDeviceUtils::CWScanSortByRxLev(records.data(), static_cast<int>(records.size()));
  // The "Top 10" text goes first, as the ranked lists release the records.
  AppendTopLevels(pExpandedMsg, records);
  WriteRankedLevels(pDataState, std::move(records), nStart, dThreshold);
}
