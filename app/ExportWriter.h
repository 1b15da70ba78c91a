// One format of `vyrhost export`, as the command drives it: every decoded
// message of each log in turn, written into the buffer of the output, which
// the command flushes and checks. A writer keeps only what the format needs
// between messages (the channels of the log, counts), so memory does not
// grow with the log.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ExportFormats.h"
#include "vyr/LevelRows.h"

struct ExportMessage {
  std::string_view file;  // the log as given on the command line
  const DecodedMessage& decoded;
  const CVyrMilliSecAbsTime& fileStart;
  const std::vector<LevelRow>& rows;  // the levels it left (or a piece of them); none but for a measurement message
  const CLevelRowExtractor& levels;   // with the frequency plan in force
};

class CExportWriter {
 public:
  virtual ~CExportWriter() = default;
  // The attributes whose writes a decode must record for this format; the
  // bin levels are followed through the extractor's write observer.
  virtual std::vector<int> RecordedAttributes() const {
    return CLevelRowExtractor::RecordedAttributesWithObserver();
  }
  // True when Message may get a measurement message's rows in pieces, one
  // call per piece; otherwise it gets them all in one call.
  virtual bool TakesRowsInPieces() const { return false; }
  // Before the first log (a header line, the start of a collection).
  virtual void Begin(std::string& /*out*/) {}
  // Every message of a log, header messages included.
  virtual void Message(std::string& out, const ExportMessage& m) = 0;
  // After each log: a note for standard error about it, or nothing.
  virtual std::string EndFile(std::string_view /*file*/) { return {}; }
  // After the last log, also after a failed one, so that the output stays
  // well-formed.
  virtual void End(std::string& /*out*/) {}
};

std::unique_ptr<CExportWriter> MakeExportWriter(ExportFormat format);
