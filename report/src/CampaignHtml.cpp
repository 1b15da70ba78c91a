#include "CampaignHtml.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "vyr/Json.h"
#include "vyr/Peaks.h"

using vyr::AppendJsonInt;
using vyr::AppendJsonString;
#include "ReportAssets.h"
#include "ReportHtml.h"

namespace {
void AppendInt(std::string& out, const char* key, long long n) {
  AppendJsonKey(out, key);
  AppendJsonInt(out, n);
}

void AppendLevel(std::string& out, float level) { AppendLevelOrNull(out, level); }

void AppendLogJson(std::string& out, const CampaignLog& log, size_t nMaxBands) {
  AppendFirstKey(out, "file");
  AppendJsonString(out, log.strPath);
  if (!log.strRefusal.empty()) {
    AppendJsonKey(out, "refused");
    AppendJsonString(out, log.strRefusal);
    return;
  }
  AppendJsonKey(out, "kind");
  AppendJsonString(out, log.strKind);
  AppendJsonKey(out, "start");
  AppendJsonString(out, log.strStart);
  AppendInt(out, "start_ms", log.nStartMs);
  AppendInt(out, "duration_ms", log.nDurationMs);
  AppendInt(out, "messages", static_cast<long long>(log.nMessages));
  AppendInt(out, "positions", static_cast<long long>(log.nPositions));
  AppendJsonKey(out, "strongest_dbm");
  AppendLevel(out, log.fStrongest);
  // As many bands as its section shows.
  std::vector<CampaignLogBand> outline(log.outline.begin(), log.outline.begin() + std::min(nMaxBands, log.outline.size()));
  AppendInt(out, "bands_total", static_cast<long long>(log.outline.size()));
  AppendJsonKey(out, "bands");
  AppendJsonArray(out, outline, [&](const CampaignLogBand& b) {
    out += "{\"channels\":";
    out += b.bChannels ? "true" : "false";
    AppendJsonKey(out, "start_mhz");
    AppendNumberOrNull(out, b.dStartMHz);
    AppendJsonKey(out, "stop_mhz");
    AppendNumberOrNull(out, b.dStopMHz);
    AppendInt(out, "bins", static_cast<long long>(b.nBins));
    AppendInt(out, "campaign_band", static_cast<long long>(b.nCampaignBand));
    out += '}';
  });
  AppendJsonKey(out, "track");
  AppendTrackJson(out, log.track, "campaign_band", log.trackCampaignBands);
}

// Max hold, average and min hold per column: each column the bins
// [ceil(c * bins / cols), ceil((c + 1) * bins / cols)), as in a log's panel.
void AppendBandJson(std::string& out, const CampaignBand& b, size_t nMaxCols) {
  const size_t nBins = b.bins.size();
  const size_t nCols = std::min(nBins, std::max<size_t>(1, nMaxCols));
  std::vector<double> freqs, avg, occupancy, p10;
  std::vector<float> max, min;
  std::vector<const vyr::BinStats*> all, column;
  for (size_t c = 0; c < nCols; ++c) {
    size_t first = (c * nBins + nCols - 1) / nCols, end = ((c + 1) * nBins + nCols - 1) / nCols;
    double sum = 0, busiest = NAN;
    float hi = NAN, lo = NAN;
    std::uint64_t n = 0;
    column.clear();
    for (size_t i = first; i < end; ++i) {
      const vyr::BinStats& s = b.bins[i].stats;
      column.push_back(&s);
      if (s.Count() == 0) continue;
      if (!(s.Occupancy() <= busiest)) busiest = s.Occupancy();
      sum += s.SumDbm();
      n += s.FiniteCount();
      const auto fMax = static_cast<float>(s.MaxDbm()), fMin = static_cast<float>(s.MinDbm());
      hi = std::isnan(hi) ? fMax : std::max(hi, fMax);
      lo = std::isnan(lo) ? fMin : std::min(lo, fMin);
    }
    freqs.push_back((b.bins[first].dFrequencyMHz + b.bins[end - 1].dFrequencyMHz) / 2);
    avg.push_back(n ? sum / static_cast<double>(n) : NAN);
    max.push_back(hi);
    min.push_back(lo);
    occupancy.push_back(busiest);
    p10.push_back(vyr::NoiseFloorDbm(column));
    all.insert(all.end(), column.begin(), column.end());
  }
  auto num = [&](double d) { AppendNumberOrNull(out, d); };
  auto level = [&](float f) { AppendLevel(out, f); };
  AppendFirstKey(out, "channels");
  out += b.bChannels ? "true" : "false";
  AppendJsonKey(out, "start_mhz");
  AppendNumberOrNull(out, b.bins.front().dFrequencyMHz);
  AppendJsonKey(out, "stop_mhz");
  AppendNumberOrNull(out, b.bins.back().dFrequencyMHz);
  AppendInt(out, "bins", static_cast<long long>(nBins));
  AppendInt(out, "sweeps", static_cast<long long>(b.nSweeps));
  AppendInt(out, "logs", b.nLogs);
  AppendJsonKey(out, "freqs_mhz");
  AppendJsonArray(out, freqs, num);
  AppendJsonKey(out, "max");
  AppendJsonArray(out, max, level);
  AppendJsonKey(out, "avg");
  AppendJsonArray(out, avg, num);
  AppendJsonKey(out, "min");
  AppendJsonArray(out, min, level);
  AppendBandOccupancyJson(out, occupancy, p10, vyr::OccupancyOf(all, vyr::kDefaultOccupiedShare));
}

void AppendTopBinJson(std::string& out, const CampaignData& d, const CampaignTopBin& t) {
  out += '{';
  AppendFirstKey(out, "band");
  AppendJsonInt(out, static_cast<long long>(t.nBand));
  AppendJsonKey(out, "channels");
  out += d.bands[t.nBand].bChannels ? "true" : "false";
  AppendInt(out, "log", t.row.maxFile);
  AppendInt(out, "logs_above", t.nLogsAbove);
  AppendFrequencyRowJson(out, t.row);
  out += '}';
}

// The page template before and after the logs' section data.
std::string_view TemplatePart(bool bHead) {
  std::string_view page = CampaignTemplateHtml();
  constexpr std::string_view kLogData = "{{LOG_DATA}}";
  size_t at = page.find(kLogData);
  return bHead ? page.substr(0, at) : page.substr(at + kLogData.size());
}

// What every campaign page holds alike.
bool FillCampaignStatic(std::string& out, std::string_view key) {
  if (key == "STYLE") {
    out.append(ReportStyleCss());
    out.append(CampaignStyleCss());
  } else if (key == "LOG_SCRIPT") {
    out.append(ReportScriptJs());
  } else if (key == "SCRIPT") {
    out.append(CampaignScriptJs());
  } else {
    return FillCommonPlaceholder(out, key);
  }
  return true;
}

void FillPart(std::string& out, bool bHead, size_t nLogs, const CampaignData* d, const PageOptions& options) {
  FillTemplate(out, TemplatePart(bHead), [&](std::string_view key) {
    if (key == "LOG_COUNT") {
      out += std::to_string(nLogs);
    } else if (key == "DATA" && d) {
      std::string json;
      AppendCampaignJson(json, *d);
      AppendScriptSafe(out, json);
    } else if (!FillHeadPlaceholder(out, key, CampaignTemplateHtml(), FillCampaignStatic, options)) {
      return FillCampaignStatic(out, key);
    }
    return true;
  });
}
}  // namespace

