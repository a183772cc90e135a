// The per-sample kernels every rhythm type runs, on each vector path, in the
// engine's chunks of 4096 samples: the envelope levels of a period and the
// gains of those levels. Items are samples.

#include <benchmark/benchmark.h>

#include <vector>

#include "EnvelopeCurve.h"
#include "Gain.h"
#include "RhythmEngine.h"
#include "VectorPath.h"

namespace {

constexpr int kChunk = 4096;
constexpr int kChunks = 64;

bool Supported(benchmark::State& state, VectorPath path) {
  if (VectorPathSupported(path)) return true;
  state.SkipWithError("path not supported here");
  return false;
}

void Levels(benchmark::State& state) {
  const auto path = static_cast<VectorPath>(state.range(0));
  if (!Supported(state, path)) return;
  // 540 values over a period of 0.2 s: about 16 samples per value.
  std::vector<double> values(541);
  for (int i = 0; i <= 540; ++i) values[i] = 0.5 + 0.4 * ((i * 37) % 101) / 101.0;
  const RhythmEnvelope envelope{values.data(), 540};
  std::vector<double> level(kChunk);
  for (auto _ : state) {
    for (int c = 0; c < kChunks; ++c) {
      PeriodLevels(envelope, 44100.0, 0.0, 0.2 * kChunks * kChunk / 44100.0, 1.07, c * kChunk, kChunk,
                   level.data(), path);
      benchmark::DoNotOptimize(level.data());
    }
  }
  state.SetItemsProcessed(state.iterations() * kChunks * kChunk);
}

void Gains(benchmark::State& state) {
  const auto path = static_cast<VectorPath>(state.range(0));
  if (!Supported(state, path)) return;
  std::vector<double> S(kChunk);
  for (int i = 0; i < kChunk; ++i) S[i] = (i % 997) / 996.0;
  std::vector<double> g(kChunk);
  for (auto _ : state) {
    for (int c = 0; c < kChunks; ++c) {
      RhythmGains(S.data(), kChunk, g.data(), path);
      benchmark::DoNotOptimize(g.data());
    }
  }
  state.SetItemsProcessed(state.iterations() * kChunks * kChunk);
}

const std::vector<long> kPaths = {static_cast<int>(VectorPath::Portable), static_cast<int>(VectorPath::Avx2),
                                  static_cast<int>(VectorPath::Avx512)};

}  // namespace

BENCHMARK(Levels)->ArgsProduct({kPaths})->ArgNames({"path"})->Unit(benchmark::kMicrosecond);
BENCHMARK(Gains)->ArgsProduct({kPaths})->ArgNames({"path"})->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
