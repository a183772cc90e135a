// The gain law against the C library's pow and its limits, and every vector
// path of the per-sample kernels (interpolating reads, gains, envelope levels,
// distortion) against the portable one bit for bit.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "Gain.h"
#include "Lagrange.h"
#include "MorphCoeffs.h"
#include "RhythmEngine.h"

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr QuotientMethod kQuotientMethods[] = {QuotientMethod::Divisions, QuotientMethod::Reciprocals,
                                               QuotientMethod::Alternating};

// Runs compute on the portable path and on every vector path this processor
// has, and returns the portable results after checking the others against them.
template <typename Compute>
std::vector<double> ExpectPathsEqual(int count, Compute compute) {
  std::vector<double> portable(count);
  compute(VectorPath::Portable, portable.data());
  for (const VectorPath path : {VectorPath::Avx2, VectorPath::Avx512}) {
    if (!VectorPathSupported(path)) continue;
    std::vector<double> vector(count, -1.0);
    compute(path, vector.data());
    for (int k = 0; k < count && !testing::Test::HasFailure(); ++k) {
      EXPECT_EQ(std::memcmp(&portable[k], &vector[k], sizeof(double)), 0)
          << "path " << static_cast<int>(path) << " index " << k << ": " << vector[k];
    }
  }
  return portable;
}

}  // namespace

TEST(RhythmGain, FollowsTwentyToTheLevelMinusOne) {
  EXPECT_EQ(RhythmGain(1.0), 1.0);
  EXPECT_NEAR(RhythmGain(0.0), 0.05, 0x1p-57);  // one unit in the last place of 0.05
  EXPECT_NEAR(RhythmGain(2.0), 20.0, 0x1p-47);  // two units in the last place of 20
  // Close to the C library over the levels that magnitude deviations up to
  // 200 % give; beyond, the rounding of y ln 20 grows with y.
  for (const auto& [from, to, step, tolerance] :
       {std::tuple{-2.0, 3.0, 0.00037, 1e-14}, std::tuple{-200.0, 200.0, 0.0037, 1e-13}}) {
    for (double S = from; S <= to; S += step) {
      const double exact = std::pow(20.0, 0.1 * (10.0 * S - 10.0));
      ASSERT_NEAR(RhythmGain(S), exact, exact * tolerance) << S;
    }
  }
  // Beyond the range of numbers; just inside it still finite and positive.
  for (const auto& [S, g] : {std::pair{300.0, kInfinity}, std::pair{1e300, kInfinity},
                             std::pair{-300.0, 0.0}, std::pair{-kInfinity, 0.0}}) {
    EXPECT_EQ(RhythmGain(S), g) << S;
  }
  EXPECT_TRUE(std::isnan(RhythmGain(std::nan(""))));
  EXPECT_TRUE(std::isfinite(RhythmGain(237.0)));
  EXPECT_GT(RhythmGain(-235.0), 0.0);
}

