// ReadNextMessage on the lines of a scan log: reading, time and position,
// and the payload of 400 or 4,000 levels.
#include <benchmark/benchmark.h>

#include "BenchSupport.h"

namespace {
void BM_ReadNextMessageScanLine(benchmark::State& state) {
  const int nLevels = static_cast<int>(state.range(0));
  kel_bench::ScanLogReader reader(nLevels, 2000);
  CVyrGenericHsMessage msg;
  for (auto _ : state) {
    reader.ReadNext(msg, state);
    benchmark::DoNotOptimize(msg.GetMsgBuf());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(kel_bench::ScanLine(nLevels).size() + 1));
}
BENCHMARK(BM_ReadNextMessageScanLine)->Arg(kel_bench::kScanLevels)->Arg(4000);
}  // namespace
