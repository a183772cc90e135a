#include "Autocorrelation.h"

#include <cmath>

#include "Block.h"

std::vector<double> Autocorrelation(const double* x, int n, int maxLag) {
  int size = 2;
  while (size < n + maxLag) size *= 2;
  Block block(size);
  double* values = block.GetData();
  for (int j = 0; j < n; ++j) values[j] = x[j];

  // Every packed bin holds (2 / sqrt size) X_k. Its squared magnitude, as a
  // packed spectrum again, transforms back to (2 / sqrt size) r.
  block.ForwardFFT();
  const int half = size / 2;
  values[0] *= values[0];
  values[half] *= values[half];
  for (int k = 1; k < half; ++k) {
    values[k] = values[k] * values[k] + values[half + k] * values[half + k];
    values[half + k] = 0.0;
  }
  block.InverseFFT();

  const double scale = 0.5 * std::sqrt(static_cast<double>(size));
  std::vector<double> r(static_cast<std::size_t>(maxLag) + 1);
  for (int tau = 0; tau <= maxLag; ++tau) r[static_cast<std::size_t>(tau)] = values[tau] * scale;
  return r;
}
