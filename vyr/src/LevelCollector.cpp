#include "LevelCollector.h"

#include <algorithm>
#include <climits>

#include "RetVal.h"

namespace vyr::detail {

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

void CLevelCollector::TakeMessage(bool bMeasurement) {
  m_levels.TakeMessage();
  m_taken.swap(m_statistics);
  m_statistics.clear();
  if (!bMeasurement) {
    // Its elements are dropped with the next message's take.
    m_levels.TakeMessage();
    m_taken.clear();
    return;
  }
  std::sort(m_taken.begin(), m_taken.end());
  m_taken.erase(std::unique(m_taken.begin(), m_taken.end()), m_taken.end());
}

// What the data state holds at each element the message wrote or cleared
// is what its last write there left. A data state with run operations is
// read a stretch of elements at a time.
bool CLevelCollector::Next(const IVyrDataState& state, std::vector<Level>& out, size_t nMax) {
  out.clear();
  // QueryRuns only answers which interface the data state has; the run read
  // that it offers is const.
  const IVyrDataStateRuns* pRuns = const_cast<IVyrDataState&>(state).QueryRuns();
  constexpr size_t kReadAtATime = 1024;
  int nFirst = 0, nCount = 0;
  while (out.size() < nMax) {
    if (!m_levels.NextRun(nFirst, nCount, std::min(pRuns ? kReadAtATime : 1, nMax - out.size()))) break;
    m_values.resize(static_cast<size_t>(nCount));  // whatever it held is replaced, texts too
    if (pRuns) pRuns->GetValueRun(m_v.nLevel, nFirst, nCount, kScopeMessage, m_values.data());
    else m_values[0] = state.GetValue(m_v.nLevel, nFirst, kScopeMessage);
    for (int k = 0; k < nCount; ++k) {
      const VyrRetVal& v = m_values[static_cast<size_t>(k)];
      double dbm = 0;
      if (v.m_nType == VYR_RV_TEXT || !RetValNumber(v, dbm)) continue;
      Level& level = out.emplace_back();
      level.element = nFirst + k;
      level.dbm = dbm;
      if (!m_taken.empty()) AddStatistics(state, level);
    }
  }
  return !out.empty();
}

void CLevelCollector::AddStatistics(const IVyrDataState& state, Level& level) const {
  if (!std::binary_search(m_taken.begin(), m_taken.end(), level.element)) return;
  auto read = [&](int nAttrId, double& into) {
    double d = 0;
    if (nAttrId != Vocabulary::kNone && RetValNumber(state.GetValue(nAttrId, level.element, kScopeMessage), d)) into = d;
  };
  read(m_v.nMinimum, level.minDbm);
  read(m_v.nMaximum, level.maxDbm);
  read(m_v.nStdDev, level.stddevDb);
}

}  // namespace vyr::detail
