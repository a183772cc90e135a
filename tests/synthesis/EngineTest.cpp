// The rhythm engine. Its two-phase shape (the walk over the periods, then the
// per-sample output of a chunk on the vector paths) must give exactly what the
// run gives sample after sample; that is checked against a plain transcription
// of the run. The rest checks properties whose results are known by hand.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "Block.h"
#include "Gain.h"
#include "Lagrange.h"
#include "MorphCoeffs.h"
#include "Progress.h"
#include "RandomGenerator.h"
#include "RhythmEngine.h"
#include "SoundStore.h"

namespace {

RandomGenerator FixedClock() {
  return RandomGenerator([] { return std::int64_t{1600000000}; });
}

// Band-limited-looking test signal with a few exact zeros and both extremes.
std::vector<std::int16_t> TestSound(int n) {
  std::vector<std::int16_t> s(n);
  for (int i = 0; i < n; ++i) {
    s[i] = static_cast<std::int16_t>(20000 * std::sin(i * 0.031) + 9000 * std::sin(i * 0.173 + 1) +
                                     3000 * std::sin(i * 1.9));
  }
  for (int i = 5; i < n; i += 997) s[i] = 0;
  s[n / 2] = -32768;
  s[n / 3] = 32767;
  return s;
}

// An envelope of slopes and steps, with its seam point.
SeamlessCo VariedEnvelope() {
  SeamlessCo envelope(539, nullptr, 0.0, nullptr);
  for (int i = 0; i <= 539; ++i) {
    envelope[i] = (i % 101 < 60) ? 0.2 + 0.8 * (i % 101) / 60.0 : 0.3 * ((i * 7) % 11) / 10.0;
  }
  return envelope;
}

struct EngineRun {
  std::vector<float> out;
  double sum = 0;
};

// The run of the rhythm exactly as described, one sample after the other;
// the wait for a sign change follows walked (s itself when null).
EngineRun Reference(const std::vector<std::int16_t>& s, int fs, const RhythmParameters& p,
                    const Block* modulator, SeamlessCo& envelope, const std::vector<int>* walked = nullptr) {
  const int N = static_cast<int>(s.size());
  RandomGenerator random = FixedClock();
  double w[kLagrangePoints];
  LagrangeWeights(w);
  auto drawPeriod = [&] {
    const double period = RandomDeviation(p.timeDeviation, p.period, random);
    return period >= 1.0 / fs ? period : 1.0 / fs;
  };
  double T0 = 0, Pc = drawPeriod(), S = 0, g = 1;
  double Mc = RandomDeviation(p.magnDeviation, 1, random);
  double Mn = RandomDeviation(p.magnDeviation, 1, random);
  bool waiting = false, sign = false;
  auto seam = [&] {
    if (Mc != 0) envelope.SetSeamValue(Mn * envelope.FirstValue() / Mc);
  };
  seam();
  EngineRun run;
  for (int i = 0; i < N; ++i) {
    double t = i / static_cast<double>(fs) - T0;
    double x = s[i];
    const int w0 = walked ? (*walked)[i] : s[i];
    while (t >= Pc) {
      t = t - Pc;
      T0 = T0 + Pc;
      Pc = drawPeriod();
      Mc = Mn;
      Mn = RandomDeviation(p.magnDeviation, 1, random);
      seam();
      waiting = true;
      sign = w0 >= 0;
    }
    if (waiting && (w0 > 0) != sign) waiting = false;
    if (!waiting) {
      S = envelope.ValueAt(t / Pc) * Mc;
      g = RhythmGain(S);
    }
    const double D = p.maxDelay;
    const int type = p.type;
    if (type == mtAmplitude) x = s[i] * g;
    if (type == mtDetonation) x = LagrangeRead(w, s.data(), N, i - (S - 0.5) * D);
    if (type == mtAmpDet) x = LagrangeRead(w, s.data(), N, i - (S - 0.5) * D) * g;
    if (type == mtDistortion) {
      const double limit = RecentPeak(s.data(), i) * g;
      if (std::fabs(x / Mc) > limit) x = x > 0 ? limit : -limit;
    }
    if (type == mtFrequency || type == mtAmpFreq) {
      x = LagrangeRead(w, s.data(), N,
                       i - (*modulator)[i % modulator->GetSize()] / (g + 0.0001) * D);
    }
    if (type == mtAmpFreq) x *= g;
    run.out.push_back(static_cast<float>(x));
    run.sum += x;
  }
  return run;
}

EngineRun Engine(const std::vector<std::int16_t>& s, int fs, const RhythmParameters& p,
                 SeamlessCo& envelope, const Block* modulator = nullptr, int threads = 0,
                 Progress* progress = nullptr, std::vector<PeriodRecord>* periods = nullptr) {
  RandomGenerator random = FixedClock();
  EngineRun run;
  run.out.resize(s.size());
  run.sum = Rhythmize(s.data(), static_cast<int>(s.size()), fs, p, modulator, envelope.ForEngine(), random,
                      progress, run.out.data(), periods, threads);
  return run;
}

// Counts the steps and notes every thread that called.
class ThreadsOfProgress : public Progress {
 public:
  void Begin(std::int64_t) override { Note(); }
  bool Step() override {
    Note();
    ++steps;
    return true;
  }
  void End() override { Note(); }
  std::set<std::thread::id> callers;
  int steps = 0;

