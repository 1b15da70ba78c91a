// vyrhost export: the bin levels of logs as CSV or JSON Lines rows, GeoJSON
// points or rtl_power sweep lines, all logs into one output.
#include <cstdint>
#include <cstdio>
#include <limits>
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
struct ExportCommandSettings {
  ExportFormat format = ExportFormat::Csv;
  std::string strOutput = "-";
  double dLevelThreshold = -std::numeric_limits<double>::infinity();
  bool bSpreadsheetSafe = false;
  std::vector<std::string> files;
};

// A format option: a flag, one of which is given.
Option<ExportCommandSettings> FormatFlag(const char* pszName, ExportFormat format, const char* pszHelp) {
  return {{pszName, "", "", pszHelp, true}, [format](ExportCommandSettings& s, const std::string&, std::string&) {
            s.format = format;
            return true;
          }};
}

const CommandSpec<ExportCommandSettings>& Spec() {
  using S = ExportCommandSettings;
  static const CommandSpec<S> spec{
      {kExportCommand.info, "FILE...", "no log file given", nullptr, kNumberNotes},
      {FormatFlag("--csv", ExportFormat::Csv,
                  "one row per level, with a header line; for spreadsheets, pandas, DuckDB and Spark"),
       FormatFlag("--jsonl", ExportFormat::Jsonl, "the same rows as JSON Lines; for DuckDB, Spark and jq"),
       FormatFlag("--geojson", ExportFormat::GeoJson,
                  "one point per message with a position (GeoJSON); for QGIS, GDAL's ogr2ogr (GeoPackage, KML, "
                  "Shapefile)"),
       FormatFlag("--sweeps", ExportFormat::Sweeps,
                  "one rtl_power CSV line per band of a message; for the heat-map and SDR tools that read rtl_power"),
       OutputOption(&S::strOutput, "OUT", "the file to write (default: standard output)"),
       LevelThresholdOption(&S::dLevelThreshold),
       {{"--spreadsheet-safe", "", "",
         "with --csv: a file cell that begins with =, +, -, @, a tab or a CR starts with ' instead, so that no "
         "spreadsheet takes it for a formula (without it, cells are the exact file names, as DuckDB and pandas "
         "want them)"},
        [](S& s, const std::string&, std::string&) {
          s.bSpreadsheetSafe = true;
          return true;
        }}},
      [](const S& s, std::string& why) {
        if (s.bSpreadsheetSafe && s.format != ExportFormat::Csv) why = "--spreadsheet-safe is for --csv";
        return why.empty();
      }};
  return spec;
}

// Exports one log. Returns false when the log failed.
bool ExportOneFile(const std::string& path, bool bSpreadsheetSafe, CExportWriter& writer, COutputWriter& out) {
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
  const std::string fileCell = bSpreadsheetSafe ? SpreadsheetSafeCell(path) : path;
  auto onFile = [&](const DecodedFileInfo& info) { start = info.startTime; };
  auto onMessage = [&](const DecodedMessage& m) {
    // Row formats take a few thousand rows at a time, so that neither the rows
    // of a line of millions of levels nor their text are held whole.
    const size_t nMaxRows = writer.TakesRowsInPieces() ? kRowsAtATime : SIZE_MAX;
    extractor.Extract(m, rows, nMaxRows);
    writer.Message(out.Buffer(), ExportMessage{fileCell, m, start, rows, extractor});
    out.MaybeFlush();
    while (!out.Failed() && nMaxRows != SIZE_MAX && extractor.ExtractMore(m.dataState, rows, nMaxRows)) {
      writer.Message(out.Buffer(), ExportMessage{fileCell, m, start, rows, extractor});
      out.MaybeFlush();
    }
    if (out.Failed()) decoder.Stop();
  };
  auto onProgress = [&](std::uint64_t done, std::uint64_t total) { progress.Update(done, total); };
  RolRetc rc = decoder.Decode(path, onFile, onMessage, counts, error, onProgress);
  out.Flush();
  std::string note = writer.EndFile(path);
  if (!note.empty() && !out.Failed()) std::fprintf(stderr, "%s\n", note.c_str());
  if (rc == ROL_OK || out.Failed()) return rc == ROL_OK;
  std::fprintf(stderr, "%s\n", DescribeDecodeFailure(path, rc, error).c_str());
  return false;
}

}  // namespace

int RunExport(const GlobalOptions& global, const std::vector<std::string>& args) {
  ExportCommandSettings settings;
  if (ParseOutcome outcome = ParseCommand(Spec(), args, settings); outcome != ParseOutcome::Run)
    return ExitWithoutRunning(outcome);
  if (!LoadPlugins(global)) return kExitFileFailed;
  UseLevelThreshold(settings.dLevelThreshold);
  const std::string& outputName = settings.strOutput;
  COutputFile output;
  std::string error;
  if (!output.Open(outputName, settings.files, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return kExitFileFailed;
  }
  bool allOk = true;
  int nWriteErrno = 0;
  {
    COutputWriter out(output.Stream());
    std::unique_ptr<CExportWriter> writer = MakeExportWriter(settings.format);
    writer->Begin(out.Buffer());
    for (const std::string& path : settings.files) {
      allOk = ExportOneFile(path, settings.bSpreadsheetSafe, *writer, out) && allOk;
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

const Command kExportCommand = {
    {"export", "the levels of the measurement messages as CSV or JSON Lines rows, GeoJSON points or rtl_power "
               "sweeps, all logs into one output"},
    RunExport};
