// Decimal readings of payload texts, as the 32-bit C run-time reads them:
// leading white space skipped, the leading part read, 0 when nothing is
// readable, nothing reported.
#pragma once

#include <cstdint>

// strtol, base 10, 32-bit long: out of range gives -2147483648 or 2147483647.
std::int32_t NameValueReadLong(const char* psz);

// strtoul, base 10, 32-bit unsigned long: a leading minus wraps in 32 bits
// ("-5" gives 4294967291); a magnitude beyond 32 bits gives 4294967295.
std::uint32_t NameValueReadULong(const char* psz);

// strtod.
double NameValueReadDouble(const char* psz);