 private:
  void Note() {
    std::lock_guard lock(m_mutex);
    callers.insert(std::this_thread::get_id());
  }
  std::mutex m_mutex;
};

}  // namespace

TEST(Rhythmize, EqualsTheSampleBySampleRunBitForBit) {
  const int fs = 44100;
  const std::vector<std::int16_t> s = TestSound(30011);
  Block modulator(1300);
  for (int i = 0; i < modulator.GetSize(); ++i)
    modulator[i] = std::sin(i * 0.013) * (i % 7 == 0 ? -0.5 : 1.0);
  struct Case {
    double period, td, md, delayMs;
  } cases[] = {
      {0.01, 0.1, 0.1, 100},   // periods of a few hundred samples
      {0.25, 0.4, 0.6, 30},    // periods longer than a chunk
      {0.0001, 0.5, 0.3, 5},   // periods of a few samples
      {1e-30, 0.0, 0.2, 100},  // shorter than a sample: one sample each
      {0.003, 3.0, 2.5, 400},  // deviations beyond 200 %: some periods drawn below 0
  };
  for (const Case& c : cases) {
    for (int type = -1; type <= 6; ++type) {
      const RhythmParameters p{c.period, c.td, c.md, c.delayMs * 0.001 * fs, type};
      const Block* m = type == mtFrequency || type == mtAmpFreq ? &modulator : nullptr;
      SeamlessCo expectedEnvelope = VariedEnvelope(), engineEnvelope = VariedEnvelope();
      const EngineRun expected = Reference(s, fs, p, m, expectedEnvelope);
      const EngineRun run = Engine(s, fs, p, engineEnvelope, m);
      ASSERT_EQ(std::memcmp(expected.out.data(), run.out.data(), s.size() * sizeof(float)), 0)
          << "period " << c.period << " type " << type;
      EXPECT_EQ(run.sum, expected.sum) << "period " << c.period << " type " << type;
      EXPECT_EQ(engineEnvelope[539], expectedEnvelope[539]) << "period " << c.period;
    }
  }
}

