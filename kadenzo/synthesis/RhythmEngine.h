#pragma once
// The rhythm engine: rebuilds a sound sample by sample so that it follows the
// rhythm envelope repeated with a nominal period. Every period gets a randomly
// drawn length and magnitude; the envelope level S of each sample sets the gain
// g = 20^(S - 1) and acts on the sound through one of six modulation types.

#include <cstdint>
#include <optional>
#include <vector>

#include "Distortion.h"
#include "EnvelopeCurve.h"
#include "LargeArray.h"
#include "VectorPath.h"

class Block;
class Progress;
class RandomGenerator;
class SoundStore;

// The items of the modulation radio group, in order.
enum ModulationType : int {
  mtAmplitude = 0,   // s[i] * g
  mtDetonation = 1,  // the source read (S - 0.5) * D samples earlier
  mtAmpDet = 2,      // Detonation * g
  mtDistortion = 3,  // s[i] clipped against the recent peak * g
  mtFrequency = 4,   // the source read m[i mod Np] / (g + 0.0001) * D samples earlier
  mtAmpFreq = 5,     // Frequency * g
};

struct RhythmParameters {
  double period;         // P: nominal period length, seconds, > 0
  double timeDeviation;  // td: spread of the period lengths, 0.1 for 10 %
  double magnDeviation;  // md: spread of the period magnitudes
  double maxDelay;       // D: largest shift of the time-shifting types, samples
  int type;              // a ModulationType; any other value copies the source
};

// Where one period of a rhythm fell: its first sample, its length in samples
// (the last one ends with the sound) and its magnitude.
struct PeriodRecord {
  std::int64_t first;
  std::int64_t length;
  double magnitude;
};

// b * ((u - 0.5) * a + 1) with a fresh uniform draw u: in [b (1 - a/2), b (1 + a/2)).
double RandomDeviation(double a, double b, RandomGenerator& random);

// The largest magnitude among the (up to) 20 samples before s[i]; 0 at i = 0.
// -32768 counts as 32768.
int RecentPeak(const std::int16_t* s, int i);

// peak[k] = RecentPeak(s, first + k) for k = 0 .. count - 1 (count <= 4096),
// three comparisons per sample whatever the window.
void RecentPeaks(const std::int16_t* s, int first, int count, int* peak);

// value[k] = DistortSample(x[k], peak[k], gain[k], magnitude[k]) for
// k = 0 .. count - 1, on the given path if this processor supports it.
void Distort(const std::int16_t* x, const int* peak, const double* gain, const double* magnitude,
             int count, double* value, VectorPath path = FastestVectorPath());

// The levels of the samples first .. first + count - 1 within one period that
// started at T0 seconds and lasts Pc seconds, with magnitude Mc:
//   level[j] = envelope.ValueAt(((first + j) / fs - T0) / Pc) * Mc
// on the given path if this processor supports it (else the portable one).
void PeriodLevels(const RhythmEnvelope& envelope, double fs, double T0, double Pc, double Mc,
                  int first, int count, double* level, VectorPath path = FastestVectorPath());

// The rhythm over the N samples s at fs samples per second (N, fs > 0): out[i]
// is output sample i rounded to single precision, and the result is the sum of
// the unrounded outputs (for the mean). Draws the first period from random,
// which the caller has seeded, and writes the envelope's seam point at the
// start of every period. modulator holds the Np modulator values of the
// Frequency types (null for the others). A period drawn shorter than one
// sample counts as one sample. The progress may be null; so may periods, which
// otherwise receives where every period began.
//
// The walk over the periods runs on the calling thread, which alone calls the
// progress; the per-sample output of its chunks of 2048 samples (the levels
// within a period among it) is shared by `threads` threads (the calling one
// and threads - 1 workers started for the run; 0 for DefaultRhythmThreads()).
// The result is the same, bit for bit, for any number of threads. Besides out
// it holds 66 kB per chunk of a ring of min(256, 64 threads) chunks (no more
// than the sound has) and a copy of the envelope per thread.
double Rhythmize(const std::int16_t* s, int N, int fs, const RhythmParameters& parameters,
                 const Block* modulator, RhythmEnvelope envelope, RandomGenerator& random,
                 Progress* progress, float* out, std::vector<PeriodRecord>* periods = nullptr,
                 int threads = 0);

