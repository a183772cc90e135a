#pragma once
// Source sounds and modulators: white noise, band-limited noise or a sine,
// chosen by a band a and a centre frequency b, both in cycles per sample:
//   b = 0            white noise (a is not used)
//   a != 0, b != 0   white noise through a band-pass filter from b - a to b + a
//   a = 0, b != 0    a sine of frequency b and amplitude 32767

#include <cstdint>

class Block;
class Progress;
class RandomGenerator;
class SoundStore;

// Whether GenerateSource can make a signal from a and b: they must be finite
// where used, and the band-pass filter must have a pole pair in every section
// (a band of a tiny fraction of a hertz, or a centre at exactly 0 or half the
// rate, leaves a section without one).
bool SourceParametersUsable(double a, double b);

// Fills every value of block (at least one) and removes the mean. Noise is
// r mod 32763 per value from the generator, which starts again from its
// seed first; the filter runs 10000 warm-up values before the first kept one. No
// amplitude normalisation: white noise stays within about +-16381, a sine has
// amplitude 32767. a and b must pass SourceParametersUsable. The progress
// may be null. False when a value came out beyond the range of numbers (a
// filter far too sharp).
bool GenerateSource(Block& block, double a, double b, RandomGenerator& random,
                    Progress* progress);

// The Model dialog's values for "&Create".
struct SourceSettings {
  double duration = 10.0;     // seconds
  double frequency = 1000.0;  // Hz; 0 makes white noise
  double band = 400.0;        // Hz; 0 makes a sine
};

// The Model dialog's values for the modulator of "Frequency" and "Amp+Freq".
struct ModulatorSettings {
  double frequency = 100.0;
  double band = 40.0;
};

// The rate of every created sound.
constexpr int kCreatedRate = 44100;

enum class SourceOutcome {
  Created,        // sound holds duration x 44100 samples, peak-normalised
  WrongDuration,  // fewer than one sample, or no finite number of them
  TooLarge,       // more samples than memory (or a sound) holds: NotEnoughMemoryMessage(*tooMany)
  WrongModel,     // a frequency and band the generator cannot use
  Overflow,       // a value beyond the range of numbers: sound unchanged
};

// The source of "&Create" into sound: noise or a sine of the settings' duration
// at 44100 samples per second, drawn from the generator's current seed. The
// duration is checked against the machine's memory before anything is made.
SourceOutcome CreateSource(const SourceSettings& settings, RandomGenerator& random, Progress* progress,
                           SoundStore& sound, std::uint64_t* tooMany = nullptr);
