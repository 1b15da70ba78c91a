// The payload builder and the value lookup on a 400-level scan payload.
#include <benchmark/benchmark.h>

#include <string>

#include "BenchSupport.h"
#include "NameValuePayload.h"

namespace {
// A scan line's payload built field by field with NameValueSetField.
void BM_PayloadBuildScanLine(benchmark::State& state) {
  for (auto _ : state) {
    CVyrGenericHsMessage msg = kel_bench::ScanMessage(kel_bench::kScanLevels);
    benchmark::DoNotOptimize(msg.GetMsgBuf());
  }
}
BENCHMARK(BM_PayloadBuildScanLine);

// NameValueGetValue (a new copy) of the first and of the last field.
void BM_PayloadGetValue(benchmark::State& state, const char* pszName) {
  const CVyrGenericHsMessage msg = kel_bench::ScanMessage(kel_bench::kScanLevels);
  for (auto _ : state) {
    char* psz = nullptr;
    NameValueGetValue(msg, pszName, &psz);
    benchmark::DoNotOptimize(psz);
    NameValueFreeValue(psz);
  }
}
BENCHMARK_CAPTURE(BM_PayloadGetValue, Time, "Time");
BENCHMARK_CAPTURE(BM_PayloadGetValue, Levels, "Levels");
BENCHMARK_CAPTURE(BM_PayloadGetValue, Absent, "Level1");

// The same lookups without the copy, as the decoding routines make them.
void BM_PayloadFindValue(benchmark::State& state, const char* pszName) {
  const CVyrGenericHsMessage msg = kel_bench::ScanMessage(kel_bench::kScanLevels);
  for (auto _ : state) {
    std::string_view value;
    benchmark::DoNotOptimize(NameValueFindValue(msg, pszName, value));
    benchmark::DoNotOptimize(value);
  }
}
BENCHMARK_CAPTURE(BM_PayloadFindValue, BandNumber, "BandNumber");
BENCHMARK_CAPTURE(BM_PayloadFindValue, Levels, "Levels");
}  // namespace
