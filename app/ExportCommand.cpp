// vyrhost export: the bin levels of logs as CSV or JSON Lines rows, GeoJSON
// points or rtl_power sweep lines, all logs into one output.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "CommandLine.h"
#include "Commands.h"
#include "ExportWriter.h"
#include "OutputFile.h"
#include "OutputWriter.h"
#include "Progress.h"
#include "VyrDecodeDevice.h"

namespace {
const char kExportUsage[] =
    "usage: vyrhost export (--csv | --jsonl | --geojson | --sweeps) [-o OUT] [--level-threshold DBM] FILE...\n"
    "Try 'vyrhost --help' for more.\n";

// The format options, one of which is given.
const std::pair<const char*, ExportFormat> kFormatOptions[] = {
    {"--csv", ExportFormat::Csv},
    {"--jsonl", ExportFormat::Jsonl},
    {"--geojson", ExportFormat::GeoJson},
    {"--sweeps", ExportFormat::Sweeps}};

// Exports one log. Returns false when the log failed.
bool ExportOneFile(const std::string& path, CExportWriter& writer, COutputWriter& out) {
  DecodeOptions options;
  options.bWantTexts = false;
  options.recordedAttributes = writer.RecordedAttributes();
  options.bSuppressSortOutput = true;  // every format shows the bin levels, not their ranking
  CLevelRowExtractor extractor;
  options.writeObserver = extractor.Observer();
  options.runObserver = extractor.RunObserver();
  CLogDecoder decoder(options);
  std::vector<LevelRow> rows;
  constexpr size_t kRowsAtATime = 4096;
  CVyrMilliSecAbsTime start;
  DecodeCounts counts;
  std::string error;
  CProgress progress("exporting " + path);
  auto onFile = [&](const DecodedFileInfo& info) { start = info.startTime; };
  auto onMessage = [&](const DecodedMessage& m) {
    // Row formats take a few thousand rows at a time, so that neither the rows
    // of a line of millions of levels nor their text are held whole.
    const size_t nMaxRows = writer.TakesRowsInPieces() ? kRowsAtATime : SIZE_MAX;
    extractor.Extract(m, rows, nMaxRows);
    writer.Message(out.Buffer(), ExportMessage{path, m, start, rows, extractor});
    out.MaybeFlush();
    while (!out.Failed() && nMaxRows != SIZE_MAX && extractor.ExtractMore(m.dataState, rows, nMaxRows)) {
      writer.Message(out.Buffer(), ExportMessage{path, m, start, rows, extractor});
      out.MaybeFlush();
    }
    if (out.Failed()) decoder.Stop();
  };
  auto onProgress = [&](std::uint64_t done, std::uint64_t total) { progress.Update(done, total); };
  RolRetc rc = decoder.Decode(path, onFile, onMessage, counts, error, onProgress);
  out.Flush();
  std::string note = writer.EndFile(path);
  if (!note.empty() && !out.Failed()) std::fprintf(stderr, "%s\n", note.c_str());
  if (counts.bLastLineCut && !out.Failed()) std::fprintf(stderr, "%s\n", DescribeCutLastLine(path).c_str());
  if (rc == ROL_OK || out.Failed()) return rc == ROL_OK;
  std::fprintf(stderr, "%s\n", DescribeDecodeFailure(path, rc, error).c_str());
  return false;
}

bool ParseExportArgs(const std::vector<std::string>& args, ParsedCommandLine& cl, ExportFormat& format) {
  static const std::vector<OptionDefn> options = {
      {"--csv", nullptr, false},      {"--jsonl", nullptr, false},        {"--geojson", nullptr, false},
      {"--sweeps", nullptr, false},   {"--output", "-o", true},           {"--level-threshold", nullptr, true}};
  if (!ParseCommandLine("export", args, options, cl)) return false;
  int nFormats = 0;
  for (const auto& [name, f] : kFormatOptions) {
    if (!cl.Has(name)) continue;
    format = f;
    ++nFormats;
  }
  if (nFormats != 1) {
    std::fprintf(stderr, "vyrhost export: give one of --csv, --jsonl, --geojson and --sweeps\n");
    return false;
  }
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
    std::unique_ptr<CExportWriter> writer = MakeExportWriter(format);
    writer->Begin(out.Buffer());
    for (const std::string& path : cl.files) {
      allOk = ExportOneFile(path, *writer, out) && allOk;
      if (out.Failed()) break;
    }
    writer->End(out.Buffer());
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
