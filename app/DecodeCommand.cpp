#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "Commands.h"
#include "DecodeFormats.h"
#include "OutputFile.h"
#include "OutputSpool.h"
#include "OutputWriter.h"
#include "ParallelFiles.h"
#include "Progress.h"
#include "TextSpool.h"
#include "VyrDecodeDevice.h"

namespace {
struct DecodeCommandSettings {
  DecodeFormat format = DecodeFormat::Text;
  double dLevelThreshold = -std::numeric_limits<double>::infinity();
  int nJobs = 1;
  std::vector<std::string> files;
};

const CommandSpec<DecodeCommandSettings>& Spec() {
  using S = DecodeCommandSettings;
  static const CommandSpec<S> spec{
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
  return spec;
}

// Decodes one file into out; why the file failed is described in err (a
// failed write is for the caller to report). Returns false when it failed.
bool DecodeOneFile(const std::string& path, DecodeFormat format, bool bShowProgress, COutputWriter& out,
                   std::string& err) {
  DecodeOptions options;
  options.bRecordWrites = false;
  options.bWantTexts = format != DecodeFormat::Summary;
  // The writes are formatted as they come and kept as text until the
  // message's head is out: a copy of each would cost far more.
  CTextSpool writes;
  bool bFirstWrite = true;
  if (format != DecodeFormat::Summary) {
    auto append = [&](const CVyrMemoryDataState::Write& w) {
      if (format == DecodeFormat::Text) AppendWriteText(writes.Buffer(), w);
      else AppendWriteJsonl(writes.Buffer(), w, bFirstWrite);
      bFirstWrite = false;
      writes.MaybeSpill();
    };
    options.writeObserver = append;
    // A run is listed as its single writes, but stays stored a page at a time.
    options.runObserver = [append](const CVyrMemoryDataState::RunWrites& runs) {
      for (int k = 0; k < runs.nCount; ++k)
        for (int r = 0; r < runs.nRuns; ++r) append(CVyrMemoryDataState::RunWrite(runs, r, k));
    };
  }
  CLogDecoder decoder(options);
  DecodeCounts counts;
  std::string error;
  CProgress progress("decoding " + path, bShowProgress);
  auto onFile = [&](const DecodedFileInfo& info) {
    if (format == DecodeFormat::Text) WriteFileStartText(out.Buffer(), info);
    else if (format == DecodeFormat::Jsonl) WriteFileStartJsonl(out.Buffer(), info);
  };
  auto onMessage = [&](const DecodedMessage& m) {
    if (format == DecodeFormat::Text) {
      WriteMessageTextHead(out.Buffer(), m);
      if (!bFirstWrite) out.Buffer() += kTextAttributesLine;
    } else if (format == DecodeFormat::Jsonl) {
      WriteMessageJsonlHead(out.Buffer(), m);
    }
    out.MaybeFlush();
    writes.MoveTo(out);
    bFirstWrite = true;
    // A message whose writes were lost is left unfinished, and the file fails.
    if (format == DecodeFormat::Jsonl && !writes.Failed()) out.Buffer() += kJsonlMessageEnd;
    out.MaybeFlush();
    if (out.Failed() || writes.Failed()) decoder.Stop();
  };
  auto onProgress = [&](std::uint64_t done, std::uint64_t total) { progress.Update(done, total); };
  RolRetc rc = decoder.Decode(path, onFile, onMessage, counts, error, onProgress);
  if (rc == ROL_OK && format == DecodeFormat::Summary) WriteSummaryJson(out.Buffer(), path, counts);
  out.Flush();
  if (writes.Failed()) {
    err = DescribeSystemError("temporary file of the attribute writes of " + path + " in " + COutputSpool::Folder(),
                              writes.Errno()) + "\n";
    return false;
  }
  if (out.Failed()) return false;
  if (rc != ROL_OK) {
    err = DescribeDecodeFailure(path, rc, error) + "\n";
    return false;
  }
  return true;
}
}  // namespace

int RunDecode(const GlobalOptions& global, const std::vector<std::string>& args) {
  DecodeCommandSettings settings;
  if (ParseOutcome outcome = ParseCommand(Spec(), args, settings); outcome != ParseOutcome::Run)
    return ExitWithoutRunning(outcome);
  std::string error;
  if (StandardOutputIsAnInput(settings.files, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return kExitFileFailed;
  }
  if (!LoadPlugins(global)) return kExitFileFailed;
  UseLevelThreshold(settings.dLevelThreshold);
  bool bShowProgress = settings.nJobs == 1;
  bool allOk = RunFilesInOrder(settings.files, settings.nJobs,
                               [&](const std::string& path, COutputWriter& out, std::string& err) {
                                 return DecodeOneFile(path, settings.format, bShowProgress, out, err);
                               });
  return allOk ? kExitOk : kExitFileFailed;
}

const Command kDecodeCommand = {{"decode", "decode every message of each log: a readable listing, JSON Lines or counts"},
                                RunDecode};