TEST(Rhythmize, PeriodsShorterThanOneSampleCountAsOneSample) {
  const std::vector<std::int16_t> s = TestSound(20000);
  for (const int type : {mtAmplitude, mtAmpDet, mtDistortion}) {
    SeamlessCo a = VariedEnvelope(), b = VariedEnvelope();
    // Finishes, as if each period were one sample long.
    const EngineRun tiny = Engine(s, 44100, {1e-30, 0.0, 0.1, 441, type}, a);
    const EngineRun oneSample = Engine(s, 44100, {1.0 / 44100, 0.0, 0.1, 441, type}, b);
    ASSERT_EQ(std::memcmp(tiny.out.data(), oneSample.out.data(), s.size() * sizeof(float)), 0)
        << type;
  }
}

TEST(Rhythmize, WithoutDeviationsEveryPeriodIsPAndEveryMagnitudeOne) {
  // fs = 1000, P = 0.10037 s: period k ends at sample ceil(100.37 k), never
  // near a tie. The source alternates in sign, so each new period takes
  // effect one sample after its boundary. The envelope rises from 0 to 1 over
  // its 539 points; the seam point becomes e0 Mn / Mc = 0.
  const double P = 0.10037;
  std::vector<std::int16_t> s(2000);
  for (int i = 0; i < 2000; ++i) s[i] = static_cast<std::int16_t>(i % 2 == 0 ? 1000 : -1000);
  SeamlessCo envelope(539, nullptr, 0.0, nullptr);
  for (int j = 0; j < 539; ++j) envelope[j] = j / 538.0;
  envelope[539] = 0.7;
  const EngineRun run = Engine(s, 1000, {P, 0.0, 0.0, 0.0, mtAmplitude}, envelope);
  EXPECT_EQ(envelope[539], 0.0);
  auto E = [](double phase) {  // the envelope with its seam point 0
    const double position = phase * 539;
    const int k = static_cast<int>(position);
    const double below = k / 538.0;
    const double above = k + 1 <= 538 ? (k + 1) / 538.0 : 0.0;
    return below + (above - below) * (position - k);
  };
  int period = 0;
  for (int i = 0; i < 2000; ++i) {
    while (i >= std::ceil((period + 1) * P * 1000)) ++period;
    if (period > 0 && i == std::ceil(period * P * 1000)) continue;  // keeps the old level
    const double S = 1 + std::log(std::fabs(run.out[i]) / 1000.0) / std::log(20.0);
    ASSERT_NEAR(S, E((i / 1000.0 - period * P) / P), 1e-6) << "sample " << i;
  }
}

TEST(Rhythmize, FlatEnvelopesGiveKnownGainsAndReads) {
  // Level 0: gain 0.05 everywhere. Level 0.5: Detonation reads every sample
  // at its own place. Level 0 with Detonation shifts the reads by half the
  // maximum delay into the future: with a delay longer than the sound,
  // nothing is left to read.
  const std::vector<std::int16_t> s = TestSound(10000);
  for (const double td : {0.0, 0.3}) {
    SeamlessCo zero(539, nullptr, 0.0, nullptr), half(539, nullptr, 0.5, nullptr);
    const EngineRun quiet = Engine(s, 44100, {0.05, td, 0.0, 4410, mtAmplitude}, zero);
    const EngineRun still = Engine(s, 44100, {0.05, td, 0.0, 4410, mtDetonation}, half);
    const EngineRun beyond =
        Engine(s, 44100, {0.05, td, 0.1, 2 * (10000 + 25), mtDetonation}, zero);
    double sum = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
      ASSERT_NEAR(quiet.out[i], 0.05 * s[i], 1e-6 * 32767) << i;
      ASSERT_EQ(still.out[i], static_cast<float>(s[i])) << i;
      ASSERT_EQ(beyond.out[i], 0.0f) << i;
      sum += s[i];
    }
    EXPECT_EQ(still.sum, sum);
    EXPECT_EQ(beyond.sum, 0.0);
  }
}