// The channels RhythmizeChannels takes at once.
constexpr int kMaxRhythmChannels = 2;

// What a rhythm's output of one channel adds up to, gathered as it is made.
struct ChannelTotals {
  double sum = 0;  // of the unrounded outputs, in sample order
  // The smallest and the largest output rounded to single precision.
  float least = 0;
  float greatest = 0;
};

// One rhythm over channels (1 .. kMaxRhythmChannels) sources s[c] of N samples
// each, into out[c], with totals[c] those of channel c: one walk, whose wait
// for a sign change follows the sum of the channels, and the same levels,
// gains and (for the time-shifting types) read positions in every channel.
// One channel is Rhythmize.
void RhythmizeChannels(const std::int16_t* const* s, int channels, int N, int fs,
                       const RhythmParameters& parameters, const Block* modulator, RhythmEnvelope envelope,
                       RandomGenerator& random, Progress* progress, float* const* out, ChannelTotals* totals,
                       std::vector<PeriodRecord>* periods = nullptr, int threads = 0);

// The threads Rhythmize uses by default: the processors this process may run
// on (at least 1).
int DefaultRhythmThreads();

// The modulator of the Frequency types: Np values (Np >= 1) from GenerateSource
// with band a and centre b (cycles per sample; they must pass
// SourceParametersUsable), scaled so that the largest value is 1 unless it is
// 0. False when the generated values are not all finite.
bool MakeModulator(Block& m, int Np, double a, double b, RandomGenerator& random,
                   Progress* progress);

enum class RhythmOutcome {
  Stored,    // the sound holds the rhythm (unless it came out all zeros)
  Overflow,  // a gain beyond the range of numbers: the sound is unchanged
};

// The rhythm of the samples of sound (with samples, a rate > 0 and one or
// two channels; more end the program as a failed precondition):
// RhythmizeChannels, then each channel's mean removed in single precision.
// These values, GetFrames() of the first channel followed by those of the
// second for a stereo sound, are what RhythmizeSound stores before their
// rounding to 16 bits. Null when a value came out beyond the range of numbers.
LargeArray<float> RhythmizedFloats(const SoundStore& sound, const RhythmParameters& parameters,
                                   const Block* modulator, RhythmEnvelope envelope, RandomGenerator& random,
                                   Progress* progress, std::vector<PeriodRecord>* periods = nullptr);

// The rhythm on the samples of sound, in place: RhythmizedFloats' values,
// stored peak-normalised by the sound in one pass after the run. A stereo
// sound gets one rhythm on both channels, each with its own mean removed and
// both scaled by the same factor, so that their balance stays. Does not draw.
RhythmOutcome RhythmizeSound(SoundStore& sound, const RhythmParameters& parameters,
                             const Block* modulator, RhythmEnvelope envelope, RandomGenerator& random,
                             Progress* progress, std::vector<PeriodRecord>* periods = nullptr);

// What the rhythm's number fields hold, in their own units.
struct RhythmFields {
  double period;         // seconds
  double timeDeviation;  // percent
  double magnDeviation;  // percent
  double maxDelay;       // milliseconds
  int type;              // a ModulationType
};

// The checks of "&Rhythm" before it asks for anything, in order.
enum class RhythmCheck {
  Ready,        // go on (for the Frequency types with the modulator's length)
  NoSource,     // no sound with samples and a rate
  WrongPeriod,  // a period that is not a positive number
  NoModulator,  // a modulator of no values: the command ends silently
  TooLarge,     // the output or the modulator does not fit in memory (or a
                // modulator in a block): NotEnoughMemoryMessage(*tooMany)
};
RhythmCheck CheckRhythm(const SoundStore* sound, double period, int type, int* modulatorLength,
                        std::uint64_t* tooMany = nullptr);

// Whether the type reads a modulator ("Frequency", "Amp+Freq").
bool UsesModulator(int type);

// The engine's parameters at fs samples per second; nothing when a deviation
// or the delay is not a finite number.
std::optional<RhythmParameters> MakeRhythmParameters(const RhythmFields& fields, int fs);
