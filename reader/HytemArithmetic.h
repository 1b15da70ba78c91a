// Saturating 64-bit arithmetic for times read from logs: a garbled time text
// (a seconds field of 1e300, a delay of 10^18 ms) must give an absurd but
// defined time, never an overflow.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace hytem {

constexpr std::int64_t kInt64Max = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kInt64Min = std::numeric_limits<std::int64_t>::min();

// Truncates toward zero; NaN gives 0, values beyond the range its nearest end.
inline std::int64_t TruncToInt64(double d) {
  if (std::isnan(d)) return 0;
  if (d >= 9223372036854775808.0) return kInt64Max;  // 2^63
  if (d < -9223372036854775808.0) return kInt64Min;
  return static_cast<std::int64_t>(d);
}

inline std::int64_t SaturatingAdd(std::int64_t a, std::int64_t b) {
  std::int64_t sum;
  if (__builtin_add_overflow(a, b, &sum)) return b > 0 ? kInt64Max : kInt64Min;
  return sum;
}

}  // namespace hytem
