// Decoding a scan measurement message: the whole receiver (generic decoder and
// DecodeBandLevels) and DecodeBandLevels alone, for 400 and 4,000 levels.
#include <benchmark/benchmark.h>

#include "BenchSupport.h"
#include "HytemScanDecoding.h"
#include "NameValueDecoder.h"

namespace {
// CVyrDecodeReceiverHytem::DecodeMessage: summary text, generic decoding of
// the nine fields, the band's levels, ranks and "Top 10" text.
void BM_DecodeScanMessage(benchmark::State& state) {
  const int nLevels = static_cast<int>(state.range(0));
  kel_bench::ScanDecoding decoding(nLevels);
  const CVyrGenericHsMessage msg = kel_bench::ScanMessage(nLevels);
  for (auto _ : state) {
    decoding.expanded.Reset();
    decoding.receiver->DecodeMessage(msg, &decoding.dataState, decoding.expanded, nullptr);
    benchmark::DoNotOptimize(decoding.expanded.m_strDetailText.GetString());
  }
  state.SetItemsProcessed(state.iterations() * nLevels);
}
BENCHMARK(BM_DecodeScanMessage)->Arg(kel_bench::kScanLevels)->Arg(4000);

// The routine of the "Levels" field by itself.
void BM_DecodeBandLevels(benchmark::State& state) {
  const int nLevels = static_cast<int>(state.range(0));
  kel_bench::ScanDecoding decoding(nLevels);
  const CVyrGenericHsMessage msg = kel_bench::ScanMessage(nLevels);
  const NameValueDefn defn{"Levels", 7, "", 0, 0, 0, 0, DecodeBandLevels};
  for (auto _ : state) {
    decoding.expanded.Reset();
    DecodeBandLevels(msg, &defn, &decoding.dataState, &decoding.expanded, nullptr, nullptr);
  }
  state.SetItemsProcessed(state.iterations() * nLevels);
}
BENCHMARK(BM_DecodeBandLevels)->Arg(kel_bench::kScanLevels)->Arg(4000);

// The generic decoder's walk of the payload when no field has a definition:
// the cost of splitting and looking up.
void BM_GenericDecodeWalk(benchmark::State& state) {
  kel_bench::ScanDecoding decoding(kel_bench::kScanLevels);
  const CVyrGenericHsMessage msg = kel_bench::ScanMessage(kel_bench::kScanLevels);
  const auto map = CreateNameValueDefnMap();
  NameValueDecoder decoder{&decoding.dataState, &decoding.expanded, nullptr, nullptr};
  for (auto _ : state) decoder.Decode(msg, *map);
}
BENCHMARK(BM_GenericDecodeWalk);
}  // namespace
