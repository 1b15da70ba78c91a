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
#include "PieceOutput.h"
#include "Progress.h"
#include "TextSpool.h"
#include "vyr/Records.h"

namespace {
enum class DecodeFormat { Text, Jsonl, Summary };

struct DecodeCommandSettings {
  DecodeFormat format = DecodeFormat::Text;
  double dLevelThreshold = -std::numeric_limits<double>::infinity();
  int nJobs = 0;  // 0: files one at a time, one large log on every core
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
       JobsOption(&S::nJobs, "decode N files at a time, or one log larger than 64 MiB in N pieces side by side",
                  "1 file, a single log on every core",
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

// The listing of a piece of a log after the first: held back until its turn.
class CPieceListing final : public vyr::LogVisitor {
 public:
  CPieceListing(DecodeFormat format, vyr::LogDecoder& decoder) : m_listing(format, m_output.Writer(), decoder) {}
  void OnFile(const vyr::FileInfo& info) override { m_listing.OnFile(info); }
  void OnWrite(const vyr::AttributeWrite& w) override { m_listing.OnWrite(w); }
  void OnMessage(const vyr::Message& m) override { m_listing.OnMessage(m); }
  CPieceOutput& Output() { return m_output; }
  const CTextSpool& Writes() const { return m_listing.Writes(); }

 private:
  CPieceOutput m_output;
  CListingVisitor m_listing;
};

// Decodes one file into out, in nPieceJobs pieces side by side if it is
// large; why the file failed is described in err (a failed write is for the
// caller to report). Returns false when it failed.
bool DecodeOneFile(const std::string& path, const DecodeCommandSettings& settings, bool bShowProgress,
                   int nPieceJobs, COutputWriter& out, std::string& err) {
  vyr::DecodeRequest request;
  request.settings = DecodeSettingsWith(settings.dLevelThreshold);
  request.texts = request.writes = settings.format != DecodeFormat::Summary;
  // Every attribute write counts, the ranked lists' too, whatever is shown.
  request.rankedLevels = true;
  CProgress progress("decoding " + path, bShowProgress);
  request.progress = [&](std::uint64_t done, std::uint64_t total) { progress.Update(done, total); };
  vyr::LogDecoder decoder(request);
  int nWritesErrno = 0, nPieceErrno = 0;
  vyr::DecodeResult result = decoder.DecodeInPieces(
      path, settings.format == DecodeFormat::Summary ? PieceOptionsFor(nPieceJobs) : PieceOptionsFor(nPieceJobs, kListingPieceBytes),
      [&](std::size_t piece) -> std::unique_ptr<vyr::LogVisitor> {
        // The first piece is written first: it writes straight to out.
        if (piece == 0) return std::make_unique<CListingVisitor>(settings.format, out, decoder);
        return std::make_unique<CPieceListing>(settings.format, decoder);
      },
      [&](std::size_t piece, vyr::LogVisitor& visitor) {
        const CTextSpool& writes = piece == 0 ? static_cast<CListingVisitor&>(visitor).Writes()
                                              : static_cast<CPieceListing&>(visitor).Writes();
        if (writes.Failed() && nWritesErrno == 0) nWritesErrno = writes.Errno();
        if (piece > 0 && nWritesErrno == 0 && nPieceErrno == 0)
          nPieceErrno = static_cast<CPieceListing&>(visitor).Output().CopyTo(out);
        if (out.Failed() || nWritesErrno != 0 || nPieceErrno != 0) decoder.Stop();
      });
  if (result.Ok() && settings.format == DecodeFormat::Summary)
    vyr::AppendCountsJson(out.Buffer(), path, result.counts);
  out.Flush();
  DescribePieces(path, result, err);
  if (nWritesErrno != 0 || nPieceErrno != 0) {
    const char* pszWhat = nWritesErrno != 0 ? "temporary file of the attribute writes of " : "temporary spool of ";
    err = DescribeSystemError(pszWhat + path + " in " + COutputSpool::Folder(),
                              nWritesErrno != 0 ? nWritesErrno : nPieceErrno) + "\n";
    return false;
  }
  if (out.Failed()) return false;
  if (!result.Ok()) {
    err = "vyrhost: " + result.Describe(path) + "\n";
    return false;
  }
  if (result.lastLineCut) err += "vyrhost: " + vyr::DecodeResult::DescribeCutLastLine(path) + "\n";
  return true;
}
}  // namespace

int RunDecode(const GlobalOptions& global, const std::vector<std::string>& args) {
  DecodeCommandSettings settings;
  if (ParseOutcome outcome = ParseCommand(Table(), args, settings); outcome != ParseOutcome::Run)
    return ExitWithoutRunning(outcome);
  if (RefuseStandardOutputAsInput(settings.files) || !LoadPlugins(global)) return kExitFileFailed;
  // One log alone is decoded in pieces on every job; several logs are
  // decoded a file per job.
  const bool bOneLog = settings.files.size() == 1;
  const int nFileJobs = settings.nJobs > 0 ? settings.nJobs : 1;
  const int nPieceJobs = !bOneLog ? 1 : settings.nJobs > 0 ? settings.nJobs : CoreCount();
  bool bShowProgress = nFileJobs == 1;
  bool allOk = RunFilesInOrder(settings.files, nFileJobs,
                               [&](const std::string& path, COutputWriter& out, std::string& err) {
                                 return DecodeOneFile(path, settings, bShowProgress, nPieceJobs, out, err);
                               });
  return allOk ? kExitOk : kExitFileFailed;
}

const Command kDecodeCommand = {{"decode", "decode every message of each log: a readable listing, JSON Lines or counts"},
                                RunDecode};
