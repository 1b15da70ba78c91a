// The run operations of the memory data state against the single calls they
// stand for: random runs (shared attributes, clearing thresholds, NaNs,
// elements that held texts, runs crossing pages or starting below 0) leave
// the same values and write count, and with recording on (of every attribute
// or of one) or an observer, the same list of writes.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <utility>
#include <vector>

#include "MemoryDataState.h"

namespace {
struct RunCase {
  std::vector<VyrValueRun> runs;
  std::vector<std::vector<double>> reals;
  std::vector<std::vector<std::int32_t>> ints;
  int nFirst;
  int nCount;
  int nScope;
};

RunCase RandomCase(std::mt19937& rng) {
  RunCase c;
  const int firsts[] = {0, 3, 250, 1000, (1 << 20) - 4, -2, 2147483647 - 9};
  c.nFirst = firsts[rng() % std::size(firsts)];
  // Now and then a run over three pages.
  c.nCount = static_cast<int>(rng() % 10) + (rng() % 8 == 0 && c.nFirst < 2000 ? 600 : 0);
  c.nScope = rng() % 2 ? 0 : 2147483647;
  const int nRuns = 1 + static_cast<int>(rng() % 3);
  c.reals.resize(static_cast<size_t>(nRuns));
  c.ints.resize(static_cast<size_t>(nRuns));
  for (int r = 0; r < nRuns; ++r) {
    const bool bInts = rng() % 3 == 0;
    for (int k = 0; k < c.nCount; ++k) {
      const double d = rng() % 8 == 0 ? std::nan("") : -static_cast<double>(rng() % 200);
      c.reals[r].push_back(d);
      c.ints[r].push_back(static_cast<std::int32_t>(rng()));
    }
    const double clear = rng() % 2 ? -std::numeric_limits<double>::infinity() : -100.0;
    // Attributes 1 and 2 only: runs of one call often share one.
    c.runs.push_back({1 + static_cast<int>(rng() % 2), bInts ? nullptr : c.reals[r].data(),
                      bInts ? c.ints[r].data() : nullptr, clear});
  }
  return c;
}

void ApplyOneByOne(CVyrMemoryDataState& ds, const RunCase& c) {
  for (int k = 0; k < c.nCount; ++k)
    for (const VyrValueRun& run : c.runs) {
      if (!run.pReals) ds.SetIntValue(run.nAttrId, run.pInts[k], c.nFirst + k, c.nScope, 0);
      else if (run.pReals[k] < run.dClearBelow) ds.ClearValue(run.nAttrId, c.nFirst + k, c.nScope, 0);
      else ds.SetRealValue(run.nAttrId, run.pReals[k], c.nFirst + k, c.nScope, 0);
    }
}

void ExpectSameValue(const VyrRetVal& a, const VyrRetVal& b, const char* what) {
  ASSERT_EQ(a.m_nStatus, b.m_nStatus) << what;
  if (a.m_nStatus != VYR_RV_STATUS_OK) return;
  ASSERT_EQ(a.m_nType, b.m_nType) << what;
  if (a.m_nType == VYR_RV_INT32) {
    EXPECT_EQ(a.m_value.i32, b.m_value.i32) << what;
  } else if (a.m_nType == VYR_RV_DOUBLE) {
    EXPECT_TRUE(std::isnan(a.m_value.d) ? std::isnan(b.m_value.d) : a.m_value.d == b.m_value.d) << what;
  } else if (a.m_nType == VYR_RV_TEXT) {
    EXPECT_STREQ(a.m_value.psz, b.m_value.psz) << what;
  }
}

TEST(MemoryDataStateRuns, RunsMatchTheSingleCalls) {
  std::mt19937 rng(5);
  // RunObserved: the runs' data state tells a run observer of each paged
  // run call, which lists RunWrite's writes; the singles' observer sees each.
  enum class Recording { None, All, OnlyAttr2, Observed, RunObserved };
  for (Recording mode :
       {Recording::None, Recording::All, Recording::OnlyAttr2, Recording::Observed, Recording::RunObserved}) {
    const bool bObserved = mode == Recording::Observed || mode == Recording::RunObserved;
    CVyrMemoryDataState runs, singles;
    // The observer of each lists its writes in its own record.
    CVyrMemoryDataState observedRuns, observedSingles;
    for (CVyrMemoryDataState* ds : {&runs, &singles}) {
      ds->SetRecordWrites(mode == Recording::All || mode == Recording::OnlyAttr2);
      if (mode == Recording::OnlyAttr2) ds->SetRecordedAttributes({2});
    }
    if (bObserved) {
      for (auto [ds, pObserved] : {std::pair{&runs, &observedRuns}, std::pair{&singles, &observedSingles}}) {
        pObserved->SetRecordWrites(true);
        auto replay = [pObserved](const CVyrMemoryDataState::Write& w) {
          if (w.op == CVyrMemoryDataState::Op::Clear) pObserved->ClearValue(w.nAttrId, w.nIndex, w.nScope, 0);
          else if (w.kind == CVyrMemoryDataState::Kind::Int) pObserved->SetIntValue(w.nAttrId, w.nValue, w.nIndex, w.nScope, 0);
          else if (w.kind == CVyrMemoryDataState::Kind::Real) pObserved->SetRealValue(w.nAttrId, w.dValue, w.nIndex, w.nScope, 0);
          else pObserved->SetTextValue(w.nAttrId, w.strValue.c_str(), w.nIndex, w.nScope, 0);
        };
        ds->SetWriteObserver(replay);
        if (mode == Recording::RunObserved && ds == &runs) {
          ds->SetRunObserver([replay](const CVyrMemoryDataState::RunWrites& w) {
            for (int k = 0; k < w.nCount; ++k)
              for (int r = 0; r < w.nRuns; ++r) replay(CVyrMemoryDataState::RunWrite(w, r, k));
          });
        }
      }
    }
    for (int i = 0; i < 400; ++i) {
      // Now and then an element holds a text first.
      if (i % 7 == 0) {
        runs.SetTextValue(1, "text", 4, 0, 0);
        singles.SetTextValue(1, "text", 4, 0, 0);
      }
      const RunCase c = RandomCase(rng);
      runs.SetValueRuns(c.runs.data(), static_cast<int>(c.runs.size()), c.nFirst, c.nCount, c.nScope, 0);
      ApplyOneByOne(singles, c);
      ASSERT_EQ(runs.GetWriteCount(), singles.GetWriteCount()) << i;
      for (int attr = 1; attr <= 2; ++attr) {
        std::vector<VyrRetVal> read(static_cast<size_t>(c.nCount));
        runs.GetValueRun(attr, c.nFirst, c.nCount, c.nScope, read.data());
        for (int k = 0; k < c.nCount; ++k) {
          ExpectSameValue(read[k], singles.GetValue(attr, c.nFirst + k, c.nScope), "run read");
          ExpectSameValue(runs.GetValue(attr, c.nFirst + k, c.nScope), singles.GetValue(attr, c.nFirst + k, c.nScope),
                          "single read");
        }
      }
    }
    const CVyrMemoryDataState& listRuns = bObserved ? observedRuns : runs;
    const CVyrMemoryDataState& listSingles = bObserved ? observedSingles : singles;
    ASSERT_EQ(listRuns.GetWrites().size(), listSingles.GetWrites().size());
    EXPECT_EQ(listRuns.GetWrites().empty(), mode == Recording::None);
    if (mode == Recording::OnlyAttr2) {
      for (const auto& w : runs.GetWrites()) EXPECT_EQ(w.nAttrId, 2);
    }
    for (size_t w = 0; w < listRuns.GetWrites().size(); ++w) {
      const auto& a = listRuns.GetWrites()[w];
      const auto& b = listSingles.GetWrites()[w];
      EXPECT_TRUE(a.nAttrId == b.nAttrId && a.nIndex == b.nIndex && a.nScope == b.nScope && a.op == b.op &&
                  a.kind == b.kind && a.nValue == b.nValue && a.strValue == b.strValue &&
                  (a.dValue == b.dValue || (std::isnan(a.dValue) && std::isnan(b.dValue))))
          << "write " << w;
    }
  }
}
}  // namespace
