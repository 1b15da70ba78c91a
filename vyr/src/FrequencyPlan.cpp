#include "vyr/FrequencyPlan.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
// A plan larger than this is not a scanner's: its band start indexes are
// taken as they are, but no more frequencies than this are read.
constexpr int kMaxPlanElements = 1 << 22;
}  // namespace

bool CFrequencyPlan::Update(const std::vector<CVyrMemoryDataState::Write>& writes, const IVyrDataState& state) {
  int nBands = -1;
  for (const auto& w : writes) {
    if (w.nAttrId == m_ids.nBandStartIdx && w.nScope == kScopePlan && w.op == CVyrMemoryDataState::Op::Set)
      nBands = std::max(nBands, w.nIndex);
  }
  if (nBands < 0) return false;
  Read(nBands, state);
  return true;
}

void CFrequencyPlan::Read(int nBands, const IVyrDataState& state) {
  m_starts.clear();
  m_freqMHz.clear();
  // The starts never decrease: each band starts where the one before ended.
  int previous = 0;
  for (int j = 0; j <= nBands; ++j) {
    double d = 0;
    if (!RetValNumber(state.GetValue(m_ids.nBandStartIdx, j, kScopePlan), d) || !(d >= previous)) d = previous;
    previous = static_cast<int>(std::min<double>(d, kMaxPlanElements));
    m_starts.push_back(previous);
  }
  m_freqMHz.resize(static_cast<size_t>(m_starts.back()), std::numeric_limits<double>::quiet_NaN());
  for (size_t e = 0; e < m_freqMHz.size(); ++e) {
    double hz = 0;
    if (RetValNumber(state.GetValue(m_ids.nFreq, static_cast<int>(e), kScopePlan), hz))
      m_freqMHz[e] = m_ids.FrequencyMHz(hz);
  }
}

int CFrequencyPlan::BandOf(int e) const {
  if (IsEmpty() || e < m_starts.front() || e >= m_starts.back()) return 0;
  // The last band that starts at or before e; empty bands share their start.
  auto it = std::upper_bound(m_starts.begin(), m_starts.end(), e);
  return static_cast<int>(it - m_starts.begin());
}

PlanBand CFrequencyPlan::Band(int nBand) const {
  PlanBand b;
  if (nBand < 1 || nBand > BandCount()) return b;
  b.nBand = nBand;
  b.nFirst = m_starts[static_cast<size_t>(nBand - 1)];
  b.nCount = m_starts[static_cast<size_t>(nBand)] - b.nFirst;
  if (b.nCount == 0) return b;
  FrequencyMHz(b.nFirst, b.dStartMHz);
  FrequencyMHz(b.nFirst + b.nCount - 1, b.dStopMHz);
  if (b.nCount > 1) b.dStepKHz = (b.dStopMHz - b.dStartMHz) / (b.nCount - 1) * 1000.0;
  return b;
}

bool CFrequencyPlan::FrequencyMHz(int e, double& mhz) const {
  if (e < 0 || static_cast<size_t>(e) >= m_freqMHz.size() || std::isnan(m_freqMHz[static_cast<size_t>(e)]))
    return false;
  mhz = m_freqMHz[static_cast<size_t>(e)];
  return true;
}
