#include "ReportHtml.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <functional>
#include <limits>

#include "vyr/Json.h"
#include "vyr/Peaks.h"

using vyr::AppendJsonInt;
using vyr::AppendJsonNumber;
using vyr::AppendJsonString;
#include "ReportAssets.h"
#include "Sha256.h"

#ifndef KEL_ECHARTS_VERSION
#define KEL_ECHARTS_VERSION "unknown"
#endif

namespace {
constexpr std::int16_t kNoLevelTenths = -32768;
}  // namespace

void AppendFirstKey(std::string& out, const char* key) {
  out += '"';
  out += key;
  out += "\":";
}

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

// Per column the busiest bin's occupancy and the median of its bins' 10th
// percentiles (a bin's own when the column is one bin); then the band's
// figures as `vyrhost stats --by band` gives them.
void AppendOccupancy(std::string& out, const CReportPanel& p) {
  std::vector<double> occupancy, p10;
  const auto& stats = p.Statistics();
  std::vector<const vyr::BinStats*> all, column;
  for (size_t c = 0; c < p.Cols(); ++c) {
    double busiest = NAN;
    column.clear();
    for (size_t b = p.ColumnStart(c); b < std::min(p.ColumnStart(c + 1), stats.size()); ++b) {
      if (std::isnan(p.FrequenciesMHz()[b])) continue;  // in no row of the statistics
      column.push_back(&stats[b]);
      const double o = stats[b].Occupancy();
      if (!std::isnan(o) && !(o <= busiest)) busiest = o;
    }
    occupancy.push_back(busiest);
    p10.push_back(vyr::NoiseFloorDbm(column));
    all.insert(all.end(), column.begin(), column.end());
  }
  AppendBandOccupancyJson(out, occupancy, p10, vyr::OccupancyOf(all, vyr::kDefaultOccupiedShare));
}

// A position to the centimetre, null for none.
void AppendPosition(std::string& out, double degrees) {
  AppendNumberOrNull(out, std::round(degrees * 1e7) / 1e7);
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
  AppendJsonKey(out, "row_lat");
  AppendJsonArray(out, w.firstLat, [&](double d) { AppendPosition(out, d); });
  AppendJsonKey(out, "row_lon");
  AppendJsonArray(out, w.firstLon, [&](double d) { AppendPosition(out, d); });
  AppendJsonKey(out, "cells");
  AppendCells(out, w.cells);
  AppendSpectra(out, p);
  AppendOccupancy(out, p);
  out += '}';
}

void AppendTopBinJson(std::string& out, const TopBin& t) {
  out += "{\"panel\":";
  AppendJsonInt(out, static_cast<long long>(t.nPanel));
  AppendJsonKey(out, "band");
  AppendJsonInt(out, t.row.band);
  AppendJsonKey(out, "channel");
  AppendJsonInt(out, t.nChannel);
  AppendFrequencyRowJson(out, t.row);
  out += '}';
}

}  // namespace

void AppendBandOccupancyJson(std::string& out, const std::vector<double>& occupancy, const std::vector<double>& p10,
                             const vyr::BandOccupancy& band) {
  auto num = [&](double d) { AppendNumberOrNull(out, d); };
  AppendJsonKey(out, "occupancy");
  AppendJsonArray(out, occupancy, num);
  AppendJsonKey(out, "p10_dbm");
  AppendJsonArray(out, p10, num);
  AppendJsonKey(out, "noise_floor_dbm");
  AppendNumberOrNull(out, band.noiseFloor);
  AppendJsonKey(out, "frequencies");
  AppendJsonInt(out, static_cast<long long>(band.frequencies));
  AppendJsonKey(out, "occupied");
  AppendJsonInt(out, static_cast<long long>(band.occupied));
  AppendJsonKey(out, "band_occupancy");
  AppendNumberOrNull(out, band.occupancy);
  AppendJsonKey(out, "mean_occupancy");
  AppendNumberOrNull(out, band.meanOccupancy);
}

