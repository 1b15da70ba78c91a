// Fuzz target: the input bytes are a log file, decoded once through the
// vyr library as vyrhost does, while every command-line output is made of
// it: the JSON Lines listing of `decode`, the CSV and JSON Lines rows of
// `export`, the report's data, the summary of `info` and the tables of
// `stats`. Every output must parse (strict JSON, CSV records of the header's
// field count), the levels and the sweeps that the library hands on must
// agree (every level of a band stands at its bin of that band's sweep), the
// statistics must hold every level of a sweep and read back from their
// serialised form as they were, and any bytes after the serialised form's
// magic are read or refused, never read outside.
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "CStdioFile.h"
#include "DataFileFactory.h"
#include "DecodeHooks.h"
#include "ExportFormats.h"
#include "FormatDriver.h"
#include "FuzzCheck.h"
#include "HytemDecodeReceiver.h"
#include "HytemFactories.h"
#include "HytemFormatDriver.h"
#include "HytemLogRun.h"
#include "HytemScanDecoding.h"
#include "OutputCheck.h"
#include "ReportHtml.h"
#include "StatsFormats.h"
#include "VyrDecodeDevice.h"
#include "vyr/Records.h"
#include "vyr/FrequencyStats.h"
#include "vyr/Summary.h"

namespace {
const std::string g_strLogPath = "fuzz-input.h2m";
// Plans are cut at this many frequencies: the same cuts as in the whole-log
// target, with fewer writes for each header to list and check.
constexpr int kFuzzPlanCap = 100;
constexpr size_t kCsvFields = 15;

// Each line of a JSON Lines text is one strict JSON value; returns the lines.
size_t CheckJsonLines(std::string_view text) {
  FUZZ_CHECK(text.empty() || text.back() == '\n');
  size_t nLines = 0;
  while (!text.empty()) {
    const size_t nEnd = text.find('\n');
    FUZZ_CHECK(IsStrictJson(text.substr(0, nEnd)));
    text.remove_prefix(nEnd + 1);
    ++nLines;
  }
  return nLines;
}

bool SameLevel(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

// What one input makes; the outputs of one message are checked at once.
class COutputs final : public vyr::LogVisitor {
 public:
  COutputs() : m_report(ReportSettings()), m_spectrum(g_strLogPath, vyr::Thresholds(-80)) {}

  int Run() {
    vyr::DecodeRequest request;
    request.texts = request.writes = request.levels = request.sweeps = request.rankedLevels = true;
    vyr::DecodeResult result = vyr::LogDecoder(request).Decode(g_strLogPath, *this);
    if (!result.Ok()) return result.code;
    std::string text;
    vyr::AppendCountsJson(text, g_strLogPath, result.counts);
    FUZZ_CHECK(CheckJsonLines(text) == 1);
    text.clear();
    AppendReportJson(text, m_report.Finish());
    FUZZ_CHECK(IsStrictJson(text));
    text.clear();
    vyr::AppendSummaryJson(text, m_info.Summary());
    FUZZ_CHECK(CheckJsonLines(text) == 1);
    CheckSpectrum(m_spectrum.Finish());
    return result.code;
  }

  void CheckSpectrum(const vyr::Spectrum& spectrum) const {
    std::uint64_t nLevels = spectrum.LevelsWithoutFrequency();
    for (const vyr::SpectrumBin& b : spectrum.Bins()) nLevels += b.stats.Count();
    FUZZ_CHECK(nLevels == m_nAllSweepLevels);
    const std::string bytes = spectrum.Serialize();
    FUZZ_CHECK(vyr::Spectrum::Deserialize(bytes).Serialize() == bytes);
    std::string table;
    AppendFrequencyTable(table, StatsFormat::Csv, vyr::FrequencyRows(spectrum), spectrum.Files());
    size_t nRecords = 0;
    FUZZ_CHECK(IsCsvRecords(table, 15, nRecords) && nRecords == spectrum.Bins().size() + 1);
    table.clear();
    AppendBandTable(table, StatsFormat::Jsonl, vyr::BandRows(spectrum, 0.1), spectrum.Files());
    CheckJsonLines(table);
  }

  void OnFile(const vyr::FileInfo& info) override {
    std::string line;
    vyr::AppendFileStartJsonl(line, info);
    FUZZ_CHECK(CheckJsonLines(line) == 1);
    m_report.OnFile(info);
    m_info.OnFile(info);
  }
  void OnWrite(const vyr::AttributeWrite& w) override {
    vyr::AppendWriteJsonl(m_writes, w, m_writes.empty());
  }
  void OnLevels(const vyr::Message& m, const vyr::Level* levels, size_t count) override {
    m_levels.insert(m_levels.end(), levels, levels + count);
    std::string rows;
    AppendCsvRows(rows, g_strLogPath, m, levels, count);
    size_t nRecords = 0;
    FUZZ_CHECK(IsCsvRecords(rows, kCsvFields, nRecords) && nRecords == count);
    rows.clear();
    AppendJsonlRows(rows, g_strLogPath, m, levels, count);
    FUZZ_CHECK(CheckJsonLines(rows) == count);
    m_report.OnLevels(m, levels, count);
  }
  void OnSection(const vyr::Section& s) override { m_spectrum.OnSection(s); }
  void OnSweep(const vyr::Message& m, const vyr::Sweep& sweep) override {
    for (size_t bin = 0; bin < sweep.band.Bins(); ++bin)
      if (!std::isnan(sweep.dbm[bin])) ++m_nSweepLevels, ++m_nAllSweepLevels;
    m_spectrum.OnSweep(m, sweep);
    for (const vyr::Level& l : m_levels) {
      if (l.band != sweep.band.number || l.element < sweep.band.firstElement) continue;
      const auto bin = static_cast<size_t>(l.element - sweep.band.firstElement);
      if (bin >= sweep.band.Bins()) continue;
      FUZZ_CHECK(SameLevel(sweep.dbm[bin], l.dbm) && sweep.band.hz[bin] == l.hz);
    }
    m_report.OnSweep(m, sweep);
  }
  void OnMessage(const vyr::Message& m) override {
    std::string record;
    vyr::AppendMessageJsonlHead(record, m);
    record += m_writes;
    record += vyr::kJsonlMessageEnd;
    FUZZ_CHECK(CheckJsonLines(record) == 1);
    // Every level that a section's band holds is in a sweep, and no other.
    size_t nPlaced = 0;
    for (const vyr::Level& l : m_levels)
      if (l.band > 0 || (m.section && m.section->kind == vyr::Section::Kind::Channels && l.element >= 0 &&
                         l.element < vyr::Section::kMaxChannels))
        if (!std::isnan(l.dbm)) ++nPlaced;
    FUZZ_CHECK(nPlaced == m_nSweepLevels);
    m_writes.clear();
    m_levels.clear();
    m_nSweepLevels = 0;
    m_report.OnMessage(m);
    m_info.OnMessage(m);
  }

 private:
  std::string m_writes;
  std::vector<vyr::Level> m_levels;
  size_t m_nSweepLevels = 0;
  std::uint64_t m_nAllSweepLevels = 0;
  CReportCollector m_report;
  vyr::SpectrumAccumulator m_spectrum;
  vyr::SummaryVisitor m_info;
};
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  InitHytemModuleForTests();
  // The registrations that loading the plug-in makes, and its declaration.
  static CVyrDecodeDeviceFactoryHelper s_device(
      CVyrDeviceTypeInfo(115, 0, -1, 0, 0x10000800ULL, "Hytem Scanner", "Hytem", 0ULL), CreateHytemDecodeDevice, true,
      "");
  static CDataFileFactoryHelper s_dataFile("HYTEM", s_hytemExtensions, 0x80000000ULL, CreateHytemDataFile, true, "", 3);
  CFormatDriverRegistry::Add(&kel_format_driver);
  vyr::detail::SetDeviceHook([](CVyrDecodeDevice& device) {
    if (CHytemPlanBudget* pBudget = HytemPlanBudgetOf(dynamic_cast<CVyrDecodeReceiver*>(&device)))
      pBudget->ScaleDown(kFuzzPlanCap);
  });
  std::string csvHeader;
  AppendCsvHeader(csvHeader);
  size_t nRecords = 0;
  FUZZ_CHECK(IsCsvRecords(csvHeader, kCsvFields, nRecords) && nRecords == 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  CStdioFile::RegisterMemoryFile(g_strLogPath, std::string_view(reinterpret_cast<const char*>(data), size));
  const int rc = COutputs().Run();
  try {
    vyr::Spectrum::Deserialize("VYRSPEC2" + std::string(reinterpret_cast<const char*>(data), size));
  } catch (const std::invalid_argument&) {
  }
  // A log is read to its end or refused with one of the reader's codes.
  FUZZ_CHECK(rc == 0 || rc == 1002 || rc == 1004);
  return 0;
}
