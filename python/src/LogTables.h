// The decoded levels of one log as column tables for Python: one table per
// band of each frequency plan (scan logs) or per channel set (channel logs),
// built from the sweeps that the library hands on, and the long rows of
// `vyrhost export --csv`, built from its levels. Each decode takes its own
// settings, so decodes run side by side on any threads. A large log is
// decoded in pieces on jobs threads, each piece collecting its own columns,
// joined in file order into what one decode builds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vyr/Cut.h"
#include "vyr/Log.h"

// Rows × bins of levels for one band or one channel set.
struct LevelTable {
  int nBand = 0;              // from 1; 0 for a channel set
  std::uint64_t nHeader = 0;  // index of the header message
  std::vector<std::int64_t> bins;  // data-state elements, one per column
  std::vector<std::int64_t> frequencyHz;  // kNoFrequency where none
  std::vector<double> frequencyMHz;        // NaN where none
  std::vector<std::int64_t> message, timeMs, time;  // time: ms since 1970, absolute
  std::vector<double> lat, lon;
  std::vector<std::uint8_t> quality;
  std::vector<double> levelDbm;  // row-major, NaN where no level
  // A statistics log's minimum, maximum and deviation, row-major; empty for
  // a log without them.
  std::vector<double> minDbm, maxDbm, stddevDb;
};

// The columns of `vyrhost export --csv`, one entry per row. band and
// frequencyHz are -1 where the row has none (band) or kNoFrequency.
struct LevelColumns {
  std::vector<std::int64_t> message, timeMs, time, bin, band, frequencyHz;
  std::vector<double> lat, lon, frequencyMHz, levelDbm, minDbm, maxDbm, stddevDb;
  std::vector<std::int64_t> quality;
};

// Raise vyr::LogError for a refused log.
std::string SummaryJson(const std::string& path, const vyr::DecodeSettings& settings);
// The kind that `vyrhost info` gives the log ("scan", "channels" or "other"),
// from a decode up to its first message: the reader refuses a log whose
// header or first measurement line is unusable before it hands on any
// message, so this raises those refusals without decoding the whole file.
std::string ProbeKind(const std::string& path, const vyr::DecodeSettings& settings);
// bChannels false: one table per band of each plan; true: one per channel
// set. Through the cut; a cut band that the log has not raises
// std::invalid_argument. A cut of bins (a band or a frequency range) is
// decoded in one piece: it narrows each section as its header lays it down.
std::vector<LevelTable> CollectTables(const std::string& path, const vyr::DecodeSettings& settings,
                                      const vyr::LevelCut& cut, bool bChannels, int jobs);
LevelColumns CollectColumns(const std::string& path, const vyr::DecodeSettings& settings, const vyr::LevelCut& cut,
                            int jobs);
