#pragma once
// The rhythm engine: rebuilds a sound sample by sample so that it follows the
// rhythm envelope repeated with a nominal period. Every period gets a randomly
// drawn length and magnitude; the envelope level S of each sample sets the gain
// g = 20^(S - 1) and acts on the sound through one of six modulation types.

#include <cstdint>

#include "Distortion.h"
#include "VectorPath.h"

class Block;
class MorphCoeffs;
class QProgressBar;
class RandomGenerator;
class SeamlessCo;
class WaveSignal;

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
void PeriodLevels(const MorphCoeffs& envelope, double fs, double T0, double Pc, double Mc,
                  int first, int count, double* level, VectorPath path = FastestVectorPath());

// The rhythm over the N samples s at fs samples per second (N, fs > 0): out[i]
// is output sample i rounded to single precision, and the result is the sum of
// the unrounded outputs (for the mean). Draws the first period from random,
// which the caller has seeded, and writes the envelope's seam point at the
// start of every period. modulator holds the Np modulator values of the
// Frequency types (null for the others). A period drawn shorter than one
// sample counts as one sample. The progress bar may be null.
double Rhythmize(const std::int16_t* s, int N, int fs, const RhythmParameters& parameters,
                 const Block* modulator, SeamlessCo& envelope, RandomGenerator& random,
                 QProgressBar* progressBar, float* out);

// The modulator of the Frequency types: Np values (Np >= 1) from GenerateSource
// with band a and centre b (cycles per sample; they must pass
// SourceParametersUsable), scaled so that the largest value is 1 unless it is
// 0. False when the generated values are not all finite.
bool MakeModulator(Block& m, int Np, double a, double b, RandomGenerator& random,
                   QProgressBar* progressBar);

enum class RhythmOutcome {
  Stored,    // the sound holds the rhythm (unless it came out all zeros)
  Overflow,  // a gain beyond the range of numbers: the sound is unchanged
};

// The rhythm on the samples of sound (with samples and a rate > 0), in place:
// Rhythmize, then the mean removed in single precision, then stored
// peak-normalised by the sound. Does not draw.
RhythmOutcome RhythmizeSound(WaveSignal& sound, const RhythmParameters& parameters,
                             const Block* modulator, SeamlessCo& envelope, RandomGenerator& random,
                             QProgressBar* progressBar);
