#include "ReportPanel.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr float kNoLevel = std::numeric_limits<float>::quiet_NaN();

double MHzOf(const vyr::Band& band, size_t bin) {
  return band.HasFrequency(bin) ? vyr::HzToMHz(band.hz[bin]) : std::numeric_limits<double>::quiet_NaN();
}
}  // namespace

CReportPanel::CReportPanel(const vyr::Band& band, double dThreshold, size_t nMaxCols, size_t nMaxRows)
    : m_nBand(band.number), m_nFirstBin(band.firstElement), m_dThreshold(dThreshold),
      m_nMaxCols(std::max<size_t>(1, nMaxCols)), m_reducer(std::min(band.Bins(), m_nMaxCols), nMaxRows) {
  for (size_t i = 0; i < band.Bins(); ++i) m_freqsMHz.push_back(MHzOf(band, i));
  if (m_nBand != 0) m_planHz = band.hz;
  m_stats.resize(Bins());
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

bool CReportPanel::Takes(const vyr::Band& band) const {
  // A later plan that keeps a band's number and size but moves it to other
  // frequencies is another band: its levels must not land in this one's bins.
  if (band.number != 0) return band.number == m_nBand && band.firstElement == m_nFirstBin && band.hz == m_planHz;
  if (m_nBand != 0) return false;
  // A later set-up that moves a channel to another frequency is a channel
  // set of its own.
  for (size_t i = 0; i < std::min(Bins(), band.Bins()); ++i)
    if (band.HasFrequency(i) && !std::isnan(m_freqsMHz[i]) && MHzOf(band, i) != m_freqsMHz[i]) return false;
  return true;
}

// A channel set takes the channels it meets, with the first frequency that
// names each.
void CReportPanel::Grow(const vyr::Band& band) {
  if (band.Bins() > Bins()) {
    m_freqsMHz.resize(band.Bins(), std::numeric_limits<double>::quiet_NaN());
    m_stats.resize(band.Bins());
    m_reducer.Widen(std::min(band.Bins(), m_nMaxCols));
    FillColumns();
  }
  for (size_t i = 0; i < band.Bins(); ++i)
    if (std::isnan(m_freqsMHz[i])) m_freqsMHz[i] = MHzOf(band, i);
}

void CReportPanel::AddSweep(const vyr::Message& m, const vyr::Sweep& sweep, std::uint32_t nFile) {
  if (m_nBand == 0) Grow(sweep.band);
  if (Bins() == 0) return;
  m_sweep.assign(m_reducer.Cols(), kNoLevel);
  const vyr::Where where{m.AbsoluteMs(), m.index, nFile,
                         m.position.hasLatitude ? m.position.latitude : std::numeric_limits<double>::quiet_NaN(),
                         m.position.hasLongitude ? m.position.longitude : std::numeric_limits<double>::quiet_NaN()};
  const size_t nBins = std::min(Bins(), sweep.band.Bins());
  for (size_t bin = 0; bin < nBins; ++bin) {
    float level = ReportLevel(sweep.dbm[bin]);
    if (std::isnan(level)) continue;
    size_t col = m_column[bin];
    m_sweep[col] = MaxLevel(m_sweep[col], level);
    m_stats[bin].Add(level, level >= m_dThreshold, where);
  }
  m_reducer.Add(m.timeMs, m_sweep.data());
  ++m_nSweeps;
}

Signal CReportPanel::MakeSignal(size_t bin, std::int64_t nStartMs) const {
  const vyr::BinStats& s = m_stats[bin];
  Signal g;
  g.nBand = m_nBand;
  g.nChannel = m_nBand == 0 ? static_cast<int>(bin) + 1 : 0;
  g.nBin = m_nFirstBin + static_cast<int>(bin);
  g.dFrequencyMHz = m_freqsMHz[bin];
  g.fMaxLevel = static_cast<float>(s.MaxDbm());
  g.nAbove = s.Above();
  g.nSweeps = m_nSweeps;
  g.dOccupancy = m_nSweeps ? static_cast<double>(s.Above()) / m_nSweeps : 0;
  // Back to the file's own times, which the page shows from its start.
  g.nFirstAboveMs = static_cast<std::int64_t>(static_cast<std::uint64_t>(s.FirstAboveMs()) - static_cast<std::uint64_t>(nStartMs));
  g.nLastAboveMs = static_cast<std::int64_t>(static_cast<std::uint64_t>(s.LastAboveMs()) - static_cast<std::uint64_t>(nStartMs));
  return g;
}

void CReportPanel::AppendSignals(std::vector<Signal>& out, std::int64_t nStartMs) const {
  auto reached = [&](size_t bin) { return m_stats[bin].Above() > 0; };
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
      if (m_stats[b].MaxDbm() > m_stats[peak].MaxDbm()) peak = b;
    Signal g = MakeSignal(peak, nStartMs);
    g.nBins = static_cast<int>(end - bin);
    out.push_back(g);
    bin = end;
  }
}
