#include "LearnedSettings.h"

#include <algorithm>
#include <cstdio>

namespace {

// Below this share of the loudest channel's power, the averaged channels have cancelled.
constexpr double kLeastAveragedPower = 0.2;

}  // namespace

std::string NoRhythmMessage(const std::string& fileName, double confidence) {
  char figure[32];
  std::snprintf(figure, sizeof figure, "%.2f", confidence);
  return "No clear rhythm in " + fileName + " (confidence " + figure + ").";
}

LearnedRhythm LearnFromSamples(const std::int16_t* samples, int frames, int channels, int rate, Progress* progress) {
  LearnOptions options;
  options.points = kLearnedEnvelopeValues;
  if (channels <= 1 || samples == nullptr) return LearnRhythm(samples, frames, rate, options, progress);
  std::vector<std::int16_t> mono(static_cast<std::size_t>(frames));
  std::vector<double> channelPower(static_cast<std::size_t>(channels), 0.0);
  double monoPower = 0.0;
  for (int i = 0; i < frames; ++i) {
    const std::int16_t* frame = samples + static_cast<std::int64_t>(i) * channels;
    int sum = 0;
    for (int c = 0; c < channels; ++c) {
      const double v = frame[c];
      sum += frame[c], channelPower[static_cast<std::size_t>(c)] += v * v;
    }
    const std::int16_t average = static_cast<std::int16_t>(sum / channels);
    mono[static_cast<std::size_t>(i)] = average;
    monoPower += static_cast<double>(average) * average;
  }
  // Channels that carry one sound in opposite phase (a microphone wired the
  // other way round) cancel in the average, which then keeps little of the
  // loudest channel's power (unlike channels that merely differ, a quarter
  // or more): then that channel alone.
  const auto loudest = std::max_element(channelPower.begin(), channelPower.end());
  if (monoPower < kLeastAveragedPower * *loudest) {
    const auto c = loudest - channelPower.begin();
    for (int i = 0; i < frames; ++i) mono[static_cast<std::size_t>(i)] = samples[static_cast<std::int64_t>(i) * channels + c];
  }
  return LearnRhythm(mono.data(), frames, rate, options, progress);
}

std::string DescribeLearned(const LearnedRhythm& rhythm, bool json) {
  char text[256];
  std::snprintf(text, sizeof text,
                json ? "{\"period\": %.6g, \"time-deviation\": %.3g, \"magnitude-deviation\": %.3g, \"confidence\": %.3g}"
                     : "period=%.6g time-deviation=%.3g magnitude-deviation=%.3g confidence=%.3g",
                rhythm.period, rhythm.timeDeviation, rhythm.magnitudeDeviation, rhythm.confidence);
  return text;
}
