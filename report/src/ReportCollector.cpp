#include "ReportCollector.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>

#include "vyr/Peaks.h"

namespace {
constexpr std::uint32_t kNotFollowed = UINT32_MAX;

// A message that the track takes as a point.
bool IsTrackPoint(const vyr::Message& m) {
  return m.role == vyr::Role::Measurement && m.position.HasBoth() &&
         CTrackReducer::OnEarth(m.position.latitude, m.position.longitude);
}
}  // namespace

CReportCollector::CReportCollector(const ReportSettings& settings)
    : m_track(settings.nMaxTrackPoints, settings.nMaxTrackCells),
      m_history(settings.nMaxTrackPoints, settings.nMaxHistoryCells) {
  m_data.settings = settings;
}

void MarkPeaks(std::vector<RankedBin>& bins, size_t first, size_t end, bool bChannels) {
  if (bChannels) {
    for (size_t i = first; i < end; ++i) bins[i].bPeak = true;
    return;
  }
  std::vector<double> maxDbm;
  for (size_t i = first; i < end; ++i)
    maxDbm.push_back(bins[i].stats->Count() ? bins[i].stats->MaxDbm() : std::numeric_limits<double>::quiet_NaN());
  const std::vector<bool> peaks = vyr::DistinctPeaks(maxDbm, vyr::kDefaultPeakProminenceDb);
  for (size_t i = first; i < end; ++i) bins[i].bPeak = peaks[i - first];
}

std::vector<RankedRow> StrongestFrequencies(std::vector<RankedBin> bins, double dThreshold, size_t n) {
  bins.erase(std::remove_if(bins.begin(), bins.end(), [](const RankedBin& b) { return b.stats->Count() == 0; }),
             bins.end());
  std::stable_sort(bins.begin(), bins.end(), [](const RankedBin& a, const RankedBin& b) { return a.hz < b.hz; });
  std::vector<vyr::FrequencyRow> rows;
  std::unordered_map<std::int64_t, size_t> keyOf;
  for (size_t i = 0; i < bins.size();) {
    size_t end = i + 1;
    bool bPeak = bins[i].bPeak;
    for (; end < bins.size() && bins[end].hz == bins[i].hz; ++end) bPeak = bPeak || bins[end].bPeak;
    if (!bPeak) {
      i = end;
      continue;
    }
    if (end == i + 1) {
      rows.push_back(vyr::FrequencyRowOf(bins[i].hz, bins[i].band, dThreshold, *bins[i].stats));
    } else {
      vyr::BinStats merged = *bins[i].stats;
      for (size_t k = i + 1; k < end; ++k) merged.Merge(*bins[k].stats);
      rows.push_back(vyr::FrequencyRowOf(bins[i].hz, bins[i].band, dThreshold, merged));
    }
    keyOf[bins[i].hz] = bins[i].key;
    i = end;
  }
  vyr::KeepStrongest(rows, n);
  std::vector<RankedRow> out;
  for (const vyr::FrequencyRow& r : rows) out.push_back({r, keyOf[r.hz]});
  return out;
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
  Follow(panels.size() - 1);
  return panels.size() - 1;
}

