// A file named on kadenzo's command line goes where its Load command would
// take it: the same window state after OpenFile as after the Load button.
// Also the exit codes of the program's own command line.
#include <gtest/gtest.h>

#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <sndfile.h>

#include <vector>

#include "Block.h"
#include "CommandLineCases.h"
#include "ScriptedKadenzoPrompts.h"
#include "kdMain.h"

using kadenzo::TForm1;

namespace {

// A 16-bit two-channel file written by libsndfile: left i, right -i.
void WriteStereoWave(const QString& path, int frames) {
  SF_INFO info{};
  info.samplerate = 22050;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
  ASSERT_NE(file, nullptr);
  std::vector<short> samples;
  for (int i = 1; i <= frames; ++i) samples.insert(samples.end(), {static_cast<short>(i), static_cast<short>(-i)});
  EXPECT_EQ(sf_writef_short(file, samples.data(), frames), frames);
  sf_close(file);
}

// What a window shows after a load: the sound, the envelope and the messages.
struct WindowState {
  std::vector<std::int16_t> samples;
  int sampleRate = 0;
  std::vector<double> envelope;
  QStringList messages;
  QStringList channelQuestions;
  bool operator==(const WindowState&) const = default;
};

WindowState StateOf(TForm1& form, const ScriptedKadenzoPrompts& prompts) {
  WindowState state;
  if (const WaveSignal* sound = form.CurrentSound()) {
    state.samples.assign(sound->GetSamples(0), sound->GetSamples(0) + sound->GetLength());
    state.sampleRate = sound->GetSampleRate();
  }
  for (int i = 0; i < form.Envelope().GetCount(); ++i) state.envelope.push_back(form.Envelope()[i]);
  state.messages = prompts.messages;
  state.channelQuestions = prompts.channelQuestions;
  return state;
}

class KadenzoOpenFile : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder.isValid());
    WriteStereoWave(Path("stereo.wav"), 300);
    Block curve(1001);
    for (int i = 0; i < 1001; ++i) curve[i] = i % 7;
    ASSERT_TRUE(curve.WriteToFile(QFile::encodeName(Path("curve.env")).constData()));
    ASSERT_TRUE(QFile::copy(Path("curve.env"), Path("CURVE.ENV")));
    QFile garbage(Path("garbage.wav"));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly) && garbage.write("RIFF....WAVEnothing useful") > 0);
  }
  QString Path(const char* name) const { return folder.filePath(QString::fromLatin1(name)); }

  QTemporaryDir folder;
};

TEST_F(KadenzoOpenFile, GivesWhatTheLoadCommandsGive) {
  struct Case {
    const char* file;
    bool envelope;  // which Load command the file belongs to
    int channel;    // the answer to the channel question
  };
  const Case cases[] = {
      {"stereo.wav", false, 1}, {"stereo.wav", false, 0}, {"curve.env", true, 0}, {"CURVE.ENV", true, 0},
      {"garbage.wav", false, 0}, {"missing.wav", false, 0}, {"missing.env", true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    ScriptedKadenzoPrompts loadPrompts, openPrompts;
    loadPrompts.channels = {c.channel};
    openPrompts.channels = {c.channel};
    TForm1 loaded(&loadPrompts), opened(&openPrompts);
    loadPrompts.fileNames = {Path(c.file)};
    QTest::mouseClick(c.envelope ? loaded.RhythmLoadButton : loaded.LoadButton, Qt::LeftButton);
    opened.OpenFile(Path(c.file));
    const WindowState state = StateOf(opened, openPrompts);
    EXPECT_TRUE(state == StateOf(loaded, loadPrompts));
    EXPECT_TRUE(openPrompts.asked.empty());
    if (QByteArray(c.file) == "stereo.wav") {
      // The oracle: the channel libsndfile wrote.
      ASSERT_EQ(state.samples.size(), 300u);
      EXPECT_EQ(state.samples[299], c.channel == 1 ? -300 : 300);
      EXPECT_EQ(state.sampleRate, 22050);
    }
    if (c.envelope && QFile::exists(Path(c.file))) {
      EXPECT_EQ(state.envelope.size(), 1000u);
    }
  }
}

TEST(KadenzoCommandLine, HelpVersionAndUsageErrors) {
  ExpectCommandLines(QStringLiteral(KADENZO), {
      {{"--version"}, 0, "kadenzo " KIT_VERSION "\n"},
      {{"--help"}, 0, "Usage: "},
      {{"-h"}, 0, "Usage: "},
      {{"--no-such-option"}, 2, ""},
      {{"one.wav", "two.wav"}, 2, ""},
  });
}

}  // namespace
