// vyrhost report: one self-contained HTML page about a log.
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "Commands.h"
#include "OutputFile.h"
#include "Progress.h"
#include "ReportHtml.h"
#include "VyrDecodeDevice.h"

namespace {
const char kReportUsage[] =
    "usage: vyrhost report [-o OUT.html] [--threshold DBM] [--level-threshold DBM] FILE\n"
    "Try 'vyrhost --help' for more.\n";

// The log's file name with the extension ".html", in the current folder.
std::string DefaultOutput(const std::string& log) {
  std::filesystem::path name = std::filesystem::path(log).filename();
  if (name.empty()) name = "report";
  return name.replace_extension(".html").string();
}

bool ParseReportArgs(const std::vector<std::string>& args, ParsedCommandLine& cl, ReportSettings& settings) {
  static const std::vector<OptionDefn> options = {
      {"--output", "-o", true}, {"--threshold", nullptr, true}, {"--level-threshold", nullptr, true}};
  if (!ParseCommandLine("report", args, options, cl)) return false;
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
  if (cl.Has("--output") && cl.Get("--output").empty()) {
    std::fprintf(stderr, "vyrhost report: the output name is empty (use - for standard output)\n");
    return false;
  }
  if (cl.files.size() != 1) {
    std::fprintf(stderr, "vyrhost report: give exactly one log file\n");
    return false;
  }
  return true;
}
}  // namespace

int RunReport(const GlobalOptions& global, const std::vector<std::string>& args) {
  ParsedCommandLine cl;
  ReportSettings settings;
  if (!ParseReportArgs(args, cl, settings)) {
    std::fputs(kReportUsage, stderr);
    return kExitUsage;
  }
  if (!LoadPlugins(global)) return kExitFileFailed;
  const std::string& path = cl.files[0];
  std::string outputName = cl.Get("--output", DefaultOutput(path));
  COutputFile output;
  std::string openError;
  if (!output.Open(outputName, cl.files, openError)) {
    std::fprintf(stderr, "%s\n", openError.c_str());
    return kExitFileFailed;
  }

  DecodeOptions options;
  options.bWantTexts = false;
  options.recordedAttributes = CReportCollector::RecordedAttributes();
  options.bSuppressSortOutput = true;  // the page shows the bin levels, not their ranking
  CReportCollector collector(settings);
  options.writeObserver = collector.WriteObserver();
  CLogDecoder decoder(options);
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
  AppendReportHtml(html, collector.Finish());
  bool written = std::fwrite(html.data(), 1, html.size(), output.Stream()) == html.size();
  int nErrno = errno;
  if (!written) {
    output.Abandon();
    std::fprintf(stderr, "%s\n", DescribeSystemError(outputName == "-" ? "standard output" : outputName, nErrno).c_str());
    return kExitFileFailed;
  }
  if (!output.Commit(error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return kExitFileFailed;
  }
  if (outputName != "-")
    std::fprintf(stderr, "vyrhost report: wrote %s (%.1f MB)\n", outputName.c_str(), static_cast<double>(html.size()) / 1e6);
  return kExitOk;
}
