#include "CampaignCollector.h"

#include <algorithm>
#include <cmath>

#include "ReportHtml.h"

namespace {
// Waterfall cells of all the logs' sections together, shared out per log: a
// page of 50 logs of two bands holds about 13 MB of waterfalls.
constexpr size_t kCampaignWaterfallRows = 6000;
constexpr size_t kMinRowsPerLog = 48;
constexpr size_t kColumnsPerLog = 400;
// Panels of all the logs' sections together, and the least of one log.
constexpr size_t kCampaignPanels = 2400;
constexpr size_t kMinPanelsPerLog = 8;

std::int64_t ToHz(double mhz) { return std::llround(mhz * 1e6); }

// Of equal maxima the first log (and in a log the first time) is named.
void MergeBin(CampaignBin& into, const CampaignBin& from) {
  into.stats.Merge(from.stats);
  into.nLogsAbove += from.nLogsAbove;
}

// A panel as the campaign combines it; false for a band whose plan gives no
// frequencies, which has no plan to be combined by.
bool PanelToBand(const CReportPanel& p, std::uint32_t nLog, CampaignBand& b) {
  const auto& freqs = p.FrequenciesMHz();
  b.bChannels = p.Band() == 0;
  b.nSweeps = p.Sweeps();
  b.nLogs = 1;
  for (size_t i = 0; i < p.Bins(); ++i) {
    if (!std::isfinite(freqs[i])) {
      if (b.bChannels) continue;  // a channel with no frequency stays in its log's section
      return false;
    }
    CampaignBin bin;
    bin.dFrequencyMHz = freqs[i];
    bin.stats = p.Statistics()[i];
    bin.stats.SetFile(nLog);
    bin.nLogsAbove = bin.stats.Above() > 0 ? 1 : 0;
    b.bins.push_back(bin);
  }
  if (b.bins.empty()) return false;
  b.nStartHz = ToHz(b.bins.front().dFrequencyMHz);
  b.nStopHz = ToHz(b.bins.back().dFrequencyMHz);
  return true;
}
}  // namespace

CampaignSettings CampaignSettingsFor(size_t nLogs, double dThresholdDbm) {
  CampaignSettings s;
  nLogs = std::max<size_t>(1, nLogs);
  s.log.dSignalThresholdDbm = dThresholdDbm;
  s.log.nMaxColumns = kColumnsPerLog;
  s.log.nMaxRows = std::clamp(kCampaignWaterfallRows / nLogs, kMinRowsPerLog, s.log.nMaxRows);
  // A log of many bands shares the cells of four full bands out over them.
  s.log.nMaxWaterfallCells = 4 * s.log.nMaxRows * s.log.nMaxColumns;
  s.log.nMaxTrackPoints = std::clamp<size_t>(s.nMaxMapPoints / nLogs, 1, s.log.nMaxTrackPoints);
  // The map and each log's section both carry its track: fewer bands to colour it by.
  s.log.nMaxTrackCells = 4 * s.log.nMaxTrackPoints;
  s.log.nMaxPanelsShown = std::max(kMinPanelsPerLog, kCampaignPanels / nLogs);
  return s;
}

CampaignLog MakeCampaignLog(const std::string& path, std::uint32_t nLog, const ReportData& report) {
  CampaignLog log;
  log.strPath = path;
  const vyr::LogSummary& s = report.summary;
  log.strKind = s.Kind();
  log.strStart = vyr::FormatIsoTime(s.file.startMs);
  log.nStartMs = s.file.startMs;
  log.nDurationMs = s.durationMs;
  log.nMessages = s.messages;
  log.nPositions = s.positions;
  log.bLastLineCut = s.lastLineCut;
  for (const auto& p : report.panels) {
    for (const vyr::BinStats& b : p->Statistics()) log.fStrongest = MaxLevel(log.fStrongest, static_cast<float>(b.MaxDbm()));
    CampaignBand band;
    bool bCombined = PanelToBand(*p, nLog, band);
    log.trackCampaignBands.push_back(bCombined ? static_cast<long long>(log.bands.size()) : -1);
    if (bCombined) log.bands.push_back(std::move(band));
  }
  log.track = report.track;
  AppendReportJson(log.reportJson, report);
  return log;
}

