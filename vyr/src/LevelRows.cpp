#include "vyr/LevelRows.h"

#include <algorithm>
#include <climits>
#include <cstdint>

MessagePosition GetMessagePosition(const CVyrGenericHsMessage& msg) {
  MessagePosition p;
  p.bHasLatitude = msg.m_dLatitude != kVyrNoPosition;
  p.bHasLongitude = msg.m_dLongitude != kVyrNoPosition;
  p.dLatitude = msg.m_dLatitude;
  p.dLongitude = msg.m_dLongitude;
  p.nQuality = msg.m_byPosQuality;
  return p;
}

MessageFacts GetMessageFacts(const DecodedMessage& m, const CVyrMilliSecAbsTime& fileStart) {
  MessageFacts f;
  f.nIndex = m.nIndex;
  f.nTimeMs = m.msg.m_msgTime.GetMs();
  CVyrMilliSecAbsTime t;
  // A message time saturated near the int64 limit (from a damaged time
  // text) would overflow the sum: it wraps instead, which is defined, and
  // the text stays what such messages have always shown.
  t.SetMs(static_cast<std::int64_t>(static_cast<std::uint64_t>(fileStart.GetMs()) +
                                    static_cast<std::uint64_t>(f.nTimeMs)));
  f.strTime = t.FormatIso8601();
  f.position = GetMessagePosition(m.msg);
  return f;
}

namespace {
// A message that writes each element once, in increasing order (a run, as a
// scan line is decoded), needs no sorting: each write is the last of its
// element. Returns false, with rows undefined, as soon as an element comes
// again or out of order.
bool CollectIncreasingLevels(const std::vector<CVyrMemoryDataState::Write>& writes, int nLevelAttr,
                             std::vector<LevelRow>& rows) {
  rows.clear();
  bool bFirst = true;
  int nLast = 0;
  for (const auto& w : writes) {
    if (w.nAttrId != nLevelAttr || w.nScope != kScopeMessage) continue;
    if (!bFirst && w.nIndex <= nLast) return false;
    bFirst = false;
    nLast = w.nIndex;
    if (w.op == CVyrMemoryDataState::Op::Clear) continue;
    LevelRow r;
    r.nBin = w.nIndex;
    if (w.kind == CVyrMemoryDataState::Kind::Real) r.dLevel = w.dValue;
    else if (w.kind == CVyrMemoryDataState::Kind::Int) r.dLevel = static_cast<double>(w.nValue);
    else continue;  // a text is no level
    rows.push_back(r);
  }
  return true;
}
}  // namespace

void CollectLevelsLeft(const std::vector<CVyrMemoryDataState::Write>& writes, int nLevelAttr,
                       std::vector<LevelRow>& rows) {
  if (CollectIncreasingLevels(writes, nLevelAttr, rows)) return;
  rows.clear();
  // One entry per write in order; a clear is an entry without a level.
  struct Entry {
    int nBin;
    bool bSet;
    double dLevel;
  };
  thread_local std::vector<Entry> entries;
  entries.clear();
  for (const auto& w : writes) {
    if (w.nAttrId != nLevelAttr || w.nScope != kScopeMessage) continue;
    if (w.op == CVyrMemoryDataState::Op::Clear) entries.push_back({w.nIndex, false, 0});
    else if (w.kind == CVyrMemoryDataState::Kind::Real) entries.push_back({w.nIndex, true, w.dValue});
    else if (w.kind == CVyrMemoryDataState::Kind::Int) entries.push_back({w.nIndex, true, static_cast<double>(w.nValue)});
    else entries.push_back({w.nIndex, false, 0});  // a text is no level
  }
  // Stable: the writes of one element stay in order, so the last one decides.
  auto byBin = [](const Entry& a, const Entry& b) { return a.nBin < b.nBin; };
  if (!std::is_sorted(entries.begin(), entries.end(), byBin)) std::stable_sort(entries.begin(), entries.end(), byBin);
  for (size_t i = 0; i < entries.size(); ++i) {
    bool last = i + 1 == entries.size() || entries[i + 1].nBin != entries[i].nBin;
    if (!last || !entries[i].bSet) continue;
    LevelRow r;
    r.nBin = entries[i].nBin;
    r.dLevel = entries[i].dLevel;
    rows.push_back(r);
  }
}

