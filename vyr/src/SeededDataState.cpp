#include "SeededDataState.h"

#include <bit>
#include <cstring>

namespace vyr::detail {

namespace {
std::uint64_t ColumnOf(int nAttrId, int nScope) {
  return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(nAttrId)) << 32) | static_cast<std::uint32_t>(nScope);
}
int AttrOf(std::uint64_t nColumn) { return static_cast<int>(static_cast<std::uint32_t>(nColumn >> 32)); }
int ScopeOf(std::uint64_t nColumn) { return static_cast<int>(static_cast<std::uint32_t>(nColumn)); }
}  // namespace

SeenValue SeenValue::Of(const VyrRetVal& v) {
  SeenValue s;
  s.bHeld = v.m_nStatus == VYR_RV_STATUS_OK;
  if (!s.bHeld) return s;
  s.nType = v.m_nType;
  if (v.m_nType == VYR_RV_TEXT) s.strText = v.m_value.psz ? v.m_value.psz : "";
  else if (v.m_nType == VYR_RV_DOUBLE) s.nBits = std::bit_cast<std::uint64_t>(v.m_value.d);
  else s.nBits = v.m_value.u64;
  return s;
}

void CSeededDataState::Touch(int nAttrId, int nScope, std::int64_t nFirst, std::int64_t nEnd) {
  if (!m_bGuessing || nFirst >= nEnd) return;
  Ranges& ranges = m_touched[ColumnOf(nAttrId, nScope)];
  // Merge with every range that overlaps or adjoins [nFirst, nEnd).
  auto it = ranges.upper_bound(nFirst);
  if (it != ranges.begin() && std::prev(it)->second >= nFirst) --it;
  while (it != ranges.end() && it->first <= nEnd) {
    nFirst = std::min(nFirst, it->first);
    nEnd = std::max(nEnd, it->second);
    it = ranges.erase(it);
  }
  ranges.emplace(nFirst, nEnd);
}

bool CSeededDataState::Touched(std::uint64_t nColumn, std::int64_t nIndex) const {
  auto col = m_touched.find(nColumn);
  if (col == m_touched.end()) return false;
  auto it = col->second.upper_bound(nIndex);
  return it != col->second.begin() && std::prev(it)->second > nIndex;
}

void CSeededDataState::Seen(int nAttrId, int nIndex, int nScope, const VyrRetVal& v) const {
  if (!m_bGuessing) return;
  const std::uint64_t nColumn = ColumnOf(nAttrId, nScope);
  if (Touched(nColumn, nIndex)) return;
  m_seen.try_emplace(Key{nColumn, nIndex}, SeenValue::Of(v));
}

void CSeededDataState::SetTextValue(int nAttrId, const char* pszValue, int nIndex, int nScope, int nFlags) {
  m_inner.SetTextValue(nAttrId, pszValue, nIndex, nScope, nFlags);
  Touch(nAttrId, nScope, nIndex, std::int64_t{nIndex} + 1);
}

void CSeededDataState::SetIntValue(int nAttrId, std::int32_t nValue, int nIndex, int nScope, int nFlags) {
  m_inner.SetIntValue(nAttrId, nValue, nIndex, nScope, nFlags);
  Touch(nAttrId, nScope, nIndex, std::int64_t{nIndex} + 1);
}

void CSeededDataState::SetRealValue(int nAttrId, double dValue, int nIndex, int nScope, int nFlags) {
  m_inner.SetRealValue(nAttrId, dValue, nIndex, nScope, nFlags);
  Touch(nAttrId, nScope, nIndex, std::int64_t{nIndex} + 1);
}

void CSeededDataState::ClearValue(int nAttrId, int nIndex, int nScope, int nFlags) {
  m_inner.ClearValue(nAttrId, nIndex, nScope, nFlags);
  Touch(nAttrId, nScope, nIndex, std::int64_t{nIndex} + 1);
}

VyrRetVal CSeededDataState::GetValue(int nAttrId, int nIndex, int nScope) const {
  VyrRetVal v = m_inner.GetValue(nAttrId, nIndex, nScope);
  Seen(nAttrId, nIndex, nScope, v);
  return v;
}

void CSeededDataState::SetValueRuns(const VyrValueRun* pRuns, int nRuns, int nFirstIndex, int nCount, int nScope,
                                    int nFlags) {
  m_inner.SetValueRuns(pRuns, nRuns, nFirstIndex, nCount, nScope, nFlags);
  if (nCount <= 0) return;
  for (int r = 0; r < nRuns; ++r) Touch(pRuns[r].nAttrId, nScope, nFirstIndex, std::int64_t{nFirstIndex} + nCount);
}

void CSeededDataState::GetValueRun(int nAttrId, int nFirstIndex, int nCount, int nScope, VyrRetVal* pOut) const {
  m_inner.GetValueRun(nAttrId, nFirstIndex, nCount, nScope, pOut);
  if (!m_bGuessing) return;
  // A run mostly reads what the piece has just written: whole written
  // stretches are stepped over at once rather than looked up value by value.
  const std::uint64_t nColumn = ColumnOf(nAttrId, nScope);
  auto col = m_touched.find(nColumn);
  const Ranges* pRanges = col == m_touched.end() ? nullptr : &col->second;
  const std::int64_t nEnd = std::int64_t{nFirstIndex} + nCount;
  for (std::int64_t i = nFirstIndex; i < nEnd;) {
    if (pRanges) {
      auto it = pRanges->upper_bound(i);
      if (it != pRanges->begin() && std::prev(it)->second > i) {
        i = std::prev(it)->second;
        continue;
      }
    }
    m_seen.try_emplace(Key{nColumn, i}, SeenValue::Of(pOut[i - nFirstIndex]));
    ++i;
  }
}

bool CSeededDataState::GuessHolds(const IVyrDataState& real) const {
  for (const auto& [key, seen] : m_seen)
    if (!(SeenValue::Of(real.GetValue(AttrOf(key.nColumn), static_cast<int>(key.nIndex), ScopeOf(key.nColumn))) == seen))
      return false;
  return true;
}

void CSeededDataState::LayOver(IVyrDataState& real) const {
  for (const auto& [nColumn, ranges] : m_touched) {
    const int nAttrId = AttrOf(nColumn), nScope = ScopeOf(nColumn);
    for (const auto& [nFirst, nEnd] : ranges)
      for (std::int64_t i = nFirst; i < nEnd; ++i) {
        const int nIndex = static_cast<int>(i);
        const VyrRetVal v = m_inner.GetValue(nAttrId, nIndex, nScope);
        if (v.m_nStatus != VYR_RV_STATUS_OK) real.ClearValue(nAttrId, nIndex, nScope, 0);
        else if (v.m_nType == VYR_RV_TEXT) real.SetTextValue(nAttrId, v.m_value.psz, nIndex, nScope, 0);
        else if (v.m_nType == VYR_RV_INT32) real.SetIntValue(nAttrId, v.m_value.i32, nIndex, nScope, 0);
        else real.SetRealValue(nAttrId, v.m_value.d, nIndex, nScope, 0);
      }
  }
}

}  // namespace vyr::detail
