// vyrhost stats: the statistics of every frequency over one log or a
// campaign (occupancy, percentiles, mean, maximum and where it was
// measured), or of every band (noise floor, band occupancy, strongest
// frequency).
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "Commands.h"
#include "OrderedWork.h"
#include "OutputFile.h"
#include "PieceOutput.h"
#include "StatsFormats.h"
#include "vyr/FrequencyStats.h"

namespace {
enum class StatsBy { Frequency, Band };

struct StatsCommandSettings {
  StatsBy by = StatsBy::Frequency;
  int nFormats = 0;  // how many of --text, --csv, --jsonl were given
  StatsFormat format = StatsFormat::Csv;
  double dAbove = vyr::Thresholds::kDefaultDbm;
  bool bAbove = false;
  double dAboveNoise = 0;
  bool bAboveNoise = false;
  double dOccupied = vyr::kDefaultOccupiedShare;
  size_t nTop = 0;  // 0: every row
  double dLevelThreshold = -std::numeric_limits<double>::infinity();
  vyr::LevelCut cut;
  int nJobs = 0;  // 0: the number of cores
  std::vector<std::string> files;
};

Option<StatsCommandSettings> FormatFlag(const char* pszName, StatsFormat format, const char* pszHelp) {
  return {{pszName, "", "", pszHelp}, [format](StatsCommandSettings& s, const std::string&, std::string&) {
            s.format = format;
            ++s.nFormats;
            return true;
          }};
}

bool ParseCount(const std::string& v, size_t& n, std::string& why) {
  double d = 0;
  if (!ParseNumber(v, d) || d < 1 || d != static_cast<double>(static_cast<long long>(d)) || d > 1e9) {
    why = "--top '" + v + "' is not a whole number from 1";
    return false;
  }
  n = static_cast<size_t>(d);
  return true;
}

const char kDescription[] =
    "The statistics of every frequency (a scan bin or a channel, in whole hertz)\n"
    "over all the logs given: plans with the same frequencies, and plans that\n"
    "overlap, meet at their common frequencies; channels meet by frequency. One\n"
    "row per frequency, in rising frequency:\n"
    "  frequency_hz, frequency_mhz, band (where the first log measured it; empty\n"
    "  for a channel), sweeps (the levels at the frequency, one per sweep that\n"
    "  left one), occupancy (the share of them at or above the threshold),\n"
    "  p10_dbm, median_dbm, p90_dbm (linear percentiles as numpy's, to 0.1 dB),\n"
    "  mean_dbm (the mean of the levels in dBm, that is of the dB values, not of\n"
    "  their power), max_dbm, and where the maximum was first measured: max_time\n"
    "  (the log's clock), max_lat, max_lon, max_file, max_message.\n"
    "With --by band, one row per band number (channels last): band, start_mhz,\n"
    "stop_mhz, frequencies, sweeps, noise_floor_dbm (the median of its\n"
    "frequencies' 10th percentiles), threshold_dbm, occupied (the frequencies of\n"
    "the band at or above the threshold in at least the --occupied share of\n"
    "their sweeps), occupancy (occupied / frequencies, the band occupancy of\n"
    "ITU-R SM.1880), mean_occupancy (the mean of the frequencies' occupancies),\n"
    "max_dbm, max_frequency_hz, max_frequency_mhz and where it was measured.\n"
    "Statistics logs count their mean levels.\n";

const CommandSpec<StatsCommandSettings>& Table() {
  using S = StatsCommandSettings;
  static const CommandSpec<S> table{
      {kStatsCommand.info, "FILE...", "no log file given", kDescription, kNumberAndCutNotes},
      Concat<S>(
          {{{"--by", "", "frequency|band", "one row per frequency (the default) or per band"},
            [](S& s, const std::string& v, std::string& why) {
              if (v == "frequency" || v == "band") s.by = v == "band" ? StatsBy::Band : StatsBy::Frequency;
              else why = "--by '" + v + "' is neither frequency nor band";
              return why.empty();
            }},
           {{"--above", "", "DBM",
             "the occupancy counts the levels at or above DBM (default -80; the report takes the same --above)"},
            [](S& s, const std::string& v, std::string& why) {
              s.bAbove = true;
              return ParseThreshold("--above threshold", v, s.dAbove, why);
            }},
           {{"--above-noise", "", "DB",
             "instead: at or above the noise floor of the frequency's band plus DB (each log is then read twice, "
             "first for the noise floors)"},
            [](S& s, const std::string& v, std::string& why) {
              s.bAboveNoise = true;
              return ParseThreshold("--above-noise margin", v, s.dAboveNoise, why);
            }},
           {{"--occupied", "", "SHARE",
             "with --by band: a frequency counts as occupied when at least this share of its sweeps reached the "
             "threshold (0 to 1, default 0.1)"},
            [](S& s, const std::string& v, std::string& why) {
              if (ParseNumber(v, s.dOccupied) && s.dOccupied >= 0 && s.dOccupied <= 1) return true;
              why = "--occupied '" + v + "' is not a share from 0 to 1";
              return false;
            }},
           {{"--top", "", "N", "only the N rows of the highest maximum, strongest first"},
            [](S& s, const std::string& v, std::string& why) { return ParseCount(v, s.nTop, why); }},
           FormatFlag("--text", StatsFormat::Text, "an aligned table (the default on a terminal)"),
           FormatFlag("--csv", StatsFormat::Csv, "CSV with a header line (the default otherwise)"),
           FormatFlag("--jsonl", StatsFormat::Jsonl, "one JSON object per row"),
           LevelThresholdOption(&S::dLevelThreshold)},
          Concat<S>(CutOptions(&S::cut),
                    {JobsOption(&S::nJobs, "read N logs at a time, or one log larger than 64 MiB in N pieces side by side",
                                "the number of cores", "the result is the same whatever N")})),
      [](const S& s, std::string& why) {
        if (s.bAbove && s.bAboveNoise) why = "give --above or --above-noise, not both";
        else if (s.nFormats > 1) why = "give one of --text, --csv and --jsonl";
        return why.empty() && vyr::CheckCut(s.cut, why);
      }};
  return table;
}

struct LogSpectrum {
  vyr::Spectrum spectrum;
  vyr::DecodeResult result;
  std::string err;  // the refusal, out of memory
  std::string note;  // how the log was cut in pieces, when asked
};

// The spectrum of every log of files that can be read, merged in their
// order; refusals are told on standard error, and with bNoteCut logs whose
// last line is cut. The logs are read on the jobs side by side, a single one
// in pieces.
vyr::Spectrum Accumulate(const std::vector<std::string>& files, const StatsCommandSettings& s,
                         const vyr::Thresholds& thresholds, bool bNoteCut, bool& allOk) {
  const vyr::DecodeSettings decode = DecodeSettingsWith(s.dLevelThreshold);
  vyr::Spectrum all;
  const int nJobs = s.nJobs > 0 ? s.nJobs : CoreCount();
  const bool bOneLog = files.size() == 1;
  const vyr::LogDecoder::PieceOptions pieces = PieceOptionsFor(bOneLog ? nJobs : 1);
  RunInOrder<LogSpectrum>(
      files.size(), bOneLog ? 1 : nJobs,
      [&](size_t i) {
        LogSpectrum log;
        try {
          log.spectrum = vyr::AccumulateLog(files[i], decode, s.cut, thresholds, pieces, log.result);
        } catch (const std::bad_alloc&) {
          log.spectrum = vyr::Spectrum();
          log.err = vyr::EscapeFileName(files[i]) + ": out of memory";
        }
        if (log.err.empty() && !log.result.Ok()) log.err = log.result.Describe(files[i]);
        if (bOneLog) DescribePieces(files[i], log.result, log.note);
        return log;
      },
      [&](size_t i, LogSpectrum& log) {
        std::fputs(log.note.c_str(), stderr);
        if (!log.err.empty()) {
          std::fprintf(stderr, "vyrhost: %s\n", log.err.c_str());
          allOk = false;
          return;
        }
        if (bNoteCut && log.result.lastLineCut)
          std::fprintf(stderr, "vyrhost: %s\n", vyr::DecodeResult::DescribeCutLastLine(files[i]).c_str());
        all.Merge(log.spectrum);
        log.spectrum = vyr::Spectrum();
      });
  return all;
}

std::string Table(const StatsCommandSettings& s, const vyr::Spectrum& spectrum) {
  std::string out;
  if (s.by == StatsBy::Band) {
    std::vector<vyr::BandRow> rows = vyr::BandRows(spectrum, s.dOccupied);
    if (s.nTop) vyr::KeepStrongest(rows, s.nTop);
    AppendBandTable(out, s.format, rows, spectrum.Files());
  } else {
    std::vector<vyr::FrequencyRow> rows = vyr::FrequencyRows(spectrum);
    if (s.nTop) vyr::KeepStrongest(rows, s.nTop);
    AppendFrequencyTable(out, s.format, rows, spectrum.Files());
  }
  if (s.format != StatsFormat::Text) return out;
  char line[160];
  if (s.bAboveNoise) std::snprintf(line, sizeof line, "occupancy: the share of sweeps at or above the band's noise floor + %g dB", s.dAboveNoise);
  else std::snprintf(line, sizeof line, "occupancy: the share of sweeps at or above %g dBm", s.dAbove);
  out += std::string("\n") + line + "\n";
  return out;
}
}  // namespace

