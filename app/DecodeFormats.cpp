#include "DecodeFormats.h"

#include <charconv>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "vyr/Json.h"
#include "vyr/LevelRows.h"
#include "VyrSchema.h"

namespace {
// "position LAT, LON"; a coordinate on its own as "latitude LAT, no
// longitude" or "no latitude, longitude LON"; "no position" for neither.
void AppendPositionText(std::string& out, const MessagePosition& p) {
  char line[128];
  if (!p.bHasLatitude && !p.bHasLongitude) {
    out += "no position";
  } else if (p.HasBoth()) {
    std::snprintf(line, sizeof line, "position %.6f, %.6f", p.dLatitude, p.dLongitude);
    out += line;
  } else if (p.bHasLatitude) {
    std::snprintf(line, sizeof line, "latitude %.6f, no longitude", p.dLatitude);
    out += line;
  } else {
    std::snprintf(line, sizeof line, "no latitude, longitude %.6f", p.dLongitude);
    out += line;
  }
  std::snprintf(line, sizeof line, " (quality %d)\n", p.nQuality);
  out += line;
}

const char* OpName(CVyrMemoryDataState::Op op) { return op == CVyrMemoryDataState::Op::Set ? "set" : "clear"; }

void AppendWriteValueJson(std::string& out, const CVyrMemoryDataState::Write& w) {
  switch (w.kind) {
    case CVyrMemoryDataState::Kind::Real: AppendJsonNumber(out, w.dValue); break;
    case CVyrMemoryDataState::Kind::Int: AppendJsonInt(out, w.nValue); break;
    case CVyrMemoryDataState::Kind::Text: AppendJsonString(out, w.strValue); break;
    case CVyrMemoryDataState::Kind::None: out += "null"; break;
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

void AppendWriteValueText(std::string& out, const CVyrMemoryDataState::Write& w) {
  switch (w.kind) {
    case CVyrMemoryDataState::Kind::Real: AppendReadableNumber(out, w.dValue); break;
    case CVyrMemoryDataState::Kind::Int: AppendJsonInt(out, w.nValue); break;
    case CVyrMemoryDataState::Kind::Text:
      out += '"';
      AppendEscapedText(out, w.strValue, "");
      out += '"';
      break;
    case CVyrMemoryDataState::Kind::None: break;
  }
}

void AppendCoordinateJson(std::string& out, double d, bool has) {
  if (has) AppendJsonNumber(out, d);
  else out += "null";
}

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7f; }

// Indents every line of a multi-line text for the readable listing.
void AppendIndented(std::string& out, const CString& text, const char* indent) {
  std::string_view v = text.view();
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

void AppendEscapedText(std::string& out, std::string_view text, const char* pszKept) {
  // Most texts hold no control byte: they are copied whole.
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (!IsControl(c) || (c != 0 && std::strchr(pszKept, c))) continue;
    out.append(text, start, i - start);
    char buf[8];
    std::snprintf(buf, sizeof buf, "\\x%02X", c);
    out += buf;
    start = i + 1;
  }
  out.append(text, start, text.size() - start);
}

std::string AttributeName(int nAttrId) {
  IVyrSchemaAccessor2* schema = GetSchemaDefsDynamic();
  const char* name = schema ? schema->GetAttrNameById(nAttrId) : nullptr;
  return name ? name : std::to_string(nAttrId);
}

void WriteFileStartText(std::string& out, const DecodedFileInfo& info) {
  out += "== ";
  out += EscapeFileName(info.strPath);
  out += " (" + info.strTypeName + ", start " + info.startTime.FormatIso8601() + ", device type " +
         std::to_string(info.nDeviceType) + ")\n";
}

void WriteMessageTextHead(std::string& out, const DecodedMessage& m) {
  char line[256];
  std::snprintf(line, sizeof line, "\n#%" PRIu64 "  class %d  time %+.3f s  ", m.nIndex, m.msg.m_nMsgClass,
                static_cast<double>(m.msg.m_msgTime.GetMs()) / 1000.0);
  out += line;
  AppendPositionText(out, GetMessagePosition(m.msg));
  out += "  name:    ";
  AppendEscapedText(out, m.expanded.m_strMsgName.view(), "");
  out += "\n  detail:\n";
  AppendIndented(out, m.expanded.m_strDetailText, "    ");
}

void AppendWriteText(std::string& out, const CVyrMemoryDataState::Write& w) {
  char line[64];
  out += "    ";
  out += AttributeName(w.nAttrId);
  std::snprintf(line, sizeof line, "[%d] scope %d ", w.nIndex, w.nScope);
  out += line;
  if (w.op == CVyrMemoryDataState::Op::Clear) {
    out += "cleared\n";
    return;
  }
  out += "= ";
  AppendWriteValueText(out, w);
  out += '\n';
}

void WriteMessageText(std::string& out, const DecodedMessage& m) {
  WriteMessageTextHead(out, m);
  if (m.writes.empty()) return;
  out += kTextAttributesLine;
  for (const auto& w : m.writes) AppendWriteText(out, w);
}

void WriteFileStartJsonl(std::string& out, const DecodedFileInfo& info) {
  out += "{\"file\": ";
  AppendJsonString(out, info.strPath);
  out += ", \"type\": ";
  AppendJsonString(out, info.strTypeName);
  out += ", \"start\": ";
  AppendJsonString(out, info.startTime.FormatIso8601());
  out += ", \"device_type\": ";
  AppendJsonInt(out, info.nDeviceType);
  out += "}\n";
}

void WriteMessageJsonlHead(std::string& out, const DecodedMessage& m) {
  MessagePosition position = GetMessagePosition(m.msg);
  const char* payload = m.msg.GetMsgBuf();
  out += "{\"index\": ";
  AppendJsonInt(out, static_cast<long long>(m.nIndex));
  out += ", \"class\": ";
  AppendJsonInt(out, m.msg.m_nMsgClass);
  out += ", \"time_ms\": ";
  AppendJsonInt(out, m.msg.m_msgTime.GetMs());
  out += ", \"lat\": ";
  AppendCoordinateJson(out, position.dLatitude, position.bHasLatitude);
  out += ", \"lon\": ";
  AppendCoordinateJson(out, position.dLongitude, position.bHasLongitude);
  out += ", \"quality\": ";
  AppendJsonInt(out, position.nQuality);
  out += ", \"payload\": ";
  AppendJsonString(out, payload ? std::string_view(payload, static_cast<size_t>(m.msg.GetMsgBufLen())) : "");
  out += ", \"name\": ";
  AppendJsonString(out, m.expanded.m_strMsgName.view());
  out += ", \"summary\": ";
  AppendJsonString(out, m.expanded.m_strSummaryText.view());
  out += ", \"detail\": ";
  AppendJsonString(out, m.expanded.m_strDetailText.view());
  out += ", \"type\": ";
  AppendJsonInt(out, m.expanded.m_nMsgType);
  out += ", \"attrs\": [";
}

void AppendWriteJsonl(std::string& out, const CVyrMemoryDataState::Write& w, bool bFirst) {
  out += bFirst ? "{\"attr\": " : ", {\"attr\": ";
  AppendJsonString(out, AttributeName(w.nAttrId));
  out += ", \"index\": ";
  AppendJsonInt(out, w.nIndex);
  out += ", \"scope\": ";
  AppendJsonInt(out, w.nScope);
  out += ", \"op\": \"";
  out += OpName(w.op);
  out += '"';
  if (w.op == CVyrMemoryDataState::Op::Set) {
    out += ", \"value\": ";
    AppendWriteValueJson(out, w);
  }
  out += '}';
}

void WriteMessageJsonl(std::string& out, const DecodedMessage& m) {
  WriteMessageJsonlHead(out, m);
  bool first = true;
  for (const auto& w : m.writes) {
    AppendWriteJsonl(out, w, first);
    first = false;
  }
  out += kJsonlMessageEnd;
}

void WriteSummaryJson(std::string& out, const std::string& path, const DecodeCounts& c) {
  out += "{\"file\": ";
  AppendJsonString(out, path);
  out += ", \"messages\": ";
  AppendJsonInt(out, static_cast<long long>(c.nMessages));
  out += ", \"header_messages\": ";
  AppendJsonInt(out, static_cast<long long>(c.nHeaderMessages));
  out += ", \"measurement_messages\": ";
  AppendJsonInt(out, static_cast<long long>(c.nMeasurementMessages));
  out += ", \"attribute_writes\": ";
  AppendJsonInt(out, static_cast<long long>(c.nAttributeWrites));
  out += "}\n";
}
