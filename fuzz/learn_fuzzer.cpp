// Arbitrary samples, rates and period ranges through the rhythm learning: it
// must neither crash, hang nor read outside the samples, and what it gives
// back keeps its promises (finite figures in range, periods inside the sound,
// an envelope of the points asked for, each value in [0, 1]).
//
// Bytes 0-1: the rate (0 .. 65535, so that periods of a fraction of a second
// fit in a short input); byte 2: the envelope's points; bytes 3-10: the
// shortest and longest period asked for, as two floats (any bits: NaN,
// infinities, negatives); the rest: 16-bit samples.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "LearnRhythm.h"

namespace {

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "learn_fuzzer: %s\n", what);
  std::abort();
}

float FloatAt(const std::uint8_t* bytes) {
  float value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t kHead = 11;
  if (size < kHead) return 0;
  const int rate = data[0] | data[1] << 8;
  LearnOptions options;
  options.points = data[2];  // below 2 is brought up to 2
  options.minPeriod = FloatAt(data + 3);
  options.maxPeriod = FloatAt(data + 7);
  std::vector<std::int16_t> samples((size - kHead) / 2);
  if (!samples.empty()) std::memcpy(samples.data(), data + kHead, samples.size() * 2);
  const auto count = static_cast<std::int64_t>(samples.size());

  const LearnedRhythm learned = LearnRhythm(samples.empty() ? nullptr : samples.data(), count, rate, options);
  Require(std::isfinite(learned.period) && learned.period >= 0.0, "period");
  Require(std::isfinite(learned.timeDeviation) && learned.timeDeviation >= 0.0, "time deviation");
  Require(std::isfinite(learned.magnitudeDeviation) && learned.magnitudeDeviation >= 0.0, "magnitude deviation");
  Require(learned.confidence >= 0.0 && learned.confidence <= 1.0, "confidence");
  Require(learned.envelope.size() == static_cast<std::size_t>(options.points < 2 ? 2 : options.points), "points");
  for (const double v : learned.envelope) Require(v >= 0.0 && v <= 1.0, "envelope value");
  for (const LearnedPeriod& p : learned.periods) {
    Require(p.start >= 0 && p.length > 0 && p.start + p.length <= count, "period outside the sound");
    Require(std::isfinite(p.magnitude), "magnitude");
  }
  return 0;
}
