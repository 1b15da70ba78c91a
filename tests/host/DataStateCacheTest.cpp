// The data state's cache of recently used columns must never change what a
// read answers: many columns that share cache entries, written and read in
// turn, against a plain map of what was written; copies and Clear.
#include <gtest/gtest.h>

#include <map>
#include <functional>
#include <random>
#include <set>
#include <tuple>

#include "MemoryDataState.h"
#include "VyrRetVal.h"

namespace {
using Key = std::tuple<int, int, int>;  // attribute, index, scope

TEST(MemoryDataStateCache, ReadsAnswerWhatWasWrittenAcrossManyColumns) {
  std::mt19937 rng(8);
  CVyrMemoryDataState ds;
  std::map<Key, double> written;
  const int scopes[] = {kVyrScopeFrequencyPlan, kVyrScopeMessage, 2, -1};
  for (int i = 0; i < 200000; ++i) {
    // 64 attributes in 4 scopes: far more columns than cache entries, and
    // attributes 16 apart share an entry.
    const int attr = 100 + static_cast<int>(rng() % 64);
    const int scope = scopes[rng() % 4];
    const int index = static_cast<int>(rng() % 50) - 5;
    if (rng() % 3 == 0) {
      VyrRetVal v = ds.GetValue(attr, index, scope);
      auto it = written.find({attr, index, scope});
      if (it == written.end()) {
        ASSERT_NE(v.m_nStatus, VYR_RV_STATUS_OK) << attr << ' ' << index << ' ' << scope;
      } else {
        ASSERT_EQ(v.m_nStatus, VYR_RV_STATUS_OK) << attr << ' ' << index << ' ' << scope;
        ASSERT_EQ(v.m_value.d, it->second);
      }
    } else if (rng() % 10 == 0) {
      ds.ClearValue(attr, index, scope, 0);
      written.erase({attr, index, scope});
    } else {
      const double d = static_cast<double>(i);
      ds.SetRealValue(attr, d, index, scope, 0);
      written[{attr, index, scope}] = d;
    }
  }
}

TEST(MemoryDataStateCache, CopiesAndClearKeepTheirOwnColumns) {
  CVyrMemoryDataState ds;
  ds.SetRealValue(105, -80.0, 3, kVyrScopeMessage, 0);
  CVyrMemoryDataState copy = ds;
  copy.SetRealValue(105, -60.0, 3, kVyrScopeMessage, 0);
  EXPECT_EQ(ds.GetValue(105, 3, kVyrScopeMessage).m_value.d, -80.0);
  EXPECT_EQ(copy.GetValue(105, 3, kVyrScopeMessage).m_value.d, -60.0);

  ds = copy;
  ds.SetRealValue(105, -50.0, 3, kVyrScopeMessage, 0);
  EXPECT_EQ(copy.GetValue(105, 3, kVyrScopeMessage).m_value.d, -60.0);
  EXPECT_EQ(ds.GetValue(105, 3, kVyrScopeMessage).m_value.d, -50.0);

  ds.Clear();
  EXPECT_NE(ds.GetValue(105, 3, kVyrScopeMessage).m_nStatus, VYR_RV_STATUS_OK);
  ds.SetRealValue(105, -40.0, 3, kVyrScopeMessage, 0);
  EXPECT_EQ(ds.GetValue(105, 3, kVyrScopeMessage).m_value.d, -40.0);
}

// The plan generation tells a decoder whether what it read at scope 0 still
// holds: it must change with every kind of change there, and only there.
TEST(MemoryDataStateCache, PlanGenerationChangesWithTheValuesOfScopeZero) {
  CVyrMemoryDataState ds, other;
  std::set<std::uint64_t> seen{ds.GetPlanGeneration(), other.GetPlanGeneration()};
  EXPECT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen.count(0), 0u);
  const std::uint64_t nFirst = ds.GetPlanGeneration();
  const double level = -80.0;
  const VyrValueRun run{105, &level, nullptr, -1000.0};
  ds.SetRealValue(105, -80.0, 3, kVyrScopeMessage, 0);
  ds.ClearValue(105, 3, kVyrScopeMessage, 0);
  ds.SetValueRuns(&run, 1, 0, 1, kVyrScopeMessage, 0);
  EXPECT_EQ(ds.GetPlanGeneration(), nFirst);
  const std::function<void()> changes[] = {
      [&] { ds.SetTextValue(103, "400.000 MHz", 0, kVyrScopeFrequencyPlan, 0); },
      [&] { ds.SetIntValue(104, 5, 1, kVyrScopeFrequencyPlan, 0); },
      [&] { ds.SetRealValue(102, 4e8, 0, kVyrScopeFrequencyPlan, 0); },
      [&] { ds.ClearValue(102, 7, kVyrScopeFrequencyPlan, 0); },
      [&] { ds.SetValueRuns(&run, 1, 2, 1, kVyrScopeFrequencyPlan, 0); },
      [&] { ds.Clear(); },
  };
  for (const auto& change : changes) {
    change();
    EXPECT_TRUE(seen.insert(ds.GetPlanGeneration()).second) << "change " << seen.size();
  }
  // A copy holds the same plan under the same number, until one of them changes.
  ds.SetRealValue(102, 4e8, 0, kVyrScopeFrequencyPlan, 0);
  const std::uint64_t nBefore = ds.GetPlanGeneration();
  CVyrMemoryDataState copy = ds;
  EXPECT_EQ(copy.GetPlanGeneration(), nBefore);
  copy.SetRealValue(102, 5e8, 0, kVyrScopeFrequencyPlan, 0);
  EXPECT_TRUE(seen.insert(copy.GetPlanGeneration()).second);
  EXPECT_EQ(ds.GetPlanGeneration(), nBefore);
}
}  // namespace
