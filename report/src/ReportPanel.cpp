#include "ReportPanel.h"

#include <algorithm>
#include <cmath>

namespace {
// A channel log names its channels by element index; more than this many is
// not a channel log's.
constexpr size_t kMaxChannels = 256;
constexpr float kNoLevel = std::numeric_limits<float>::quiet_NaN();

float ToFloatLevel(double d) {
  if (std::isnan(d)) return kNoLevel;
  return static_cast<float>(std::clamp(d, -1e30, 1e30));
}
}  // namespace

CReportPanel::CReportPanel(int nBand, int nFirstBin, std::vector<double> freqsMHz, double dThreshold,
                           size_t nMaxCols, size_t nMaxRows)
    : m_nBand(nBand), m_nFirstBin(nFirstBin), m_freqsMHz(std::move(freqsMHz)), m_dThreshold(dThreshold),
      m_nMaxCols(std::max<size_t>(1, nMaxCols)),
      m_reducer(std::min(m_freqsMHz.size(), m_nMaxCols), nMaxRows), m_stats(m_freqsMHz.size()) {
  FillColumns();
}

// The column of every bin, worked out once: a division per level costs as
// much as the rest of what a level goes through here.
void CReportPanel::FillColumns() {
  m_column.resize(Bins());
  for (size_t bin = 0; bin < Bins(); ++bin) m_column[bin] = static_cast<std::uint32_t>(bin * m_reducer.Cols() / Bins());
}

size_t CReportPanel::ColumnStart(size_t c) const {
  // The smallest bin whose column is c.
  return (c * Bins() + m_reducer.Cols() - 1) / m_reducer.Cols();
}

bool CReportPanel::AddChannel(const LevelRow& r) {
  size_t bin = static_cast<size_t>(r.nBin - m_nFirstBin);
  if (bin >= kMaxChannels) return false;
  if (bin >= Bins()) {
    m_freqsMHz.resize(bin + 1, std::numeric_limits<double>::quiet_NaN());
    m_stats.resize(bin + 1);
    m_reducer.Widen(std::min(bin + 1, m_nMaxCols));
    FillColumns();
  }
  if (std::isnan(m_freqsMHz[bin]) && r.bHasFrequency) m_freqsMHz[bin] = r.dFrequencyMHz;
  return true;
}

void CReportPanel::AddSweep(std::int64_t tMs, const LevelRow* rows, size_t nRows) {
  if (m_nBand == 0) {
    for (size_t i = 0; i < nRows; ++i) AddChannel(rows[i]);
  }
  if (Bins() == 0) return;
  m_sweep.assign(m_reducer.Cols(), kNoLevel);
  for (size_t i = 0; i < nRows; ++i) {
    if (rows[i].nBin < m_nFirstBin) continue;
    size_t bin = static_cast<size_t>(rows[i].nBin - m_nFirstBin);
    if (bin >= Bins()) continue;
    float level = ToFloatLevel(rows[i].dLevel);
    size_t col = m_column[bin];
    m_sweep[col] = MaxLevel(m_sweep[col], level);
    BinStatistics& s = m_stats[bin];
    if (std::isnan(level)) continue;
    s.dSum += level;
    ++s.nLevels;
    if (!(level <= s.fMax)) {  // also when fMax is still NaN
      s.fMax = level;
      s.nMaxMs = tMs;
    }
    s.fMin = std::isnan(s.fMin) ? level : std::min(s.fMin, level);
    if (level >= m_dThreshold) {
      if (s.nAbove++ == 0) s.nFirstAboveMs = tMs;
      s.nLastAboveMs = tMs;
    }
  }
  m_reducer.Add(tMs, m_sweep.data());
  ++m_nSweeps;
}

Signal CReportPanel::MakeSignal(size_t bin) const {
  const BinStatistics& s = m_stats[bin];
  Signal g;
  g.nBand = m_nBand;
  g.nChannel = m_nBand == 0 ? static_cast<int>(bin) + 1 : 0;
  g.nBin = m_nFirstBin + static_cast<int>(bin);
  g.dFrequencyMHz = m_freqsMHz[bin];
  g.fMaxLevel = s.fMax;
  g.nAbove = s.nAbove;
  g.nSweeps = m_nSweeps;
  g.nFirstAboveMs = s.nFirstAboveMs;
  g.nLastAboveMs = s.nLastAboveMs;
  return g;
}

void CReportPanel::AppendSignals(std::vector<Signal>& out) const {
  auto reached = [&](size_t bin) { return m_stats[bin].nAbove > 0; };
  for (size_t bin = 0; bin < Bins();) {
    if (!reached(bin)) {
      ++bin;
      continue;
    }
    // A channel stands alone; the neighbouring bins of a band form one signal.
    size_t end = bin + 1;
    if (m_nBand != 0)
      while (end < Bins() && reached(end)) ++end;
    size_t peak = bin;
    for (size_t b = bin; b < end; ++b)
      if (m_stats[b].fMax > m_stats[peak].fMax) peak = b;
    Signal g = MakeSignal(peak);
    g.nBins = static_cast<int>(end - bin);
    out.push_back(g);
    bin = end;
  }
}
