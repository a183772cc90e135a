// The gain law against the C library's pow and its limits, and every vector
// path of the per-sample kernels (gains, envelope levels, distortion) against
// the portable one bit for bit.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "Gain.h"
#include "MorphCoeffs.h"
#include "RhythmEngine.h"

namespace {

// Distance in units in the last place between two positive doubles.
double UlpDistance(double a, double b) {
  return std::fabs(a - b) / (std::nextafter(b, INFINITY) - b);
}

template <typename Compute>
void ExpectPathsEqual(int count, Compute compute) {
  std::vector<double> portable(count);
  compute(VectorPath::Portable, portable.data());
  for (const VectorPath path : {VectorPath::Avx2, VectorPath::Avx512}) {
    if (!VectorPathSupported(path)) continue;
    std::vector<double> vector(count, -1.0);
    compute(path, vector.data());
    for (int k = 0; k < count; ++k) {
      ASSERT_EQ(std::memcmp(&portable[k], &vector[k], sizeof(double)), 0)
          << "path " << static_cast<int>(path) << " index " << k << ": " << portable[k] << " vs "
          << vector[k];
    }
  }
}

}  // namespace

TEST(RhythmGain, FollowsTwentyToTheLevelMinusOne) {
  EXPECT_EQ(RhythmGain(1.0), 1.0);
  EXPECT_LE(UlpDistance(RhythmGain(0.0), 0.05), 1.0);
  EXPECT_LE(UlpDistance(RhythmGain(2.0), 20.0), 2.0);
  // Close to the C library over the levels that magnitude deviations up to
  // 200 % give; beyond, the rounding of y ln 20 grows with y.
  for (double S = -2.0; S <= 3.0; S += 0.00037) {
    const double exact = std::pow(20.0, 0.1 * (10.0 * S - 10.0));
    ASSERT_NEAR(RhythmGain(S), exact, exact * 1e-14) << S;
  }
  for (double S = -200.0; S <= 200.0; S += 0.0037) {
    const double exact = std::pow(20.0, 0.1 * (10.0 * S - 10.0));
    ASSERT_NEAR(RhythmGain(S), exact, exact * 1e-13) << S;
  }
}

TEST(RhythmGain, BeyondTheRangeOfNumbers) {
  EXPECT_EQ(RhythmGain(300.0), std::numeric_limits<double>::infinity());
  EXPECT_EQ(RhythmGain(1e300), std::numeric_limits<double>::infinity());
  EXPECT_EQ(RhythmGain(-300.0), 0.0);
  EXPECT_EQ(RhythmGain(-std::numeric_limits<double>::infinity()), 0.0);
  EXPECT_TRUE(std::isnan(RhythmGain(std::nan(""))));
  // Just inside the limits the result is still finite and positive.
  EXPECT_TRUE(std::isfinite(RhythmGain(237.0)));
  EXPECT_GT(RhythmGain(-235.0), 0.0);
}

TEST(RhythmGains, EveryVectorPathEqualsThePortableOneBitForBit) {
  std::mt19937 engine(3);
  std::uniform_real_distribution<double> level(-1.5, 2.5);
  std::vector<double> S(4099);
  for (auto& v : S) v = level(engine);
  S[5] = 300.0;
  S[6] = -300.0;
  S[7] = std::nan("");
  S[8] = 1.0;
  S[9] = 0.0;
  S[10] = 237.0;
  const int count = static_cast<int>(S.size());
  ExpectPathsEqual(count,
                   [&](VectorPath path, double* g) { RhythmGains(S.data(), count, g, path); });
}

TEST(PeriodLevels, EveryVectorPathEqualsThePortableOneBitForBit) {
  // An envelope of steps and slopes with a seam point, read over periods
  // from a few samples (indices far apart) to many (indices close).
  SeamlessCo envelope(539, nullptr, 0.0, nullptr);
  for (int i = 0; i < 540; ++i) envelope[i] = (i % 97 < 40) ? i / 539.0 : 1.0 - (i % 13) / 13.0;
  for (const double period : {0.0001, 0.003, 0.25, 7.0}) {
    for (const double start : {0.0, 0.5, 123.456}) {
      const int first = static_cast<int>(start * 44100) + 3;
      const int count = 2053;
      ExpectPathsEqual(count, [&](VectorPath path, double* level) {
        PeriodLevels(envelope, 44100.0, start, period, 1.07, first, count, level, path);
      });
    }
  }
  // The portable path is the envelope's own reading.
  double level[3];
  PeriodLevels(envelope, 100.0, 0.0, 1.0, 2.0, 10, 3, level, VectorPath::Portable);
  for (int j = 0; j < 3; ++j) EXPECT_EQ(level[j], envelope.ValueAt((10 + j) / 100.0) * 2.0);
}

TEST(Distort, EveryVectorPathEqualsThePortableOneBitForBit) {
  std::mt19937 engine(5);
  std::uniform_int_distribution<int> sample(-32768, 32767);
  std::uniform_int_distribution<int> peak(0, 32768);
  std::uniform_real_distribution<double> spread(-0.6, 1.6);
  const int count = 1031;
  std::vector<std::int16_t> x(count);
  std::vector<int> peaks(count);
  std::vector<double> gain(count), magnitude(count);
  for (int k = 0; k < count; ++k) {
    x[k] = static_cast<std::int16_t>(k % 17 == 0 ? 0 : sample(engine));
    peaks[k] = k % 13 == 0 ? 0 : peak(engine);
    gain[k] = spread(engine) + 0.6;
    magnitude[k] = k % 29 == 0 ? 0.0 : spread(engine);  // a magnitude of 0 as well
  }
  ExpectPathsEqual(count, [&](VectorPath path, double* value) {
    Distort(x.data(), peaks.data(), gain.data(), magnitude.data(), count, value, path);
  });
  // Cut to the limit with the sample's sign.
  EXPECT_EQ(DistortSample(5000, 1000, 0.5, 1.0), 500.0);
  EXPECT_EQ(DistortSample(-5000, 1000, 0.5, 1.0), -500.0);
  EXPECT_EQ(DistortSample(400, 1000, 0.5, 1.0), 400.0);
  EXPECT_EQ(DistortSample(400, 1000, 0.5, 0.5), 500.0);  // 400 / 0.5 is over
  EXPECT_EQ(DistortSample(600, 1000, 0.5, 2.0), 600.0);
  EXPECT_EQ(DistortSample(0, 0, 1.0, 1.0), 0.0);
  EXPECT_EQ(DistortSample(0, 0, 1.0, 0.0), 0.0);  // 0 / 0 is not over
}
