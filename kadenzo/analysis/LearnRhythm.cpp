#include "LearnRhythm.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "Autocorrelation.h"
#include "Progress.h"

namespace {

constexpr double kLn20 = 2.99573227355399099344;
// Coarse level points per shortest period: enough to place an autocorrelation
// peak, few enough that ten minutes transform in a few milliseconds.
constexpr int kCoarsePointsPerMinPeriod = 16;
// At most this many coarse points, whatever the shortest period asked for.
constexpr std::int64_t kMaxCoarsePoints = std::int64_t{1} << 20;
// How high, against the best peak in the range, a peak at a shorter lag must
// be to take the period out of the range.
constexpr double kShorterPeriod = 0.9;
// The levels of a steady tone over blocks shorter than a few of its cycles
// repeat with a period of the blocks' making, not the sound's. The period is
// looked for again over blocks this many times as long, and where the two
// differ by more than this share of it and this many coarse blocks (a
// rhythm's moves by one block at most), the sound has none.
constexpr double kCheckHopFactor = 1.6;
constexpr double kCheckMismatch = 0.05;
constexpr double kCheckMismatchBlocks = 2.0;
// Where neither the sound's levels nor its differences' give a period that
// both block lengths agree on, the block powers are averaged over this many
// blocks, twice, and the period looked for once more.
constexpr int kSmoothBlocks = 4;
// A sound fades where its levels less their slow change keep less than this
// share of their variance; its magnitudes are then taken against the running
// mean level of this many periods around each.
constexpr double kSteadyShare = 0.9;
constexpr int kFadePeriods = 9;
// The fine levels are taken of the analytic power where the plain ones move
// from block to block more than this many times as much (a steady tone's
// swing; the engine's renders without one stay above 0.6).
constexpr double kSteadySwing = 0.5;
// A steady tone whose cycles the fine blocks cut at different places puts a
// ripple into the fine levels that the alignment would lock onto, one tone
// cycle early or late from period to period. It shows as an autocorrelation
// peak of the levels' differences, at a lag under a quarter of the period, at
// least this high (tones under sox's tremolo: 0.44 to 1; the engine's renders
// on noise at most 0.32, sox's noises at most 0.18); the shortest peak
// nearly as high (this share) as the highest gives the ripple's period.
constexpr double kClearRipple = 0.5;
constexpr double kShortestRipple = 0.8;
// Fine level points per period, for the alignment and the envelope.
constexpr int kFinePointsPerPeriod = 128;
// The shortest period, in samples, that has a shape at all.
constexpr double kMinPeriodSamples = 8.0;
// Phases per period in the resampled periods.
constexpr int kPhases = 512;
// The phases fall into interleaved runs of this many, alternately in two sets
// whose level noise is independent (to tell whether the loud phases respond
// less to a magnitude than the quiet ones).
constexpr int kPhaseRun = 32;
// The magnitudes' scale is taken from the quiet phases, those whose mean
// level lies in this lower share of the mean period's range, ...
constexpr double kQuietShare = 0.5;
// ... when the loud phases respond to a magnitude clearly less than the quiet
// ones (a level clipped at the top, as "Distortion" does), judged by a
// jackknife over this many runs of periods.
constexpr std::size_t kCompressionGroups = 8;
// A spread of magnitudes or lengths less than this many standard errors is
// none: the sampling error of their variance alone reaches it. The error is
// the jackknife's over this many runs of periods (fewer runs make the error
// itself too uncertain).
constexpr double kSpreadSignificance = 2.0;
constexpr std::size_t kSpreadGroups = 32;
// Clipped at the top, the loud phases respond to a magnitude well under this
// share of what the quiet ones do ("Distortion" about 0.3 to 0.5); a spread
// of lengths alone can make a sound without clipping look like 0.8.
constexpr double kCompressed = 0.7;
// The spread is divided by beta squared, so beta must be known to within
// this share of itself (clipped renders: at most 0.31).
constexpr double kCompressionPrecision = 1.0 / 3.0;
// ... and not far below what a clip gives (clipped renders: at least 0.31):
// a steady tone whose quiet phases swing with where the blocks cut its
// cycles gave 0.08, and a spread of 55 % for none.
constexpr double kLeastCompression = 0.2;
// The level noise is measured at phase distances up to this many phases ...
constexpr int kNoiseLags = 16;
// ... over about this many periods spread over the sound.
constexpr std::size_t kNoisePeriods = 256;
// Level noise correlated at kNoiseLags by more than this share of its
// variance is no noise the lags cover.
constexpr double kNoiseReach = 0.1;
// Periods whose levels stray from the scaled mean period by more than this
// many times the typical period's do not count for the magnitude spread
// (the sound's edges, where a shifted read finds silence).
constexpr double kStray = 3.0;
// The next period start is looked for within this fraction of a period
// around the expected one.
constexpr double kSearch = 0.25;
// Levels more than this far (in units of S) below the loudest block are
// raised to it: silence would otherwise be minus infinity.
constexpr double kLevelRange = 2.0;
// The period starts are nudged towards their best match in steps of this
// share of a period, each pass's steps a third of the last one's, matching at
// kMatchPhases phases.
constexpr double kNudge = 0.03;
constexpr int kNudgePasses = 2;
constexpr int kMatchPhases = kPhases / 8;
// A clipped sound's clip level: samples of at least kClipFloor that differ
// by at most this share (the gain drifts a little from sample to sample) and
// a step of rounding. The sound is clipped where at least kClippedShare of its
// zero crossings lie between such plateaus ("Distortion" on band noise: 0.3
// to 0.5; on white noise, whose levels tell its magnitudes well, about 0.01;
// unclipped sounds none), and a period's magnitude is read from its
// crossings where it has at least kClipCrossings.
constexpr double kPlateauTolerance = 0.004;
constexpr int kClipFloor = 50;
constexpr double kClippedShare = 0.1;
constexpr int kClipCrossings = 5;
// After this many zero crossings with under a quarter of kClippedShare between
// plateaus, the sound is taken as not clipped without reading the rest.
constexpr std::int64_t kClipProbe = std::int64_t{1} << 16;
// An autocorrelation peak this far above what noise reaches by chance is a
// clear rhythm (full confidence).
constexpr double kClearRhythm = 0.25;
// Below this height above noise the levels of the sound's differences are
// tried too: brown noise under an 11 Hz tremolo stands at 0.26 in its plain
// levels and 0.94 in those of its differences, and its plain levels read the
// steady tremolo as a spread of 20 %. Not higher: where the pitch moves with
// the rhythm (Amp+Det on band noise, 0.8 and more) the differences, whose
// power grows with the pitch, are clearer but misread the envelope.
constexpr double kPlainClear = 0.5;
// Above it too, where the share of the plain levels that the period leaves
// unexplained (1 - peak) is this many times the differences' share: pink
// noise under a tremolo of 70 %, 15 to 21 times, its plain levels reading a
// spread of 5 to 8 %; the engine's renders at most 2 (Amp+Det on band noise).
constexpr double kWanderRatio = 4.0;
// The differences' peak stays below this, so plain levels that leave less
// than kWanderRatio times its remainder unexplained need no trial of them.
constexpr double kClearestPeak = 0.99;
// Progress steps of the whole learning.
constexpr int kSteps = 100;

// Progress in kSteps steps over stages of the work, each worth a share.
class StepCounter {
 public:
  explicit StepCounter(Progress* progress) : m_progress(progress) {
    if (m_progress != nullptr) m_progress->Begin(kSteps);
  }
  StepCounter(const StepCounter&) = delete;
  StepCounter& operator=(const StepCounter&) = delete;
  ~StepCounter() {
    if (m_progress != nullptr) m_progress->End();
  }

  // The work has come to `done` of `total` in the stage from step `first`
  // worth `share` steps. False once the progress has asked to stop.
  bool Reach(int first, int share, double done, double total) {
    const int target = first + static_cast<int>(share * std::min(1.0, done / total));
    while (m_done < target && !m_stopped) {
      ++m_done;
      if (m_progress != nullptr && !m_progress->Step()) m_stopped = true;
    }
    return !m_stopped;
  }
  bool Stopped() const { return m_stopped; }

 private:
  Progress* m_progress;
  int m_done = 0;
  bool m_stopped = false;
};

// The whole number nearest the samples' mean: a constant offset, which
// carries no rhythm but would drown a shallow one in the levels. (What is
// left of the offset, half a step at most, moves no level that matters.)
std::int32_t Centre(const std::int16_t* s, std::int64_t count) {
  std::int64_t sum = 0;
  for (std::int64_t i = 0; i < count; ++i) sum += s[i];
  return static_cast<std::int32_t>(std::lround(static_cast<double>(sum) / static_cast<double>(count)));
}

// Two chains of four second-order allpass sections whose outputs, the first
// one sample later, stay within a degree of 90 degrees apart from 0.0005 to
// 0.48 of the rate: the real and imaginary parts of an analytic signal. Its
// power holds still through a steady tone, where the square of the sound
// swings at twice the tone's frequency and blocks shorter than a few of its
// cycles would take the swing for a level. (The coefficients are Olli
// Niemitalo's published 4 + 4 section design.)
constexpr double Squared(double a) { return a * a; }
constexpr double kFirstChain[4] = {Squared(0.6923878), Squared(0.9360654322959), Squared(0.9882295226860),
                                   Squared(0.9987488452737)};
constexpr double kSecondChain[4] = {Squared(0.4021921162426), Squared(0.8561710882420), Squared(0.9722909545651),
                                    Squared(0.9952884791278)};
// The chains run over this many stretches of the sound side by side, each
// from this many samples before its own start, by when what the samples
// before that left in the slowest section has fallen to about 1e-9.
constexpr int kStretches = 4;
constexpr std::int64_t kSettle = 16384;

using StretchLanes = double __attribute__((vector_size(kStretches * sizeof(double))));

struct AllpassChain {
  StretchLanes in1[4] = {}, in2[4] = {}, out1[4] = {}, out2[4] = {};

