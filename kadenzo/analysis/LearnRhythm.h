#pragma once
// Learning a rhythm from a recording: the inverse of the rhythm engine. From a
// sound with a rhythm in it, finds the nominal period, the envelope of one
// period and the spread of the period lengths and magnitudes, in the engine's
// own terms, so that the engine with these settings on a new source gives a
// sound with the same rhythm.
//
// The engine draws every period's length as P (1 + (u - 0.5) td) and its
// magnitude as Mc = 1 + (u - 0.5) md (u uniform), plays the level
// S = envelope(phase) * Mc with the gain g = 20^(S - 1), and peak-normalises
// the result. Learning reverses that:
//   1. the sound's amplitude envelope, log20 of the RMS about the sound's
//      mean over short blocks, which is the level S up to a constant;
//   2. the period from the highest peak of its autocorrelation (through the
//      block library's FFT), refined to a fraction of a block, once what
//      changes more slowly than the longest period (a fade) is taken away;
//      where a fade holds much of the levels' variance, the levels are taken
//      against their running mean over a few periods from here on;
//   3. the period starts, each found by aligning the next period to the
//      running mean period (then once more to the final mean), and then
//      each nudged to where the two periods either side of it match the
//      mean period best; a steady tone whose cycles the short blocks cut at
//      different places ripples the levels, so from here on they are taken
//      averaged over one ripple period where they ripple;
//   4. each period resampled to a fixed number of phases; the envelope is the
//      mean, and each period's magnitude M the factor in level - zero =
//      M (mean - zero), zero being the level of envelope value 0; where the
//      loud phases respond less than the quiet ones (a level clipped at the
//      top, as "Distortion" does), the quiet phases give the magnitudes' scale;
//   5. where the sound is clipped as "Distortion" clips band noise (a clip
//      level either side of most zero crossings), the magnitudes instead
//      from its clip threshold: the samples that pass unclipped stay below
//      the magnitude times the clip level.
// The deviations come from the spread of the lengths and magnitudes (a
// uniform draw over a width w has standard deviation w / sqrt 12), measured
// so that neither the uncertainty of single starts and magnitudes nor where
// in the period the alignment happens to lock adds to it (see LearnRhythm.cpp).
//
// Conventions where the sound cannot tell:
// - The gain's absolute scale is lost to the peak normalisation, so the level
//   is known only up to a constant: the envelope's highest value is taken as 1
//   (and anything that falls below 0 is clipped to 0).
// - Where a period starts is not heard either (any rotation of the envelope
//   gives the same rhythm): a period starts at the quietest stretch of the
//   mean period, where a change of magnitude from one period to the next
//   matters least.
//
// Mono 16-bit samples; a caller with stereo sums the channels first.
// Single-threaded; it uses the block library's FFT and so shares its table
// cache (not thread-safe). Memory: about two doubles per 8 samples at most,
// and a 16-bit copy of the samples (their differences).

#include <cstdint>
#include <vector>

class Progress;

struct LearnOptions {
  int points = 540;         // envelope values, at phases k / (points - 1); at least 2
  double minPeriod = 0.05;  // shortest period looked for, seconds
  double maxPeriod = 10.0;  // longest period looked for, seconds
};

struct LearnedPeriod {
  std::int64_t start;   // first sample
  std::int64_t length;  // samples
  double magnitude;     // relative to the mean period, about 1
};

struct LearnedRhythm {
  double period = 0.0;              // P, seconds; 0 when none was found
  double timeDeviation = 0.0;       // percent: lengths spread over P (1 +- td / 200)
  double magnitudeDeviation = 0.0;  // percent: magnitudes spread over 1 +- md / 200
  std::vector<double> envelope;     // options.points values in [0, 1]; all 1 when none was found
  std::vector<LearnedPeriod> periods;  // the whole periods found, in order
  double confidence = 0.0;             // [0, 1]: how clearly the sound repeats with this period
};

// The rhythm of count samples at rate samples per second. Never fails: a sound
// without a rhythm (silence, noise, a steady tone, too short for two periods, a rate <= 0)
// gives a confidence near 0, and with no period at all period 0, no periods
// and a flat envelope. Options outside their range are brought into it.
// progress may be null; when it asks to stop, the result is the one of no
// period found.
LearnedRhythm LearnRhythm(const std::int16_t* samples, std::int64_t count, int rate,
                          const LearnOptions& options = {}, Progress* progress = nullptr);
