// Scan decoding: the routines that turn a HYTEM header's scan set-up into the
// frequency plan of the scan, spread a band's levels over that plan and rank
// them, floor weak levels, and write the "Top 10 RSSI values" and channel
// level texts. Each is the routine of a row of the HYTEM field table.
#pragma once

#include <climits>
#include <cstdint>

#include "NameValueDefn.h"

// Attribute ids used by the routines besides a definition's own, resolved at
// module load by ResolveHytemScanAttrIds().
extern int g_nAttrScanLogFreqStr;            // ATTR_ID_SCAN_LOG_FREQ_STR
extern int g_nAttrScanLogHytemBandStartIdx;  // ATTR_ID_SCAN_LOG_HYTEM_BAND_START_IDX
extern int g_nAttrScanLogFreq;               // ATTR_ID_SCAN_LOG_FREQ
extern int g_nAttrScanBinDbMean;             // ATTR_ID_SCAN_BIN_DB_MEAN
extern int g_nAttrScanSortSigLevelBySigLev;  // ATTR_ID_SCAN_SORT_SIGLEVEL_BY_SIGLEV
extern int g_nAttrScanSortIndexBySigLev;     // ATTR_ID_SCAN_SORT_INDEX_BY_SIGLEV
extern int g_nAttrScanSortFreqBySigLev;      // ATTR_ID_SCAN_SORT_FREQ_BY_SIGLEV

// The id of a schema name, asked of the host's schema afresh; 0 when the
// host offers no schema or the name is unknown.
int ResolveHytemAttrId(const char* pszName);

// Resolves the seven ids above, in the order listed.
void ResolveHytemScanAttrIds();

// A plan's work is bounded by the bytes of the frequency texts it writes, not
// only by its count: a "%.3f MHz" text of 1e308 has 318 characters, and a
// million of them took 30 s and 387 MB. A frequency costs one unit per 16
// bytes of its text, or part of them: every text of a real plan (up to
// 99999999.999 MHz) costs one unit, so that for real plans a unit is a
// frequency.
constexpr int kPlanTextUnitBytes = 16;

// The most units, and so frequencies, that one scan's plan holds: at most a
// million frequencies and 16 MB of text. A header whose bands would give
// more (a tiny step over a huge range, or huge frequencies) has its plan cut
// here: the band in progress ends at the first frequency that does not fit,
// and every later band starts and ends there.
constexpr int kMaxScanFrequencies = 1000000;

// The plan units that one decode device may write over its life, beside the
// per-scan cap: a log of many headers, each asking for a full plan, would
// otherwise cost a million writes per header line. The budget starts at two
// full plans and grows by four units per byte of every message decoded (the
// current one included), so that the work of a log is bounded by its size.
// A real log lays out a plan once per header and then reports levels for
// it, several bytes per frequency, and stays far inside. A header beyond the
// budget has its plan cut as by the per-scan cap.
class CHytemPlanBudget {
 public:
  static constexpr std::int64_t kInitialPlans = 2;
  static constexpr std::int64_t kPerMessageByte = 4;

  // A message of nBytes payload bytes is being decoded (one more counts for
  // its line end).
  void AddMessage(std::int64_t nBytes) { m_nLeft += (nBytes + 1) * kPerMessageByte; }
  // The most units the next plan may take.
  int PlanCap() {
    if (m_nLeft < m_nCap) m_bCutInStretch = true;
    if (m_nLeft - m_nStretchStart < m_nLeastInStretch) m_nLeastInStretch = m_nLeft - m_nStretchStart;
    return m_nLeft < m_nCap ? static_cast<int>(m_nLeft) : m_nCap;
  }
  void Spend(std::int64_t nUnits) { m_nLeft -= nUnits; }
  // Scales the per-scan cap (and the initial budget with it) down, for fuzz
  // targets: the same cuts at a size that keeps each input fast.
  void ScaleDown(int nCap) {
    m_nCap = nCap < kMaxScanFrequencies ? nCap : kMaxScanFrequencies;
    m_nLeft = kInitialPlans * m_nCap;
  }

