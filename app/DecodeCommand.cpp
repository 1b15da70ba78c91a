#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "Commands.h"
#include "DecodeFormats.h"
#include "OutputFile.h"
#include "OutputWriter.h"
#include "ParallelFiles.h"
#include "Progress.h"
#include "TextSpool.h"
#include "VyrDecodeDevice.h"

namespace {
struct DecodeArgs {
  DecodeFormat format = DecodeFormat::Text;
  int nJobs = 1;
  std::vector<std::string> files;
};

bool ParseFormat(const std::string& s, DecodeFormat& f) {
  if (s == "text") f = DecodeFormat::Text;
  else if (s == "jsonl") f = DecodeFormat::Jsonl;
  else if (s == "summary") f = DecodeFormat::Summary;
  else return false;
  return true;
}

// Returns false after printing what is wrong.
bool ParseDecodeArgs(const std::vector<std::string>& args, DecodeArgs& out) {
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (optionsEnded || a.empty() || a[0] != '-' || a == "-") {
      out.files.push_back(a);
      continue;
    }
    if (a == "--") {
      optionsEnded = true;
      continue;
    }
    auto value = [&](const char* name, std::string& v) {
      std::string prefix = std::string(name) + "=";
      if (a.rfind(prefix, 0) == 0) {
        v = a.substr(prefix.size());
        return true;
      }
      // Short options take their value attached too: "-j3".
      if (name[1] != '-' && a.size() > 2 && a.rfind(name, 0) == 0) {
        v = a.substr(2);
        return true;
      }
      if (a == name && i + 1 < args.size()) {
        v = args[++i];
        return true;
      }
      return false;
    };
    std::string v;
    if (a.rfind("--format", 0) == 0 && value("--format", v)) {
      if (!ParseFormat(v, out.format)) {
        std::fprintf(stderr, "vyrhost decode: unknown format '%s' (text, jsonl or summary)\n", v.c_str());
        return false;
      }
    } else if (a.rfind("--level-threshold", 0) == 0 && value("--level-threshold", v)) {
      double d;
      if (!ParseNumber(v, d)) {
        std::fprintf(stderr, "vyrhost decode: the level threshold '%s' is not a number\n", v.c_str());
        return false;
      }
      CVyrDecodeDevice::m_prefs.dLevelThreshold = d;
    } else if ((a.rfind("--jobs", 0) == 0 && value("--jobs", v)) || (a.rfind("-j", 0) == 0 && value("-j", v))) {
      char* end = nullptr;
      long n = std::strtol(v.c_str(), &end, 10);
      if (v.empty() || *end != '\0' || n < 1 || n > 256) {
        std::fprintf(stderr, "vyrhost decode: the number of jobs '%s' is not a number from 1 to 256\n", v.c_str());
        return false;
      }
      out.nJobs = static_cast<int>(n);
    } else {
      std::fprintf(stderr, "vyrhost decode: unknown or incomplete option '%s'\n", a.c_str());
      return false;
    }
  }
  if (out.files.empty()) {
    std::fprintf(stderr, "vyrhost decode: no log file given\n");
    return false;
  }
  return true;
}

void PrintDecodeUsage() {
  std::fprintf(stderr, "usage: vyrhost decode [--format text|jsonl|summary] [--level-threshold DBM] [--jobs N] FILE...\n"
                       "Try 'vyrhost --help' for more.\n");
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
    err = DescribeSystemError("temporary file of the attribute writes of " + path, writes.Errno()) + "\n";
    return false;
  }
  if (out.Failed()) return false;
  if (rc != ROL_OK) {
    err = DescribeDecodeFailure(path, rc, error) + "\n";
    return false;
  }
  if (counts.bLastLineCut) err = DescribeCutLastLine(path) + "\n";
  return true;
}
}  // namespace

int RunDecode(const GlobalOptions& global, const std::vector<std::string>& args) {
  DecodeArgs da;
  if (!ParseDecodeArgs(args, da)) {
    PrintDecodeUsage();
    return kExitUsage;
  }
  if (!LoadPlugins(global)) return kExitFileFailed;
  bool bShowProgress = da.nJobs == 1;
  bool allOk = RunFilesInOrder(da.files, da.nJobs, [&](const std::string& path, COutputWriter& out, std::string& err) {
    return DecodeOneFile(path, da.format, bShowProgress, out, err);
  });
  return allOk ? kExitOk : kExitFileFailed;
}
