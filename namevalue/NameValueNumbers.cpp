#include "NameValueNumbers.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

namespace {
bool IsSpace(char ch) { return std::isspace(static_cast<unsigned char>(ch)) != 0; }
bool IsDigit(char ch) { return ch >= '0' && ch <= '9'; }

// The characters of a text one by one; past the end of a bounded text it
// reads NUL, as a NUL-terminated copy of it would.
template <bool kBounded>
class CTextScan {
 public:
  CTextScan(const char* p, const char* end) : m_p(p), m_end(end) {}
  char Peek() const { return kBounded && m_p == m_end ? '\0' : *m_p; }
  void Advance() { ++m_p; }

 private:
  const char* m_p;
  const char* m_end;
};
using CStringScan = CTextScan<false>;
using CViewScan = CTextScan<true>;

// Exact powers of ten as doubles (up to 10^22 every one is exact).
constexpr double kExactPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                  1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kMaxSignificand = 19;  // digits that always fit in 64 bits
constexpr int kMaxIntDigits = 9;     // digits that always fit in 32 bits

// A plain decimal: an optional minus, then digits with at most one point.
// White space, a plus sign, an exponent, a hexadecimal form, an infinity, a
// NaN or too many digits refuse it. The digits w, with f of them after the
// point, stand for w / 10^f. When w < 2^53 and f <= 22 both operands are
// exact doubles and one division rounds correctly to nearest, which is
// exactly what strtod does with the decimal text.
template <class Scan>
bool ReadPlainDecimal(Scan s, double& out) {
  const bool bNegative = s.Peek() == '-';
  if (bNegative) s.Advance();
  std::uint64_t w = 0;
  int nDigits = 0;
  int nFraction = 0;
  for (; IsDigit(s.Peek()); s.Advance(), ++nDigits) {
    if (nDigits == kMaxSignificand) return false;
    w = w * 10 + static_cast<unsigned>(s.Peek() - '0');
  }
  if (s.Peek() == '.') {
    s.Advance();
    for (; IsDigit(s.Peek()); s.Advance(), ++nDigits, ++nFraction) {
      if (nDigits == kMaxSignificand) return false;
      w = w * 10 + static_cast<unsigned>(s.Peek() - '0');
    }
  }
  if (nDigits == 0) return false;
  // An exponent would extend the number, and "0x" starts a hexadecimal one.
  const char next = s.Peek();
  if (next == 'e' || next == 'E' || next == 'x' || next == 'X') return false;
  if (w > (std::uint64_t{1} << 53)) return false;
  const double d = nFraction == 0 ? static_cast<double>(w) : static_cast<double>(w) / kExactPow10[nFraction];
  out = bNegative ? -d : d;
  return true;
}

// A plain integer: an optional minus and at most 9 digits, which no 32-bit
// reading can take otherwise. Returns false for every other text.
template <class Scan>
bool ReadPlainInt(Scan s, bool& bNegative, std::int32_t& nMagnitude) {
  bNegative = s.Peek() == '-';
  if (bNegative) s.Advance();
  std::int32_t v = 0;
  int nDigits = 0;
  for (; IsDigit(s.Peek()); s.Advance(), ++nDigits) {
    if (nDigits == kMaxIntDigits) return false;
    v = v * 10 + (s.Peek() - '0');
  }
  if (nDigits == 0) return false;
  nMagnitude = v;
  return true;
}

// The standard readings, for every text that the fast paths refuse.
std::int32_t StandardReadLong(const char* psz) {
  // long long holds every 32-bit result and saturates beyond 64 bits, so
  // clamping it gives the 32-bit limits for every out-of-range text.
  long long v = std::strtoll(psz, nullptr, 10);
  if (v > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (v < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(v);
}

std::uint32_t StandardReadULong(const char* psz) {
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

// Runs a standard reading on a NUL-terminated copy of the text.
template <class Result>
Result ReadCopy(std::string_view text, Result (*pfnRead)(const char*)) {
  char small[64];
  if (text.size() < sizeof small) {
    if (!text.empty()) std::memcpy(small, text.data(), text.size());
    small[text.size()] = '\0';
    return pfnRead(small);
  }
  return pfnRead(std::string(text).c_str());
}

double StandardReadDouble(const char* psz) { return std::strtod(psz, nullptr); }

CStringScan ScanOf(const char* psz) { return CStringScan(psz, nullptr); }
CViewScan ScanOf(std::string_view text) { return CViewScan(text.data(), text.data() + text.size()); }
}  // namespace

std::int32_t NameValueReadLong(const char* psz) {
  if (!psz) return 0;
  bool bNegative;
  std::int32_t n;
  if (ReadPlainInt(ScanOf(psz), bNegative, n)) return bNegative ? -n : n;
  return StandardReadLong(psz);
}

std::uint32_t NameValueReadULong(const char* psz) {
  if (!psz) return 0;
  bool bNegative;
  std::int32_t n;
  if (ReadPlainInt(ScanOf(psz), bNegative, n)) {
    const auto v = static_cast<std::uint32_t>(n);
    return bNegative ? 0u - v : v;
  }
  return StandardReadULong(psz);
}

double NameValueReadDouble(const char* psz) {
  if (!psz) return 0.0;
  double d;
  if (ReadPlainDecimal(ScanOf(psz), d)) return d;
  return StandardReadDouble(psz);
}

int NameValueReadInt(const char* psz) {
  if (!psz) return 0;
  bool bNegative;
  std::int32_t n;
  if (ReadPlainInt(ScanOf(psz), bNegative, n)) return bNegative ? -n : n;
  return std::atoi(psz);
}

std::int32_t NameValueReadLong(std::string_view text) {
  bool bNegative;
  std::int32_t n;
  if (ReadPlainInt(ScanOf(text), bNegative, n)) return bNegative ? -n : n;
  return ReadCopy(text, StandardReadLong);
}

std::uint32_t NameValueReadULong(std::string_view text) {
  bool bNegative;
  std::int32_t n;
  if (ReadPlainInt(ScanOf(text), bNegative, n)) {
    const auto v = static_cast<std::uint32_t>(n);
    return bNegative ? 0u - v : v;
  }
  return ReadCopy(text, StandardReadULong);
}

double NameValueReadDouble(std::string_view text) {
  // A NUL ends the copy that strtod would read, as it ends a plain decimal here.
  double d;
  if (NameValueReadPlainDecimal(text.data(), text.data() + text.size(), '\0', d)) return d;
  return ReadCopy(text, StandardReadDouble);
}
