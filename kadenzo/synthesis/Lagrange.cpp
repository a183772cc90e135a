#include "Lagrange.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <mutex>
#include <vector>

#include "RandomGenerator.h"
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
                      const double* positions, int count, double* const* results, VectorPath path,
                      QuotientMethod method) {
  if (const auto kernel = VectorKernel(path, avx2::LagrangeReadMany, avx512::LagrangeReadMany)) {
    return kernel(w, s, channels, N, positions, count, results, method);
  }
  for (int c = 0; c < channels; ++c)
    for (int k = 0; k < count; ++k) results[c][k] = LagrangeRead(w, s[c], N, positions[k]);
}

void LagrangeReadMany(const double w[kLagrangePoints], const std::int16_t* const* s, int channels, int N,
                      const double* positions, int count, double* const* results, VectorPath path) {
  LagrangeReadMany(w, s, channels, N, positions, count, results, path, FasterQuotientMethod(path, channels));
}

namespace {

// Reads of a made-up sound of `channels` channels at positions that move in
// step with the samples and at ones that do not (the kernels' two ways of
// fetching windows), each way by turns; the faster by its best time.
QuotientMethod TimeQuotientMethods(VectorPath path, int channels) {
  constexpr int kSamples = 4096;
  constexpr int kPositions = 2048;
  std::vector<std::int16_t> samples(static_cast<std::size_t>(kSamples) * channels);
  RandomGenerator random;
  random.Seed(1);
  for (auto& v : samples) v = static_cast<std::int16_t>(random.Next() >> 15);
  std::vector<double> positions(kPositions);
  for (int k = 0; k < kPositions; ++k)
    positions[k] = k < kPositions / 2 ? 100 + k + 0.3 * std::sin(k * 0.01) : 100 + 1.7 * k + 0.4 * std::sin(k * 0.7);
  std::vector<double> reads(static_cast<std::size_t>(kPositions) * channels);
  std::vector<const std::int16_t*> sources(channels);
  std::vector<double*> results(channels);
  for (int c = 0; c < channels; ++c) {
    sources[c] = samples.data() + static_cast<std::size_t>(kSamples) * c;
    results[c] = reads.data() + static_cast<std::size_t>(kPositions) * c;
  }
  double w[kLagrangePoints];
  LagrangeWeights(w);
  const QuotientMethod methods[] = {QuotientMethod::Divisions, QuotientMethod::Reciprocals,
                                    QuotientMethod::Alternating};
  constexpr int kMethods = std::size(methods);
  double best[kMethods] = {INFINITY, INFINITY, INFINITY};
  // The first round only warms the caches and the vector units.
  for (int round = 0; round < 6; ++round) {
    for (int m = 0; m < kMethods; ++m) {
      const auto start = std::chrono::steady_clock::now();
      LagrangeReadMany(w, sources.data(), channels, kSamples, positions.data(), kPositions, results.data(), path,
                       methods[m]);
      const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
      if (round > 0) best[m] = std::min(best[m], took.count());
    }
  }
  return methods[std::min_element(best, best + kMethods) - best];
}

}  // namespace

QuotientMethod FasterQuotientMethod(VectorPath path, int channels) {
  // More channels than two are read one by one.
  const int group = channels == 2 ? 1 : 0;
  const int p = static_cast<int>(path);
  static std::once_flag timed[3][2];
  static QuotientMethod faster[3][2];
  std::call_once(timed[p][group], [&] {
    // The portable read only divides.
    const bool vector = path != VectorPath::Portable && VectorPathSupported(path);
    faster[p][group] = vector ? TimeQuotientMethods(path, group + 1) : QuotientMethod::Divisions;
  });
  return faster[p][group];
}
