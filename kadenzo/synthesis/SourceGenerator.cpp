#include "SourceGenerator.h"

#include <climits>
#include <cstdint>
#include <cmath>

#include "Block.h"
#include "MemoryBudget.h"
#include "PhasorOscillator.h"
#include "ProgressWrapper.h"
#include "RandomGenerator.h"
#include "SoundStore.h"

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
                    Progress* progress) {
  const int n = block.GetSize();
  double* values = block.GetData();
  TProgressWrapper steps;
  steps.start(progress, n);
  if (a != 0 || b == 0) {
    const bool filtered = a != 0 && b != 0;
    random.Restart();
    CFilter filter;
    if (filtered) {
      filter.Design(b, a, kFilterPower);
      filter.Reset();
      for (int i = 0; i < kWarmUpValues; ++i) filter.Process(random.Next32763());
    }
    for (int i = 0; i < n; ++i) {
      steps.tick();
      const double v = random.Next32763();
      values[i] = filtered ? filter.Process(v) : v;
    }
  } else {
    PhasorOscillator oscillator;
    oscillator.start(kSineAmplitude, kTwoPi * b, 0.0);
    for (int i = 0; i < n; ++i) {
      steps.tick();
      values[i] = oscillator.next();
    }
  }
  block.RemoveMean();
  steps.end();
  bool finite = true;
  for (int i = 0; i < n; ++i) finite &= std::isfinite(values[i]);
  return finite;
}

SourceOutcome CreateSource(const SourceSettings& settings, RandomGenerator& random, Progress* progress,
                           SoundStore& sound, std::uint64_t* tooMany) {
  const double length = kCreatedRate * settings.duration;
  if (!(length >= 1.0 && std::isfinite(length))) return SourceOutcome::WrongDuration;
  const std::uint64_t count = length >= 0x1p64 ? UINT64_MAX : static_cast<std::uint64_t>(length);
  // The block of doubles and the sound's samples live side by side.
  if (count > INT_MAX || !FitsInMemory(count, sizeof(double) + sizeof(std::int16_t))) {
    if (tooMany) *tooMany = count;
    return SourceOutcome::TooLarge;
  }
  const int n = static_cast<int>(count);
  const double a = settings.band / kCreatedRate;
  const double b = settings.frequency / kCreatedRate;
  if (!SourceParametersUsable(a, b)) return SourceOutcome::WrongModel;
  Block block(n);
  if (!GenerateSource(block, a, b, random, progress)) return SourceOutcome::Overflow;
  // The samples take the block's place: ten minutes are 212 MB of values.
  sound.TakeFromBlock(block, kCreatedRate);
  return SourceOutcome::Created;
}
