// Fixed-point texts against printf's "%.Nf", byte for byte: the products that
// decoding writes (hertz * 1e-6, thousandths * 0.001), exact ties, signed
// zeros, tiny and huge values, and random doubles of every magnitude.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <vector>

#include "NameValueFixed.h"

namespace {
std::string Printf(double d, int nDecimals) {
  char buf[512];
  std::snprintf(buf, sizeof buf, "%.*f", nDecimals, d);
  return buf;
}

void ExpectAllLikePrintf(const std::vector<double>& values, std::initializer_list<int> decimals) {
  int nFailures = 0;
  for (double d : values) {
    for (int n : decimals) {
      CString text("x");  // appends after what is there
      NameValueAppendFixed(text, d, n);
      const std::string expected = "x" + Printf(d, n);
      if (text.str() != expected && ++nFailures <= 20)
        ADD_FAILURE() << "%." << n << "f of " << std::hexfloat << d << ": " << text.str() << " vs " << expected;
    }
  }
  EXPECT_EQ(nFailures, 0) << "of " << values.size() << " values";
}

TEST(NameValueAppendFixed, WritesWhatPrintfWritesForDecodedProducts) {
  std::mt19937_64 rng(11);
  std::vector<double> values;
  for (int i = 0; i < 100000; ++i) {
    values.push_back(static_cast<double>(rng() % 6000000000ULL) * 0.000001);   // hertz to MHz
    values.push_back(static_cast<double>(static_cast<std::int64_t>(rng() % 400000) - 200000) * 0.001);  // dB
    values.push_back(static_cast<double>(rng() % 2000000) / 10000.0 - 150.0);
  }
  ExpectAllLikePrintf(values, {3, 6});
}

TEST(NameValueAppendFixed, RoundsExactTiesToEvenAndKeepsTheSign) {
  std::vector<double> values = {0.0,    -0.0,   0.5,     1.5,     2.5,    -2.5,   0.0625, -0.0625, 1.0625,
                                0.1875, 0.0005, -0.0005, 0.00049, 1e-7,   -1e-7,  -1e-300, 5e-324, -5e-324,
                                999.9995, 999.9994999, 0.125,  0.375,  -75.0625, 1e15,  123456789.0000005};
  for (int k = -2000; k <= 2000; ++k) values.push_back(k / 16.0);
  for (int k = -2000; k <= 2000; ++k) values.push_back(k / 2048.0);
  ExpectAllLikePrintf(values, {0, 1, 2, 3, 4, 6, 9});
}

TEST(NameValueAppendFixed, FallsBackForWhatItDoesNotWriteItself) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::vector<double> values = {inf, -inf, nan, -nan, 1e19, 1.8446744073709552e19, 1e300, -1e300,
                                std::numeric_limits<double>::max(), 9007199254740993.0 * 1024};
  ExpectAllLikePrintf(values, {0, 3, 6, 9, 12, 20});
}

TEST(NameValueAppendFixed, RandomDoublesOfEveryMagnitude) {
  std::mt19937_64 rng(5);
  std::vector<double> values;
  while (values.size() < 200000) {
    // Exponents from 2^-80 to 2^70 cover every path: tiny, fractional, huge.
    const std::uint64_t bits = (rng() & 0x800FFFFFFFFFFFFFULL) | ((943 + rng() % 150) << 52);
    values.push_back(std::bit_cast<double>(bits));
  }
  ExpectAllLikePrintf(values, {0, 3, 6, 9});
}

TEST(NameValueAppendFixed, HugeIntegersOfEveryMagnitude) {
  std::mt19937_64 rng(8);
  std::vector<double> values = {9007199254740992.0, 9007199254740994.0, 1e300, -1e308,
                                std::numeric_limits<double>::max(), -std::numeric_limits<double>::max()};
  while (values.size() < 20000) {
    // Exponents from 2^53 to 2^1023: integers with up to 309 digits.
    const std::uint64_t bits = (rng() & 0x800FFFFFFFFFFFFFULL) | ((1076 + rng() % 971) << 52);
    values.push_back(std::bit_cast<double>(bits));
  }
  ExpectAllLikePrintf(values, {0, 3, 6});
}
}  // namespace
