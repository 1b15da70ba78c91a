#include "ExportGeoJson.h"

#include <cmath>

#include "ExportFormats.h"
#include "vyr/Json.h"

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
  AppendShortestDouble(out, d);
  if (out.find_first_of(".e", start) == std::string::npos) out += ".0";
}

// The strongest level of a message: the first of the highest, NaN never.
const LevelRow* Strongest(const std::vector<LevelRow>& rows) {
  const LevelRow* best = nullptr;
  for (const LevelRow& r : rows) {
    if (std::isnan(r.dLevel)) continue;
    if (!best || r.dLevel > best->dLevel) best = &r;
  }
  return best;
}
}  // namespace

std::vector<int> CGeoJsonWriter::RecordedAttributes() const {
  std::vector<int> ids = CLevelRowExtractor::RecordedAttributesWithObserver();
  ids.push_back(ScanAttributes::Get().nFreq);  // the channels a header names
  return ids;
}

bool CGeoJsonWriter::IsUsable(const MessagePosition& p) {
  // NaN fails both comparisons.
  return p.HasBoth() && std::fabs(p.dLatitude) <= 90 && std::fabs(p.dLongitude) <= 180;
}

void CGeoJsonWriter::Begin(std::string& out) { out += "{\"type\": \"FeatureCollection\", \"features\": [\n"; }

void CGeoJsonWriter::Message(std::string& out, const ExportMessage& m) {
  const CVyrGenericHsMessage& msg = m.decoded.msg;
  if (msg.m_nMsgClass == kHeaderMessageClass) m_channels.Update(m.decoded);
  if (msg.m_nMsgClass != kMeasurementMessageClass) return;
  ++m_nMeasurements;
  if (!IsUsable(GetMessagePosition(msg))) {
    ++m_nSkipped;
    return;
  }
  if (m_nFeatures++ > 0) out += ",\n";
  AppendFeature(out, m);
}

void CGeoJsonWriter::AppendFeature(std::string& out, const ExportMessage& m) const {
  MessageFacts facts = GetMessageFacts(m.decoded, m.fileStart);
  out += "{\"type\": \"Feature\", \"geometry\": {\"type\": \"Point\", \"coordinates\": [";
  AppendShortestDouble(out, facts.position.dLongitude);
  out += ", ";
  AppendShortestDouble(out, facts.position.dLatitude);
  const LevelRow* best = Strongest(m.rows);
  // "name" and "timestamp" are what GDAL's KML drivers make the placemark's
  // <name> and <TimeStamp> of: Google Earth labels a point by its strongest
  // level, and its time slider plays the drive.
  out += "]}, \"properties\": {\"name\": ";
  std::string name;
  if (best && std::isfinite(best->dLevel)) {
    AppendShortestDouble(name, best->dLevel);
    name += " dBm";
  } else {
    name = "no level";
  }
  AppendJsonString(out, name);
  out += ", \"file\": ";
  AppendJsonString(out, m.file);
  out += ", \"message\": ";
  AppendJsonInt(out, static_cast<long long>(facts.nIndex));
  out += ", \"time\": ";
  AppendJsonString(out, facts.strTime);
  out += ", \"timestamp\": ";
  AppendJsonString(out, facts.strTime);
  out += ", \"time_ms\": ";
  AppendJsonInt(out, facts.nTimeMs);
  out += ", \"quality\": ";
  AppendJsonInt(out, facts.position.nQuality);
  out += ", \"levels\": ";
  AppendJsonInt(out, static_cast<long long>(m.rows.size()));
  if (best) {
    out += ", \"max_level_dbm\": ";
    AppendRealOrNull(out, best->dLevel);
    out += ", \"max_frequency_mhz\": ";
    AppendRealOrNull(out, best->bHasFrequency ? best->dFrequencyMHz : NAN);
  }
  if (!m.levels.IsScan()) AppendChannelProperties(out, m.rows);
  out += "}}";
}

// One property per channel the header named, then one per further element
// that holds a level; rows are sorted by element.
void CGeoJsonWriter::AppendChannelProperties(std::string& out, const std::vector<LevelRow>& rows) const {
  auto row = rows.begin();
  auto property = [&](int e) {
    out += ", \"ch";
    AppendJsonInt(out, e + 1LL);
    out += "_dbm\": ";
  };
  for (int e = 0; e < m_channels.Count(); ++e) {
    while (row != rows.end() && row->nBin < e) ++row;
    property(e);
    if (row != rows.end() && row->nBin == e) AppendRealOrNull(out, row->dLevel);
    else out += "null";
  }
  for (; row != rows.end(); ++row) {
    if (row->nBin < m_channels.Count()) continue;
    property(row->nBin);
    AppendRealOrNull(out, row->dLevel);
  }
}

std::string CGeoJsonWriter::EndFile(std::string_view file) {
  std::string note;
  if (m_nSkipped > 0)
    note = "vyrhost export: " + EscapeFileName(std::string(file)) + ": " + std::to_string(m_nSkipped) + " of " +
           std::to_string(m_nMeasurements) + " measurement messages have no usable position and are not in the GeoJSON";
  m_nSkipped = m_nMeasurements = 0;
  m_channels.Clear();
  return note;
}

void CGeoJsonWriter::End(std::string& out) { out += m_nFeatures > 0 ? "\n]}\n" : "]}\n"; }