  // x through the chain, in place (a vector passed by value would change
  // the calling convention between instruction sets).
  [[gnu::always_inline]] void Pass(StretchLanes& x, const double (&a2)[4]) {
    for (int k = 0; k < 4; ++k) {
      const StretchLanes y = a2[k] * (x + out2[k]) - in2[k];
      in2[k] = in1[k], in1[k] = x, out2[k] = out1[k], out1[k] = y;
      x = y;
    }
  }
};

// The mean analytic power about `centre` of every whole block of `hop`
// samples. Stretch l of the sound holds blocks l m .. l m + m - 1 and settles
// over the blocks before them; samples outside the sound count as 0.
__attribute__((target_clones("avx2", "default"))) std::vector<double> AnalyticBlockPowers(
    const std::int16_t* s, std::int64_t count, std::int32_t centre, std::int64_t hop, StepCounter& steps,
    int firstStep, int share) {
  const std::int64_t n = count / hop;
  std::vector<double> power(static_cast<std::size_t>(n));
  const std::int64_t m = (n + kStretches - 1) / kStretches;
  const std::int64_t settle = (kSettle + hop - 1) / hop;
  AllpassChain first, second;
  StretchLanes delayed = {};
  const auto sample = [&](std::int64_t i) { return i >= 0 && i < count ? double(s[i] - centre) : 0.0; };
  for (std::int64_t b = -settle; b < m; ++b) {
    std::int64_t start[kStretches];
    bool inside = true;
    for (int l = 0; l < kStretches; ++l) {
      start[l] = (l * m + b) * hop;
      inside = inside && start[l] >= 0 && start[l] + hop <= count;
    }
    StretchLanes squares = {};
    const auto add = [&](const StretchLanes& x) {
      const StretchLanes real = delayed;
      StretchLanes imaginary = x;
      delayed = x;
      first.Pass(delayed, kFirstChain);
      second.Pass(imaginary, kSecondChain);
      squares += real * real + imaginary * imaginary;
    };
    if (inside) {
      const std::int16_t* at[kStretches];
      for (int l = 0; l < kStretches; ++l) at[l] = s + start[l];
      for (std::int64_t k = 0; k < hop; ++k) {
        StretchLanes x;
        for (int l = 0; l < kStretches; ++l) x[l] = at[l][k] - centre;
        add(x);
      }
    } else {
      for (std::int64_t k = 0; k < hop; ++k) {
        StretchLanes x;
        for (int l = 0; l < kStretches; ++l) x[l] = sample(start[l] + k);
        add(x);
      }
    }
    for (int l = 0; l < kStretches && b >= 0; ++l) {
      const std::int64_t j = l * m + b;
      if (j < n) power[static_cast<std::size_t>(j)] = squares[l] / static_cast<double>(hop);
    }
    if ((b & 1023) == 0 &&
        !steps.Reach(firstStep, share, static_cast<double>(b + settle), static_cast<double>(m + settle)))
      return {};
  }
  return power;
}

// The mean square about `centre` of every whole block of `hop` samples.
std::vector<double> BlockPowers(const std::int16_t* s, std::int64_t count, std::int32_t centre, std::int64_t hop,
                                StepCounter& steps, int firstStep, int share) {
  const std::int64_t n = count / hop;
  std::vector<double> power(static_cast<std::size_t>(n));
  for (std::int64_t j = 0; j < n; ++j) {
    const std::int16_t* block = s + j * hop;
    std::uint64_t squares = 0;
    for (std::int64_t k = 0; k < hop; ++k) {
      // Up to 65535, so that its square fits in 32 bits.
      const auto distance = static_cast<std::uint32_t>(std::abs(block[k] - centre));
      squares += distance * distance;
    }
    power[static_cast<std::size_t>(j)] = static_cast<double>(squares) / static_cast<double>(hop);
    if ((j & 4095) == 0 && !steps.Reach(firstStep, share, static_cast<double>(j), static_cast<double>(n)))
      return {};
  }
  return power;
}

// Block powers as levels, log20 of their RMS: the level S up to a constant.
// Levels more than kLevelRange below the loudest are raised to it.
std::vector<double> LevelsOf(std::vector<double> power) {
  const double loudest = power.empty() ? 0.0 : *std::max_element(power.begin(), power.end());
  // Squared amplitudes: the floor is 20^(-2 kLevelRange) of the loudest power.
  const double floor = std::max(loudest * std::pow(20.0, -2.0 * kLevelRange), 1e-300);
  for (double& v : power) v = 0.5 * std::log(std::max(v, floor)) / kLn20;
  return power;
}

// How much levels move from one block to the next: the mean square of the
// differences of neighbours.
double Swing(const std::vector<double>& level) {
  double sum = 0.0;
  for (std::size_t j = 1; j < level.size(); ++j) sum += (level[j] - level[j - 1]) * (level[j] - level[j - 1]);
  return level.size() > 1 ? sum / static_cast<double>(level.size() - 1) : 0.0;
}

// The fine levels: of the plain power, which follows the engine's gain law
// for every type, clipped ones too (where the analytic signal peaks at every
// jump); of the analytic power where the plain levels swing clearly more
// from block to block, so that a steady tone under the rhythm (a mains hum)
// does not pass for level noise.
std::vector<double> FineLevels(const std::int16_t* s, std::int64_t count, std::int32_t centre, std::int64_t hop,
                               StepCounter& steps, int firstStep, int share) {
  std::vector<double> plain = LevelsOf(BlockPowers(s, count, centre, hop, steps, firstStep, share / 2));
  if (steps.Stopped()) return {};
  std::vector<double> analytic =
      LevelsOf(AnalyticBlockPowers(s, count, centre, hop, steps, firstStep + share / 2, share - share / 2));
  if (steps.Stopped()) return {};
  return Swing(analytic) < kSteadySwing * Swing(plain) ? analytic : plain;
}

double Mean(const std::vector<double>& v) {
  double sum = 0.0;
  for (double x : v) sum += x;
  return v.empty() ? 0.0 : sum / static_cast<double>(v.size());
}

// Where the three values around a peak put its top, -0.5 .. 0.5 from the middle.
double ParabolicOffset(double before, double at, double after) {
  const double curvature = before - 2.0 * at + after;
  if (!(curvature < 0.0)) return 0.0;
  return std::clamp(0.5 * (before - after) / curvature, -0.5, 0.5);
}

// Whether r peaks at tau (higher than before it, not lower than after it).
bool IsPeak(const std::vector<double>& r, int tau) {
  const std::size_t t = static_cast<std::size_t>(tau);
  return r[t] > r[t - 1] && r[t] >= r[t + 1];
}

struct PeriodPeak {
  double lag = 0.0;          // coarse points, refined
  double correlation = 0.0;  // the autocorrelation there over the one at lag 0
};

// The running mean of v over `window` values, centred (fewer at the ends).
std::vector<double> RunningMean(const std::vector<double>& v, int window) {
  const std::size_t n = v.size();
  const std::size_t half = static_cast<std::size_t>(std::max(1, window / 2));
  std::vector<double> sums(n + 1, 0.0);  // sums[i]: of the first i values
  for (std::size_t i = 0; i < n; ++i) sums[i + 1] = sums[i] + v[i];
  std::vector<double> mean(n);
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t from = i > half ? i - half : 0;
    const std::size_t to = std::min(n, i + half + 1);
    mean[i] = (sums[to] - sums[from]) / static_cast<double>(to - from);
  }
  return mean;
}

// The levels less their running mean over `window` levels: what changes more
// slowly than the longest period looked for (a sound that fades in or out) is
// no rhythm, and would outweigh one.
std::vector<double> LessTrend(const std::vector<double>& level, int window) {
  const std::vector<double> trend = RunningMean(level, window);
  std::vector<double> less(level.size());
  for (std::size_t i = 0; i < level.size(); ++i) less[i] = level[i] - trend[i];
  return less;
}

