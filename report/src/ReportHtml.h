// The report as one self-contained HTML page: the page template, its style
// and script and the charting library are built into vyrhost; the data of the
// log goes into the page as JSON.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ReportCollector.h"

// What a page shows beyond its data: an optional basemap under the maps.
struct PageOptions {
  std::string strTileUrl;  // empty, or an http(s) URL template with {z}, {x} and {y}
};

// The origin (scheme://host[:port]) of a tile URL template, which the page's
// policy then allows images from; false, with the reason, for a template the
// page cannot use.
bool TileUrlOrigin(std::string_view url, std::string& origin, std::string& reason);

// The report's data as JSON (the page's "report-data").
void AppendReportJson(std::string& out, const ReportData& d);
void AppendReportHtml(std::string& out, const ReportData& d, const PageOptions& options = {});

// Writes the page template, replacing each {{KEY}} through fill; a key that
// fill does not know (it returns false) stays as it is.
void FillTemplate(std::string& out, std::string_view page, const std::function<bool(std::string_view key)>& fill);
// The placeholders every page shares: ECHARTS, ECHARTS_VERSION and COMMON_SCRIPT.
bool FillCommonPlaceholder(std::string& out, std::string_view key);
// The placeholders of the page head that depend on its options: CSP (the
// content security policy) and PAGE_OPTIONS (a JSON object for the page's
// scripts). fillStatic fills the placeholders whose text is the same for
// every page of this build: the scripts, of which the policy allows exactly
// these by their SHA-256 hashes, so that no other script can run.
using StaticFill = bool (*)(std::string& out, std::string_view key);
bool FillHeadPlaceholder(std::string& out, std::string_view key, std::string_view page, StaticFill fillStatic,
                         const PageOptions& options);
// The hashes of the executable scripts of the template filled through
// fillStatic, as sources of a policy ("'sha256-...' 'sha256-...'").
std::string ScriptHashSources(std::string_view page, StaticFill fillStatic);

// Pieces of the report's JSON that the campaign page shares.
void AppendFirstKey(std::string& out, const char* key);  // "key": of an object's first member
void AppendJsonKey(std::string& out, const char* key);   // ,"key": of a member after the first
template <typename T, typename F>
void AppendJsonArray(std::string& out, const std::vector<T>& v, F appendOne) {
  out += '[';
  for (size_t i = 0; i < v.size(); ++i) {
    if (i) out += ',';
    appendOne(v[i]);
  }
  out += ']';
}
void AppendNumberOrNull(std::string& out, double d);  // null unless finite
// A level as the shortest text of its float, as the log wrote it ("-47.3"); null unless finite.
void AppendLevelOrNull(std::string& out, float level);
// The track; each of its bands b is named by keyName: keys[b], and left out
// where keys[b] is negative or missing ("panel" in a log's page,
// "campaign_band" on the campaign map).
void AppendTrackJson(std::string& out, const ReducedTrack& track, const char* keyName, const std::vector<long long>& keys);
// The map's layer: null, or its frequency and its level per point.
void AppendMapLayerJson(std::string& out, const MapLayer& map);
// A band's occupancy: per column ("occupancy", "p10_dbm"), then the band's
// figures ("noise_floor_dbm", "frequencies", "occupied", "band_occupancy",
// "mean_occupancy"), each member after the first.
void AppendBandOccupancyJson(std::string& out, const std::vector<double>& occupancy, const std::vector<double>& p10,
                             const vyr::BandOccupancy& band);
// A frequency's row as `vyrhost stats` has it: "frequency_mhz", "max_dbm",
// "time", "lat", "lon", "message", "sweeps", "occupancy", "median_dbm", each
// member after the first.
void AppendFrequencyRowJson(std::string& out, const vyr::FrequencyRow& r);
// JSON inside a script element: no "<" may start a closing tag or a comment.
void AppendScriptSafe(std::string& out, std::string_view json);

// Base64 (RFC 4648, with padding).
void AppendBase64(std::string& out, const unsigned char* p, size_t n);
// Text for HTML element content and attribute values.
void AppendHtmlEscaped(std::string& out, std::string_view s);
// A level as a 16-bit count of tenths of a dB; -32768 means no level.
std::int16_t LevelToTenths(float level);
