// Decoding a scan measurement message: the whole receiver (generic decoder and
// DecodeBandLevels) and DecodeBandLevels alone, for 400 and 4,000 levels.
#include <benchmark/benchmark.h>

#include "BenchSupport.h"
#include "HytemNameValueDefns.h"
#include "HytemScanDecoding.h"
#include "NameValueDecoder.h"
#include "NameValueLayout.h"
#include "SingleCallDataState.h"

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

// The routine of the "Levels" field by itself, with the data state's run
// operations (second argument 1) and through single calls only (0).
void BM_DecodeBandLevels(benchmark::State& state) {
  const int nLevels = static_cast<int>(state.range(0));
  kel_bench::ScanDecoding decoding(nLevels);
  CVyrSingleCallDataState singles(decoding.dataState);
  IVyrDataState* pDataState = state.range(1) ? static_cast<IVyrDataState*>(&decoding.dataState) : &singles;
  const CVyrGenericHsMessage msg = kel_bench::ScanMessage(nLevels);
  const NameValueDefn defn{"Levels", 7, "", 0, 0, 0, 0, DecodeBandLevels};
  for (auto _ : state) {
    decoding.expanded.Reset();
    DecodeBandLevels(msg, &defn, pDataState, &decoding.expanded, nullptr, nullptr);
  }
  state.SetItemsProcessed(state.iterations() * nLevels);
}
BENCHMARK(BM_DecodeBandLevels)->ArgsProduct({{kel_bench::kScanLevels, 4000}, {0, 1}});

// The generic decoding of a four-channel message through the HYTEM field
// definitions, walking the payload (0) or through a layout kept from one
// message to the next (1), as the receiver decodes.
void BM_DecodeChannelMessage(benchmark::State& state) {
  kel_bench::ScanDecoding decoding(kel_bench::kScanLevels);
  const CVyrGenericHsMessage msg = kel_bench::ChannelMessage();
  const auto map = CreateNameValueDefnMap();
  for (int r = 0; r < s_nHytemNameValueDefns; ++r) map->SetAt(s_HytemNameValueDefns[r].pszName, s_HytemNameValueDefns[r]);
  CNameValueLayout layout;
  CNameValueLayout* pLayout = state.range(0) ? &layout : nullptr;
  NameValueDecoder decoder{&decoding.dataState, &decoding.expanded, nullptr, nullptr};
  for (auto _ : state) {
    decoding.expanded.Reset();
    decoder.Decode(msg, *map, pLayout);
  }
}
BENCHMARK(BM_DecodeChannelMessage)->Arg(0)->Arg(1);

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