// The period, in points (fractional), of a steady tone's ripple in the
// levels (see kClearRipple); 0 where there is none. The differences leave
// the rhythm's own slow shape out of the autocorrelation. Only lags up to a
// quarter of the period count, so the sum is taken directly.
double RipplePeriod(const std::vector<double>& level, int period) {
  if (level.size() < 2) return 0.0;
  std::vector<double> step(level.size() - 1);
  for (std::size_t i = 0; i < step.size(); ++i) step[i] = level[i + 1] - level[i];
  const double mean = Mean(step);
  for (double& v : step) v -= mean;
  const int reach = std::min(static_cast<int>(step.size()) - 2, period / 4);
  if (reach < 4) return 0.0;
  std::vector<double> r(static_cast<std::size_t>(reach) + 1);
  for (std::size_t lag = 0; lag < r.size(); ++lag) {
    double sum = 0.0;
    for (std::size_t i = 0; i + lag < step.size(); ++i) sum += step[i] * step[i + lag];
    r[lag] = sum;
  }
  int lobeEnd = 1;  // past the central lobe
  while (lobeEnd < reach && r[static_cast<std::size_t>(lobeEnd)] > 0.0) ++lobeEnd;
  double highest = 0.0;
  for (int tau = lobeEnd; tau < reach; ++tau)
    if (IsPeak(r, tau)) highest = std::max(highest, r[static_cast<std::size_t>(tau)]);
  if (!(r[0] > 0.0) || !(highest >= kClearRipple * r[0])) return 0.0;
  for (int tau = lobeEnd; tau < reach; ++tau) {
    const std::size_t t = static_cast<std::size_t>(tau);
    if (IsPeak(r, tau) && r[t] >= kShortestRipple * highest) return tau + ParabolicOffset(r[t - 1], r[t], r[t + 1]);
  }
  return 0.0;
}

// The levels, in place, averaged over one ripple period (RipplePeriod)
// centred on each point, the levels taken as constant over their blocks:
// that takes out a ripple of that period whatever its shape. Unchanged where
// there is no ripple.
void RemoveRipple(std::vector<double>& level, int period) {
  const double ripple = RipplePeriod(level, period);
  if (!(ripple > 1.0)) return;
  const std::size_t n = level.size();
  const double end = static_cast<double>(n);
  std::vector<double> sums(n + 1, 0.0);  // sums[i]: of the first i levels
  for (std::size_t i = 0; i < n; ++i) sums[i + 1] = sums[i] + level[i];
  const auto integral = [&](double x) {  // of the levels from 0 to x
    const std::size_t k = std::min(static_cast<std::size_t>(x), n - 1);
    return sums[k] + (x - static_cast<double>(k)) * (sums[k + 1] - sums[k]);
  };
  for (std::size_t i = 0; i < n; ++i) {
    const double centre = static_cast<double>(i) + 0.5;
    const double from = std::max(0.0, centre - 0.5 * ripple), to = std::min(end, centre + 0.5 * ripple);
    level[i] = (integral(to) - integral(from)) / (to - from);
  }
}

// The period as the highest autocorrelation peak of the levels between the
// lags shortest and longest, past the central lobe. A peak at a whole fraction
// 1 / k of it wins when the peaks at every multiple of that fraction up to
// k + 1 times it are nearly as high (the same rhythm, once more per period),
// as far as the levels reach: a shape that comes back half-way through its
// period (the window's "Test" curve) gives a high peak at half the period too,
// but not at one and a half. No period where a peak below the range is about
// as high as the best in it.
PeriodPeak FindPeriod(std::vector<double> level, int shortest, int longest) {
  const double mean = Mean(level);
  for (double& v : level) v -= mean;
  const int n = static_cast<int>(level.size());
  // Lags up to twice the longest, for the multiples; r is per overlapping
  // term there, so that the shorter overlap of a long lag costs nothing.
  const int reach = std::min(n - 2, 2 * longest + 2);
  std::vector<double> r = Autocorrelation(level.data(), n, reach);
  if (!(r[0] > 0.0)) return {};
  for (int tau = 1; tau <= reach; ++tau) r[static_cast<std::size_t>(tau)] *= static_cast<double>(n) / (n - tau);

  int lobeEnd = 1;
  while (lobeEnd <= longest && r[static_cast<std::size_t>(lobeEnd)] > 0.0) ++lobeEnd;
  const int start = std::max(lobeEnd, shortest);
  // A peak's height with its higher neighbour's: a period that is no whole
  // number of levels splits its peak between the two lags either side, and
  // the more so the shorter the sound's events are against a level's block
  // (a click falls into one block or the next), while a multiple of it that
  // lies near a whole lag keeps one high peak.
  const auto height = [&r](int tau) {
    const std::size_t t = static_cast<std::size_t>(tau);
    return r[t] + std::max(r[t - 1], r[t + 1]);
  };
  // The highest peak within a tenth of `centre` of it, -1 when there is none.
  const auto peakNear = [&](double centre, int from, int to) {
    const int middle = static_cast<int>(std::lround(centre));
    const int spread = std::max(1, middle / 10);
    int found = -1;
    for (int tau = std::max(from, middle - spread); tau <= std::min(to, middle + spread); ++tau) {
      if (IsPeak(r, tau) && (found < 0 || height(tau) > height(found)))
        found = tau;
    }
    return found;
  };
  int best = -1;
  for (int tau = std::max(start, 1); tau <= longest; ++tau) {
    if (IsPeak(r, tau) && (best < 0 || height(tau) > height(best)))
      best = tau;
  }
  if (best < 0 || !(r[static_cast<std::size_t>(best)] > 0.0)) return {};
  // Levels that repeat about as clearly at a lag shorter than the shortest
  // asked for have their period there, and what the range holds are its
  // multiples: the cycles of a steady tone that the blocks cut at different
  // places, or a rhythm faster than any looked for.
  for (int tau = std::max(lobeEnd, 2); tau < shortest; ++tau)
    if (IsPeak(r, tau) && height(tau) >= kShorterPeriod * height(best)) return {};

  const double high = 0.8 * height(best);
  for (int k = best / std::max(start, 1); k >= 2; --k) {
    const double fraction = static_cast<double>(best) / k;
    const int candidate = peakNear(fraction, start, longest);
    if (candidate < 0 || height(candidate) < high) continue;
    bool repeats = true;
    for (int j = 2; j <= k + 1 && repeats; ++j) {
      if (j == k || (j + 1) * fraction > reach) continue;
      const int multiple = peakNear(j * fraction, start, reach - 1);
      repeats = multiple > 0 && height(multiple) >= high;
    }
    if (repeats) {
      best = candidate;
      break;
    }
  }
  const std::size_t b = static_cast<std::size_t>(best);
  return {best + ParabolicOffset(r[b - 1], r[b], r[b + 1]), r[b] / r[0]};
}

// The period found in the levels over blocks of `hop` samples, less what
// changes more slowly than the longest period; how many levels there are; and
// whether the sound fades (in or out, or both), judged by how much of the
// levels' variance that slow change holds; with `smooth`, of the block powers
// averaged over kSmoothBlocks blocks, twice. No peak (lag 0) where the levels
// are too few for two periods of the longest or the progress has asked to stop.
struct BlockPeriod {
  PeriodPeak peak;
  int levels = 0;
  bool fades = false;
};

BlockPeriod PeriodOfBlocks(const std::int16_t* s, std::int64_t count, std::int32_t centre, std::int64_t hop,
                           double shortest, double longest, bool smooth, StepCounter& steps, int firstStep, int share) {
  std::vector<double> power = AnalyticBlockPowers(s, count, centre, hop, steps, firstStep, share);
  if (smooth) power = RunningMean(RunningMean(power, kSmoothBlocks), kSmoothBlocks);
  const std::vector<double> level = LevelsOf(std::move(power));
  const int n = static_cast<int>(level.size());
  const int shortestLag = std::max(2, static_cast<int>(shortest / static_cast<double>(hop)));
  const int longestLag = std::min(static_cast<int>(longest / static_cast<double>(hop)), n / 2 - 1);
  if (steps.Stopped() || longestLag <= shortestLag) return {{}, n};
  const std::vector<double> steady = LessTrend(level, longestLag);
  const double mean = Mean(level);
  double all = 0.0, left = 0.0;
  for (std::size_t i = 0; i < level.size(); ++i) all += (level[i] - mean) * (level[i] - mean), left += steady[i] * steady[i];
  return {FindPeriod(steady, shortestLag, longestLag), n, left < kSteadyShare * all};
}

// The fine levels y less the sound's fading: the running mean over
// kFadePeriods of the mean levels of stretches one period (in points) long,
// read linearly between the stretches' middles. A period's magnitude is then
// its level against its neighbours', not against the whole sound's.
void RemoveFading(std::vector<double>& y, double period) {
  const std::size_t stretches = static_cast<std::size_t>(static_cast<double>(y.size()) / period);
  if (stretches < 2) return;
  std::vector<double> level(stretches, 0.0);
  for (std::size_t k = 0; k < stretches; ++k) {
    const auto from = static_cast<std::size_t>(std::lround(static_cast<double>(k) * period));
    const auto to = std::min(y.size(), static_cast<std::size_t>(std::lround(static_cast<double>(k + 1) * period)));
    for (std::size_t i = from; i < to; ++i) level[k] += y[i];
    level[k] /= static_cast<double>(std::max<std::size_t>(1, to - from));
  }
  const std::vector<double> fading = RunningMean(level, kFadePeriods);
  for (std::size_t i = 0; i < y.size(); ++i) {
    // Between the middles of stretches k and k + 1; the ends hold the first and last.
    const double x = std::clamp(static_cast<double>(i) / period - 0.5, 0.0, static_cast<double>(stretches - 1));
    const std::size_t k = std::min(static_cast<std::size_t>(x), stretches - 2);
    const double f = x - static_cast<double>(k);
    y[i] -= fading[k] * (1.0 - f) + fading[k + 1] * f;
  }
}

