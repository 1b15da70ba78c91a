// What `vyrhost info` tells about a log, gathered from its decoded messages:
// each header's payload fields and the payload names of the first
// measurement message after it (the columns), the section it set up, the
// message counts by class, the time span and the positions.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "vyr/Log.h"

namespace vyr {

struct MessageClassCount {
  int number = 0;
  std::string name;  // as the decode device announces it; empty when it does not
  std::uint64_t count = 0;
};

struct BandSummary {
  int number = 0;
  int firstElement = 0;
  std::size_t bins = 0;
  double startMHz = 0;
  double stopMHz = 0;
  double stepKHz = 0;
};

struct ChannelSummary {
  int element = 0;  // channel element + 1 is the channel
  double mhz = 0;
};

// What one header message sets up: a log that is stopped and resumed with a
// new set-up holds several.
struct HeaderSummary {
  std::uint64_t message = 0;  // index of the header message
  std::string softwareVersion;
  std::vector<std::pair<std::string, std::string>> fields;  // without the software version
  std::vector<std::string> columns;
  // The plan it laid down, or the channels it names with a frequency.
  std::vector<BandSummary> bands;
  std::vector<ChannelSummary> channels;
};

struct LogSummary {
  FileInfo file;
  std::vector<HeaderSummary> headers;  // in file order
  std::uint64_t messages = 0;
  std::uint64_t measurementMessages = 0;
  std::uint64_t positions = 0;    // measurement messages with both coordinates
  std::int64_t durationMs = 0;    // the latest message time
  bool lastLineCut = false;       // DecodeResult::lastLineCut
  std::vector<MessageClassCount> classes;

  // "scan" (a frequency plan), "channels" (fixed frequencies) or "other",
  // after the first header.
  const char* Kind() const;
  std::string EndIso() const;
};

// Follows a decode; Summary() once it is done.
class SummaryVisitor : public LogVisitor {
 public:
  void OnFile(const FileInfo& info) override;
  void OnMessage(const Message& m) override;
  void OnEnd(const DecodeResult& r) override { m_summary.lastLineCut = r.lastLineCut; }
  // With the message counts by class.
  const LogSummary& Summary();

  // What a decode for it needs.
  static DecodeRequest Request(const DecodeSettings& settings = {});

 private:
  LogSummary m_summary;
  std::map<int, std::uint64_t> m_classCounts;
  bool m_bNeedColumns = false;
};

// The one form of a duration, as the report pages write it too: "5.500 s",
// "12 min 05.500 s", "3 h 02 min 05.500 s".
std::string FormatDuration(std::int64_t ms);
// The summary as a readable listing and as one JSON line.
void AppendSummaryText(std::string& out, const LogSummary& s);
void AppendSummaryJson(std::string& out, const LogSummary& s);

}  // namespace vyr
