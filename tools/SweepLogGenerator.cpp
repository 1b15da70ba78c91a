#include "SweepLogGenerator.h"

#include <cmath>
#include <string>
#include <vector>

namespace {
struct Hop {
  std::int64_t nLowHz;
  std::int64_t nHighHz;
  double dStepHz;
  int nBins;
};

std::uint64_t SplitMix(std::uint64_t& state) {
  std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}
// Uniform in [-1, 1).
double Spread(std::uint64_t& state) { return static_cast<double>(SplitMix(state) >> 11) * 0x1p-52 - 1.0; }

std::vector<Hop> RtlPowerHops(const SweepGenOptions& o) {
  const double dRange = std::max(o.dToHz - o.dFromHz, 1.0);
  const int nHops = static_cast<int>(std::ceil(dRange / 2.8e6));
  const auto nWidth = static_cast<std::int64_t>(dRange / nHops);
  int nBins = 1;
  while (nBins < (1 << 21) && static_cast<double>(nWidth) / nBins > o.dBinHz) nBins *= 2;
  std::vector<Hop> hops;
  for (int i = 0; i < nHops; ++i) {
    const auto nLow = static_cast<std::int64_t>(o.dFromHz) + i * nWidth;
    hops.push_back({nLow, nLow + nWidth, static_cast<double>(nWidth) / nBins, nBins});
  }
  return hops;
}

std::vector<Hop> HackrfHops(const SweepGenOptions& o) {
  constexpr std::int64_t kMHz = 1000000;
  const int nBins = std::max(1, static_cast<int>(5e6 / o.dBinHz));
  std::vector<Hop> hops;
  for (auto f = static_cast<std::int64_t>(o.dFromHz) / kMHz * kMHz; static_cast<double>(f) < o.dToHz; f += 20 * kMHz)
    for (std::int64_t offset : {0, 10, 5, 15}) {
      const std::int64_t nLow = f + offset * kMHz;
      hops.push_back({nLow, nLow + 5 * kMHz, 5e6 / nBins, nBins});
    }
  return hops;
}

void AppendHundredths(std::string& out, double d) {
  long long n = std::llround(d * 100);
  if (n < 0) {
    out += '-';
    n = -n;
  }
  out += std::to_string(n / 100);
  out += '.';
  out += static_cast<char>('0' + n / 10 % 10);
  out += static_cast<char>('0' + n % 10);
}

// "YYYY-MM-DD, HH:MM:SS" of seconds since 1970.
std::string Stamp(std::int64_t s) {
  std::int64_t days = s / 86400, rest = s % 86400;
  if (rest < 0) rest += 86400, --days;
  // Civil date from days since 1970 (the proleptic Gregorian calendar).
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const std::int64_t doe = days - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const std::int64_t day = doy - (153 * mp + 2) / 5 + 1;
  const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
  const std::int64_t year = yoe + era * 400 + (month <= 2);
  char buf[128];
  std::snprintf(buf, sizeof buf, "%04lld-%02lld-%02lld, %02lld:%02lld:%02lld", static_cast<long long>(year),
                static_cast<long long>(month), static_cast<long long>(day), static_cast<long long>(rest / 3600),
                static_cast<long long>(rest / 60 % 60), static_cast<long long>(rest % 60));
  return buf;
}

// The level of a bin: the floor, its spread, and the carriers near it.
double Level(const SweepGenOptions& o, double hz, std::int64_t nSweep, std::uint64_t& state) {
  const double dFloor = o.layout == SweepLayout::kRtlPower ? -45.0 : -75.0;
  double level = dFloor + 2.0 * Spread(state) + 1.5 * std::sin(hz / (o.dToHz - o.dFromHz + 1) * 6.0);
  const double dRange = o.dToHz - o.dFromHz;
  const double carriers[][3] = {{0.2, 30, 0}, {0.55, 22, 1}, {0.8, 35, 0}};
  for (const auto& c : carriers) {
    const double dCentre = o.dFromHz + c[0] * dRange;
    const double dWidth = std::max(3 * o.dBinHz, 50e3);
    if (std::fabs(hz - dCentre) > dWidth || (c[2] > 0 && nSweep % 3 != 0)) continue;
    level = std::max(level, dFloor + c[1] * (1 - std::fabs(hz - dCentre) / dWidth));
  }
  return level;
}
}  // namespace

bool WriteSweepLog(const SweepGenOptions& o, std::FILE* out) {
  const bool bRtl = o.layout == SweepLayout::kRtlPower;
  const std::vector<Hop> hops = bRtl ? RtlPowerHops(o) : HackrfHops(o);
  const char* pszEnd = o.bCrlf ? "\r\n" : "\n";
  std::uint64_t state = o.nSeed;
  std::uint64_t nWritten = 0;
  std::string line;
  for (std::int64_t s = 0; o.nSizeBytes > 0 ? nWritten < o.nSizeBytes : s < o.nSweeps; ++s) {
    const auto nSweepUs = static_cast<std::int64_t>(std::llround(static_cast<double>(s) * o.dIntervalS * 1e6));
    for (size_t h = 0; h < hops.size(); ++h) {
      const Hop& hop = hops[h];
      const std::int64_t nUs = nSweepUs + static_cast<std::int64_t>(h) * 250;  // hackrf_sweep's lines follow each other
      line = Stamp(o.nStartS + nUs / 1000000);
      if (!bRtl) {
        char fraction[16];
        std::snprintf(fraction, sizeof fraction, ".%06lld", static_cast<long long>(nUs % 1000000));
        line += fraction;
      }
      char fixed[96];
      std::snprintf(fixed, sizeof fixed, ", %lld, %lld, %.2f, %d", static_cast<long long>(hop.nLowHz),
                    static_cast<long long>(hop.nHighHz), hop.dStepHz, bRtl ? 16 : 20);
      line += fixed;
      for (int k = 0; k < hop.nBins; ++k) {
        line += ", ";
        AppendHundredths(line, Level(o, static_cast<double>(hop.nLowHz) + k * hop.dStepHz, s, state));
      }
      const bool bLast = h + 1 == hops.size() && (o.nSizeBytes > 0 ? false : s + 1 == o.nSweeps);
      if (bLast && o.bCutLast) line.resize(line.size() - 2);
      else line += pszEnd;
      if (std::fwrite(line.data(), 1, line.size(), out) != line.size()) return false;
      nWritten += line.size();
    }
  }
  return std::fflush(out) == 0 && !std::ferror(out);
}
