// What `vyrhost info` tells about a log, gathered from its decoded messages:
// the header message's payload (software version and header fields), the
// payload names of the first measurement message (the columns), the message
// counts by class, the time span, and the frequency plan or the channel
// frequencies that decoding laid down in the data state.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "vyr/FrequencyPlan.h"
#include "vyr/LogDecoder.h"

struct MessageClassCount {
  int nClass = 0;
  std::string strName;  // as the decode device announces it; empty when it does not
  std::uint64_t nCount = 0;
};

struct ChannelFrequency {
  int nIndex = 0;
  double dFrequencyMHz = 0;
};

// What one header message sets up: a log that is stopped and resumed with a
// new set-up holds several.
struct HeaderSection {
  std::uint64_t nMessage = 0;  // index of the header message
  std::string strSoftwareVersion;
  std::vector<std::pair<std::string, std::string>> fields;  // without "Software Version"
  std::vector<std::string> columns;  // payload names of the first measurement message after it
  std::vector<PlanBand> bands;       // the frequency plan it laid down
  std::vector<ChannelFrequency> channels;
};

struct LogSummary {
  DecodedFileInfo file;
  std::string strDecodeDevice;
  std::vector<HeaderSection> headers;  // in file order
  std::uint64_t nMessages = 0;
  std::uint64_t nMeasurementMessages = 0;
  std::uint64_t nPositions = 0;  // measurement messages with a position
  std::int64_t nDurationMs = 0;  // the latest message time
  bool bLastLineCut = false;     // DecodeCounts::bLastLineCut, set by the caller
  std::vector<MessageClassCount> classes;

  // "scan" (a frequency plan), "channels" (fixed frequencies) or "other",
  // after the first header.
  const char* Kind() const;
  std::string EndTime() const;
};

class CLogSummaryCollector {
 public:
  explicit CLogSummaryCollector(const ScanAttributes& ids = ScanAttributes::Get()) : m_ids(ids) {}

  void OnFile(const DecodedFileInfo& info);
  // The plan is the one in force after the message.
  void OnMessage(const DecodedMessage& m, const CFrequencyPlan& plan);
  // The summary, with the message counts by class; call after the last message.
  const LogSummary& Finish();

 private:
  void TakeHeader(const DecodedMessage& m, const CFrequencyPlan& plan);
  void TakeChannels(const DecodedMessage& m, HeaderSection& section);
  void TakeClassNames();

  const ScanAttributes& m_ids;
  LogSummary m_summary;
  std::map<int, std::uint64_t> m_classCounts;
  std::map<int, std::string> m_classNames;
  bool m_bNeedColumns = false;
};

// The summary as a readable listing and as one JSON line (`vyrhost info`, the report).
void AppendSummaryText(std::string& out, const LogSummary& s);
void AppendSummaryJson(std::string& out, const LogSummary& s);
