#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "EngineRender.h"
#include "LearnRhythm.h"
#include "LearnedSettings.h"
#include "Progress.h"
#include "RhythmEngine.h"
#include "RoundTripShapes.h"

namespace {

struct RoundTrip {
  RenderSource source;
  Shape shape;
  double period;  // seconds
  double timeDeviation;
  double magnitudeDeviation;
  int type;
  double seconds;
};

void PrintTo(const RoundTrip& c, std::ostream* os) {
  *os << (c.source == RenderSource::WhiteNoise ? "white" : "band") << " shape " << static_cast<int>(c.shape)
      << " P " << c.period << " td " << c.timeDeviation << " md " << c.magnitudeDeviation << " type " << c.type
      << " " << c.seconds << " s";
}

class LearnRoundTrip : public testing::TestWithParam<RoundTrip> {};

// The engine's own renders come back with their period within 1 %, both
// deviations within 3 percentage points and the envelope's shape.
TEST_P(LearnRoundTrip, GivesBackTheEnginesSettings) {
  const RoundTrip& c = GetParam();
  const std::vector<double> truth = EnvelopeOf(c.shape);
  const std::vector<std::int16_t> sound =
      RenderRhythm(c.source, truth, c.period, c.timeDeviation, c.magnitudeDeviation, c.type, c.seconds, 11);
  const LearnedRhythm learned = LearnRhythm(sound.data(), static_cast<std::int64_t>(sound.size()), kRenderRate);

  const double correlation = EnvelopeCorrelation(truth, learned.envelope);
  // The figures of every row, for the record next to the bars.
  std::printf("round trip: %s learned P %.4f td %.2f md %.2f correlation %.4f\n",
              testing::PrintToString(c).c_str(), learned.period, learned.timeDeviation, learned.magnitudeDeviation,
              correlation);
  EXPECT_NEAR(learned.period, c.period, 0.01 * c.period);
  EXPECT_NEAR(learned.timeDeviation, c.timeDeviation, 3.0);
  EXPECT_NEAR(learned.magnitudeDeviation, c.magnitudeDeviation, 3.0);
  EXPECT_GE(correlation, 0.95);
  EXPECT_GE(learned.confidence, 0.5);

  ASSERT_EQ(learned.envelope.size(), static_cast<std::size_t>(kEnvelopeValues));
  EXPECT_EQ(*std::max_element(learned.envelope.begin(), learned.envelope.end()), 1.0);
  EXPECT_GE(*std::min_element(learned.envelope.begin(), learned.envelope.end()), 0.0);
  // The periods follow one another and span most of the sound.
  ASSERT_GE(learned.periods.size(), 2u);
  for (std::size_t k = 0; k + 1 < learned.periods.size(); ++k)
    EXPECT_EQ(learned.periods[k].start + learned.periods[k].length, learned.periods[k + 1].start);
  const std::int64_t covered = learned.periods.back().start + learned.periods.back().length - learned.periods.front().start;
  EXPECT_GT(static_cast<double>(covered), static_cast<double>(sound.size()) - 4.5 * c.period * kRenderRate);
}

// Each deviation of 20 % comes with enough periods (a few hundred) that the
// drawn lengths and magnitudes themselves spread as the settings say.
INSTANTIATE_TEST_SUITE_P(
    EngineRenders, LearnRoundTrip,
    testing::Values(RoundTrip{RenderSource::WhiteNoise, Shape::SinglePeak, 0.1, 20, 20, mtAmplitude, 45},
                    RoundTrip{RenderSource::BandNoise, Shape::TwoPeaks, 0.25, 10, 10, mtAmpDet, 60},
                    RoundTrip{RenderSource::WhiteNoise, Shape::Swell, 2.0, 0, 0, mtAmplitude, 40},
                    RoundTrip{RenderSource::BandNoise, Shape::Swell, 0.5, 5, 15, mtAmpFreq, 60},
                    RoundTrip{RenderSource::WhiteNoise, Shape::TwoPeaks, 1.0, 2, 0, mtDistortion, 30},
                    RoundTrip{RenderSource::BandNoise, Shape::SinglePeak, 0.3, 5, 0, mtDistortion, 30},
                    RoundTrip{RenderSource::WhiteNoise, Shape::Swell, 0.12, 10, 5, mtAmpDet, 45},
                    RoundTrip{RenderSource::BandNoise, Shape::TwoPeaks, 0.4, 5, 20, mtAmplitude, 80},
                    RoundTrip{RenderSource::WhiteNoise, Shape::TwoPeaks, 0.3, 10, 0, mtAmpFreq, 60},
                    // Every type on every shape; the Distortion rows with a spread of
                    // magnitudes, which its clipping at the top hides from the loud phases.
                    RoundTrip{RenderSource::WhiteNoise, Shape::SinglePeak, 0.3, 10, 15, mtAmpDet, 60},
                    RoundTrip{RenderSource::WhiteNoise, Shape::Swell, 0.3, 10, 15, mtDistortion, 60},
                    RoundTrip{RenderSource::WhiteNoise, Shape::SinglePeak, 0.5, 5, 20, mtDistortion, 90},
                    RoundTrip{RenderSource::WhiteNoise, Shape::TwoPeaks, 0.3, 10, 15, mtDistortion, 60},
                    RoundTrip{RenderSource::BandNoise, Shape::SinglePeak, 0.3, 10, 15, mtAmpFreq, 60},
                    RoundTrip{RenderSource::WhiteNoise, Shape::TwoPeaks, 0.3, 10, 15, mtAmpFreq, 60},
                    // A 20 % spread of lengths: the aligned starts mix the phases of
                    // neighbouring periods on the flanks that tell a clipped period's
                    // magnitude (it read 5 for 10).
                    RoundTrip{RenderSource::WhiteNoise, Shape::TwoPeaks, 0.3, 20, 10, mtDistortion, 90},
                    // The window's Test curve comes back half-way through its period;
                    // with a wide spread of lengths that peak once halved the period.
                    RoundTrip{RenderSource::WhiteNoise, Shape::TestCurve, 0.1, 20, 20, mtAmplitude, 45},
                    RoundTrip{RenderSource::BandNoise, Shape::TestCurve, 0.2, 20, 10, mtAmpDet, 90},
                    // Band noise's level swings from period to period by itself, and a
                    // shifted read makes it swing more at some phases than at others:
                    // taken as the same everywhere, that noise hid a quarter of the spread.
                    RoundTrip{RenderSource::BandNoise, Shape::SinglePeak, 0.1, 10, 20, mtAmpDet, 30},
                    // No spread drawn, and band noise's own swing through a shifted
                    // read that stands within its sampling error: once read as 6 to 10.
                    RoundTrip{RenderSource::BandNoise, Shape::TwoPeaks, 0.3, 0, 0, mtAmpDet, 90},
                    RoundTrip{RenderSource::BandNoise, Shape::SinglePeak, 0.1, 0, 0, mtAmplitude, 30},
                    // Band noise clipped: its levels answer a magnitude by half and
                    // hide it in their noise (md 0 to 6 for 10); its clip threshold does not.
                    RoundTrip{RenderSource::BandNoise, Shape::TwoPeaks, 0.3, 20, 10, mtDistortion, 90},
                    RoundTrip{RenderSource::BandNoise, Shape::TestCurve, 0.1, 20, 20, mtDistortion, 30}));

// A rhythm in the pitch alone hardly moves the level, and what the quiet
// phases say of the loud ones is then mostly noise: no magnitude spread
// comes of it.
TEST(LearnRhythm, APitchRhythmDrawsNoMagnitudeSpread) {
  for (const std::uint64_t seed : {1, 2, 3, 4}) {
    const std::vector<std::int16_t> sound =
        RenderRhythm(RenderSource::BandNoise, EnvelopeOf(Shape::TestCurve), 0.5, 10, 0, mtFrequency, 60, seed);
    const LearnedRhythm learned = LearnRhythm(sound.data(), static_cast<std::int64_t>(sound.size()), kRenderRate);
    std::printf("pitch rhythm, seed %d: P %.4f td %.2f md %.2f\n", static_cast<int>(seed), learned.period,
                learned.timeDeviation, learned.magnitudeDeviation);
    EXPECT_NEAR(learned.period, 0.5, 0.02) << "seed " << seed;
    EXPECT_LT(learned.magnitudeDeviation, 5.0) << "seed " << seed;
  }
}

}  // namespace

