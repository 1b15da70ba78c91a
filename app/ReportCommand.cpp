// vyrhost report: one self-contained HTML page about a log, or about a
// campaign of several.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "CampaignHtml.h"
#include "CampaignReport.h"
#include "CommandLine.h"
#include "Commands.h"
#include "OutputFile.h"
#include "PieceOutput.h"
#include "Progress.h"
#include "ReportHtml.h"

namespace {
struct ReportCommandSettings {
  ReportSettings report;
  PageOptions page;
  std::string strOutput;  // empty: the default name
  double dLevelThreshold = -std::numeric_limits<double>::infinity();
  int nJobs = 0;  // 0: the number of cores
  vyr::LevelCut cut;
  std::vector<std::string> files;
};

const CommandSpec<ReportCommandSettings>& Table() {
  using S = ReportCommandSettings;
  static const CommandSpec<S> table{
      {kReportCommand.info, "FILE...", "no log file given",
       "One self-contained HTML page: summary, waterfall, spectrum and occupancy\n"
       "per band, the strongest signals (the peaks of each band, as vyrhost stats\n"
       "gives their frequency), channel levels, GPS track coloured by the level at\n"
       "one frequency; for several logs one campaign page: the logs, all routes on\n"
       "one map, the spectrum and occupancy of each frequency plan over its logs,\n"
       "the strongest signals and each log's section.\n"
       "With a cut, the page shows what the cut keeps.\n",
       kNumberAndCutNotes},
      Concat<S>({OutputOption(&S::strOutput, "OUT.html",
                    "the page to write (default: the log's name with .html, or campaign.html for several logs, in "
                    "the current folder, which must not exist yet)"),
       {{"--above", "--threshold", "DBM",
         "the occupancy counts the levels at or above DBM (default -80), as in vyrhost stats; --threshold is "
         "its earlier name"},
        [](S& s, const std::string& v, std::string& why) {
          return ParseThreshold("--above threshold", v, s.report.dSignalThresholdDbm, why);
        }},
       {{"--map-frequency", "", "MHZ",
         "colour the map by the level at the bin nearest to MHZ of the band that holds it (default: the "
         "strongest frequency)"},
        [](S& s, const std::string& v, std::string& why) {
          if (ParseNumber(v, s.report.dMapFrequencyMHz) && std::isfinite(s.report.dMapFrequencyMHz)) return true;
          why = "--map-frequency '" + v + "' is not a frequency in MHz";
          return false;
        }},
       LevelThresholdOption(&S::dLevelThreshold),
       JobsOption(&S::nJobs, "decode N logs at a time, or one log larger than 64 MiB in N pieces side by side (from 3)", "the number of cores", "the page is the same whatever N"),
       {{"--tiles", "", "URL",
         "draw map tiles from URL ({z}/{x}/{y}, e.g. https://tile.example/{z}/{x}/{y}.png) under the routes; the "
         "page then loads images from that host alone (without it, the page makes no request at all)"},
        [](S& s, const std::string& v, std::string& why) {
          std::string origin, reason;
          if (!TileUrlOrigin(v, origin, reason)) {
            why = "the tile URL '" + v + "' " + reason + "; give one such as https://tiles.example/{z}/{x}/{y}.png";
            return false;
          }
          s.page.strTileUrl = v;
          return true;
        }}},
                CutOptions(&S::cut)),
      [](const S& s, std::string& why) { return vyr::CheckCut(s.cut, why); }};
  return table;
}

// The log's file name with the extension ".html", in the current folder;
// for several logs "campaign.html".
std::string DefaultOutput(const std::vector<std::string>& logs) {
  if (logs.size() != 1) return "campaign.html";
  std::filesystem::path name = std::filesystem::path(logs[0]).filename();
  if (name.empty()) name = "report";
  return name.replace_extension(".html").string();
}

// A default name never replaces a file: logs of the same name in two
// folders would otherwise overwrite each other's page.
bool DefaultOutputIsFree(const std::string& name) {
  std::error_code ec;
  if (!std::filesystem::exists(std::filesystem::symlink_status(name, ec))) return true;
  std::fprintf(stderr, "vyrhost report: %s exists (the page of another log of that name?); -o %s replaces it\n",
               vyr::EscapeFileName(name).c_str(), vyr::EscapeFileName(name).c_str());
  return false;
}

// The page, written in pieces as it is made, then put in place.
class CPageOutput {
 public:
  CPageOutput(COutputFile& output, const std::string& name) : m_output(output), m_name(name) {}
  // False once a write failed.
  bool Write(const std::string& s) {
    if (m_nErrno != 0) return false;
    if (std::fwrite(s.data(), 1, s.size(), m_output.Stream()) != s.size()) {
      m_nErrno = errno != 0 ? errno : EIO;
      return false;
    }
    m_nBytes += s.size();
    return true;
  }
  int Finish() {
    if (m_nErrno != 0) {
      m_output.Abandon();
      std::fprintf(stderr, "%s\n", DescribeSystemError(m_name == "-" ? "standard output" : m_name, m_nErrno).c_str());
      return kExitFileFailed;
    }
    std::string error;
    if (!m_output.Commit(error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return kExitFileFailed;
    }
    if (m_name != "-")
      std::fprintf(stderr, "vyrhost report: wrote %s (%.1f MB)\n", m_name.c_str(), static_cast<double>(m_nBytes) / 1e6);
    return kExitOk;
  }

 private:
  COutputFile& m_output;
  const std::string& m_name;
  int m_nErrno = 0;
  std::size_t m_nBytes = 0;
};

// A band that no log has is a usage error, found once the logs are read:
// the page is not written. False after saying so.
bool KnownBand(const ReportCommandSettings& settings, COutputFile& output, bool bAnyRead) {
  const vyr::PlanBands* bands = settings.cut.planBands;
  if (settings.cut.band == 0 || !bAnyRead || bands->Has(settings.cut.band)) return true;
  output.Abandon();
  PrintUsageError(Table(), vyr::UnknownBandText(settings.cut.band, bands->Numbers()));
  return false;
}

// A map frequency that no log's band holds is a usage error too.
bool MapFrequencyHeld(const ReportCommandSettings& settings, COutputFile& output, bool bHeld) {
  if (bHeld || std::isnan(settings.report.dMapFrequencyMHz)) return true;
  output.Abandon();
  char text[120];
  std::snprintf(text, sizeof text, "--map-frequency %g: no band or channel set of the logs holds %g MHz",
                settings.report.dMapFrequencyMHz, settings.report.dMapFrequencyMHz);
  PrintUsageError(Table(), text);
  return false;
}

int RunOneLogReport(const ReportCommandSettings& settings, COutputFile& output, const std::string& outputName) {
  const std::string& path = settings.files[0];
  CReportCollector collector(settings.report);
  vyr::DecodeResult result;
  {
    CProgress progress("reading " + path);
    vyr::DecodeRequest request = CReportCollector::Request(DecodeSettingsWith(settings.dLevelThreshold));
    request.progress = [&](std::uint64_t done, std::uint64_t total) { progress.Update(done, total); };
    vyr::LogDecoder decoder(request);
    // The pieces are decoded side by side, but the page's own work (about
    // half of the time) stays on this thread: on two jobs the pieces cost as
    // much as they give, so they start from three.
    const int nJobs = settings.nJobs > 0 ? settings.nJobs : CoreCount();
    const int nPieceJobs = nJobs >= 3 ? nJobs : 1;
    result = vyr::DecodeCut(decoder, path, settings.cut, collector, PieceOptionsFor(nPieceJobs, kListingPieceBytes));
    std::string note;
    DescribePieces(path, result, note);
    if (!note.empty()) std::fputs(note.c_str(), stderr);
  }
  if (!result.Ok()) {
    std::fprintf(stderr, "vyrhost: %s\n", result.Describe(path).c_str());
    return kExitFileFailed;
  }
  if (result.lastLineCut) std::fprintf(stderr, "vyrhost: %s\n", vyr::DecodeResult::DescribeCutLastLine(path).c_str());
  if (!KnownBand(settings, output, true)) return kExitUsage;
  ReportData data = collector.Finish();
  if (!MapFrequencyHeld(settings, output, !std::isnan(data.track.map.dFrequencyMHz))) return kExitUsage;
  data.history = ReducedHistory();
  std::string html;
  AppendReportHtml(html, data, settings.page);
  CPageOutput page(output, outputName);
  page.Write(html);
  return page.Finish();
}

// Each log's section is written as soon as it is its turn, so that no
// section waits in memory. The page is written even when logs were refused;
// the exit status tells.
int RunCampaignReport(const ReportCommandSettings& settings, COutputFile& output, const std::string& outputName) {
  int nJobs = settings.nJobs > 0 ? settings.nJobs : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  CPageOutput page(output, outputName);
  std::string part;
  AppendCampaignHead(part, settings.files.size(), settings.page);
  page.Write(part);
  bool anyRefused = false;
  auto onLog = [&](size_t nLog, CampaignLog& log) {
    if (!log.strRefusal.empty()) {
      std::fprintf(stderr, "vyrhost: %s\n", log.strRefusal.c_str());
      anyRefused = true;
      return true;
    }
    if (log.bLastLineCut)
      std::fprintf(stderr, "vyrhost: %s\n", vyr::DecodeResult::DescribeCutLastLine(log.strPath).c_str());
    part.clear();
    AppendCampaignLogData(part, nLog, log.reportJson);
    log.reportJson = std::string();
    return page.Write(part);
  };
  CampaignData campaign =
      DecodeCampaign(settings.files, settings.report.dSignalThresholdDbm, settings.report.dMapFrequencyMHz,
                     DecodeSettingsWith(settings.dLevelThreshold), settings.cut, nJobs, onLog);
  bool anyRead = false;
  for (const CampaignLog& log : campaign.logs) anyRead = anyRead || log.strRefusal.empty();
  if (!KnownBand(settings, output, anyRead)) return kExitUsage;
  if (!MapFrequencyHeld(settings, output, !anyRead || !std::isnan(campaign.map.dFrequencyMHz))) return kExitUsage;
  part.clear();
  AppendCampaignTail(part, campaign, settings.page);
  page.Write(part);
  int rc = page.Finish();
  return rc == kExitOk && anyRefused ? kExitFileFailed : rc;
}
}  // namespace

int RunReport(const GlobalOptions& global, const std::vector<std::string>& args) {
  ReportCommandSettings settings;
  if (ParseOutcome outcome = ParseCommand(Table(), args, settings); outcome != ParseOutcome::Run)
    return ExitWithoutRunning(outcome);
  vyr::PlanBands planBands;
  settings.cut.planBands = &planBands;
  std::string outputName = settings.strOutput.empty() ? DefaultOutput(settings.files) : settings.strOutput;
  if (settings.strOutput.empty() && !DefaultOutputIsFree(outputName)) return kExitFileFailed;
  if (!LoadPlugins(global)) return kExitFileFailed;
  COutputFile output;
  std::string openError;
  if (!output.Open(outputName, settings.files, openError)) {
    std::fprintf(stderr, "%s\n", openError.c_str());
    return kExitFileFailed;
  }
  if (settings.files.size() == 1) return RunOneLogReport(settings, output, outputName);
  return RunCampaignReport(settings, output, outputName);
}

const Command kReportCommand = {
    {"report", "one self-contained HTML page about a log, or a campaign page about several"}, RunReport};