size_t CTouchedElements::TakeMessage() {
  m_ranges.erase(m_ranges.begin(), m_ranges.begin() + static_cast<std::ptrdiff_t>(m_nTaken));
  auto byFirst = [](const Range& a, const Range& b) { return a.nFirst < b.nFirst; };
  if (!std::is_sorted(m_ranges.begin(), m_ranges.end(), byFirst)) std::sort(m_ranges.begin(), m_ranges.end(), byFirst);
  // Overlapping and touching ranges merged.
  size_t nOut = 0;
  for (const Range& r : m_ranges) {
    if (nOut > 0 && r.nFirst <= m_ranges[nOut - 1].nEnd) m_ranges[nOut - 1].nEnd = std::max(m_ranges[nOut - 1].nEnd, r.nEnd);
    else m_ranges[nOut++] = r;
  }
  m_ranges.resize(nOut);
  m_nTaken = nOut;
  m_nRange = 0;
  m_nNext = nOut > 0 ? m_ranges[0].nFirst : 0;
  size_t nCount = 0;
  for (const Range& r : m_ranges) nCount += static_cast<size_t>(r.nEnd - r.nFirst);
  return nCount;
}

bool CTouchedElements::Next(int& nIndex) {
  if (m_nRange < m_nTaken && m_nNext >= m_ranges[m_nRange].nEnd && ++m_nRange < m_nTaken)
    m_nNext = m_ranges[m_nRange].nFirst;
  if (m_nRange >= m_nTaken) return false;
  nIndex = static_cast<int>(m_nNext++);
  return true;
}

bool CTouchedElements::NextRun(int& nFirst, int& nCount, size_t nMax) {
  if (m_nRange < m_nTaken && m_nNext >= m_ranges[m_nRange].nEnd && ++m_nRange < m_nTaken)
    m_nNext = m_ranges[m_nRange].nFirst;
  if (m_nRange >= m_nTaken) return false;
  const std::int64_t nLeft = m_ranges[m_nRange].nEnd - m_nNext;
  nFirst = static_cast<int>(m_nNext);
  nCount = static_cast<int>(std::min<std::int64_t>(nLeft, static_cast<std::int64_t>(std::min<size_t>(nMax, INT_MAX))));
  m_nNext += nCount;
  return true;
}

CVyrMemoryDataState::WriteObserver CLevelRowExtractor::Observer() {
  m_bObserved = true;
  return [this](const CVyrMemoryDataState::Write& w) {
    if (w.nAttrId == m_ids.nBinLevel && w.nScope == kScopeMessage) m_touched.Add(w.nIndex);
  };
}

CVyrMemoryDataState::RunObserver CLevelRowExtractor::RunObserver() {
  return [this](const CVyrMemoryDataState::RunWrites& w) {
    if (w.nScope != kScopeMessage) return;
    for (int r = 0; r < w.nRuns; ++r)
      if (w.pRuns[r].nAttrId == m_ids.nBinLevel) m_touched.AddRange(w.nFirstIndex, w.nCount);
  };
}

void CLevelRowExtractor::Extract(const DecodedMessage& m, std::vector<LevelRow>& rows, size_t nMaxRows) {
  if (!m_bObserved) {
    Extract(m.msg.m_nMsgClass, m.writes, m.dataState, rows);
    return;
  }
  m_plan.Update(m.writes, m.dataState);
  rows.clear();
  const size_t nTouched = m_touched.TakeMessage();
  if (m.msg.m_nMsgClass != kMeasurementMessageClass) return;  // its elements are dropped with the next message's
  // Room for every row at once: no copy while the vector grows.
  rows.reserve(std::min(nTouched, nMaxRows));
  ExtractMore(m.dataState, rows, nMaxRows);
}

