// The sweep line grammar, the content probe and the plan's bands, case by
// case.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SweepPlan.h"
#include "SweepRow.h"

namespace {
struct RowCase {
  const char* pszLine;
  const char* pszWhy;  // null: a sweep line
  std::int64_t nBins;
  bool bFraction;
};

constexpr char kGood[] = "2024-03-01, 12:00:00, 88000000, 88040000, 10000.00, 16, -41.5, -40.25, nan, -inf";

TEST(SweepRow, Grammar) {
  const RowCase cases[] = {
      {kGood, nullptr, 4, false},
      {"2024-03-01,12:00:00,88000000,88040000,10000.00,16,-41.5", nullptr, 1, false},
      {"2024-03-01, 12:00:00.123456, 2400000000, 2405000000, 1000000.00, 20, -70, -71, ", nullptr, 2, true},
      {" 2024-02-29 , 23:59:59 , 1e8 , 1.01e8 , 0 , 1 , -5\r", nullptr, 1, false},
      {"2024-03-01, 12:00:00, 88000000, 88040000, 10000.00, 16, -1, , x", nullptr, 3, false},
      {"2023-02-29, 12:00:00, 1, 2, 1, 1, -5", "the date is not YYYY-MM-DD", 0, false},
      {"2024/03/01, 12:00:00, 1, 2, 1, 1, -5", "the date is not YYYY-MM-DD", 0, false},
      {"2024-03-01, 24:00:00, 1, 2, 1, 1, -5", "the time is not HH:MM:SS or HH:MM:SS.ffffff", 0, false},
      {"2024-03-01, 12:00:00., 1, 2, 1, 1, -5", "the time is not HH:MM:SS or HH:MM:SS.ffffff", 0, false},
      {"2024-03-01, 12:00:00, inf, 2, 1, 1, -5", "Hz low is not a number", 0, false},
      {"2024-03-01, 12:00:00, 1, 2x, 1, 1, -5", "Hz high is not a number", 0, false},
      {"2024-03-01, 12:00:00, 1, 2, -1, 1, -5", "Hz step is not a number of at least 0", 0, false},
      {"2024-03-01, 12:00:00, 1, 2, 1, 1.5, -5", "samples is not a whole number", 0, false},
      {"2024-03-01, 12:00:00, 1, 2, 1, 1, ", "the line holds no level", 0, false},
      {"2024-03-01, 12:00:00, 1, 2, 1, 1, -5;", "a level holds a semicolon, a caret or a NUL byte", 0, false},
      {"2024-03-01, 12:00:00, 1, 2, 1, 1", "the line has fewer than 7 comma-separated fields", 0, false},
      {"date, time, Hz low, Hz high, Hz step, samples, dB", "the date is not YYYY-MM-DD", 0, false},
  };
  for (const RowCase& c : cases) {
    SweepRow row;
    const char* why = ParseSweepRow(c.pszLine, row);
    EXPECT_STREQ(why, c.pszWhy) << c.pszLine;
    if (c.pszWhy) continue;
    EXPECT_EQ(row.nBins, c.nBins) << c.pszLine;
    EXPECT_EQ(row.bFraction, c.bFraction) << c.pszLine;
  }
  SweepRow row;
  ASSERT_EQ(ParseSweepRow(kGood, row), nullptr);
  EXPECT_EQ(row.nMs, 1709294400000);
  EXPECT_EQ(row.dLowHz, 88e6);
  EXPECT_EQ(row.dStepHz, 1e4);
  EXPECT_EQ(row.levels, "-41.5, -40.25, nan, -inf");
  ASSERT_EQ(ParseSweepRow("2024-03-01, 12:00:00.123456, 1, 2, 1, 1, -5", row), nullptr);
  EXPECT_EQ(row.nMs, 1709294400123);
}

TEST(SweepRow, Probe) {
  const struct {
    std::string head;
    int nWanted;
  } cases[] = {
      {std::string(kGood) + "\n", 1},
      {"\xEF\xBB\xBF\n  \r\n" + std::string(kGood) + "\r\n", 1},
      {"2024-03-01, 12:00:00, 88000000, 88040000, 10000.00, 16, -4", 1},  // cut inside a level
      {"2024-03-01, 12:00:00, 88000000, 88040000, 10000.00, 16, ", 1},    // cut after the samples
      {"2024-03-01, 12:00:00, 88000000, 880", 0},
      {"date,time,low,high,step,samples,db\n" + std::string(kGood) + "\n", 0},
      {"a,b,c\n1,2,3\n", 0},
      {"HYTEM Software - V2.4.1\n", 0},
      {"", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(IdentifySweepFile(c.head.data(), c.head.size()), c.nWanted) << c.head;
}

TEST(SweepRow, Numbers) {
  const struct {
    const char* psz;
    bool bNumber;
  } cases[] = {{"-41.5", true}, {" +5 ", true}, {"nan", true}, {"-inf", true}, {"1e400", true},
               {"", false},     {"x", false},   {"-4x", false}, {"--4", false}};
  for (const auto& c : cases) {
    double d;
    EXPECT_EQ(ReadSweepNumber(c.psz, d), c.bNumber) << c.psz;
  }
}

std::vector<SweepHopLine> Lines(std::initializer_list<SweepHop> hops) {
  std::vector<SweepHopLine> lines;
  for (const SweepHop& h : hops) lines.push_back({h, false});
  return lines;
}

TEST(SweepPlan, HopsInFrequencyOrderMakeBands) {
  CSweepPlanner planner;
  // hackrf_sweep's interleaved order; the last hop leaves a gap.
  ASSERT_TRUE(planner.TakeSweep(Lines({{2400e6, 2405e6, 1e6, 5}, {2410e6, 2415e6, 1e6, 5}, {2405e6, 2410e6, 1e6, 5},
                                       {2430e6, 2435e6, 1e6, 5}})));
  const CSweepPlan& plan = planner.Plan();
  ASSERT_EQ(plan.Hops().size(), 4u);
  EXPECT_EQ(plan.Hops()[1].dLowHz, 2405e6);
  EXPECT_EQ(plan.BandOf(0), 1);
  EXPECT_EQ(plan.BandOf(2), 1);
  EXPECT_EQ(plan.BandOf(3), 2);
  EXPECT_EQ(plan.FirstElement(3), 15);
  EXPECT_EQ(plan.Bins(), 20);
  // rtl_power's hops whose ends miss the next start by a few hertz stay one band.
  CSweepPlanner rtl;
  ASSERT_TRUE(rtl.TakeSweep(Lines({{24e6, 26797996, 5464.84, 512}, {26797996, 29595992, 5464.84, 512}})));
  EXPECT_EQ(rtl.Plan().BandCount(), 1);
}

TEST(SweepPlan, LaterSweepsKeepOrGrowThePlan) {
  CSweepPlanner planner;
  const SweepHop a{100e6, 101e6, 0.5e6, 2}, b{101e6, 102e6, 0.5e6, 2}, c{90e6, 91e6, 0.5e6, 2};
  ASSERT_TRUE(planner.TakeSweep(Lines({a, b})));
  EXPECT_FALSE(planner.TakeSweep(Lines({a})));                    // a sweep cut short
  EXPECT_FALSE(planner.TakeSweep({{{a.dLowHz, a.dHighHz, a.dStepHz, 1}, true}}));  // a cut line
  ASSERT_TRUE(planner.TakeSweep(Lines({c})));                     // a new hop goes after the others
  EXPECT_EQ(planner.Plan().Hops().size(), 3u);
  EXPECT_EQ(planner.Plan().Hops()[2].dLowHz, 90e6);
  EXPECT_EQ(planner.Plan().Find(c), 2);
  ASSERT_TRUE(planner.TakeSweep(Lines({{100e6, 101e6, 0.5e6, 3}})));  // the same hop, more levels
  EXPECT_EQ(planner.Plan().Hops()[0].nBins, 3);
  EXPECT_EQ(planner.Plan().Hops()[1].BinHz(1), 101.5e6);
}

TEST(SweepPlan, BudgetBoundsThePlansOfAHostileFile) {
  // Every sweep brings one hop more: the plan grows only while the budget
  // lasts, then it is the sweep's own hops.
  CSweepPlanner planner;
  std::int64_t nLaidDown = 0;
  for (int i = 0; i < 6000; ++i) {
    planner.AddLineBytes(30);
    ASSERT_TRUE(planner.TakeSweep(Lines({{1e6 + i * 1e3, 1e6 + i * 1e3 + 500, 500, 1}})));
    nLaidDown += planner.Plan().Bins();
  }
  EXPECT_LE(nLaidDown, 2 * kMaxSweepBins + 4 * 31 * 6000);
  EXPECT_LT(planner.Plan().Hops().size(), 6000u);  // it started again
}
}  // namespace