// The period starts in the fine levels y, in points (fractional). Each start
// is the shift, within kSearch periods of the expected one, at which the
// template of `length` points matches best.
class Aligner {
 public:
  Aligner(const std::vector<double>& y, int length) : m_y(y), m_length(length) {}

  // The first pass: the template is the running mean of the aligned periods
  // so far, beginning with the first `length` points. Returns the starts and
  // leaves the template as the mean of all of them.
  std::vector<double> Track(double period, StepCounter& steps, int firstStep, int share) {
    m_template.assign(m_y.begin(), m_y.begin() + m_length);
    std::vector<double> sum = m_template;
    std::vector<double> starts{0.0};
    double expected = period;
    while (true) {
      const double start = NextStart(starts.back(), expected, kSearch * expected);
      if (start < 0.0) break;
      starts.push_back(start);
      const std::size_t first = static_cast<std::size_t>(std::lround(start));
      for (int j = 0; j < m_length; ++j) sum[static_cast<std::size_t>(j)] += m_y[first + static_cast<std::size_t>(j)];
      const double cycles = static_cast<double>(starts.size());
      for (int j = 0; j < m_length; ++j) m_template[static_cast<std::size_t>(j)] = sum[static_cast<std::size_t>(j)] / cycles;
      // The mean period so far, drawn towards the first guess while there are
      // few, and kept near it so that the walk cannot run away.
      expected = std::clamp((start + 2.0 * period) / (cycles + 1.0), 0.5 * period, 2.0 * period);
      if (!steps.Reach(firstStep, share, start, static_cast<double>(m_y.size()))) return {};
    }
    return starts;
  }

  // The second pass: every start again against the fixed template.
  std::vector<double> Realign(double period, StepCounter& steps, int firstStep, int share) {
    std::vector<double> starts;
    const double first = NextStart(-1.0, 0.5 * period, 0.5 * period);
    if (first < 0.0) return starts;
    starts.push_back(first);
    while (true) {
      const double start = NextStart(starts.back(), period, kSearch * period);
      if (start < 0.0) break;
      starts.push_back(start);
      if (!steps.Reach(firstStep, share, start, static_cast<double>(m_y.size()))) return {};
    }
    return starts;
  }

 private:
  // The best-matching start within `reach` points of previous + length, and
  // after previous, refined between points; -1 when the search would run past
  // the end of the levels.
  double NextStart(double previous, double length, double reach) {
    const int n = static_cast<int>(m_y.size());
    const int centre = static_cast<int>(std::lround(previous + length));
    const int spread = std::max(1, static_cast<int>(std::ceil(reach)));
    const int lowest = std::max(static_cast<int>(std::floor(previous)) + 1, centre - spread);
    const int highest = std::max(lowest, centre + spread);
    if (highest + 1 + m_length > n) return -1.0;

    // The template without its mean: a constant added to the levels (the
    // unknown gain scale) then changes no score.
    const double mean = Mean(m_template);
    m_centred.resize(m_template.size());
    for (std::size_t j = 0; j < m_template.size(); ++j) m_centred[j] = m_template[j] - mean;
    m_scores.assign(static_cast<std::size_t>(highest - lowest + 1), 0.0);
    for (int c = lowest; c <= highest; ++c) m_scores[static_cast<std::size_t>(c - lowest)] = Score(c);
    const std::size_t best = static_cast<std::size_t>(std::max_element(m_scores.begin(), m_scores.end()) - m_scores.begin());
    double offset = 0.0;
    if (best > 0 && best + 1 < m_scores.size())
      offset = ParabolicOffset(m_scores[best - 1], m_scores[best], m_scores[best + 1]);
    return lowest + static_cast<double>(best) + offset;
  }

  double Score(int c) const {
    const double* y = m_y.data() + c;
    double sum = 0.0;
    for (int j = 0; j < m_length; ++j) sum += m_centred[static_cast<std::size_t>(j)] * y[j];
    return sum;
  }

  const std::vector<double>& m_y;
  const int m_length;
  std::vector<double> m_template;
  std::vector<double> m_centred;
  std::vector<double> m_scores;
};

// The fine levels from `from` to `to` (points, fractional) at `count` evenly
// spaced phases, read linearly between the points' centres.
void ResamplePeriod(const std::vector<double>& y, double from, double to, double* phases, int count = kPhases) {
  const double last = static_cast<double>(y.size() - 1);
  const double step = (to - from) / count;
  for (int i = 0; i < count; ++i) {
    const double x = from + i * step - 0.5;
    if (x >= 0.0 && x < last) {
      const std::size_t k = static_cast<std::size_t>(x);
      const double f = x - static_cast<double>(k);
      phases[i] = y[k] * (1.0 - f) + y[k + 1] * f;
    } else {
      phases[i] = y[x < 0.0 ? 0 : y.size() - 1];  // beyond either end: the end's value
    }
  }
}

// The mean of the resampled periods between consecutive starts, at `count` phases.
std::vector<double> MeanPeriod(const std::vector<double>& y, const std::vector<double>& starts, int count = kPhases) {
  std::vector<double> mean(static_cast<std::size_t>(count), 0.0);
  std::vector<double> phases(static_cast<std::size_t>(count));
  for (std::size_t k = 0; k + 1 < starts.size(); ++k) {
    ResamplePeriod(y, starts[k], starts[k + 1], phases.data(), count);
    for (int i = 0; i < count; ++i) mean[static_cast<std::size_t>(i)] += phases[static_cast<std::size_t>(i)];
  }
  const double periods = static_cast<double>(starts.size() - 1);
  for (double& v : mean) v /= periods;
  return mean;
}

// The phase (in phases) in the middle of the quietest eighth of the period.
int QuietestPhase(const std::vector<double>& mean) {
  constexpr int kWidth = kPhases / 8;
  double sum = 0.0;
  for (int i = 0; i < kWidth; ++i) sum += mean[static_cast<std::size_t>(i)];
  double quietest = sum;
  int where = 0;
  for (int i = 1; i < kPhases; ++i) {
    sum += mean[static_cast<std::size_t>((i + kWidth - 1) % kPhases)] - mean[static_cast<std::size_t>(i - 1)];
    if (sum < quietest) {
      quietest = sum;
      where = i;
    }
  }
  return (where + kWidth / 2) % kPhases;
}

// A period's levels against the mean period at kMatchPhases phases: how far
// they stray from it once a constant and a multiple of it are fitted, so that
// a louder or quieter period costs nothing.
class PeriodMatch {
 public:
  // mean: the mean period at kMatchPhases phases.
  PeriodMatch(const std::vector<double>& y, std::vector<double> mean) : m_y(y), m_template(std::move(mean)) {
    double sum = 0.0;
    for (double v : m_template) sum += v;
    for (double& v : m_template) v -= sum / kMatchPhases, m_squares += v * v;
  }

  double Misfit(double from, double to) {
    ResamplePeriod(m_y, from, to, m_levels, kMatchPhases);
    double sum = 0.0, squares = 0.0, along = 0.0;
    for (int j = 0; j < kMatchPhases; ++j) {
      const double v = m_levels[j];
      sum += v, squares += v * v, along += v * m_template[static_cast<std::size_t>(j)];
    }
    const double fitted = m_squares > 0.0 ? along * along / m_squares : 0.0;
    return squares - sum * sum / kMatchPhases - fitted;
  }

 private:
  const std::vector<double>& m_y;
  std::vector<double> m_template;
  double m_squares = 0.0;
  double m_levels[kMatchPhases];
};

// The alignment places every start by a template of the mean length, so a
// period drawn longer or shorter than the mean moves the starts around it by
// a share of the difference, and the resampling then mixes the phases of
// neighbours exactly on the flanks whose levels tell a clipped period's
// magnitude. Each start is moved, one at a time, to where the two periods
// either side of it match the mean period best; the mean is taken afresh after
// each pass. Returns the mean period of the nudged starts at kPhases phases,
// or nothing once the progress has asked to stop.
std::vector<double> NudgeStarts(const std::vector<double>& fine, std::vector<double>& starts, StepCounter& steps,
                                int firstStep, int share) {
  const std::size_t count = starts.size();
  const double length = (starts.back() - starts.front()) / static_cast<double>(count - 1);
  const double last = static_cast<double>(fine.size());
  double reach = kNudge * length;
  for (int pass = 0; pass < kNudgePasses; ++pass, reach /= 3.0) {
    PeriodMatch match(fine, MeanPeriod(fine, starts, kMatchPhases));
    for (std::size_t k = 0; k < count; ++k) {
      double cost[3];
      for (int j = 0; j < 3; ++j) {
        const double at = starts[k] + (j - 1) * reach;
        cost[j] = 0.0;
        if (k > 0) cost[j] += match.Misfit(starts[k - 1], at);
        if (k + 1 < count) cost[j] += match.Misfit(at, starts[k + 1]);
      }
      // The parabola's lowest point where the middle is lowest, else a whole step downhill.
      double move = cost[0] < cost[1] ? -1.0 : cost[2] < cost[1] ? 1.0 : 0.0;
      if (move == 0.0) move = ParabolicOffset(-cost[0], -cost[1], -cost[2]);
      starts[k] = std::clamp(starts[k] + move * reach, 0.0, last);
      if ((k & 255) == 0 && !steps.Reach(firstStep, share, static_cast<double>(pass * count + k),
                                         static_cast<double>(kNudgePasses * count)))
        return {};
    }
  }
  return MeanPeriod(fine, starts);
}