TEST(Rhythmize, DistortionAndRecentPeak) {
  // At the first sample the recent peak is 0: any sound there is cut to 0.
  std::vector<std::int16_t> s = TestSound(1000);
  s[0] = 5000;
  SeamlessCo one(539, nullptr, 1.0, nullptr);
  EXPECT_EQ(Engine(s, 44100, {0.05, 0.0, 0.0, 0.0, mtDistortion}, one).out[0], 0.0f);
  // The largest magnitude of up to 20 samples before; -32768 counts as 32768.
  const std::int16_t samples[] = {3, -32768, 5, 0, 7, 1, 1, 1, 1, 1, 1, 1, 1,
                                  1, 1,      1, 1, 1, 1, 1, 1, 1, 1, 9, 2, -4};
  for (const auto& [i, peak] :
       {std::pair{0, 0}, std::pair{1, 3}, std::pair{2, 32768}, std::pair{21, 32768},
        std::pair{22, 7}, std::pair{24, 9}, std::pair{25, 9}}) {
    EXPECT_EQ(RecentPeak(samples, i), peak) << i;
  }
  // The chunk form gives the same peaks, from the sound's start on, with the
  // extreme magnitudes among them.
  std::vector<std::int16_t> sound = TestSound(5000);
  sound[12] = -32768, sound[2600] = -32768, sound[2610] = 32767, sound[4990] = -32768;
  for (const auto& [first, count] :
       {std::pair{0, 4096}, std::pair{0, 7}, std::pair{13, 41}, std::pair{2499, 2501}}) {
    std::vector<int> peaks(count);
    RecentPeaks(sound.data(), first, count, peaks.data());
    for (int k = 0; k < count; ++k) ASSERT_EQ(peaks[k], RecentPeak(sound.data(), first + k));
  }
}

TEST(Rhythmize, ANewPeriodWaitsForTheSourceToChangeSign) {
  // fs = 1000, P = 0.1005 s: the first boundary is sample 101. The envelope
  // rises, so the gain grows from sample to sample until the boundary; then
  // it holds until the source changes sign (at 110), or at once where the
  // source is exactly 0 at the boundary.
  SeamlessCo rising(539, nullptr, 0.0, nullptr);
  for (int j = 0; j <= 539; ++j) rising[j] = 0.1 + 0.9 * j / 539.0;
  auto gains = [&](std::vector<std::int16_t> s) {
    const EngineRun run = Engine(s, 1000, {0.1005, 0.0, 0.0, 0.0, mtAmplitude}, rising);
    std::vector<double> g(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) g[i] = s[i] != 0 ? run.out[i] / s[i] : 0.0;
    return g;
  };
  std::vector<std::int16_t> s(200, 1000);
  for (int i = 110; i < 200; ++i) s[i] = -1000;
  const std::vector<double> g = gains(s);
  EXPECT_LT(g[99], g[100]);
  for (int i = 101; i < 110; ++i) EXPECT_EQ(g[i], g[100]) << i;
  EXPECT_LT(g[110], g[100] / 2);  // the new period starts low
  std::vector<std::int16_t> z(200, 1000);
  z[101] = 0;
  const std::vector<double> h = gains(z);
  EXPECT_LT(h[102], h[100] / 2);
}

