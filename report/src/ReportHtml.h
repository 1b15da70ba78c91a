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

// The report's data as JSON (the page's "report-data").
void AppendReportJson(std::string& out, const ReportData& d);
void AppendReportHtml(std::string& out, const ReportData& d);

// Writes the page template, replacing each {{KEY}} through fill; a key that
// fill does not know (it returns false) stays as it is.
void FillTemplate(std::string& out, std::string_view page, const std::function<bool(std::string_view key)>& fill);
// The placeholders every page shares: ECHARTS and ECHARTS_VERSION.
bool FillCommonPlaceholder(std::string& out, std::string_view key);

// Pieces of the report's JSON that the campaign page shares.
void AppendJsonKey(std::string& out, const char* key);  // ,"key": of a member after the first
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
void AppendTrackJson(std::string& out, const std::vector<TrackPoint>& track);
// JSON inside a script element: no "<" may start a closing tag or a comment.
void AppendScriptSafe(std::string& out, std::string_view json);

// Base64 (RFC 4648, with padding).
void AppendBase64(std::string& out, const unsigned char* p, size_t n);
// Text for HTML element content and attribute values.
void AppendHtmlEscaped(std::string& out, std::string_view s);
// A level as a 16-bit count of tenths of a dB; -32768 means no level.
std::int16_t LevelToTenths(float level);