void AppendFrequencyRowJson(std::string& out, const vyr::FrequencyRow& r) {
  AppendJsonKey(out, "frequency_mhz");
  AppendNumberOrNull(out, vyr::HzToMHz(r.hz));
  AppendJsonKey(out, "max_dbm");
  AppendNumberOrNull(out, r.max);
  AppendJsonKey(out, "time");
  AppendJsonString(out, vyr::FormatIsoTime(r.maxTimeMs));
  AppendJsonKey(out, "lat");
  AppendNumberOrNull(out, r.maxLat);
  AppendJsonKey(out, "lon");
  AppendNumberOrNull(out, r.maxLon);
  AppendJsonKey(out, "message");
  AppendJsonInt(out, static_cast<long long>(r.maxMessage));
  AppendJsonKey(out, "sweeps");
  AppendJsonInt(out, static_cast<long long>(r.sweeps));
  AppendJsonKey(out, "occupancy");
  AppendNumberOrNull(out, r.occupancy);
  AppendJsonKey(out, "median_dbm");
  AppendNumberOrNull(out, r.median);
}

void AppendLevelOrNull(std::string& out, float level) {
  if (!std::isfinite(level)) {
    out += "null";
    return;
  }
  char buf[32];
  auto r = std::to_chars(buf, buf + sizeof buf, level);
  out.append(buf, r.ptr);
}

namespace {
// Frequencies of the track to the hertz: the plan's arithmetic leaves digits
// that only lengthen the page.
void AppendTrackFrequency(std::string& out, double mhz) { AppendNumberOrNull(out, std::round(mhz * 1e6) / 1e6); }
}  // namespace

void AppendTrackJson(std::string& out, const ReducedTrack& track, const char* keyName, const std::vector<long long>& keys) {
  const std::vector<TrackPoint>& points = track.points;
  out += "{\"t\":";
  AppendJsonArray(out, points, [&](const TrackPoint& p) { AppendJsonInt(out, p.nTimeMs); });
  AppendJsonKey(out, "lat");
  AppendJsonArray(out, points, [&](const TrackPoint& p) { AppendNumberOrNull(out, p.dLatitude); });
  AppendJsonKey(out, "lon");
  AppendJsonArray(out, points, [&](const TrackPoint& p) { AppendNumberOrNull(out, p.dLongitude); });
  AppendJsonKey(out, "level");
  AppendJsonArray(out, points, [&](const TrackPoint& p) { AppendLevelOrNull(out, p.fLevel); });
  AppendJsonKey(out, "freq_mhz");
  AppendJsonArray(out, points, [&](const TrackPoint& p) { AppendTrackFrequency(out, p.dFrequencyMHz); });
  AppendJsonKey(out, "off_earth");
  AppendJsonInt(out, static_cast<long long>(track.nOffEarth));
  AppendJsonKey(out, "bands");
  out += '[';
  bool bFirst = true;
  for (size_t b = 0; b < track.nBands; ++b) {
    long long key = b < keys.size() ? keys[b] : -1;
    if (key < 0) continue;
    out += bFirst ? "{" : ",{";
    bFirst = false;
    AppendFirstKey(out, keyName);
    AppendJsonInt(out, key);
    std::vector<size_t> index(points.size());
    for (size_t i = 0; i < index.size(); ++i) index[i] = i;
    AppendJsonKey(out, "level");
    AppendJsonArray(out, index, [&](size_t i) { AppendLevelOrNull(out, track.Level(i, b).fLevel); });
    AppendJsonKey(out, "freq_mhz");
    AppendJsonArray(out, index, [&](size_t i) { AppendTrackFrequency(out, track.Level(i, b).dFrequencyMHz); });
    out += '}';
  }
  out += ']';
  AppendJsonKey(out, "map");
  AppendMapLayerJson(out, track.map);
  out += '}';
}

