#include "SweepPlan.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "SweepRow.h"

namespace {
std::uint64_t Bits(double d) {
  d += 0.0;  // -0 and 0 are one frequency
  std::uint64_t u;
  std::memcpy(&u, &d, sizeof u);
  return u;
}

bool ByFrequency(const SweepHop& a, const SweepHop& b) {
  if (a.dLowHz != b.dLowHz) return a.dLowHz < b.dLowHz;
  if (a.dHighHz != b.dHighHz) return a.dHighHz < b.dHighHz;
  return a.dStepHz < b.dStepHz;
}

// Whether hop b goes on where the bins of hop a end.
bool Continues(const SweepHop& a, const SweepHop& b) {
  if (a.dStepHz != b.dStepHz || !(a.dStepHz > 0)) return false;
  const double dEnd = a.dLowHz + static_cast<double>(a.nBins) * a.dStepHz;
  return std::fabs(b.dLowHz - dEnd) <= a.dStepHz / 2;
}

std::int64_t BinsOf(const std::vector<SweepHop>& hops) {
  std::int64_t n = 0;
  for (const SweepHop& h : hops) n += h.nBins;
  return n;
}
}  // namespace

double SweepHop::BinHz(std::int64_t k) const { return std::round(dLowHz + static_cast<double>(k) * dStepHz); }

size_t SweepHopRangeHash::operator()(const SweepHop& h) const {
  std::uint64_t x = Bits(h.dLowHz) * 0x9E3779B97F4A7C15ULL;
  x ^= Bits(h.dHighHz) + 0x7F4A7C159E3779B9ULL + (x << 6) + (x >> 2);
  x ^= Bits(h.dStepHz) + 0x94D049BB133111EBULL + (x << 6) + (x >> 2);
  return static_cast<size_t>(x);
}

std::int64_t CSweepPlan::Find(const SweepHop& hop) const {
  auto it = m_index.find(hop);
  return it == m_index.end() ? -1 : static_cast<std::int64_t>(it->second);
}

void CSweepPlan::Assign(std::vector<SweepHop> hops) {
  m_hops = std::move(hops);
  m_bands.assign(m_hops.size(), 1);
  m_first.assign(m_hops.size(), 0);
  m_index.clear();
  m_nBins = 0;
  for (size_t i = 0; i < m_hops.size(); ++i) {
    if (i > 0) m_bands[i] = m_bands[i - 1] + (Continues(m_hops[i - 1], m_hops[i]) ? 0 : 1);
    m_first[i] = m_nBins;
    m_nBins += m_hops[i].nBins;
    m_index.emplace(m_hops[i], i);
  }
}

bool CSweepPlanner::TakeSweep(const std::vector<SweepHopLine>& lines) {
  std::vector<SweepHop> kept = m_plan.Hops();
  std::vector<SweepHop> added;
  bool bChanged = false;
  for (const SweepHopLine& line : lines) {
    const std::int64_t i = m_plan.Find(line.hop);
    if (i < 0) {
      added.push_back(line.hop);
      continue;
    }
    SweepHop& hop = kept[static_cast<size_t>(i)];
    // A cut line may hold fewer levels than its hop has bins, never more.
    if (line.hop.nBins > hop.nBins || (!line.bCut && line.hop.nBins != hop.nBins)) {
      hop.nBins = line.hop.nBins;
      bChanged = true;
    }
  }
  if (!bChanged && added.empty()) return false;
  std::sort(added.begin(), added.end(), ByFrequency);
  kept.insert(kept.end(), added.begin(), added.end());
  const std::int64_t nBins = BinsOf(kept);
  if (nBins > kMaxSweepBins || kept.size() > CSweepPlan::kMaxHops || nBins > m_nBudget) {
    kept.clear();
    for (const SweepHopLine& line : lines) kept.push_back(line.hop);
    std::sort(kept.begin(), kept.end(), ByFrequency);
  }
  m_plan.Assign(std::move(kept));
  m_nBudget -= m_plan.Bins();
  return true;
}
