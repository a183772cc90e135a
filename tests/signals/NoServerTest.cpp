// Playback with no sound server to talk to: Play fails silently.
#include <gtest/gtest.h>

#include <QObject>
#include <QTest>

#include "ScriptedKadenzoPrompts.h"
#include "WaveSignal.h"

namespace {

// Before anything asks for audio devices: point the sound client at a server
// that does not exist, whatever the test environment started.
const bool kNoServer = [] {
  qputenv("PULSE_SERVER", "unix:/nonexistent/kit-no-sound-server");
  return true;
}();

}  // namespace

TEST(PlaybackWithoutServer, PlayReturnsFalseSilently) {
  ASSERT_TRUE(kNoServer);
  ScriptedKadenzoPrompts prompts;
  QObject window;
  WaveSignal sound(nullptr, &prompts);
  sound.SetLength(4410);
  sound.SetFormat(44100);
  int doneCalls = 0;
  EXPECT_FALSE(sound.Play(&window, [&] { ++doneCalls; }));
  EXPECT_FALSE(sound.IsPlaying());
  QTest::qWait(200);
  EXPECT_EQ(doneCalls, 0);
  EXPECT_TRUE(prompts.messages.isEmpty());
}
