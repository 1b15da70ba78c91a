// One panel of the report: a band of a scan log, or the channels of a channel
// log. It keeps the waterfall reduced to screen size (the maximum level of the
// bins of each column) and the statistics of every bin (vyr::BinStats, with
// the report's threshold, counted as `vyrhost stats` counts them).
#pragma once

#include <cstdint>
#include <limits>
#include <vector>

#include "SweepReducer.h"
#include "vyr/BinStats.h"
#include "vyr/Log.h"

// A level as the report keeps it: a float, NaN for none, finite values kept
// within +-1e30.
inline float ReportLevel(double dbm) {
  if (dbm != dbm) return std::numeric_limits<float>::quiet_NaN();
  return static_cast<float>(dbm < -1e30 ? -1e30 : dbm > 1e30 ? 1e30 : dbm);
}

class CReportPanel {
 public:
  // A panel of a band: a plan's band (its number > 0) or a channel set
  // (number 0), which grows as channels appear.
  CReportPanel(const vyr::Band& band, double dThreshold, size_t nMaxCols, size_t nMaxRows);

  int Band() const { return m_nBand; }
  int FirstBin() const { return m_nFirstBin; }
  size_t Bins() const { return m_freqsMHz.size(); }
  const std::vector<double>& FrequenciesMHz() const { return m_freqsMHz; }
  const std::vector<vyr::BinStats>& Statistics() const { return m_stats; }
  std::uint32_t Sweeps() const { return m_nSweeps; }
  size_t Cols() const { return m_reducer.Cols(); }
  // The first bin of a column; column c holds bins [ColumnStart(c), ColumnStart(c + 1)).
  size_t ColumnStart(size_t c) const;
  // Whether a sweep of this band belongs to the panel: a band of a plan with
  // the same number, first element and frequencies, or a channel set that
  // moves none of its channels to another frequency.
  bool Takes(const vyr::Band& band) const;

  // The frequencies the panel holds, [dLowMHz, dHighMHz]: from its lowest to
  // its highest frequency, and half a step beyond for a band of a plan (the
  // width of its end bins); false when it has no frequency.
  bool HeldRange(double& dLowMHz, double& dHighMHz) const;
  // The bin whose frequency is nearest to mhz (of two, the lower bin); the
  // panel must have a frequency.
  size_t NearestBin(double mhz) const;

  // One message's sweep of the panel's band.
  void AddSweep(const vyr::Message& m, const vyr::Sweep& sweep, std::uint32_t nFile);
  CSweepReducer::Result Waterfall() const { return m_reducer.Finish(); }

 private:
  void FillColumns();
  void Grow(const vyr::Band& band);

  int m_nBand;
  int m_nFirstBin;
  std::vector<std::int64_t> m_planHz;  // a plan band's frequencies as set up; empty for a channel set
  std::vector<double> m_freqsMHz;  // NaN for a bin without a frequency
  double m_dThreshold;
  size_t m_nMaxCols;
  CSweepReducer m_reducer;
  std::vector<vyr::BinStats> m_stats;
  std::vector<std::uint32_t> m_column;  // the column of each bin
  std::vector<float> m_sweep;  // scratch: one sweep's column levels
  std::uint32_t m_nSweeps = 0;
};
