#include "ReportCollector.h"

#include <algorithm>
#include <cmath>

CReportCollector::CReportCollector(const ReportSettings& settings)
    : m_track(settings.nMaxTrackPoints), m_fStrongest(std::numeric_limits<float>::quiet_NaN()) {
  m_data.settings = settings;
}

vyr::DecodeRequest CReportCollector::Request(const vyr::DecodeSettings& settings) {
  vyr::DecodeRequest r;
  r.settings = settings;
  r.levels = true;
  r.sweeps = true;
  return r;
}

// The panel of a band of the section in force; a later plan whose band
// differs gets a panel of its own.
CReportPanel& CReportCollector::PanelFor(const vyr::Band& band) {
  for (auto& p : m_data.panels)
    if (p->Takes(band)) return *p;
  const ReportSettings& s = m_data.settings;
  m_data.panels.push_back(std::make_unique<CReportPanel>(band, s.dSignalThresholdDbm, s.nMaxColumns, s.nMaxRows));
  return *m_data.panels.back();
}

void CReportCollector::OnLevels(const vyr::Message& m, const vyr::Level* levels, size_t count) {
  const bool bPlan = m.section && m.section->kind == vyr::Section::Kind::Plan;
  for (const vyr::Level* l = levels; l != levels + count; ++l) {
    m_fStrongest = MaxLevel(m_fStrongest, static_cast<float>(l->dbm));
    if (bPlan && l->band == 0) ++m_data.nLevelsOutsidePlan;
  }
}

void CReportCollector::OnSweep(const vyr::Message& m, const vyr::Sweep& sweep) {
  PanelFor(sweep.band).AddSweep(m, sweep, 0);
}

void CReportCollector::OnMessage(const vyr::Message& m) {
  m_summary.OnMessage(m);
  if (m.role != vyr::Role::Measurement) return;
  m_data.bScan = m_data.bScan || (m.section && m.section->kind == vyr::Section::Kind::Plan && !m.section->bands.empty());
  if (m.position.HasBoth()) m_track.Add({m.timeMs, m.position.latitude, m.position.longitude, m_fStrongest});
  m_fStrongest = std::numeric_limits<float>::quiet_NaN();
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
