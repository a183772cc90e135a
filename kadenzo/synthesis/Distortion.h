#pragma once
// The output of the Distortion rhythm type for one sample, shared by the
// engine's portable path and its vector kernels.

#include <cmath>

// The Distortion type's output for source sample x with recent peak `peak`,
// gain g and magnitude Mc: x itself unless |x / Mc| exceeds peak * g; then
// peak * g with the sign of x.
inline double DistortSample(int x, int peak, double g, double Mc) {
  const double limit = peak * g;
  const double sample = x;
  return std::fabs(sample / Mc) > limit ? (sample > 0 ? limit : -limit) : sample;
}
