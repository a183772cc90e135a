// The "&Create" and "&Rhythm" commands as the window calls them: their checks
// and messages in order, what they leave unchanged, the sound they store
// (checked against the peak normalisation worked out here), the seeds they
// draw from, and the progress bar they drive.

#include <gtest/gtest.h>

#include <QProgressBar>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "KadenzoCommands.h"
#include "MorphCoeffs.h"
#include "PictureWidget.h"
#include "ProgressBarProgress.h"
#include "ProgressWrapper.h"
#include "RandomGenerator.h"
#include "RhythmEngine.h"
#include "ScriptedKadenzoPrompts.h"
#include "WaveSignal.h"

namespace {

std::vector<std::int16_t> Samples(const WaveSignal& sound) {
  return {sound.GetSamples(0), sound.GetSamples(0) + sound.GetLength()};
}

// Checks that sound holds what it stores for the samples v: the mean removed
// in single precision, then the largest magnitude scaled to 32767, truncated
// toward zero (within one step).
void ExpectNormalised(const WaveSignal& sound, const std::vector<std::int16_t>& v) {
  double sum = 0;
  for (const double x : v) sum += x;
  std::vector<float> centred;
  float peak = 0;
  for (const double x : v) {
    centred.push_back(static_cast<float>(x - sum / v.size()));
    peak = std::max(peak, std::fabs(centred.back()));
  }
  const std::vector<std::int16_t> actual = Samples(sound);
  ASSERT_EQ(actual.size(), v.size());
  for (std::size_t i = 0; i < v.size(); ++i) {
    ASSERT_NEAR(actual[i], static_cast<std::int16_t>(centred[i] * (32767 / peak)), 1) << i;
  }
}

class CommandsTest : public testing::Test {
 protected:
  CommandsTest()
      : random([] { return std::int64_t{1650000000}; }),
        context{prompts, &image1.Image(), &progress, random, std::nullopt} {
    image1.resize(539, 89);
    bar.resize(539, 16);
    prompts.modelAnswer = true;
  }

  // A sound of the test's own: a sine and a slower one, not centred.
  std::unique_ptr<WaveSignal> OwnSound(int n, int rate = 44100) {
    auto sound = std::make_unique<WaveSignal>(&image1.Image(), &prompts);
    sound->SetLength(n);
    sound->SetFormat(rate);
    for (int i = 0; i < n; ++i) {
      *sound->GetSamples(i) =
          static_cast<std::int16_t>(9000 * std::sin(i * 0.05) + 4000 * std::sin(i * 0.0021) + 700);
    }
    return sound;
  }

  CommandOutcome Rhythm(WaveSignal* sound, const RhythmTexts& texts, int type) {
    prompts.messages.clear();
    return RunRhythm(texts, type, sound, envelope, modulator, context);
  }

  ScriptedKadenzoPrompts prompts;
  PictureWidget image1;
  QProgressBar bar;
  ProgressBarProgress progress{&bar};
  RandomGenerator random;
  SynthesisContext context;
  SeamlessCo envelope{539, nullptr, 0.0, nullptr};
  ModulatorSettings modulator;
};

}  // namespace

