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
// the message left a level get a line. A channel log gives one line per
// message with the channels as the bins: Hz low and Hz high the lowest and
// highest channel frequency, step 0. Levels are written in the shortest form
// that reads back as the same double (as in the CSV export); frequencies in
// whole hertz, the step with two decimals, as rtl_power does.
#pragma once

#include <cstdint>

#include "ChannelList.h"
#include "ExportWriter.h"

class CSweepsWriter : public CExportWriter {
 public:
  std::vector<int> RecordedAttributes() const override;
  void Message(std::string& out, const ExportMessage& m) override;
  std::string EndFile(std::string_view file) override;

 private:
  // Writes the line of one band from rows [first, last); false when the
  // plan gives no frequency for the band's first or last bin.
  bool AppendBandLine(std::string& out, std::string_view stamp, const CFrequencyPlan& plan, int nBand,
                      const LevelRow* first, const LevelRow* last);
  void AppendChannelLine(std::string& out, std::string_view stamp, const std::vector<LevelRow>& rows);

  CChannelList m_channels;
  std::uint64_t m_nUnplaced = 0;  // levels of the current log that no line can hold
};
