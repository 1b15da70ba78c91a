// vyrhost info: what a log holds, from its decoded messages.
#include <cstdio>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "Commands.h"
#include "OutputFile.h"
#include "vyr/Summary.h"
#include "OutputWriter.h"
#include "Progress.h"

namespace {
const char kInfoUsage[] = "usage: vyrhost info [--format text|json] FILE...\nTry 'vyrhost --help' for more.\n";

// Decodes a log into its summary. Returns false after reporting a failure.
bool SummarizeFile(const std::string& path, vyr::LogSummary& summary) {
  vyr::DecodeRequest request = vyr::SummaryVisitor::Request();
  CProgress progress("reading " + path);
  request.progress = [&](std::uint64_t done, std::uint64_t total) { progress.Update(done, total); };
  vyr::SummaryVisitor visitor;
  vyr::DecodeResult result = vyr::LogDecoder(request).Decode(path, visitor);
  if (result.Ok()) {
    summary = visitor.Summary();
    return true;
  }
  std::fprintf(stderr, "vyrhost: %s\n", result.Describe(path).c_str());
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
    vyr::LogSummary summary;
    if (!SummarizeFile(cl.files[i], summary)) {
      allOk = false;
      continue;
    }
    if (format == "json") {
      vyr::AppendSummaryJson(out.Buffer(), summary);
    } else {
      if (i) out.Buffer() += '\n';
      vyr::AppendSummaryText(out.Buffer(), summary);
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
