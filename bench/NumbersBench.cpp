// Reading level texts and writing "%.3f" texts: the fast paths against the
// C run-time routines whose results they reproduce.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "NameValueFixed.h"
#include "NameValueNumbers.h"

namespace {
std::vector<std::string> LevelTexts() {
  std::vector<std::string> texts;
  for (int k = 0; k < 1000; ++k) texts.push_back("-" + std::to_string(30 + k % 90) + "." + std::to_string(k % 10));
  return texts;
}

void BM_ReadLevelStrtod(benchmark::State& state) {
  const auto texts = LevelTexts();
  size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(std::strtod(texts[i++ % texts.size()].c_str(), nullptr));
}
BENCHMARK(BM_ReadLevelStrtod);

void BM_ReadLevelFast(benchmark::State& state) {
  const auto texts = LevelTexts();
  size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(NameValueReadDouble(std::string_view(texts[i++ % texts.size()])));
}
BENCHMARK(BM_ReadLevelFast);

void BM_FormatFixedSnprintf(benchmark::State& state) {
  CString text;
  double d = 400.025;
  for (auto _ : state) {
    text.Empty();
    text.AppendFormat("%.3f", d);
    d += 0.2;
  }
}
BENCHMARK(BM_FormatFixedSnprintf);

void BM_FormatFixedFast(benchmark::State& state) {
  CString text;
  double d = 400.025;
  for (auto _ : state) {
    text.Empty();
    NameValueAppendFixed(text, d, 3);
    d += 0.2;
  }
}
BENCHMARK(BM_FormatFixedFast);
}  // namespace
