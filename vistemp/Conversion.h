#pragma once
// Turning a drawing into an envelope: the pixel test, tracing the topmost ink of
// every column, the logarithmic gain mapping, resampling and scaling. No
// widgets; the only Qt type is the picture being traced.
//
// Arithmetic conditions that have no sensible result (a division by zero, 0/0,
// a factor too large for a double) are not let through as infinities or NaNs:
// they throw FloatingPointError carrying the message the user is shown.

#include <QImage>
#include <QRgb>
#include <stdexcept>

#include "Block.h"

namespace vistemp {

inline constexpr const char* kDivisionByZero = "Floating point division by zero";
inline constexpr const char* kInvalidOperation = "Invalid floating point operation";
inline constexpr const char* kOverflow = "Floating point overflow";

class FloatingPointError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// (0.299 R + 0.587 G + 0.114 B) / 256: 0 for black, 0.99609375 for white.
// Alpha is ignored.
double Luminance(QRgb colour);

// A pixel is ink when it is strictly darker than the threshold.
bool IsInk(QRgb colour, double threshold);

// profile becomes one value per pixel column: H - y of the column's topmost ink
// pixel (H for the top row, 1 for the bottom row), 0 for a column without ink;
// interior runs of blank columns are then bridged by straight lines.
void TraceProfile(Block& profile, const QImage& bitmap, double threshold);

// out becomes a copy of profile. With the logarithmic mapping on (and a nonzero
// range) a profile that is not flat is read as a power level spanning rangeDb
// decibels: its minimum becomes 1 and its maximum 10^(rangeDb/10). Returns false,
// leaving out untouched, when the profile is empty.
bool MakeEnvelope(Block& out, const Block& profile, bool logMapping, double rangeDb);

// envelope brought to size samples (size > 0). Upsampling places source sample i
// at i*(size-1)/(n-1), computed exactly in integers so that the last source sample
// lands on the last output sample, and fills the gaps with smooth cubic steps;
// source samples that are 0 count as gaps. Downsampling (and the same size)
// picks sample j*(n-1)/(size-1). A one-sample envelope resampled to more than one
// sample, or anything resampled to one sample, has no step and throws.
Block Resample(const Block& envelope, int size);

// Multiplies every value by target / (largest value), so that the largest becomes
// target. Throws, leaving the values alone, when the largest value is 0 or the
// factor is too large for a double.
void ScaleTo(Block& envelope, double target);

}  // namespace vistemp
