// The work of kadenzo's "&Create" and "&Rhythm" over 10 minutes at 44.1 kHz
// (26,460,000 samples): the rhythm with each of the six modulation types on
// band-limited noise (1000 Hz, band 400 Hz), mono and stereo, and the
// creation of that noise, as the window-free core runs them for the window
// and the renderer. Items are samples of one channel.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
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

// Ten minutes of band-limited noise and a rising and falling envelope, as
// the rhythm benchmarks share them.
struct RhythmInput {
  RhythmInput() {
    RandomGenerator random;
    random.Seed(1234);
    CreateSource(TenMinutes(), random, nullptr, source);
    for (int i = 0; i < 539; ++i) envelope[i] = i < 270 ? i / 270.0 : (539 - i) / 270.0;
  }
  SoundStore source;
  std::vector<double> envelope = std::vector<double>(540);  // with the seam point
};

const RhythmInput& Input() {
  static const RhythmInput input;
  return input;
}

// The settings both rhythm benchmarks use for a type, and its modulator
// (none for the types without one), made from the seed each run starts from.
struct RhythmSetting {
  explicit RhythmSetting(int type) : parameters(*MakeRhythmParameters({0.25, 10, 10, 100, type}, 44100)) {
    random.Seed(1234);
    if (UsesModulator(type)) MakeModulator(modulator, 11025, 40.0 / 44100, 100.0 / 44100, random, nullptr);
  }
  const Block* Modulator() const { return UsesModulator(parameters.type) ? &modulator : nullptr; }

  RhythmParameters parameters;
  RandomGenerator random;
  Block modulator;
};

// One channel, or two: the source and the source reversed, interleaved.
void Rhythm(benchmark::State& state) {
  const RhythmInput& input = Input();
  const int channels = static_cast<int>(state.range(1));
  SoundStore sound;
  sound.SetLength(channels * kSamples);
  sound.SetFormat(44100, channels);
  std::vector<double> envelope = input.envelope;
  const int type = static_cast<int>(state.range(0));
  RhythmSetting setting(type);
  const std::int16_t* source = input.source.GetSamples(0);
  for (auto _ : state) {
    state.PauseTiming();
    std::int16_t* samples = sound.GetSamples(0);
    for (int i = 0; i < kSamples; ++i) {
      samples[static_cast<std::size_t>(i) * channels] = source[i];
      if (channels == 2) samples[2 * static_cast<std::size_t>(i) + 1] = source[kSamples - 1 - i];
    }
    setting.random.Seed(1234);
    state.ResumeTiming();
    RhythmizeSound(sound, setting.parameters, setting.Modulator(), {envelope.data(), 539}, setting.random, nullptr);
    benchmark::DoNotOptimize(sound.GetSamples(0));
  }
  state.SetItemsProcessed(state.iterations() * kSamples);
}

// The engine alone (the walk and the per-sample output, without the mean and
// the storing) on 1, 2, ... threads, to see what the threads give.
void Engine(benchmark::State& state) {
  const RhythmInput& input = Input();
  std::vector<double> envelope = input.envelope;
  const int type = static_cast<int>(state.range(0));
  const int threads = static_cast<int>(state.range(1));
  RhythmSetting setting(type);
  std::vector<float> out(kSamples);
  for (auto _ : state) {
    setting.random.Seed(1234);
    benchmark::DoNotOptimize(Rhythmize(input.source.GetSamples(0), kSamples, 44100, setting.parameters,
                                       setting.Modulator(), {envelope.data(), 539}, setting.random, nullptr,
                                       out.data(), nullptr, threads));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kSamples);
}

}  // namespace

BENCHMARK(Create)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(Rhythm)
    ->ArgsProduct({benchmark::CreateDenseRange(0, 5, 1), {1, 2}})
    ->ArgNames({"type", "channels"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(Engine)
    ->ArgsProduct({benchmark::CreateDenseRange(0, 5, 1), {1, 2}})
    ->ArgNames({"type", "threads"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

BENCHMARK_MAIN();