// The least-squares weights of one period's magnitude M: with levels y at
// the kPhases phases, M = sum of w[i] (y[i] - zero), fitting
// y - zero = M x + s x' (+ l (phase - 1/2) x') (+ a) over the phases `in`
// selects, where x is the mean period less zero and x' its slope: a small
// shift of the mean, so that a start the alignment put a little early or
// late does not pass for a magnitude, with `stretch` a small stretch of it
// too, and with `intercept` a free constant. Also the weights of s.
struct FitWeights {
  std::vector<double> magnitude;
  std::vector<double> shift;
};

template <typename Select>
FitWeights MagnitudeWeights(const std::vector<double>& x, const std::vector<double>& slope, bool intercept, Select in,
                            bool stretch = false) {
  constexpr int kMost = 4;
  // The terms in use: x, x', (phase - 1/2) x', 1.
  int used[kMost] = {0, 1, 0, 0};
  int terms = 2;
  if (stretch) used[terms++] = 2;
  if (intercept) used[terms++] = 3;
  const auto column = [&](int term, std::size_t i) {
    switch (used[term]) {
      case 0: return x[i];
      case 1: return slope[i];
      case 2: return (static_cast<double>(i) / kPhases - 0.5) * slope[i];
      default: return 1.0;
    }
  };
  // The normal matrix, inverted by Gauss-Jordan elimination with partial pivoting.
  double gram[kMost][kMost] = {}, inverse[kMost][kMost] = {};
  for (int i = 0; i < kPhases; ++i) {
    if (!in(i)) continue;
    for (int a = 0; a < terms; ++a)
      for (int b = 0; b < terms; ++b) gram[a][b] += column(a, static_cast<std::size_t>(i)) * column(b, static_cast<std::size_t>(i));
  }
  for (int a = 0; a < terms; ++a) inverse[a][a] = 1.0;
  const std::vector<double> none(kPhases, 0.0);
  FitWeights weights{none, none};
  for (int c = 0; c < terms; ++c) {
    int pivot = c;
    for (int r = c + 1; r < terms; ++r)
      if (std::fabs(gram[r][c]) > std::fabs(gram[pivot][c])) pivot = r;
    if (!(std::fabs(gram[pivot][c]) > 1e-12)) return weights;  // nothing to fit: all weights 0
    for (int j = 0; j < kMost; ++j) std::swap(gram[c][j], gram[pivot][j]), std::swap(inverse[c][j], inverse[pivot][j]);
    const double diagonal = gram[c][c];
    for (int j = 0; j < kMost; ++j) gram[c][j] /= diagonal, inverse[c][j] /= diagonal;
    for (int r = 0; r < terms; ++r) {
      if (r == c) continue;
      const double factor = gram[r][c];
      for (int j = 0; j < kMost; ++j) gram[r][j] -= factor * gram[c][j], inverse[r][j] -= factor * inverse[c][j];
    }
  }
  for (int i = 0; i < kPhases; ++i) {
    if (!in(i)) continue;
    const std::size_t k = static_cast<std::size_t>(i);
    for (int b = 0; b < terms; ++b) {
      weights.magnitude[k] += inverse[0][b] * column(b, k);
      weights.shift[k] += inverse[1][b] * column(b, k);
    }
  }
  return weights;
}

// Four running sums, so that the additions need not wait for one another.
double Dot(const std::vector<double>& w, const double* y) {
  double sum[4] = {};
  for (int i = 0; i < kPhases; i += 4)
    for (int j = 0; j < 4; ++j) sum[j] += w[static_cast<std::size_t>(i + j)] * y[i + j];
  return (sum[0] + sum[1]) + (sum[2] + sum[3]);
}

// The level noise of the periods about the fitted mean, as its covariance
// between phases i and i + lag for lags up to kNoiseLags, pooled over the
// periods it is given (the level is a logarithm, so its noise hardly depends
// on how loud the sound is), and, where it looks like noise, corrected for
// what the fit took away and scaled per phase.
class LevelNoise {
 public:
  LevelNoise() : m_sum(kLags, 0.0), m_terms(kLags, 0.0), m_squares(kPhases, 0.0), m_scale(kPhases, 1.0) {}

  void Add(const double* residual) {
    for (int lag = 0; lag <= kNoiseLags; ++lag) {
      double sum = 0.0;
      for (int i = 0; i + lag < kPhases; ++i) sum += residual[i] * residual[i + lag];
      m_sum[static_cast<std::size_t>(lag)] += sum;
      m_terms[static_cast<std::size_t>(lag)] += kPhases - lag;
    }
    for (int i = 0; i < kPhases; ++i) m_squares[static_cast<std::size_t>(i)] += residual[i] * residual[i];
    ++m_periods;
  }

  // Once all residuals are in, with the columns x and x' of the fit that
  // left them and its weights. Residuals still correlated at the farthest
  // lag are mostly the mean's misfit (lengths drawn apart, clipped tops),
  // not noise; they are taken as pooled.
  void Settle(const std::vector<double>& x, const std::vector<double>& slope, const FitWeights& fit) {
    m_covariance.assign(kLags, 0.0);
    if (!(m_terms[0] > 0.0)) return;
    for (std::size_t l = 0; l < kLags; ++l) m_covariance[l] = m_sum[l] / m_terms[l];
    if (!(m_covariance[0] > 0.0) || m_covariance[kNoiseLags] > kNoiseReach * m_covariance[0]) return;
    const Columns columns{{&x, &slope}, {&fit.magnitude, &fit.shift}};
    Unbias(columns);
    ScalePhases(columns);
  }

  // The covariance of the noise of sum w1[i] y[i] and sum w2[i] y[i].
  double Covariance(const std::vector<double>& w1, const std::vector<double>& w2) const {
    if (m_covariance.empty()) return 0.0;
    double sum = 0.0;
    for (int i = 0; i < kPhases; ++i) {
      const std::size_t a = static_cast<std::size_t>(i);
      for (int j = std::max(0, i - kNoiseLags); j <= std::min(kPhases - 1, i + kNoiseLags); ++j) {
        const std::size_t b = static_cast<std::size_t>(j);
        sum += w1[a] * w2[b] * m_covariance[static_cast<std::size_t>(std::abs(i - j))] * m_scale[a] * m_scale[b];
      }
    }
    return sum;
  }

 private:
  static constexpr std::size_t kLags = kNoiseLags + 1;

  // The fit's columns (x, x') and the weights that give their factors.
  struct Columns {
    const std::vector<double>* column[2];
    const std::vector<double>* weight[2];
  };

  // spread[p] = C w_p for a covariance c by lag; q[p][r] = w_p . C w_r.
  static void Spread(const Columns& fit, const std::vector<double>& c, std::vector<double> spread[2], double q[2][2]) {
    for (int p = 0; p < 2; ++p) {
      spread[p].assign(kPhases, 0.0);
      const std::vector<double>& w = *fit.weight[p];
      for (int i = 0; i < kPhases; ++i)
        for (int j = std::max(0, i - kNoiseLags); j <= std::min(kPhases - 1, i + kNoiseLags); ++j)
          spread[p][static_cast<std::size_t>(i)] += c[static_cast<std::size_t>(std::abs(i - j))] * w[static_cast<std::size_t>(j)];
    }
    for (int p = 0; p < 2; ++p)
      for (int r = 0; r < 2; ++r) q[p][r] = Dot(*fit.weight[p], spread[r].data());
  }

  // A residual is the level less H of it, H = x w_M + x' w_s, so it lacks
  // the noise's share along the mean and its slope: the pooled covariances
  // come out low, and the magnitude's noise with them. For a noise that is
  // the same at every phase the pooled ones are a linear map (I - B) c of
  // the true ones, where lag l of B c holds the terms H C + C H' - H C H'
  // of the residuals' covariance; c = pooled + B c, by iteration (B is small).
  void Unbias(const Columns& fit) {
    std::vector<double> b(kLags * kLags, 0.0);
    std::vector<double> unit(kLags, 0.0), spread[2];
    double q[2][2];
    for (std::size_t m = 0; m < kLags; ++m) {
      unit.assign(kLags, 0.0);
      unit[m] = 1.0;
      Spread(fit, unit, spread, q);
      for (int l = 0; l <= kNoiseLags; ++l) {
        double sum = 0.0;
        for (int i = 0; i + l < kPhases; ++i) {
          const std::size_t a = static_cast<std::size_t>(i), c = static_cast<std::size_t>(i + l);
          for (int p = 0; p < 2; ++p) {
            const std::vector<double>& xp = *fit.column[p];
            sum += xp[a] * spread[p][c] + xp[c] * spread[p][a];
            for (int r = 0; r < 2; ++r) sum -= xp[a] * q[p][r] * (*fit.column[r])[c];
          }
        }
        b[static_cast<std::size_t>(l) * kLags + m] = sum / (kPhases - l);
      }
    }
    const std::vector<double> pooled = m_covariance;
    for (int pass = 0; pass < 32; ++pass) {
      std::vector<double> next = pooled;
      for (std::size_t l = 0; l < kLags; ++l)
        for (std::size_t m = 0; m < kLags; ++m) next[l] += b[l * kLags + m] * m_covariance[m];
      m_covariance.swap(next);
    }
  }

