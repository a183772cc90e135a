#include "RoundTripShapes.h"

#include <algorithm>
#include <cmath>

#include "EnvelopeCurve.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

double Bump(double phase, double centre, double width) {
  const double z = (phase - centre) / width;
  return std::exp(-0.5 * z * z);
}

}  // namespace

std::vector<double> EnvelopeOf(Shape shape) {
  if (shape == Shape::TestCurve) {
    std::vector<double> values = CyclicCurve(TestCurveAnchors(), kEnvelopeValues);
    for (double& v : values) v = TableValue(v);
    return values;
  }
  std::vector<double> values(kEnvelopeValues);
  for (int k = 0; k < kEnvelopeValues; ++k) {
    const double phase = static_cast<double>(k) / (kEnvelopeValues - 1);
    double v = 0.0;
    switch (shape) {
      case Shape::SinglePeak:
        v = Bump(phase, 0.5, 0.08);
        break;
      case Shape::TwoPeaks:
        v = Bump(phase, 0.3, 0.05) + 0.6 * Bump(phase, 0.7, 0.07);
        break;
      case Shape::Swell:
        v = std::pow(std::sin(kPi * std::pow(phase, 0.7)), 2.0);
        break;
      case Shape::TestCurve:
        break;
    }
    values[static_cast<std::size_t>(k)] = v;
  }
  return values;
}

double EnvelopeCorrelation(const std::vector<double>& truth, const std::vector<double>& learned) {
  const int n = static_cast<int>(truth.size()) - 1;
  double best = -1.0;
  for (int shift = 0; shift < n; ++shift) {
    double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
    for (int k = 0; k < n; ++k) {
      const double a = truth[static_cast<std::size_t>(k)];
      const double b = learned[static_cast<std::size_t>((k + shift) % n)];
      sa += a, sb += b, saa += a * a, sbb += b * b, sab += a * b;
    }
    const double cov = sab - sa * sb / n, va = saa - sa * sa / n, vb = sbb - sb * sb / n;
    if (va > 0 && vb > 0) best = std::max(best, cov / std::sqrt(va * vb));
  }
  return best;
}
