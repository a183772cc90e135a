// The 25-point interpolating read: its values against analytic signals and
// against an independent evaluation of the same interpolating polynomial (the
// product form of each basis polynomial, in long double, which also proves
// the weights), and its edges. Its vector paths are checked with the other
// kernels.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "Lagrange.h"

namespace {

constexpr double kFullScale = 32767.0;

struct Weights {
  Weights() { LagrangeWeights(w); }
  double w[kLagrangePoints];
};

// Basis polynomial j of the nodes n - 12 .. n + 12 at x, as the product of its
// factors (not the barycentric form under test).
long double Basis(int n, int j, double x) {
  long double l = 1.0L;
  for (int k = 0; k < kLagrangePoints; ++k) {
    if (k != j) l *= (static_cast<long double>(x) - (n - 12 + k)) / static_cast<long double>(j - k);
  }
  return l;
}

// The interpolating polynomial through the values v (samples outside count
// as absent) at the 25 nodes around x.
template <typename Value>
double ProductFormRead(const std::vector<Value>& v, double x) {
  const int n = static_cast<int>(x + 0.5);
  long double sum = 0.0L;
  for (int j = 0; j < kLagrangePoints; ++j) {
    const int index = n - 12 + j;
    if (index >= 0 && index < static_cast<int>(v.size())) sum += v[index] * Basis(n, j, x);
  }
  return static_cast<double>(sum);
}

}  // namespace

TEST(LagrangeRead, DelayedSineMatchesTheAnalyticDelay) {
  // A quantised sine read at fractional delays. The read is linear in the
  // samples, so it must equal the analytic delayed sine plus the
  // interpolation of the rounding errors of the samples.
  const Weights weights;
  const double omega = 2 * M_PI * 1000.0 / 44100.0;
  std::vector<std::int16_t> s(2000);
  std::vector<double> roundingError(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    const double exact = kFullScale * std::sin(omega * i);
    s[i] = static_cast<std::int16_t>(std::lround(exact));
    roundingError[i] = s[i] - exact;
  }
  for (const double delay : {0.1, 0.25, 0.4999, 0.5, 0.73, 0.9}) {
    for (int i = 100; i < 1900; i += 37) {
      const double x = i - delay;
      const double expected = kFullScale * std::sin(omega * x) + ProductFormRead(roundingError, x);
      EXPECT_NEAR(LagrangeRead(weights.w, s.data(), 2000, x), expected, 1e-6 * kFullScale)
          << "delay " << delay << " at " << i;
    }
  }
}

TEST(LagrangeRead, ReproducesPolynomialsOfDegreeUpTo24) {
  const Weights weights;
  // A cubic with integer values: read anywhere, it gives the cubic itself.
  std::vector<std::int16_t> cubic(61);
  auto p = [](double t) { return (t - 30) * (t - 30) * (t - 30) - 300 * (t - 30) + 7; };
  for (int i = 0; i < 61; ++i) cubic[i] = static_cast<std::int16_t>(p(i));
  for (double x = 12.3; x < 48; x += 0.77) {
    EXPECT_NEAR(LagrangeRead(weights.w, cubic.data(), 61, x), p(x), 1e-9 * kFullScale) << x;
  }
  // Arbitrary values define a polynomial of degree 24 on each window.
  std::mt19937 engine(7);
  std::uniform_int_distribution<int> value(-32767, 32767);
  std::vector<std::int16_t> s(200);
  for (auto& v : s) v = static_cast<std::int16_t>(value(engine));
  for (double x = 30.01; x < 170; x += 0.611) {
    EXPECT_NEAR(LagrangeRead(weights.w, s.data(), 200, x), ProductFormRead(s, x), 1e-6 * kFullScale)
        << x;
  }
}

TEST(LagrangeRead, EdgesOfTheSoundAndSpecialPositions) {
  const Weights weights;
  const int N = 60;
  std::vector<std::int16_t> s(N);
  for (int i = 0; i < N; ++i) s[i] = static_cast<std::int16_t>(1000 + 37 * i - (i * i) % 301);
  auto read = [&](double x) { return LagrangeRead(weights.w, s.data(), N, x); };
  // Within 0.0001 of a sample: that sample exactly, also at the ends.
  EXPECT_EQ(read(0.0), s[0]);
  EXPECT_EQ(read(17.00009), s[17]);
  EXPECT_EQ(read(59.00004), s[59]);
  EXPECT_EQ(read(-0.00005), s[0]);
  // Near an end only the samples inside count: the product form agrees.
  for (const double x : {0.3, 3.7, -4.4, 55.5, 62.25, 70.6, 71.49, -12.4, -13.0}) {
    EXPECT_NEAR(read(x), ProductFormRead(s, x), 1e-6 * kFullScale) << x;
  }
  // Whole positions just outside the sound, or centred more than 12 samples
  // beyond either end (x + 0.5 truncated toward zero): 0.
  const double infinity = std::numeric_limits<double>::infinity();
  for (const double x : {59.99995, -1.0, 60.0, -13.5, -13.6, -500.5, 71.5, 72.5, 1e6, -1e300, 1e300,
                         infinity, -infinity}) {
    EXPECT_EQ(read(x), 0.0) << x;
  }
  EXPECT_TRUE(std::isnan(read(std::nan(""))));
}
