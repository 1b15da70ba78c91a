#include "VyrScanSort.h"

#include <algorithm>
#include <cstdint>
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

// Places the records by bucket (strongest - level) / kStep, each bucket in
// input order, which is the order a stable sort gives. Each record's place
// is worked out first and the records are then moved along the cycles of
// that permutation, so that a list of millions of records is not copied
// whole: the places cost 4 bytes a record instead of a record.
template <std::int64_t kStep>
void PlaceByBucket(CWScanMeasurementStruct* pRecords, int nCount, std::int64_t nMax, size_t nBuckets) {
  auto bucket = [nMax](const CWScanMeasurementStruct& r) { return static_cast<size_t>((nMax - r.nRxLev) / kStep); };
  std::vector<std::uint32_t> places(nBuckets + 1, 0);
  for (int i = 0; i < nCount; ++i) ++places[bucket(pRecords[i]) + 1];
  for (size_t b = 1; b < places.size(); ++b) places[b] += places[b - 1];
  // Every element is assigned below: no need to clear them first.
  const std::unique_ptr<std::uint32_t[]> target(new std::uint32_t[static_cast<size_t>(nCount)]);
  for (int i = 0; i < nCount; ++i) target[static_cast<size_t>(i)] = places[bucket(pRecords[i])]++;
  places = std::vector<std::uint32_t>();
  for (std::uint32_t i = 0; i < static_cast<std::uint32_t>(nCount); ++i) {
    // Each swap puts the record at i in its place for good.
    while (target[i] != i) {
      const std::uint32_t t = target[i];
      std::swap(pRecords[i], pRecords[t]);
      std::swap(target[i], target[t]);
    }
  }
}

// Scan levels are whole dB in thousandths and span a few hundred dB at most:
// a counting sort places each record in one pass. False, with nothing moved,
// when the levels spread too widely for it.
bool CountingSort(CWScanMeasurementStruct* pRecords, int nCount) {
  std::int64_t nMax = pRecords[0].nRxLev;
  std::int64_t nMin = nMax;
  bool bWholeDb = true;
  for (int i = 0; i < nCount; ++i) {
    const std::int32_t v = pRecords[i].nRxLev;
    nMax = std::max<std::int64_t>(nMax, v);
    nMin = std::min<std::int64_t>(nMin, v);
    bWholeDb = bWholeDb && v % 1000 == 0;
  }
  const std::int64_t nBuckets = (nMax - nMin) / (bWholeDb ? 1000 : 1) + 1;
  if (nBuckets > std::max<std::int64_t>(4 * static_cast<std::int64_t>(nCount), 1024)) return false;
  if (bWholeDb) PlaceByBucket<1000>(pRecords, nCount, nMax, static_cast<size_t>(nBuckets));
  else PlaceByBucket<1>(pRecords, nCount, nMax, static_cast<size_t>(nBuckets));
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