void AppendMapLayerJson(std::string& out, const MapLayer& map) {
  if (std::isnan(map.dFrequencyMHz)) {
    out += "null";
    return;
  }
  out += "{\"frequency_mhz\":";
  AppendTrackFrequency(out, map.dFrequencyMHz);
  AppendJsonKey(out, "strongest");
  out += map.bStrongest ? "true" : "false";
  AppendJsonKey(out, "points_per_level");
  AppendJsonInt(out, map.nPointsPerLevel);
  AppendJsonKey(out, "level");
  AppendJsonArray(out, map.levels, [&](const TrackLevel& l) { AppendLevelOrNull(out, l.fLevel); });
  AppendJsonKey(out, "freq_mhz");
  AppendJsonArray(out, map.levels, [&](const TrackLevel& l) { AppendTrackFrequency(out, l.dFrequencyMHz); });
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
  const size_t nShown = d.settings.nMaxPanelsShown;
  vyr::LogSummary shown = d.summary;
  // A header names three fields per band.
  const size_t nFieldsShown = nShown > std::numeric_limits<size_t>::max() / 4 ? nShown : 4 * nShown;
  std::vector<size_t> bandCounts, fieldCounts;
  for (vyr::HeaderSummary& h : shown.headers) {
    bandCounts.push_back(h.bands.size());
    fieldCounts.push_back(h.fields.size());
    if (h.bands.size() > nShown) h.bands.resize(nShown);
    if (h.fields.size() > nFieldsShown) h.fields.resize(nFieldsShown);
  }
  std::string summary;
  vyr::AppendSummaryJson(summary, shown);
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
  // Per header, the bands and fields it has, of which the summary may list fewer.
  auto count = [&](size_t n) { AppendJsonInt(out, static_cast<long long>(n)); };
  AppendJsonKey(out, "summary_bands");
  AppendJsonArray(out, bandCounts, count);
  AppendJsonKey(out, "summary_fields");
  AppendJsonArray(out, fieldCounts, count);
  AppendJsonKey(out, "panels_total");
  AppendJsonInt(out, static_cast<long long>(d.panels.size()));
  AppendJsonKey(out, "panels");
  out += '[';
  for (size_t i = 0; i < std::min(nShown, d.panels.size()); ++i) {
    if (i) out += ',';
    AppendPanelJson(out, *d.panels[i]);
  }
  out += ']';
  AppendJsonKey(out, "occupied_share");
  AppendNumberOrNull(out, vyr::kDefaultOccupiedShare);
  AppendJsonKey(out, "peak_prominence_db");
  AppendNumberOrNull(out, vyr::kDefaultPeakProminenceDb);
  AppendJsonKey(out, "top_bins");
  AppendJsonArray(out, d.topBins, [&](const TopBin& t) { AppendTopBinJson(out, t); });
  // The track's bands are the panels; those not shown have no name on the page.
  std::vector<long long> panelKeys;
  for (size_t i = 0; i < std::min(nShown, d.panels.size()); ++i) panelKeys.push_back(static_cast<long long>(i));
  AppendJsonKey(out, "track");
  AppendTrackJson(out, d.track, "panel", panelKeys);
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
  else if (key == "COMMON_SCRIPT") out.append(CommonScriptJs());
  else return false;
  return true;
}

std::string ScriptHashSources(std::string_view page, StaticFill fillStatic) {
  std::string filled;
  FillTemplate(filled, page, [&](std::string_view key) {
    fillStatic(filled, key);
    return true;  // the other placeholders stay empty: none is inside an executable script
  });
  // Executable scripts are the plain <script> elements; data blocks carry a type.
  constexpr std::string_view kOpen = "<script>", kClose = "</script>";
  std::string sources;
  for (size_t at = filled.find(kOpen); at != std::string::npos; at = filled.find(kOpen, at)) {
    size_t begin = at + kOpen.size(), end = filled.find(kClose, begin);
    if (end == std::string::npos) break;
    std::array<std::uint8_t, 32> hash = Sha256(std::string_view(filled).substr(begin, end - begin));
    if (!sources.empty()) sources += ' ';
    sources += "'sha256-";
    AppendBase64(sources, hash.data(), hash.size());
    sources += '\'';
    at = end + kClose.size();
  }
  return sources;
}