void CReportCollector::Follow(size_t nPanel) {
  if (m_followed.size() <= nPanel) m_followed.resize(nPanel + 1);
  const CReportPanel& p = *m_data.panels[nPanel];
  std::vector<std::uint32_t>& columns = m_followed[nPanel];
  columns.resize(p.Bins(), kNotFollowed);
  auto follow = [&](size_t bin) {
    if (columns[bin] == kNotFollowed)
      columns[bin] = m_history.AddColumn(static_cast<std::uint32_t>(nPanel), static_cast<std::uint32_t>(bin));
  };
  const double mhz = m_data.settings.dMapFrequencyMHz;
  if (std::isnan(mhz)) {
    for (size_t bin = 0; bin < p.Bins(); ++bin) follow(bin);
    // Consecutive columns (a band followed when it appeared) take a sweep in one run.
    bool bRun = !columns.empty();
    for (size_t bin = 1; bin < columns.size() && bRun; ++bin) bRun = columns[bin] == columns[0] + bin;
    if (m_runStarts.size() <= nPanel) m_runStarts.resize(nPanel + 1, kNotFollowed);
    m_runStarts[nPanel] = bRun ? columns[0] : kNotFollowed;
    return;
  }
  double lo = 0, hi = 0;
  if (p.HeldRange(lo, hi) && lo <= mhz && mhz <= hi) follow(p.NearestBin(mhz));
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
  CReportPanel& panel = *m_data.panels[i];
  panel.AddSweep(m, sweep, 0);
  if (panel.Bins() != m_followed[i].size()) Follow(i);  // a channel set that grew
  if (IsTrackPoint(m)) {
    const std::vector<std::uint32_t>& columns = m_followed[i];
    const size_t n = std::min(columns.size(), sweep.band.Bins());
    if (i < m_runStarts.size() && m_runStarts[i] != kNotFollowed) {
      m_history.AddRun(m_runStarts[i], sweep.dbm, n);
    } else {
      for (size_t bin = 0; bin < n; ++bin)
        if (columns[bin] != kNotFollowed) m_history.Add(columns[bin], sweep.dbm[bin]);
    }
  }
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
    if (IsTrackPoint(m)) m_history.EndPoint();
  }
  m_strongest = TrackLevel();
  m_trackBands.clear();
}

// The history's frequencies and ranges, from the panels as they ended.
void CReportCollector::FillHistory() {
  ReducedHistory& h = m_data.history;
  h = m_history.Finish();
  for (ReducedHistory::Column& c : h.columns) c.dMHz = m_data.panels[c.nPanel]->FrequenciesMHz()[c.nBin];
  for (const auto& p : m_data.panels) {
    ReducedHistory::Range r;
    r.bAny = p->HeldRange(r.dLowMHz, r.dHighMHz);
    h.panels.push_back(r);
  }
}

ReportData CReportCollector::Finish() {
  m_data.summary = m_summary.Summary();
  m_data.track = m_track.Finish();
  std::vector<RankedBin> bins;
  std::vector<std::pair<size_t, size_t>> where;  // panel and bin of each
  for (size_t i = 0; i < m_data.panels.size(); ++i) {
    const CReportPanel& p = *m_data.panels[i];
    const size_t first = bins.size();
    for (size_t bin = 0; bin < p.Bins(); ++bin) {
      if (std::isnan(p.FrequenciesMHz()[bin])) continue;
      bins.push_back({std::llround(p.FrequenciesMHz()[bin] * 1e6), p.Band(), &p.Statistics()[bin], where.size()});
      where.emplace_back(i, bin);
    }
    MarkPeaks(bins, first, bins.size(), p.Band() == 0);
  }
  m_data.topBins.clear();
  for (const RankedRow& r : StrongestFrequencies(std::move(bins), m_data.settings.dSignalThresholdDbm,
                                                 m_data.settings.nMaxTopBins)) {
    const auto [nPanel, nBin] = where[r.key];
    m_data.topBins.push_back({r.row, nPanel, m_data.panels[nPanel]->Band() == 0 ? static_cast<int>(nBin) + 1 : 0});
  }
  FillHistory();
  // The map's frequency: the one asked for, or the strongest.
  double mhz = m_data.settings.dMapFrequencyMHz;
  const bool bStrongest = std::isnan(mhz);
  if (bStrongest && !m_data.topBins.empty()) mhz = vyr::HzToMHz(m_data.topBins.front().row.hz);
  if (!std::isnan(mhz)) {
    m_data.track.map = LayerAt(m_data.history, m_data.track, mhz);
    m_data.track.map.bStrongest = bStrongest;
  }
  return std::move(m_data);
}
