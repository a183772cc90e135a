// The work of kadenzo's "&Create" and "&Rhythm" over 10 minutes at 44.1 kHz
// (26,460,000 samples): the rhythm with each of the six modulation types on
// band-limited noise (1000 Hz, band 400 Hz), and the creation of that noise,
// as the window-free core runs them for the window and the renderer. Items are
// samples.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "Block.h"
#include "RandomGenerator.h"
#include "RhythmEngine.h"
#include "SoundStore.h"
#include "SourceGenerator.h"

namespace {

constexpr double kSeconds = 600.0;
constexpr int kSamples = 26460000;

SourceSettings TenMinutes() {
  SourceSettings settings;
  settings.duration = kSeconds;
  return settings;
}

void Create(benchmark::State& state) {
  RandomGenerator random;
  SoundStore sound;
  for (auto _ : state) {
    random.Seed(1234);
    CreateSource(TenMinutes(), random, nullptr, sound);
    benchmark::DoNotOptimize(sound.GetSamples(0));
  }
  state.SetItemsProcessed(state.iterations() * kSamples);
}

void Rhythm(benchmark::State& state) {
  RandomGenerator random;
  random.Seed(1234);
  SoundStore source, sound;
  CreateSource(TenMinutes(), random, nullptr, source);
  sound.SetLength(kSamples);
  sound.SetFormat(44100);

  // A rising and falling envelope, and its seam point.
  std::vector<double> envelope(540);
  for (int i = 0; i < 539; ++i) envelope[i] = i < 270 ? i / 270.0 : (539 - i) / 270.0;
  const int type = static_cast<int>(state.range(0));
  const RhythmParameters parameters = *MakeRhythmParameters({0.25, 10, 10, 100, type}, 44100);
  Block modulator;
  if (UsesModulator(type)) MakeModulator(modulator, 11025, 40.0 / 44100, 100.0 / 44100, random, nullptr);
  for (auto _ : state) {
    state.PauseTiming();
    std::copy(source.GetSamples(0), source.GetSamples(kSamples), sound.GetSamples(0));
    random.Seed(1234);
    state.ResumeTiming();
    RhythmizeSound(sound, parameters, UsesModulator(type) ? &modulator : nullptr, {envelope.data(), 539}, random,
                   nullptr);
    benchmark::DoNotOptimize(sound.GetSamples(0));
  }
  state.SetItemsProcessed(state.iterations() * kSamples);
}

}  // namespace

BENCHMARK(Create)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(Rhythm)->DenseRange(0, 5)->ArgName("type")->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();