bool TileUrlOrigin(std::string_view url, std::string& origin, std::string& reason) {
  std::string start(url.substr(0, 8));
  for (char& c : start) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  size_t scheme = start.rfind("https://", 0) == 0 ? 8 : start.rfind("http://", 0) == 0 ? 7 : 0;
  size_t slash = scheme ? url.find('/', scheme) : std::string_view::npos;
  if (slash == std::string_view::npos) {
    reason = "is not an http or https address with a path";
    return false;
  }
  // The host and port go into the policy: letters, digits, dots, hyphens, a colon before the port, an IPv6 address in brackets.
  std::string_view host = url.substr(scheme, slash - scheme);
  auto hostChar = [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == ':' || c == '[' || c == ']';
  };
  if (host.empty() || !std::all_of(host.begin(), host.end(), hostChar)) {
    reason = "has a host that is not a plain name, address or port";
    return false;
  }
  // The rest goes into image addresses: no spaces, quotes, angle brackets or backslashes.
  for (char c : url) {
    if (static_cast<unsigned char>(c) <= ' ' || c == '"' || c == '\'' || c == '<' || c == '>' || c == '\\' || c == 127) {
      reason = "holds a space, a control character, a quote, an angle bracket or a backslash";
      return false;
    }
  }
  for (const char* part : {"{z}", "{x}", "{y}"}) {
    if (url.find(part) == std::string_view::npos) {
      reason = std::string("lacks ") + part;
      return false;
    }
  }
  origin.assign(url.substr(0, slash));
  for (char& c : origin) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return true;
}

bool FillHeadPlaceholder(std::string& out, std::string_view key, std::string_view page, StaticFill fillStatic,
                         const PageOptions& options) {
  std::string origin, reason;
  bool bTiles = !options.strTileUrl.empty() && TileUrlOrigin(options.strTileUrl, origin, reason);
  if (key == "CSP") {
    // No request of any kind but the tiles: no fetch, frame, font or form; no
    // script but the page's own, so that no text of a log can run as one.
    std::string policy = "default-src 'none'; script-src " + ScriptHashSources(page, fillStatic) +
                         "; style-src 'unsafe-inline'; img-src data: blob:" + (bTiles ? " " + origin : "") +
                         "; base-uri 'none'; form-action 'none'";
    out += policy;  // no quote, ampersand or angle bracket: the origin was checked
  } else if (key == "PAGE_OPTIONS") {
    std::string json = "{\"tiles\":";
    if (bTiles) AppendJsonString(json, options.strTileUrl);
    else json += "null";
    json += '}';
    AppendScriptSafe(out, json);
  } else {
    return false;
  }
  return true;
}

namespace {
// What every report page holds alike.
bool FillReportStatic(std::string& out, std::string_view key) {
  if (key == "STYLE") out.append(ReportStyleCss());
  else if (key == "SCRIPT") out.append(ReportScriptJs());
  else return FillCommonPlaceholder(out, key);
  return true;
}
}  // namespace

void AppendReportHtml(std::string& out, const ReportData& d, const PageOptions& options) {
  FillTemplate(out, ReportTemplateHtml(), [&](std::string_view key) {
    if (key == "TITLE") {
      AppendHtmlEscaped(out, d.summary.file.path);
    } else if (key == "DATA") {
      std::string json;
      AppendReportJson(json, d);
      AppendScriptSafe(out, json);
    } else if (!FillHeadPlaceholder(out, key, ReportTemplateHtml(), FillReportStatic, options)) {
      return FillReportStatic(out, key);
    }
    return true;
  });
}
