#include "ExportWriter.h"

#include "ExportGeoJson.h"
#include "ExportSweeps.h"

namespace {
// The row formats: one row per level, the message columns formatted once.
class CRowWriter : public CExportWriter {
 public:
  explicit CRowWriter(ExportFormat format) : m_format(format) {}
  void Begin(std::string& out) override {
    if (m_format == ExportFormat::Csv) AppendCsvHeader(out);
  }
  bool TakesRowsInPieces() const override { return true; }
  void Message(std::string& out, const ExportMessage& m) override {
    if (m.rows.empty()) return;
    MessageFacts facts = GetMessageFacts(m.decoded, m.fileStart);
    if (m_format == ExportFormat::Csv) AppendCsvRows(out, m.file, facts, m.rows);
    else AppendJsonlRows(out, m.file, facts, m.rows);
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
