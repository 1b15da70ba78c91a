// One panel of the report: a band of a scan log, or the channels of a channel
// log. It keeps the waterfall reduced to screen size (the maximum level of the
// bins of each column), the average, maximum and minimum level of every bin,
// and for every bin how often and when its level reached the signal threshold.
#pragma once

#include <cstdint>
#include <limits>
#include <vector>

#include "vyr/LevelRows.h"
#include "SweepReducer.h"

struct BinStatistics {
  double dSum = 0;
  std::uint32_t nLevels = 0;
  float fMax = std::numeric_limits<float>::quiet_NaN();
  float fMin = std::numeric_limits<float>::quiet_NaN();
  std::uint32_t nAbove = 0;  // sweeps with a level at or above the threshold
  std::int64_t nFirstAboveMs = 0;
  std::int64_t nLastAboveMs = 0;
  std::int64_t nMaxMs = 0;  // when the maximum was first reached
};

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
  std::uint32_t nAbove = 0;
  std::uint32_t nSweeps = 0;
  std::int64_t nFirstAboveMs = 0;
  std::int64_t nLastAboveMs = 0;
};

class CReportPanel {
 public:
  // nBand 0 makes a channel panel, which grows as channels appear.
  CReportPanel(int nBand, int nFirstBin, std::vector<double> freqsMHz, double dThreshold, size_t nMaxCols,
               size_t nMaxRows);

  int Band() const { return m_nBand; }
  int FirstBin() const { return m_nFirstBin; }
  size_t Bins() const { return m_freqsMHz.size(); }
  const std::vector<double>& FrequenciesMHz() const { return m_freqsMHz; }
  const std::vector<BinStatistics>& Statistics() const { return m_stats; }
  std::uint32_t Sweeps() const { return m_nSweeps; }
  size_t Cols() const { return m_reducer.Cols(); }
  // The first bin of a column; column c holds bins [ColumnStart(c), ColumnStart(c + 1)).
  size_t ColumnStart(size_t c) const;

  // One message's levels for this panel, sorted by bin.
  void AddSweep(std::int64_t tMs, const LevelRow* rows, size_t nRows);
  CSweepReducer::Result Waterfall() const { return m_reducer.Finish(); }
  void AppendSignals(std::vector<Signal>& out) const;

 private:
  void FillColumns();
  bool AddChannel(const LevelRow& r);
  Signal MakeSignal(size_t bin) const;

  int m_nBand;
  int m_nFirstBin;
  std::vector<double> m_freqsMHz;
  double m_dThreshold;
  size_t m_nMaxCols;
  CSweepReducer m_reducer;
  std::vector<BinStatistics> m_stats;
  std::vector<std::uint32_t> m_column;  // the column of each bin
  std::vector<float> m_sweep;  // scratch: one sweep's column levels
  std::uint32_t m_nSweeps = 0;
};
