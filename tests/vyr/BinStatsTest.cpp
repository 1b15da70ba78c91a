// The per-bin statistics: counts, extremes and where they were measured, the
// threshold share, and quantiles exact to 0.1 dB, alone and merged.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "vyr/BinStats.h"

namespace {
// numpy's default ("linear") quantile of the values.
double LinearQuantile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  const double h = p * static_cast<double>(v.size() - 1);
  const size_t lo = static_cast<size_t>(std::floor(h));
  if (lo + 1 >= v.size()) return v[lo];
  return v[lo] + (h - static_cast<double>(lo)) * (v[lo + 1] - v[lo]);
}

vyr::BinStats Of(const std::vector<double>& levels, double threshold, std::uint64_t firstMessage = 0) {
  vyr::BinStats s;
  for (size_t i = 0; i < levels.size(); ++i)
    s.Add(levels[i], levels[i] >= threshold, vyr::Where{static_cast<std::int64_t>(i) * 100, firstMessage + i});
  return s;
}

TEST(BinStats, QuantilesAsNumpyGivesThemWithinATenthOfADb) {
  const std::vector<std::vector<double>> cases = {
      {-80}, {-80, -60}, {-90, -89.9, -70.3, -70.3, -55}, {-101.25, -100.75, -33.05}, {-500, 500, -42}};
  for (const auto& levels : cases)
    for (double p : {0.0, 0.1, 0.25, 0.5, 0.9, 1.0})
      EXPECT_NEAR(Of(levels, 0).Quantile(p), LinearQuantile(levels, p), 0.05 + 1e-9) << "p " << p;
}

TEST(BinStats, CountsExtremesAndThresholdShare) {
  const vyr::BinStats s = Of({-80, NAN, -70, -INFINITY, -70, -60.5}, -70);
  EXPECT_EQ(s.Count(), 5u);  // NaN is no level
  EXPECT_EQ(s.Above(), 3u);  // at or above -70
  EXPECT_DOUBLE_EQ(s.Occupancy(), 0.6);
  EXPECT_DOUBLE_EQ(s.MeanDbm(), (-80 - 70 - 70 - 60.5) / 4);  // of the finite levels
  EXPECT_EQ(s.MinDbm(), -INFINITY);
  EXPECT_EQ(s.MaxDbm(), -60.5);
  EXPECT_EQ(s.AtMax().message, 5u);
  EXPECT_EQ(s.FirstAboveMs(), 200);
  EXPECT_EQ(s.LastAboveMs(), 500);
  EXPECT_TRUE(std::isnan(vyr::BinStats().Occupancy()));
  EXPECT_TRUE(std::isnan(vyr::BinStats().Quantile(0.5)));
}

TEST(BinStats, MergedEqualsOneAccumulatorAndKeepsTheFirstMaximum) {
  const std::vector<double> a = {-80, -60, -75}, b = {-60, -90, -59.9, -100};
  vyr::BinStats merged = Of(a, -65);
  merged.Merge(Of(b, -65, 10));
  std::vector<double> all = a;
  all.insert(all.end(), b.begin(), b.end());
  const vyr::BinStats one = Of(all, -65);
  EXPECT_EQ(merged.Count(), one.Count());
  EXPECT_EQ(merged.Above(), one.Above());
  EXPECT_EQ(merged.SumDbm(), one.SumDbm());
  EXPECT_EQ(merged.MinDbm(), -100);
  for (double p : {0.1, 0.5, 0.9}) EXPECT_EQ(merged.Quantile(p), one.Quantile(p));
  EXPECT_EQ(merged.AtMax().message, 12u);  // -59.9 of the second
  vyr::BinStats tie = Of({-60}, -65);
  tie.Merge(Of({-60}, -65, 7));
  EXPECT_EQ(tie.AtMax().message, 0u);  // of equal maxima the first
}

