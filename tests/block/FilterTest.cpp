// The band-pass filter, measured from the running filter: its impulse response
// through the Fourier transform, checked against the worked-out figures and
// against the closed-form response of its own coefficients.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "Block.h"

namespace {

constexpr int kResponseLength = 1 << 16;

// Power response in decibels of the running filter, bin k at frequency k / N.
class MeasuredResponse {
 public:
  explicit MeasuredResponse(CFilter& filter) : m_spectrum(kResponseLength) {
    filter.Reset();
    m_spectrum[0] = filter.Process(1.0);
    for (int i = 1; i < kResponseLength; ++i) m_spectrum[i] = filter.Process(0.0);
    m_spectrum.ForwardFFT();
  }

  int BinOf(double f) const { return static_cast<int>(std::lround(f * kResponseLength)); }
  double FrequencyOf(int bin) const { return static_cast<double>(bin) / kResponseLength; }

  // The packed bins carry 2/sqrt(N); undo it to get |H|^2.
  double DecibelsAtBin(int k) const {
    const int h = kResponseLength / 2;
    const double re = m_spectrum[k], im = m_spectrum[h + k];
    return 10.0 * std::log10((re * re + im * im) * kResponseLength / 4.0);
  }
  double DecibelsAt(double f) const { return DecibelsAtBin(BinOf(f)); }