  // The noise is louder at some phases than at others (a read slowed down
  // or sped up, a clipped top): each phase's residual variance, over what a
  // noise the same everywhere would leave there, gives the phase its scale.
  void ScalePhases(const Columns& fit) {
    std::vector<double> spread[2];
    double q[2][2];
    Spread(fit, m_covariance, spread, q);
    std::vector<double> expected(kPhases, m_covariance[0]);
    for (std::size_t a = 0; a < kPhases; ++a)
      for (int p = 0; p < 2; ++p) {
        const std::vector<double>& xp = *fit.column[p];
        expected[a] -= 2.0 * xp[a] * spread[p][a];
        for (int r = 0; r < 2; ++r) expected[a] += xp[a] * q[p][r] * (*fit.column[r])[a];
      }
    constexpr int kHalf = kNoiseLags / 2;
    for (int i = 0; i < kPhases; ++i) {
      double seen = 0.0, model = 0.0;
      for (int j = std::max(0, i - kHalf); j <= std::min(kPhases - 1, i + kHalf); ++j)
        seen += m_squares[static_cast<std::size_t>(j)] / m_periods, model += expected[static_cast<std::size_t>(j)];
      m_scale[static_cast<std::size_t>(i)] = model > 0.0 ? std::sqrt(seen / model) : 1.0;
    }
  }

  std::vector<double> m_sum;
  std::vector<double> m_terms;
  std::vector<double> m_squares;  // by phase
  double m_periods = 0.0;
  std::vector<double> m_covariance;  // by lag
  std::vector<double> m_scale;       // by phase
};

// The mean over k of (a[k] - mean a)(b[k + lag] - mean b).
double CrossCovariance(const std::vector<double>& a, const std::vector<double>& b, int lag) {
  const double meanA = Mean(a), meanB = Mean(b);
  const int n = static_cast<int>(a.size());
  double sum = 0.0;
  int terms = 0;
  for (int k = std::max(0, -lag); k < n && k + lag < n; ++k, ++terms)
    sum += (a[static_cast<std::size_t>(k)] - meanA) * (b[static_cast<std::size_t>(k + lag)] - meanB);
  return terms > 0 ? sum / terms : 0.0;
}

// The spread of a series of draws x[k] = w x'[k] + (1 - w) x'[k+1] + noise of
// independent draws x' (a period measured across the true boundary takes
// part of its neighbour): its long-run covariance with a second measurement y
// of the same draws with independent noise,
//   C(0) + C(1) + C(-1) = var x',
// whatever w, and free of the noise.
double DrawVariance(const std::vector<double>& x, const std::vector<double>& y) {
  return CrossCovariance(x, y, 0) + CrossCovariance(x, y, 1) + CrossCovariance(x, y, -1);
}

// The percent deviation of a uniform draw with this variance around 1.
double DeviationPercent(double variance) { return 100.0 * std::sqrt(12.0 * std::max(0.0, variance)); }

// The variance of the drawn magnitudes: that of the all-phase magnitudes
// less their noise, over the periods that do not stray. Where the loud
// phases respond less than the quiet ones (by the factor beta; measured by
// two pairs of fits, on all phases and on the quiet ones, over two phase sets
// with independent noise), the all-phase magnitudes spread beta times the
// drawn ones, and the quiet phases give the scale; only where the spread
// stands out of the noise, or the two measurements agree mostly by chance.
struct PeriodMagnitudes {
  std::vector<double> all, stray;  // per period
  std::vector<double> a, b, quietA, quietB;
};

// Beyond this a period strays: kStray times the typical period's stray.
double StrayLimit(std::vector<double> stray) {
  std::nth_element(stray.begin(), stray.begin() + static_cast<std::ptrdiff_t>(stray.size() / 2), stray.end());
  return kStray * stray[stray.size() / 2];
}

// v without its elements from skipFrom to skipTo.
std::vector<double> Without(const std::vector<double>& v, std::size_t skipFrom, std::size_t skipTo) {
  std::vector<double> rest(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(std::min(skipFrom, v.size())));
  if (skipTo < v.size()) rest.insert(rest.end(), v.begin() + static_cast<std::ptrdiff_t>(skipTo), v.end());
  return rest;
}

// The jackknife's standard error of an estimate over `count` periods in
// `groups` runs, where estimate(from, to) leaves out the periods from `from`
// to `to`.
template <typename Estimate>
double JackknifeError(std::size_t count, std::size_t groups, Estimate estimate) {
  double sum = 0.0, squares = 0.0;
  for (std::size_t g = 0; g < groups; ++g) {
    const double partial = estimate(g * count / groups, (g + 1) * count / groups);
    sum += partial, squares += partial * partial;
  }
  const double runs = static_cast<double>(groups);
  return std::sqrt(std::max(0.0, (runs - 1.0) * (squares - sum * sum / runs) / runs));
}

// The jackknife's standard error of DrawVariance(v, v), over runs of
// kSpreadGroups (or of single values where there are fewer).
double SpreadError(const std::vector<double>& v) {
  return JackknifeError(v.size(), std::min(v.size(), kSpreadGroups), [&v](std::size_t from, std::size_t to) {
    const std::vector<double> rest = Without(v, from, to);
    return DrawVariance(rest, rest);
  });
}

// beta = (agreement of the loud sets) / (agreement of a quiet set with the
// other loud one), over the periods kept, leaving out those from skipFrom to
// skipTo; 0 when either agreement is not positive.
double Compression(const PeriodMagnitudes& kept, std::size_t skipFrom, std::size_t skipTo) {
  const std::vector<double> a = Without(kept.a, skipFrom, skipTo), b = Without(kept.b, skipFrom, skipTo);
  const double loud = DrawVariance(a, b);
  const double across = 0.5 * (DrawVariance(Without(kept.quietA, skipFrom, skipTo), b) +
                               DrawVariance(a, Without(kept.quietB, skipFrom, skipTo)));
  return loud > 0.0 && across > 0.0 ? loud / across : 0.0;
}

// The magnitudes' spread found, and how.
struct MagnitudeSpread {
  std::vector<double> magnitudes;  // per period, the all-phase fits
  double variance = 0.0;           // of the drawn magnitudes
  bool compressed = false;         // true where the quiet phases gave the scale
};

MagnitudeSpread MagnitudeVariance(const PeriodMagnitudes& m, double noise) {
  const double limit = StrayLimit(m.stray);
  PeriodMagnitudes kept;
  for (std::size_t k = 0; k < m.stray.size(); ++k) {
    if (!(m.stray[k] <= limit)) continue;
    kept.all.push_back(m.all[k]), kept.a.push_back(m.a[k]), kept.b.push_back(m.b[k]);
    kept.quietA.push_back(m.quietA[k]), kept.quietB.push_back(m.quietB[k]);
  }
  MagnitudeSpread spread;
  const std::size_t count = kept.a.size();
  const double variance = DrawVariance(kept.all, kept.all) - noise;
  if (!(variance > kSpreadSignificance * SpreadError(kept.all))) return spread;
  spread.variance = variance;
  if (!(variance > noise)) return spread;
  const double beta = Compression(kept, 0, 0);
  if (!(beta > 0.0) || !(beta < 1.0)) return spread;
  // The quiet phases give the scale only where beta lies clearly below 1,
  // not where a noisy quiet fit merely happens to say so, and only where it
  // is measured well enough to divide by: a level that hardly moves with the
  // rhythm (a rhythm in the pitch alone) can give a beta near 0 that is
  // mostly noise.
  const double error = JackknifeError(count, kCompressionGroups,
                                      [&](std::size_t from, std::size_t to) { return Compression(kept, from, to); });
  spread.compressed =
      beta + 2.0 * error < kCompressed && error < kCompressionPrecision * beta && beta >= kLeastCompression;
  if (spread.compressed) spread.variance = variance / (beta * beta);
  return spread;
}