  // For a host that decodes one log in pieces: the budget as it stands, and
  // a stretch of messages, from BeginStretch on, over which the budget notes
  // how low it ran, relative to its start, whenever a plan asked for its cap.
  int Cap() const { return m_nCap; }
  std::int64_t Left() const { return m_nLeft; }
  void Restore(int nCap, std::int64_t nLeft) {
    m_nCap = nCap;
    m_nLeft = nLeft;
  }
  void BeginStretch() {
    m_nStretchStart = m_nLeft;
    m_nLeastInStretch = kNoPlanInStretch;
    m_bCutInStretch = false;
  }
  // Whether every plan since BeginStretch would have had the same cap (the
  // per-scan cap, none cut by the budget) from a budget of nLeftBefore
  // units, and if so what that budget would hold now.
  bool StretchFrom(int nCapBefore, std::int64_t nLeftBefore, std::int64_t& nLeftAfter) const {
    if (nCapBefore != m_nCap || m_bCutInStretch) return false;
    if (m_nLeastInStretch != kNoPlanInStretch && nLeftBefore + m_nLeastInStretch < m_nCap) return false;
    nLeftAfter = nLeftBefore + (m_nLeft - m_nStretchStart);
    return true;
  }

 private:
  static constexpr std::int64_t kNoPlanInStretch = INT64_MAX;

  int m_nCap = kMaxScanFrequencies;
  std::int64_t m_nLeft = kInitialPlans * kMaxScanFrequencies;
  std::int64_t m_nStretchStart = 0;
  std::int64_t m_nLeastInStretch = kNoPlanInStretch;
  bool m_bCutInStretch = false;
};

// The plan budget of the decode device that decodes a message, or null when
// the message is decoded without a HYTEM decode receiver (the per-scan cap
// alone holds then).
CHytemPlanBudget* HytemPlanBudgetOf(CVyrDecodeReceiver* pReceiver);

// Levels below this (dBm) are cleared from the level attributes.
constexpr double kLevelFloorDbm = -140.0;

// Lines of the "Top 10 RSSI values" list.
constexpr int kTopLevelCount = 10;

// "frequencyN": the text "%.3f MHz" of the row's frequency.
void DecodeFreqText(const CVyrGenericHsMessage& msg, const NameValueDefn* pDefn, IVyrDataState* pDataState,
                    CVyrExpandedMessage* pExpandedMsg, CVyrDecodeReceiver* pReceiver, IKelCellRefs_Search* pSearch);

// "nbScannedBandwidths": the frequency plan (texts and hertz, scope 0) and the
// band start indexes, cut at the per-scan cap and the decode device's plan
// budget, both counted in units of text. A band whose step does not advance
// the frequency (zero, negative, or too small for the frequency's precision)
// yields its start frequency only, when that lies within the band, and then
// ends.
void DecodeScanBands(const CVyrGenericHsMessage& msg, const NameValueDefn* pDefn, IVyrDataState* pDataState,
                     CVyrExpandedMessage* pExpandedMsg, CVyrDecodeReceiver* pReceiver, IKelCellRefs_Search* pSearch);

// "Levels": the band's levels at their plan elements, the ranked levels and the
// "Top 10 RSSI values" text. Levels whose plan element would lie beyond
// 2147483647 are dropped.
void DecodeBandLevels(const CVyrGenericHsMessage& msg, const NameValueDefn* pDefn, IVyrDataState* pDataState,
                      CVyrExpandedMessage* pExpandedMsg, CVyrDecodeReceiver* pReceiver, IKelCellRefs_Search* pSearch);

// "Average", "Minimum", "Maximum": clears the row's value when below -140.
void ApplyLevelFloor(const CVyrGenericHsMessage& msg, const NameValueDefn* pDefn, IVyrDataState* pDataState,
                     CVyrExpandedMessage* pExpandedMsg, CVyrDecodeReceiver* pReceiver, IKelCellRefs_Search* pSearch);

// "Level1" to "Level4": the level floor, then one line of the channel level list.
void DecodeChannelLevel(const CVyrGenericHsMessage& msg, const NameValueDefn* pDefn, IVyrDataState* pDataState,
                        CVyrExpandedMessage* pExpandedMsg, CVyrDecodeReceiver* pReceiver,
                        IKelCellRefs_Search* pSearch);
