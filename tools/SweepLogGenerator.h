// Writes synthetic sweep files in the CSV layouts of rtl_power and
// hackrf_sweep, deterministically: the same options always give the same
// bytes. Used for tests and benchmarks.
//
// rtl_power: the range is split into equal hops of at most 2.8 MHz (the
// tool's widest tuning), each with the power of two of bins that brings the
// bin width to the asked one or below; every hop of a sweep carries the
// sweep's date and time in whole seconds. hackrf_sweep: hops of 5 MHz in the
// tool's interleaved order (f, f + 10, f + 5, f + 15 MHz in each 20 MHz
// block), each line with its own time to the microsecond. Levels: a noise
// floor with its spread, and a few carriers, one of them bursty.
#pragma once

#include <cstdint>
#include <cstdio>

enum class SweepLayout { kRtlPower, kHackrfSweep };

struct SweepGenOptions {
  SweepLayout layout = SweepLayout::kRtlPower;
  double dFromHz = 88e6;
  double dToHz = 108e6;
  double dBinHz = 10e3;        // the widest bin wanted
  std::int64_t nSweeps = 10;   // ignored when nSizeBytes > 0
  std::uint64_t nSizeBytes = 0;  // stop at the first sweep that reaches this size
  double dIntervalS = 10;      // from sweep to sweep
  bool bCrlf = false;
  bool bCutLast = false;       // end inside the last line's last level, without a line end
  std::uint64_t nSeed = 1;
  std::int64_t nStartS = 1709294400;  // 2024-03-01T12:00:00, seconds since 1970
};

// False when out reports a write error.
bool WriteSweepLog(const SweepGenOptions& options, std::FILE* out);
