// The random generator, the sine oscillator and the source generator: first
// sine values against the sine function, the white noise's range, mean and
// spread, the band-limited noise's spectrum through the library's own FFT,
// reproducibility within one clock second, and which band and frequency
// values the generator accepts (checked against the filter design itself).

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "Block.h"
#include "PhasorOscillator.h"
#include "RandomGenerator.h"
#include "RhythmEngine.h"
#include "SourceGenerator.h"

namespace {

RandomGenerator FixedClock(std::int64_t seconds) {
  return RandomGenerator([seconds] { return seconds; });
}

Block Generate(int n, double a, double b, std::int64_t seconds) {
  RandomGenerator random = FixedClock(seconds);
  Block block(n);
  EXPECT_TRUE(GenerateSource(block, a, b, random, nullptr));
  return block;
}

bool SameValues(const Block& x, const Block& y) {
  if (x.GetSize() != y.GetSize()) return false;
  for (int i = 0; i < x.GetSize(); ++i) {
    if (x[i] != y[i]) return false;
  }
  return true;
}

}  // namespace

TEST(RandomGenerator, FixedClockReproducesAndDrawsStayInRange) {
  RandomGenerator a = FixedClock(1700000000);
  RandomGenerator b = FixedClock(1700000000);
  RandomGenerator c = FixedClock(1700000001);
  int differing = 0;
  double sum = 0;
  constexpr int kDraws = 100000;
  for (int i = 0; i < kDraws; ++i) {
    const std::int32_t r = a.Next();
    ASSERT_GE(r, 0);
    ASSERT_EQ(r, b.Next());
    differing += r != c.Next();
    const double u = a.Uniform();
    ASSERT_EQ(u, b.Uniform());
    c.Uniform();
    ASSERT_GE(u, 0.0);
    ASSERT_LT(u, 1.0);
    sum += u;
  }
  EXPECT_GT(differing, kDraws - 10);
  EXPECT_NEAR(sum / kDraws, 0.5, 0.005);
  // Seeding again from the clock starts the same sequence again.
  a.SeedFromClock();
  c = FixedClock(1700000000);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(a.Next(), c.Next());
}

TEST(RandomDeviation, TenPercentKeepsWithinFivePercentOfTheNominal) {
  RandomGenerator random = FixedClock(42);
  double lowest = 2, highest = 0;
  for (int i = 0; i < 200000; ++i) {
    const double period = RandomDeviation(0.1, 2.0, random);
    lowest = std::min(lowest, period);
    highest = std::max(highest, period);
  }
  EXPECT_GE(lowest, 0.95 * 2.0);
  EXPECT_LT(lowest, 0.95 * 2.0 + 1e-4);
  EXPECT_LE(highest, 2.0 * (1 + 0.1 * (32762.0 / 32763 - 0.5)));
  EXPECT_GT(highest, 1.05 * 2.0 - 1e-4);
  // No deviation: exactly the nominal value whatever is drawn.
  for (int i = 0; i < 100; ++i) EXPECT_EQ(RandomDeviation(0.0, 0.25, random), 0.25);
}

TEST(PhasorOscillator, GivesTheNegativeSineWithoutDrift) {
  const double omega = 2 * M_PI * 1000.0 / 44100.0;
  PhasorOscillator oscillator;
  oscillator.start(32767.0, omega, 0.0);
  EXPECT_EQ(oscillator.next(), 0.0);
  EXPECT_NEAR(oscillator.next(), -32767.0 * std::sin(omega), 1e-9);
  for (int k = 2; k < 441000; ++k) {
    const double v = oscillator.next();
    if (k % 997 == 0) {
      ASSERT_NEAR(v, -32767.0 * std::sin(k * omega), 1e-6 * 32767) << k;
    }
  }
  // Beyond half the rate the sine aliases; the step's sine stays positive.
  oscillator.start(1.0, 2 * M_PI * 0.75, 0.0);
  oscillator.next();
  EXPECT_NEAR(oscillator.next(), -std::sin(2 * M_PI * 0.25), 1e-12);
}

TEST(GenerateSource, SineOfThousandHertz) {
  // 44100 values hold exactly 1000 periods: the mean is 0 up to rounding.
  const Block sine = Generate(44100, 0.0, 1000.0 / 44100, 0);
  EXPECT_NEAR(sine[0], 0.0, 1e-6);
  EXPECT_NEAR(sine[1], -32767.0 * std::sin(2 * M_PI * 1000.0 / 44100), 1e-6);
  BlockExtremes extremes;
  sine.MinMax(extremes);
  EXPECT_NEAR(extremes.max, 32767.0, 1.0);
  EXPECT_NEAR(extremes.min, -32767.0, 1.0);
}