TEST(TProgressWrapper, MovesInAboutHundredSteps) {
  struct Case {
    int total, ticks, maximum, value;
  } cases[] = {
      {1000, 1, 100, 1},      {1000, 10, 100, 1}, {1000, 11, 100, 2}, {1000, 1000, 100, 100},
      {1050, 1050, 105, 105}, {50, 1, 50, 1},     {50, 50, 50, 50},   {0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    QProgressBar bar, other;
    ProgressBarProgress shown(&bar), otherShown(&other);
    bar.hide();
    TProgressWrapper one, many;
    one.start(&shown, c.total);
    EXPECT_FALSE(bar.isHidden());
    EXPECT_EQ(bar.maximum(), c.maximum) << c.total;
    for (int i = 0; i < c.ticks; ++i) one.tick();
    EXPECT_EQ(bar.value(), c.value) << c.total << " after " << c.ticks;
    // Ticking many passes at once moves the bar as far.
    many.start(&otherShown, c.total);
    many.tick(c.ticks / 3);
    many.tick(c.ticks - c.ticks / 3);
    EXPECT_EQ(other.value(), c.value) << c.total << " after " << c.ticks;
  }
  // The longest sound: no overflow in the number of steps.
  QProgressBar bar;
  ProgressBarProgress shown(&bar);
  TProgressWrapper longest;
  longest.start(&shown, 2147483647);
  EXPECT_EQ(bar.maximum(), 101);
}

TEST_F(CommandsTest, CreateMakesPeakNormalisedBandLimitedNoise) {
  prompts.modelDuration = 10.0;
  prompts.modelFrequency = 1000.0;
  prompts.modelBand = 400.0;
  SourceSettings settings;
  std::unique_ptr<WaveSignal> sound;
  EXPECT_EQ(CreateSound(sound, settings, context), CommandOutcome::Changed);
  ASSERT_NE(sound, nullptr);
  EXPECT_EQ(sound->GetLength(), 441000);
  EXPECT_EQ(sound->GetSampleRate(), 44100);
  const std::vector<std::int16_t> first = Samples(*sound);
  int peak = 0;
  for (const std::int16_t v : first) peak = std::max(peak, std::abs(int{v}));
  EXPECT_EQ(peak, 32767);
  EXPECT_EQ(random.GetSeed(), 1650000000u);  // the clock's seconds
  EXPECT_EQ(bar.value(), 0);
  EXPECT_TRUE(prompts.messages.isEmpty());
  // Within the same clock second the same noise again, in a new sound.
  const WaveSignal* before = sound.get();
  CreateSound(sound, settings, context);
  EXPECT_NE(sound.get(), before);
  EXPECT_EQ(Samples(*sound), first);
  // A kept seed replaces the clock: another seed, other noise; the same one, the same noise.
  context.keptSeed = 77;
  CreateSound(sound, settings, context);
  const std::vector<std::int16_t> kept = Samples(*sound);
  EXPECT_NE(kept, first);
  EXPECT_EQ(random.GetSeed(), 77u);
  CreateSound(sound, settings, context);
  EXPECT_EQ(Samples(*sound), kept);
}

TEST_F(CommandsTest, CreateRefusesWhatItCannotMakeAndKeepsTheSound) {
  std::unique_ptr<WaveSignal> sound = OwnSound(100);
  const WaveSignal* kept = sound.get();
  const std::vector<std::int16_t> samples = Samples(*sound);
  SourceSettings settings;
  prompts.modelAnswer = false;  // cancelled: silently nothing
  CreateSound(sound, settings, context);
  EXPECT_EQ(settings.duration, 10.0);
  prompts.modelAnswer = true;
  struct Case {
    double duration, frequency, band;
    QString message;
  } cases[] = {
      {0.0, 1000, 400, "Wrong duration value."},
      {0.00001, 1000, 400, "Wrong duration value."},
      {-5, 1000, 400, "Wrong duration value."},
      {INFINITY, 1000, 400, "Wrong duration value."},
      {std::nan(""), 1000, 400, "Wrong duration value."},
      // Beyond a sound's 2^31 - 1 samples, or beyond memory: nothing is allocated.
      {1e6, 1000, 400, "Not enough memory for 44100000000 samples."},
      {1e9, 1000, 400, "Not enough memory for 44100000000000 samples."},
      {1, 22050, 400, "Wrong frequency or band value."},
      {1, INFINITY, 0, "Wrong frequency or band value."},
      {1, 1000, std::nan(""), "Wrong frequency or band value."},
  };
  for (const Case& c : cases) {
    prompts.messages.clear();
    prompts.modelDuration = c.duration;
    prompts.modelFrequency = c.frequency;
    prompts.modelBand = c.band;
    EXPECT_EQ(CreateSound(sound, settings, context), CommandOutcome::Unchanged);
    EXPECT_EQ(prompts.messages, QStringList{c.message}) << c.duration << " " << c.frequency;
    EXPECT_EQ(sound.get(), kept);
    EXPECT_EQ(Samples(*sound), samples);
  }
}

TEST_F(CommandsTest, RhythmChecksInOrderAndChangesNothing) {
  std::unique_ptr<WaveSignal> sound = OwnSound(5000);
  const std::vector<std::int16_t> samples = Samples(*sound);
  WaveSignal empty(&image1.Image(), &prompts);
  std::unique_ptr<WaveSignal> rateless = OwnSound(5000, 0);
  // A rate a file may claim: its modulator would take 2 x 2^31 samples.
  std::unique_ptr<WaveSignal> fastest = OwnSound(8, 2147483647);
  const std::vector<std::int16_t> fastestSamples = Samples(*fastest);
  envelope.Fill(1.0);
  const QString noSource = "Source signal should be generated or loaded first.";
  const QString wrongPeriod = "Wrong period value.";
  const QString invalid = "Invalid floating point operation";
  struct Case {
    WaveSignal* sound;
    RhythmTexts texts;
    int type;
    QStringList messages;
  } cases[] = {
      {nullptr, {"0", "10", "10", "100"}, mtAmplitude, {noSource}},
      {&empty, {"1", "10", "10", "100"}, mtAmplitude, {noSource}},
      {rateless.get(), {"1", "10", "10", "100"}, mtFrequency, {noSource}},
      {sound.get(), {"0", "10", "10", "100"}, mtAmplitude, {wrongPeriod}},
      {sound.get(), {"-1", "10", "10", "100"}, mtFrequency, {wrongPeriod}},
      {sound.get(), {"abc", "10", "10", "100"}, mtAmplitude, {wrongPeriod}},
      {sound.get(), {"nan", "10", "10", "100"}, mtAmplitude, {wrongPeriod}},
      // A modulator longer than 2^31 - 1 samples, before the dialog.
      {sound.get(), {"1e9", "10", "10", "100"}, mtFrequency, {"Not enough memory for 44100000000000 samples."}},
      {fastest.get(), {"2", "10", "10", "100"}, mtAmpFreq, {"Not enough memory for 4294967294 samples."}},
      {sound.get(), {"1e999", "10", "10", "100"}, mtAmpFreq, {wrongPeriod}},
      {sound.get(), {"1e999", "10", "10", "100"}, mtAmplitude, {wrongPeriod}},
      // A modulator shorter than one sample: silently nothing, no dialog.
      {sound.get(), {"0.00001", "10", "10", "100"}, mtFrequency, {}},
      {sound.get(), {"0.01", "1e999", "10", "100"}, mtAmplitude, {invalid}},
      {sound.get(), {"0.01", "10", "-1e999", "100"}, mtAmplitude, {invalid}},
      {sound.get(), {"0.01", "10", "10", "-1e999"}, mtAmplitude, {invalid}},
      // Before the modulator's dialog too.
      {sound.get(), {"0.01", "1e999", "10", "100"}, mtFrequency, {invalid}},
      {sound.get(), {"0.01", "10", "1e999", "100"}, mtAmpFreq, {invalid}},
      {sound.get(), {"0.01", "10", "10", "1e999"}, mtFrequency, {invalid}},
  };
  prompts.modelFrequency = 555;
  for (const Case& c : cases) {
    EXPECT_EQ(Rhythm(c.sound, c.texts, c.type), CommandOutcome::Unchanged);
    EXPECT_EQ(prompts.messages, c.messages) << c.texts.period.toStdString() << " type " << c.type;
    EXPECT_EQ(modulator.frequency, 100.0) << "no dialog before the checks";
  }
  prompts.modelAnswer = false;  // the modulator dialog cancelled: silently nothing
  Rhythm(sound.get(), {"1", "10", "10", "100"}, mtAmpFreq);
  EXPECT_TRUE(prompts.messages.isEmpty());
  EXPECT_EQ(envelope[539], 1.0);
  // Magnitudes of hundreds make gains beyond the range of numbers.
  Rhythm(sound.get(), {"0.01", "10", "100000", "100"}, mtAmplitude);
  EXPECT_EQ(prompts.messages, QStringList{"Floating point overflow"});
  EXPECT_EQ(Samples(*sound), samples);
  EXPECT_EQ(Samples(*fastest), fastestSamples);
}

TEST_F(CommandsTest, RhythmStoresTheResultAndASecondRunWorksOnIt) {
  std::unique_ptr<WaveSignal> sound = OwnSound(30000);
  const std::vector<std::int16_t> source = Samples(*sound);
  // Level 1 everywhere, no magnitude deviation: the gain is 1, so the result
  // is the source without its mean, peak-normalised.
  envelope.Fill(1.0);
  std::vector<PeriodRecord> periods;
  EXPECT_EQ(RunRhythm({"0.2", "10", "0", "100"}, mtAmplitude, sound.get(), envelope, modulator, context, &periods),
            CommandOutcome::Changed);
  EXPECT_TRUE(prompts.messages.isEmpty());
  ExpectNormalised(*sound, source);
  EXPECT_EQ(envelope[539], 1.0);
  EXPECT_EQ(bar.value(), 0);
  // Periods of 0.2 s +- 5 % over 0.68 s: three whole ones and the rest, which ends with the sound.
  ASSERT_EQ(periods.size(), 4u);
  EXPECT_EQ(periods[0].first, 0);
  std::int64_t total = 0;
  for (const PeriodRecord& period : periods) total += period.length;
  EXPECT_EQ(total, 30000);
  // Level 0 everywhere: gain 0.05, which normalisation undoes; the second
  // run starts from the first one's samples.
  const std::vector<std::int16_t> first = Samples(*sound);
  envelope.Fill(0.0);
  Rhythm(sound.get(), {"0.2", "10", "0", "100"}, mtAmplitude);
  ExpectNormalised(*sound, first);
}

TEST_F(CommandsTest, FrequencyTypesAskForTheModulatorAndCheckItsValues) {
  std::unique_ptr<WaveSignal> sound = OwnSound(20000);
  const std::vector<std::int16_t> source = Samples(*sound);
  envelope.Fill(0.7);
  // The dialog's values are kept, and checked like Create's.
  prompts.modelFrequency = 22050;
  prompts.modelBand = 400;
  Rhythm(sound.get(), {"0.01", "10", "10", "100"}, mtFrequency);
  EXPECT_EQ(prompts.messages, QStringList{"Wrong frequency or band value."});
  EXPECT_EQ(modulator.frequency, 22050.0);
  EXPECT_EQ(Samples(*sound), source);
  prompts.modelFrequency = 80;
  prompts.modelBand = 20;
  prompts.modelDuration = 99;
  Rhythm(sound.get(), {"0.1", "10", "10", "100"}, mtAmpFreq);
  EXPECT_TRUE(prompts.messages.isEmpty());
  EXPECT_EQ(modulator.frequency, 80.0);
  EXPECT_EQ(modulator.band, 20.0);
  EXPECT_NE(Samples(*sound), source);
}
