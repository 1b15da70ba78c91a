// The two forms of a log summary (`vyrhost info`): a readable listing and one JSON line.
#include <cmath>
#include <cstdio>

#include "vyr/Json.h"
#include "vyr/LogSummary.h"

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

double RoundToMilliHertzInKHz(double kHz) { return std::round(kHz * 1e6) / 1e6; }

void AppendLine(std::string& out, const char* label, const std::string& value) {
  out += label;
  out += value;
  out += '\n';
}

void AppendBandsText(std::string& out, const std::vector<PlanBand>& bands) {
  out += "Bands (" + std::to_string(bands.size()) + "):\n";
  for (const PlanBand& b : bands) {
    out += "  Band " + std::to_string(b.nBand) + ": ";
    if (b.nCount == 0) {
      out += "no bins\n";
      continue;
    }
    out += FormatMHz(b.dStartMHz) + " to " + FormatMHz(b.dStopMHz) + ", step " +
           FormatTrimmed(b.dStepKHz, 3, 0) + " kHz, " + std::to_string(b.nCount) + " bins (bins " +
           std::to_string(b.nFirst) + " to " + std::to_string(b.nFirst + b.nCount - 1) + ")\n";
  }
}

// The fields, columns and bands or channels of one header.
void AppendSectionText(std::string& out, const HeaderSection& h) {
  for (const auto& [name, value] : h.fields) out += "  " + name + " = " + value + "\n";
  out += "Columns (" + std::to_string(h.columns.size()) + "):";
  for (size_t i = 0; i < h.columns.size(); ++i) out += (i ? ", " : " ") + h.columns[i];
  out += '\n';
  if (!h.bands.empty()) AppendBandsText(out, h.bands);
  if (!h.channels.empty()) {
    out += "Channels (" + std::to_string(h.channels.size()) + "):\n";
    for (const ChannelFrequency& ch : h.channels)
      out += "  Channel " + std::to_string(ch.nIndex + 1) + ": " + FormatMHz(ch.dFrequencyMHz) + "\n";
  }
}

void AppendClassesJson(std::string& out, const LogSummary& s) {
  out += "[";
  for (size_t i = 0; i < s.classes.size(); ++i) {
    out += i ? ", {\"class\": " : "{\"class\": ";
    AppendJsonInt(out, s.classes[i].nClass);
    out += ", \"name\": ";
    AppendJsonString(out, s.classes[i].strName);
    out += ", \"count\": ";
    AppendJsonInt(out, static_cast<long long>(s.classes[i].nCount));
    out += '}';
  }
  out += ']';
}

void AppendHeaderJson(std::string& out, const HeaderSection& h) {
  out += "{";
  for (size_t i = 0; i < h.fields.size(); ++i) {
    if (i) out += ", ";
    AppendJsonString(out, h.fields[i].first);
    out += ": ";
    AppendJsonString(out, h.fields[i].second);
  }
  out += '}';
}

void AppendBandsJson(std::string& out, const std::vector<PlanBand>& bands) {
  out += "[";
  for (size_t i = 0; i < bands.size(); ++i) {
    const PlanBand& b = bands[i];
    out += i ? ", {\"band\": " : "{\"band\": ";
    AppendJsonInt(out, b.nBand);
    out += ", \"first_bin\": ";
    AppendJsonInt(out, b.nFirst);
    out += ", \"bins\": ";
    AppendJsonInt(out, b.nCount);
    out += ", \"start_mhz\": ";
    AppendJsonNumber(out, b.dStartMHz);
    out += ", \"stop_mhz\": ";
    AppendJsonNumber(out, b.dStopMHz);
    out += ", \"step_khz\": ";
    AppendJsonNumber(out, RoundToMilliHertzInKHz(b.dStepKHz));
    out += '}';
  }
  out += ']';
}

