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

}  // namespace

bool SourceParametersUsable(double a, double b) {
  if (b == 0) return true;  // white noise
  if (!std::isfinite(b)) return false;
  if (a == 0) return true;  // sine
  return std::isfinite(a) && CFilter::CanDesign(b, a, kFilterPower);
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
