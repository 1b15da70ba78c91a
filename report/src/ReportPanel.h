// One panel of the report: a band of a scan log, or the channels of a channel
// log. It keeps the waterfall reduced to screen size (the maximum level of the
// bins of each column) and the statistics of every bin (vyr::BinStats, with
// the signal threshold of the report).
#pragma once

#include <cstdint>
#include <limits>
#include <vector>

#include "SweepReducer.h"
#include "vyr/BinStats.h"
#include "vyr/Log.h"

// A signal of the strongest-signals table: a run of neighbouring bins of a
// band whose maximum level reached the threshold, told by its strongest bin;
// in a channel log each channel on its own.
struct Signal {
  int nBand = 0;     // 0 for a channel
  int nChannel = 0;  // from 1; 0 for a band's signal
  int nBin = 0;      // element index of the strongest bin
  double dFrequencyMHz = std::numeric_limits<double>::quiet_NaN();
  float fMaxLevel = 0;
  int nBins = 1;  // width of the run
  std::uint64_t nAbove = 0;
  std::uint32_t nSweeps = 0;
  double dOccupancy = 0;  // the strongest bin's share of sweeps at or above the threshold
  std::int64_t nFirstAboveMs = 0;  // from the file start
  std::int64_t nLastAboveMs = 0;
};

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

  // One message's sweep of the panel's band; start is the file's start.
  void AddSweep(const vyr::Message& m, const vyr::Sweep& sweep, std::uint32_t nFile);
  CSweepReducer::Result Waterfall() const { return m_reducer.Finish(); }
  void AppendSignals(std::vector<Signal>& out, std::int64_t nStartMs) const;

 private:
  void FillColumns();
  void Grow(const vyr::Band& band);
  Signal MakeSignal(size_t bin, std::int64_t nStartMs) const;

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
