// One format of `vyrhost export`, as the command drives it: what a decode of
// each log hands on, written into the buffer of the output, which the
// command flushes and checks. A writer keeps only what the format needs
// between messages (counts, the section in force), so memory does not grow
// with the log.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "ExportFormats.h"
#include "vyr/Log.h"

class CExportWriter {
 public:
  virtual ~CExportWriter() = default;
  // What a decode for this format must hand on: levels or sweeps.
  virtual vyr::DecodeRequest Request() const = 0;
  // Before the first log (a header line, the start of a collection).
  virtual void Begin(std::string& /*out*/) {}
  // A section of the log; false, with why, when the format cannot hold it
  // (the log then fails).
  virtual bool Section(const vyr::Section& /*s*/, std::string& /*why*/) { return true; }
  virtual void Levels(std::string& /*out*/, std::string_view /*file*/, const vyr::Message& /*m*/,
                      const vyr::Level* /*levels*/, size_t /*count*/) {}
  virtual void Sweep(std::string& /*out*/, const vyr::Message& /*m*/, const vyr::Sweep& /*sweep*/) {}
  // Every message of a log, after its levels or sweeps.
  virtual void Message(std::string& /*out*/, std::string_view /*file*/, const vyr::Message& /*m*/) {}
  // After each log: a note for standard error about it, or nothing.
  virtual std::string EndFile(std::string_view /*file*/) { return {}; }
  // After the last log, also after a failed one, so that the output stays
  // well-formed.
  virtual void End(std::string& /*out*/) {}
};

std::unique_ptr<CExportWriter> MakeExportWriter(ExportFormat format);
