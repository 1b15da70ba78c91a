// The channels of a channel or statistics log: the fixed frequencies that its
// latest header message decodes into ATTR_ID_SCAN_LOG_FREQ at message scope,
// by element (channel 1 is element 0). A scan header names none, so the list
// is empty while a frequency plan is in force.
#pragma once

#include <vector>

#include "vyr/LevelRows.h"

class CChannelList {
 public:
  explicit CChannelList(const ScanAttributes& ids = ScanAttributes::Get()) : m_ids(ids) {}

  // Re-reads the list from a header message; other messages change nothing.
  void Update(const DecodedMessage& m);
  void Clear() { m_freqMHz.clear(); }
  // Elements 0 to Count() - 1: every element up to the last one the header named.
  int Count() const { return static_cast<int>(m_freqMHz.size()); }
  // The frequency of element e in MHz; false when the header gave none.
  bool FrequencyMHz(int e, double& mhz) const;

 private:
  const ScanAttributes& m_ids;
  std::vector<double> m_freqMHz;  // NaN for an element without a frequency
};