TEST(Rhythmize, SameBitsForOneTwoAndSixteenThreads) {
  // 37 full chunks and a partial one; the transcription of the run is the oracle.
  const int fs = 44100;
  const std::vector<std::int16_t> s = TestSound(37 * 2048 + 777);
  Block modulator(1999);  // prime: chunks start at every phase of it
  for (int i = 0; i < modulator.GetSize(); ++i) modulator[i] = std::cos(i * 0.021) * (i % 5 == 0 ? -0.3 : 1.0);
  struct Case {
    double period, td, md, delayMs;
  } cases[] = {
      {0.02, 0.3, 0.4, 60},     // many periods per chunk
      {0.3, 0.5, 0.6, 10},      // periods spanning chunks
      {0.0002, 2.5, 0.2, 300},  // periods of a few samples, some drawn below 0
  };
  for (const Case& c : cases) {
    for (int type = -1; type <= 6; ++type) {
      for (const bool withModulator : {false, true}) {
        if (UsesModulator(type) && !withModulator) continue;
        const RhythmParameters p{c.period, c.td, c.md, c.delayMs * 0.001 * fs, type};
        const Block* m = withModulator ? &modulator : nullptr;
        SeamlessCo expectedEnvelope = VariedEnvelope();
        const EngineRun expected = Reference(s, fs, p, m, expectedEnvelope);
        std::vector<PeriodRecord> firstPeriods;
        for (const int threads : {1, 2, 16}) {
          SCOPED_TRACE(testing::Message() << "period " << c.period << " type " << type
                                          << " modulator " << withModulator << " threads " << threads);
          SeamlessCo envelope = VariedEnvelope();
          ThreadsOfProgress progress;
          std::vector<PeriodRecord> periods;
          const EngineRun run = Engine(s, fs, p, envelope, m, threads, &progress, &periods);
          ASSERT_EQ(std::memcmp(expected.out.data(), run.out.data(), s.size() * sizeof(float)), 0);
          EXPECT_EQ(run.sum, expected.sum);
          EXPECT_EQ(envelope[539], expectedEnvelope[539]);
          // The window's progress bar lives on the calling thread.
          EXPECT_EQ(progress.callers, std::set{std::this_thread::get_id()});
          EXPECT_GT(progress.steps, 50);
          if (threads == 1) firstPeriods = periods;
          ASSERT_EQ(periods.size(), firstPeriods.size());
          for (std::size_t k = 0; k < periods.size(); ++k) {
            ASSERT_EQ(periods[k].first, firstPeriods[k].first) << k;
            ASSERT_EQ(periods[k].length, firstPeriods[k].length) << k;
            ASSERT_EQ(periods[k].magnitude, firstPeriods[k].magnitude) << k;
          }
        }
      }
    }
  }
}

TEST(Rhythmize, SameBitsWhereTheRingOfChunksWrapsAround) {
  // More chunks than the ring holds for 16 threads (256), and a ring of 64 or
  // 128 that comes round several times for 1 and 2.
  const int fs = 44100;
  const std::vector<std::int16_t> s = TestSound(300 * 2048 + 99);
  const RhythmParameters p{0.05, 0.3, 0.4, 60 * 0.001 * fs, mtAmpDet};
  SeamlessCo expectedEnvelope = VariedEnvelope();
  const EngineRun expected = Reference(s, fs, p, nullptr, expectedEnvelope);
  for (const int threads : {1, 2, 16}) {
    SeamlessCo envelope = VariedEnvelope();
    const EngineRun run = Engine(s, fs, p, envelope, nullptr, threads);
    ASSERT_EQ(std::memcmp(expected.out.data(), run.out.data(), s.size() * sizeof(float)), 0) << threads;
    EXPECT_EQ(run.sum, expected.sum) << threads;
  }
}

TEST(Rhythmize, MoreThreadsThanChunks) {
  // One short chunk and a few: the extra threads have nothing to do.
  for (const int n : {1, 300, 2048, 2049, 5000}) {
    const std::vector<std::int16_t> s = TestSound(n);
    const RhythmParameters p{0.001, 0.2, 0.3, 40, mtAmpDet};
    SeamlessCo a = VariedEnvelope(), b = VariedEnvelope();
    const EngineRun one = Engine(s, 44100, p, a, nullptr, 1);
    const EngineRun many = Engine(s, 44100, p, b, nullptr, 16);
    ASSERT_EQ(std::memcmp(one.out.data(), many.out.data(), s.size() * sizeof(float)), 0) << n;
    EXPECT_EQ(one.sum, many.sum) << n;
  }
}

