#include "ReportHtml.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "vyr/Json.h"

using vyr::AppendJsonInt;
using vyr::AppendJsonNumber;
#include "ReportAssets.h"

#ifndef KEL_ECHARTS_VERSION
#define KEL_ECHARTS_VERSION "unknown"
#endif

namespace {
constexpr std::int16_t kNoLevelTenths = -32768;
}  // namespace

void AppendJsonKey(std::string& out, const char* key) {
  out += ",\"";
  out += key;
  out += "\":";
}

void AppendNumberOrNull(std::string& out, double d) {
  if (std::isfinite(d)) AppendJsonNumber(out, d);
  else out += "null";
}

namespace {

// The waterfall's cells, base64 of little-endian 16-bit tenths of a dB.
void AppendCells(std::string& out, const std::vector<float>& cells) {
  std::vector<unsigned char> bytes;
  bytes.reserve(cells.size() * 2);
  for (float level : cells) {
    auto v = static_cast<std::uint16_t>(LevelToTenths(level));
    bytes.push_back(static_cast<unsigned char>(v & 0xFF));
    bytes.push_back(static_cast<unsigned char>(v >> 8));
  }
  out += '"';
  AppendBase64(out, bytes.data(), bytes.size());
  out += '"';
}

// Average, maximum and minimum of each column, from the statistics of its bins.
void AppendSpectra(std::string& out, const CReportPanel& p) {
  std::vector<double> avg, max, min;
  const auto& stats = p.Statistics();
  for (size_t c = 0; c < p.Cols(); ++c) {
    double sum = 0, hi = NAN, lo = NAN;
    std::uint64_t n = 0;
    for (size_t b = p.ColumnStart(c); b < std::min(p.ColumnStart(c + 1), stats.size()); ++b) {
      const vyr::BinStats& s = stats[b];
      if (s.Count() == 0) continue;
      sum += s.SumDbm();
      n += s.FiniteCount();
      hi = std::isnan(hi) ? s.MaxDbm() : std::max<double>(hi, s.MaxDbm());
      lo = std::isnan(lo) ? s.MinDbm() : std::min<double>(lo, s.MinDbm());
    }
    avg.push_back(n ? sum / static_cast<double>(n) : NAN);
    max.push_back(hi);
    min.push_back(lo);
  }
  auto num = [&](double d) { AppendNumberOrNull(out, d); };
  AppendJsonKey(out, "avg");
  AppendJsonArray(out, avg, num);
  AppendJsonKey(out, "max");
  AppendJsonArray(out, max, num);
  AppendJsonKey(out, "min");
  AppendJsonArray(out, min, num);
}

void AppendPanelJson(std::string& out, const CReportPanel& p) {
  CSweepReducer::Result w = p.Waterfall();
  auto num = [&](double d) { AppendNumberOrNull(out, d); };
  auto integer = [&](auto n) { AppendJsonInt(out, static_cast<long long>(n)); };
  out += "{\"band\":";
  AppendJsonInt(out, p.Band());
  AppendJsonKey(out, "first_bin");
  AppendJsonInt(out, p.FirstBin());
  AppendJsonKey(out, "bins");
  AppendJsonInt(out, static_cast<long long>(p.Bins()));
  AppendJsonKey(out, "sweeps");
  AppendJsonInt(out, p.Sweeps());
  AppendJsonKey(out, "freqs_mhz");
  AppendJsonArray(out, p.FrequenciesMHz(), num);
  std::vector<size_t> colStart;
  for (size_t c = 0; c < w.nCols; ++c) colStart.push_back(p.ColumnStart(c));
  AppendJsonKey(out, "cols");
  AppendJsonInt(out, static_cast<long long>(w.nCols));
  AppendJsonKey(out, "col_start");
  AppendJsonArray(out, colStart, integer);
  AppendJsonKey(out, "rows");
  AppendJsonInt(out, static_cast<long long>(w.nRows));
  AppendJsonKey(out, "row_first_ms");
  AppendJsonArray(out, w.firstMs, integer);
  AppendJsonKey(out, "row_last_ms");
  AppendJsonArray(out, w.lastMs, integer);
  AppendJsonKey(out, "row_sweeps");
  AppendJsonArray(out, w.sweeps, integer);
  AppendJsonKey(out, "cells");
  AppendCells(out, w.cells);
  AppendSpectra(out, p);
  out += '}';
}

void AppendSignalJson(std::string& out, const Signal& g) {
  out += "{\"band\":";
  AppendJsonInt(out, g.nBand);
  AppendJsonKey(out, "channel");
  AppendJsonInt(out, g.nChannel);
  AppendJsonKey(out, "bin");
  AppendJsonInt(out, g.nBin);
  AppendJsonKey(out, "frequency_mhz");
  AppendNumberOrNull(out, g.dFrequencyMHz);
  AppendJsonKey(out, "max_dbm");
  AppendNumberOrNull(out, g.fMaxLevel);
  AppendJsonKey(out, "bins");
  AppendJsonInt(out, g.nBins);
  AppendJsonKey(out, "above");
  AppendJsonInt(out, static_cast<long long>(g.nAbove));
  AppendJsonKey(out, "occupancy");
  AppendNumberOrNull(out, g.dOccupancy);
  AppendJsonKey(out, "sweeps");
  AppendJsonInt(out, g.nSweeps);
  AppendJsonKey(out, "first_ms");
  AppendJsonInt(out, g.nFirstAboveMs);
  AppendJsonKey(out, "last_ms");
  AppendJsonInt(out, g.nLastAboveMs);
  out += '}';
}


}  // namespace

