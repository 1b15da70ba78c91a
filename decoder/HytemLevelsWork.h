// What DecodeBandLevels keeps in its decode device from one message to the
// next. A scan log reports levels for the same plan line after line: reading
// each level's plan frequency back from the data state, and making and
// clearing arrays of records for every line, cost more than reading the
// levels themselves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "HytemScanDecoding.h"
#include "VyrRetVal.h"
#include "VyrScanSort.h"

class IVyrDataState;
class CVyrDecodeReceiver;

// The plan frequencies as DecodeBandLevels ranks them (hertz, truncated),
// kept while the data state's plan generation stays the same: a header that
// lays down a plan, or any other write at scope 0, drops them. The first
// plan elements up to the first one without a value are kept (a header lays
// its plan down without a gap); any other element, and every element of a
// data state that gives no generation, is read afresh.
class CHytemPlanFrequencies {
 public:
  // The frequencies of plan elements nFirst to nFirst + nCount - 1, valid
  // until the next call.
  const std::int64_t* Read(IVyrDataState* pDataState, int nFirst, int nCount);
  // The frequency of one plan element.
  std::int64_t At(IVyrDataState* pDataState, int nElement);

  // Releases the afresh-read array of a long list.
  void ReleaseLarge();

  // Kept frequencies, at most: the most a header lays down.
  static constexpr int kMaxKept = kMaxScanFrequencies;

 private:
  void Follow(IVyrDataState* pDataState);
  void Extend(IVyrDataState* pDataState, std::int64_t nEnd);
  void ReadAfresh(IVyrDataState* pDataState, int nFirst, int nCount, std::int64_t* pOut);

  std::uint64_t m_nGeneration = 0;  // of the kept frequencies; 0: none kept
  std::vector<std::int64_t> m_kept;  // elements 0 to m_kept.size() - 1
  bool m_bKeptAll = false;           // the element after the kept ones has no value
  std::vector<std::int64_t> m_read;  // frequencies read afresh for one call
  std::vector<VyrRetVal> m_values;   // a piece of the data state's answers
};

// The plan frequencies and work arrays of one decode device. Arrays grown
// past kKeptLevels elements (a line of a million levels) are released after
// the message, so that one such line does not pin its memory.
struct CHytemLevelsWork {
  static constexpr size_t kKeptLevels = size_t{1} << 16;

  CHytemPlanFrequencies plan;
  std::vector<double> levels;
  std::vector<CWScanMeasurementStruct> records;
  // One piece of the ranked lists.
  std::vector<double> rankLevels;
  std::vector<std::int32_t> rankPlaces;
  std::vector<double> rankFreqsMHz;

  void ReleaseLarge();
};

// The work of the decode device that decodes a message, or null when the
// message is decoded without a HYTEM decode receiver.
CHytemLevelsWork* HytemLevelsWorkOf(CVyrDecodeReceiver* pReceiver);

// Room for n elements, grown when too small (only the growth is cleared).
template <class T>
T* HytemRoom(std::vector<T>& v, size_t n) {
  if (v.size() < n) v.resize(n);
  return v.data();
}
