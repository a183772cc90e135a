// Playback against a real sound server: what the null sink's monitor records
// must be the sound's own samples. Skipped when no server was started for the
// tests (scripts/with-sound-server sets KIT_SOUND_SERVER).
#include <gtest/gtest.h>

#include <QObject>
#include <QProcess>
#include <QTest>

#include <algorithm>
#include <cstdlib>
#include <vector>
#include <memory>

#include "ScriptedKadenzoPrompts.h"
#include "WaveSignal.h"

namespace {

constexpr int kRate = 44100;

class PlaybackTest : public testing::Test {
 protected:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("KIT_SOUND_SERVER")) GTEST_SKIP() << "no sound server (run under scripts/with-sound-server)";
  }

  // Reproducible noise: no stretch of it repeats, so it can
  // be found in a recording without ambiguity.
  static void FillNoise(WaveSignal& sound, int length) {
    sound.SetLength(length);
    sound.SetFormat(kRate);
    std::uint32_t state = 12345;
    for (int i = 0; i < length; ++i) {
      state = state * 1103515245u + 12345u;
      *sound.GetSamples(i) = static_cast<std::int16_t>(static_cast<int>((state >> 16) % 20001) - 10000);
    }
  }

  ScriptedKadenzoPrompts prompts;
  QObject window;
};

// Whether the recording holds n samples in order (up to the server's rounding
// when it mixes mono into stereo and back).
bool Holds(const QByteArray& recording, const std::int16_t* samples, qsizetype n) {
  const auto* heard = reinterpret_cast<const std::int16_t*>(recording.constData());
  const qsizetype count = recording.size() / 2;
  for (qsizetype at = 0; at + n <= count; ++at) {
    qsizetype i = 0;
    while (i < n && std::abs(heard[at + i] - samples[i]) <= 2) ++i;
    if (i == n) return true;
  }
  return false;
}

// Whether it holds the sound's samples from `first` to the end.
bool Heard(const QByteArray& recording, const WaveSignal& sound, int first) {
  return Holds(recording, sound.GetSamples(first), sound.GetLength() - first);
}

QByteArray Record(QProcess& recorder) {
  recorder.terminate();
  recorder.waitForFinished();
  return recorder.readAllStandardOutput();
}

void StartRecorder(QProcess& recorder) {
  recorder.start("parec", {"-d", "nullsink.monitor", "--format=s16le", "--channels=1", "--rate=44100", "--latency-msec=20"});
  ASSERT_TRUE(recorder.waitForStarted());
  QTest::qWait(300);
}

}  // namespace

TEST_F(PlaybackTest, SoundIsHeardWholeAndOnlyItsOwnEndCallsDone) {
  WaveSignal sound(nullptr, &prompts);
  FillNoise(sound, kRate / 2);
  int doneCalls = 0;
  const auto done = [&] {
    ++doneCalls;
    sound.Stop();
  };
  // A stop by the user is not followed by the pending "done".
  ASSERT_TRUE(sound.Play(&window, done));
  QTest::qWait(50);
  sound.Stop();
  EXPECT_FALSE(sound.IsPlaying());
  QTest::qWait(600);
  EXPECT_EQ(doneCalls, 0);

  // Played again, it ends by itself; the null sink's monitor records it as 16-bit mono.
  QProcess recorder;
  StartRecorder(recorder);
  ASSERT_TRUE(sound.Play(&window, done));
  EXPECT_TRUE(sound.IsPlaying());
  // A second Play neither restarts nor fails.
  EXPECT_TRUE(sound.Play(&window, done));
  EXPECT_TRUE(QTest::qWaitFor([&] { return doneCalls > 0; }, 5000));
  QTest::qWait(200);
  EXPECT_EQ(doneCalls, 1);
  EXPECT_FALSE(sound.IsPlaying());
  QTest::qWait(300);
  // When a stream starts, the server rewinds what the sink had already rendered,
  // and the monitor loses the first few milliseconds; the rest must all be there.
  const QByteArray recording = Record(recorder);
  EXPECT_TRUE(Heard(recording, sound, kRate / 10)) << recording.size() / 2 << " samples recorded";
  EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(PlaybackTest, PlaysFromTheGivenFrameAndTellsTheFrameBeingHeard) {
  WaveSignal sound(nullptr, &prompts);
  FillNoise(sound, kRate);
  const int first = kRate / 2;
  bool done = false;
  QProcess recorder;
  StartRecorder(recorder);
  EXPECT_EQ(sound.PlayingFrame(), -1);
  ASSERT_TRUE(sound.Play(&window, [&] { done = true; sound.Stop(); }, first));
  // The frame heard starts at the first one played and moves forward to the end.
  std::vector<int> heard;
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        if (const int frame = sound.PlayingFrame(); frame >= 0) heard.push_back(frame);
        return done;
      },
      5000));
  EXPECT_EQ(sound.PlayingFrame(), -1);
  ASSERT_FALSE(heard.empty());
  EXPECT_GE(heard.front(), first);
  EXPECT_TRUE(std::is_sorted(heard.begin(), heard.end()));
  EXPECT_GT(heard.back(), first + (kRate - first) / 2);
  EXPECT_LT(heard.back(), kRate);
  QTest::qWait(300);
  // The second half was played, and nothing of the first.
  const QByteArray recording = Record(recorder);
  EXPECT_TRUE(Heard(recording, sound, first + kRate / 10)) << recording.size() / 2 << " samples recorded";
  EXPECT_FALSE(Holds(recording, sound.GetSamples(first / 2), kRate / 10));
}

TEST_F(PlaybackTest, PlayingSamplesAreStoppedBeforeTheyAreReplacedOrFreed) {
  int doneCalls = 0;
  auto sound = std::make_unique<WaveSignal>(nullptr, &prompts);
  sound->SetFormat(kRate);
  EXPECT_FALSE(sound->Play(&window, [&] { ++doneCalls; }));  // no samples yet
  FillNoise(*sound, kRate);
  ASSERT_TRUE(sound->Play(&window, [&] { ++doneCalls; }));
  sound->SetLength(10);
  EXPECT_FALSE(sound->IsPlaying());

  FillNoise(*sound, kRate);
  ASSERT_TRUE(sound->Play(&window, [&] { ++doneCalls; }));
  sound.reset();
  QTest::qWait(300);
  EXPECT_EQ(doneCalls, 0);
}

TEST_F(PlaybackTest, RatesTheOutputCannotBeFedAtAreRefusedQuietly) {
  WaveSignal sound(nullptr, &prompts);
  FillNoise(sound, 200);
  sound.SetFormat(49);  // less than a frame per 20 ms: the sink divided by zero
  EXPECT_FALSE(sound.Play(&window, {}));
  EXPECT_FALSE(sound.IsPlaying());
  sound.SetFormat(50);
  EXPECT_TRUE(sound.Play(&window, {}));
  QTest::qWait(100);
  sound.Stop();
}
