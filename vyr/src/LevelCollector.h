// The levels a measurement message leaves: every element of the level
// attribute (at message scope) that the message wrote and did not clear
// again, read back from the data state after the message, in element order,
// with a statistics log's minimum, maximum and deviation at the same element.
// Writes are followed as they are made (a run of a scan line as one range),
// so none of them is copied.
#pragma once

#include <cstdint>
#include <vector>

#include "VyrDataState.h"
#include "Vocabulary.h"
#include "vyr/Log.h"

namespace vyr::detail {

// The elements of one attribute that a message wrote or cleared, as ranges:
// the bin levels of a line are one range, however many there are.
class CTouchedElements {
 public:
  void Add(int nIndex) { AddRange(nIndex, 1); }
  void AddRange(int nFirst, int nCount) {
    if (m_ranges.size() > m_nTaken && m_ranges.back().nEnd == nFirst) m_ranges.back().nEnd += nCount;
    else m_ranges.push_back({nFirst, static_cast<std::int64_t>(nFirst) + nCount});
  }
  // Takes the elements added since the last call: sorted, each once.
  // Returns how many there are.
  size_t TakeMessage();
  // The next consecutive elements taken, at most nMax (> 0) of them, in
  // increasing order. False after the last.
  bool NextRun(int& nFirst, int& nCount, size_t nMax);

 private:
  struct Range {
    std::int64_t nFirst;
    std::int64_t nEnd;
  };
  std::vector<Range> m_ranges;
  size_t m_nTaken = 0;  // ranges of the message taken last, at the front
  size_t m_nRange = 0;  // NextRun's place
  std::int64_t m_nNext = 0;
};

class CLevelCollector {
 public:
  explicit CLevelCollector(const Vocabulary& v) : m_v(v) {}

  void OnWrite(int nAttrId, int nIndex, int nScope) {
    if (nScope != kScopeMessage) return;
    if (nAttrId == m_v.nLevel) m_levels.Add(nIndex);
    else if (nAttrId == m_v.nMinimum || nAttrId == m_v.nMaximum || nAttrId == m_v.nStdDev) m_statistics.push_back(nIndex);
  }
  void OnRun(int nAttrId, int nFirst, int nCount, int nScope) {
    if (nScope == kScopeMessage && nAttrId == m_v.nLevel) m_levels.AddRange(nFirst, nCount);
  }

  // Starts reading the levels of the message just decoded (bMeasurement) or
  // drops what it touched (any other message).
  void TakeMessage(bool bMeasurement);
  // The message's next levels, at most nMax, without band or frequency;
  // false with none after the last.
  bool Next(const IVyrDataState& state, std::vector<Level>& out, size_t nMax);
  // Whether the message wrote a statistic at any element.
  bool HasStatistics() const { return !m_taken.empty(); }

  static constexpr int kScopeMessage = 2147483647;

 private:
  void AddStatistics(const IVyrDataState& state, Level& level) const;

  const Vocabulary& m_v;
  CTouchedElements m_levels;
  std::vector<int> m_statistics;  // elements of the statistics attributes written since the last take
  std::vector<int> m_taken;       // those of the message taken last, sorted
  std::vector<VyrRetVal> m_values;  // read-back buffer, kept for its capacity
};

}  // namespace vyr::detail
