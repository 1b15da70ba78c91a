#include "ExportGeoJson.h"

#include <cmath>

#include "vyr/Json.h"

using vyr::AppendJsonInt;
using vyr::AppendJsonString;

namespace {
// A level or frequency, always with a fraction or an exponent: GIS readers
// type a field by its values, and a whole number such as 925 would make the
// field an integer one in the logs where every value happens to be whole.
void AppendRealOrNull(std::string& out, double d) {
  if (!std::isfinite(d)) {
    out += "null";
    return;
  }
  size_t start = out.size();
  vyr::AppendShortestDouble(out, d);
  if (out.find_first_of(".e", start) == std::string::npos) out += ".0";
}

bool IsChannelSet(const vyr::Message& m) { return m.section && m.section->kind == vyr::Section::Kind::Channels; }
}  // namespace

vyr::DecodeRequest CGeoJsonWriter::Request() const {
  vyr::DecodeRequest r;
  r.levels = true;
  return r;
}

bool CGeoJsonWriter::IsUsable(const vyr::Position& p) {
  // NaN fails both comparisons.
  return p.HasBoth() && std::fabs(p.latitude) <= 90 && std::fabs(p.longitude) <= 180;
}

void CGeoJsonWriter::Begin(std::string& out) { out += "{\"type\": \"FeatureCollection\", \"features\": [\n"; }

void CGeoJsonWriter::Levels(std::string&, std::string_view, const vyr::Message& m, const vyr::Level* levels,
                            size_t count) {
  m_nLevels += count;
  const bool bChannels = IsChannelSet(m);
  for (const vyr::Level* l = levels; l != levels + count; ++l) {
    // The strongest level is the first of the highest; NaN never.
    if (!std::isnan(l->dbm) && (!m_bHasStrongest || l->dbm > m_strongest.dbm)) {
      m_strongest = *l;
      m_bHasStrongest = true;
    }
    if (bChannels) m_channelLevels.emplace_back(l->element, l->dbm);
  }
}

void CGeoJsonWriter::Message(std::string& out, std::string_view file, const vyr::Message& m) {
  if (m.role == vyr::Role::Measurement) {
    ++m_nMeasurements;
    if (!IsUsable(m.position)) ++m_nSkipped;
    else {
      if (m_nFeatures++ > 0) out += ",\n";
      AppendFeature(out, file, m);
    }
  }
  m_nLevels = 0;
  m_bHasStrongest = false;
  m_channelLevels.clear();
}

void CGeoJsonWriter::AppendFeature(std::string& out, std::string_view file, const vyr::Message& m) const {
  out += "{\"type\": \"Feature\", \"geometry\": {\"type\": \"Point\", \"coordinates\": [";
  vyr::AppendShortestDouble(out, m.position.longitude);
  out += ", ";
  vyr::AppendShortestDouble(out, m.position.latitude);
  // "name" and "timestamp" are what GDAL's KML drivers make the placemark's
  // <name> and <TimeStamp> of: Google Earth labels a point by its strongest
  // level, and its time slider plays the drive.
  out += "]}, \"properties\": {\"name\": ";
  std::string name = "no level";
  if (m_bHasStrongest && std::isfinite(m_strongest.dbm)) {
    name.clear();
    vyr::AppendShortestDouble(name, m_strongest.dbm);
    name += " dBm";
  }
  AppendJsonString(out, name);
  out += ", \"file\": ";
  AppendJsonString(out, file);
  out += ", \"message\": ";
  AppendJsonInt(out, static_cast<long long>(m.index));
  const std::string time = m.TimeIso();
  out += ", \"time\": ";
  AppendJsonString(out, time);
  out += ", \"timestamp\": ";
  AppendJsonString(out, time);
  out += ", \"time_ms\": ";
  AppendJsonInt(out, m.timeMs);
  out += ", \"quality\": ";
  AppendJsonInt(out, m.position.quality);
  out += ", \"levels\": ";
  AppendJsonInt(out, static_cast<long long>(m_nLevels));
  if (m_bHasStrongest) {
    out += ", \"max_level_dbm\": ";
    AppendRealOrNull(out, m_strongest.dbm);
    out += ", \"max_frequency_mhz\": ";
    AppendRealOrNull(out, m_strongest.HasFrequency() ? m_strongest.MHz() : NAN);
    if (!std::isnan(m_strongest.minDbm) || !std::isnan(m_strongest.maxDbm) || !std::isnan(m_strongest.stddevDb)) {
      out += ", \"min_dbm\": ";
      AppendRealOrNull(out, m_strongest.minDbm);
      out += ", \"max_dbm\": ";
      AppendRealOrNull(out, m_strongest.maxDbm);
      out += ", \"stddev_db\": ";
      AppendRealOrNull(out, m_strongest.stddevDb);
    }
  }
  if (IsChannelSet(m)) AppendChannelProperties(out, *m.section);
  out += "}}";
}

// One property per channel of the set, then one per further element that
// holds a level; levels come in element order.
void CGeoJsonWriter::AppendChannelProperties(std::string& out, const vyr::Section& section) const {
  const int nChannels = section.bands.empty() ? 0 : static_cast<int>(section.bands[0].Bins());
  auto level = m_channelLevels.begin();
  auto property = [&](int e) {
    out += ", \"ch";
    AppendJsonInt(out, e + 1LL);
    out += "_dbm\": ";
  };
  for (int e = 0; e < nChannels; ++e) {
    while (level != m_channelLevels.end() && level->first < e) ++level;
    property(e);
    if (level != m_channelLevels.end() && level->first == e) AppendRealOrNull(out, level->second);
    else out += "null";
  }
  for (; level != m_channelLevels.end(); ++level) {
    if (level->first < nChannels) continue;
    property(level->first);
    AppendRealOrNull(out, level->second);
  }
}

std::string CGeoJsonWriter::EndFile(std::string_view file) {
  std::string note;
  if (m_nSkipped > 0)
    note = "vyrhost export: " + vyr::EscapeFileName(file) + ": " + std::to_string(m_nSkipped) + " of " +
           std::to_string(m_nMeasurements) + " measurement messages have no usable position and are not in the GeoJSON";
  m_nSkipped = m_nMeasurements = 0;
  return note;
}

void CGeoJsonWriter::End(std::string& out) { out += m_nFeatures > 0 ? "\n]}\n" : "]}\n"; }