 private:
  Block m_spectrum;
};

double ClosedFormDecibels(const CFilter& filter, double f) {
  return 10.0 * std::log10(CFilter::SectionsPowerGain(filter.GetA1(), filter.GetA2(),
                                                      filter.GetCount(), filter.GetGain(), f));
}

// The running filter and the closed form of its coefficients agree wherever
// the response stands well above the transform's own rounding (about -180 dB
// below the peak for this length).
void ExpectRunningFilterMatchesItsCoefficients(const CFilter& filter,
                                               const MeasuredResponse& response) {
  int compared = 0;
  for (double f = 0.01; f < 0.5; f += 0.01) {
    SCOPED_TRACE(f);
    const int bin = response.BinOf(f);
    const double expected = ClosedFormDecibels(filter, response.FrequencyOf(bin));
    if (expected < -140.0) continue;
    EXPECT_NEAR(response.DecibelsAtBin(bin), expected, 0.01);
    ++compared;
  }
  EXPECT_GE(compared, 5);
}

TEST(FilterResponse, BandPassAtPointOneWithHalfWidthPointZeroTwo) {
  CFilter filter;
  filter.Design(0.1, 0.02, 20);
  EXPECT_EQ(filter.GetCount(), 10);
  EXPECT_NEAR(filter.GetGain(), 0.136, 0.0005);

  const MeasuredResponse response(filter);
  struct Point {
    double f;
    double decibels;
    double tolerance;
  };
  // Unit gain in the pass band, the half-power points at the band edges f0 -+ B,
  // and the deep stop band on either side.
  const Point points[] = {
      {0.1, 0.0, 0.01},  {0.102, 0.0, 0.01}, {0.08, -3.01, 0.02},
      {0.12, -3.01, 0.02}, {0.02, -82.0, 1.0}, {0.15, -93.0, 1.0},
  };
  for (const Point& p : points) {
    SCOPED_TRACE(p.f);
    EXPECT_NEAR(response.DecibelsAt(p.f), p.decibels, p.tolerance);
  }
  ExpectRunningFilterMatchesItsCoefficients(filter, response);
}

TEST(FilterResponse, CentreAboveAQuarterIsNormalisedAtItsMirror) {
  CFilter filter;
  filter.Design(0.4, 0.02, 20);
  EXPECT_NEAR(filter.GetGain(), 2.97, 0.005);
  const MeasuredResponse response(filter);
  EXPECT_NEAR(response.DecibelsAt(0.4), 267.7, 0.1);
}

TEST(FilterResponse, FortySectionsAllRun) {
  CFilter filter;
  filter.Design(0.1, 0.02, 80);
  EXPECT_EQ(filter.GetCount(), 40);
  const MeasuredResponse response(filter);
  EXPECT_NEAR(response.DecibelsAt(0.1), 0.0, 0.01);
  ExpectRunningFilterMatchesItsCoefficients(filter, response);
}

TEST(FilterSections, CountIsHalfThePowerRoundedDown) {
  const int powers[][2] = {{20, 10}, {7, 3}, {2, 1}, {1, 0}, {0, 0}};
  for (const auto& [power, count] : powers) {
    CFilter filter;
    filter.Design(0.1, 0.02, power);
    EXPECT_EQ(filter.GetCount(), count) << power;
  }
}

TEST(FilterSections, WithoutSectionsValuesPassUnchanged) {
  const double values[] = {0.0, 1.0, -1.5, 1e300, -3e-310};
  CFilter fresh;
  for (double v : values) EXPECT_EQ(fresh.Process(v), v);
  CFilter empty;
  empty.Design(0.1, 0.02, 1);
  empty.Reset();
  for (double v : values) EXPECT_EQ(empty.Process(v), v);
}

TEST(FilterState, DesignAfterResetWaitsForTheNextReset) {
  CFilter a, b;
  a.Design(0.1, 0.02, 8);
  a.Reset();
  b.Design(0.1, 0.02, 8);
  b.Reset();
  b.Design(0.3, 0.01, 8);
  for (int i = 0; i < 50; ++i) {
    const double x = i == 0 ? 1.0 : 0.0;
    EXPECT_EQ(a.Process(x), b.Process(x)) << i;
  }
  b.Reset();  // now the new design runs, from cleared state
  CFilter c;
  c.Design(0.3, 0.01, 8);
  c.Reset();
  for (int i = 0; i < 50; ++i) {
    const double x = i == 0 ? 1.0 : 0.0;
    EXPECT_EQ(b.Process(x), c.Process(x)) << i;
  }
}

struct Progress {
  int calls = 0;
  int stopAtCall = -1;
};

bool CountCall(void* user) {
  auto* p = static_cast<Progress*>(user);
  return ++p->calls != p->stopAtCall;
}

TEST(FilterBlock, FiltersInPlaceFromClearedStateAndStopsWhenAsked) {
  CFilter reference;
  reference.Design(0.1, 0.02, 6);
  reference.Reset();
  std::vector<double> expected(100);
  for (int i = 0; i < 100; ++i) expected[i] = reference.Process(i % 7 - 3.0);

  CFilter filter;
  filter.Design(0.1, 0.02, 6);
  filter.Reset();
  filter.Process(5.0);  // state that FilterBlock must clear
  Block b(100);
  for (int i = 0; i < 100; ++i) b[i] = i % 7 - 3.0;
  Progress progress;
  filter.FilterBlock(b, &CountCall, &progress, 4);
  EXPECT_EQ(progress.calls, 4);  // at 0, 25, 50, 75
  for (int i = 0; i < 100; ++i) EXPECT_EQ(b[i], expected[i]) << i;

  for (int i = 0; i < 100; ++i) b[i] = i % 7 - 3.0;
  Progress stopping;
  stopping.stopAtCall = 3;  // the call at 50 says stop
  filter.FilterBlock(b, &CountCall, &stopping, 4);
  for (int i = 0; i < 50; ++i) EXPECT_EQ(b[i], expected[i]) << i;
  for (int i = 50; i < 100; ++i) EXPECT_EQ(b[i], i % 7 - 3.0) << i;

  // No callback, and more steps than values: every value is filtered.
  for (int i = 0; i < 100; ++i) b[i] = i % 7 - 3.0;
  filter.FilterBlock(b, nullptr, nullptr, 1000);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(b[i], expected[i]) << i;
}

TEST(FilterDeathTest, PowerAboveEightyAndDegenerateSections) {
  EXPECT_EXIT(CFilter().Design(0.1, 0.02, 81), ::testing::ExitedWithCode(3),
              R"(Assertion failed: Power<= 2\*Max_Filter_Power, file Filter\.cpp, line [0-9]+)");
  EXPECT_EXIT(CFilter().Design(0.1, 0.0, 20), ::testing::ExitedWithCode(3),
              R"(Assertion failed: 0, file Filter\.cpp, line [0-9]+)");
}

}  // namespace