int RunStats(const GlobalOptions& global, const std::vector<std::string>& args) {
  StatsCommandSettings settings;
  if (ParseOutcome outcome = ParseCommand(Table(), args, settings); outcome != ParseOutcome::Run)
    return ExitWithoutRunning(outcome);
  if (settings.nFormats == 0) settings.format = isatty(STDOUT_FILENO) == 1 ? StatsFormat::Text : StatsFormat::Csv;
  std::string error;
  if (StandardOutputIsAnInput(settings.files, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return kExitFileFailed;
  }
  if (!LoadPlugins(global)) return kExitFileFailed;
  bool allOk = true;
  vyr::Spectrum spectrum = Accumulate(settings.files, settings, vyr::Thresholds(settings.dAbove), true, allOk);
  // The band is known to be missing only once the logs are read; when none
  // could be read, their refusals say enough.
  const std::vector<int>& bands = spectrum.PlanBands();
  if (settings.cut.band != 0 && !spectrum.Files().empty() &&
      !std::binary_search(bands.begin(), bands.end(), settings.cut.band)) {
    PrintUsageError(Table(), vyr::UnknownBandText(settings.cut.band, bands));
    return kExitUsage;
  }
  // Again, over the logs that were read, against the noise floors of the first pass.
  if (settings.bAboveNoise) {
    const std::vector<std::string> read = spectrum.Files();
    spectrum = Accumulate(read, settings, vyr::NoiseThresholds(spectrum, settings.dAboveNoise), false, allOk);
  }
  if (spectrum.LevelsWithoutFrequency() > 0)
    std::fprintf(stderr, "vyrhost stats: %llu levels have no frequency (outside the frequency plan) and are in no row\n",
                 static_cast<unsigned long long>(spectrum.LevelsWithoutFrequency()));
  const std::string table = Table(settings, spectrum);
  if (std::fwrite(table.data(), 1, table.size(), stdout) != table.size() || std::fflush(stdout) != 0) {
    std::fprintf(stderr, "%s\n", DescribeSystemError("standard output", errno ? errno : EIO).c_str());
    return kExitFileFailed;
  }
  return allOk ? kExitOk : kExitFileFailed;
}

const Command kStatsCommand = {
    {"stats", "occupancy, percentiles and maximum of every frequency or band over one log or a campaign"},
    RunStats};
