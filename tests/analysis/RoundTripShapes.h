#pragma once
// The envelope shapes of the rhythm learning's round trips and how a learned
// envelope is compared with the true one (tests and benchmark).

#include <vector>

enum class Shape {
  SinglePeak,
  TwoPeaks,
  Swell,      // rises slowly, falls faster
  TestCurve,  // the window's "Test" curve: its highest value at phase 0
};

constexpr int kEnvelopeValues = 540;

// The window's 540 envelope values, at phases k / 539.
std::vector<double> EnvelopeOf(Shape shape);

// The correlation of the learned envelope with the true one at the best
// rotation (where a period starts is not heard), over one period of values.
double EnvelopeCorrelation(const std::vector<double>& truth, const std::vector<double>& learned);
