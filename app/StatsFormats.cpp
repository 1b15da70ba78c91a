#include "StatsFormats.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "ExportFormats.h"
#include "vyr/Json.h"

namespace {
// How the text table shows a number; CSV and JSON Lines write every number
// in the shortest form that reads back as the same double.
enum class Style { Count, Mhz, Db1, Db2, Share, Degrees, Text };

struct Cell {
  enum class Kind { None, Int, Real, Text } kind = Kind::None;
  long long n = 0;
  double d = 0;
  std::string text;
};
Cell Int(long long n) { return {Cell::Kind::Int, n, 0, {}}; }
Cell Real(double d) { return std::isnan(d) ? Cell{} : Cell{Cell::Kind::Real, 0, d, {}}; }
Cell Text(std::string s) { return {Cell::Kind::Text, 0, 0, std::move(s)}; }
Cell Band(int band) { return band > 0 ? Int(band) : Cell{}; }  // empty for channels, as in export
Cell Mhz(std::int64_t hz) { return Real(vyr::HzToMHz(hz)); }

struct Context {
  const std::vector<std::string>& files;
  Cell File(std::uint32_t n) const { return n < files.size() ? Text(files[n]) : Cell{}; }
};

template <class Row>
struct Column {
  const char* name;
  Style style;
  Cell (*get)(const Row&, const Context&);
};

// The columns of where a maximum was measured, for any row that holds one.
template <class Row, const vyr::FrequencyRow& (*At)(const Row&)>
std::vector<Column<Row>> WhereColumns() {
  return {{"max_time", Style::Text, [](const Row& r, const Context&) { return Text(vyr::FormatIsoTime(At(r).maxTimeMs)); }},
          {"max_lat", Style::Degrees, [](const Row& r, const Context&) { return Real(At(r).maxLat); }},
          {"max_lon", Style::Degrees, [](const Row& r, const Context&) { return Real(At(r).maxLon); }},
          {"max_file", Style::Text, [](const Row& r, const Context& c) { return c.File(At(r).maxFile); }},
          {"max_message", Style::Count,
           [](const Row& r, const Context&) { return Int(static_cast<long long>(At(r).maxMessage)); }}};
}

const vyr::FrequencyRow& Itself(const vyr::FrequencyRow& r) { return r; }
const vyr::FrequencyRow& Strongest(const vyr::BandRow& r) { return r.strongest; }

using F = vyr::FrequencyRow;
const std::vector<Column<F>>& FrequencyColumns() {
  static const std::vector<Column<F>> columns = [] {
    std::vector<Column<F>> c = {
        {"frequency_hz", Style::Count, [](const F& r, const Context&) { return Int(r.hz); }},
        {"frequency_mhz", Style::Mhz, [](const F& r, const Context&) { return Mhz(r.hz); }},
        {"band", Style::Count, [](const F& r, const Context&) { return Band(r.band); }},
        {"sweeps", Style::Count, [](const F& r, const Context&) { return Int(static_cast<long long>(r.sweeps)); }},
        {"occupancy", Style::Share, [](const F& r, const Context&) { return Real(r.occupancy); }},
        {"p10_dbm", Style::Db1, [](const F& r, const Context&) { return Real(r.p10); }},
        {"median_dbm", Style::Db1, [](const F& r, const Context&) { return Real(r.median); }},
        {"p90_dbm", Style::Db1, [](const F& r, const Context&) { return Real(r.p90); }},
        {"mean_dbm", Style::Db2, [](const F& r, const Context&) { return Real(r.mean); }},
        {"max_dbm", Style::Db1, [](const F& r, const Context&) { return Real(r.max); }}};
    for (auto& w : WhereColumns<F, Itself>()) c.push_back(w);
    return c;
  }();
  return columns;
}

using B = vyr::BandRow;
const std::vector<Column<B>>& BandColumns() {
  static const std::vector<Column<B>> columns = [] {
    std::vector<Column<B>> c = {
        {"band", Style::Count, [](const B& r, const Context&) { return Band(r.band); }},
        {"start_mhz", Style::Mhz, [](const B& r, const Context&) { return Mhz(r.startHz); }},
        {"stop_mhz", Style::Mhz, [](const B& r, const Context&) { return Mhz(r.stopHz); }},
        {"frequencies", Style::Count, [](const B& r, const Context&) { return Int(static_cast<long long>(r.frequencies)); }},
        {"sweeps", Style::Count, [](const B& r, const Context&) { return Int(static_cast<long long>(r.sweeps)); }},
        {"noise_floor_dbm", Style::Db1, [](const B& r, const Context&) { return Real(r.noiseFloor); }},
        {"threshold_dbm", Style::Db1, [](const B& r, const Context&) { return Real(r.threshold); }},
        {"occupied", Style::Count, [](const B& r, const Context&) { return Int(static_cast<long long>(r.occupied)); }},
        {"occupancy", Style::Share, [](const B& r, const Context&) { return Real(r.occupancy); }},
        {"mean_occupancy", Style::Share, [](const B& r, const Context&) { return Real(r.meanOccupancy); }},
        {"max_dbm", Style::Db1, [](const B& r, const Context&) { return Real(r.strongest.max); }},
        {"max_frequency_hz", Style::Count, [](const B& r, const Context&) { return Int(r.strongest.hz); }},
        {"max_frequency_mhz", Style::Mhz, [](const B& r, const Context&) { return Mhz(r.strongest.hz); }}};
    for (auto& w : WhereColumns<B, Strongest>()) c.push_back(w);
    return c;
  }();
  return columns;
}

void AppendCsvCell(std::string& out, const Cell& c) {
  switch (c.kind) {
    case Cell::Kind::None: break;
    case Cell::Kind::Int: vyr::AppendJsonInt(out, c.n); break;
    case Cell::Kind::Real: vyr::AppendShortestDouble(out, c.d); break;
    case Cell::Kind::Text: AppendCsvField(out, c.text); break;
  }
}

void AppendJsonCell(std::string& out, const Cell& c) {
  switch (c.kind) {
    case Cell::Kind::None: out += "null"; break;
    case Cell::Kind::Int: vyr::AppendJsonInt(out, c.n); break;
    case Cell::Kind::Real: vyr::AppendJsonNumber(out, c.d); break;
    case Cell::Kind::Text: vyr::AppendJsonString(out, c.text); break;
  }
}

std::string TextCell(const Cell& c, Style style) {
  char buf[64];
  switch (c.kind) {
    case Cell::Kind::None: return "-";
    case Cell::Kind::Int: return std::to_string(c.n);
    // File names and times; a name is shown with its control characters escaped.
    case Cell::Kind::Text: return vyr::EscapeFileName(c.text);
    case Cell::Kind::Real: break;
  }
  if (!std::isfinite(c.d)) return c.d > 0 ? "inf" : "-inf";
  switch (style) {
    case Style::Db1: std::snprintf(buf, sizeof buf, "%.1f", c.d); break;
    case Style::Db2: std::snprintf(buf, sizeof buf, "%.2f", c.d); break;
    case Style::Share: std::snprintf(buf, sizeof buf, "%.1f%%", 100 * c.d); break;
    case Style::Degrees: std::snprintf(buf, sizeof buf, "%.6f", c.d); break;
    default: {
      std::string s;
      vyr::AppendShortestDouble(s, c.d);
      return s;
    }
  }
  return buf;
}

template <class Row>
void AppendTable(std::string& out, StatsFormat format, const std::vector<Column<Row>>& columns,
                 const std::vector<Row>& rows, const Context& context) {
  if (format == StatsFormat::Jsonl) {
    for (const Row& r : rows) {
      out += '{';
      for (size_t k = 0; k < columns.size(); ++k) {
        out += k ? ", \"" : "\"";
        out += columns[k].name;
        out += "\": ";
        AppendJsonCell(out, columns[k].get(r, context));
      }
      out += "}\n";
    }
    return;
  }
  if (format == StatsFormat::Csv) {
    for (size_t k = 0; k < columns.size(); ++k) out += (k ? "," : "") + std::string(columns[k].name);
    out += '\n';
    for (const Row& r : rows) {
      for (size_t k = 0; k < columns.size(); ++k) {
        if (k) out += ',';
        AppendCsvCell(out, columns[k].get(r, context));
      }
      out += '\n';
    }
    return;
  }
  // Text: the hertz column is left out (the MHz one tells the same), numbers
  // right-aligned, texts left-aligned, two blanks between columns.
  std::vector<const Column<Row>*> shown;
  for (const Column<Row>& c : columns)
    if (std::string_view(c.name) != "frequency_hz" && std::string_view(c.name) != "max_frequency_hz") shown.push_back(&c);
  std::vector<std::vector<std::string>> cells(1);
  std::vector<size_t> width(shown.size());
  for (size_t k = 0; k < shown.size(); ++k) cells[0].push_back(shown[k]->name);
  for (const Row& r : rows) {
    auto& line = cells.emplace_back();
    for (const Column<Row>* c : shown) line.push_back(TextCell(c->get(r, context), c->style));
  }
  for (const auto& line : cells)
    for (size_t k = 0; k < shown.size(); ++k) width[k] = std::max(width[k], line[k].size());
  for (const auto& line : cells) {
    std::string text;
    for (size_t k = 0; k < shown.size(); ++k) {
      const std::string pad(width[k] - line[k].size(), ' ');
      text += k ? "  " : "";
      text += shown[k]->style == Style::Text ? line[k] + pad : pad + line[k];
    }
    text.erase(text.find_last_not_of(' ') + 1);
    out += text + '\n';
  }
}
}  // namespace

void AppendFrequencyTable(std::string& out, StatsFormat format, const std::vector<vyr::FrequencyRow>& rows,
                          const std::vector<std::string>& files) {
  AppendTable(out, format, FrequencyColumns(), rows, Context{files});
}

void AppendBandTable(std::string& out, StatsFormat format, const std::vector<vyr::BandRow>& rows,
                     const std::vector<std::string>& files) {
  AppendTable(out, format, BandColumns(), rows, Context{files});
}
