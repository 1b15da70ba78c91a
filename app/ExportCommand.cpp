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

// Hands a decode of one log to the format's writer, flushing as it goes.
class CExportVisitor final : public vyr::LogVisitor {
 public:
  CExportVisitor(const std::string& path, CExportWriter& writer, COutputWriter& out, vyr::LogDecoder& decoder)
      : m_path(path), m_writer(writer), m_out(out), m_decoder(decoder) {}

  void OnSection(const vyr::Section& s) override {
    if (!m_writer.Section(s, m_strRefusal)) m_decoder.Stop();
  }
  void OnLevels(const vyr::Message& m, const vyr::Level* levels, size_t count) override {
    m_writer.Levels(m_out.Buffer(), m_path, m, levels, count);
    Flush();
  }
  void OnSweep(const vyr::Message& m, const vyr::Sweep& sweep) override {
    m_writer.Sweep(m_out.Buffer(), m, sweep);
    Flush();
  }
  void OnMessage(const vyr::Message& m) override {
    m_writer.Message(m_out.Buffer(), m_path, m);
    Flush();
  }
  // Why the format refused the log; empty when it did not.
  const std::string& Refusal() const { return m_strRefusal; }

 private:
  void Flush() {
    m_out.MaybeFlush();
    if (m_out.Failed()) m_decoder.Stop();
  }
  const std::string& m_path;
  CExportWriter& m_writer;
  COutputWriter& m_out;
  vyr::LogDecoder& m_decoder;
  std::string m_strRefusal;
};

// Exports one log. Returns false when the log failed.
bool ExportOneFile(const std::string& path, const vyr::DecodeSettings& settings, CExportWriter& writer,
                   COutputWriter& out) {
  vyr::DecodeRequest request = writer.Request();
  request.settings = settings;
  CProgress progress("exporting " + path);
  request.progress = [&](std::uint64_t done, std::uint64_t total) { progress.Update(done, total); };
  vyr::LogDecoder decoder(request);
  CExportVisitor visitor(path, writer, out, decoder);
  vyr::DecodeResult result = decoder.Decode(path, visitor);
  out.Flush();
  if (!visitor.Refusal().empty()) {
    std::fprintf(stderr, "vyrhost export: %s: %s\n", vyr::EscapeFileName(path).c_str(), visitor.Refusal().c_str());
    return false;
  }
  std::string note = writer.EndFile(path);
  if (!note.empty() && !out.Failed()) std::fprintf(stderr, "%s\n", note.c_str());
  if (result.Ok() || out.Failed()) return result.Ok();
  std::fprintf(stderr, "vyrhost: %s\n", result.Describe(path).c_str());
  return false;
}

bool ParseExportArgs(const std::vector<std::string>& args, ParsedCommandLine& cl, ExportFormat& format,
                     vyr::DecodeSettings& settings) {
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
    settings.levelThreshold = d;
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
  vyr::DecodeSettings settings;
  if (!ParseExportArgs(args, cl, format, settings)) {
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
      allOk = ExportOneFile(path, settings, *writer, out) && allOk;
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
