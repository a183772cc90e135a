// The 25-point interpolating read on its own, on each vector path, for the
// kinds of positions the time-shifting rhythm types make: a delay that drifts
// slowly (neighbouring reads share their windows), one that moves at up to two
// samples per sample (the Detonation type under a steep envelope), one that
// jumps by hundreds of samples (the Frequency types at a low gain), and one
// that changes by a third of a sample per sample (a group's windows overlap
// but do not move in step with the samples); one channel and two read
// together; each with the quotients from the divider, through reciprocals and
// alternating between the two (quotients:0, 1 and 2), and the engine's choice
// of the three (quotients:3).
// Items are reads, one per channel. DivisionBound is the ceiling that 25
// divisions per read would set on this processor: four-lane divisions alone,
// as many as 2^20 reads make. Through reciprocals the read can go past it
// (two channels share theirs; with AVX-512 every other one is made without the
// divider), where the fused multiply-adds have room for the corrections.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "Lagrange.h"

namespace {

constexpr int kSamples = 1 << 20;

enum Positions { kDrifting, kFast, kJumping, kSliding };

std::vector<double> MakePositions(Positions kind) {
  std::vector<double> x(kSamples);
  std::mt19937 engine(7);
  std::uniform_real_distribution<double> jump(-500.0, 500.0);
  for (int i = 0; i < kSamples; ++i) {
    const double delay = kind == kDrifting  ? 40.0 * std::sin(i * 1e-4) + 50.0
                         : kind == kFast    ? 50.0 - 0.9 * (i % 4000)
                         : kind == kSliding ? 50.0 + 0.3 * (i % 4000) + 0.05 * std::sin(i * 0.7)
                                            : jump(engine) + 600.0;
    x[i] = i - delay;
  }
  return x;
}

void Read(benchmark::State& state) {
  const auto kind = static_cast<Positions>(state.range(0));
  const auto path = static_cast<VectorPath>(state.range(1));
  const int channels = static_cast<int>(state.range(2));
  const int quotients = static_cast<int>(state.range(3));
  if (!VectorPathSupported(path)) {
    state.SkipWithError("path not supported here");
    return;
  }
  if (path == VectorPath::Portable && quotients != 3) {
    state.SkipWithError("the portable read only divides");
    return;
  }
  std::mt19937 engine(3);
  std::uniform_int_distribution<int> value(-32768, 32767);
  std::vector<std::int16_t> s(static_cast<std::size_t>(kSamples) * channels);
  for (auto& v : s) v = static_cast<std::int16_t>(value(engine));
  const std::vector<double> x = MakePositions(kind);
  std::vector<double> results(s.size());
  const std::int16_t* sources[] = {s.data(), s.data() + kSamples};
  double* reads[] = {results.data(), results.data() + kSamples};
  double w[kLagrangePoints];
  LagrangeWeights(w);
  for (auto _ : state) {
    if (quotients == 3) {
      LagrangeReadMany(w, sources, channels, kSamples, x.data(), kSamples, reads, path);
    } else {
      LagrangeReadMany(w, sources, channels, kSamples, x.data(), kSamples, reads, path,
                       static_cast<QuotientMethod>(quotients));
    }
    benchmark::DoNotOptimize(results.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kSamples * channels);
}

#if defined(__x86_64__) && defined(__GNUC__)
using Pack4 = double __attribute__((vector_size(32)));

// Eight independent chains of divisions, so that only the divider's
// throughput counts.
__attribute__((target("avx2"))) void DivideChains(Pack4* chains, int rounds) {
  const Pack4 divisor = {1.0000001, 1.0000002, 1.0000003, 1.0000004};
  for (int r = 0; r < rounds; ++r) {
    for (int c = 0; c < 8; ++c) chains[c] = chains[c] / divisor;
  }
}

void DivisionBound(benchmark::State& state) {
  if (!__builtin_cpu_supports("avx2")) {
    state.SkipWithError("path not supported here");
    return;
  }
  // 2^20 reads of 25 divisions each, 32 divisions per round.
  constexpr int kRounds = kSamples / 32 * kLagrangePoints;
  Pack4 chains[8];
  for (int c = 0; c < 8; ++c) chains[c] = Pack4{1.0 + c, 2.0 + c, 3.0 + c, 4.0 + c};
  for (auto _ : state) {
    DivideChains(chains, kRounds);
    benchmark::DoNotOptimize(chains);
  }
  state.SetItemsProcessed(state.iterations() * kSamples);
}
BENCHMARK(DivisionBound)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK(Read)
    ->ArgsProduct({{kDrifting, kFast, kJumping, kSliding},
                   {static_cast<int>(VectorPath::Portable), static_cast<int>(VectorPath::Avx2),
                    static_cast<int>(VectorPath::Avx512)},
                   {1, 2},
                   {0, 1, 2, 3}})
    ->ArgNames({"positions", "path", "channels", "quotients"})
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
