// Numbers read back from data-state records.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "HytemValueReading.h"

namespace {
VyrRetVal Of(std::int32_t type, auto set) {
  VyrRetVal v;
  v.m_nStatus = VYR_RV_STATUS_OK;
  v.m_nType = type;
  set(v);
  return v;
}

TEST(HytemRetValNumber, EveryNumericFormIsTakenAsItsNumber) {
  struct Case {
    VyrRetVal value;
    double number;
    std::int64_t integer;
  };
  const Case cases[] = {
      {VyrRetVal::Real(-95.7), -95.7, -95},
      {VyrRetVal::Int(-80), -80, -80},
      {Of(VYR_RV_FLOAT, [](VyrRetVal& v) { v.m_value.f = 2.5f; }), 2.5, 2},
      {Of(VYR_RV_INT64, [](VyrRetVal& v) { v.m_value.i64 = 5800025000LL; }), 5800025000.0, 5800025000LL},
      {Of(VYR_RV_UINT64, [](VyrRetVal& v) { v.m_value.u64 = ~0ULL; }), 18446744073709551615.0,
       std::numeric_limits<std::int64_t>::max()},
      {Of(VYR_RV_UINT32, [](VyrRetVal& v) { v.m_value.u32 = 4000000000u; }), 4e9, 4000000000LL},
      {Of(VYR_RV_UINT16, [](VyrRetVal& v) { v.m_value.u16 = 65535; }), 65535, 65535},
      {Of(VYR_RV_INT16, [](VyrRetVal& v) { v.m_value.i16 = -2; }), -2, -2},
      {Of(VYR_RV_UINT8, [](VyrRetVal& v) { v.m_value.u8 = 200; }), 200, 200},
      {Of(VYR_RV_INT8, [](VyrRetVal& v) { v.m_value.i8 = -3; }), -3, -3},
      {Of(VYR_RV_BYTE, [](VyrRetVal& v) { v.m_value.u8 = 7; }), 7, 7},
      {VyrRetVal::Text("12"), 0, 0},
      {VyrRetVal::NoValue(), 0, 0},
      {Of(42, [](VyrRetVal& v) { v.m_value.i32 = 9; }), 0, 0},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_DOUBLE_EQ(HytemRetValNumber(cases[i].value), cases[i].number) << "case " << i;
    EXPECT_EQ(HytemRetValInt64(cases[i].value), cases[i].integer) << "case " << i;
  }
  EXPECT_TRUE(HytemRetValIsNumber(VyrRetVal::Int(1)));
  EXPECT_FALSE(HytemRetValIsNumber(VyrRetVal::Text("1")));
  EXPECT_FALSE(HytemRetValIsNumber(VyrRetVal::NoValue()));
}

TEST(HytemTrunc, TowardZeroAndSaturating) {
  EXPECT_EQ(HytemTruncToInt32(-85.7), -85);
  EXPECT_EQ(HytemTruncToInt32(85.7), 85);
  EXPECT_EQ(HytemTruncToInt32(2147483647.9), 2147483647);
  EXPECT_EQ(HytemTruncToInt32(3e9), 2147483647);
  EXPECT_EQ(HytemTruncToInt32(-3e9), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(HytemTruncToInt32(std::nan("")), 0);
  EXPECT_EQ(HytemTruncToInt64(5800025000.9), 5800025000LL);
  EXPECT_EQ(HytemTruncToInt64(1e300), std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(HytemTruncToInt64(-INFINITY), std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(HytemClampToInt32(1LL << 40), 2147483647);
  EXPECT_EQ(HytemClampToInt32(-(1LL << 40)), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(HytemClampToInt32(-5), -5);
}
}  // namespace
