// vyrhost export: the bin levels of logs as CSV or JSON Lines rows.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "Commands.h"
#include "ExportFormats.h"
#include "OutputWriter.h"
#include "Progress.h"
#include "VyrDecodeDevice.h"

namespace {
const char kExportUsage[] =
    "usage: vyrhost export (--csv | --jsonl) [-o OUT] [--level-threshold DBM] FILE...\n"
    "Try 'vyrhost --help' for more.\n";

struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f) std::fclose(f);
  }
};

// Exports one log. Returns false when the log failed.
bool ExportOneFile(const std::string& path, ExportFormat format, COutputWriter& out) {
  DecodeOptions options;
  options.bWantTexts = false;
  CLogDecoder decoder(options);
  CLevelRowExtractor extractor;
  std::vector<LevelRow> rows;
  CVyrMilliSecAbsTime start;
  DecodeCounts counts;
  std::string error;
  CProgress progress("exporting " + path);
  auto onFile = [&](const DecodedFileInfo& info) { start = info.startTime; };
  auto onMessage = [&](const DecodedMessage& m) {
    extractor.Extract(m, rows);
    if (rows.empty()) return;
    MessageFacts facts = GetMessageFacts(m, start);
    for (const LevelRow& r : rows) {
      if (format == ExportFormat::Csv) AppendCsvRow(out.Buffer(), path, facts, r);
      else AppendJsonlRow(out.Buffer(), path, facts, r);
    }
    out.MaybeFlush();
  };
  auto onProgress = [&](std::uint64_t done, std::uint64_t total) { progress.Update(done, total); };
  RolRetc rc = decoder.Decode(path, onFile, onMessage, counts, error, onProgress);
  out.Flush();
  if (rc == ROL_OK) return true;
  if (rc == -1) std::fprintf(stderr, "vyrhost: %s: %s\n", path.c_str(), error.c_str());
  else std::fprintf(stderr, "vyrhost: %s: refused with code %d: %s\n", path.c_str(), rc,
                    DescribeReaderResult(rc).c_str());
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
  std::unique_ptr<std::FILE, FileCloser> file;
  if (cl.Has("--output") && cl.Get("--output") != "-") {
    file.reset(std::fopen(cl.Get("--output").c_str(), "wb"));
    if (!file) {
      std::fprintf(stderr, "vyrhost export: cannot write %s\n", cl.Get("--output").c_str());
      return kExitFileFailed;
    }
  }
  bool allOk = true;
  {
    COutputWriter out(file ? file.get() : stdout);
    if (format == ExportFormat::Csv) AppendCsvHeader(out.Buffer());
    for (const std::string& path : cl.files) allOk = ExportOneFile(path, format, out) && allOk;
  }
  if (file && std::ferror(file.get())) {
    std::fprintf(stderr, "vyrhost export: writing %s failed\n", cl.Get("--output").c_str());
    return kExitFileFailed;
  }
  return allOk ? kExitOk : kExitFileFailed;
}
