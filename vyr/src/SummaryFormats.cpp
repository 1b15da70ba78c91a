// The two forms of a log summary (`vyrhost info`): a readable listing and one JSON line.
#include <cmath>
#include <cstdio>

#include "vyr/Json.h"
#include "vyr/Summary.h"

namespace vyr {

namespace {
// d with at most maxDecimals decimals, trailing zeros dropped down to
// minDecimals.
std::string FormatTrimmed(double d, int maxDecimals, int minDecimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", maxDecimals, d);
  std::string s = buf;
  size_t point = s.find('.');
  if (point == std::string::npos) return s;
  size_t keep = point + 1 + static_cast<size_t>(minDecimals);
  while (s.size() > keep && s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  return s;
}

std::string FormatMHz(double d) { return FormatTrimmed(d, 6, 3) + " MHz"; }

double RoundToMilliHertzInKHz(double kHz) { return std::round(kHz * 1e6) / 1e6; }

void AppendLine(std::string& out, const char* label, const std::string& value) {
  out += label;
  out += value;
  out += '\n';
}

void AppendBandsText(std::string& out, const std::vector<BandSummary>& bands) {
  out += "Bands (" + std::to_string(bands.size()) + "):\n";
  for (const BandSummary& b : bands) {
    out += "  Band " + std::to_string(b.number) + ": ";
    if (b.bins == 0) {
      out += "no bins\n";
      continue;
    }
    out += FormatMHz(b.startMHz) + " to " + FormatMHz(b.stopMHz) + ", step " +
           FormatTrimmed(b.stepKHz, 3, 0) + " kHz, " + std::to_string(b.bins) + " bins (bins " +
           std::to_string(b.firstElement) + " to " + std::to_string(b.firstElement + b.bins - 1) + ")\n";
  }
}

// The fields, columns and bands or channels of one header.
void AppendSectionText(std::string& out, const HeaderSummary& h) {
  for (const auto& [name, value] : h.fields) out += "  " + name + " = " + value + "\n";
  out += "Columns (" + std::to_string(h.columns.size()) + "):";
  for (size_t i = 0; i < h.columns.size(); ++i) out += (i ? ", " : " ") + h.columns[i];
  out += '\n';
  if (!h.bands.empty()) AppendBandsText(out, h.bands);
  if (!h.channels.empty()) {
    out += "Channels (" + std::to_string(h.channels.size()) + "):\n";
    for (const ChannelSummary& ch : h.channels)
      out += "  Channel " + std::to_string(ch.element + 1) + ": " + FormatMHz(ch.mhz) + "\n";
  }
}

void AppendClassesJson(std::string& out, const LogSummary& s) {
  out += "[";
  for (size_t i = 0; i < s.classes.size(); ++i) {
    out += i ? ", {\"class\": " : "{\"class\": ";
    AppendJsonInt(out, s.classes[i].number);
    out += ", \"name\": ";
    AppendJsonString(out, s.classes[i].name);
    out += ", \"count\": ";
    AppendJsonInt(out, static_cast<long long>(s.classes[i].count));
    out += '}';
  }
  out += ']';
}

void AppendHeaderJson(std::string& out, const HeaderSummary& h) {
  out += "{";
  for (size_t i = 0; i < h.fields.size(); ++i) {
    if (i) out += ", ";
    AppendJsonString(out, h.fields[i].first);
    out += ": ";
    AppendJsonString(out, h.fields[i].second);
  }
  out += '}';
}

void AppendBandsJson(std::string& out, const std::vector<BandSummary>& bands) {
  out += "[";
  for (size_t i = 0; i < bands.size(); ++i) {
    const BandSummary& b = bands[i];
    out += i ? ", {\"band\": " : "{\"band\": ";
    AppendJsonInt(out, b.number);
    out += ", \"first_bin\": ";
    AppendJsonInt(out, b.firstElement);
    out += ", \"bins\": ";
    AppendJsonInt(out, b.bins);
    out += ", \"start_mhz\": ";
    AppendJsonNumber(out, b.startMHz);
    out += ", \"stop_mhz\": ";
    AppendJsonNumber(out, b.stopMHz);
    out += ", \"step_khz\": ";
    AppendJsonNumber(out, RoundToMilliHertzInKHz(b.stepKHz));
    out += '}';
  }
  out += ']';
}

void AppendChannelsJson(std::string& out, const std::vector<ChannelSummary>& channels) {
  out += "[";
  for (size_t i = 0; i < channels.size(); ++i) {
    out += i ? ", {\"channel\": " : "{\"channel\": ";
    AppendJsonInt(out, channels[i].element + 1);
    out += ", \"bin\": ";
    AppendJsonInt(out, channels[i].element);
    out += ", \"frequency_mhz\": ";
    AppendJsonNumber(out, channels[i].mhz);
    out += '}';
  }
  out += ']';
}

void AppendStringArrayJson(std::string& out, const std::vector<std::string>& v) {
  out += "[";
  for (size_t i = 0; i < v.size(); ++i) {
    if (i) out += ", ";
    AppendJsonString(out, v[i]);
  }
  out += ']';
}

// The members of one header, as they follow "software_version" in JSON.
void AppendSectionJson(std::string& out, const HeaderSummary& h) {
  out += ", \"header\": ";
  AppendHeaderJson(out, h);
  out += ", \"columns\": ";
  AppendStringArrayJson(out, h.columns);
  out += ", \"bands\": ";
  AppendBandsJson(out, h.bands);
  out += ", \"channels\": ";
  AppendChannelsJson(out, h.channels);
}
}  // namespace

// The one form of a duration, as the report pages write it too: "5.500 s",
// "12 min 05.500 s", "3 h 02 min 05.500 s".
std::string FormatDuration(std::int64_t ms) {
  const unsigned long long t = ms < 0 ? 0ULL - static_cast<unsigned long long>(ms) : static_cast<unsigned long long>(ms);
  const char* sign = ms < 0 ? "-" : "";
  char buf[80];
  if (t < 60000)
    std::snprintf(buf, sizeof buf, "%s%llu.%03llu s", sign, t / 1000, t % 1000);
  else if (t < 3600000)
    std::snprintf(buf, sizeof buf, "%s%llu min %02llu.%03llu s", sign, t / 60000, t / 1000 % 60, t % 1000);
  else
    std::snprintf(buf, sizeof buf, "%s%llu h %02llu min %02llu.%03llu s", sign, t / 3600000, t / 60000 % 60, t / 1000 % 60,
                  t % 1000);
  return buf;
}

void AppendSummaryText(std::string& out, const LogSummary& s) {
  static const HeaderSummary kNone;
  const HeaderSummary& first = s.headers.empty() ? kNone : s.headers.front();
  AppendLine(out, "File: ", EscapeFileName(s.file.path));
  AppendLine(out, "Type: ", s.file.type + " (decode device \"" + s.file.deviceName + "\", device type " +
                                std::to_string(s.file.deviceType) + ")");
  AppendLine(out, "Kind: ", s.Kind());
  AppendLine(out, "Software version: ", s.headers.empty() ? std::string("(no header message)") : first.softwareVersion);
  AppendLine(out, "Start: ", FormatIsoTime(s.file.startMs));
  AppendLine(out, "End: ", s.EndIso());
  AppendLine(out, "Duration: ", FormatDuration(s.durationMs));
  AppendLine(out, "Messages: ", std::to_string(s.messages));
  for (const MessageClassCount& c : s.classes)
    out += "  " + std::to_string(c.number) + (c.name.empty() ? "" : " " + c.name) + ": " +
           std::to_string(c.count) + "\n";
  AppendLine(out, "Positions: ", std::to_string(s.positions) + " of " + std::to_string(s.measurementMessages) +
                                     " measurement messages");
  if (s.lastLineCut) AppendLine(out, "Last line: ", "cut short (no line end), its last field left out");
  out += "Header:\n";
  AppendSectionText(out, first);
  for (size_t i = 1; i < s.headers.size(); ++i) {
    const HeaderSummary& h = s.headers[i];
    out += "Header of message " + std::to_string(h.message) + " (software version " + h.softwareVersion + "):\n";
    AppendSectionText(out, h);
  }
}

void AppendSummaryJson(std::string& out, const LogSummary& s) {
  static const HeaderSummary kNone;
  const HeaderSummary& first = s.headers.empty() ? kNone : s.headers.front();
  out += "{\"file\": ";
  AppendJsonString(out, s.file.path);
  out += ", \"type\": ";
  AppendJsonString(out, s.file.type);
  out += ", \"decode_device\": ";
  AppendJsonString(out, s.file.deviceName);
  out += ", \"device_type\": ";
  AppendJsonInt(out, s.file.deviceType);
  out += ", \"kind\": ";
  AppendJsonString(out, s.Kind());
  out += ", \"start\": ";
  AppendJsonString(out, FormatIsoTime(s.file.startMs));
  out += ", \"end\": ";
  AppendJsonString(out, s.EndIso());
  out += ", \"duration_ms\": ";
  AppendJsonInt(out, s.durationMs);
  out += ", \"messages\": ";
  AppendJsonInt(out, static_cast<long long>(s.messages));
  out += ", \"message_classes\": ";
  AppendClassesJson(out, s);
  out += ", \"positions\": ";
  AppendJsonInt(out, static_cast<long long>(s.positions));
  out += s.lastLineCut ? ", \"last_line_cut\": true" : ", \"last_line_cut\": false";
  out += ", \"software_version\": ";
  if (s.headers.empty()) out += "null";
  else AppendJsonString(out, first.softwareVersion);
  AppendSectionJson(out, first);
  out += ", \"later_headers\": [";
  for (size_t i = 1; i < s.headers.size(); ++i) {
    out += i > 1 ? ", {\"message\": " : "{\"message\": ";
    AppendJsonInt(out, static_cast<long long>(s.headers[i].message));
    out += ", \"software_version\": ";
    AppendJsonString(out, s.headers[i].softwareVersion);
    AppendSectionJson(out, s.headers[i]);
    out += '}';
  }
  out += "]}\n";
}

}  // namespace vyr