TEST(LagrangeReadMany, EveryVectorPathEqualsThePortableOneBitForBit) {
  double w[kLagrangePoints];
  LagrangeWeights(w);
  std::mt19937 engine(11);
  std::uniform_int_distribution<int> value(-32768, 32767);
  const int N = 5000;
  std::vector<std::int16_t> s(N);
  for (auto& v : s) v = static_cast<std::int16_t>(value(engine));
  s[2500] = -32768;
  // Slowly moving positions (close windows), wildly jumping ones (gathered
  // windows), whole and nearly whole positions, both ends, far away and NaN.
  std::uniform_real_distribution<double> jump(-20.0, N + 20.0);
  std::vector<double> x;
  for (int i = 0; i < 3000; ++i) x.push_back(i + 0.37 * std::sin(i * 0.01) * 40);
  for (int i = 0; i < 3000; ++i) x.push_back(jump(engine));
  for (int i = 0; i < 200; ++i) x.push_back(1000 + i + (i % 3 == 0 ? 0.0 : 0.00004 * (i % 5)));
  for (int i = 0; i < 100; ++i) x.push_back(-14.0 + i * 0.3);
  for (int i = 0; i < 100; ++i) x.push_back(N - 30.0 + i * 0.45);
  x.insert(x.end(), {1e300, -1e300, kInfinity, std::nan(""), -0.0, 4999.0, 4999.6});
  const int count = static_cast<int>(x.size());
  const std::vector<std::int16_t> other(s.rbegin(), s.rend());
  const std::int16_t* both[] = {s.data(), other.data()};
  for (const QuotientMethod method : kQuotientMethods) {
    const std::vector<double> portable = ExpectPathsEqual(count, [&](VectorPath path, double* r) {
      LagrangeReadMany(w, both, 1, N, x.data(), count, &r, path, method);
    });
    for (int k = 0; k < count; ++k) {
      const double single = LagrangeRead(w, s.data(), N, x[k]);
      ASSERT_EQ(std::memcmp(&portable[k], &single, sizeof single), 0) << k;
    }
    // Two channels read together: each gives its own reads.
    const std::vector<double> pair = ExpectPathsEqual(2 * count, [&](VectorPath path, double* r) {
      double* results[] = {r, r + count};
      LagrangeReadMany(w, both, 2, N, x.data(), count, results, path, method);
    });
    for (int k = 0; k < count; ++k) {
      const double single[] = {LagrangeRead(w, s.data(), N, x[k]), LagrangeRead(w, other.data(), N, x[k])};
      ASSERT_EQ(std::memcmp(&pair[k], &single[0], sizeof(double)), 0) << k;
      ASSERT_EQ(std::memcmp(&pair[count + k], &single[1], sizeof(double)), 0) << k;
    }
  }
}

TEST(LagrangeReadMany, QuotientsThroughReciprocalsGiveTheDivisionsBitForBit) {
  // The vector reads take quotients through reciprocals and their
  // corrections (two channels share one; one channel takes every other one
  // so; alternating, every other one is shared): full-range samples, and a
  // channel of zeros and small values (the zero quotients' signs, the smallest
  // terms), read one by one and together at positions that move in step with
  // the samples, that jump, and that lie just beyond the distance within which
  // a read is the sample itself (the smallest divisors).
  double w[kLagrangePoints];
  LagrangeWeights(w);
  std::mt19937 engine(23);
  std::uniform_int_distribution<int> value(-32768, 32767);
  const int N = 1 << 16;
  std::vector<std::int16_t> loud(N);
  std::vector<std::int16_t> quiet(N);
  for (int i = 0; i < N; ++i) {
    loud[i] = static_cast<std::int16_t>(value(engine));
    quiet[i] = static_cast<std::int16_t>(i % 3 == 0 ? 0 : value(engine) % 4);
  }
  std::uniform_real_distribution<double> position(20.0, N - 40.0);
  std::uniform_real_distribution<double> nearSample(0.0001, 0.002);
  std::vector<double> x;
  for (int k = 0; k < 20000; ++k) x.push_back(100 + k + 0.4 * std::sin(k * 0.001));
  for (int k = 0; k < 20000; ++k) x.push_back(position(engine));
  for (int k = 0; k < 4000; ++k) x.push_back(30000 + k + (k % 2 ? 1 : -1) * nearSample(engine));
  const int count = static_cast<int>(x.size());
  const std::int16_t* both[] = {loud.data(), quiet.data()};
  for (const QuotientMethod method : {QuotientMethod::Reciprocals, QuotientMethod::Alternating}) {
    for (const int channels : {1, 2}) {
      const std::vector<double> reads = ExpectPathsEqual(2 * count, [&](VectorPath path, double* r) {
        double* results[] = {r, r + count};
        if (channels == 2) return LagrangeReadMany(w, both, 2, N, x.data(), count, results, path, method);
        for (int c = 0; c < 2; ++c) LagrangeReadMany(w, both + c, 1, N, x.data(), count, results + c, path, method);
      });
      for (int k = 0; k < count; ++k) {
        ASSERT_EQ(reads[k], LagrangeRead(w, loud.data(), N, x[k])) << k;
        ASSERT_EQ(reads[count + k], LagrangeRead(w, quiet.data(), N, x[k])) << k;
      }
    }
  }
}

