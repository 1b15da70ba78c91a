#include "HytemValueReading.h"

#include <cmath>
#include <limits>

namespace {
template <class Int>
Int TruncSaturating(double d) {
  if (std::isnan(d)) return 0;
  // The limits as doubles: max() + 1 = -min() is a power of two and exact.
  constexpr double kAboveMax = -static_cast<double>(std::numeric_limits<Int>::min());
  constexpr double kMin = static_cast<double>(std::numeric_limits<Int>::min());
  if (d >= kAboveMax) return std::numeric_limits<Int>::max();
  if (d <= kMin) return std::numeric_limits<Int>::min();
  return static_cast<Int>(d);  // truncates toward zero
}
}  // namespace

std::int64_t HytemRetValInt64(const VyrRetVal& v) {
  if (v.m_nStatus != VYR_RV_STATUS_OK) return 0;
  switch (v.m_nType) {
    case VYR_RV_INT64: return v.m_value.i64;
    case VYR_RV_UINT64:
      return v.m_value.u64 > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())
                 ? std::numeric_limits<std::int64_t>::max()
                 : static_cast<std::int64_t>(v.m_value.u64);
    default: return HytemTruncToInt64(HytemRetValNumber(v));
  }
}

std::int64_t HytemTruncToInt64(double d) { return TruncSaturating<std::int64_t>(d); }
std::int32_t HytemTruncToInt32(double d) { return TruncSaturating<std::int32_t>(d); }

std::int32_t HytemClampToInt32(std::int64_t n) {
  if (n > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (n < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(n);
}
