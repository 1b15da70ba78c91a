#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "Commands.h"
#include "OutputFile.h"
#include "OutputSpool.h"
#include "OutputWriter.h"
#include "ParallelFiles.h"
#include "Progress.h"
#include "TextSpool.h"
#include "vyr/Records.h"

namespace {
enum class DecodeFormat { Text, Jsonl, Summary };

struct DecodeCommandSettings {
  DecodeFormat format = DecodeFormat::Text;
  double dLevelThreshold = -std::numeric_limits<double>::infinity();
  int nJobs = 1;
  std::vector<std::string> files;
};

const CommandSpec<DecodeCommandSettings>& Table() {
  using S = DecodeCommandSettings;
  static const CommandSpec<S> table{
      {kDecodeCommand.info, "FILE...", "no log file given", nullptr, kNumberNotes},
      {FormatOption(&S::format,
                    {{"text", DecodeFormat::Text}, {"jsonl", DecodeFormat::Jsonl}, {"summary", DecodeFormat::Summary}},
                    "text: a readable listing of every message (the default)\n"
                    "jsonl: one JSON object per file start and per message\n"
                    "summary: one JSON line of counts per file"),
       LevelThresholdOption(&S::dLevelThreshold),
       JobsOption(&S::nJobs, "decode N files at a time", "1",
                  "the output is the same as with one job, in the order the files were given")},
      nullptr};
  return table;
}

// Writes the records of one log as its decode hands them on: a message's
// writes are formatted as they come, kept in a spool, and follow its head.
class CListingVisitor final : public vyr::LogVisitor {
 public:
  CListingVisitor(DecodeFormat format, COutputWriter& out, vyr::LogDecoder& decoder)
      : m_format(format), m_out(out), m_decoder(decoder) {}

  void OnFile(const vyr::FileInfo& info) override {
    if (m_format == DecodeFormat::Text) vyr::AppendFileStartText(m_out.Buffer(), info);
    else if (m_format == DecodeFormat::Jsonl) vyr::AppendFileStartJsonl(m_out.Buffer(), info);
  }
  void OnWrite(const vyr::AttributeWrite& w) override {
    if (m_format == DecodeFormat::Text) vyr::AppendWriteText(m_writes.Buffer(), w);
    else vyr::AppendWriteJsonl(m_writes.Buffer(), w, m_bFirstWrite);
    m_bFirstWrite = false;
    m_writes.MaybeSpill();
  }
  void OnMessage(const vyr::Message& m) override {
    if (m_format == DecodeFormat::Summary) return;
    if (m_format == DecodeFormat::Text) vyr::AppendMessageTextHead(m_out.Buffer(), m, !m_bFirstWrite);
    else vyr::AppendMessageJsonlHead(m_out.Buffer(), m);
    m_out.MaybeFlush();
    m_writes.MoveTo(m_out);
    m_bFirstWrite = true;
    // A message whose writes were lost is left unfinished, and the file fails.
    if (m_format == DecodeFormat::Jsonl && !m_writes.Failed()) m_out.Buffer() += vyr::kJsonlMessageEnd;
    m_out.MaybeFlush();
    if (m_out.Failed() || m_writes.Failed()) m_decoder.Stop();
  }
  const CTextSpool& Writes() const { return m_writes; }

 private:
  DecodeFormat m_format;
  COutputWriter& m_out;
  vyr::LogDecoder& m_decoder;
  // The writes are formatted as they come and kept as text until the
  // message's head is out: a copy of each would cost far more.
  CTextSpool m_writes;
  bool m_bFirstWrite = true;
};

// Decodes one file into out; why the file failed is described in err (a
// failed write is for the caller to report). Returns false when it failed.
bool DecodeOneFile(const std::string& path, const DecodeCommandSettings& settings, bool bShowProgress,
                   COutputWriter& out, std::string& err) {
  vyr::DecodeRequest request;
  request.settings = DecodeSettingsWith(settings.dLevelThreshold);
  request.texts = request.writes = settings.format != DecodeFormat::Summary;
  // Every attribute write counts, the ranked lists' too, whatever is shown.
  request.rankedLevels = true;
  CProgress progress("decoding " + path, bShowProgress);
  request.progress = [&](std::uint64_t done, std::uint64_t total) { progress.Update(done, total); };
  vyr::LogDecoder decoder(request);
  CListingVisitor visitor(settings.format, out, decoder);
  vyr::DecodeResult result = decoder.Decode(path, visitor);
  if (result.Ok() && settings.format == DecodeFormat::Summary)
    vyr::AppendCountsJson(out.Buffer(), path, result.counts);
  out.Flush();
  if (visitor.Writes().Failed()) {
    err = DescribeSystemError("temporary file of the attribute writes of " + path + " in " + COutputSpool::Folder(),
                              visitor.Writes().Errno()) + "\n";
    return false;
  }
  if (out.Failed()) return false;
  if (!result.Ok()) {
    err = "vyrhost: " + result.Describe(path) + "\n";
    return false;
  }
  if (result.lastLineCut) err = "vyrhost: " + vyr::DecodeResult::DescribeCutLastLine(path) + "\n";
  return true;
}
}  // namespace

int RunDecode(const GlobalOptions& global, const std::vector<std::string>& args) {
  DecodeCommandSettings settings;
  if (ParseOutcome outcome = ParseCommand(Table(), args, settings); outcome != ParseOutcome::Run)
    return ExitWithoutRunning(outcome);
  if (RefuseStandardOutputAsInput(settings.files) || !LoadPlugins(global)) return kExitFileFailed;
  bool bShowProgress = settings.nJobs == 1;
  bool allOk = RunFilesInOrder(settings.files, settings.nJobs,
                               [&](const std::string& path, COutputWriter& out, std::string& err) {
                                 return DecodeOneFile(path, settings, bShowProgress, out, err);
                               });
  return allOk ? kExitOk : kExitFileFailed;
}

const Command kDecodeCommand = {{"decode", "decode every message of each log: a readable listing, JSON Lines or counts"},
                                RunDecode};
