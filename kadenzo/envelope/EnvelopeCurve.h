#pragma once
// The numbers of the rhythm envelope, apart from its table and picture: its
// evaluation at a phase, the points taken from an envelope file, the cyclic
// curve of the "Test" button, and the rounding every value gets in the table.
// Window-free, so that the engine and the renderer use it alone.

#include <cmath>
#include <string>
#include <vector>

// values[0 .. last] spread evenly over the phases 0 .. 1, read at phase x
// (clamped to [0, 1]) by linear interpolation; the weight of the upper value
// is rounded to single precision.
inline double InterpolateEnvelope(const double* values, int last, double x) {
  if (!(x >= 0.0)) x = 0.0;
  if (x > 1.0) x = 1.0;
  const int k = static_cast<int>(std::floor(last * x));
  if (k < last) {
    const double f = static_cast<float>((x - static_cast<double>(k) / last) * last);
    return values[k] * (1.0 - f) + values[k + 1] * f;
  }
  return values[last];
}

// The shown points an envelope with `hidden` values beyond its points takes
// from an envelope file: the file's values normalised to span [0, 1], every
// (m / n)-th of the m values for the n = m - hidden points. False, with points
// untouched, when the file is to be ignored: it is no regular file or cannot
// be read, its values are
// all equal or not all finite, the normalised values would not all be finite
// numbers in [0, 1], or it would give fewer than two points.
bool EnvelopePointsFromFile(const std::string& fileName, int hidden, std::vector<double>& points);

// count values through the anchors spread evenly over one period (anchor k at
// value k * count / anchors), the values between filled with the cyclic cubic.
// An anchor of 0 stays 0 (it is not taken for a gap to fill).
std::vector<double> CyclicCurve(const std::vector<double>& anchors, int count);

// The anchors of the "Test" button's curve.
std::vector<double> TestCurveAnchors();

// A value as the envelope's table keeps it: written with at most 4 significant
// digits and 2 decimals, read back in single precision, clamped to [0, 1].
double TableValue(double value);

// The envelope as the rhythm engine uses it: `points` values spread evenly
// over one period, then the seam point, which joins the end of one period to
// the start of the next and which the engine writes at every period.
struct RhythmEnvelope {
  double* values;  // points + 1 values
  int points;

  // Phase x over all points + 1 values (the seam point at phase 1).
  double ValueAt(double x) const { return InterpolateEnvelope(values, points, x); }
  double FirstValue() const { return values[0]; }
  double SeamValue() const { return values[points]; }
  void SetSeamValue(double v) const { values[points] = v; }
};
