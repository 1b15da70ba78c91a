// Writes synthetic HYTEM logs of any size, deterministically: the same
// options always give the same bytes. Used for samples, benchmarks and tests.
#pragma once

#include <cstdint>
#include <cstdio>

enum class HytemLogKind {
  kScan,      // band scans: BandNumber and the band's levels as trailing values
  kChannels,  // four fixed channels: Level1 to Level4
  kStats,     // level statistics of one channel
};

enum class HytemGenShape {
  // A drive through town: a moving route, a noise floor with its spread and
  // a few carriers, steady, bursty and fading with distance (HytemSurvey.h).
  kSurvey,
  // Every bin keeps one level (give or take 3 dB) and the position wanders
  // by metres: the logs of earlier versions, byte for byte, for the tests and
  // reference outputs that hold generated content.
  kFixed,
};

struct HytemGenOptions {
  HytemLogKind kind = HytemLogKind::kScan;
  int nBands = 2;              // scan bands, measured in turn
  int nBins = 100;             // levels per scan line
  std::int64_t nLines = 100;   // measurement lines; ignored when nSizeBytes > 0
  std::uint64_t nSizeBytes = 0;  // stop at the first line end at or past this size
  bool bCrlf = false;
  std::uint64_t nSeed = 1;
  HytemGenShape shape = HytemGenShape::kSurvey;
  // Date and time within day of the first measurement line. The log writes
  // two-digit years: 1969 to 2068.
  int nStartYear = 2005;
  int nStartMonth = 3;
  int nStartDay = 15;
  int nStartMsOfDay = 8 * 3600 * 1000;
  // Position of the first measurement line, decimal degrees (south and west
  // negative): 48 deg 51.12 min N, 2 deg 21.06 min E unless set.
  double dOriginLatitude = 48.852;
  double dOriginLongitude = 2.351;
};

// Writes the whole log to out. False when out reports a write error.
bool WriteHytemLog(const HytemGenOptions& options, std::FILE* out);
