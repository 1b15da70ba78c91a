#include "ReportCollector.h"

#include <algorithm>
#include <cmath>
#include <limits>

CReportCollector::CReportCollector(const ReportSettings& settings)
    : m_track(settings.nMaxTrackPoints, settings.nMaxTrackCells) {
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

// The strongest of rows and its frequency.
TrackLevel Strongest(const LevelRow* rows, size_t n) {
  TrackLevel best;
  for (size_t i = 0; i < n; ++i) {
    float level = static_cast<float>(rows[i].dLevel);
    if (std::isnan(level) || level <= best.fLevel) continue;
    best.fLevel = level;
    best.dFrequencyMHz = rows[i].bHasFrequency ? rows[i].dFrequencyMHz : std::numeric_limits<double>::quiet_NaN();
  }
  return best;
}
}  // namespace

// The panel of a band of the plan in force; a later plan whose band differs
// gets a panel of its own.
size_t CReportCollector::PanelFor(int nBand, const CFrequencyPlan& plan) {
  PlanBand b = nBand > 0 ? plan.Band(nBand) : PlanBand();
  auto& panels = m_data.panels;
  for (size_t i = 0; i < panels.size(); ++i) {
    const CReportPanel& p = *panels[i];
    if (p.Band() == nBand && p.FirstBin() == b.nFirst && (nBand == 0 || p.Bins() == static_cast<size_t>(b.nCount)))
      return i;
  }
  std::vector<double> freqs;
  for (int e = b.nFirst; e < b.nFirst + b.nCount; ++e) {
    double mhz = std::numeric_limits<double>::quiet_NaN();
    plan.FrequencyMHz(e, mhz);
    freqs.push_back(mhz);
  }
  const ReportSettings& s = m_data.settings;
  size_t nCols = s.nMaxColumns, nRows = s.nMaxRows;
  // Channels are few; the bands of a plan share the log's cells.
  if (nBand > 0)
    WaterfallShape(s, freqs.size(), std::max(static_cast<size_t>(plan.BandCount()), panels.size() + 1), nCols, nRows);
  panels.push_back(std::make_unique<CReportPanel>(nBand, b.nFirst, std::move(freqs), s.dSignalThresholdDbm, nCols, nRows));
  return panels.size() - 1;
}

void CReportCollector::AddMeasurement(const MessageFacts& facts, const std::vector<LevelRow>& rows,
                                      const CFrequencyPlan& plan, bool bScan) {
  m_data.bScan = m_data.bScan || bScan;
  m_trackBands.clear();
  auto addToPanel = [&](int nBand, const LevelRow* first, size_t n) {
    size_t i = PanelFor(nBand, plan);
    m_data.panels[i]->AddSweep(facts.nTimeMs, first, n);
    if (m_trackBands.size() <= i) m_trackBands.resize(i + 1);
    m_trackBands[i] = Strongest(first, n);
  };
  if (!rows.empty() && !bScan) {
    addToPanel(0, rows.data(), rows.size());
  } else {
    // Rows are sorted by element, so each band's rows lie together.
    for (size_t i = 0; i < rows.size();) {
      size_t end = i + 1;
      while (end < rows.size() && rows[end].nBand == rows[i].nBand) ++end;
      if (rows[i].nBand == 0) m_data.nLevelsOutsidePlan += end - i;
      else addToPanel(rows[i].nBand, &rows[i], end - i);
      i = end;
    }
  }
  const MessagePosition& p = facts.position;
  if (!p.HasBoth()) return;
  TrackLevel strongest = Strongest(rows.data(), rows.size());
  m_track.Add({facts.nTimeMs, p.dLatitude, p.dLongitude, strongest.fLevel, strongest.dFrequencyMHz}, m_trackBands.data(),
              m_trackBands.size());
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
