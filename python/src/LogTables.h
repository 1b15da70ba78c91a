// The decoded levels of one log as column tables for Python: one table per
// band of each frequency plan (scan logs) or per channel set (channel logs),
// and the long rows of `vyrhost export --csv`.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "vyr/LogDecoder.h"

// A log the reader refused (code > 0) or could not decode at all (code -1).
struct LogFailure : std::runtime_error {
  LogFailure(std::string p, int c, const std::string& what) : std::runtime_error(what), path(std::move(p)), code(c) {}
  std::string path;
  int code;
};

// Rows × bins of levels for one band or one channel set.
struct LevelTable {
  int nBand = 0;              // from 1; 0 for a channel set
  std::uint64_t nHeader = 0;  // index of the header message
  std::vector<int> bins;      // plan elements or channel indexes, one per column
  std::vector<double> frequencyMHz;
  std::vector<std::int64_t> message, timeMs, time;  // time: ms since 1970, absolute
  std::vector<double> lat, lon;
  std::vector<std::uint8_t> quality;
  std::vector<double> levelDbm;  // row-major, NaN where no level
};

// The columns of `vyrhost export --csv`, one entry per row.
struct LevelColumns {
  std::vector<std::int64_t> message, timeMs, time, bin;
  std::vector<double> lat, lon, band, frequencyMHz, levelDbm;
  std::vector<std::int64_t> quality;
};

// Runs one decode with the given level threshold (nullopt: every level).
// Decodes with different thresholds wait for one another, because the decode
// device reads the threshold from its process-wide preferences. owner is the
// thread the decode works for; that thread gets an error rather than waiting
// for its own decode.
// bFirstMessageOnly stops the decode after the first message. Returns the
// decode's counts.
DecodeCounts DecodeWithThreshold(const std::string& path, std::optional<double> threshold, DecodeOptions options,
                         const CLogDecoder::FileFn& onFile, const CLogDecoder::MessageFn& onMessage,
                         std::thread::id owner = std::this_thread::get_id(), bool bFirstMessageOnly = false);

// Reads the log up to its first message and returns the kind that
// `vyrhost info` gives it ("scan", "channels" or "other"). The reader
// refuses a log whose header or first measurement line is unusable before it
// hands on any message, so this raises those refusals without decoding the
// whole file; and the kind is that of the first header, the first message.
std::string ProbeKind(const std::string& path, std::optional<double> threshold);

// The summary JSON of `vyrhost info --format json`.
std::string SummaryJson(const std::string& path, std::optional<double> threshold);
// bChannels false: one table per band of each plan; true: one per channel set.
std::vector<LevelTable> CollectTables(const std::string& path, std::optional<double> threshold, bool bChannels);
LevelColumns CollectColumns(const std::string& path, std::optional<double> threshold);