void AppendTrackJson(std::string& out, const std::vector<TrackPoint>& track) {
  out += "{\"t\":";
  AppendJsonArray(out, track, [&](const TrackPoint& p) { AppendJsonInt(out, p.nTimeMs); });
  AppendJsonKey(out, "lat");
  AppendJsonArray(out, track, [&](const TrackPoint& p) { AppendNumberOrNull(out, p.dLatitude); });
  AppendJsonKey(out, "lon");
  AppendJsonArray(out, track, [&](const TrackPoint& p) { AppendNumberOrNull(out, p.dLongitude); });
  AppendJsonKey(out, "level");
  AppendJsonArray(out, track, [&](const TrackPoint& p) { AppendNumberOrNull(out, p.fLevel); });
  out += '}';
}

// JSON inside a script element: no "<" may start a closing tag or a comment.
void AppendScriptSafe(std::string& out, std::string_view json) {
  for (char c : json) {
    if (c == '<') out += "\\u003c";
    else out += c;
  }
}
std::int16_t LevelToTenths(float level) {
  if (std::isnan(level)) return kNoLevelTenths;
  double tenths = std::round(static_cast<double>(level) * 10.0);
  return static_cast<std::int16_t>(std::clamp(tenths, -32767.0, 32767.0));
}

void AppendBase64(std::string& out, const unsigned char* p, size_t n) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  size_t i = 0;
  for (; i + 3 <= n; i += 3) {
    unsigned v = (p[i] << 16) | (p[i + 1] << 8) | p[i + 2];
    out += kAlphabet[v >> 18];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  if (i == n) return;
  unsigned v = p[i] << 16;
  if (i + 1 < n) v |= p[i + 1] << 8;
  out += kAlphabet[v >> 18];
  out += kAlphabet[(v >> 12) & 63];
  out += i + 1 < n ? kAlphabet[(v >> 6) & 63] : '=';
  out += '=';
}

void AppendHtmlEscaped(std::string& out, std::string_view s) {
  for (char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
}

void AppendReportJson(std::string& out, const ReportData& d) {
  std::string summary;
  vyr::AppendSummaryJson(summary, d.summary);
  while (!summary.empty() && summary.back() == '\n') summary.pop_back();
  out += "{\"summary\":";
  out += summary;
  AppendJsonKey(out, "start_ms");
  AppendJsonInt(out, d.summary.file.startMs);
  AppendJsonKey(out, "threshold_dbm");
  AppendNumberOrNull(out, d.settings.dSignalThresholdDbm);
  AppendJsonKey(out, "scan");
  out += d.bScan ? "true" : "false";
  AppendJsonKey(out, "levels_outside_plan");
  AppendJsonInt(out, static_cast<long long>(d.nLevelsOutsidePlan));
  AppendJsonKey(out, "panels");
  AppendJsonArray(out, d.panels, [&](const std::unique_ptr<CReportPanel>& p) { AppendPanelJson(out, *p); });
  AppendJsonKey(out, "signals");
  AppendJsonArray(out, d.signals, [&](const Signal& g) { AppendSignalJson(out, g); });
  AppendJsonKey(out, "track");
  AppendTrackJson(out, d.track);
  out += '}';
}

void FillTemplate(std::string& out, std::string_view page, const std::function<bool(std::string_view key)>& fill) {
  size_t pos = 0;
  while (pos < page.size()) {
    size_t open = page.find("{{", pos);
    size_t close = open == std::string_view::npos ? open : page.find("}}", open);
    if (close == std::string_view::npos) {
      out.append(page.substr(pos));
      break;
    }
    out.append(page.substr(pos, open - pos));
    if (!fill(page.substr(open + 2, close - open - 2)))
      out.append(page.substr(open, close + 2 - open));  // not a placeholder
    pos = close + 2;
  }
}

bool FillCommonPlaceholder(std::string& out, std::string_view key) {
  if (key == "ECHARTS") out.append(EChartsJs());
  else if (key == "ECHARTS_VERSION") out += KEL_ECHARTS_VERSION;
  else return false;
  return true;
}

void AppendReportHtml(std::string& out, const ReportData& d) {
  FillTemplate(out, ReportTemplateHtml(), [&](std::string_view key) {
    if (key == "TITLE") {
      AppendHtmlEscaped(out, d.summary.file.path);
    } else if (key == "STYLE") {
      out.append(ReportStyleCss());
    } else if (key == "SCRIPT") {
      out.append(ReportScriptJs());
    } else if (key == "DATA") {
      std::string json;
      AppendReportJson(json, d);
      AppendScriptSafe(out, json);
    } else {
      return FillCommonPlaceholder(out, key);
    }
    return true;
  });
}
