#include "VyrScanSort.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace {
bool Stronger(const CWScanMeasurementStruct& a, const CWScanMeasurementStruct& b) { return a.nRxLev > b.nRxLev; }

// Short lists: insertion sort, which keeps equal levels in their order.
void InsertionSort(CWScanMeasurementStruct* pRecords, int nCount) {
  for (int i = 1; i < nCount; ++i) {
    const CWScanMeasurementStruct r = pRecords[i];
    int j = i;
    for (; j > 0 && Stronger(r, pRecords[j - 1]); --j) pRecords[j] = pRecords[j - 1];
    pRecords[j] = r;
  }
}

// Lists up to this long are placed through a copy of the records, and their
// work arrays are kept from one call to the next (a scan decodes a list per
// message); longer ones are placed in place and their arrays released.
constexpr size_t kKeptRecords = size_t{1} << 16;

struct SortScratch {
  std::vector<std::uint32_t> keys;
  std::vector<std::uint32_t> places;
  std::vector<CWScanMeasurementStruct> records;
};
thread_local SortScratch t_scratch;

// Room for n elements: grown when too small (and then only its growth is
// cleared), never shrunk.
template <class T>
T* Room(std::vector<T>& v, size_t n) {
  if (v.size() < n) v.resize(n);
  return v.data();
}

// The levels' common step (1000 when every level is whole dB in thousandths,
// as scan levels are, else 1), the strongest level, and the number of steps
// they span. Each level is divided by 1000 once, here; its quotient is left
// in pKeys for KeysAndPlaces.
struct LevelSpan {
  bool bWholeDb;
  std::int32_t nMax;
  std::int64_t nSteps;
};
LevelSpan MeasureLevels(const CWScanMeasurementStruct* pRecords, int nCount, std::uint32_t* pKeys) {
  std::int32_t nMax = pRecords[0].nRxLev;
  std::int32_t nMin = nMax;
  bool bWholeDb = true;
  for (int i = 0; i < nCount; ++i) {
    const std::int32_t v = pRecords[i].nRxLev;
    const std::int32_t q = v / 1000;
    bWholeDb &= q * 1000 == v;
    pKeys[i] = static_cast<std::uint32_t>(q);
    nMax = std::max(nMax, v);
    nMin = std::min(nMin, v);
  }
  const std::int64_t nStep = bWholeDb ? 1000 : 1;
  return {bWholeDb, nMax, (static_cast<std::int64_t>(nMax) - nMin) / nStep + 1};
}

// Each record's key, the number of steps its level lies below the strongest
// (so that the strongest level has key 0), and the place of each key's first
// record in the sorted list.
void KeysAndPlaces(const CWScanMeasurementStruct* pRecords, int nCount, const LevelSpan& span, std::uint32_t* pKeys,
                   std::uint32_t* pPlaces) {
  const size_t nKeys = static_cast<size_t>(span.nSteps);
  std::fill(pPlaces, pPlaces + nKeys, 0u);
  // Every span fits 32 bits: whole dB span at most 2^32 / 1000 steps, other
  // levels at most 2^32.
  if (span.bWholeDb) {
    const std::int64_t nTop = span.nMax / 1000;
    for (int i = 0; i < nCount; ++i) {
      const auto nKey = static_cast<std::uint32_t>(nTop - static_cast<std::int32_t>(pKeys[i]));
      pKeys[i] = nKey;
      ++pPlaces[nKey];
    }
  } else {
    const std::int64_t nTop = span.nMax;
    for (int i = 0; i < nCount; ++i) {
      const auto nKey = static_cast<std::uint32_t>(nTop - pRecords[i].nRxLev);
      pKeys[i] = nKey;
      ++pPlaces[nKey];
    }
  }
  std::uint32_t nSum = 0;
  for (size_t k = 0; k < nKeys; ++k) {
    const std::uint32_t n = pPlaces[k];
    pPlaces[k] = nSum;
    nSum += n;
  }
}

// Places the records by key, each key's records in input order, which is the
// order a stable sort gives. A short list goes through a copy; a long one is
// moved along the cycles of the permutation, so that a list of millions of
// records is not copied whole: its places cost 4 bytes a record (the keys'
// array, reused) instead of a record.
void PlaceByKey(CWScanMeasurementStruct* pRecords, int nCount, std::uint32_t* pKeys, std::uint32_t* pPlaces) {
  const size_t n = static_cast<size_t>(nCount);
  if (n <= kKeptRecords) {
    CWScanMeasurementStruct* pOut = Room(t_scratch.records, n);
    for (size_t i = 0; i < n; ++i) pOut[pPlaces[pKeys[i]]++] = pRecords[i];
    std::memcpy(static_cast<void*>(pRecords), pOut, n * sizeof *pRecords);
    return;
  }
  std::uint32_t* pTarget = pKeys;  // each key becomes its record's place
  for (size_t i = 0; i < n; ++i) pTarget[i] = pPlaces[pKeys[i]]++;
  for (std::uint32_t i = 0; i < static_cast<std::uint32_t>(n); ++i) {
    // Each swap puts the record at i in its place for good.
    while (pTarget[i] != i) {
      const std::uint32_t t = pTarget[i];
      std::swap(pRecords[i], pRecords[t]);
      std::swap(pTarget[i], pTarget[t]);
    }
  }
}

// Scan levels are whole dB in thousandths and span a few hundred dB at most:
// a counting sort places each record in one pass. False, with nothing moved,
// when the levels spread too widely for it.
bool CountingSort(CWScanMeasurementStruct* pRecords, int nCount) {
  const size_t n = static_cast<size_t>(nCount);
  std::vector<std::uint32_t> ownKeys;  // a long list's, released after the sort
  std::uint32_t* pKeys = n <= kKeptRecords ? Room(t_scratch.keys, n) : Room(ownKeys, n);
  const LevelSpan span = MeasureLevels(pRecords, nCount, pKeys);
  if (span.nSteps > std::max<std::int64_t>(4 * static_cast<std::int64_t>(nCount), 1024)) return false;
  const size_t nKeys = static_cast<size_t>(span.nSteps);
  std::vector<std::uint32_t> ownPlaces;
  std::uint32_t* pPlaces = nKeys <= kKeptRecords ? Room(t_scratch.places, nKeys) : Room(ownPlaces, nKeys);
  KeysAndPlaces(pRecords, nCount, span, pKeys, pPlaces);
  PlaceByKey(pRecords, nCount, pKeys, pPlaces);
  return true;
}
}  // namespace

namespace NVyrDecodeDeviceUtils {
void CWScanSortByRxLev(CWScanMeasurementStruct* pRecords, int nCount) {
  if (!pRecords || nCount < 2) return;
  if (nCount <= 16) {
    InsertionSort(pRecords, nCount);
    return;
  }
  if (CountingSort(pRecords, nCount)) return;
  std::stable_sort(pRecords, pRecords + nCount, Stronger);
}
}  // namespace NVyrDecodeDeviceUtils