namespace {

struct Awkward {
  const char* what;
  std::vector<std::int16_t> samples;
  int rate;
  LearnOptions options;
};

std::vector<std::int16_t> WhiteNoise(int count, unsigned seed) {
  std::mt19937 engine(seed);
  std::uniform_int_distribution<int> sample(-20000, 20000);
  std::vector<std::int16_t> s(static_cast<std::size_t>(count));
  for (std::int16_t& v : s) v = static_cast<std::int16_t>(sample(engine));
  return s;
}

// `seconds` of a steady sine of `hz` at `rate`, at 0.7 of full scale.
std::vector<std::int16_t> Tone(double hz, int rate, double seconds) {
  std::vector<std::int16_t> s(static_cast<std::size_t>(seconds * rate));
  for (std::size_t i = 0; i < s.size(); ++i)
    s[i] = static_cast<std::int16_t>(std::lround(22937.0 * std::sin(2.0 * M_PI * hz * static_cast<double>(i) / rate)));
  return s;
}

// Inputs without a rhythm, or outside every sensible range, give a result
// of the promised form, never a crash or a hang, and a low confidence.
TEST(LearnRhythm, InputsWithoutARhythmGiveALowConfidence) {
  LearnOptions odd;
  odd.points = 0;
  odd.minPeriod = std::numeric_limits<double>::quiet_NaN();
  odd.maxPeriod = -3.0;
  LearnOptions reversed;
  reversed.minPeriod = 5.0;
  reversed.maxPeriod = 0.01;
  LearnOptions tiny;
  tiny.minPeriod = 1e-9;
  tiny.maxPeriod = 1e-8;
  std::vector<std::int16_t> click(100000, 0);
  click[50000] = 32767;
  std::vector<Awkward> cases;
  cases.push_back({"nothing", {}, 44100, {}});
  cases.push_back({"one sample", {1234}, 44100, {}});
  cases.push_back({"silence", std::vector<std::int16_t>(441000, 0), 44100, {}});
  cases.push_back({"constant", std::vector<std::int16_t>(441000, -32768), 44100, {}});
  cases.push_back({"a click", click, 44100, {}});
  cases.push_back({"white noise", WhiteNoise(20 * 44100, 3), 44100, {}});
  // Steady tones whose block levels repeat with a period of the blocks'
  // making: some below the range of periods, some aliased into it.
  for (const double hz : {40.49, 100.0, 162.1, 440.0, 1000.0, 3000.0})
    cases.push_back({"a steady tone", Tone(hz, 44100, 8), 44100, {}});
  cases.push_back({"a steady tone at 48 kHz", Tone(480.8, 48000, 8), 48000, {}});
  cases.push_back({"rate 0", WhiteNoise(44100, 4), 0, {}});
  cases.push_back({"rate -8000", WhiteNoise(44100, 5), -8000, {}});
  cases.push_back({"rate 1", WhiteNoise(5000, 6), 1, {}});
  cases.push_back({"rate INT_MAX", WhiteNoise(5000, 7), std::numeric_limits<int>::max(), {}});
  cases.push_back({"odd options", WhiteNoise(44100, 8), 44100, odd});
  cases.push_back({"reversed options", WhiteNoise(44100, 9), 44100, reversed});
  cases.push_back({"periods below a sample", WhiteNoise(44100, 10), 44100, tiny});
  for (const Awkward& c : cases) {
    const LearnedRhythm learned =
        LearnRhythm(c.samples.data(), static_cast<std::int64_t>(c.samples.size()), c.rate, c.options);
    const std::size_t points = static_cast<std::size_t>(std::max(2, c.options.points));
    EXPECT_EQ(learned.envelope.size(), points) << c.what;
    for (double v : learned.envelope) EXPECT_TRUE(v >= 0.0 && v <= 1.0) << c.what;
    EXPECT_TRUE(learned.period >= 0.0 && std::isfinite(learned.period)) << c.what;
    EXPECT_TRUE(learned.timeDeviation >= 0.0 && std::isfinite(learned.timeDeviation)) << c.what;
    EXPECT_TRUE(learned.magnitudeDeviation >= 0.0 && std::isfinite(learned.magnitudeDeviation)) << c.what;
    EXPECT_LT(learned.confidence, 0.5) << c.what;
    EXPECT_GE(learned.confidence, 0.0) << c.what;
  }
  // A null pointer with a count is refused, not read.
  EXPECT_EQ(LearnRhythm(nullptr, 1000, 44100).period, 0.0);
}

// Clicks of a millisecond fall into one level's block or the next; the
// period is theirs, not a multiple of it where the blocks happen to line up.
TEST(LearnRhythm, FindsThePeriodOfAClickTrack) {
  constexpr int kRate = 44100;
  for (const double period : {0.06, 0.25, 0.4, 0.7, 1.3, 3.0}) {
    std::vector<std::int16_t> s(static_cast<std::size_t>(std::max(40.0, 10 * period) * kRate), 0);
    const auto every = static_cast<std::size_t>(period * kRate);
    for (std::size_t start = 0; start + 44 <= s.size(); start += every)
      for (std::size_t k = 0; k < 44; ++k) s[start + k] = (k / 22) % 2 == 0 ? 20000 : -20000;
    const LearnedRhythm learned = LearnRhythm(s.data(), static_cast<std::int64_t>(s.size()), kRate);
    const double truth = static_cast<double>(every) / kRate;
    EXPECT_NEAR(learned.period, truth, 0.01 * truth) << "clicks every " << period << " s";
    EXPECT_GE(learned.confidence, 0.5) << "clicks every " << period << " s";
  }
}

// A constant offset in the samples changes nothing that is learned.
TEST(LearnRhythm, IgnoresAnOffset) {
  const std::vector<std::int16_t> sound =
      RenderRhythm(RenderSource::WhiteNoise, EnvelopeOf(Shape::TwoPeaks), 0.3, 10, 10, mtAmplitude, 30, 11);
  std::vector<std::int16_t> half(sound.size()), shifted(sound.size());
  for (std::size_t i = 0; i < sound.size(); ++i)
    half[i] = static_cast<std::int16_t>(sound[i] / 2), shifted[i] = static_cast<std::int16_t>(half[i] + 8000);
  const LearnedRhythm plain = LearnRhythm(half.data(), static_cast<std::int64_t>(half.size()), kRenderRate);
  const LearnedRhythm offset = LearnRhythm(shifted.data(), static_cast<std::int64_t>(shifted.size()), kRenderRate);
  EXPECT_NEAR(offset.period, plain.period, 1e-6);
  EXPECT_NEAR(offset.timeDeviation, plain.timeDeviation, 0.01);
  EXPECT_NEAR(offset.magnitudeDeviation, plain.magnitudeDeviation, 0.01);
  EXPECT_GT(EnvelopeCorrelation(plain.envelope, offset.envelope), 0.9999);
}

// A stereo sound whose channels are in opposite phase keeps its rhythm,
// as do channels that are the same.
TEST(LearnFromSamples, LearnsStereoInEitherPhase) {
  const std::vector<std::int16_t> sound =
      RenderRhythm(RenderSource::WhiteNoise, EnvelopeOf(Shape::SinglePeak), 0.3, 0, 0, mtAmplitude, 30, 12);
  for (const int sign : {1, -1}) {
    std::vector<std::int16_t> stereo;
    for (const std::int16_t v : sound) stereo.push_back(v), stereo.push_back(static_cast<std::int16_t>(sign * v));
    const LearnedRhythm learned = LearnFromSamples(stereo.data(), static_cast<int>(sound.size()), 2, kRenderRate);
    EXPECT_NEAR(learned.period, 0.3, 0.003) << "sign " << sign;
    EXPECT_GE(learned.confidence, kLeastConfidence) << "sign " << sign;
  }
}

// A sound that fades in, or out, keeps its period and its spreads: the fade
// is no rhythm, and no spread of magnitudes either.
TEST(LearnRhythm, LearnsASoundThatFades) {
  const std::vector<std::int16_t> sound =
      RenderRhythm(RenderSource::WhiteNoise, EnvelopeOf(Shape::SinglePeak), 0.3, 10, 10, mtAmplitude, 60, 13);
  const double n = static_cast<double>(sound.size());
  for (const bool in : {true, false}) {
    std::vector<std::int16_t> faded(sound.size());
    for (std::size_t i = 0; i < sound.size(); ++i) {
      const double t = static_cast<double>(i) / n;  // a linear fade over half the sound
      const double gain = in ? std::min(1.0, 2.0 * t) : std::min(1.0, 2.0 * (1.0 - t));
      faded[i] = static_cast<std::int16_t>(std::lround(gain * sound[i]));
    }
    const LearnedRhythm learned = LearnRhythm(faded.data(), static_cast<std::int64_t>(faded.size()), kRenderRate);
    EXPECT_NEAR(learned.period, 0.3, 0.003) << (in ? "in" : "out");
    EXPECT_NEAR(learned.timeDeviation, 10.0, 3.0) << (in ? "in" : "out");
    EXPECT_NEAR(learned.magnitudeDeviation, 10.0, 3.0) << (in ? "in" : "out");
  }
}

// A loud steady hum under the rhythm (50 or 60 Hz, as loud as the rhythm's
// peak) hides neither its period nor the spread of its lengths. (Its
// magnitudes it does hide: the hum holds the quiet phases up.)
TEST(LearnRhythm, LearnsARhythmUnderAHum) {
  const std::vector<std::int16_t> sound =
      RenderRhythm(RenderSource::WhiteNoise, EnvelopeOf(Shape::SinglePeak), 0.3, 10, 10, mtAmplitude, 30, 14);
  for (const double hertz : {50.0, 60.0}) {
    for (const double loudness : {0.2, 0.5}) {
      std::vector<std::int16_t> hummed(sound.size());
      for (std::size_t i = 0; i < sound.size(); ++i) {
        const double hum = loudness * 32767 * std::sin(2 * M_PI * hertz * static_cast<double>(i) / kRenderRate);
        hummed[i] = static_cast<std::int16_t>(std::clamp(std::lround(0.5 * sound[i] + hum), -32768L, 32767L));
      }
      const LearnedRhythm learned = LearnRhythm(hummed.data(), static_cast<std::int64_t>(hummed.size()), kRenderRate);
      EXPECT_NEAR(learned.period, 0.3, 0.003) << hertz << " Hz at " << loudness;
      EXPECT_GE(learned.confidence, kLeastConfidence) << hertz << " Hz at " << loudness;
      EXPECT_NEAR(learned.timeDeviation, 10.0, 3.0) << hertz << " Hz at " << loudness;
    }
  }
}

class StoppingProgress : public Progress {
 public:
  void Begin(std::int64_t steps) override { begun += 1, total = steps; }
  bool Step() override { return ++steps < 5; }
  void End() override { ended += 1; }
  int begun = 0, ended = 0, steps = 0;
  std::int64_t total = 0;
};

// Asked to stop, the learning stops within a step and says it found nothing.
TEST(LearnRhythm, StopsWhenTheProgressAsks) {
  const std::vector<std::int16_t> sound =
      RenderRhythm(RenderSource::WhiteNoise, EnvelopeOf(Shape::Swell), 0.5, 0, 0, mtAmplitude, 10, 3);
  StoppingProgress progress;
  const LearnedRhythm learned =
      LearnRhythm(sound.data(), static_cast<std::int64_t>(sound.size()), kRenderRate, {}, &progress);
  EXPECT_EQ(progress.begun, 1);
  EXPECT_EQ(progress.ended, 1);
  EXPECT_EQ(progress.steps, 5);
  EXPECT_EQ(learned.period, 0.0);
  EXPECT_TRUE(learned.periods.empty());
}

}  // namespace
