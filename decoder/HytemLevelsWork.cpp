#include "HytemLevelsWork.h"

#include <algorithm>
#include <cmath>

#include "HytemDecodeReceiver.h"
#include "HytemScanDecoding.h"
#include "HytemValueReading.h"
#include "VyrDataState.h"

namespace {
// Elements read at a time through the data state's run operations.
constexpr int kPiece = 4096;

// The frequency of a plan element in hertz, truncated. Plans hold whole
// hertz as reals, far inside the 64-bit range: those convert directly.
std::int64_t FrequencyHz(const VyrRetVal& v) {
  if (v.m_nStatus == VYR_RV_STATUS_OK && v.m_nType == VYR_RV_DOUBLE && std::fabs(v.m_value.d) < 9.0e18)
    return static_cast<std::int64_t>(v.m_value.d);
  return HytemRetValInt64(v);
}

template <class T>
void Release(std::vector<T>& v, size_t nKept) {
  if (v.capacity() > nKept) std::vector<T>().swap(v);
}
}  // namespace

// A data state without the run operations is asked element by element.
void CHytemPlanFrequencies::ReadAfresh(IVyrDataState* pDataState, int nFirst, int nCount, std::int64_t* pOut) {
  IVyrDataStateRuns* pRuns = pDataState->QueryRuns();
  if (!pRuns) {
    for (int k = 0; k < nCount; ++k)
      pOut[k] = FrequencyHz(pDataState->GetValue(g_nAttrScanLogFreq, nFirst + k, kVyrScopeFrequencyPlan));
    return;
  }
  VyrRetVal* pValues = HytemRoom(m_values, static_cast<size_t>(std::min(nCount, kPiece)));
  for (int k0 = 0; k0 < nCount; k0 += kPiece) {
    const int n = std::min(nCount - k0, kPiece);
    pRuns->GetValueRun(g_nAttrScanLogFreq, nFirst + k0, n, kVyrScopeFrequencyPlan, pValues);
    for (int i = 0; i < n; ++i) pOut[k0 + i] = FrequencyHz(pValues[i]);
  }
}

void CHytemPlanFrequencies::Follow(IVyrDataState* pDataState) {
  const std::uint64_t nGeneration = pDataState->GetPlanGeneration();
  if (nGeneration == m_nGeneration) return;
  m_nGeneration = nGeneration;
  m_kept.clear();
  m_bKeptAll = false;
}

// Keeps the elements up to nEnd (at most kMaxKept), or up to the first one
// without a value.
void CHytemPlanFrequencies::Extend(IVyrDataState* pDataState, std::int64_t nEnd) {
  IVyrDataStateRuns* pRuns = pDataState->QueryRuns();
  nEnd = std::min<std::int64_t>(nEnd, kMaxKept);
  while (!m_bKeptAll && static_cast<std::int64_t>(m_kept.size()) < nEnd) {
    const int nFirst = static_cast<int>(m_kept.size());
    const int n = static_cast<int>(std::min<std::int64_t>(nEnd - nFirst, kPiece));
    VyrRetVal* pValues = HytemRoom(m_values, static_cast<size_t>(n));
    if (pRuns) {
      pRuns->GetValueRun(g_nAttrScanLogFreq, nFirst, n, kVyrScopeFrequencyPlan, pValues);
    } else {
      for (int i = 0; i < n; ++i) pValues[i] = pDataState->GetValue(g_nAttrScanLogFreq, nFirst + i, kVyrScopeFrequencyPlan);
    }
    for (int i = 0; i < n && !m_bKeptAll; ++i) {
      if (pValues[i].m_nStatus != VYR_RV_STATUS_OK) m_bKeptAll = true;
      else m_kept.push_back(FrequencyHz(pValues[i]));
    }
  }
}

const std::int64_t* CHytemPlanFrequencies::Read(IVyrDataState* pDataState, int nFirst, int nCount) {
  std::int64_t* pOut = HytemRoom(m_read, static_cast<size_t>(std::max(nCount, 0)));
  if (nCount <= 0) return pOut;
  Follow(pDataState);
  if (m_nGeneration == 0) {
    ReadAfresh(pDataState, nFirst, nCount, pOut);
    return pOut;
  }
  const std::int64_t nEnd = static_cast<std::int64_t>(nFirst) + nCount;
  if (nFirst >= 0) Extend(pDataState, nEnd);
  const auto nKept = static_cast<std::int64_t>(m_kept.size());
  if (nFirst >= 0 && nEnd <= nKept) return m_kept.data() + nFirst;
  // Elements below 0 and after the kept ones are read afresh.
  const std::int64_t nKeptFirst = std::clamp<std::int64_t>(nFirst, 0, nKept);
  const std::int64_t nKeptEnd = std::clamp<std::int64_t>(nEnd, 0, nKept);
  const auto nBefore = static_cast<int>(std::max<std::int64_t>(nKeptFirst - nFirst, 0));
  if (nBefore > 0) ReadAfresh(pDataState, nFirst, nBefore, pOut);
  std::copy(m_kept.begin() + nKeptFirst, m_kept.begin() + std::max(nKeptEnd, nKeptFirst), pOut + nBefore);
  const auto nDone = static_cast<int>(nBefore + std::max<std::int64_t>(nKeptEnd - nKeptFirst, 0));
  if (nDone < nCount) ReadAfresh(pDataState, nFirst + nDone, nCount - nDone, pOut + nDone);
  return pOut;
}

std::int64_t CHytemPlanFrequencies::At(IVyrDataState* pDataState, int nElement) {
  Follow(pDataState);
  if (m_nGeneration != 0 && nElement >= 0) {
    Extend(pDataState, static_cast<std::int64_t>(nElement) + 1);
    if (static_cast<size_t>(nElement) < m_kept.size()) return m_kept[static_cast<size_t>(nElement)];
  }
  return FrequencyHz(pDataState->GetValue(g_nAttrScanLogFreq, nElement, kVyrScopeFrequencyPlan));
}

void CHytemLevelsWork::ReleaseLarge() {
  Release(levels, kKeptLevels);
  Release(records, kKeptLevels);
  Release(rankLevels, kKeptLevels);
  Release(rankPlaces, kKeptLevels);
  Release(rankFreqsMHz, kKeptLevels);
  plan.ReleaseLarge();
}

void CHytemPlanFrequencies::ReleaseLarge() { Release(m_read, CHytemLevelsWork::kKeptLevels); }

CHytemLevelsWork* HytemLevelsWorkOf(CVyrDecodeReceiver* pReceiver) {
  auto* pHytem = dynamic_cast<CVyrDecodeReceiverHytem*>(pReceiver);
  return pHytem ? &pHytem->LevelsWork() : nullptr;
}
