#include "Lagrange.h"

#include <cmath>

#include "VectorKernels.h"

void LagrangeWeights(double w[kLagrangePoints]) {
  double factorial[kLagrangePoints];
  factorial[0] = 1;
  for (int k = 1; k < kLagrangePoints; ++k) factorial[k] = k * factorial[k - 1];
  for (int j = 0; j < kLagrangePoints; ++j) {
    const double sign = j % 2 == 0 ? 1.0 : -1.0;
    w[j] = sign / factorial[j] / factorial[kLagrangePoints - 1 - j];
  }
}

double LagrangeRead(const double w[kLagrangePoints], const std::int16_t* s, int N, double x) {
  constexpr int kHalf = kLagrangePoints / 2;
  const double h = x + 0.5;
  // Beyond these the 25 samples all lie outside the sound; checking first also
  // keeps far-away positions from overflowing the conversion to an integer.
  if (!(h > -(kHalf + 1.0) && h < N + static_cast<double>(kHalf))) return std::isnan(x) ? x : 0.0;
  const std::int64_t n = static_cast<std::int64_t>(h);
  if (std::fabs(x - static_cast<double>(n)) < 0.0001) return n >= 0 && n < N ? s[n] : 0.0;
  // Past that test no divisor d - j is 0.
  const double d = x - static_cast<double>(n - kHalf);
  double product = d;
  for (int k = 1; k < kLagrangePoints; ++k) product *= d - k;
  double sum = 0.0;
  for (int j = 0; j < kLagrangePoints; ++j) {
    const std::int64_t index = n - kHalf + j;
    if (index >= 0 && index < N) sum += s[index] * w[j] / (d - j);
  }
  return product * sum;
}

void LagrangeReadMany(const double w[kLagrangePoints], const std::int16_t* const* s, int channels, int N,
                      const double* positions, int count, double* const* results, VectorPath path) {
  if (const auto kernel = VectorKernel(path, avx2::LagrangeReadMany, avx512::LagrangeReadMany)) {
    return kernel(w, s, channels, N, positions, count, results);
  }
  for (int c = 0; c < channels; ++c)
    for (int k = 0; k < count; ++k) results[c][k] = LagrangeRead(w, s[c], N, positions[k]);
}
