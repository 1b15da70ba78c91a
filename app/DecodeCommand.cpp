#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Commands.h"
#include "DecodeFormats.h"
#include "OutputWriter.h"
#include "Progress.h"
#include "VyrDecodeDevice.h"

namespace {
struct DecodeArgs {
  DecodeFormat format = DecodeFormat::Text;
  std::vector<std::string> files;
};

bool ParseFormat(const std::string& s, DecodeFormat& f) {
  if (s == "text") f = DecodeFormat::Text;
  else if (s == "jsonl") f = DecodeFormat::Jsonl;
  else if (s == "summary") f = DecodeFormat::Summary;
  else return false;
  return true;
}

bool ParseDouble(const std::string& s, double& d) {
  if (s.empty()) return false;
  char* end = nullptr;
  d = std::strtod(s.c_str(), &end);
  return end && *end == '\0';
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
      if (!ParseDouble(v, d)) {
        std::fprintf(stderr, "vyrhost decode: the level threshold '%s' is not a number\n", v.c_str());
        return false;
      }
      CVyrDecodeDevice::m_prefs.dLevelThreshold = d;
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
  std::fprintf(stderr, "usage: vyrhost decode [--format text|jsonl|summary] [--level-threshold DBM] FILE...\n"
                       "Try 'vyrhost --help' for more.\n");
}

// Decodes one file into the writer. Returns false when the file failed.
bool DecodeOneFile(const std::string& path, DecodeFormat format, COutputWriter& out) {
  DecodeOptions options;
  options.bRecordWrites = format != DecodeFormat::Summary;
  CLogDecoder decoder(options);
  DecodeCounts counts;
  std::string error;
  CProgress progress("decoding " + path);
  auto onFile = [&](const DecodedFileInfo& info) {
    if (format == DecodeFormat::Text) WriteFileStartText(out.Buffer(), info);
    else if (format == DecodeFormat::Jsonl) WriteFileStartJsonl(out.Buffer(), info);
  };
  auto onMessage = [&](const DecodedMessage& m) {
    if (format == DecodeFormat::Text) WriteMessageText(out.Buffer(), m);
    else if (format == DecodeFormat::Jsonl) WriteMessageJsonl(out.Buffer(), m);
    out.MaybeFlush();
  };
  auto onProgress = [&](std::uint64_t done, std::uint64_t total) { progress.Update(done, total); };
  RolRetc rc = decoder.Decode(path, onFile, onMessage, counts, error, onProgress);
  if (rc != ROL_OK) {
    out.Flush();
    if (rc == -1) std::fprintf(stderr, "vyrhost: %s: %s\n", path.c_str(), error.c_str());
    else std::fprintf(stderr, "vyrhost: %s: refused with code %d: %s\n", path.c_str(), rc,
                      DescribeReaderResult(rc).c_str());
    return false;
  }
  if (format == DecodeFormat::Summary) WriteSummaryJson(out.Buffer(), path, counts);
  out.Flush();
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
  COutputWriter out(stdout);
  bool allOk = true;
  for (const std::string& path : da.files) allOk = DecodeOneFile(path, da.format, out) && allOk;
  return allOk ? kExitOk : kExitFileFailed;
}
