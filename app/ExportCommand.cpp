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
#include "OutputSpool.h"
#include "OutputWriter.h"
#include "PieceOutput.h"
#include "Progress.h"

namespace {
struct ExportCommandSettings {
  ExportFormat format = ExportFormat::Csv;
  std::string strOutput = "-";
  double dLevelThreshold = -std::numeric_limits<double>::infinity();
  bool bSpreadsheetSafe = false;
  vyr::LevelCut cut;
  int nJobs = 0;  // 0: the number of cores
  std::vector<std::string> files;
};

// A format option: a flag, one of which is given.
Option<ExportCommandSettings> FormatFlag(const char* pszName, ExportFormat format, const char* pszHelp) {
  return {{pszName, "", "", pszHelp, true}, [format](ExportCommandSettings& s, const std::string&, std::string&) {
            s.format = format;
            return true;
          }};
}

const CommandSpec<ExportCommandSettings>& Table() {
  using S = ExportCommandSettings;
  static const CommandSpec<S> table{
      {kExportCommand.info, "FILE...", "no log file given", nullptr, kNumberAndCutNotes},
      Concat<S>({FormatFlag("--csv", ExportFormat::Csv,
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
        }},
       JobsOption(&S::nJobs, "decode a log larger than 64 MiB in N pieces side by side (--csv and --jsonl "
                  "without a cut)", "the number of cores", "the output is the same as with one job")},
                CutOptions(&S::cut)),
      [](const S& s, std::string& why) {
        if (s.bSpreadsheetSafe && s.format != ExportFormat::Csv) why = "--spreadsheet-safe is for --csv";
        return why.empty() && vyr::CheckCut(s.cut, why);
      }};
  return table;
}

// Hands a decode of one log to the format's writer, flushing as it goes.
class CExportVisitor final : public vyr::LogVisitor {
 public:
  CExportVisitor(const std::string& fileCell, CExportWriter& writer, COutputWriter& out, vyr::LogDecoder& decoder)
      : m_fileCell(fileCell), m_writer(writer), m_out(out), m_decoder(decoder) {}

  void OnSection(const vyr::Section& s) override {
    if (!m_writer.Section(s, m_strRefusal)) m_decoder.Stop();
  }
  void OnLevels(const vyr::Message& m, const vyr::Level* levels, size_t count) override {
    m_writer.Levels(m_out.Buffer(), m_fileCell, m, levels, count);
    Flush();
  }
  void OnSweep(const vyr::Message& m, const vyr::Sweep& sweep) override {
    m_writer.Sweep(m_out.Buffer(), m, sweep);
    Flush();
  }
  void OnMessage(const vyr::Message& m) override {
    m_writer.Message(m_out.Buffer(), m_fileCell, m);
    Flush();
  }
  // Why the format refused the log; empty when it did not.
  const std::string& Refusal() const { return m_strRefusal; }

 private:
  void Flush() {
    m_out.MaybeFlush();
    if (m_out.Failed()) m_decoder.Stop();
  }
  const std::string& m_fileCell;
  CExportWriter& m_writer;
  COutputWriter& m_out;
  vyr::LogDecoder& m_decoder;
  std::string m_strRefusal;
};

// Hands everything on to a visitor that the caller keeps.
class CForwardingVisitor final : public vyr::LogVisitor {
 public:
  explicit CForwardingVisitor(vyr::LogVisitor& to) : m_to(to) {}
  void OnFile(const vyr::FileInfo& i) override { m_to.OnFile(i); }
  void OnWrite(const vyr::AttributeWrite& w) override { m_to.OnWrite(w); }
  void OnLevels(const vyr::Message& m, const vyr::Level* l, size_t n) override { m_to.OnLevels(m, l, n); }
  void OnSweep(const vyr::Message& m, const vyr::Sweep& s) override { m_to.OnSweep(m, s); }
  void OnSection(const vyr::Section& s) override { m_to.OnSection(s); }
  void OnMessage(const vyr::Message& m) override { m_to.OnMessage(m); }
  void OnEnd(const vyr::DecodeResult& r) override { m_to.OnEnd(r); }

 private:
  vyr::LogVisitor& m_to;
};

// The rows of a piece of a log after the first, with a row writer of its
// own: held back until their turn.
class CExportPiece final : public vyr::LogVisitor {
 public:
  CExportPiece(const std::string& fileCell, ExportFormat format, vyr::LogDecoder& decoder)
      : m_writer(MakeExportWriter(format)), m_visitor(fileCell, *m_writer, m_output.Writer(), decoder) {}
  void OnSection(const vyr::Section& s) override { m_visitor.OnSection(s); }
  void OnLevels(const vyr::Message& m, const vyr::Level* levels, size_t count) override {
    m_visitor.OnLevels(m, levels, count);
  }
  void OnSweep(const vyr::Message& m, const vyr::Sweep& sweep) override { m_visitor.OnSweep(m, sweep); }
  void OnMessage(const vyr::Message& m) override { m_visitor.OnMessage(m); }
  CPieceOutput& Output() { return m_output; }

