// The in-memory data state and the value records it answers with.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include <sys/resource.h>

#include "MemoryDataState.h"
#include "VyrRetVal.h"

namespace {
constexpr int kFreqAttr = 102;
constexpr int kLevelAttr = 105;
constexpr int kTextAttr = 103;
constexpr int kPlan = kVyrScopeFrequencyPlan;
constexpr int kMsg = kVyrScopeMessage;

bool HasValue(const IVyrDataState& ds, int attr, int index, int scope) {
  return ds.GetValue(attr, index, scope).m_nStatus == VYR_RV_STATUS_OK;
}

TEST(MemoryDataState, ValuesReadBackByAttributeIndexAndScope) {
  CVyrMemoryDataState ds;
  ds.SetRealValue(kFreqAttr, 145500000.0, 3, kPlan, 0);
  ds.SetIntValue(kLevelAttr, -80, 0, kMsg, 0);
  ds.SetTextValue(kTextAttr, "145.500 MHz", 7, kMsg, 0);

  VyrRetVal real = ds.GetValue(kFreqAttr, 3, kPlan), integer = ds.GetValueAlt(kLevelAttr, 0, kMsg),
            text = ds.GetValue(kTextAttr, 7, kMsg);
  EXPECT_EQ(real.m_nStatus + integer.m_nStatus + text.m_nStatus, VYR_RV_STATUS_OK);
  EXPECT_EQ(real.m_nType, VYR_RV_DOUBLE);
  EXPECT_EQ(real.m_value.d, 145500000.0);
  EXPECT_EQ(integer.m_nType, VYR_RV_INT32);
  EXPECT_EQ(integer.m_value.i32, -80);
  ASSERT_EQ(text.m_nType, VYR_RV_TEXT);
  EXPECT_STREQ(text.m_value.psz, "145.500 MHz");

  // A later write replaces the value, whatever its kind.
  ds.SetTextValue(kFreqAttr, "text", 3, kPlan, 0);
  EXPECT_STREQ(ds.GetValue(kFreqAttr, 3, kPlan).m_value.psz, "text");
  ds.SetIntValue(kFreqAttr, 12, 3, kPlan, 0);
  EXPECT_EQ(ds.GetValue(kFreqAttr, 3, kPlan).m_value.i32, 12);
}

TEST(MemoryDataState, ReadsOfEmptyElementsAnswerNoValue) {
  CVyrMemoryDataState ds;
  ds.SetRealValue(kFreqAttr, 1.0, 5, kPlan, 0);
  const struct {
    const char* what;
    int attr, index, scope;
  } cases[] = {
      {"other scope", kFreqAttr, 5, kMsg}, {"below the written index", kFreqAttr, 4, kPlan},
      {"above the written index", kFreqAttr, 6, kPlan}, {"negative index", kFreqAttr, -1, kPlan},
      {"most negative index", kFreqAttr, INT_MIN, kPlan}, {"huge index", kFreqAttr, 2000000000, kPlan},
      {"never-written attribute", 999, 5, kPlan}, {"attribute 0", 0, 0, kPlan},
  };
  for (const auto& c : cases) EXPECT_FALSE(HasValue(ds, c.attr, c.index, c.scope)) << c.what;
  EXPECT_TRUE(HasValue(ds, kFreqAttr, 5, kPlan));
}

TEST(MemoryDataState, ClearValueAndClear) {
  CVyrMemoryDataState ds;
  ds.SetTextValue(kTextAttr, "x", 1, kMsg, 0);
  ds.SetIntValue(kLevelAttr, 4, 1, kMsg, 0);
  ds.ClearValue(kTextAttr, 1, kMsg, 0);
  ds.ClearValue(kTextAttr, 50, kPlan, 0);  // never written: nothing to clear
  EXPECT_FALSE(HasValue(ds, kTextAttr, 1, kMsg));
  EXPECT_TRUE(HasValue(ds, kLevelAttr, 1, kMsg));
  ds.SetTextValue(kTextAttr, "y", 1, kMsg, 0);
  EXPECT_STREQ(ds.GetValue(kTextAttr, 1, kMsg).m_value.psz, "y");
  EXPECT_EQ(ds.GetWriteCount(), 5u);

  ds.Clear();
  EXPECT_FALSE(HasValue(ds, kTextAttr, 1, kMsg));
  EXPECT_FALSE(HasValue(ds, kLevelAttr, 1, kMsg));
  EXPECT_EQ(ds.GetWriteCount(), 0u);
}

std::string Describe(const CVyrMemoryDataState::Write& w) {
  using Kind = CVyrMemoryDataState::Kind;
  std::string s = (w.op == CVyrMemoryDataState::Op::Clear ? "clear " : "set ") + std::to_string(w.nAttrId) + "[" +
                  std::to_string(w.nIndex) + "]@" + std::to_string(w.nScope);
  if (w.kind == Kind::Real) s += " real " + std::to_string(w.dValue);
  if (w.kind == Kind::Int) s += " int " + std::to_string(w.nValue);
  if (w.kind == Kind::Text) s += " text " + w.strValue;
  return s;
}

// An observer sees the same writes as the record, as they happen.
TEST(MemoryDataState, RecordsWritesInOrder) {
  CVyrMemoryDataState ds;
  ds.SetIntValue(kLevelAttr, 9, 0, kMsg, 0);  // before recording: counted, not kept
  ds.SetRecordWrites(true);
  std::vector<std::string> observed;
  ds.SetWriteObserver([&](const CVyrMemoryDataState::Write& w) { observed.push_back(Describe(w)); });
  ds.SetRealValue(kFreqAttr, 2.5, 1, kPlan, 0);
  ds.SetTextValue(kTextAttr, "t", 2, kMsg, 0);
  ds.ClearValue(kFreqAttr, 1, kPlan, 0);
  ds.SetIntValue(kLevelAttr, -3, 4, kMsg, 0);
  std::vector<std::string> writes;
  for (const auto& w : ds.GetWrites()) writes.push_back(Describe(w));
  EXPECT_EQ(writes, (std::vector<std::string>{"set 102[1]@0 real 2.500000", "set 103[2]@2147483647 text t",
                                              "clear 102[1]@0", "set 105[4]@2147483647 int -3"}));
  EXPECT_EQ(observed, writes);
  EXPECT_EQ(ds.GetWriteCount(), 5u);
  ds.ClearWrites();
  EXPECT_TRUE(ds.GetWrites().empty());
}

long PeakResidentKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// A stray index must not make the store allocate an array of that size.
TEST(MemoryDataState, HugeIndexesCostOneEntry) {
  CVyrMemoryDataState ds;
  long before = PeakResidentKb();
  ds.SetIntValue(kLevelAttr, 1, 2000000000, kMsg, 0);
  ds.SetIntValue(kLevelAttr, 2, INT_MAX, kMsg, 0);
  ds.SetIntValue(kLevelAttr, 3, -7, kMsg, 0);
  EXPECT_LT(PeakResidentKb() - before, 64 * 1024);
  EXPECT_EQ(ds.GetValue(kLevelAttr, 2000000000, kMsg).m_value.i32, 1);
  EXPECT_EQ(ds.GetValue(kLevelAttr, INT_MAX, kMsg).m_value.i32, 2);
  EXPECT_EQ(ds.GetValue(kLevelAttr, -7, kMsg).m_value.i32, 3);
  EXPECT_FALSE(HasValue(ds, kLevelAttr, 1999999999, kMsg));
  EXPECT_FALSE(HasValue(ds, kLevelAttr, 0, kMsg));
}

TEST(VyrRetValCopy, TextsAreCopiedNotShared) {
  VyrRetVal a = VyrRetVal::Text("-80.5");
  VyrRetVal b(a);
  ASSERT_NE(a.m_value.psz, b.m_value.psz);
  EXPECT_STREQ(b.m_value.psz, "-80.5");
  EXPECT_EQ(b.m_nStatus, VYR_RV_STATUS_OK);

  VyrRetVal c = VyrRetVal::Text("old");
  c = a;  // text over text
  EXPECT_STREQ(c.m_value.psz, "-80.5");
  c = VyrRetVal::Real(1.5);  // a number over a text
  EXPECT_EQ(c.m_nType, VYR_RV_DOUBLE);
  EXPECT_EQ(c.m_value.d, 1.5);
  c = b;  // a text over a number
  EXPECT_STREQ(c.m_value.psz, "-80.5");
  const VyrRetVal& self = c;
  c = self;
  EXPECT_STREQ(c.m_value.psz, "-80.5");

  std::vector<VyrRetVal> many(3, a);
  many.push_back(VyrRetVal::Text(""));
  EXPECT_STREQ(many[2].m_value.psz, "-80.5");
  EXPECT_STREQ(many[3].m_value.psz, "");
  VyrRetVal none(VyrRetVal::NoValue());
  c = none;
  EXPECT_NE(c.m_nStatus, VYR_RV_STATUS_OK);
}
}  // namespace