TEST(RhythmizeChannels, EachChannelIsTheRunOnItWithTheSumsSignChanges) {
  // Two channels whose signs often differ, so that the sum's sign changes
  // are not either channel's.
  const int fs = 44100;
  const int n = 9 * 2048 + 100;
  const std::vector<std::int16_t> left = TestSound(n);
  std::vector<std::int16_t> right(n);
  for (int i = 0; i < n; ++i) right[i] = static_cast<std::int16_t>(15000 * std::sin(i * 0.047 + 2) - left[i] / 3);
  std::vector<int> sum(n);
  for (int i = 0; i < n; ++i) sum[i] = left[i] + right[i];
  Block modulator(777);
  for (int i = 0; i < modulator.GetSize(); ++i) modulator[i] = std::sin(i * 0.05);
  for (int type = mtAmplitude; type <= mtAmpFreq; ++type) {
    for (const int threads : {1, 2}) {
      SCOPED_TRACE(testing::Message() << "type " << type << " threads " << threads);
      const RhythmParameters p{0.01, 0.3, 0.4, 40, type};
      const Block* m = UsesModulator(type) ? &modulator : nullptr;
      SeamlessCo envelope = VariedEnvelope();
      RandomGenerator random = FixedClock();
      std::vector<float> outLeft(n), outRight(n);
      const std::int16_t* sources[] = {left.data(), right.data()};
      float* outs[] = {outLeft.data(), outRight.data()};
      ChannelTotals totals[2];
      RhythmizeChannels(sources, 2, n, fs, p, m, envelope.ForEngine(), random, nullptr, outs, totals, nullptr, threads);
      for (int c = 0; c < 2; ++c) {
        SeamlessCo referenceEnvelope = VariedEnvelope();
        const EngineRun expected = Reference(c == 0 ? left : right, fs, p, m, referenceEnvelope, &sum);
        ASSERT_EQ(std::memcmp(expected.out.data(), (c == 0 ? outLeft : outRight).data(), n * sizeof(float)), 0) << c;
        EXPECT_EQ(totals[c].sum, expected.sum);
        const auto [least, greatest] = std::minmax_element(expected.out.begin(), expected.out.end());
        EXPECT_EQ(totals[c].least, *least);
        EXPECT_EQ(totals[c].greatest, *greatest);
      }
    }
  }
}

TEST(RhythmizeSound, AStereoSoundOfTwoEqualChannelsGivesTheMonoResultInBoth) {
  const int n = 30000;
  const std::vector<std::int16_t> s = TestSound(n);
  for (int type = mtAmplitude; type <= mtAmpFreq; ++type) {
    SCOPED_TRACE(type);
    Block modulator(500);
    for (int i = 0; i < modulator.GetSize(); ++i) modulator[i] = std::cos(i * 0.07);
    const Block* m = UsesModulator(type) ? &modulator : nullptr;
    const RhythmParameters p{0.05, 0.2, 0.3, 80, type};
    SoundStore mono, stereo;
    mono.SetFormat(22050);
    mono.SetLength(n);
    std::copy(s.begin(), s.end(), mono.GetSamples(0));
    stereo.SetLength(2 * n);
    stereo.SetFormat(22050, 2);
    for (int i = 0; i < n; ++i) *stereo.GetSamples(2 * i) = *stereo.GetSamples(2 * i + 1) = s[i];
    SeamlessCo a = VariedEnvelope(), b = VariedEnvelope();
    RandomGenerator ra = FixedClock(), rb = FixedClock();
    std::vector<PeriodRecord> monoPeriods, stereoPeriods;
    ASSERT_EQ(RhythmizeSound(mono, p, m, a.ForEngine(), ra, nullptr, &monoPeriods), RhythmOutcome::Stored);
    ASSERT_EQ(RhythmizeSound(stereo, p, m, b.ForEngine(), rb, nullptr, &stereoPeriods), RhythmOutcome::Stored);
    EXPECT_EQ(stereo.GetChannels(), 2);
    EXPECT_EQ(stereo.GetFormat().nBlockAlign, 4);
    for (int i = 0; i < n; ++i) {
      ASSERT_EQ(*stereo.GetSamples(2 * i), *mono.GetSamples(i)) << i;
      ASSERT_EQ(*stereo.GetSamples(2 * i + 1), *mono.GetSamples(i)) << i;
    }
    EXPECT_EQ(stereoPeriods.size(), monoPeriods.size());
  }
}

