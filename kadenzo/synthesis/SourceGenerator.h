#pragma once
// Source sounds and modulators: white noise, band-limited noise or a sine,
// chosen by a band a and a centre frequency b, both in cycles per sample:
//   b = 0            white noise (a is not used)
//   a != 0, b != 0   white noise through a band-pass filter from b - a to b + a
//   a = 0, b != 0    a sine of frequency b and amplitude 32767

class Block;
class QProgressBar;
class RandomGenerator;

// Whether GenerateSource can make a signal from a and b: they must be finite
// where used, and the band-pass filter must have a pole pair in every section
// (a band of a tiny fraction of a hertz, or a centre at exactly 0 or half the
// rate, leaves a section without one).
bool SourceParametersUsable(double a, double b);

// Fills every value of block (at least one) and removes the mean. Noise is
// r mod 32763 per value from the generator, which is seeded from its clock
// first; the filter runs 10000 warm-up values before the first kept one. No
// amplitude normalisation: white noise stays within about +-16381, a sine has
// amplitude 32767. a and b must pass SourceParametersUsable. The progress bar
// may be null. False when a value came out beyond the range of numbers (a
// filter far too sharp).
bool GenerateSource(Block& block, double a, double b, RandomGenerator& random,
                    QProgressBar* progressBar);
