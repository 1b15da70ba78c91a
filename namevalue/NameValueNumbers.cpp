#include "NameValueNumbers.h"

#include <cctype>
#include <cstdlib>
#include <limits>

namespace {
bool IsSpace(char ch) { return std::isspace(static_cast<unsigned char>(ch)) != 0; }
bool IsDigit(char ch) { return std::isdigit(static_cast<unsigned char>(ch)) != 0; }
}  // namespace

std::int32_t NameValueReadLong(const char* psz) {
  if (!psz) return 0;
  // long long holds every 32-bit result and saturates beyond 64 bits, so
  // clamping it gives the 32-bit limits for every out-of-range text.
  long long v = std::strtoll(psz, nullptr, 10);
  if (v > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (v < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(v);
}

std::uint32_t NameValueReadULong(const char* psz) {
  if (!psz) return 0;
  while (IsSpace(*psz)) ++psz;
  bool bNegative = false;
  if (*psz == '+' || *psz == '-') bNegative = *psz++ == '-';
  // Digits must follow the sign at once: "- 5" and "--5" read nothing.
  if (!IsDigit(*psz)) return 0;
  unsigned long long magnitude = std::strtoull(psz, nullptr, 10);  // saturates beyond 64 bits
  if (magnitude > std::numeric_limits<std::uint32_t>::max()) return std::numeric_limits<std::uint32_t>::max();
  auto v = static_cast<std::uint32_t>(magnitude);
  return bNegative ? static_cast<std::uint32_t>(0u - v) : v;
}

double NameValueReadDouble(const char* psz) { return psz ? std::strtod(psz, nullptr) : 0.0; }
