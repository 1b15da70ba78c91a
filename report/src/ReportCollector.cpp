#include "ReportCollector.h"

#include <algorithm>
#include <cmath>
#include <limits>

CReportCollector::CReportCollector(const ReportSettings& settings)
    : m_track(settings.nMaxTrackPoints, settings.nMaxTrackCells) {
  m_data.settings = settings;
}

vyr::DecodeRequest CReportCollector::Request(const vyr::DecodeSettings& settings) {
  vyr::DecodeRequest r;
  r.settings = settings;
  r.levels = true;
  r.sweeps = true;
  return r;
}

namespace {
// Waterfall columns and rows of a new panel of nBins bins when the log's
// cells are shared by nShares panels: first fewer rows, down to a few, then
// fewer columns.
void WaterfallShape(const ReportSettings& s, size_t nBins, size_t nShares, size_t& nCols, size_t& nRows) {
  constexpr size_t kFewRows = 24;
  const size_t share = std::max<size_t>(1, s.nMaxWaterfallCells / std::max<size_t>(1, nShares));
  nCols = std::max<size_t>(1, std::min(nBins, s.nMaxColumns));
  nRows = std::min(s.nMaxRows, share / nCols);
  if (nRows >= std::min(kFewRows, s.nMaxRows)) return;
  nRows = std::max<size_t>(1, std::min(kFewRows, s.nMaxRows));
  nCols = std::max<size_t>(1, std::min(nCols, share / nRows));
}

// Keeps the stronger of a level and the strongest so far: the first of the
// highest, NaN never.
void KeepStronger(TrackLevel& best, double dbm, std::int64_t hz) {
  const float level = static_cast<float>(dbm);
  if (std::isnan(level) || level <= best.fLevel) return;
  best.fLevel = level;
  best.dFrequencyMHz = hz == vyr::kNoFrequency ? std::numeric_limits<double>::quiet_NaN() : vyr::HzToMHz(hz);
}
}  // namespace

// The panel of a band of the section in force; a later plan whose band
// differs gets a panel of its own.
size_t CReportCollector::PanelFor(const vyr::Band& band, const vyr::Section& section) {
  auto& panels = m_data.panels;
  for (size_t i = 0; i < panels.size(); ++i)
    if (panels[i]->Takes(band)) return i;
  const ReportSettings& s = m_data.settings;
  size_t nCols = s.nMaxColumns, nRows = s.nMaxRows;
  // Channels are few; the bands of a plan share the log's cells.
  if (band.number > 0) WaterfallShape(s, band.Bins(), std::max(section.bands.size(), panels.size() + 1), nCols, nRows);
  panels.push_back(std::make_unique<CReportPanel>(band, s.dSignalThresholdDbm, nCols, nRows));
  return panels.size() - 1;
}

void CReportCollector::OnLevels(const vyr::Message& m, const vyr::Level* levels, size_t count) {
  const bool bPlan = m.section && m.section->kind == vyr::Section::Kind::Plan;
  for (const vyr::Level* l = levels; l != levels + count; ++l) {
    KeepStronger(m_strongest, l->dbm, l->hz);
    if (bPlan && l->band == 0) ++m_data.nLevelsOutsidePlan;
  }
}

void CReportCollector::OnSweep(const vyr::Message& m, const vyr::Sweep& sweep) {
  const size_t i = PanelFor(sweep.band, *m.section);
  m_data.panels[i]->AddSweep(m, sweep, 0);
  if (m_trackBands.size() <= i) m_trackBands.resize(i + 1);
  TrackLevel& best = m_trackBands[i];
  for (size_t bin = 0; bin < sweep.band.Bins(); ++bin) KeepStronger(best, sweep.dbm[bin], sweep.band.hz[bin]);
}

void CReportCollector::OnMessage(const vyr::Message& m) {
  m_summary.OnMessage(m);
  if (m.role == vyr::Role::Measurement) {
    m_data.bScan = m_data.bScan || (m.section && m.section->kind == vyr::Section::Kind::Plan && !m.section->bands.empty());
    const vyr::Position& p = m.position;
    if (p.HasBoth())
      m_track.Add({m.timeMs, p.latitude, p.longitude, m_strongest.fLevel, m_strongest.dFrequencyMHz}, m_trackBands.data(),
                  m_trackBands.size());
  }
  m_strongest = TrackLevel();
  m_trackBands.clear();
}

ReportData CReportCollector::Finish() {
  m_data.summary = m_summary.Summary();
  m_data.track = m_track.Finish();
  m_data.signals.clear();
  for (const auto& p : m_data.panels) p->AppendSignals(m_data.signals, m_data.summary.file.startMs);
  std::stable_sort(m_data.signals.begin(), m_data.signals.end(),
                   [](const Signal& a, const Signal& b) { return a.fMaxLevel > b.fMaxLevel; });
  if (m_data.signals.size() > m_data.settings.nMaxSignals) m_data.signals.resize(m_data.settings.nMaxSignals);
  return std::move(m_data);
}
