#include "EngineRender.h"

#include <algorithm>
#include <cmath>

#include "Block.h"
#include "RandomGenerator.h"
#include "RhythmEngine.h"
#include "SourceGenerator.h"

namespace {

// The values peak-normalised to 32767, truncated, as the sound object stores them.
template <typename Value>
std::vector<std::int16_t> PeakNormalised(const Value* values, std::size_t count) {
  double peak = 0.0;
  for (std::size_t i = 0; i < count; ++i) peak = std::max(peak, std::fabs(static_cast<double>(values[i])));
  std::vector<std::int16_t> samples(count, 0);
  if (peak == 0.0) return samples;
  const double scale = 32767.0 / peak;
  for (std::size_t i = 0; i < count; ++i) samples[i] = static_cast<std::int16_t>(values[i] * scale);
  return samples;
}

}  // namespace

std::vector<std::int16_t> RenderRhythm(RenderSource source, const std::vector<double>& envelope,
                                       double period, double timeDeviation,
                                       double magnitudeDeviation, int type, double seconds,
                                       std::uint64_t seed, std::vector<PeriodRecord>* periods) {
  const int N = static_cast<int>(seconds * kRenderRate);
  const double fs = kRenderRate;
  RandomGenerator random([seed] { return static_cast<std::int64_t>(seed); });

  Block generated(N);
  const bool white = source == RenderSource::WhiteNoise;
  GenerateSource(generated, white ? 0.0 : 400.0 / fs, white ? 0.0 : 1000.0 / fs, random, nullptr);
  const std::vector<std::int16_t> s = PeakNormalised(generated.GetData(), static_cast<std::size_t>(N));

  Block modulator;
  const bool frequencyType = type == mtFrequency || type == mtAmpFreq;
  if (frequencyType) MakeModulator(modulator, static_cast<int>(period * fs), 40.0 / fs, 100.0 / fs, random, nullptr);

  // The shown points and the seam point, which the engine writes.
  const int shown = static_cast<int>(envelope.size()) - 1;
  std::vector<double> values(envelope.begin(), envelope.begin() + shown);
  values.push_back(0.0);

  const RhythmParameters parameters{period, timeDeviation * 0.01, magnitudeDeviation * 0.01, 0.1 * fs, type};
  random.Seed(seed + 1);
  std::vector<float> out(static_cast<std::size_t>(N));
  const double sum = Rhythmize(s.data(), N, kRenderRate, parameters, frequencyType ? &modulator : nullptr,
                               RhythmEnvelope{values.data(), shown}, random, nullptr, out.data(), periods);
  const float mean = static_cast<float>(sum / N);
  for (float& v : out) v -= mean;
  return PeakNormalised(out.data(), out.size());
}
