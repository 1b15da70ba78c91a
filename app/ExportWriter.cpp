#include "ExportWriter.h"

#include "ExportGeoJson.h"
#include "ExportSweeps.h"

namespace {
// The row formats: one row per level, the message columns formatted once.
class CRowWriter : public CExportWriter {
 public:
  explicit CRowWriter(ExportFormat format) : m_format(format) {}
  vyr::DecodeRequest Request() const override {
    vyr::DecodeRequest r;
    r.levels = true;
    return r;
  }
  void Begin(std::string& out) override {
    if (m_format == ExportFormat::Csv) AppendCsvHeader(out);
  }
  void Levels(std::string& out, std::string_view file, const vyr::Message& m, const vyr::Level* levels,
              size_t count) override {
    if (m_format == ExportFormat::Csv) AppendCsvRows(out, file, m, levels, count);
    else AppendJsonlRows(out, file, m, levels, count);
  }

 private:
  ExportFormat m_format;
};
}  // namespace

std::unique_ptr<CExportWriter> MakeExportWriter(ExportFormat format) {
  switch (format) {
    case ExportFormat::GeoJson: return std::make_unique<CGeoJsonWriter>();
    case ExportFormat::Sweeps: return std::make_unique<CSweepsWriter>();
    default: return std::make_unique<CRowWriter>(format);
  }
}
