// vyrhost export: the bin levels of logs as CSV or JSON Lines rows.
#include <cstdio>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "Commands.h"
#include "ExportFormats.h"
#include "OutputFile.h"
#include "OutputWriter.h"
#include "Progress.h"
#include "VyrDecodeDevice.h"

namespace {
const char kExportUsage[] =
    "usage: vyrhost export (--csv | --jsonl) [-o OUT] [--level-threshold DBM] FILE...\n"
    "Try 'vyrhost --help' for more.\n";

// Exports one log. Returns false when the log failed.
bool ExportOneFile(const std::string& path, ExportFormat format, COutputWriter& out) {
  DecodeOptions options;
  options.bWantTexts = false;
  options.recordedAttributes = CLevelRowExtractor::RecordedAttributesWithObserver();
  options.bSuppressSortOutput = true;  // rows are the bin levels, not their ranking
  CLevelRowExtractor extractor;
  options.writeObserver = extractor.Observer();
  CLogDecoder decoder(options);
  std::vector<LevelRow> rows;
  constexpr size_t kRowsAtATime = 4096;
  CVyrMilliSecAbsTime start;
  DecodeCounts counts;
  std::string error;
  CProgress progress("exporting " + path);
  auto onFile = [&](const DecodedFileInfo& info) { start = info.startTime; };
  auto onMessage = [&](const DecodedMessage& m) {
    // A few thousand rows at a time: neither the rows of a line of millions
    // of levels nor their text are held whole.
    extractor.Extract(m, rows, kRowsAtATime);
    if (rows.empty()) return;
    MessageFacts facts = GetMessageFacts(m, start);
    do {
      if (format == ExportFormat::Csv) AppendCsvRows(out.Buffer(), path, facts, rows);
      else AppendJsonlRows(out.Buffer(), path, facts, rows);
      out.MaybeFlush();
    } while (!out.Failed() && extractor.ExtractMore(m.dataState, rows, kRowsAtATime));
    if (out.Failed()) decoder.Stop();
  };
  auto onProgress = [&](std::uint64_t done, std::uint64_t total) { progress.Update(done, total); };
  RolRetc rc = decoder.Decode(path, onFile, onMessage, counts, error, onProgress);
  out.Flush();
  if (rc == ROL_OK || out.Failed()) return rc == ROL_OK;
  std::fprintf(stderr, "%s\n", DescribeDecodeFailure(path, rc, error).c_str());
  return false;
}

bool ParseExportArgs(const std::vector<std::string>& args, ParsedCommandLine& cl, ExportFormat& format) {
  static const std::vector<OptionDefn> options = {
      {"--csv", nullptr, false}, {"--jsonl", nullptr, false}, {"--output", "-o", true},
      {"--level-threshold", nullptr, true}};
  if (!ParseCommandLine("export", args, options, cl)) return false;
  if (cl.Has("--csv") == cl.Has("--jsonl")) {
    std::fprintf(stderr, "vyrhost export: give one of --csv and --jsonl\n");
    return false;
  }
  format = cl.Has("--csv") ? ExportFormat::Csv : ExportFormat::Jsonl;
  if (cl.Has("--level-threshold")) {
    double d = 0;
    if (!ParseNumber(cl.Get("--level-threshold"), d)) {
      std::fprintf(stderr, "vyrhost export: the level threshold '%s' is not a number\n",
                   cl.Get("--level-threshold").c_str());
      return false;
    }
    CVyrDecodeDevice::m_prefs.dLevelThreshold = d;
  }
  if (cl.Has("--output") && cl.Get("--output").empty()) {
    std::fprintf(stderr, "vyrhost export: the output name is empty (use - for standard output)\n");
    return false;
  }
  if (cl.files.empty()) {
    std::fprintf(stderr, "vyrhost export: no log file given\n");
    return false;
  }
  return true;
}
}  // namespace

int RunExport(const GlobalOptions& global, const std::vector<std::string>& args) {
  ParsedCommandLine cl;
  ExportFormat format = ExportFormat::Csv;
  if (!ParseExportArgs(args, cl, format)) {
    std::fputs(kExportUsage, stderr);
    return kExitUsage;
  }
  if (!LoadPlugins(global)) return kExitFileFailed;
  std::string outputName = cl.Get("--output", "-");
  COutputFile output;
  std::string error;
  if (!output.Open(outputName, cl.files, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return kExitFileFailed;
  }
  bool allOk = true;
  int nWriteErrno = 0;
  {
    COutputWriter out(output.Stream());
    if (format == ExportFormat::Csv) AppendCsvHeader(out.Buffer());
    for (const std::string& path : cl.files) {
      allOk = ExportOneFile(path, format, out) && allOk;
      if (out.Failed()) break;
    }
    out.Flush();
    nWriteErrno = out.Errno();
  }
  // A failed write keeps what was at the target: the temporary file goes.
  if (nWriteErrno != 0) {
    output.Abandon();
    std::fprintf(stderr, "%s\n", DescribeSystemError(outputName == "-" ? "standard output" : outputName, nWriteErrno).c_str());
    return kExitFileFailed;
  }
  // A named output holds every log or stays as it was.
  if (!allOk && outputName != "-") {
    output.Abandon();
    std::fprintf(stderr, "vyrhost export: %s left unchanged, as a log failed\n", outputName.c_str());
    return kExitFileFailed;
  }
  if (!output.Commit(error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return kExitFileFailed;
  }
  return allOk ? kExitOk : kExitFileFailed;
}
