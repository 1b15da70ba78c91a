// Decimal readings as the 32-bit run-time reads them.
#include <gtest/gtest.h>

#include <cstdint>

#include "NameValueNumbers.h"

namespace {
TEST(NameValueReadLong, ReadsTheLeadingPartAndClampsTo32Bits) {
  struct Case {
    const char* text;
    std::int32_t expected;
  };
  const Case cases[] = {
      {"42", 42},
      {"  \t-17xyz", -17},
      {"+8", 8},
      {"12.7", 12},
      {"abc", 0},
      {"", 0},
      {"- 5", 0},
      {"2147483647", 2147483647},
      {"2147483648", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"-2147483649", -2147483647 - 1},
      {"99999999999999999999999", 2147483647},
      {"-99999999999999999999999", -2147483647 - 1},
  };
  for (const Case& c : cases) EXPECT_EQ(NameValueReadLong(c.text), c.expected) << '"' << c.text << '"';
  EXPECT_EQ(NameValueReadLong(nullptr), 0);
}

TEST(NameValueReadULong, WrapsAMinusAndSaturatesBeyond32Bits) {
  struct Case {
    const char* text;
    std::uint32_t expected;
  };
  const Case cases[] = {
      {"42", 42u},
      {" 7x", 7u},
      {"+9", 9u},
      {"-5", 4294967291u},
      {"-0", 0u},
      {"-4294967295", 1u},
      {"4294967295", 4294967295u},
      {"4294967296", 4294967295u},
      {"-4294967296", 4294967295u},
      {"99999999999999999999999", 4294967295u},
      {"12.9", 12u},
      {"abc", 0u},
      {"- 5", 0u},
      {"--5", 0u},
      {"", 0u},
  };
  for (const Case& c : cases) EXPECT_EQ(NameValueReadULong(c.text), c.expected) << '"' << c.text << '"';
  EXPECT_EQ(NameValueReadULong(nullptr), 0u);
}

TEST(NameValueReadDouble, ReadsTheLeadingPart) {
  struct Case {
    const char* text;
    double expected;
  };
  const Case cases[] = {
      {"145.500", 145.5}, {" -95.5dBm", -95.5}, {"1e3", 1000.0}, {"abc", 0.0}, {"", 0.0}, {"7,8", 7.0},
  };
  for (const Case& c : cases) EXPECT_EQ(NameValueReadDouble(c.text), c.expected) << '"' << c.text << '"';
  EXPECT_EQ(NameValueReadDouble(nullptr), 0.0);
}
}  // namespace