void AppendCampaignJson(std::string& out, const CampaignData& d) {
  out += '{';
  AppendFirstKey(out, "threshold_dbm");
  AppendNumberOrNull(out, d.settings.log.dSignalThresholdDbm);
  AppendJsonKey(out, "logs");
  AppendJsonArray(out, d.logs, [&](const CampaignLog& log) {
    out += '{';
    AppendLogJson(out, log, d.settings.log.nMaxPanelsShown);
    out += '}';
  });
  AppendJsonKey(out, "bands");
  AppendJsonArray(out, d.bands, [&](const CampaignBand& b) {
    out += '{';
    AppendBandJson(out, b, d.settings.nMaxSpectrumColumns);
    out += '}';
  });
  AppendJsonKey(out, "occupied_share");
  AppendNumberOrNull(out, vyr::kDefaultOccupiedShare);
  AppendJsonKey(out, "peak_prominence_db");
  AppendNumberOrNull(out, vyr::kDefaultPeakProminenceDb);
  AppendJsonKey(out, "top_bins");
  AppendJsonArray(out, d.topBins, [&](const CampaignTopBin& t) { AppendTopBinJson(out, d, t); });
  AppendJsonKey(out, "map");
  AppendMapLayerJson(out, d.map);
  out += '}';
}

void AppendCampaignHead(std::string& out, size_t nLogs, const PageOptions& options) {
  FillPart(out, true, nLogs, nullptr, options);
}

// Each decoded log's section data in a script element of its own, parsed
// only when the section is drawn.
void AppendCampaignLogData(std::string& out, size_t nLog, const std::string& reportJson) {
  out += "<script type=\"application/json\" id=\"log-data-";
  out += std::to_string(nLog);
  out += "\">";
  AppendScriptSafe(out, reportJson);
  out += "</script>\n";
}

void AppendCampaignTail(std::string& out, const CampaignData& d, const PageOptions& options) {
  FillPart(out, false, d.logs.size(), &d, options);
}

void AppendCampaignHtml(std::string& out, const CampaignData& d, const PageOptions& options) {
  AppendCampaignHead(out, d.logs.size(), options);
  for (size_t i = 0; i < d.logs.size(); ++i) {
    if (!d.logs[i].reportJson.empty()) AppendCampaignLogData(out, i, d.logs[i].reportJson);
  }
  AppendCampaignTail(out, d, options);
}