// Each period's magnitude: its levels fitted to the mean's through the
// level of envelope value 0 (the highest mean level less 1), on all phases
// and on each of two interleaved sets of them whose level noise is
// independent; and on each set's quiet phases alone with a free intercept,
// which a level clipped at the top does not reach, and a stretch: the quiet
// phases are mostly the flanks of the loud ones, which a period drawn longer
// or shorter than the alignment's template moves apart or together. The
// residuals of a few hundred periods give the level noise.
MagnitudeSpread MeasureMagnitudes(const std::vector<double>& fine, const std::vector<double>& starts,
                                  const std::vector<double>& mean) {
  const std::size_t periodCount = starts.size() - 1;
  const double highest = *std::max_element(mean.begin(), mean.end());
  const double lowest = *std::min_element(mean.begin(), mean.end());
  const double zero = highest - 1.0;
  std::vector<double> x(kPhases), slope(kPhases);
  for (int i = 0; i < kPhases; ++i) {
    const std::size_t k = static_cast<std::size_t>(i);
    x[k] = mean[k] - zero;
    slope[k] = 0.5 * (mean[static_cast<std::size_t>((i + 1) % kPhases)] - mean[static_cast<std::size_t>((i + kPhases - 1) % kPhases)]);
  }
  const double quietTop = lowest + kQuietShare * (highest - lowest);
  const auto inA = [](int i) { return (i / kPhaseRun) % 2 == 0; };
  const auto inB = [](int i) { return (i / kPhaseRun) % 2 == 1; };
  const auto quiet = [&mean, quietTop](int i) { return mean[static_cast<std::size_t>(i)] <= quietTop; };
  const FitWeights all = MagnitudeWeights(x, slope, false, [](int) { return true; });
  const FitWeights setA = MagnitudeWeights(x, slope, false, inA);
  const FitWeights setB = MagnitudeWeights(x, slope, false, inB);
  const FitWeights quietA = MagnitudeWeights(x, slope, true, [&](int i) { return inA(i) && quiet(i); }, true);
  const FitWeights quietB = MagnitudeWeights(x, slope, true, [&](int i) { return inB(i) && quiet(i); }, true);
  PeriodMagnitudes magnitudes;
  const std::size_t noiseEvery = std::max<std::size_t>(1, periodCount / kNoisePeriods);
  std::vector<std::vector<double>> residuals;  // of every noiseEvery-th period
  std::vector<double> level(kPhases), residual(kPhases);
  for (std::size_t k = 0; k < periodCount; ++k) {
    ResamplePeriod(fine, starts[k], starts[k + 1], level.data());
    for (double& v : level) v -= zero;
    const double M = Dot(all.magnitude, level.data());
    const double shift = Dot(all.shift, level.data());
    double squares = 0.0;
    for (std::size_t i = 0; i < kPhases; ++i) {
      residual[i] = level[i] - M * x[i] - shift * slope[i];
      squares += residual[i] * residual[i];
    }
    if (k % noiseEvery == 0) residuals.push_back(residual);
    magnitudes.all.push_back(M);
    magnitudes.stray.push_back(std::sqrt(squares / kPhases));
    magnitudes.a.push_back(Dot(setA.magnitude, level.data()));
    magnitudes.b.push_back(Dot(setB.magnitude, level.data()));
    magnitudes.quietA.push_back(Dot(quietA.magnitude, level.data()));
    magnitudes.quietB.push_back(Dot(quietB.magnitude, level.data()));
  }
  // The noise from the periods that do not stray.
  LevelNoise levelNoise;
  const double strayLimit = StrayLimit(magnitudes.stray);
  for (std::size_t n = 0; n < residuals.size(); ++n)
    if (magnitudes.stray[n * noiseEvery] <= strayLimit) levelNoise.Add(residuals[n].data());
  levelNoise.Settle(x, slope, all);
  // A variance: the covariances by lag, estimated, need not make it positive.
  const double noise = std::max(0.0, levelNoise.Covariance(all.magnitude, all.magnitude));
  MagnitudeSpread spread = MagnitudeVariance(magnitudes, noise);
  spread.magnitudes = std::move(magnitudes.all);
  return spread;
}

// About the highest autocorrelation that the levels of a sound without a
// rhythm reach by chance, over this many levels.
double NoiseCorrelation(int levels) { return 4.0 / std::sqrt(static_cast<double>(std::max(1, levels))); }

// The samples' first differences, halved to stay in range.
std::vector<std::int16_t> Differences(const std::int16_t* s, std::int64_t count) {
  std::vector<std::int16_t> d(static_cast<std::size_t>(count));
  d[0] = 0;
  for (std::int64_t i = 1; i < count; ++i) d[static_cast<std::size_t>(i)] = static_cast<std::int16_t>((s[i] - s[i - 1]) / 2);
  return d;
}

// Whether a and b are one clip level: equal but for the gain's drift from
// one sample to the next and the rounding.
bool OnePlateau(int a, int b) { return std::abs(a - b) <= kPlateauTolerance * std::max(a, b) + 1.0; }

// Each period's magnitude read from its clipping, about 1, where the sound is
// clipped as "Distortion" clips it; nothing where it is not. A clipped sample
// is the clip level with the sample's sign, and the source's own samples pass
// below the magnitude times it: at a zero crossing, the clip level shows as
// a plateau of two samples either side (one level, opposite signs), and the
// larger of the one or two samples between them over the plateau reads the
// magnitude from below, the more closely the more crossings a period has.
// A period's magnitude is its second largest reading: the largest may be a
// crossing of the neighbouring period's, next to the start found. A sound is
// clipped where at least kClippedShare of its zero crossings look so;
// periods with fewer than kClipCrossings of them take the mean reading.
std::vector<double> ClipMagnitudes(const std::int16_t* s, std::int64_t count,
                                   const std::vector<LearnedPeriod>& periods) {
  // The largest and second largest reading of each period.
  std::vector<double> largest(periods.size(), 0.0), second(periods.size(), 0.0);
  std::vector<int> crossings(periods.size(), 0);
  std::int64_t allCrossings = 0, clippedCrossings = 0;
  const auto magnitude = [s](std::int64_t i) { return std::abs(static_cast<int>(s[i])); };
  const auto positive = [s](std::int64_t i) { return s[i] > 0; };
  // Whether the one or two samples from i on pass between two plateaus; if
  // so, their reading into period k.
  const auto readCrossing = [&](std::size_t k, std::int64_t i) {
    const int plateau = magnitude(i - 1);
    if (plateau < kClipFloor || !OnePlateau(magnitude(i - 2), plateau) || positive(i - 2) != positive(i - 1)) return;
    for (int between = 1; between <= 2; ++between) {
      const std::int64_t after = i + between;
      if (!OnePlateau(magnitude(after), plateau) || !OnePlateau(magnitude(after + 1), magnitude(after)) ||
          positive(after) != positive(after + 1) || positive(after) == positive(i - 1))
        continue;
      const int passed = between == 1 ? magnitude(i) : std::max(magnitude(i), magnitude(i + 1));
      if (OnePlateau(passed, plateau)) return;
      const double ratio = 2.0 * passed / (plateau + magnitude(after));
      second[k] = std::max(second[k], std::min(largest[k], ratio));
      largest[k] = std::max(largest[k], ratio);
      ++crossings[k], ++clippedCrossings;
      return;
    }
  };
  for (std::size_t k = 0; k < periods.size(); ++k) {
    const std::int64_t from = std::max<std::int64_t>(2, periods[k].start);
    const std::int64_t to = std::min(count - 4, periods[k].start + periods[k].length);
    // The passed samples begin at most two before a change of sign.
    std::int64_t next = from;
    for (std::int64_t j = from; j < to + 2; ++j) {
      if (positive(j) == positive(j - 1)) continue;
      allCrossings += j < to;
      for (std::int64_t i = std::max(next, j - 2); i <= j && i < to; ++i) readCrossing(k, i);
      next = std::max(next, j + 1);
    }
    // Past the first crossings, a sound that is not clipped has long shown it.
    if (allCrossings >= kClipProbe && static_cast<double>(clippedCrossings) < 0.25 * kClippedShare * allCrossings)
      return {};
  }
  if (!(static_cast<double>(clippedCrossings) >= kClippedShare * static_cast<double>(allCrossings))) return {};
  double sum = 0.0;
  int read = 0;
  for (std::size_t k = 0; k < periods.size(); ++k)
    if (crossings[k] >= kClipCrossings) sum += second[k], ++read;
  if (read == 0) return {};
  const double mean = sum / read;
  for (std::size_t k = 0; k < periods.size(); ++k) second[k] = crossings[k] >= kClipCrossings ? second[k] / mean : 1.0;
  return second;
}

LearnedRhythm NoRhythm(int points) {
  LearnedRhythm none;
  none.envelope.assign(static_cast<std::size_t>(points), 1.0);
  return none;
}

}  // namespace

