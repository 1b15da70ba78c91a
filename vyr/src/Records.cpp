#include "vyr/Records.h"

#include <charconv>
#include <cinttypes>
#include <cmath>
#include <cstdio>

#include "vyr/Json.h"

namespace vyr {

namespace {
// "position LAT, LON"; a coordinate on its own as "latitude LAT, no
// longitude" or "no latitude, longitude LON"; "no position" for neither.
void AppendPositionText(std::string& out, const Position& p) {
  char line[128];
  if (!p.hasLatitude && !p.hasLongitude) {
    out += "no position";
  } else if (p.HasBoth()) {
    std::snprintf(line, sizeof line, "position %.6f, %.6f", p.latitude, p.longitude);
    out += line;
  } else if (p.hasLatitude) {
    std::snprintf(line, sizeof line, "latitude %.6f, no longitude", p.latitude);
    out += line;
  } else {
    std::snprintf(line, sizeof line, "no latitude, longitude %.6f", p.longitude);
    out += line;
  }
  std::snprintf(line, sizeof line, " (quality %d)\n", p.quality);
  out += line;
}

void AppendWriteValueJson(std::string& out, const AttributeWrite& w) {
  switch (w.kind) {
    case ValueKind::Real: AppendJsonNumber(out, w.real); break;
    case ValueKind::Int: AppendJsonInt(out, w.integer); break;
    case ValueKind::Text: AppendJsonString(out, w.text); break;
    case ValueKind::None: out += "null"; break;
  }
}

// Plain decimals for people (925000000 rather than 9.25e+08), still exact.
void AppendReadableNumber(std::string& out, double d) {
  if (!std::isfinite(d) || std::fabs(d) >= 1e15 || (d != 0 && std::fabs(d) < 1e-6)) {
    AppendJsonNumber(out, d);
    return;
  }
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::fixed);
  out.append(buf, r.ptr);
}

void AppendWriteValueText(std::string& out, const AttributeWrite& w) {
  switch (w.kind) {
    case ValueKind::Real: AppendReadableNumber(out, w.real); break;
    case ValueKind::Int: AppendJsonInt(out, w.integer); break;
    case ValueKind::Text:
      out += '"';
      AppendEscapedText(out, w.text, "");
      out += '"';
      break;
    case ValueKind::None: break;
  }
}

void AppendCoordinateJson(std::string& out, double d, bool has) {
  if (has) AppendJsonNumber(out, d);
  else out += "null";
}

// Indents every line of a multi-line text for the readable listing.
void AppendIndented(std::string& out, std::string_view v, const char* indent) {
  size_t start = 0;
  while (start <= v.size()) {
    size_t nl = v.find('\n', start);
    std::string_view line = v.substr(start, nl == std::string_view::npos ? std::string_view::npos : nl - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!line.empty()) {
      out += indent;
      AppendEscapedText(out, line, "\t");
      out += '\n';
    }
    if (nl == std::string_view::npos) break;
    start = nl + 1;
  }
}
}  // namespace

void AppendFileStartText(std::string& out, const FileInfo& info) {
  out += "== ";
  out += EscapeFileName(info.path);
  out += " (" + info.type + ", start " + FormatIsoTime(info.startMs) + ", device type " +
         std::to_string(info.deviceType) + ")\n";
}

void AppendFileStartJsonl(std::string& out, const FileInfo& info) {
  out += "{\"file\": ";
  AppendJsonString(out, info.path);
  out += ", \"type\": ";
  AppendJsonString(out, info.type);
  out += ", \"start\": ";
  AppendJsonString(out, FormatIsoTime(info.startMs));
  out += ", \"device_type\": ";
  AppendJsonInt(out, info.deviceType);
  out += "}\n";
}

void AppendMessageTextHead(std::string& out, const Message& m, bool bHasWrites) {
  char line[256];
  std::snprintf(line, sizeof line, "\n#%" PRIu64 "  class %d  time %+.3f s  ", m.index, m.messageClass,
                static_cast<double>(m.timeMs) / 1000.0);
  out += line;
  AppendPositionText(out, m.position);
  out += "  name:    ";
  AppendEscapedText(out, m.texts.name, "");
  out += "\n  detail:\n";
  AppendIndented(out, m.texts.detail, "    ");
  if (bHasWrites) out += "  attributes:\n";
}

void AppendWriteText(std::string& out, const AttributeWrite& w) {
  char line[64];
  out += "    ";
  out += w.attrName;
  std::snprintf(line, sizeof line, "[%d] scope %d ", w.index, w.scope);
  out += line;
  if (w.clear) {
    out += "cleared\n";
    return;
  }
  out += "= ";
  AppendWriteValueText(out, w);
  out += '\n';
}

void AppendMessageJsonlHead(std::string& out, const Message& m) {
  out += "{\"index\": ";
  AppendJsonInt(out, static_cast<long long>(m.index));
  out += ", \"class\": ";
  AppendJsonInt(out, m.messageClass);
  out += ", \"time_ms\": ";
  AppendJsonInt(out, m.timeMs);
  out += ", \"lat\": ";
  AppendCoordinateJson(out, m.position.latitude, m.position.hasLatitude);
  out += ", \"lon\": ";
  AppendCoordinateJson(out, m.position.longitude, m.position.hasLongitude);
  out += ", \"quality\": ";
  AppendJsonInt(out, m.position.quality);
  out += ", \"payload\": ";
  AppendJsonString(out, m.payload);
  out += ", \"name\": ";
  AppendJsonString(out, m.texts.name);
  out += ", \"summary\": ";
  AppendJsonString(out, m.texts.summary);
  out += ", \"detail\": ";
  AppendJsonString(out, m.texts.detail);
  out += ", \"type\": ";
  AppendJsonInt(out, m.texts.type);
  out += ", \"attrs\": [";
}

void AppendWriteJsonl(std::string& out, const AttributeWrite& w, bool bFirst) {
  out += bFirst ? "{\"attr\": " : ", {\"attr\": ";
  AppendJsonString(out, w.attrName);
  out += ", \"index\": ";
  AppendJsonInt(out, w.index);
  out += ", \"scope\": ";
  AppendJsonInt(out, w.scope);
  out += ", \"op\": \"";
  out += w.clear ? "clear" : "set";
  out += '"';
  if (!w.clear) {
    out += ", \"value\": ";
    AppendWriteValueJson(out, w);
  }
  out += '}';
}

void AppendCountsJson(std::string& out, const std::string& path, const DecodeCounts& c) {
  out += "{\"file\": ";
  AppendJsonString(out, path);
  out += ", \"messages\": ";
  AppendJsonInt(out, static_cast<long long>(c.messages));
  out += ", \"header_messages\": ";
  AppendJsonInt(out, static_cast<long long>(c.headerMessages));
  out += ", \"measurement_messages\": ";
  AppendJsonInt(out, static_cast<long long>(c.measurementMessages));
  out += ", \"attribute_writes\": ";
  AppendJsonInt(out, static_cast<long long>(c.attributeWrites));
  out += "}\n";
}

}  // namespace vyr
