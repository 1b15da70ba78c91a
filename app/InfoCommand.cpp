// vyrhost info: what a log holds, from its decoded messages.
#include <cstdio>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "Commands.h"
#include "OutputFile.h"
#include "vyr/LogSummary.h"
#include "OutputWriter.h"
#include "Progress.h"

namespace {
const char kInfoUsage[] = "usage: vyrhost info [--format text|json] FILE...\nTry 'vyrhost --help' for more.\n";

// Decodes a log into its summary. Returns false after reporting a failure.
bool SummarizeFile(const std::string& path, LogSummary& summary) {
  DecodeOptions options;
  options.bWantTexts = false;
  // The summary reads the plan's band starts and the channel frequencies.
  const ScanAttributes& ids = ScanAttributes::Get();
  options.recordedAttributes = {ids.nBandStartIdx, ids.nFreq};
  options.bSuppressSortOutput = true;
  CLogDecoder decoder(options);
  CLogSummaryCollector collector;
  CFrequencyPlan plan;
  DecodeCounts counts;
  std::string error;
  CProgress progress("reading " + path);
  auto onFile = [&](const DecodedFileInfo& info) { collector.OnFile(info); };
  auto onMessage = [&](const DecodedMessage& m) {
    plan.Update(m.writes, m.dataState);
    collector.OnMessage(m, plan);
  };
  auto onProgress = [&](std::uint64_t done, std::uint64_t total) { progress.Update(done, total); };
  RolRetc rc = decoder.Decode(path, onFile, onMessage, counts, error, onProgress);
  if (rc == ROL_OK) {
    summary = collector.Finish();
    summary.bLastLineCut = counts.bLastLineCut;
    if (counts.bLastLineCut) std::fprintf(stderr, "%s\n", DescribeCutLastLine(path).c_str());
    return true;
  }
  std::fprintf(stderr, "%s\n", DescribeDecodeFailure(path, rc, error).c_str());
  return false;
}
}  // namespace

int RunInfo(const GlobalOptions& global, const std::vector<std::string>& args) {
  static const std::vector<OptionDefn> options = {{"--format", nullptr, true}};
  ParsedCommandLine cl;
  bool ok = ParseCommandLine("info", args, options, cl);
  std::string format = cl.Get("--format", "text");
  if (ok && format != "text" && format != "json") {
    std::fprintf(stderr, "vyrhost info: unknown format '%s' (text or json)\n", format.c_str());
    ok = false;
  }
  if (ok && cl.files.empty()) {
    std::fprintf(stderr, "vyrhost info: no log file given\n");
    ok = false;
  }
  if (!ok) {
    std::fputs(kInfoUsage, stderr);
    return kExitUsage;
  }
  if (!LoadPlugins(global)) return kExitFileFailed;
  COutputWriter out(stdout);
  bool allOk = true;
  for (size_t i = 0; i < cl.files.size(); ++i) {
    LogSummary summary;
    if (!SummarizeFile(cl.files[i], summary)) {
      allOk = false;
      continue;
    }
    if (format == "json") {
      AppendSummaryJson(out.Buffer(), summary);
    } else {
      if (i) out.Buffer() += '\n';
      AppendSummaryText(out.Buffer(), summary);
    }
    out.Flush();
    // The failed write is told with its own reason; the logs after it are
    // not read for nothing.
    if (out.Failed()) {
      std::fprintf(stderr, "%s\n", DescribeSystemError("standard output", out.Errno()).c_str());
      return kExitFileFailed;
    }
  }
  return allOk ? kExitOk : kExitFileFailed;
}
