// The band-pass filter, measured from the running filter: its impulse response
// through the Fourier transform, checked against the worked-out figures and
// against the closed-form response of its own coefficients.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "BlockValues.h"

namespace {

constexpr int kResponseLength = 1 << 16;

// The response to a unit impulse, from the filter's present state.
std::vector<double> ImpulseResponse(CFilter& filter, int n) {
  std::vector<double> response(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) response[i] = filter.Process(i == 0 ? 1.0 : 0.0);
  return response;
}

int BinOf(double f) { return static_cast<int>(std::lround(f * kResponseLength)); }

// Power response in decibels of the running filter, bin k at frequency k / N.
// The packed bins carry 2/sqrt(N); undoing it gives |H|^2.
std::vector<double> MeasuredDecibels(CFilter& filter) {
  filter.Reset();
  Block spectrum = MakeBlock(ImpulseResponse(filter, kResponseLength));
  spectrum.ForwardFFT();
  const int h = kResponseLength / 2;
  std::vector<double> decibels(h);
  for (int k = 0; k < h; ++k) {
    const double re = spectrum[k], im = spectrum[h + k];
    decibels[k] = 10.0 * std::log10((re * re + im * im) * kResponseLength / 4.0);
  }
  return decibels;
}

// The running filter and the closed form of its coefficients agree wherever
// the response stands well above the transform's own rounding (about -180 dB
// below the peak for this length).
void ExpectRunningFilterMatchesItsCoefficients(const CFilter& filter,
                                               const std::vector<double>& decibels) {
  int compared = 0;
  for (double f = 0.01; f < 0.5; f += 0.01) {
    const int bin = BinOf(f);
    const double gain =
        CFilter::SectionsPowerGain(filter.GetA1(), filter.GetA2(), filter.GetCount(),
                                   filter.GetGain(), 1.0 * bin / kResponseLength);
    const double expected = 10.0 * std::log10(gain);
    if (expected < -140.0) continue;
    EXPECT_NEAR(decibels[bin], expected, 0.01) << f;
    ++compared;
  }
  EXPECT_GE(compared, 5);
}

TEST(FilterResponse, BandPassAtPointOneWithHalfWidthPointZeroTwo) {
  CFilter filter;
  filter.Design(0.1, 0.02, 20);
  EXPECT_EQ(filter.GetCount(), 10);
  EXPECT_NEAR(filter.GetGain(), 0.136, 0.0005);

  const std::vector<double> decibels = MeasuredDecibels(filter);
  struct Point {
    double f, decibels, tolerance;
  };
  // Unit gain in the pass band, the half-power points at the band edges f0 -+ B,
  // and the deep stop band on either side.
  const Point points[] = {
      {0.1, 0.0, 0.01},    {0.102, 0.0, 0.01}, {0.08, -3.01, 0.02},
      {0.12, -3.01, 0.02}, {0.02, -82.0, 1.0}, {0.15, -93.0, 1.0},
  };
  for (const Point& p : points) EXPECT_NEAR(decibels[BinOf(p.f)], p.decibels, p.tolerance) << p.f;
  ExpectRunningFilterMatchesItsCoefficients(filter, decibels);
}

TEST(FilterResponse, CentreAboveAQuarterIsNormalisedAtItsMirror) {
  CFilter filter;
  filter.Design(0.4, 0.02, 20);
  EXPECT_NEAR(filter.GetGain(), 2.97, 0.005);
  EXPECT_NEAR(MeasuredDecibels(filter)[BinOf(0.4)], 267.7, 0.1);
}

TEST(FilterResponse, FortySectionsAllRun) {
  CFilter filter;
  filter.Design(0.1, 0.02, 80);
  EXPECT_EQ(filter.GetCount(), 40);
  const std::vector<double> decibels = MeasuredDecibels(filter);
  EXPECT_NEAR(decibels[BinOf(0.1)], 0.0, 0.01);
  ExpectRunningFilterMatchesItsCoefficients(filter, decibels);
}

TEST(FilterSections, CountIsHalfThePowerRoundedDownAndWithoutSectionsValuesPassUnchanged) {
  CFilter fresh, odd, empty;
  odd.Design(0.1, 0.02, 7);
  EXPECT_EQ(odd.GetCount(), 3);
  empty.Design(0.1, 0.02, 1);
  EXPECT_EQ(empty.GetCount(), 0);
  empty.Reset();
  for (double v : {0.0, 1.0, -1.5, 1e300, -3e-310}) {
    EXPECT_EQ(fresh.Process(v), v);
    EXPECT_EQ(empty.Process(v), v);
  }
}

TEST(FilterState, DesignAfterResetWaitsForTheNextReset) {
  CFilter a, b, c;
  a.Design(0.1, 0.02, 8);
  a.Reset();
  b.Design(0.1, 0.02, 8);
  b.Reset();
  b.Design(0.3, 0.01, 8);
  EXPECT_EQ(ImpulseResponse(b, 50), ImpulseResponse(a, 50));
  b.Reset();  // now the new design runs, from cleared state
  c.Design(0.3, 0.01, 8);
  c.Reset();
  EXPECT_EQ(ImpulseResponse(b, 50), ImpulseResponse(c, 50));
}

TEST(FilterBlock, FiltersInPlaceFromClearedStateAndStopsWhenAsked) {
  CFilter filter;
  filter.Design(0.1, 0.02, 6);
  filter.Reset();
  std::vector<double> input(100), expected(100);
  for (int i = 0; i < 100; ++i) expected[i] = filter.Process(input[i] = i % 7 - 3.0);
  // The filter is left with state that every FilterBlock must clear.
  auto filterBlock = [&](ProgressCounter* progress, int steps) {
    Block b = MakeBlock(input);
    filter.FilterBlock(b, progress, steps);
    return ValuesOf(b);
  };
  ProgressCounter all, stopping(3);
  EXPECT_EQ(filterBlock(&all, 4), expected);
  EXPECT_EQ(all.calls, 4);  // at 0, 25, 50, 75
  std::vector<double> firstHalf(expected.begin(), expected.begin() + 50);
  firstHalf.insert(firstHalf.end(), input.begin() + 50, input.end());
  // The call at 50 says stop.
  EXPECT_EQ(filterBlock(&stopping, 4), firstHalf);
  // No callback, and more steps than values: every value is filtered.
  EXPECT_EQ(filterBlock(nullptr, 1000), expected);
}

TEST(FilterDeathTest, PowerAboveEightyAndDegenerateSections) {
  EXPECT_EXIT(CFilter().Design(0.1, 0.02, 81), ::testing::ExitedWithCode(3),
              R"(Assertion failed: Power<= 2\*Max_Filter_Power, file Filter\.cpp, line [0-9]+)");
  EXPECT_EXIT(CFilter().Design(0.1, 0.0, 20), ::testing::ExitedWithCode(3),
              R"(Assertion failed: 0, file Filter\.cpp, line [0-9]+)");
}

}  // namespace
