// The frequency plan of a sweep file: the hops that its sweeps cover, in plan
// order, each with its bins, and the bands they form.
//
// A hop is told by its Hz low, Hz high and Hz step; its bins are the levels
// of its lines, bin k at Hz low + k * Hz step. The first sweep's hops, in
// order of frequency, make the first plan. A later sweep with a hop the plan
// lacks (or a hop whose lines now hold another number of levels) changes it:
// the new plan keeps the hops of the old one where they were and adds the
// new ones after them, so that a sweep cut short or a file that takes turns
// between two ranges does not lay down a new plan each time. Neighbouring
// hops of the plan that continue one another (the same step, the next one
// starting within half a step of where the bins of the one before end) form
// one band: a sweep over one range, however many hops it takes, is one band.
// A gap, an overlap or another step starts a new band.
//
// Bounds: a plan holds at most kMaxSweepBins bins and kMaxHops hops, and the
// plans laid down over a file hold at most two full plans plus four bins per
// byte read. A plan that would pass a bound is the new sweep's hops alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

struct SweepHop {
  double dLowHz = 0;
  double dHighHz = 0;
  double dStepHz = 0;
  std::int64_t nBins = 0;

  bool SameRange(const SweepHop& o) const { return dLowHz == o.dLowHz && dHighHz == o.dHighHz && dStepHz == o.dStepHz; }
  // The frequency of bin k, in whole hertz.
  double BinHz(std::int64_t k) const;
};

// A key of a hop's range for hash maps.
struct SweepHopRangeHash {
  size_t operator()(const SweepHop& h) const;
};
struct SweepHopRangeEqual {
  bool operator()(const SweepHop& a, const SweepHop& b) const { return a.SameRange(b); }
};

class CSweepPlan {
 public:
  static constexpr size_t kMaxHops = 65536;

  bool Empty() const { return m_hops.empty(); }
  const std::vector<SweepHop>& Hops() const { return m_hops; }
  // Per hop: its band, from 1, and its first plan element.
  int BandOf(size_t hop) const { return m_bands[hop]; }
  std::int64_t FirstElement(size_t hop) const { return m_first[hop]; }
  std::int64_t Bins() const { return m_nBins; }
  int BandCount() const { return m_bands.empty() ? 0 : m_bands.back(); }
  // The hop with the same range, or -1.
  std::int64_t Find(const SweepHop& hop) const;

  void Assign(std::vector<SweepHop> hops);

 private:
  std::vector<SweepHop> m_hops;
  std::vector<int> m_bands;
  std::vector<std::int64_t> m_first;
  std::int64_t m_nBins = 0;
  std::unordered_map<SweepHop, size_t, SweepHopRangeHash, SweepHopRangeEqual> m_index;
};

// One line of a sweep as the plan sees it: its hop, and whether the line was
// cut short (the last line of a file without its line end), so that it may
// hold fewer levels than its hop has bins.
struct SweepHopLine {
  SweepHop hop;
  bool bCut = false;
};

class CSweepPlanner {
 public:
  // Every line read, blank or not, adds to the budget of plan bins.
  void AddLineBytes(std::uint64_t nBytes) { m_nBudget += 4 * static_cast<std::int64_t>(nBytes + 1); }
  // A finished sweep's lines; true when the plan changes with it (Plan()
  // then holds the new plan), which then holds every hop of the lines.
  bool TakeSweep(const std::vector<SweepHopLine>& lines);
  const CSweepPlan& Plan() const { return m_plan; }

 private:
  CSweepPlan m_plan;
  std::int64_t m_nBudget = 2 * (std::int64_t{1} << 22);
};
