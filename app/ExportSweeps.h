// `vyrhost export --sweeps`: the layout that rtl_power writes and the SDR
// tools built around it read, one CSV line per band of each measurement
// message and no header line:
//
//   date, time, Hz low, Hz high, Hz step, samples, dB, dB, ...
//
// date YYYY-MM-DD and time HH:MM:SS of the message (the log's clock); Hz low
// the band's first bin and Hz high its last bin plus one step, so that
// (high - low) / step is the number of bins; samples 1; one level per bin of
// the band in plan order, "nan" where the message left none. Only bands where
// the message left a level get a line. Levels are written in the shortest
// form that reads back as the same double (as in the CSV export);
// frequencies in whole hertz, the step with two decimals, as rtl_power does.
// A channel log has no evenly spaced bins that a sweep reader could take:
// it is refused.
#pragma once

#include <cstdint>

#include "ExportWriter.h"

class CSweepsWriter : public CExportWriter {
 public:
  vyr::DecodeRequest Request() const override;
  bool Section(const vyr::Section& s, std::string& why) override;
  void Levels(std::string& out, std::string_view file, const vyr::Message& m, const vyr::Level* levels,
              size_t count) override;
  void Sweep(std::string& out, const vyr::Message& m, const vyr::Sweep& sweep) override;
  std::string EndFile(std::string_view file) override;

 private:
  std::uint64_t m_nUnplaced = 0;  // levels of the current log that no line can hold
};
