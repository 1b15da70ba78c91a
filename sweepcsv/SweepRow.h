// One line of a sweep file, as rtl_power and hackrf_sweep write it (and
// `vyrhost export --sweeps`): one hop of a sweep,
//
//   date, time, Hz low, Hz high, Hz step, samples, dB, dB, ...
//
// date YYYY-MM-DD; time HH:MM:SS, with a fraction of the second in
// hackrf_sweep's files (HH:MM:SS.ffffff); Hz low and Hz high numbers (whole
// hertz in both tools); Hz step a number of at least 0; samples a whole
// number; then at least one level. Blanks (spaces, tabs, a stray CR) around
// the fields are allowed. Levels are not read here: the decoder reads them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

struct SweepRow {
  std::string_view date;     // trimmed texts
  std::string_view time;
  std::int64_t nMs = 0;      // date and time, milliseconds since 1970 (the file's own clock)
  bool bFraction = false;    // the time has a fraction: hackrf_sweep's layout
  double dLowHz = 0;
  double dHighHz = 0;
  double dStepHz = 0;
  std::string_view levels;   // from the first level to the end, without a trailing separator
  std::int64_t nBins = 0;    // levels in the text
};

// The most levels one line may hold, and the most that one frequency plan
// holds (the host reads plans of up to this many elements).
constexpr std::int64_t kMaxSweepBins = std::int64_t{1} << 22;

// Reads a line into row. Returns null when it is a sweep line, else why it
// is not (a static text such as "the date is not YYYY-MM-DD", which holds
// no ';' or '^', so that a payload can carry it). The levels' text must hold
// no ';', '^' or NUL byte, which the message payload cannot carry.
const char* ParseSweepRow(std::string_view line, SweepRow& row);

// A line with nothing but blanks.
bool IsBlankLine(std::string_view line);

// The content probe of the data-file type: nonzero when the first line that
// is not blank (after a UTF-8 byte order mark) is a sweep line. The line may
// be cut at the end of the bytes: a cut level is not looked at.
int IdentifySweepFile(const char* pHead, std::size_t nHead);

// A number written as the tools write them ("-45.25", "88000000",
// "1.5e6", "nan", "-inf"): true when the whole text, blanks around it aside,
// is one.
bool ReadSweepNumber(std::string_view text, double& value);
