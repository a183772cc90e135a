#pragma once
// Rhythmic sounds rendered by kadenzo's own engine, for the round trips of the
// rhythm learning (tests and benchmark). The one place that calls the engine.

#include <cstdint>
#include <vector>

#include "RhythmEngine.h"

constexpr int kRenderRate = 44100;

enum class RenderSource {
  WhiteNoise,
  BandNoise,  // centre 1000 Hz, band 400 Hz, as the Model dialog starts
};

// `seconds` of the source at kRenderRate under the rhythm: envelope holds the
// values at phases k / (size - 1) (the last is where the next period starts),
// period in seconds, deviations in percent, type a ModulationType, maximum
// delay 100 ms. Source and rhythm draw from one generator seeded with seed.
// The result is mean-free and peak-normalised to 32767, as the window keeps it.
// periods, when given, receives the drawn periods (the last one cut by the end).
std::vector<std::int16_t> RenderRhythm(RenderSource source, const std::vector<double>& envelope,
                                       double period, double timeDeviation,
                                       double magnitudeDeviation, int type, double seconds,
                                       std::uint64_t seed, std::vector<PeriodRecord>* periods = nullptr);
