// Writes synthetic HYTEM logs of any size, deterministically: the same
// options always give the same bytes. Used for benchmarks and tests.
#pragma once

#include <cstdint>
#include <cstdio>

enum class HytemLogKind {
  kScan,      // band scans: BandNumber and the band's levels as trailing values
  kChannels,  // four fixed channels: Level1 to Level4
  kStats,     // level statistics of one channel
};

struct HytemGenOptions {
  HytemLogKind kind = HytemLogKind::kScan;
  int nBands = 2;              // scan bands, measured in turn
  int nBins = 100;             // levels per scan line
  std::int64_t nLines = 100;   // measurement lines; ignored when nSizeBytes > 0
  std::uint64_t nSizeBytes = 0;  // stop at the first line end at or past this size
  bool bCrlf = false;
  std::uint64_t nSeed = 1;
};

// Writes the whole log to out. False when out reports a write error.
bool WriteHytemLog(const HytemGenOptions& options, std::FILE* out);