TEST(GenerateSource, WhiteNoiseIsUniformAroundZero) {
  // Frequency 0 makes white noise whatever the band.
  for (const double band : {0.0, 400.0 / 44100}) {
    const Block noise = Generate(441000, band, 0.0, 99);
    BlockExtremes extremes;
    noise.MinMax(extremes);
    EXPECT_LE(extremes.max - extremes.min, 32762.0);
    EXPECT_GT(extremes.max - extremes.min, 32750.0);
    EXPECT_NEAR(noise.Mean(), 0.0, 1e-9);
    EXPECT_NEAR(extremes.max, 16381.0, 60.0);
    // Uniform over 32763 values: standard deviation 32763 / sqrt(12).
    EXPECT_NEAR(noise.StdDev(), 32763 / std::sqrt(12.0), 100.0);
  }
}

TEST(GenerateSource, BandLimitedNoisePeaksInsideItsBand) {
  constexpr int n = 1 << 16;
  const double fs = 44100.0;
  Block noise = Generate(n, 400.0 / fs, 1000.0 / fs, 5);
  noise.ForwardFFT();
  // Power per bin of the packed spectrum: re[k] at k, im[k] at n/2 + k.
  double peak = 0, inside = 0, total = 0;
  int peakBin = 0;
  for (int k = 1; k < n / 2; ++k) {
    const double power = noise[k] * noise[k] + noise[n / 2 + k] * noise[n / 2 + k];
    const double f = k * fs / n;
    total += power;
    if (f >= 600 && f <= 1400) inside += power;
    if (power > peak) {
      peak = power;
      peakBin = k;
    }
  }
  const double peakFrequency = peakBin * fs / n;
  EXPECT_GE(peakFrequency, 600.0);
  EXPECT_LE(peakFrequency, 1400.0);
  EXPECT_GT(inside / total, 0.9);
}

TEST(GenerateSource, TheSameClockSecondGivesTheSameNoise) {
  const Block first = Generate(20000, 400.0 / 44100, 1000.0 / 44100, 1234);
  const Block again = Generate(20000, 400.0 / 44100, 1000.0 / 44100, 1234);
  const Block later = Generate(20000, 400.0 / 44100, 1000.0 / 44100, 1235);
  EXPECT_TRUE(SameValues(first, again));
  EXPECT_FALSE(SameValues(first, later));
}

TEST(SourceParametersUsable, AcceptsWhatTheFilterCanDesign) {
  // White noise and sines need finite numbers only where they use them.
  EXPECT_TRUE(SourceParametersUsable(0.0, 0.0));
  EXPECT_TRUE(SourceParametersUsable(std::nan(""), 0.0));
  EXPECT_TRUE(SourceParametersUsable(0.0, 1000.0 / 44100));
  EXPECT_TRUE(SourceParametersUsable(0.0, 1.7));
  EXPECT_FALSE(SourceParametersUsable(0.0, INFINITY));
  EXPECT_FALSE(SourceParametersUsable(0.0, std::nan("")));
  EXPECT_FALSE(SourceParametersUsable(std::nan(""), 0.1));
  EXPECT_FALSE(SourceParametersUsable(INFINITY, 0.1));
  // Ordinary bands, also beyond half the rate, which alias.
  EXPECT_TRUE(SourceParametersUsable(400.0 / 44100, 1000.0 / 44100));
  EXPECT_TRUE(SourceParametersUsable(0.02, 0.4));
  EXPECT_TRUE(SourceParametersUsable(0.01, 0.7));
  // A centre at exactly half the rate, or a band of a millionth of a hertz,
  // leaves a filter section without a pole pair.
  EXPECT_FALSE(SourceParametersUsable(400.0 / 44100, 0.5));
  EXPECT_FALSE(SourceParametersUsable(1e-6 / 44100, 1000.0 / 44100));
  EXPECT_FALSE(SourceParametersUsable(1e-300, 0.1));
}

TEST(SourceParametersUsableDeathTest, RefusesExactlyWhatStopsTheFilterDesign) {
  // Each refused pair would end the program inside the design.
  for (const auto& [a, b] :
       {std::pair{400.0 / 44100, 0.5}, std::pair{1e-6 / 44100, 1000.0 / 44100}}) {
    ASSERT_FALSE(SourceParametersUsable(a, b));
    CFilter filter;
    EXPECT_DEATH(filter.Design(b, a, 20), "Assertion failed: 0, file");
  }
}
