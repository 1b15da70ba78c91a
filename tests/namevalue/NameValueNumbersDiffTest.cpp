// The fast readings against the C run-time's own routines, text by text:
// plain decimals of every shape, round trips of random doubles, the forms
// that only the run-time reads (white space, signs, hexadecimal, infinities,
// NaNs, exponents, out-of-range values) and random junk. Every result must be
// the run-time's, bit for bit.
#include <gtest/gtest.h>

#include <bit>
#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "NameValueNumbers.h"

namespace {
// strtol with a 32-bit long: the 64-bit reading clamped to 32 bits.
std::int32_t ReferenceLong(const char* psz) {
  const long long v = std::strtoll(psz, nullptr, 10);
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<std::int32_t>(v);
}

// strtoul with a 32-bit unsigned long: a magnitude beyond 32 bits gives the
// limit whatever the sign; a minus wraps the magnitude in 32 bits.
std::uint32_t ReferenceULong(const char* psz) {
  errno = 0;
  char* end = nullptr;
  const unsigned long long v = std::strtoull(psz, &end, 10);
  if (end == psz) return 0;
  if (errno == ERANGE) return UINT32_MAX;
  const char* p = psz;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  const bool bNegative = *p == '-';
  const unsigned long long magnitude = bNegative ? 0ULL - v : v;
  if (magnitude > UINT32_MAX) return UINT32_MAX;
  const auto m = static_cast<std::uint32_t>(magnitude);
  return bNegative ? 0u - m : m;
}

std::uint64_t Bits(double d) { return std::bit_cast<std::uint64_t>(d); }

// Every reading of one text, as a NUL-terminated string and as a view with
// other characters after its end, against the run-time.
void ExpectSameReadings(const std::string& text, int& nFailures) {
  const char* psz = text.c_str();
  const std::string padded = text + "5e3x";  // a view must not read past its end
  const std::string_view view(padded.data(), text.size());
  // A value in its payload, read in words up to the payload's end.
  const std::string payload = text + ";-80.5;";
  const std::string_view value(payload.data(), text.size());
  const double dRef = std::strtod(psz, nullptr);
  const bool ok = Bits(NameValueReadDouble(psz)) == Bits(dRef) && Bits(NameValueReadDouble(view)) == Bits(dRef) &&
                  Bits(NameValueReadDoubleWithin(view, padded.data() + padded.size() + 1)) == Bits(dRef) &&
                  Bits(NameValueReadDoubleWithin(value, payload.data() + payload.size() + 1)) == Bits(dRef) &&
                  NameValueReadLong(psz) == ReferenceLong(psz) && NameValueReadLong(view) == ReferenceLong(psz) &&
                  NameValueReadULong(psz) == ReferenceULong(psz) && NameValueReadULong(view) == ReferenceULong(psz) &&
                  NameValueReadInt(psz) == std::atoi(psz);
  // The in-line reading of a list element: where it accepts the text, the
  // element runs to the end or to the first ",", and reads as strtod reads it.
  bool okList = true;
  double dList = 0;
  if (const char* stop = NameValueReadPlainDecimal(text.data(), text.data() + text.size(), ',', dList)) {
    const std::string element = text.substr(0, text.find(','));
    okList = stop == text.data() + element.size() && Bits(dList) == Bits(std::strtod(element.c_str(), nullptr));
  }
  if (!okList && ++nFailures <= 20) ADD_FAILURE() << "list element \"" << text << "\": " << dList;
  if (!ok && ++nFailures <= 20) {
    ADD_FAILURE() << "text \"" << text << "\": double " << NameValueReadDouble(psz) << " / "
                  << NameValueReadDouble(view) << " vs " << dRef << ", long " << NameValueReadLong(psz) << " vs "
                  << ReferenceLong(psz) << ", ulong " << NameValueReadULong(psz) << " vs " << ReferenceULong(psz)
                  << ", int " << NameValueReadInt(psz) << " vs " << std::atoi(psz);
  }
}

void ExpectAllSame(const std::vector<std::string>& texts) {
  int nFailures = 0;
  for (const std::string& t : texts) ExpectSameReadings(t, nFailures);
  EXPECT_EQ(nFailures, 0) << "of " << texts.size() << " texts";
}

std::string Digits(std::mt19937_64& rng, int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += static_cast<char>('0' + rng() % 10);
  return s;
}

TEST(NameValueNumbersDiff, PlainDecimalsOfEveryShape) {
  std::mt19937_64 rng(20240611);
  std::vector<std::string> texts;
  for (int i = 0; i < 200000; ++i) {
    std::string t;
    if (rng() % 3 == 0) t += '-';
    const int nInt = static_cast<int>(rng() % 12);
    const int nFrac = static_cast<int>(rng() % 4 == 0 ? rng() % 26 : rng() % 5);
    t += Digits(rng, nInt);
    if (rng() % 4 != 0) t += '.' + Digits(rng, nFrac);
    const char* tails[] = {"", "", "", ",-80.5", ";", "^", "\t", " dBm", "e", "E5", "x", "e-2", ".5"};
    t += tails[rng() % std::size(tails)];
    texts.push_back(t);
  }
  ExpectAllSame(texts);
}

TEST(NameValueNumbersDiff, RoundTripsOfRandomDoubles) {
  std::mt19937_64 rng(7);
  std::vector<std::string> texts;
  char buf[512];
  for (int i = 0; i < 60000; ++i) {
    const double d = std::bit_cast<double>(rng());
    const double level = -150.0 + static_cast<double>(rng() % 2000000) / 10000.0;
    std::snprintf(buf, sizeof buf, "%.17g", d);
    texts.emplace_back(buf);
    std::snprintf(buf, sizeof buf, "%.*f", static_cast<int>(rng() % 21), level);
    texts.emplace_back(buf);
    std::snprintf(buf, sizeof buf, "%.*f", static_cast<int>(rng() % 25), d / std::ldexp(1.0, 900));
    texts.emplace_back(buf);
    std::snprintf(buf, sizeof buf, "%.15e", level);
    texts.emplace_back(buf);
  }
  ExpectAllSame(texts);
}

TEST(NameValueNumbersDiff, FormsOnlyTheRunTimeReads) {
  std::vector<std::string> texts = {
      "", "+5", " -3", "\t7", "\v-7.5", "\f8", "\r9", "\n10", "  +.5e-2x", "+", "-", ".", "-.", "+.", "..5",
      "0x1A", "-0x1p3", "0X.8p1", "0x", "-0x", "0xg", "0x1.8", "1x", "10x", "0b101", "inf", "-INF", "+Inf",
      "infinity", "infinit", "nan", "-nan", "NaN(12)", "nan(", "1e400", "-1e400", "1e-400", "4.9e-324",
      "2.4703282292062327e-324", "2.2250738585072011e-308", "1.7976931348623157e308", "1.7976931348623159e308",
      "-0", "-0.0", "0", "0.", "00012.50", "-00.000", "12.7abc", "1.", ".5", "-.5", "e5", "1e", "1e+", "1e-",
      "1e-5", "1E5", "1_0", "1,5", "1;5", "1^5", "1 5", "- 5", "--5", "+-5", "-+5", "2147483647", "2147483648",
      "-2147483648", "-2147483649", "4294967295", "4294967296", "-4294967295", "-4294967296", "999999999",
      "-999999999", "1000000000", "-1000000000", "99999999999", "9999999999999999999", "18446744073709551615",
      "18446744073709551616", "-18446744073709551616", "123456789012345678901234567890",
      "0.1000000000000000055511151231257827", "9007199254740992", "9007199254740993", "9007199254740993.0",
      "900719925474099.3", "-9007199254740993.5", "0.0000000000000000000001", "0.00000000000000000000001",
      "1234567890123456789", "12345678901234567890", "1234567890.123456789", "0.0625", "-75.0625", "2.5",
      "-2.5", "17976931348623157e292", "-140", "-140.00000000000001", "-139.99999999999999",
      std::string("12\0" "34", 5), std::string("\0" "5", 2), std::string(300, '9'), "0." + std::string(300, '0') + "1",
      std::string(80, ' ') + "-61.25", "\xff" "5", "5\xff",
  };
  ExpectAllSame(texts);
}

TEST(NameValueNumbersDiff, EmptyViewsReadAsNothing) {
  EXPECT_EQ(Bits(NameValueReadDouble(std::string_view())), Bits(0.0));
  EXPECT_EQ(NameValueReadLong(std::string_view()), 0);
  double d = 1.0;
  EXPECT_EQ(NameValueReadPlainDecimal(nullptr, nullptr, ',', d), nullptr);
  EXPECT_EQ(d, 1.0);
}

TEST(NameValueNumbersDiff, RandomJunk) {
  std::mt19937_64 rng(99);
  const std::string alphabet = "0123456789012345678901234567890123456789+-.eExXpPinfaINFANy \t\v\f\r,;^";
  std::vector<std::string> texts;
  for (int i = 0; i < 200000; ++i) {
    std::string t;
    const int n = static_cast<int>(rng() % 24);
    for (int k = 0; k < n; ++k) t += alphabet[rng() % alphabet.size()];
    texts.push_back(t);
  }
  ExpectAllSame(texts);
}
// The eight-byte reading of short values: it must take the forms of levels,
// and whatever it takes must read as strtod reads the text up to chStop.
TEST(NameValueNumbersDiff, ShortDecimalsReadEightBytesAtATime) {
  for (const char* level : {"-85.5", "-109.9", "0", "-0", "5.", "-.5", "1234567", "-123456", "12345.6", "-0.0625"}) {
    const std::string text = std::string(level) + ",-80.5,-90.0";
    double d = 0;
    const char* stop = NameValueReadShortDecimal(text.data(), text.data() + text.size(), ',', d);
    ASSERT_NE(stop, nullptr) << level;
    EXPECT_EQ(stop, text.data() + std::strlen(level)) << level;
    EXPECT_EQ(Bits(d), Bits(std::strtod(level, nullptr))) << level;
  }
  std::mt19937_64 rng(5);
  const std::string alphabet = "0123456789012345678901234567890123456789--..,,;e\t";
  int nFailures = 0;
  for (int i = 0; i < 300000 && nFailures < 10; ++i) {
    std::string text;
    for (int k = 8 + static_cast<int>(rng() % 4); k > 0; --k) text += alphabet[rng() % alphabet.size()];
    double d = 0;
    const char* stop = NameValueReadShortDecimal(text.data(), text.data() + text.size(), ',', d);
    if (!stop) continue;
    const std::string element = text.substr(0, text.find(','));
    if (stop != text.data() + element.size() || Bits(d) != Bits(std::strtod(element.c_str(), nullptr))) {
      ++nFailures;
      ADD_FAILURE() << "text \"" << text << "\": " << d;
    }
  }
}
}  // namespace
