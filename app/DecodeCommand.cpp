#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "Commands.h"
#include "OutputFile.h"
#include "OutputWriter.h"
#include "ParallelFiles.h"
#include "Progress.h"
#include "TextSpool.h"
#include "vyr/Records.h"

namespace {
enum class DecodeFormat { Text, Jsonl, Summary };

struct DecodeArgs {
  DecodeFormat format = DecodeFormat::Text;
  vyr::DecodeSettings settings;
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
      out.settings.levelThreshold = d;
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
bool DecodeOneFile(const std::string& path, const DecodeArgs& da, bool bShowProgress, COutputWriter& out,
                   std::string& err) {
  vyr::DecodeRequest request;
  request.settings = da.settings;
  request.texts = request.writes = da.format != DecodeFormat::Summary;
  // Every attribute write counts, the ranked lists' too, whatever is shown.
  request.rankedLevels = true;
  CProgress progress("decoding " + path, bShowProgress);
  request.progress = [&](std::uint64_t done, std::uint64_t total) { progress.Update(done, total); };
  vyr::LogDecoder decoder(request);
  CListingVisitor visitor(da.format, out, decoder);
  vyr::DecodeResult result = decoder.Decode(path, visitor);
  if (result.Ok() && da.format == DecodeFormat::Summary) vyr::AppendCountsJson(out.Buffer(), path, result.counts);
  out.Flush();
  if (visitor.Writes().Failed()) {
    err = DescribeSystemError("temporary file of the attribute writes of " + path, visitor.Writes().Errno()) + "\n";
    return false;
  }
  if (out.Failed()) return false;
  if (!result.Ok()) {
    err = "vyrhost: " + result.Describe(path) + "\n";
    return false;
  }
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
    return DecodeOneFile(path, da, bShowProgress, out, err);
  });
  return allOk ? kExitOk : kExitFileFailed;
}