// The right channel twice the left: each of its values is exactly twice the
// left's, whatever the type, so the stored samples differ from twice the
// left's by the rounding of one sample at most. Channels taken apart from the
// wrong places, swapped or scaled apart would not.
TEST(RhythmizeSound, ARightChannelTwiceTheLeftComesOutTwiceTheLeft) {
  const int n = 30000;
  const std::vector<std::int16_t> s = TestSound(n);
  Block modulator(500);
  for (int i = 0; i < modulator.GetSize(); ++i) modulator[i] = std::cos(i * 0.07);
  for (int type = mtAmplitude; type <= mtAmpFreq; ++type) {
    SCOPED_TRACE(type);
    const RhythmParameters p{0.05, 0.2, 0.3, 80, type};
    SoundStore stereo;
    stereo.SetLength(2 * n);
    stereo.SetFormat(22050, 2);
    for (int i = 0; i < n; ++i) {
      *stereo.GetSamples(2 * i) = static_cast<std::int16_t>(s[i] / 2);
      *stereo.GetSamples(2 * i + 1) = static_cast<std::int16_t>(2 * (s[i] / 2));
    }
    SeamlessCo envelope = VariedEnvelope();
    RandomGenerator random = FixedClock();
    ASSERT_EQ(RhythmizeSound(stereo, p, UsesModulator(type) ? &modulator : nullptr, envelope.ForEngine(), random,
                             nullptr),
              RhythmOutcome::Stored);
    int loudest = 0;
    for (int i = 0; i < n; ++i) {
      const int left = *stereo.GetSamples(2 * i), right = *stereo.GetSamples(2 * i + 1);
      ASSERT_LE(std::abs(right - 2 * left), 1) << i;
      loudest = std::max(loudest, std::abs(right));
    }
    EXPECT_GE(loudest, 32766);  // the joint peak is the right channel's
  }
}

// Two runs that store nothing: magnitudes drawn up to thousands of times the
// envelope's give gains beyond the range of numbers (an overflow), and a
// still read of a constant sound gives values that all centre to 0 (no peak
// to scale by). Either way the sound, whose stereo samples went back to the
// system during the run, comes out as it went in.
TEST(RhythmizeSound, ARunThatStoresNothingLeavesTheSoundAsItWas) {
  const int n = 20000;
  const std::vector<std::int16_t> s = TestSound(n);
  struct Run {
    const char* what;
    RhythmParameters p;
    bool constant;
    RhythmOutcome outcome;
  };
  for (const Run& run : {Run{"overflow", {0.05, 0.2, 1e4, 80, mtAmplitude}, false, RhythmOutcome::Overflow},
                         Run{"no peak", {0.05, 0.0, 0.0, 80, mtDetonation}, true, RhythmOutcome::Stored}}) {
    for (const int channels : {1, 2}) {
      SCOPED_TRACE(testing::Message() << run.what << ", channels " << channels);
      SoundStore sound;
      sound.SetLength(channels * n);
      sound.SetFormat(22050, channels);
      for (int i = 0; i < channels * n; ++i) {
        const int c = i % channels;
        *sound.GetSamples(i) = static_cast<std::int16_t>(run.constant ? (c == 0 ? 100 : -200) : s[i / channels] - c);
      }
      const std::vector<std::int16_t> before(sound.GetSamples(0), sound.GetSamples(0) + channels * n);
      SeamlessCo envelope = run.constant ? SeamlessCo(539, nullptr, 0.5, nullptr) : VariedEnvelope();
      RandomGenerator random = FixedClock();
      ASSERT_EQ(RhythmizeSound(sound, run.p, nullptr, envelope.ForEngine(), random, nullptr), run.outcome);
      ASSERT_EQ(sound.GetLength(), channels * n);
      EXPECT_EQ(sound.GetChannels(), channels);
      EXPECT_TRUE(std::equal(before.begin(), before.end(), sound.GetSamples(0)));
    }
  }
}

