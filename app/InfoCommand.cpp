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
struct InfoCommandSettings {
  bool bJson = false;
  std::vector<std::string> files;
};

const CommandSpec<InfoCommandSettings>& Table() {
  using S = InfoCommandSettings;
  static const CommandSpec<S> table{
      {kInfoCommand.info, "FILE...", "no log file given", nullptr, nullptr},
      {FormatOption(&S::bJson, {{"text", false}, {"json", true}},
                    "text: a readable listing (the default)\njson: one JSON line per file")},
      nullptr};
  return table;
}

// Decodes a log into its summary. Returns false after reporting a failure.
bool SummarizeFile(const std::string& path, vyr::LogSummary& summary) {
  vyr::DecodeRequest request = vyr::SummaryVisitor::Request();
  CProgress progress("reading " + path);
  request.progress = [&](std::uint64_t done, std::uint64_t total) { progress.Update(done, total); };
  vyr::SummaryVisitor visitor;
  vyr::DecodeResult result = vyr::LogDecoder(request).Decode(path, visitor);
  if (result.Ok()) {
    summary = visitor.Summary();
    if (result.lastLineCut)
      std::fprintf(stderr, "vyrhost: %s\n", vyr::DecodeResult::DescribeCutLastLine(path).c_str());
    return true;
  }
  std::fprintf(stderr, "vyrhost: %s\n", result.Describe(path).c_str());
  return false;
}
}  // namespace

int RunInfo(const GlobalOptions& global, const std::vector<std::string>& args) {
  InfoCommandSettings settings;
  if (ParseOutcome outcome = ParseCommand(Table(), args, settings); outcome != ParseOutcome::Run)
    return ExitWithoutRunning(outcome);
  if (RefuseStandardOutputAsInput(settings.files) || !LoadPlugins(global)) return kExitFileFailed;
  const std::vector<std::string>& files = settings.files;
  COutputWriter out(stdout);
  bool allOk = true;
  for (size_t i = 0; i < files.size(); ++i) {
    vyr::LogSummary summary;
    if (!SummarizeFile(files[i], summary)) {
      allOk = false;
      continue;
    }
    if (settings.bJson) {
      vyr::AppendSummaryJson(out.Buffer(), summary);
    } else {
      if (i) out.Buffer() += '\n';
      // Header values and column names come from the log: no control byte
      // of theirs reaches a terminal.
      std::string text;
      vyr::AppendSummaryText(text, summary);
      vyr::AppendEscapedText(out.Buffer(), text, "\n");
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

const Command kInfoCommand = {
    {"info", "what each log holds: type, software version, times, message counts, header fields, columns, "
             "bands or channels"},
    RunInfo};