CampaignLog DecodeCampaignLog(const std::string& path, std::uint32_t nLog, const CampaignSettings& settings,
                              const CampaignProgressFn& onProgress) {
  CReportCollector collector(settings.log);
  vyr::DecodeRequest request = CReportCollector::Request(settings.decode);
  request.progress = [&](std::uint64_t done, std::uint64_t) {
    if (onProgress) onProgress(done);
  };
  vyr::LogDecoder decoder(request);
  vyr::DecodeResult result = vyr::DecodeCut(decoder, path, settings.cut, collector);
  if (!result.Ok()) {
    CampaignLog log;
    log.strPath = path;
    log.strRefusal = result.Describe(path);
    return log;
  }
  return MakeCampaignLog(path, nLog, collector.Finish());
}

size_t CCampaign::AddBand(const CampaignBand& b) {
  auto& bands = m_data.bands;
  auto found = std::find_if(bands.begin(), bands.end(), [&](const CampaignBand& c) { return c.SamePlan(b); });
  if (found == bands.end()) {
    CampaignBand fresh;
    fresh.bChannels = b.bChannels;
    fresh.nStartHz = b.nStartHz;
    fresh.nStopHz = b.nStopHz;
    if (!b.bChannels)
      for (const CampaignBin& bin : b.bins) fresh.bins.push_back({bin.dFrequencyMHz, {}, 0});
    bands.push_back(std::move(fresh));
    found = bands.end() - 1;
  }
  CampaignBand& into = *found;
  into.nSweeps += b.nSweeps;
  ++into.nLogs;
  if (!b.bChannels) {
    for (size_t i = 0; i < b.bins.size(); ++i) MergeBin(into.bins[i], b.bins[i]);
    return static_cast<size_t>(found - bands.begin());
  }
  // Channels meet by frequency (to 1 Hz), kept in rising order.
  auto byHz = [](const CampaignBin& a, std::int64_t hz) { return ToHz(a.dFrequencyMHz) < hz; };
  for (const CampaignBin& bin : b.bins) {
    std::int64_t hz = ToHz(bin.dFrequencyMHz);
    auto at = std::lower_bound(into.bins.begin(), into.bins.end(), hz, byHz);
    if (at == into.bins.end() || ToHz(at->dFrequencyMHz) != hz) at = into.bins.insert(at, {bin.dFrequencyMHz, {}, 0});
    MergeBin(*at, bin);
  }
  into.nStartHz = ToHz(into.bins.front().dFrequencyMHz);
  into.nStopHz = ToHz(into.bins.back().dFrequencyMHz);
  return static_cast<size_t>(found - bands.begin());
}

void CCampaign::Add(CampaignLog log) {
  for (const CampaignBand& b : log.bands) {
    size_t at = AddBand(b);
    log.outline.push_back({b.bChannels, b.bins.front().dFrequencyMHz, b.bins.back().dFrequencyMHz, b.bins.size(), at});
  }
  for (long long& k : log.trackCampaignBands)
    if (k >= 0) k = static_cast<long long>(log.outline[static_cast<size_t>(k)].nCampaignBand);
  log.bands.clear();
  log.bands.shrink_to_fit();
  m_data.logs.push_back(std::move(log));
}

CampaignData CCampaign::Finish() {
  auto& signals = m_data.signals;
  signals.clear();
  for (size_t nBand = 0; nBand < m_data.bands.size(); ++nBand) {
    const CampaignBand& band = m_data.bands[nBand];
    auto reached = [&](size_t i) { return band.bins[i].nLogsAbove > 0; };
    for (size_t i = 0; i < band.bins.size();) {
      if (!reached(i)) {
        ++i;
        continue;
      }
      // As in a log's table: a channel stands alone, neighbouring bins of a band form one signal.
      size_t end = i + 1;
      if (!band.bChannels)
        while (end < band.bins.size() && reached(end)) ++end;
      size_t peak = i;
      for (size_t k = i; k < end; ++k)
        if (band.bins[k].stats.MaxDbm() > band.bins[peak].stats.MaxDbm()) peak = k;
      signals.push_back({nBand, peak, static_cast<int>(end - i)});
      i = end;
    }
  }
  auto level = [&](const CampaignSignal& g) { return m_data.bands[g.nBand].bins[g.nBin].stats.MaxDbm(); };
  std::stable_sort(signals.begin(), signals.end(),
                   [&](const CampaignSignal& a, const CampaignSignal& b) { return level(a) > level(b); });
  if (signals.size() > m_data.settings.nMaxSignals) signals.resize(m_data.settings.nMaxSignals);
  return std::move(m_data);
}
