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
    const double dbm = sweep.dbm[bin];
    if (dbm != dbm) continue;
    size_t col = m_column[bin];
    m_sweep[col] = MaxLevel(m_sweep[col], ReportLevel(dbm));
    // The level as the log gave it, so that the statistics are those of `vyrhost stats`.
    m_stats[bin].Add(dbm, dbm >= m_dThreshold, where);
  }
  m_reducer.Add(m.timeMs, m_sweep.data(), where.latitude, where.longitude);
  ++m_nSweeps;
}

bool CReportPanel::HeldRange(double& dLowMHz, double& dHighMHz) const {
  double lo = NAN, hi = NAN;
  size_t n = 0;
  for (double f : m_freqsMHz) {
    if (std::isnan(f)) continue;
    lo = n ? std::min(lo, f) : f;
    hi = n ? std::max(hi, f) : f;
    ++n;
  }
  if (n == 0) return false;
  const double half = m_nBand != 0 && n > 1 ? (hi - lo) / static_cast<double>(n - 1) / 2 : 0;
  dLowMHz = lo - half;
  dHighMHz = hi + half;
  return true;
}

size_t CReportPanel::NearestBin(double mhz) const {
  size_t best = 0;
  double bestDistance = INFINITY;
  for (size_t bin = 0; bin < Bins(); ++bin) {
    const double d = std::fabs(m_freqsMHz[bin] - mhz);
    if (d < bestDistance) {  // NaN never is
      best = bin;
      bestDistance = d;
    }
  }
  return best;
}
