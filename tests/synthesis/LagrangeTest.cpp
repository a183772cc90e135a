// The 25-point interpolating read: its weights against binomial coefficients,
// its values against analytic signals and against an independent evaluation
// of the same interpolating polynomial (the product form of each basis
// polynomial, in long double), its edges, and every vector path against the
// portable one bit for bit.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
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

// The interpolating polynomial through s at the 25 nodes around x.
long double ProductFormRead(const std::vector<std::int16_t>& s, double x) {
  const int n = static_cast<int>(x + 0.5);
  long double sum = 0.0L;
  for (int j = 0; j < kLagrangePoints; ++j) {
    const int index = n - 12 + j;
    if (index >= 0 && index < static_cast<int>(s.size())) sum += s[index] * Basis(n, j, x);
  }
  return sum;
}

}  // namespace

TEST(LagrangeWeights, AreSignedBinomialsOver24Factorial) {
  const Weights weights;
  double factorial24 = 1;
  for (int k = 2; k <= 24; ++k) factorial24 *= k;
  double binomial = 1;  // C(24, j)
  for (int j = 0; j < kLagrangePoints; ++j) {
    const double expected = (j % 2 == 0 ? 1 : -1) * binomial / factorial24;
    EXPECT_NEAR(weights.w[j], expected, std::fabs(expected) * 1e-14) << "j = " << j;
    binomial = binomial * (24 - j) / (j + 1);
  }
}

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
      const int n = static_cast<int>(x + 0.5);
      long double errorPart = 0.0L;
      for (int j = 0; j < kLagrangePoints; ++j)
        errorPart += roundingError[n - 12 + j] * Basis(n, j, x);
      const double expected = kFullScale * std::sin(omega * x) + static_cast<double>(errorPart);
      EXPECT_NEAR(LagrangeRead(weights.w, s.data(), static_cast<int>(s.size()), x), expected,
                  1e-6 * kFullScale)
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
    EXPECT_NEAR(LagrangeRead(weights.w, s.data(), 200, x),
                static_cast<double>(ProductFormRead(s, x)), 1e-6 * kFullScale)
        << x;
  }
}

TEST(LagrangeRead, EdgesOfTheSoundAndSpecialPositions) {
  const Weights weights;
  std::vector<std::int16_t> s(60);
  for (int i = 0; i < 60; ++i) s[i] = static_cast<std::int16_t>(1000 + 37 * i - (i * i) % 301);
  const int N = 60;
  // Within 0.0001 of a sample: that sample exactly, also at the ends.
  EXPECT_EQ(LagrangeRead(weights.w, s.data(), N, 0.0), s[0]);
  EXPECT_EQ(LagrangeRead(weights.w, s.data(), N, 17.00009), s[17]);
  EXPECT_EQ(LagrangeRead(weights.w, s.data(), N, 59.00004), s[59]);
  EXPECT_EQ(LagrangeRead(weights.w, s.data(), N, 59.99995), 0.0);  // nearest to sample 60
  EXPECT_EQ(LagrangeRead(weights.w, s.data(), N, -0.00005), s[0]);
  // Whole positions just outside the sound read 0.
  EXPECT_EQ(LagrangeRead(weights.w, s.data(), N, -1.0), 0.0);
  EXPECT_EQ(LagrangeRead(weights.w, s.data(), N, 60.0), 0.0);
  // Near an end only the samples inside count: the product form agrees.
  for (const double x : {0.3, 3.7, -4.4, 55.5, 62.25, 70.6, 71.49, -12.4, -13.0}) {
    EXPECT_NEAR(LagrangeRead(weights.w, s.data(), N, x), static_cast<double>(ProductFormRead(s, x)),
                1e-6 * kFullScale)
        << x;
  }
  // Centred more than 12 samples beyond either end (x + 0.5 truncated toward
  // zero): nothing of the sound is read.
  for (const double x :
       {-13.5, -13.6, -500.5, 71.5, 72.5, 1e6, -1e300, 1e300,
        std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()}) {
    EXPECT_EQ(LagrangeRead(weights.w, s.data(), N, x), 0.0) << x;
  }
  EXPECT_TRUE(std::isnan(LagrangeRead(weights.w, s.data(), N, std::nan(""))));
}

TEST(LagrangeReadMany, EveryVectorPathEqualsThePortableOneBitForBit) {
  const Weights weights;
  std::mt19937 engine(11);
  std::uniform_int_distribution<int> value(-32768, 32767);
  const int N = 5000;
  std::vector<std::int16_t> s(N);
  for (auto& v : s) v = static_cast<std::int16_t>(value(engine));
  s[2500] = -32768;

  // Slowly moving positions (close windows), wildly jumping ones (gathered
  // windows), whole and nearly whole positions, both ends, far away and NaN.
  std::vector<double> positions;
  std::uniform_real_distribution<double> jump(-20.0, N + 20.0);
  for (int i = 0; i < 3000; ++i) positions.push_back(i + 0.37 * std::sin(i * 0.01) * 40);
  for (int i = 0; i < 3000; ++i) positions.push_back(jump(engine));
  for (int i = 0; i < 200; ++i)
    positions.push_back(1000 + i + (i % 3 == 0 ? 0.0 : 0.00004 * (i % 5)));
  for (int i = 0; i < 100; ++i) positions.push_back(-14.0 + i * 0.3);
  for (int i = 0; i < 100; ++i) positions.push_back(N - 30.0 + i * 0.45);
  for (const double odd : {1e300, -1e300, std::numeric_limits<double>::infinity(), std::nan(""),
                           -0.0, 4999.0, 4999.6}) {
    positions.push_back(odd);
  }
  const int count = static_cast<int>(positions.size());

  std::vector<double> portable(count);
  LagrangeReadMany(weights.w, s.data(), N, positions.data(), count, portable.data(),
                   VectorPath::Portable);
  for (int k = 0; k < count; ++k) {
    const double single = LagrangeRead(weights.w, s.data(), N, positions[k]);
    ASSERT_EQ(std::memcmp(&portable[k], &single, sizeof single), 0) << k;
  }
  for (const VectorPath path : {VectorPath::Avx2, VectorPath::Avx512}) {
    if (!VectorPathSupported(path)) continue;
    std::vector<double> vector(count);
    LagrangeReadMany(weights.w, s.data(), N, positions.data(), count, vector.data(), path);
    for (int k = 0; k < count; ++k) {
      ASSERT_EQ(std::memcmp(&portable[k], &vector[k], sizeof(double)), 0)
          << "path " << static_cast<int>(path) << " position " << positions[k];
    }
  }
}
