// Playback against a real sound server: what the null sink's monitor records
// must be the sound's own samples. Skipped when no server was started for the
// tests (scripts/with-sound-server sets KIT_SOUND_SERVER).
#include <gtest/gtest.h>

#include <QObject>
#include <QProcess>
#include <QTest>

#include <cstdlib>
#include <memory>
#include <vector>

#include "ScriptedKadenzoPrompts.h"
#include "WaveSignal.h"

namespace {

constexpr int kRate = 44100;

class PlaybackTest : public testing::Test {
 protected:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("KIT_SOUND_SERVER")) GTEST_SKIP() << "no sound server (run under scripts/with-sound-server)";
  }

  // Half a second of reproducible noise: no stretch of it repeats, so it can
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

// Records the null sink's monitor as 16-bit mono at the sound's rate.
class Recorder {
 public:
  Recorder() {
    m_process.start("parec", {"-d", "nullsink.monitor", "--format=s16le", "--channels=1", "--rate=44100", "--latency-msec=20"});
    m_process.waitForStarted();
    QTest::qWait(300);
  }
  std::vector<std::int16_t> Stop() {
    QTest::qWait(300);
    m_process.terminate();
    m_process.waitForFinished();
    const QByteArray bytes = m_process.readAllStandardOutput();
    std::vector<std::int16_t> samples(static_cast<std::size_t>(bytes.size() / 2));
    std::memcpy(samples.data(), bytes.constData(), samples.size() * 2);
    return samples;
  }

 private:
  QProcess m_process;
};

// The first sample of the sound from which on the recording holds every
// sample to the end, in order (up to the server's rounding when it mixes mono
// into stereo and back), or -1. When a stream starts, the server rewinds what
// the sink had already rendered, and the monitor loses the first few
// milliseconds (at most maxLost samples); the rest must all be there, the end included.
int FirstHeard(const std::vector<std::int16_t>& recording, const WaveSignal& sound, std::size_t maxLost) {
  const std::size_t n = static_cast<std::size_t>(sound.GetLength());
  const std::int16_t* samples = sound.GetSamples(0);
  const auto near = [](int a, int b) { return std::abs(a - b) <= 2; };
  constexpr std::size_t kProbe = 16;
  for (std::size_t first = 0; first <= maxLost && first + kProbe < n; ++first) {
    for (std::size_t at = 0; at + n - first <= recording.size(); ++at) {
      std::size_t i = 0;
      while (i < n - first && near(recording[at + i], samples[first + i])) ++i;
      if (i == n - first) return static_cast<int>(first);
      if (i >= kProbe) return -1;  // found the sound, but it breaks off
    }
  }
  return -1;
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

  // Played again, it ends by itself.
  Recorder recorder;
  ASSERT_TRUE(sound.Play(&window, done));
  EXPECT_TRUE(sound.IsPlaying());
  // A second Play neither restarts nor fails.
  EXPECT_TRUE(sound.Play(&window, done));
  EXPECT_TRUE(QTest::qWaitFor([&] { return doneCalls > 0; }, 5000));
  QTest::qWait(200);
  EXPECT_EQ(doneCalls, 1);
  EXPECT_FALSE(sound.IsPlaying());
  const std::vector<std::int16_t> recording = recorder.Stop();
  EXPECT_GE(FirstHeard(recording, sound, kRate / 10), 0) << recording.size() << " samples recorded";
  EXPECT_TRUE(prompts.messages.isEmpty());
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
