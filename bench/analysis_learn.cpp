// Learning the rhythm of 10 minutes at 44.1 kHz (26,460,000 samples) rendered
// by the engine: the shortest default period (most periods to align), a middle
// one and a long one. Items are samples.

#include <benchmark/benchmark.h>

#include <cmath>
#include <map>

#include "EngineRender.h"
#include "LearnRhythm.h"
#include "RhythmEngine.h"

namespace {

constexpr double kSeconds = 600.0;

const std::vector<std::int16_t>& Sound(double period) {
  static std::map<double, std::vector<std::int16_t>> sounds;
  auto found = sounds.find(period);
  if (found == sounds.end()) {
    std::vector<double> envelope(540);
    for (int k = 0; k < 540; ++k) envelope[static_cast<std::size_t>(k)] = std::pow(std::sin(3.14159265 * k / 539.0), 2);
    found = sounds.emplace(period, RenderRhythm(RenderSource::BandNoise, envelope, period, 10, 10, mtAmpDet,
                                                kSeconds, 5)).first;
  }
  return found->second;
}

void Learn(benchmark::State& state) {
  const double period = static_cast<double>(state.range(0)) / 1000.0;
  const std::vector<std::int16_t>& sound = Sound(period);
  double learned = 0.0;
  for (auto _ : state) {
    const LearnedRhythm rhythm = LearnRhythm(sound.data(), static_cast<std::int64_t>(sound.size()), kRenderRate);
    learned = rhythm.period;
    benchmark::DoNotOptimize(learned);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(sound.size()));
}

}  // namespace

// Period in milliseconds.
BENCHMARK(Learn)->Arg(50)->Arg(500)->Arg(5000)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
