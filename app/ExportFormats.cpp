#include "ExportFormats.h"

#include <charconv>
#include <cmath>

#include "vyr/Json.h"

namespace {
const char kColumns[] = "file,message,time,time_ms,lat,lon,quality,band,bin,frequency_mhz,level_dbm";

void AppendInt(std::string& out, long long n) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, n);
  out.append(buf, r.ptr);
}

void AppendJsonDoubleOrNull(std::string& out, bool has, double d) {
  if (has) AppendJsonNumber(out, d);
  else out += "null";
}
}  // namespace

void AppendShortestDouble(std::string& out, double d) {
  if (std::isnan(d)) {
    out += "nan";
    return;
  }
  if (std::isinf(d)) {
    out += d > 0 ? "inf" : "-inf";
    return;
  }
  char buf[32];
  auto r = std::to_chars(buf, buf + sizeof buf, d);
  out.append(buf, r.ptr);
}

void AppendCsvField(std::string& out, std::string_view s) {
  if (s.find_first_of(",\"\r\n") == std::string_view::npos) {
    out.append(s);
    return;
  }
  out += '"';
  for (char c : s) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

void AppendCsvHeader(std::string& out) {
  out += kColumns;
  out += '\n';
}

void AppendCsvRow(std::string& out, std::string_view file, const MessageFacts& m, const LevelRow& r) {
  AppendCsvField(out, file);
  out += ',';
  AppendInt(out, static_cast<long long>(m.nIndex));
  out += ',';
  out += m.strTime;
  out += ',';
  AppendInt(out, m.nTimeMs);
  out += ',';
  if (m.position.bHasLatitude) AppendShortestDouble(out, m.position.dLatitude);
  out += ',';
  if (m.position.bHasLongitude) AppendShortestDouble(out, m.position.dLongitude);
  out += ',';
  AppendInt(out, m.position.nQuality);
  out += ',';
  if (r.nBand > 0) AppendInt(out, r.nBand);
  out += ',';
  AppendInt(out, r.nBin);
  out += ',';
  if (r.bHasFrequency) AppendShortestDouble(out, r.dFrequencyMHz);
  out += ',';
  AppendShortestDouble(out, r.dLevel);
  out += '\n';
}

void AppendJsonlRow(std::string& out, std::string_view file, const MessageFacts& m, const LevelRow& r) {
  out += "{\"file\": ";
  AppendJsonString(out, file);
  out += ", \"message\": ";
  AppendJsonInt(out, static_cast<long long>(m.nIndex));
  out += ", \"time\": ";
  AppendJsonString(out, m.strTime);
  out += ", \"time_ms\": ";
  AppendJsonInt(out, m.nTimeMs);
  out += ", \"lat\": ";
  AppendJsonDoubleOrNull(out, m.position.bHasLatitude, m.position.dLatitude);
  out += ", \"lon\": ";
  AppendJsonDoubleOrNull(out, m.position.bHasLongitude, m.position.dLongitude);
  out += ", \"quality\": ";
  AppendJsonInt(out, m.position.nQuality);
  out += ", \"band\": ";
  if (r.nBand > 0) AppendJsonInt(out, r.nBand);
  else out += "null";
  out += ", \"bin\": ";
  AppendJsonInt(out, r.nBin);
  out += ", \"frequency_mhz\": ";
  AppendJsonDoubleOrNull(out, r.bHasFrequency, r.dFrequencyMHz);
  out += ", \"level_dbm\": ";
  AppendJsonNumber(out, r.dLevel);
  out += "}\n";
}