// Levels whose double sum depends on their order: any split of them, merged
// in order, gives what one accumulator gives, the exact mean rounded once,
// and the first and last times above the threshold even as the clock goes back.
TEST(BinStats, MergedPiecesEqualOneAccumulatorWhateverTheSplit) {
  struct Case {
    std::vector<double> levels;
    double mean;  // of the exact sum, rounded once
  };
  const std::vector<Case> cases = {
      {{0.1, 0.2, 0.3}, 0.2},  // the double sums are 0.6000000000000001 and 0.6
      {{-80.1, -70.2, -60.3, -0.7, -99.9}, -62.24},
      {{1e9, -1e9, -80.1, -70.2, 1e-3}, -30.0598},
      {{1e300, -1e300, -60, 1e12}, (1073741824.0 - 60) / 4},  // beyond 2^30 dB a level counts as that bound
  };
  for (const Case& c : cases) {
    ASSERT_NE(c.levels[0] + c.levels[1] + c.levels[2], c.levels[2] + c.levels[1] + c.levels[0]);
    std::vector<std::int64_t> times;
    for (size_t i = 0; i < c.levels.size(); ++i) times.push_back(i % 2 ? 100 - static_cast<std::int64_t>(i) : 50);
    auto of = [&](size_t first, size_t end) {
      vyr::BinStats s;
      for (size_t i = first; i < end; ++i) s.Add(c.levels[i], true, vyr::Where{times[i], i});
      return s;
    };
    const vyr::BinStats one = of(0, c.levels.size());
    EXPECT_EQ(one.MeanDbm(), c.mean);
    for (size_t cut = 0; cut <= c.levels.size(); ++cut) {
      vyr::BinStats merged = of(0, cut);
      merged.MergeFollowing(of(cut, c.levels.size()));
      vyr::BinStats reversed = of(cut, c.levels.size());
      reversed.Merge(of(0, cut));
      EXPECT_EQ(merged.MeanDbm(), one.MeanDbm()) << "cut " << cut;
      EXPECT_EQ(merged.SumDbm(), one.SumDbm());
      EXPECT_EQ(reversed.SumDbm(), one.SumDbm());
      EXPECT_EQ(merged.FirstAboveMs(), one.FirstAboveMs());
      EXPECT_EQ(merged.LastAboveMs(), one.LastAboveMs());
      EXPECT_EQ(merged.AtMax().message, one.AtMax().message);
    }
  }
}

// The exact sum travels in its serialised form to the last bit, at the
// bound too; a sum that its count of finite levels cannot make is refused.
TEST(BinStats, SerialisedSumRoundTripsAndMustFitItsCount) {
  const std::vector<std::vector<double>> cases = {
      {}, {-0.0}, {-80.1, 1e-3, -70.25}, {1e300, 1e300, 1e300}, {-1e300, -1e300}, {-1073741824.0, 0.1}};
  for (const auto& levels : cases) {
    const vyr::BinStats s = Of(levels, -80);
    std::string bytes;
    s.AppendSerialized(bytes);
    std::string_view in = bytes;
    const vyr::BinStats back = vyr::BinStats::ReadSerialized(in);
    EXPECT_TRUE(in.empty());
    EXPECT_EQ(back.SumDbm(), s.SumDbm());
    if (!levels.empty()) {
      EXPECT_EQ(back.MeanDbm(), s.MeanDbm());
    }
    std::string again;
    back.AppendSerialized(again);
    EXPECT_EQ(again, bytes);
  }
  std::string bytes;
  Of({1e300, 1e300}, -80).AppendSerialized(bytes);
  bytes[1] = 1;  // one finite level cannot sum to 2^31 dB
  std::string_view in = bytes;
  EXPECT_THROW(vyr::BinStats::ReadSerialized(in), std::invalid_argument);
}

TEST(LevelHistogram, HostileLevelsCostNoMemoryAndCountAtTheEnds) {
  vyr::LevelHistogram h;
  for (double d : {1e300, -1e300, -HUGE_VAL, HUGE_VAL, -80.0}) h.Add(d);
  EXPECT_EQ(h.Count(), 5u);
  EXPECT_EQ(h.Quantile(0), -500);
  EXPECT_EQ(h.Quantile(1), 500);
  EXPECT_EQ(h.Quantile(0.5), -80);
}
}  // namespace
