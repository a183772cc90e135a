// The band-pass filter as the source generator runs it (10 sections, one value
// at a time) and cubic gap filling over a million values.

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "Block.h"

namespace {

void FilterProcessTenSections(benchmark::State& state) {
  CFilter filter;
  filter.Design(0.1, 0.02, 20);
  filter.Reset();
  std::mt19937 engine(1);
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  std::vector<double> noise(4096);
  for (double& v : noise) v = uniform(engine);
  for (auto _ : state) {
    double last = 0.0;
    for (double v : noise) last = filter.Process(v);
    benchmark::DoNotOptimize(last);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(noise.size()));
  state.SetLabel("items = samples");
}

// A million values with an anchor every `gap` values and zeros between them.
void FillGapsCubicMillion(benchmark::State& state) {
  const int n = 1000000;
  const int gap = static_cast<int>(state.range(0));
  const bool cyclic = state.range(1) != 0;
  Block block(n);
  for (auto _ : state) {
    state.PauseTiming();
    block.Fill(0.0);
    for (int i = gap / 2; i < n; i += gap) block[i] = 1.0 + (i / gap) % 5;
    state.ResumeTiming();
    block.FillGapsCubic(cyclic);
    benchmark::DoNotOptimize(block.GetData());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * n);
}

BENCHMARK(FilterProcessTenSections);
BENCHMARK(FillGapsCubicMillion)
    ->ArgNames({"gap", "cyclic"})
    ->Args({100, 0})
    ->Args({100, 1})
    ->Args({500000, 1})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
