// The source generator and its random draws: the sine against the sine
// function, the white noise's range, mean and spread, the band-limited noise's
// spectrum through the library's own FFT, reproducibility within one clock
// second, and which band and frequency values the generator accepts (checked
// against the filter design itself).

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <vector>

#include "Block.h"
#include "PhasorOscillator.h"
#include "RandomGenerator.h"
#include "RhythmEngine.h"
#include "SourceGenerator.h"

namespace {

Block Generate(int n, double a, double b, std::int64_t seconds) {
  RandomGenerator random([seconds] { return seconds; });
  Block block(n);
  EXPECT_TRUE(GenerateSource(block, a, b, random, nullptr));
  return block;
}

}  // namespace

TEST(RandomDeviation, TenPercentKeepsWithinFivePercentOfTheNominal) {
  RandomGenerator random([] { return std::int64_t{42}; });
  double lowest = 2, highest = 0;
  for (int i = 0; i < 200000; ++i) {
    const double period = RandomDeviation(0.1, 2.0, random);
    lowest = std::min(lowest, period);
    highest = std::max(highest, period);
  }
  // The draws are k / 32763: the lowest reaches 0.95 P, the highest stays
  // one step below 1.05 P.
  EXPECT_GE(lowest, 0.95 * 2.0);
  EXPECT_LT(lowest, 0.95 * 2.0 + 1e-4);
  EXPECT_LE(highest, 2.0 * (1 + 0.1 * (32762.0 / 32763 - 0.5)));
  EXPECT_GT(highest, 1.05 * 2.0 - 1e-4);
}

TEST(GenerateSource, SineOfThousandHertzWithoutDrift) {
  // 441000 values hold exactly 10000 periods: the mean is 0 up to rounding.
  const double omega = 2 * M_PI * 1000.0 / 44100;
  const Block sine = Generate(441000, 0.0, 1000.0 / 44100, 0);
  EXPECT_NEAR(sine[0], 0.0, 1e-6);
  EXPECT_NEAR(sine[1], -32767.0 * std::sin(omega), 1e-6);
  for (int k = 2; k < 441000; k += 997) {
    ASSERT_NEAR(sine[k], -32767.0 * std::sin(k * omega), 1e-6 * 32767) << k;
  }
  // Beyond half the rate the sine aliases; the step's sine stays positive.
  PhasorOscillator oscillator;
  oscillator.start(1.0, 2 * M_PI * 0.75, 0.0);
  EXPECT_EQ(oscillator.next(), 0.0);
  EXPECT_NEAR(oscillator.next(), -std::sin(2 * M_PI * 0.25), 1e-12);
}

TEST(GenerateSource, WhiteNoiseIsUniformAroundZero) {
  // Frequency 0 makes white noise whatever the band.
  for (const double band : {0.0, 400.0 / 44100}) {
    const Block noise = Generate(441000, band, 0.0, 99);
    BlockExtremes extremes;
    noise.MinMax(extremes);
    EXPECT_LE(extremes.max - extremes.min, 32762.0);
    EXPECT_GT(extremes.max - extremes.min, 32750.0);
    EXPECT_NEAR(extremes.max, 16381.0, 60.0);
    EXPECT_NEAR(noise.Mean(), 0.0, 1e-9);
    // Uniform over 32763 values: standard deviation 32763 / sqrt(12).
    EXPECT_NEAR(noise.StdDev(), 32763 / std::sqrt(12.0), 100.0);
  }
}

TEST(GenerateSource, BandLimitedNoisePeaksInsideItsBand) {
  constexpr int n = 1 << 16;
  const double binHz = 44100.0 / n;
  Block noise = Generate(n, 400.0 / 44100, 1000.0 / 44100, 5);
  noise.ForwardFFT();
  // Power per bin of the packed spectrum: re[k] at k, im[k] at n/2 + k.
  std::vector<double> power(n / 2);
  for (int k = 1; k < n / 2; ++k)
    power[k] = noise[k] * noise[k] + noise[n / 2 + k] * noise[n / 2 + k];
  const double peak = (std::max_element(power.begin(), power.end()) - power.begin()) * binHz;
  EXPECT_GE(peak, 600.0);
  EXPECT_LE(peak, 1400.0);
  const double inside = std::accumulate(power.begin() + std::ceil(600 / binHz),
                                        power.begin() + std::floor(1400 / binHz) + 1, 0.0);
  EXPECT_GT(inside / std::accumulate(power.begin(), power.end(), 0.0), 0.9);
}

TEST(GenerateSource, TheSameClockSecondGivesTheSameNoise) {
  auto noise = [](std::int64_t second) {
    const Block block = Generate(20000, 400.0 / 44100, 1000.0 / 44100, second);
    return std::vector<double>(block.GetData(), block.GetData() + block.GetSize());
  };
  EXPECT_EQ(noise(1234), noise(1234));
  EXPECT_NE(noise(1234), noise(1235));
}

TEST(SourceParametersUsable, AcceptsWhatTheFilterCanDesign) {
  const double nan = std::nan("");
  // White noise and sines need finite numbers only where they use them;
  // ordinary bands may also lie beyond half the rate, where they alias.
  const std::pair<double, double> usable[] = {
      {0.0, 0.0},  {nan, 0.0}, {0.0, 1000.0 / 44100}, {0.0, 1.7}, {400.0 / 44100, 1000.0 / 44100},
      {0.02, 0.4}, {0.01, 0.7}};
  // Beyond those, a centre at exactly half the rate or a band of a millionth
  // of a hertz leaves a filter section without a pole pair.
  const std::pair<double, double> unusable[] = {
      {0.0, INFINITY}, {0.0, nan},           {nan, 0.1},
      {INFINITY, 0.1}, {400.0 / 44100, 0.5}, {1e-6 / 44100, 1000.0 / 44100},
      {1e-300, 0.1}};
  for (const auto& [a, b] : usable) EXPECT_TRUE(SourceParametersUsable(a, b)) << a << " " << b;
  for (const auto& [a, b] : unusable) EXPECT_FALSE(SourceParametersUsable(a, b)) << a << " " << b;
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
