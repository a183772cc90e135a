// The waveform view of ten minutes of 44.1 kHz sound (26,460,000 samples) in
// a 539 x 89 picture, next to a plain min/max scan of the same samples: the
// floor that any view must pay for reading every sample once.

#include <benchmark/benchmark.h>

#include <QImage>

#include <algorithm>
#include <cstdint>
#include <random>

#include "WaveSignal.h"

namespace {

constexpr int kSamples = 26460000;

void FillNoise(WaveSignal& sound) {
  sound.SetLength(kSamples);
  sound.SetFormat(44100);
  std::mt19937 engine(1);
  std::uniform_int_distribution<int> uniform(-32767, 32767);
  for (int i = 0; i < kSamples; ++i) *sound.GetSamples(i) = static_cast<std::int16_t>(uniform(engine));
}

void DrawTenMinutes(benchmark::State& state) {
  QImage image(539, 89, QImage::Format_RGB32);
  WaveSignal sound(&image, nullptr);
  FillNoise(sound);
  for (auto _ : state) {
    sound.Draw();
    benchmark::DoNotOptimize(image.constBits());
  }
  state.SetItemsProcessed(state.iterations() * kSamples);
  state.SetLabel("items = samples");
}

void MinMaxScanTenMinutes(benchmark::State& state) {
  WaveSignal sound(nullptr, nullptr);
  FillNoise(sound);
  const std::int16_t* samples = sound.GetSamples(0);
  for (auto _ : state) {
    int hi = -32768;
    int lo = 32767;
    for (int i = 0; i < kSamples; ++i) {
      hi = std::max<int>(hi, samples[i]);
      lo = std::min<int>(lo, samples[i]);
    }
    benchmark::DoNotOptimize(hi);
    benchmark::DoNotOptimize(lo);
  }
  state.SetItemsProcessed(state.iterations() * kSamples);
  state.SetLabel("items = samples");
}

}  // namespace

BENCHMARK(DrawTenMinutes)->Unit(benchmark::kMillisecond);
BENCHMARK(MinMaxScanTenMinutes)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
