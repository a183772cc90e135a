#include "SourceGenerator.h"

#include <cmath>

#include "Block.h"
#include "PhasorOscillator.h"
#include "ProgressWrapper.h"
#include "RandomGenerator.h"

namespace {

constexpr int kFilterPower = 20;
constexpr int kWarmUpValues = 10000;
constexpr double kSineAmplitude = 32767.0;
constexpr double kTwoPi = 6.283185307179586;

// Whether CFilter::Design(f0, B, power) finds a pole pair in every section. It
// repeats the design's own section arithmetic, operation for operation, so
// that it fails exactly where the design would stop the program.
bool FilterDesignable(double f0, double B, int power) {
  const int count = power / 2;
  const double wA = kTwoPi * f0;
  const double wB = kTwoPi * B;
  const double alpha = std::cos(wA) * std::cos(wB);
  const double beta = std::sin(wA) * std::sin(wB);
  const double dPhi = 3.141592653589793 / count;
  const double phi0 = 0.5 * dPhi;
  for (int i = 0; i < count; ++i) {
    const double phi = i * dPhi + phi0;
    const double re = alpha + beta * std::cos(phi);
    const double im = beta * std::sin(phi);
    const double u = 1 - (re * re + im * im);
    const double v = 0.5 * (std::sqrt(u * u + 4 * (im * im)) - u);
    const double w = std::sqrt(v + 1) + std::sqrt(v);
    if (!(v != 0.0 && w != 0.0 && std::isfinite(v) && std::isfinite(w))) return false;
  }
  return true;
}

}  // namespace

bool SourceParametersUsable(double a, double b) {
  if (b == 0) return true;  // white noise
  if (!std::isfinite(b)) return false;
  if (a == 0) return true;  // sine
  return std::isfinite(a) && FilterDesignable(b, a, kFilterPower);
}

bool GenerateSource(Block& block, double a, double b, RandomGenerator& random,
                    QProgressBar* progressBar) {
  const int n = block.GetSize();
  double* values = block.GetData();
  TProgressWrapper progress;
  progress.start(progressBar, n);
  if (a != 0 || b == 0) {
    const bool filtered = a != 0 && b != 0;
    random.SeedFromClock();
    CFilter filter;
    if (filtered) {
      filter.Design(b, a, kFilterPower);
      filter.Reset();
      for (int i = 0; i < kWarmUpValues; ++i) filter.Process(random.Next32763());
    }
    for (int i = 0; i < n; ++i) {
      progress.tick();
      const double v = random.Next32763();
      values[i] = filtered ? filter.Process(v) : v;
    }
  } else {
    PhasorOscillator oscillator;
    oscillator.start(kSineAmplitude, kTwoPi * b, 0.0);
    for (int i = 0; i < n; ++i) {
      progress.tick();
      values[i] = oscillator.next();
    }
  }
  block.RemoveMean();
  progress.end();
  bool finite = true;
  for (int i = 0; i < n; ++i) finite &= std::isfinite(values[i]);
  return finite;
}
