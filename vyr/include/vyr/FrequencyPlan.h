// The frequency plan of a scan log as its header message lays it down in the
// data state at scope 0: one frequency per plan element, numbered across all
// bands without a gap, and the element where each band starts. A later header
// message may lay down a new plan; it then replaces this one.
#pragma once

#include <vector>

#include "MemoryDataState.h"
#include "vyr/ScanAttributes.h"

struct PlanBand {
  int nBand = 0;       // from 1
  int nFirst = 0;      // first plan element
  int nCount = 0;      // number of elements (bins)
  double dStartMHz = 0;
  double dStopMHz = 0;
  double dStepKHz = 0;  // 0 for a band of one bin
};

class CFrequencyPlan {
 public:
  explicit CFrequencyPlan(const ScanAttributes& ids = ScanAttributes::Get()) : m_ids(ids) {}

  // Re-reads the plan from the data state when the writes of a message set
  // band start indexes at scope 0. Returns true when the plan was re-read.
  bool Update(const std::vector<CVyrMemoryDataState::Write>& writes, const IVyrDataState& state);

  bool IsEmpty() const { return BandCount() == 0; }
  int BandCount() const { return m_starts.empty() ? 0 : static_cast<int>(m_starts.size()) - 1; }
  // The band (from 1) whose elements hold element e, or 0 when none does.
  int BandOf(int e) const;
  PlanBand Band(int nBand) const;
  // The frequency of element e in MHz; false when the plan holds none.
  bool FrequencyMHz(int e, double& mhz) const;

 private:
  void Read(int nBands, const IVyrDataState& state);

  const ScanAttributes& m_ids;
  std::vector<int> m_starts;     // element 0 and one more per band: where each band starts, then the end
  std::vector<double> m_freqMHz;  // NaN for an element without a frequency
};