 private:
  CPieceOutput m_output;
  std::unique_ptr<CExportWriter> m_writer;
  CExportVisitor m_visitor;
};

// Decodes the log for export: a row format without a cut keeps nothing from
// one message to the next, so a large log goes in pieces side by side.
vyr::DecodeResult DecodeForExport(vyr::LogDecoder& decoder, const std::string& path, const std::string& fileCell,
                                  const ExportCommandSettings& settings, CExportVisitor& visitor, COutputWriter& out) {
  const bool bRows = settings.format == ExportFormat::Csv || settings.format == ExportFormat::Jsonl;
  if (!bRows || !settings.cut.Empty()) return vyr::DecodeCut(decoder, path, settings.cut, visitor);
  const int nJobs = settings.nJobs > 0 ? settings.nJobs : CoreCount();
  int nPieceErrno = 0;
  vyr::DecodeResult result = decoder.DecodeInPieces(
      path, PieceOptionsFor(nJobs, kListingPieceBytes),
      [&](std::size_t piece) -> std::unique_ptr<vyr::LogVisitor> {
        // The first piece is written first: it writes straight to out.
        if (piece == 0) return std::make_unique<CForwardingVisitor>(visitor);
        return std::make_unique<CExportPiece>(fileCell, settings.format, decoder);
      },
      [&](std::size_t piece, vyr::LogVisitor& v) {
        if (piece > 0 && nPieceErrno == 0 && !out.Failed())
          nPieceErrno = static_cast<CExportPiece&>(v).Output().CopyTo(out);
        if (out.Failed() || nPieceErrno != 0) decoder.Stop();
      });
  if (nPieceErrno != 0) {
    std::fprintf(stderr, "%s\n",
                 DescribeSystemError("temporary spool of " + path + " in " + COutputSpool::Folder(), nPieceErrno).c_str());
    result.code = vyr::DecodeResult::kStopped;
  }
  std::string note;
  DescribePieces(path, result, note);
  if (!note.empty()) std::fputs(note.c_str(), stderr);
  return result;
}

// Exports one log. Returns false when the log failed.
bool ExportOneFile(const std::string& path, const ExportCommandSettings& settings, CExportWriter& writer,
                   COutputWriter& out) {
  vyr::DecodeRequest request = writer.Request();
  request.settings = DecodeSettingsWith(settings.dLevelThreshold);
  CProgress progress("exporting " + path);
  request.progress = [&](std::uint64_t done, std::uint64_t total) { progress.Update(done, total); };
  vyr::LogDecoder decoder(request);
  const std::string fileCell = settings.bSpreadsheetSafe ? SpreadsheetSafeCell(path) : path;
  CExportVisitor visitor(fileCell, writer, out, decoder);
  vyr::DecodeResult result = DecodeForExport(decoder, path, fileCell, settings, visitor, out);
  out.Flush();
  if (!visitor.Refusal().empty()) {
    std::fprintf(stderr, "vyrhost export: %s: %s\n", vyr::EscapeFileName(path).c_str(), visitor.Refusal().c_str());
    return false;
  }
  std::string note = writer.EndFile(path);
  if (!note.empty() && !out.Failed()) std::fprintf(stderr, "%s\n", note.c_str());
  if (result.lastLineCut && !out.Failed())
    std::fprintf(stderr, "vyrhost: %s\n", vyr::DecodeResult::DescribeCutLastLine(path).c_str());
  if (result.Ok() || out.Failed()) return result.Ok();
  std::fprintf(stderr, "vyrhost: %s\n", result.Describe(path).c_str());
  return false;
}

}  // namespace

int RunExport(const GlobalOptions& global, const std::vector<std::string>& args) {
  ExportCommandSettings settings;
  if (ParseOutcome outcome = ParseCommand(Table(), args, settings); outcome != ParseOutcome::Run)
    return ExitWithoutRunning(outcome);
  vyr::PlanBands planBands;
  settings.cut.planBands = &planBands;
  if (!LoadPlugins(global)) return kExitFileFailed;
  const std::string& outputName = settings.strOutput;
  COutputFile output;
  std::string error;
  if (!output.Open(outputName, settings.files, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return kExitFileFailed;
  }
  bool allOk = true;
  bool anyRead = false;
  int nWriteErrno = 0;
  {
    COutputWriter out(output.Stream());
    std::unique_ptr<CExportWriter> writer = MakeExportWriter(settings.format);
    writer->Begin(out.Buffer());
    for (const std::string& path : settings.files) {
      const bool ok = ExportOneFile(path, settings, *writer, out);
      allOk = ok && allOk;
      anyRead = anyRead || ok;
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
  // A band that no log has is a usage error, found only now: a named output stays as it was.
  if (settings.cut.band != 0 && !planBands.Has(settings.cut.band) && anyRead) {
    output.Abandon();
    PrintUsageError(Table(), vyr::UnknownBandText(settings.cut.band, planBands.Numbers()));
    return kExitUsage;
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
