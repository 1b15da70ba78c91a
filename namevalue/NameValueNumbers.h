// Decimal readings of payload texts, as the 32-bit C run-time reads them:
// leading white space skipped, the leading part read, 0 when nothing is
// readable, nothing reported.
//
// Logs hold millions of plain decimals such as -85.5, so each reading first
// tries a fast path that takes only that plain form (an optional minus,
// digits, an optional point and digits) where its result is provably the
// run-time's, and otherwise falls back to the run-time routine itself.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

// strtol, base 10, 32-bit long: out of range gives -2147483648 or 2147483647.
std::int32_t NameValueReadLong(const char* psz);

// strtoul, base 10, 32-bit unsigned long: a leading minus wraps in 32 bits
// ("-5" gives 4294967291); a magnitude beyond 32 bits gives 4294967295.
std::uint32_t NameValueReadULong(const char* psz);

// strtod.
double NameValueReadDouble(const char* psz);

// atoi: strtol base 10 cut to int, as this run-time's atoi reads.
int NameValueReadInt(const char* psz);

// The same readings of a text that need not end in NUL: what the routine
// above reads from a NUL-terminated copy of the text.
std::int32_t NameValueReadLong(std::string_view text);
std::uint32_t NameValueReadULong(std::string_view text);
double NameValueReadDouble(std::string_view text);

// A short plain decimal (-85.5, -109.9) read eight bytes at a time: an
// optional minus, digits with at most one point among them, then chStop
// (not a digit, point or minus), all within the first eight bytes of
// [p, end). Returns where it ends, with d set as NameValueReadPlainDecimal
// sets it; null for any other text. One load and a few masks replace a
// branch per digit, whose mispredictions at the end of each number cost more
// than the reading, for values whose starts are known beforehand (the fields
// of a payload). Along a list, where each element starts after the one
// before, the masks would wait for each other; there the byte-wise reading,
// which the processor runs ahead of on predicted branches, is faster.
inline const char* NameValueReadShortDecimal(const char* p, const char* end, char chStop, double& d) {
  static constexpr double kExactPow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7};
  if constexpr (std::endian::native != std::endian::little) return nullptr;
  if (end - p < 8) return nullptr;
  std::uint64_t x;
  std::memcpy(&x, p, sizeof x);
  const bool bNegative = (x & 0xFF) == '-';
  const unsigned nSign = bNegative ? 1 : 0;
  x >>= 8 * nSign;  // the byte shifted in reads as a NUL, no digit
  const std::uint64_t t = x ^ 0x3030303030303030ULL;  // digits become 0 to 9
  // 0x80 in each byte of x that is not a digit.
  const std::uint64_t marks = (((t & 0x7F7F7F7F7F7F7F7FULL) + 0x7676767676767676ULL) | t) & 0x8080808080808080ULL;
  if (marks == 0) return nullptr;
  const unsigned i1 = static_cast<unsigned>(std::countr_zero(marks)) >> 3;  // first byte that is no digit
  unsigned iStop = i1;
  unsigned nFraction = 0;
  if (((x >> (8 * i1)) & 0xFF) == '.') {
    if (i1 >= 6) return nullptr;
    const std::uint64_t after = marks & (~std::uint64_t{0} << (8 * i1 + 8));
    if (after == 0) return nullptr;
    iStop = static_cast<unsigned>(std::countr_zero(after)) >> 3;
    nFraction = iStop - i1 - 1;
  }
  const unsigned nDigits = i1 + nFraction;
  // The stop must be a byte of the text, not the one shifted in.
  if (nDigits == 0 || nSign + iStop >= 8 || static_cast<char>(x >> (8 * iStop)) != chStop) return nullptr;
  // The digits without the point, the first one in the lowest byte, moved to
  // the top of the word: leading zeros below them.
  const std::uint64_t below = (std::uint64_t{1} << (8 * i1)) - 1;
  std::uint64_t w = ((t & below) | ((t >> 8) & ~below)) << (8 * (8 - nDigits));
  w = w * 10 + (w >> 8);  // pairs of digits
  w = (((w & 0x000000FF000000FFULL) * (100 + (1000000ULL << 32))) +
       (((w >> 16) & 0x000000FF000000FFULL) * (1 + (10000ULL << 32)))) >> 32;
  const double v = nFraction == 0 ? static_cast<double>(w) : static_cast<double>(w) / kExactPow10[nFraction];
  d = bNegative ? -v : v;
  return p + nSign + iStop;
}

// A plain decimal at the start of [p, end) that ends at end or at chStop: an
// optional minus, then at most 19 digits with at most one point among them.
// Returns where it ends, with d set to what strtod reads from it (the digits w
// and the f digits after the point give w / 10^f, one correctly rounded
// division of exact doubles when w <= 2^53); null for any other text, which
// the caller reads with NameValueReadDouble. Inline: lists of levels hold
// thousands of these.
inline const char* NameValueReadPlainDecimal(const char* p, const char* end, char chStop, double& d) {
  static constexpr double kExactPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,
                                           1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19};
  auto isDigit = [](char ch) { return static_cast<unsigned char>(ch - '0') < 10; };
  const bool bNegative = p != end && *p == '-';
  if (bNegative) ++p;
  std::uint64_t w = 0;
  const char* q = p;
  for (; q != end && isDigit(*q); ++q) w = w * 10 + static_cast<unsigned>(*q - '0');
  long nDigits = q - p;
  long nFraction = 0;
  if (q != end && *q == '.') {
    const char* pFraction = ++q;
    for (; q != end && isDigit(*q); ++q) w = w * 10 + static_cast<unsigned>(*q - '0');
    nFraction = q - pFraction;
    nDigits += nFraction;
  }
  // More than 19 digits may have wrapped w: those texts are refused too.
  if (nDigits == 0 || nDigits > 19 || w > (std::uint64_t{1} << 53)) return nullptr;
  if (q != end && *q != chStop) return nullptr;
  const double v = nFraction == 0 ? static_cast<double>(w) : static_cast<double>(w) / kExactPow10[nFraction];
  d = bNegative ? -v : v;
  return q;
}

// NameValueReadDouble of a text that lies in a longer buffer, readable up to
// pReadable (a value inside its payload): a short plain decimal that ends
// just where the text ends is read eight bytes at a time.
inline double NameValueReadDoubleWithin(std::string_view text, const char* pReadable) {
  const char* const end = text.data() + text.size();
  double d;
  if (end < pReadable && NameValueReadShortDecimal(text.data(), pReadable, *end, d) == end) return d;
  return NameValueReadDouble(text);
}
