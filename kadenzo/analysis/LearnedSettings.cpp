#include "LearnedSettings.h"

#include <cstdio>

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
  for (int i = 0; i < frames; ++i) {
    int sum = 0;
    for (int c = 0; c < channels; ++c) sum += samples[static_cast<std::int64_t>(i) * channels + c];
    mono[i] = static_cast<std::int16_t>(sum / channels);
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