// Three channels would be stored as two over frames counted for two, read
// past the rhythm's values: the rhythm ends the program instead.
TEST(RhythmizeSoundDeathTest, MoreThanTwoChannelsFailAPrecondition) {
  SoundStore sound;
  sound.SetLength(3 * 1000);
  sound.SetFormat(22050, 3);
  SeamlessCo envelope = VariedEnvelope();
  RandomGenerator random = FixedClock();
  const RhythmParameters p{0.05, 0.0, 0.0, 80, mtAmplitude};
  EXPECT_EXIT(RhythmizeSound(sound, p, nullptr, envelope.ForEngine(), random, nullptr), ::testing::ExitedWithCode(3),
              "Assertion failed: a sound of one or two channels");
}

// RhythmizeSound finds the peak from the outputs' extremes and stores on
// several threads; the samples are those of storing RhythmizedFloats' values.
// Long enough (13 s) for the store to be shared out.
TEST(RhythmizeSound, StoresTheRhythmizedFloats) {
  const int n = 13 * 44100;
  const std::vector<std::int16_t> s = TestSound(n);
  Block modulator(3000);
  for (int i = 0; i < modulator.GetSize(); ++i) modulator[i] = std::sin(i * 0.01);
  for (int type = mtAmplitude; type <= mtAmpFreq; ++type) {
    for (const int channels : {1, 2}) {
      SCOPED_TRACE(testing::Message() << "type " << type << " channels " << channels);
      const Block* m = UsesModulator(type) ? &modulator : nullptr;
      const RhythmParameters p{0.3, 0.2, 0.3, 60, type};
      SoundStore sound, expected;
      for (SoundStore* store : {&sound, &expected}) {
        store->SetLength(channels * n);
        store->SetFormat(44100, channels);
        for (int i = 0; i < channels * n; ++i) {
          *store->GetSamples(i) = static_cast<std::int16_t>(s[i / channels] / (1 + i % channels));
        }
      }
      SeamlessCo a = VariedEnvelope(), b = VariedEnvelope();
      RandomGenerator ra = FixedClock(), rb = FixedClock();
      const LargeArray<float> floats = RhythmizedFloats(expected, p, m, a.ForEngine(), ra, nullptr);
      ASSERT_TRUE(floats);
      const float* parts[] = {floats.get(), floats.get() + n};
      ASSERT_TRUE(expected.SetFromChannels(parts, channels, 44100));
      ASSERT_EQ(RhythmizeSound(sound, p, m, b.ForEngine(), rb, nullptr), RhythmOutcome::Stored);
      ASSERT_EQ(std::memcmp(sound.GetSamples(0), expected.GetSamples(0), sizeof(std::int16_t) * channels * n), 0);
    }
  }
}

TEST(SoundStore, ChannelsAreScaledByOneFactorAndInterleaved) {
  SoundStore sound;
  sound.SetLength(6);
  const float left[] = {1, -2, 0.5f};
  const float right[] = {0.5f, 1, -1};
  const float* channels[] = {left, right};
  ASSERT_TRUE(sound.SetFromChannels(channels, 2, 8000));
  const std::vector<std::int16_t> expected = {16383, 8191, -32767, 16383, 8191, -16383};
  EXPECT_EQ(std::vector<std::int16_t>(sound.GetSamples(0), sound.GetSamples(0) + 6), expected);
  EXPECT_EQ(sound.GetFrames(), 3);
  EXPECT_EQ(sound.GetFormat().nAvgBytesPerSec, 32000u);
}
