#include "Gain.h"

#include <bit>
#include <limits>

#include "GainLaw.h"
#include "VectorKernels.h"

double RhythmGain(double S) {
  using namespace gain_law;
  const double z = 0.1 * (kR * S - kR) * kLn20;
  if (z > kHighest) return std::numeric_limits<double>::infinity();
  if (z < kLowest) return 0.0;
  // z = k ln 2 + r: exp(z) = 2^k exp(r).
  const double shifted = z * kLog2e + kShifter;
  const double k = shifted - kShifter;
  const double r = (z - k * kLn2Hi) - k * kLn2Lo;
  double p = kInverseFactorial[kDegree];
  for (int n = kDegree - 1; n >= 0; --n) p = p * r + kInverseFactorial[n];
  const std::uint64_t exponent = std::bit_cast<std::uint64_t>(shifted) - kShifterBits;
  return p * std::bit_cast<double>((exponent + 1023) << 52);
}

void RhythmGains(const double* S, int count, double* g, VectorPath path) {
  if (const auto kernel = VectorKernel(path, avx2::RhythmGains, avx512::RhythmGains)) {
    return kernel(S, count, g);
  }
  for (int k = 0; k < count; ++k) g[k] = RhythmGain(S[k]);
}