LearnedRhythm LearnRhythm(const std::int16_t* samples, std::int64_t count, int rate,
                          const LearnOptions& options, Progress* progress) {
  const int points = std::clamp(options.points, 2, 1 << 20);
  StepCounter steps(progress);
  if (samples == nullptr || count <= 0 || rate <= 0) return NoRhythm(points);

  // Periods to look for, in samples: at least kMinPeriodSamples, at most half
  // the sound (two whole periods).
  const double fs = rate;
  const double askedMin = std::isfinite(options.minPeriod) && options.minPeriod > 0 ? options.minPeriod : 0.05;
  const double askedMax = std::isfinite(options.maxPeriod) && options.maxPeriod > 0 ? options.maxPeriod : 10.0;
  const double shortest = std::max(std::min(askedMin, askedMax) * fs, kMinPeriodSamples);
  const double longest = std::min(std::max(askedMin, askedMax) * fs, 0.5 * static_cast<double>(count));
  if (!(shortest < longest)) return NoRhythm(points);

  // 1. Coarse levels and the period from their autocorrelation, over blocks
  // of coarseHop and again over blocks of checkHop (see kCheckHopFactor).
  const std::int64_t coarseHop = std::max<std::int64_t>(
      {1, static_cast<std::int64_t>(shortest / kCoarsePointsPerMinPeriod), (count + kMaxCoarsePoints - 1) / kMaxCoarsePoints});
  const std::int64_t checkHop = std::llround(static_cast<double>(coarseHop) * kCheckHopFactor);
  struct Reading {
    const std::int16_t* samples;
    std::int32_t centre;
    bool smooth;
  };
  const auto coarsePeriod = [&](const Reading& r) {
    return PeriodOfBlocks(r.samples, count, r.centre, coarseHop, shortest, longest, r.smooth, steps, 0, 14);
  };
  // Whether blocks of checkHop find the period that blocks of coarseHop found.
  const auto confirmed = [&](const Reading& r, const BlockPeriod& found) {
    if (steps.Stopped() || found.peak.lag <= 0.0) return false;
    const double rough = found.peak.lag * static_cast<double>(coarseHop);
    const double check =
        PeriodOfBlocks(r.samples, count, r.centre, checkHop, shortest, longest, r.smooth, steps, 14, 6).peak.lag *
        static_cast<double>(checkHop);
    const double mismatch = std::fabs(check - rough);
    return !(mismatch > kCheckMismatch * rough && mismatch > kCheckMismatchBlocks * static_cast<double>(coarseHop));
  };
  const auto periodOf = [&](const Reading& r, BlockPeriod& found) {
    found = coarsePeriod(r);
    return confirmed(r, found);
  };
  Reading reading{samples, Centre(samples, count), false};
  BlockPeriod coarse;
  bool found = periodOf(reading, coarse);
  // The levels of the sound's differences may show the rhythm better: a
  // source whose power lies at the lowest frequencies (brown or pink noise, a
  // rumble) wanders in level by itself far more than a rhythm moves it, its
  // differences hardly.
  std::vector<std::int16_t> differences;
  const double plainPeak = coarse.peak.correlation;
  const bool unclear = !(found && plainPeak - NoiseCorrelation(coarse.levels) >= kPlainClear);
  // Whether the plain levels leave kWanderRatio times the unexplained share
  // of levels that peak at otherPeak.
  const auto wandersAgainst = [plainPeak](double otherPeak) {
    return 1.0 - plainPeak >= kWanderRatio * (1.0 - otherPeak);
  };
  if (!steps.Stopped() && (unclear || wandersAgainst(kClearestPeak))) {
    differences = Differences(samples, count);
    const Reading whitened{differences.data(), Centre(differences.data(), count), false};
    const BlockPeriod other = coarsePeriod(whitened);
    if ((!found || other.peak.correlation > plainPeak) && (unclear || wandersAgainst(other.peak.correlation)) &&
        confirmed(whitened, other))
      reading = whitened, coarse = other, found = true;
  }
  // A steady tone rich in harmonics swings in level with where each block cuts
  // its cycles, the more so the shorter the blocks are against them; levels
  // averaged over a few blocks hardly.
  if (!steps.Stopped() && !found) {
    reading.smooth = true;
    found = periodOf(reading, coarse);
  }
  if (!found || !steps.Reach(20, 5, 1, 1)) return NoRhythm(points);
  const PeriodPeak& peak = coarse.peak;
  const double roughPeriod = peak.lag * static_cast<double>(coarseHop);  // samples
  const int coarseCount = coarse.levels;

  // 2. Fine levels, about kFinePointsPerPeriod per period, and the period
  // starts in them.
  const std::int64_t fineHop = std::max<std::int64_t>(1, static_cast<std::int64_t>(roughPeriod / kFinePointsPerPeriod));
  std::vector<double> fine = FineLevels(reading.samples, count, reading.centre, fineHop, steps, 25, 15);
  if (steps.Stopped()) return NoRhythm(points);
  const double finePeriod = roughPeriod / static_cast<double>(fineHop);
  const int templateLength = static_cast<int>(std::lround(finePeriod));
  if (templateLength < 4 || static_cast<double>(fine.size()) < 2.0 * finePeriod + templateLength)
    return NoRhythm(points);
  if (coarse.fades) RemoveFading(fine, finePeriod);
  RemoveRipple(fine, templateLength);  // a steady tone's, from here on
  Aligner aligner(fine, templateLength);
  const std::vector<double> tracked = aligner.Track(finePeriod, steps, 40, 20);
  if (steps.Stopped() || tracked.size() < 3) return NoRhythm(points);
  const double trackedPeriod = (tracked.back() - tracked.front()) / static_cast<double>(tracked.size() - 1);
  const std::vector<double> aligned = aligner.Realign(trackedPeriod, steps, 60, 20);
  if (steps.Stopped() || aligned.size() < 4) return NoRhythm(points);

  // 3. Periods start at the quietest phase of the mean period: the aligned
  // starts moved by that share of each period, and a copy of them nudged
  // (for the magnitudes, step 4).
  const double quietest = static_cast<double>(QuietestPhase(MeanPeriod(fine, aligned))) / kPhases;
  std::vector<double> starts(aligned.size() - 1);
  for (std::size_t k = 0; k + 1 < aligned.size(); ++k)
    starts[k] = aligned[k] + quietest * (aligned[k + 1] - aligned[k]);
  const std::size_t periodCount = starts.size() - 1;
  const std::vector<double> mean = MeanPeriod(fine, starts);
  std::vector<double> nudged = starts;
  const std::vector<double> nudgedMean = NudgeStarts(fine, nudged, steps, 80, 8);
  if (nudgedMean.empty() || !steps.Reach(88, 2, 1, 1)) return NoRhythm(points);

  // 4. The magnitudes, from the aligned starts and from the nudged ones.
  // Where the quiet phases have to give the scale (a clipped top), they read
  // it only from the nudged starts; elsewhere the aligned starts do as well,
  // and the nudging, which also follows the level noise a little, adds
  // nothing.
  MagnitudeSpread spread = MeasureMagnitudes(fine, starts, mean);
  std::vector<double> periodStarts = starts;
  const MagnitudeSpread nudgedSpread = MeasureMagnitudes(fine, nudged, nudgedMean);
  if (nudgedSpread.compressed) spread = nudgedSpread, periodStarts = nudged;

  LearnedRhythm learned;
  for (std::size_t k = 0; k < periodCount; ++k) {
    const std::int64_t first = std::llround(periodStarts[k] * static_cast<double>(fineHop));
    const std::int64_t next = std::llround(periodStarts[k + 1] * static_cast<double>(fineHop));
    learned.periods.push_back({first, next - first, spread.magnitudes[k]});
  }
  const double meanLength = (starts[periodCount] - starts[0]) / static_cast<double>(periodCount);
  learned.period = meanLength * static_cast<double>(fineHop) / fs;

  // The deviations. A start found by alignment sits at the true start plus
  // some share of the period's departure from the mean plus noise; the
  // lengths are differences of such starts, and their variance plus twice
  // their lag-1 covariance is that of the true lengths, free of both, where
  // it stands out of its own sampling error. Not so the starts moved to the
  // quiet phase: each mixes two aligned starts, so their lengths mix three,
  // and the sum left a share of the noise in (a steady tremolo on brown or
  // pink noise read as 5 to 20 %). Nor the nudged starts: their errors go
  // together from one start to the next, and the same sum read a 20 % spread
  // of lengths as 21 to 23.
  std::vector<double> relative(aligned.size() - 1);
  for (std::size_t k = 0; k < relative.size(); ++k) relative[k] = aligned[k + 1] - aligned[k];
  const double alignedLength = Mean(relative);
  for (double& v : relative) v /= alignedLength;
  const double lengthVariance = DrawVariance(relative, relative);
  learned.timeDeviation =
      lengthVariance > kSpreadSignificance * SpreadError(relative) ? DeviationPercent(lengthVariance) : 0.0;
  learned.magnitudeDeviation = DeviationPercent(spread.variance);
  // A sound clipped as "Distortion" clips it tells each period's magnitude
  // far more exactly by its clip threshold than by its levels. Its readings
  // are of one period each, so their plain variance is that of the draws.
  if (const std::vector<double> clipped = ClipMagnitudes(samples, count, learned.periods); !clipped.empty()) {
    for (std::size_t k = 0; k < periodCount; ++k) learned.periods[k].magnitude = clipped[k];
    learned.magnitudeDeviation = DeviationPercent(CrossCovariance(clipped, clipped, 0));
  }

  // The envelope: the mean level read at the output phases, its highest value at 1.
  learned.envelope.resize(static_cast<std::size_t>(points));
  for (int k = 0; k < points; ++k) {
    const double x = static_cast<double>(k) * kPhases / (points - 1);
    const int i = static_cast<int>(x) % kPhases;
    const double f = x - std::floor(x);
    learned.envelope[static_cast<std::size_t>(k)] =
        mean[static_cast<std::size_t>(i)] * (1.0 - f) + mean[static_cast<std::size_t>((i + 1) % kPhases)] * f;
  }
  const double top = *std::max_element(learned.envelope.begin(), learned.envelope.end());
  for (double& v : learned.envelope) v = std::clamp(v - top + 1.0, 0.0, 1.0);

  // Confidence: how far the autocorrelation peak stands above what noise
  // alone reaches, with fewer than four whole periods counting less.
  learned.confidence = std::clamp((peak.correlation - NoiseCorrelation(coarseCount)) / kClearRhythm, 0.0, 1.0) *
                       std::min(1.0, static_cast<double>(periodCount) / 4.0);
  steps.Reach(90, 10, 1, 1);
  return learned;
}
