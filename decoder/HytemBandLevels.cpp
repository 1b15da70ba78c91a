// DecodeBandLevels: one band's levels spread over the scan's frequency plan,
// ranked by strength, with the "Top 10 RSSI values" text.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "HytemLevelsWork.h"
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

// The levels of the list, at most nMax of them: elements joined by ",", the
// first one always taken, even when empty, the others up to the first empty
// one. Plain decimals are read in the same pass that finds their end; any
// other element is read on its own. All are read before any is stored, so
// that the conversions overlap instead of each waiting for a store.
void ReadLevels(std::string_view levelsText, std::int64_t nMax, std::vector<double>& levels) {
  levels.clear();
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

// Stores each level at its plan element, clearing those below the threshold:
// one run write when the data state offers the runs, else one call each.
void StoreLevels(IVyrDataState* pDataState, const std::vector<double>& levels, std::int32_t nStart,
                 double dThreshold) {
  const int nCount = static_cast<int>(levels.size());
  if (IVyrDataStateRuns* pRuns = pDataState->QueryRuns()) {
    const VyrValueRun run{g_nAttrScanBinDbMean, levels.data(), nullptr, dThreshold};
    pRuns->SetValueRuns(&run, 1, nStart, nCount, kVyrScopeMessage, 0);
    return;
  }
  for (int k = 0; k < nCount; ++k) {
    const int e = static_cast<int>(nStart + static_cast<std::int64_t>(k));
    if (levels[static_cast<size_t>(k)] < dThreshold) pDataState->ClearValue(g_nAttrScanBinDbMean, e, kVyrScopeMessage, 0);
    else pDataState->SetRealValue(g_nAttrScanBinDbMean, levels[static_cast<size_t>(k)], e, kVyrScopeMessage, 0);
  }
}

// The ranking record of each level, with its plan frequency. The plan's scope
// is not written while a message's levels are, so the frequencies may be read
// after the levels are stored.
void MakeRecords(IVyrDataState* pDataState, CHytemLevelsWork& work, std::int32_t nStart) {
  const size_t n = work.levels.size();
  CWScanMeasurementStruct* pRecords = HytemRoom(work.records, n);
  const std::int64_t* pFreqHz = work.plan.Read(pDataState, nStart, static_cast<int>(n));
  for (size_t k = 0; k < n; ++k) {
    pRecords[k].nIndex = static_cast<std::int32_t>(k);
    pRecords[k].llFreqHz = pFreqHz[k];
    pRecords[k].nReserved1 = 0;
    pRecords[k].nRxLev = RankLevel(work.levels[k]);
    pRecords[k].nReserved2 = 0;
  }
}

// Elements handled at a time by the run operations: the ranks are written
// through buffers of this many elements.
constexpr int kPiece = 4096;

// Lists of up to this many ranks are written straight from their records;
// longer ones give their records up first.
constexpr int kRanksFromRecords = 1 << 16;

// A ranked level without its frequency, which is read again from the plan
// when it is written: a quarter of a record's size.
struct RankedLevel {
  std::int32_t nIndex;
  std::int32_t nRxLev;
};

// How many of the ranked records (strongest first) are not below the threshold.
int RankCount(const CWScanMeasurementStruct* pRecords, int nCount, double dThreshold) {
  // No level is below -infinity, nor below a NaN.
  if (!(dThreshold > -std::numeric_limits<double>::infinity())) return nCount;
  const auto weak = std::find_if(pRecords, pRecords + nCount, [&](const CWScanMeasurementStruct& record) {
    return record.nRxLev * 0.001 < dThreshold;
  });
  return static_cast<int>(weak - pRecords);
}

// The ranked lists through the data state's run operations, a piece at a
// time. A list of more ranks than kRanksFromRecords first gives its records
// up for a compact list of the ranks, so that a line of millions of levels
// does not hold the records beside the ranked lists it fills.
void WriteRankRuns(IVyrDataState* pDataState, IVyrDataStateRuns* pRuns, CHytemLevelsWork& work, int nRanks,
                   std::int32_t nStart) {
  const bool bCompact = nRanks > kRanksFromRecords;
  std::vector<RankedLevel> ranks(bCompact ? static_cast<size_t>(nRanks) : 0);
  for (size_t r = 0; r < ranks.size(); ++r) ranks[r] = {work.records[r].nIndex, work.records[r].nRxLev};
  if (bCompact) std::vector<CWScanMeasurementStruct>().swap(work.records);
  const size_t nPiece = static_cast<size_t>(std::min(nRanks, kPiece));
  double* const pLevels = HytemRoom(work.rankLevels, nPiece);
  std::int32_t* const pPlaces = HytemRoom(work.rankPlaces, nPiece);
  double* const pFreqsMHz = HytemRoom(work.rankFreqsMHz, nPiece);
  constexpr double kStoreAll = -std::numeric_limits<double>::infinity();
  const VyrValueRun runs[] = {
      {g_nAttrScanSortSigLevelBySigLev, pLevels, nullptr, kStoreAll},
      {g_nAttrScanSortIndexBySigLev, nullptr, pPlaces, kStoreAll},
      {g_nAttrScanSortFreqBySigLev, pFreqsMHz, nullptr, kStoreAll},
  };
  for (int r0 = 0; r0 < nRanks; r0 += kPiece) {
    const int n = std::min(nRanks - r0, kPiece);
    for (int i = 0; i < n; ++i) {
      const size_t r = static_cast<size_t>(r0 + i);
      if (bCompact) {
        // The plan element the level's record read its frequency from.
        const int e = static_cast<int>(nStart + static_cast<std::int64_t>(ranks[r].nIndex));
        pLevels[i] = ranks[r].nRxLev * 0.001;
        pPlaces[i] = ranks[r].nIndex;
        pFreqsMHz[i] = static_cast<double>(work.plan.At(pDataState, e)) * 0.000001;
      } else {
        const CWScanMeasurementStruct& record = work.records[r];
        pLevels[i] = record.nRxLev * 0.001;
        pPlaces[i] = record.nIndex;
        pFreqsMHz[i] = static_cast<double>(record.llFreqHz) * 0.000001;
      }
    }
    pRuns->SetValueRuns(runs, 3, r0, n, kVyrScopeMessage, 0);
  }
}

// The ranked lists, strongest first, down to the threshold: per rank, the
// level, the element's place in the band and its frequency in MHz.
void WriteRankedLevels(IVyrDataState* pDataState, CHytemLevelsWork& work, int nRecords, std::int32_t nStart,
                       double dThreshold) {
  if (pDataState->IsSortOutputSuppressed()) return;
  const int nRanks = RankCount(work.records.data(), nRecords, dThreshold);
  if (IVyrDataStateRuns* pRuns = pDataState->QueryRuns()) {
    WriteRankRuns(pDataState, pRuns, work, nRanks, nStart);
    return;
  }
  for (int r = 0; r < nRanks; ++r) {
    const CWScanMeasurementStruct& record = work.records[static_cast<size_t>(r)];
    pDataState->SetRealValue(g_nAttrScanSortSigLevelBySigLev, record.nRxLev * 0.001, r, kVyrScopeMessage, 0);
    pDataState->SetIntValue(g_nAttrScanSortIndexBySigLev, record.nIndex, r, kVyrScopeMessage, 0);
    pDataState->SetRealValue(g_nAttrScanSortFreqBySigLev, static_cast<double>(record.llFreqHz) * 0.000001, r,
                             kVyrScopeMessage, 0);
  }
}

// The strongest levels whatever the threshold.
void AppendTopLevels(CVyrExpandedMessage* pExpandedMsg, const CWScanMeasurementStruct* pRecords, int nRecords) {
  if (!pExpandedMsg || !pExpandedMsg->m_bWantDetailText) return;
  CString& strText = pExpandedMsg->m_strDetailText;
  strText += "\nTop 10 RSSI values\nFreq (MHz) \tRSSI (dBm) \n";
  const int nLines = std::min(nRecords, kTopLevelCount);
  for (int r = 0; r < nLines; ++r) {
    // "%.3f\t%.3f\n"
    NameValueAppendFixed(strText, static_cast<double>(pRecords[r].llFreqHz) * 0.000001, 3);
    strText += '\t';
    NameValueAppendFixed(strText, pRecords[r].nRxLev * 0.001, 3);
    strText += '\n';
  }
}

// The work of one message: the levels stored and, when anyone reads them,
// ranked, listed and written ranked.
void DecodeLevels(IVyrDataState* pDataState, CVyrExpandedMessage* pExpandedMsg, CHytemLevelsWork& work,
                  std::string_view levelsText, std::int32_t nStart) {
  const double dThreshold = CVyrDecodeDevice::m_prefs.dLevelThreshold;
  // Elements run from nStart on; levels whose element would pass INT_MAX are
  // dropped, and so is any level beyond INT_MAX ranks.
  const std::int64_t nRoom = std::min<std::int64_t>(static_cast<std::int64_t>(INT_MAX) - nStart + 1, INT_MAX);
  ReadLevels(levelsText, nRoom, work.levels);
  StoreLevels(pDataState, work.levels, nStart, dThreshold);
  // The records feed only the ranked lists and the "Top 10" text: a host
  // that suppresses the one and wants none of the other gets the same
  // writes without them (their plan reads and the ranking change nothing).
  const bool bRanked = !pDataState->IsSortOutputSuppressed() || (pExpandedMsg && pExpandedMsg->m_bWantDetailText);
  if (!bRanked) return;
  const int nRecords = static_cast<int>(work.levels.size());
  MakeRecords(pDataState, work, nStart);
  NVyrDecodeDeviceUtils::CWScanSortByRxLev(work.records.data(), nRecords);
  // The "Top 10" text goes first, as the ranked lists may release the records.
  AppendTopLevels(pExpandedMsg, work.records.data(), nRecords);
  WriteRankedLevels(pDataState, work, nRecords, nStart, dThreshold);
}
}  // namespace

void DecodeBandLevels(const CVyrGenericHsMessage& msg, const NameValueDefn*, IVyrDataState* pDataState,
                      CVyrExpandedMessage* pExpandedMsg, CVyrDecodeReceiver* pReceiver, IKelCellRefs_Search*) {
  if (!pDataState) return;
  // Both values are read in place: the payload does not change while the
  // message is decoded.
  std::string_view bandNumber;
  if (NameValueFindValue(msg, "BandNumber", bandNumber) != 0) return;
  const std::int32_t nBand = NameValueReadLong(bandNumber);
  std::string_view levelsText;
  if (NameValueFindValue(msg, "Levels", levelsText) != 0) return;
  const std::int32_t nStart = ReadBandStart(pDataState, nBand);

  // Without a HYTEM decode device the work lasts for this message only.
  CHytemLevelsWork* pWork = HytemLevelsWorkOf(pReceiver);
  CHytemLevelsWork ownWork;
  CHytemLevelsWork& work = pWork ? *pWork : ownWork;
  DecodeLevels(pDataState, pExpandedMsg, work, levelsText, nStart);
  work.ReleaseLarge();
}
