// Writing the export rows of one scan line (400 bins, levels at a tenth of a
// dB): row by row, formatting every column of every row, against a message at
// a time, which formats the message's columns once and remembers the texts of
// the bin columns and of the levels.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "ExportFormats.h"

namespace {
constexpr int kBins = 400;

MessageFacts Facts() {
  MessageFacts m;
  m.nIndex = 12345;
  m.nTimeMs = 3600500;
  m.strTime = "2005-03-15T09:00:00.500";
  m.position = {true, true, 48.852333333333334, 2.350833333333333, 100};
  return m;
}

// The rows of line n: the same bins and frequencies, other levels.
std::vector<LevelRow> Rows(int n) {
  std::vector<LevelRow> rows;
  for (int b = 0; b < kBins; ++b) {
    LevelRow r;
    r.nBin = b;
    r.nBand = 1;
    r.bHasFrequency = true;
    r.dFrequencyMHz = 400.0 + b * 0.2;
    r.dLevel = -140 + ((b * 7 + n * 13) % 1200) * 0.1;
    rows.push_back(r);
  }
  return rows;
}

template <bool kPerMessage, ExportFormat kFormat>
void BM_ExportRows(benchmark::State& state) {
  const MessageFacts facts = Facts();
  std::vector<std::vector<LevelRow>> lines;
  for (int n = 0; n < 16; ++n) lines.push_back(Rows(n));
  std::string out;
  size_t n = 0;
  for (auto _ : state) {
    out.clear();
    const auto& rows = lines[n++ % lines.size()];
    if constexpr (kPerMessage) {
      if constexpr (kFormat == ExportFormat::Csv) AppendCsvRows(out, "scan.h2m", facts, rows);
      else AppendJsonlRows(out, "scan.h2m", facts, rows);
    } else {
      for (const LevelRow& r : rows) {
        if constexpr (kFormat == ExportFormat::Csv) AppendCsvRow(out, "scan.h2m", facts, r);
        else AppendJsonlRow(out, "scan.h2m", facts, r);
      }
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kBins);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * out.size()));
}
BENCHMARK(BM_ExportRows<false, ExportFormat::Csv>)->Name("BM_CsvRowByRow");
BENCHMARK(BM_ExportRows<true, ExportFormat::Csv>)->Name("BM_CsvMessageRows");
BENCHMARK(BM_ExportRows<false, ExportFormat::Jsonl>)->Name("BM_JsonlRowByRow");
BENCHMARK(BM_ExportRows<true, ExportFormat::Jsonl>)->Name("BM_JsonlMessageRows");
}  // namespace