TEST(RhythmGains, EveryVectorPathEqualsThePortableOneBitForBit) {
  std::mt19937 engine(3);
  std::uniform_real_distribution<double> level(-1.5, 2.5);
  std::vector<double> S(4099);
  for (auto& v : S) v = level(engine);
  const double special[] = {300.0, -300.0, std::nan(""), 1.0, 0.0, 237.0};
  std::copy(std::begin(special), std::end(special), S.begin() + 5);
  const int count = static_cast<int>(S.size());
  ExpectPathsEqual(count,
                   [&](VectorPath path, double* g) { RhythmGains(S.data(), count, g, path); });
}

TEST(PeriodLevels, EveryVectorPathEqualsThePortableOneBitForBit) {
  // An envelope of steps and slopes with a seam point, read over periods
  // from a few samples (indices far apart) to many (indices close); and
  // periods and starts where a division by the reciprocal would not give the
  // division's value (0, subnormal, infinite, NaN), and a negative one.
  SeamlessCo envelope(539, nullptr, 0.0, nullptr);
  for (int i = 0; i < 540; ++i) envelope[i] = (i % 97 < 40) ? i / 539.0 : 1.0 - (i % 13) / 13.0;
  for (const double period : {0.0001, 0.003, 0.25, 7.0, 0.0, 1e-310, 1e308, kInfinity, std::nan(""), -0.25}) {
    for (const double start : {0.0, 0.5, 123.456, -kInfinity, kInfinity}) {
      const int first = std::isfinite(start) ? static_cast<int>(start * 44100) + 3 : 3;
      ExpectPathsEqual(2053, [&](VectorPath path, double* level) {
        PeriodLevels(envelope.ForEngine(), 44100.0, start, period, 1.07, first, 2053, level, path);
      });
    }
  }
  // The portable path is the envelope's own reading.
  double level[3];
  PeriodLevels(envelope.ForEngine(), 100.0, 0.0, 1.0, 2.0, 10, 3, level, VectorPath::Portable);
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
  // Cut to the limit with the sample's sign; 400 / 0.5 is over, 0 / 0 is not.
  EXPECT_EQ(DistortSample(5000, 1000, 0.5, 1.0), 500.0);
  EXPECT_EQ(DistortSample(-5000, 1000, 0.5, 1.0), -500.0);
  EXPECT_EQ(DistortSample(400, 1000, 0.5, 0.5), 500.0);
  EXPECT_EQ(DistortSample(600, 1000, 0.5, 2.0), 600.0);
  EXPECT_EQ(DistortSample(0, 0, 1.0, 0.0), 0.0);
}

TEST(LagrangeReadMany, FastMovingPositionsGiveTheSingleReadsBitForBit) {
  // Positions moving at 1.2 to 3.6 samples per sample: windows that overlap
  // but do not move in step with the samples; then the same up to the very
  // end of the sound.
  double w[kLagrangePoints];
  LagrangeWeights(w);
  std::mt19937 engine(17);
  std::uniform_int_distribution<int> value(-32768, 32767);
  const int N = 20000;
  std::vector<std::int16_t> s(N);
  for (auto& v : s) v = static_cast<std::int16_t>(value(engine));
  std::vector<double> x;
  for (const double speed : {1.2, 1.6, 2.0, 2.6, 3.1, 3.6}) {
    for (int i = 0; i < 400; ++i) x.push_back(100.0 + speed * i + 0.25 * std::sin(i * 0.3));
  }
  for (int i = 0; i < 200; ++i) x.push_back(N - 120.0 + 0.6 * i);
  const int count = static_cast<int>(x.size());
  const std::int16_t* source = s.data();
  for (const VectorPath path : {VectorPath::Avx2, VectorPath::Avx512}) {
    if (!VectorPathSupported(path)) continue;
    for (const QuotientMethod method : kQuotientMethods) {
      std::vector<double> results(count);
      double* r = results.data();
      LagrangeReadMany(w, &source, 1, N, x.data(), count, &r, path, method);
      for (int k = 0; k < count; ++k) {
        const double single = LagrangeRead(w, s.data(), N, x[k]);
        ASSERT_EQ(std::memcmp(&results[k], &single, sizeof single), 0)
            << "path " << static_cast<int>(path) << " position " << x[k];
      }
    }
  }
}
