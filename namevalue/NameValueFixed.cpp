#include "NameValueFixed.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

namespace {
constexpr std::uint64_t kPow10[] = {1,      10,      100,      1000,      10000,
                                    100000, 1000000, 10000000, 100000000, 1000000000};
constexpr int kMaxFastDecimals = 9;

// round(|d| * 10^n) to nearest, ties to even, computed exactly from the
// binary value of d, as printf rounds. False when it does not fit 64 bits.
bool ScaledMagnitude(double d, std::uint64_t scale, std::uint64_t& q) {
  const auto bits = std::bit_cast<std::uint64_t>(d);
  const int nBiasedExp = static_cast<int>((bits >> 52) & 0x7ff);
  std::uint64_t m = bits & ((std::uint64_t{1} << 52) - 1);
  int e = -1074;  // subnormal
  if (nBiasedExp != 0) {
    m |= std::uint64_t{1} << 52;
    e = nBiasedExp - 1075;
  }
  // |d| * 10^n = m * 10^n * 2^e exactly; m * 10^n < 2^83.
  const unsigned __int128 x = static_cast<unsigned __int128>(m) * scale;
  unsigned __int128 r;
  if (e >= 0) {
    if (e > 40) return false;
    r = x << e;
  } else if (-e >= 120) {
    r = 0;  // below 2^-37: rounds to 0
  } else {
    const int s = -e;
    r = x >> s;
    const unsigned __int128 rest = x - (r << s);
    const unsigned __int128 half = static_cast<unsigned __int128>(1) << (s - 1);
    if (rest > half || (rest == half && (r & 1) != 0)) ++r;
  }
  if ((r >> 64) != 0) return false;
  q = static_cast<std::uint64_t>(r);
  return true;
}

// The decimal digits of the integer m * 2^e (m < 2^53, 0 < e <= 971), exactly,
// as printf writes them: the value is built in limbs of nine decimal digits,
// doubled 29 bits at a time. A frequency plan of huge values writes
// thousands of these; this costs a fraction of printf's general conversion.
void AppendHugeInteger(std::string& out, std::uint64_t m, int e) {
  constexpr std::uint32_t kLimb = 1000000000;
  std::uint32_t limbs[40];  // 2^1024 < 10^309: 35 limbs
  int n = 0;
  for (; m != 0; m /= kLimb) limbs[n++] = static_cast<std::uint32_t>(m % kLimb);
  while (e > 0) {
    const int s = e < 29 ? e : 29;
    e -= s;
    std::uint64_t carry = 0;
    for (int i = 0; i < n; ++i) {
      const std::uint64_t v = (static_cast<std::uint64_t>(limbs[i]) << s) + carry;  // below 2^60
      limbs[i] = static_cast<std::uint32_t>(v % kLimb);
      carry = v / kLimb;
    }
    for (; carry != 0; carry /= kLimb) limbs[n++] = static_cast<std::uint32_t>(carry % kLimb);
  }
  char buf[9];
  for (int i = n - 1; i >= 0; --i) {
    std::uint32_t v = limbs[i];
    int k = 9;
    do {
      buf[--k] = static_cast<char>('0' + v % 10);
      v /= 10;
    } while (v != 0 || (i != n - 1 && k > 0));
    out.append(buf + k, static_cast<size_t>(9 - k));
  }
}

// For a double of at least 2^53, an integer: its sign, digits and nDecimals zeros.
bool AppendHuge(std::string& out, double d, int nDecimals) {
  const auto bits = std::bit_cast<std::uint64_t>(d);
  const int nBiasedExp = static_cast<int>((bits >> 52) & 0x7ff);
  if (nBiasedExp < 1075 + 1 || nBiasedExp == 0x7ff || nDecimals > 64) return false;
  if (std::signbit(d)) out += '-';
  AppendHugeInteger(out, (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52), nBiasedExp - 1075);
  if (nDecimals > 0) out.append(1, '.').append(static_cast<size_t>(nDecimals), '0');
  return true;
}

void AppendDigits(std::string& out, std::uint64_t v, int nMinDigits) {
  char buf[24];
  char* p = buf + sizeof buf;
  int n = 0;
  do {
    *--p = static_cast<char>('0' + v % 10);
    v /= 10;
    ++n;
  } while (v != 0 || n < nMinDigits);
  out.append(p, static_cast<size_t>(buf + sizeof buf - p));
}
}  // namespace

void NameValueAppendFixed(CString& strOut, double d, int nDecimals) {
  std::uint64_t q = 0;
  if (!std::isfinite(d) || nDecimals < 0 || nDecimals > kMaxFastDecimals ||
      !ScaledMagnitude(d, kPow10[nDecimals], q)) {
    if (nDecimals >= 0 && AppendHuge(strOut.str(), d, nDecimals)) return;
    // Room for any double with a few decimals (309 digits and the sign), so
    // that a value is formatted once, not measured first.
    char buf[384];
    const int n = std::snprintf(buf, sizeof buf, "%.*f", nDecimals, d);
    if (n >= 0 && static_cast<size_t>(n) < sizeof buf) strOut.Append(buf, n);
    else strOut.AppendFormat("%.*f", nDecimals, d);
    return;
  }
  std::string& out = strOut.str();
  if (std::signbit(d)) out += '-';  // printf keeps the sign of -0.0 and of what rounds to 0
  const std::uint64_t scale = kPow10[nDecimals];
  AppendDigits(out, q / scale, 1);
  if (nDecimals == 0) return;
  out += '.';
  AppendDigits(out, q % scale, nDecimals);
}