bool CLevelRowExtractor::ExtractMore(const IVyrDataState& state, std::vector<LevelRow>& rows, size_t nMaxRows) {
  rows.clear();
  if (!m_bObserved) return false;
  CollectTouchedLevels(state, rows, nMaxRows);
  AddFrequencies(state, rows);
  return !rows.empty();
}

// What the data state holds at each element the message wrote or cleared
// is what its last write there left: the same rows as CollectLevelsLeft.
// A data state with run operations is read a stretch of elements at a time.
void CLevelRowExtractor::CollectTouchedLevels(const IVyrDataState& state, std::vector<LevelRow>& rows,
                                              size_t nMaxRows) {
  // QueryRuns only answers which interface the data state has; the run
  // read that it offers is const.
  const IVyrDataStateRuns* pRuns = const_cast<IVyrDataState&>(state).QueryRuns();
  constexpr size_t kReadAtATime = 1024;
  int nFirst = 0, nCount = 0;
  while (rows.size() < nMaxRows) {
    if (pRuns) {
      if (!m_touched.NextRun(nFirst, nCount, std::min(kReadAtATime, nMaxRows - rows.size()))) break;
      m_levels.resize(static_cast<size_t>(nCount));  // whatever it held is replaced, texts too
      pRuns->GetValueRun(m_ids.nBinLevel, nFirst, nCount, kScopeMessage, m_levels.data());
    } else {
      if (!m_touched.Next(nFirst)) break;
      nCount = 1;
      m_levels.resize(1);
      m_levels[0] = state.GetValue(m_ids.nBinLevel, nFirst, kScopeMessage);
    }
    for (int k = 0; k < nCount; ++k) {
      const VyrRetVal& v = m_levels[static_cast<size_t>(k)];
      double dLevel = 0;
      if (v.m_nType == VYR_RV_TEXT || !RetValNumber(v, dLevel)) continue;
      LevelRow& r = rows.emplace_back();
      r.nBin = nFirst + k;
      r.dLevel = dLevel;
    }
  }
}

void CLevelRowExtractor::Extract(int nMsgClass, const std::vector<CVyrMemoryDataState::Write>& writes,
                                 const IVyrDataState& state, std::vector<LevelRow>& rows) {
  m_plan.Update(writes, state);
  if (nMsgClass != kMeasurementMessageClass) {
    rows.clear();
    return;
  }
  CollectLevelsLeft(writes, m_ids.nBinLevel, rows);
  AddFrequencies(state, rows);
}

void CLevelRowExtractor::AddFrequencies(const IVyrDataState& state, std::vector<LevelRow>& rows) const {
  // Rows are sorted by element, so a band holds for a stretch of rows: the
  // plan is searched only where a row leaves the band of the one before.
  int nBand = 0, nBandFirst = 0, nBandEnd = 0;
  for (LevelRow& r : rows) {
    if (IsScan()) {
      if (nBand == 0 || r.nBin < nBandFirst || r.nBin >= nBandEnd) {
        nBand = m_plan.BandOf(r.nBin);
        PlanBand b = m_plan.Band(nBand);
        nBandFirst = b.nFirst;
        nBandEnd = b.nFirst + b.nCount;
      }
      r.nBand = nBand;
      r.bHasFrequency = m_plan.FrequencyMHz(r.nBin, r.dFrequencyMHz);
      continue;
    }
    double value = 0;
    r.bHasFrequency = RetValNumber(state.GetValue(m_ids.nFreq, r.nBin, kScopeMessage), value);
    if (r.bHasFrequency) r.dFrequencyMHz = m_ids.FrequencyMHz(value);
  }
}
