#include "ReportHtml.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "vyr/Json.h"
#include "ReportAssets.h"

#ifndef KEL_ECHARTS_VERSION
#define KEL_ECHARTS_VERSION "unknown"
#endif

namespace {
constexpr std::int16_t kNoLevelTenths = -32768;
}  // namespace

void AppendNumberOrNull(std::string& out, double d) {
  if (std::isfinite(d)) AppendJsonNumber(out, d);
  else out += "null";
}

namespace {

template <typename T, typename F>
void AppendArray(std::string& out, const std::vector<T>& v, F appendOne) {
  out += '[';
  for (size_t i = 0; i < v.size(); ++i) {
    if (i) out += ',';
    appendOne(v[i]);
  }
  out += ']';
}

void AppendKey(std::string& out, const char* key) {
  out += ",\"";
  out += key;
  out += "\":";
}

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
      const BinStatistics& s = stats[b];
      if (s.nLevels == 0) continue;
      sum += s.dSum;
      n += s.nLevels;
      hi = std::isnan(hi) ? s.fMax : std::max<double>(hi, s.fMax);
      lo = std::isnan(lo) ? s.fMin : std::min<double>(lo, s.fMin);
    }
    avg.push_back(n ? sum / static_cast<double>(n) : NAN);
    max.push_back(hi);
    min.push_back(lo);
  }
  auto num = [&](double d) { AppendNumberOrNull(out, d); };
  AppendKey(out, "avg");
  AppendArray(out, avg, num);
  AppendKey(out, "max");
  AppendArray(out, max, num);
  AppendKey(out, "min");
  AppendArray(out, min, num);
}

void AppendPanelJson(std::string& out, const CReportPanel& p) {
  CSweepReducer::Result w = p.Waterfall();
  auto num = [&](double d) { AppendNumberOrNull(out, d); };
  auto integer = [&](auto n) { AppendJsonInt(out, static_cast<long long>(n)); };
  out += "{\"band\":";
  AppendJsonInt(out, p.Band());
  AppendKey(out, "first_bin");
  AppendJsonInt(out, p.FirstBin());
  AppendKey(out, "bins");
  AppendJsonInt(out, static_cast<long long>(p.Bins()));
  AppendKey(out, "sweeps");
  AppendJsonInt(out, p.Sweeps());
  AppendKey(out, "freqs_mhz");
  AppendArray(out, p.FrequenciesMHz(), num);
  std::vector<size_t> colStart;
  for (size_t c = 0; c < w.nCols; ++c) colStart.push_back(p.ColumnStart(c));
  AppendKey(out, "cols");
  AppendJsonInt(out, static_cast<long long>(w.nCols));
  AppendKey(out, "col_start");
  AppendArray(out, colStart, integer);
  AppendKey(out, "rows");
  AppendJsonInt(out, static_cast<long long>(w.nRows));
  AppendKey(out, "row_first_ms");
  AppendArray(out, w.firstMs, integer);
  AppendKey(out, "row_last_ms");
  AppendArray(out, w.lastMs, integer);
  AppendKey(out, "row_sweeps");
  AppendArray(out, w.sweeps, integer);
  AppendKey(out, "cells");
  AppendCells(out, w.cells);
  AppendSpectra(out, p);
  out += '}';
}

void AppendSignalJson(std::string& out, const Signal& g) {
  out += "{\"band\":";
  AppendJsonInt(out, g.nBand);
  AppendKey(out, "channel");
  AppendJsonInt(out, g.nChannel);
  AppendKey(out, "bin");
  AppendJsonInt(out, g.nBin);
  AppendKey(out, "frequency_mhz");
  AppendNumberOrNull(out, g.dFrequencyMHz);
  AppendKey(out, "max_dbm");
  AppendNumberOrNull(out, g.fMaxLevel);
  AppendKey(out, "bins");
  AppendJsonInt(out, g.nBins);
  AppendKey(out, "above");
  AppendJsonInt(out, g.nAbove);
  AppendKey(out, "sweeps");
  AppendJsonInt(out, g.nSweeps);
  AppendKey(out, "first_ms");
  AppendJsonInt(out, g.nFirstAboveMs);
  AppendKey(out, "last_ms");
  AppendJsonInt(out, g.nLastAboveMs);
  out += '}';
}


}  // namespace

void AppendTrackJson(std::string& out, const std::vector<TrackPoint>& track) {
  out += "{\"t\":";
  AppendArray(out, track, [&](const TrackPoint& p) { AppendJsonInt(out, p.nTimeMs); });
  AppendKey(out, "lat");
  AppendArray(out, track, [&](const TrackPoint& p) { AppendNumberOrNull(out, p.dLatitude); });
  AppendKey(out, "lon");
  AppendArray(out, track, [&](const TrackPoint& p) { AppendNumberOrNull(out, p.dLongitude); });
  AppendKey(out, "level");
  AppendArray(out, track, [&](const TrackPoint& p) { AppendNumberOrNull(out, p.fLevel); });
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
  AppendSummaryJson(summary, d.summary);
  while (!summary.empty() && summary.back() == '\n') summary.pop_back();
  out += "{\"summary\":";
  out += summary;
  AppendKey(out, "start_ms");
  AppendJsonInt(out, d.summary.file.startTime.GetMs());
  AppendKey(out, "threshold_dbm");
  AppendNumberOrNull(out, d.settings.dSignalThresholdDbm);
  AppendKey(out, "scan");
  out += d.bScan ? "true" : "false";
  AppendKey(out, "levels_outside_plan");
  AppendJsonInt(out, static_cast<long long>(d.nLevelsOutsidePlan));
  AppendKey(out, "panels");
  AppendArray(out, d.panels, [&](const std::unique_ptr<CReportPanel>& p) { AppendPanelJson(out, *p); });
  AppendKey(out, "signals");
  AppendArray(out, d.signals, [&](const Signal& g) { AppendSignalJson(out, g); });
  AppendKey(out, "track");
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
      AppendHtmlEscaped(out, d.summary.file.strPath);
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