void AppendChannelsJson(std::string& out, const std::vector<ChannelFrequency>& channels) {
  out += "[";
  for (size_t i = 0; i < channels.size(); ++i) {
    out += i ? ", {\"channel\": " : "{\"channel\": ";
    AppendJsonInt(out, channels[i].nIndex + 1);
    out += ", \"bin\": ";
    AppendJsonInt(out, channels[i].nIndex);
    out += ", \"frequency_mhz\": ";
    AppendJsonNumber(out, channels[i].dFrequencyMHz);
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
void AppendSectionJson(std::string& out, const HeaderSection& h) {
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

void AppendSummaryText(std::string& out, const LogSummary& s) {
  static const HeaderSection kNone;
  const HeaderSection& first = s.headers.empty() ? kNone : s.headers.front();
  AppendLine(out, "File: ", EscapeFileName(s.file.strPath));
  AppendLine(out, "Type: ", s.file.strTypeName + " (decode device \"" + s.strDecodeDevice + "\", device type " +
                                std::to_string(s.file.nDeviceType) + ")");
  AppendLine(out, "Kind: ", s.Kind());
  AppendLine(out, "Software version: ", s.headers.empty() ? std::string("(no header message)") : first.strSoftwareVersion);
  AppendLine(out, "Start: ", s.file.startTime.FormatIso8601());
  AppendLine(out, "End: ", s.EndTime());
  AppendLine(out, "Duration: ", FormatDuration(s.nDurationMs));
  AppendLine(out, "Messages: ", std::to_string(s.nMessages));
  for (const MessageClassCount& c : s.classes)
    out += "  " + std::to_string(c.nClass) + (c.strName.empty() ? "" : " " + c.strName) + ": " +
           std::to_string(c.nCount) + "\n";
  AppendLine(out, "Positions: ", std::to_string(s.nPositions) + " of " + std::to_string(s.nMeasurementMessages) +
                                     " measurement messages");
  out += "Header:\n";
  AppendSectionText(out, first);
  for (size_t i = 1; i < s.headers.size(); ++i) {
    const HeaderSection& h = s.headers[i];
    out += "Header of message " + std::to_string(h.nMessage) + " (software version " + h.strSoftwareVersion + "):\n";
    AppendSectionText(out, h);
  }
}

void AppendSummaryJson(std::string& out, const LogSummary& s) {
  static const HeaderSection kNone;
  const HeaderSection& first = s.headers.empty() ? kNone : s.headers.front();
  out += "{\"file\": ";
  AppendJsonString(out, s.file.strPath);
  out += ", \"type\": ";
  AppendJsonString(out, s.file.strTypeName);
  out += ", \"decode_device\": ";
  AppendJsonString(out, s.strDecodeDevice);
  out += ", \"device_type\": ";
  AppendJsonInt(out, s.file.nDeviceType);
  out += ", \"kind\": ";
  AppendJsonString(out, s.Kind());
  out += ", \"start\": ";
  AppendJsonString(out, s.file.startTime.FormatIso8601());
  out += ", \"end\": ";
  AppendJsonString(out, s.EndTime());
  out += ", \"duration_ms\": ";
  AppendJsonInt(out, s.nDurationMs);
  out += ", \"messages\": ";
  AppendJsonInt(out, static_cast<long long>(s.nMessages));
  out += ", \"message_classes\": ";
  AppendClassesJson(out, s);
  out += ", \"positions\": ";
  AppendJsonInt(out, static_cast<long long>(s.nPositions));
  out += ", \"software_version\": ";
  if (s.headers.empty()) out += "null";
  else AppendJsonString(out, first.strSoftwareVersion);
  AppendSectionJson(out, first);
  out += ", \"later_headers\": [";
  for (size_t i = 1; i < s.headers.size(); ++i) {
    out += i > 1 ? ", {\"message\": " : "{\"message\": ";
    AppendJsonInt(out, static_cast<long long>(s.headers[i].nMessage));
    out += ", \"software_version\": ";
    AppendJsonString(out, s.headers[i].strSoftwareVersion);
    AppendSectionJson(out, s.headers[i]);
    out += '}';
  }
  out += "]}\n";
}
