#include "ReportCollector.h"

#include <algorithm>

CReportCollector::CReportCollector(const ReportSettings& settings) : m_track(settings.nMaxTrackPoints) {
  m_data.settings = settings;
}

std::vector<int> CReportCollector::RecordedAttributes() {
  std::vector<int> ids = CLevelRowExtractor::RecordedAttributesWithObserver();
  ids.push_back(ScanAttributes::Get().nFreq);
  return ids;
}

void CReportCollector::OnFile(const DecodedFileInfo& info) {
  m_start = info.startTime;
  m_summary.OnFile(info);
}

void CReportCollector::OnMessage(const DecodedMessage& m) {
  m_extractor.Extract(m, m_rows);
  m_summary.OnMessage(m, m_extractor.Plan());
  if (m.msg.m_nMsgClass != kMeasurementMessageClass) return;
  AddMeasurement(GetMessageFacts(m, m_start), m_rows, m_extractor.Plan(), m_extractor.IsScan());
}

// The panel of a band of the plan in force; a later plan whose band differs
// gets a panel of its own.
CReportPanel& CReportCollector::PanelFor(int nBand, const CFrequencyPlan& plan) {
  PlanBand b = nBand > 0 ? plan.Band(nBand) : PlanBand();
  for (auto& p : m_data.panels) {
    if (p->Band() == nBand && p->FirstBin() == b.nFirst && (nBand == 0 || p->Bins() == static_cast<size_t>(b.nCount)))
      return *p;
  }
  std::vector<double> freqs;
  for (int e = b.nFirst; e < b.nFirst + b.nCount; ++e) {
    double mhz = std::numeric_limits<double>::quiet_NaN();
    plan.FrequencyMHz(e, mhz);
    freqs.push_back(mhz);
  }
  const ReportSettings& s = m_data.settings;
  m_data.panels.push_back(std::make_unique<CReportPanel>(nBand, b.nFirst, std::move(freqs), s.dSignalThresholdDbm,
                                                         s.nMaxColumns, s.nMaxRows));
  return *m_data.panels.back();
}

void CReportCollector::AddMeasurement(const MessageFacts& facts, const std::vector<LevelRow>& rows,
                                      const CFrequencyPlan& plan, bool bScan) {
  m_data.bScan = m_data.bScan || bScan;
  float strongest = std::numeric_limits<float>::quiet_NaN();
  for (const LevelRow& r : rows) strongest = MaxLevel(strongest, static_cast<float>(r.dLevel));
  const MessagePosition& p = facts.position;
  if (p.HasBoth()) m_track.Add({facts.nTimeMs, p.dLatitude, p.dLongitude, strongest});
  if (rows.empty()) return;
  if (!bScan) {
    PanelFor(0, plan).AddSweep(facts.nTimeMs, rows.data(), rows.size());
    return;
  }
  // Rows are sorted by element, so each band's rows lie together.
  for (size_t i = 0; i < rows.size();) {
    size_t end = i + 1;
    while (end < rows.size() && rows[end].nBand == rows[i].nBand) ++end;
    if (rows[i].nBand == 0) m_data.nLevelsOutsidePlan += end - i;
    else PanelFor(rows[i].nBand, plan).AddSweep(facts.nTimeMs, &rows[i], end - i);
    i = end;
  }
}

ReportData CReportCollector::Finish() {
  m_data.summary = m_summary.Finish();
  m_data.track = m_track.Finish();
  m_data.signals.clear();
  for (const auto& p : m_data.panels) p->AppendSignals(m_data.signals);
  std::stable_sort(m_data.signals.begin(), m_data.signals.end(),
                   [](const Signal& a, const Signal& b) { return a.fMaxLevel > b.fMaxLevel; });
  if (m_data.signals.size() > m_data.settings.nMaxSignals) m_data.signals.resize(m_data.settings.nMaxSignals);
  return std::move(m_data);
}
