// vyrhost report: one self-contained HTML page about a log, or about a
// campaign of several.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "CampaignHtml.h"
#include "CampaignReport.h"
#include "CommandLine.h"
#include "Commands.h"
#include "OutputFile.h"
#include "Progress.h"
#include "ReportHtml.h"
#include "VyrDecodeDevice.h"

namespace {
const char kReportUsage[] =
    "usage: vyrhost report [-o OUT.html] [--threshold DBM] [--level-threshold DBM] [--jobs N] [--tiles URL] FILE...\n"
    "Try 'vyrhost --help' for more.\n";

struct ReportArgs {
  ParsedCommandLine cl;
  ReportSettings settings;
  PageOptions page;
  int nJobs = 0;  // 0: the number of cores
};

// The log's file name with the extension ".html", in the current folder;
// for several logs "campaign.html".
std::string DefaultOutput(const std::vector<std::string>& logs) {
  if (logs.size() != 1) return "campaign.html";
  std::filesystem::path name = std::filesystem::path(logs[0]).filename();
  if (name.empty()) name = "report";
  return name.replace_extension(".html").string();
}

// "-jN" as "-j N", as decode takes it.
std::vector<std::string> SplitAttachedJobs(const std::vector<std::string>& args) {
  std::vector<std::string> out;
  bool optionsEnded = false;
  for (const std::string& a : args) {
    optionsEnded = optionsEnded || a == "--";
    if (!optionsEnded && a.size() > 2 && a.rfind("-j", 0) == 0) {
      out.push_back("-j");
      out.push_back(a.substr(2));
    } else {
      out.push_back(a);
    }
  }
  return out;
}

bool ParseJobs(const ParsedCommandLine& cl, int& nJobs) {
  if (!cl.Has("--jobs")) return true;
  const std::string v = cl.Get("--jobs");
  char* end = nullptr;
  long n = std::strtol(v.c_str(), &end, 10);
  if (v.empty() || *end != '\0' || n < 1 || n > 256) {
    std::fprintf(stderr, "vyrhost report: the number of jobs '%s' is not a number from 1 to 256\n", v.c_str());
    return false;
  }
  nJobs = static_cast<int>(n);
  return true;
}

bool ParseReportArgs(const std::vector<std::string>& args, ReportArgs& ra) {
  static const std::vector<OptionDefn> options = {{"--output", "-o", true},
                                                  {"--threshold", nullptr, true},
                                                  {"--level-threshold", nullptr, true},
                                                  {"--jobs", "-j", true},
                                                  {"--tiles", nullptr, true}};
  ParsedCommandLine& cl = ra.cl;
  ReportSettings& settings = ra.settings;
  if (!ParseCommandLine("report", SplitAttachedJobs(args), options, cl) || !ParseJobs(cl, ra.nJobs)) return false;
  for (const char* name : {"--threshold", "--level-threshold"}) {
    double d = 0;
    if (!cl.Has(name)) continue;
    if (!ParseNumber(cl.Get(name), d)) {
      std::fprintf(stderr, "vyrhost report: the value of %s, '%s', is not a number\n", name, cl.Get(name).c_str());
      return false;
    }
    if (std::string(name) == "--threshold") settings.dSignalThresholdDbm = d;
    else CVyrDecodeDevice::m_prefs.dLevelThreshold = d;
  }
  if (cl.Has("--tiles")) {
    std::string origin, reason;
    ra.page.strTileUrl = cl.Get("--tiles");
    if (!TileUrlOrigin(ra.page.strTileUrl, origin, reason)) {
      std::fprintf(stderr, "vyrhost report: the tile URL '%s' %s; give one such as https://tiles.example/{z}/{x}/{y}.png\n",
                   ra.page.strTileUrl.c_str(), reason.c_str());
      return false;
    }
  }
  if (cl.Has("--output") && cl.Get("--output").empty()) {
    std::fprintf(stderr, "vyrhost report: the output name is empty (use - for standard output)\n");
    return false;
  }
  if (cl.files.empty()) {
    std::fprintf(stderr, "vyrhost report: no log file given\n");
    return false;
  }
  return true;
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

int RunOneLogReport(const ReportArgs& ra, COutputFile& output, const std::string& outputName) {
  const std::string& path = ra.cl.files[0];
  CReportCollector collector(ra.settings);
  CLogDecoder decoder(collector.MakeDecodeOptions());
  DecodeCounts counts;
  std::string error;
  RolRetc rc;
  {
    CProgress progress("reading " + path);
    auto onFile = [&](const DecodedFileInfo& info) { collector.OnFile(info); };
    auto onMessage = [&](const DecodedMessage& m) { collector.OnMessage(m); };
    auto onProgress = [&](std::uint64_t done, std::uint64_t total) { progress.Update(done, total); };
    rc = decoder.Decode(path, onFile, onMessage, counts, error, onProgress);
  }
  if (rc != ROL_OK) {
    std::fprintf(stderr, "%s\n", DescribeDecodeFailure(path, rc, error).c_str());
    return kExitFileFailed;
  }
  std::string html;
  AppendReportHtml(html, collector.Finish(), ra.page);
  CPageOutput page(output, outputName);
  page.Write(html);
  return page.Finish();
}

// Each log's section is written as soon as it is its turn, so that no
// section waits in memory. The page is written even when logs were refused;
// the exit status tells.
int RunCampaignReport(const ReportArgs& ra, COutputFile& output, const std::string& outputName) {
  int nJobs = ra.nJobs > 0 ? ra.nJobs : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  CPageOutput page(output, outputName);
  std::string part;
  AppendCampaignHead(part, ra.cl.files.size(), ra.page);
  page.Write(part);
  bool anyRefused = false;
  auto onLog = [&](size_t nLog, CampaignLog& log) {
    if (!log.strRefusal.empty()) {
      std::fprintf(stderr, "%s\n", log.strRefusal.c_str());
      anyRefused = true;
      return true;
    }
    part.clear();
    AppendCampaignLogData(part, nLog, log.reportJson);
    log.reportJson = std::string();
    return page.Write(part);
  };
  CampaignData campaign = DecodeCampaign(ra.cl.files, ra.settings.dSignalThresholdDbm, nJobs, onLog);
  part.clear();
  AppendCampaignTail(part, campaign, ra.page);
  page.Write(part);
  int rc = page.Finish();
  return rc == kExitOk && anyRefused ? kExitFileFailed : rc;
}
}  // namespace

int RunReport(const GlobalOptions& global, const std::vector<std::string>& args) {
  ReportArgs ra;
  if (!ParseReportArgs(args, ra)) {
    std::fputs(kReportUsage, stderr);
    return kExitUsage;
  }
  if (!LoadPlugins(global)) return kExitFileFailed;
  std::string outputName = ra.cl.Get("--output", DefaultOutput(ra.cl.files));
  COutputFile output;
  std::string openError;
  if (!output.Open(outputName, ra.cl.files, openError)) {
    std::fprintf(stderr, "%s\n", openError.c_str());
    return kExitFileFailed;
  }
  if (ra.cl.files.size() == 1) return RunOneLogReport(ra, output, outputName);
  return RunCampaignReport(ra, output, outputName);
}
