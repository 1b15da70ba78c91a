// The scan sort against std::stable_sort by level, strongest first: lists of
// every length, whole-dB levels (the counting path), levels in thousandths,
// wide spreads and the 32-bit extremes (the general path), and many ties.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <random>
#include <vector>

#include "VyrScanSort.h"

namespace {
std::vector<CWScanMeasurementStruct> Records(const std::vector<std::int32_t>& levels) {
  std::vector<CWScanMeasurementStruct> v;
  for (size_t i = 0; i < levels.size(); ++i)
    v.push_back({static_cast<std::int32_t>(i), 400000000LL + static_cast<std::int64_t>(i) * 25000, 0, levels[i], 0});
  return v;
}

void ExpectLikeStableSort(const std::vector<std::int32_t>& levels) {
  std::vector<CWScanMeasurementStruct> sorted = Records(levels);
  std::vector<CWScanMeasurementStruct> expected = sorted;
  std::stable_sort(expected.begin(), expected.end(),
                   [](const CWScanMeasurementStruct& a, const CWScanMeasurementStruct& b) { return a.nRxLev > b.nRxLev; });
  NVyrDecodeDeviceUtils::CWScanSortByRxLev(sorted.data(), static_cast<int>(sorted.size()));
  ASSERT_EQ(sorted.size(), expected.size());
  for (size_t k = 0; k < sorted.size(); ++k) {
    ASSERT_EQ(sorted[k].nIndex, expected[k].nIndex) << "rank " << k << " of " << sorted.size();
    ASSERT_EQ(sorted[k].llFreqHz, expected[k].llFreqHz);
    ASSERT_EQ(sorted[k].nRxLev, expected[k].nRxLev);
  }
}

TEST(ScanSortDiff, WholeDbLevelsOfEveryListLength) {
  std::mt19937 rng(3);
  // Past 65,536 records the sort moves them in place instead of through a copy.
  for (int n : {2, 3, 15, 16, 17, 31, 100, 400, 401, 1000, 4000, 12000, 65536, 70000}) {
    std::vector<std::int32_t> levels;
    for (int i = 0; i < n; ++i) levels.push_back(-1000 * static_cast<std::int32_t>(30 + rng() % 91));
    ExpectLikeStableSort(levels);
  }
}

TEST(ScanSortDiff, LevelsInThousandthsAndWideSpreads) {
  std::mt19937 rng(4);
  for (int round = 0; round < 50; ++round) {
    const int n = 17 + static_cast<int>(rng() % 600);
    std::vector<std::int32_t> fine, wide, fewLevels;
    for (int i = 0; i < n; ++i) {
      fine.push_back(-static_cast<std::int32_t>(rng() % 120000));
      wide.push_back(static_cast<std::int32_t>(rng()));
      fewLevels.push_back(-1000 * static_cast<std::int32_t>(rng() % 3));
    }
    ExpectLikeStableSort(fine);
    ExpectLikeStableSort(wide);
    ExpectLikeStableSort(fewLevels);
  }
}

TEST(ScanSortDiff, ExtremesAndSingleOddLevels) {
  std::vector<std::int32_t> levels(40, -80000);
  levels[7] = INT_MIN;
  levels[20] = INT_MAX;
  ExpectLikeStableSort(levels);
  std::vector<std::int32_t> oneFine(40, -80000);
  oneFine[33] = -80001;  // one level off the whole dB: thousandths steps
  ExpectLikeStableSort(oneFine);
  std::vector<std::int32_t> allEqual(500, -95000);
  ExpectLikeStableSort(allEqual);
  std::vector<std::int32_t> manyFine;  // thousandths, many records: counted and moved in place
  for (int i = 0; i < 70000; ++i) manyFine.push_back(-40000 - (i * 7919) % 120000);
  ExpectLikeStableSort(manyFine);
  std::vector<std::int32_t> farApart(100, -2147483000);
  farApart[50] = 2147483000;
  ExpectLikeStableSort(farApart);
}
}  // namespace
