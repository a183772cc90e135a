// WAV files: files written by sox read back against sox's own decoding,
// hand-made broken heads, the written header byte for byte, and round trips.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>

#include <algorithm>
#include <csignal>
#include <sys/resource.h>
#include <tuple>
#include <vector>

#include "ScriptedKadenzoPrompts.h"
#include "WaveSignal.h"

namespace {

using Samples = std::vector<std::int16_t>;

Samples SamplesOf(const WaveSignal& sound) { return {sound.GetSamples(0), sound.GetSamples(0) + sound.GetLength()}; }

template <typename T>
QByteArray Le(T value) {
  QByteArray bytes(sizeof(T), 0);
  qToLittleEndian(value, bytes.data());
  return bytes;
}

QByteArray Riff(const QByteArray& chunks) { return "RIFF" + Le(static_cast<std::uint32_t>(chunks.size() + 4)) + "WAVE" + chunks; }

// A 16-byte "fmt " chunk followed by a "data" chunk whose size field is given apart from its bytes.
QByteArray Wave(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits, std::uint32_t size, const QByteArray& data,
                const QByteArray& before = {}) {
  const std::uint16_t align = static_cast<std::uint16_t>(channels * bits / 8);
  return Riff("fmt " + Le<std::uint32_t>(16) + Le<std::uint16_t>(1) + Le(channels) + Le(rate) + Le(rate * align) + Le(align) +
              Le(bits) + before + "data" + Le(size) + data);
}

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class WaveFileTest : public testing::Test {
 protected:
  void SetUp() override {
    LoadChannel = 0;
    ASSERT_TRUE(dir.isValid());
  }

  QString Path(const QString& name) const { return dir.filePath(name); }

  QString WriteFile(const QString& name, const QByteArray& bytes) {
    QFile file(Path(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return file.fileName();
  }

  // A file made by "sox -n <format> name synth <synth>" (options separated by spaces).
  QString SoxFile(const QString& name, const QString& format, const QString& synth) {
    const QStringList args = QStringList{"-D", "-n"} + format.split(' ') + QStringList{Path(name), "synth"} + synth.split(' ');
    EXPECT_EQ(QProcess::execute("sox", args), 0) << args.join(' ').toStdString();
    return Path(name);
  }

  // sox's own decoding of one channel (counted from 1) as 16-bit samples.
  Samples SoxDecode(const QString& path, int channel) {
    const QString raw = Path("decoded.raw");
    EXPECT_EQ(QProcess::execute("sox", {"-D", path, "-t", "raw", "-e", "signed-integer", "-b", "16", "-L", raw, "remix",
                                        QString::number(channel)}),
              0);
    const QByteArray bytes = ReadAll(raw);
    Samples samples(static_cast<std::size_t>(bytes.size() / 2));
    qFromLittleEndian<std::int16_t>(bytes.constData(), samples.size(), samples.data());
    return samples;
  }

  QTemporaryDir dir;
  ScriptedKadenzoPrompts prompts;
};

}  // namespace

TEST_F(WaveFileTest, FilesWrittenBySoxLoadAsSoxDecodesThem) {
  const std::vector<std::tuple<QString, QString, int>> cases = {
      {"-r 8000 -b 8 -c 1", "0.05 sine 440", 8000},
      {"-r 22050 -b 16 -c 1", "0.05 sine 440 gain -1", 22050},
      // Four 8-bit channels: sox writes WAVE_FORMAT_EXTENSIBLE with a "fact" chunk before "data".
      {"-r 11025 -b 8 -c 4", "0.05 sine 300 sine 400 sine 500 sine 600", 11025},
  };
  for (const auto& [format, synth, rate] : cases) {
    SCOPED_TRACE(format.toStdString());
    const QString path = SoxFile("sox.wav", format, synth);
    WaveSignal sound(nullptr, &prompts);
    sound.Load(path);
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join('\n').toStdString();
    EXPECT_TRUE(prompts.channelQuestions.isEmpty());
    EXPECT_EQ(sound.GetSampleRate(), rate);
    EXPECT_EQ(+sound.GetFormat().nAvgBytesPerSec, static_cast<std::uint32_t>(2 * rate));
    const Samples expected = SoxDecode(path, 1);
    ASSERT_GT(expected.size(), 100u);
    EXPECT_EQ(SamplesOf(sound), expected);
  }
  EXPECT_EQ(ReadAll(Path("sox.wav")).mid(20, 2), Le<std::uint16_t>(0xFFFE));
}

TEST_F(WaveFileTest, OtherSoundFilesLoadThroughLibsndfileAsSoxDecodesThem) {
  // File name, sox's format options; the first channel is taken, up to one
  // step of rounding apart from sox's own 16-bit reading.
  const std::vector<std::pair<QString, QString>> cases = {
      {"s24.wav", "-r 22050 -b 24 -c 1"},        {"s32.wav", "-r 22050 -b 32 -c 1"},
      {"f32.wav", "-r 22050 -e float -b 32"},    {"f64.wav", "-r 22050 -e float -b 64"},
      {"three.wav", "-r 22050 -b 16 -c 3"},      {"ulaw.wav", "-r 22050 -e mu-law"},
      {"alaw.wav", "-r 22050 -e a-law"},         {"adpcm.wav", "-r 22050 -e ima-adpcm"},
      {"x.flac", "-r 22050 -b 24"},              {"x.ogg", "-r 22050 -c 1"},
      {"x.aiff", "-r 22050 -b 16"},              {"x.aifc", "-r 22050 -b 16"},
  };
  for (const auto& [name, format] : cases) {
    SCOPED_TRACE(name.toStdString());
    const QString path = SoxFile(name, format, "0.1 sine 440 gain -3");
    WaveSignal sound(nullptr, &prompts);
    sound.Load(path);
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join('\n').toStdString();
    EXPECT_EQ(sound.GetSampleRate(), 22050);
    // sox decodes ADPCM to the end of its last block; the file says 2205 frames.
    const Samples expected = SoxDecode(path, 1), actual = SamplesOf(sound);
    ASSERT_EQ(actual.size(), 2205u);
    ASSERT_GE(expected.size(), actual.size());
    for (std::size_t i = 0; i < actual.size(); ++i) ASSERT_NEAR(actual[i], expected[i], 1) << i;
  }
  // A two-channel FLAC asks for the channel like a WAV file.
  const QString stereo = SoxFile("stereo.flac", "-r 22050 -b 16 -c 2", "0.05 sine 440 sine 1000");
  prompts.channels = {1};
  WaveSignal sound(nullptr, &prompts);
  sound.Load(stereo);
  EXPECT_EQ(prompts.channelQuestions, QStringList{stereo});
  const Samples right = SoxDecode(stereo, 2), actual = SamplesOf(sound);
  ASSERT_EQ(actual.size(), right.size());
  for (std::size_t i = 0; i < actual.size(); ++i) ASSERT_NEAR(actual[i], right[i], 1) << i;
}

TEST_F(WaveFileTest, TwoChannelFileAsksForTheChannelAndOtherFilesResetIt) {
  const QString stereo = SoxFile("stereo.wav", "-r 44100 -b 16 -c 2", "0.05 sine 440 sine 1000");
  const Samples left = SoxDecode(stereo, 1), right = SoxDecode(stereo, 2);
  ASSERT_NE(left, right);

  WaveSignal sound(nullptr, &prompts);
  prompts.channels = {1};
  sound.Load(stereo);
  EXPECT_EQ(prompts.channelQuestions, QStringList{stereo});
  EXPECT_EQ(LoadChannel, 1);
  EXPECT_EQ(SamplesOf(sound), right);
  // The dialog closed without an answer keeps the last choice.
  sound.Load(stereo);
  EXPECT_EQ(SamplesOf(sound), right);
  prompts.channels = {0};
  sound.Load(stereo);
  EXPECT_EQ(SamplesOf(sound), left);

  LoadChannel = 1;
  sound.Load(SoxFile("mono.wav", "-r 44100 -b 16 -c 1", "0.01 sine 440"));
  EXPECT_EQ(LoadChannel, 0);
  EXPECT_EQ(prompts.channelQuestions.size(), 3);

  // Saved as a mono file.
  sound.Load(stereo);
  sound.Save(Path("saved.wav"));
  EXPECT_EQ(SoxDecode(Path("saved.wav"), 1), left);
  EXPECT_EQ(ReadAll(Path("saved.wav")).mid(22, 2), Le<std::uint16_t>(1));

  // Cut in the middle of a frame: the whole frames it holds.
  prompts.channels = {1};
  sound.Load(WriteFile("cut.wav", ReadAll(stereo).left(44 + 4 * 50 + 3)));
  EXPECT_EQ(SamplesOf(sound), Samples(right.begin(), right.begin() + 50));
}

TEST_F(WaveFileTest, RefusedFilesChangeNothing) {
  const QString strange = "Error: Strange kind of data!";
  const QByteArray four(4, 1);
  const QByteArray fmt = Wave(1, 8000, 16, 4, four).mid(12, 24);
  const std::vector<std::pair<QString, QString>> cases = {
      // An MPEG format tag: never read as PCM.
      {WriteFile("mpeg.wav", Wave(1, 8000, 16, 4, four).replace(20, 2, Le<std::uint16_t>(0x55))), strange},
      {WriteFile("no-channels.wav", Wave(0, 8000, 16, 4, four)), strange},
      {WriteFile("no-fmt.wav", Riff("fmx " + fmt.mid(4) + "data" + Le(4) + four)), {}},
      {WriteFile("no-data.wav", Riff(fmt + "dat " + Le(4) + four)), {}},
      {WriteFile("size-cut.wav", Riff(fmt + "data" + QByteArray(2, 1))), {}},
      {WriteFile("fmt-cut.wav", Riff("data" + Le(4) + four + fmt.left(14))), {}},
      {WriteFile("zero-size.wav", Wave(1, 8000, 16, 0, four)), {}},
      {WriteFile("huge-size.wav", Wave(1, 8000, 16, 0x80000000u, four)), {}},
      {WriteFile("zero-rate.wav", Wave(1, 0, 16, 4, four)), {}},
      {WriteFile("negative-rate.wav", Wave(1, 0x80000000u, 16, 4, four)), {}},
      {WriteFile("data-beyond-head.wav", Wave(1, 8000, 16, 4, four, "JUNK" + Le(8000) + QByteArray(8000, 0))), {}},
      {WriteFile("empty.wav", {}), {}},
      {Path("missing.wav"), {}},
  };
  for (const auto& [path, message] : cases) {
    SCOPED_TRACE(path.toStdString());
    prompts.messages.clear();
    WaveSignal sound(nullptr, &prompts);
    sound.SetLength(3);
    sound.SetFormat(1234);
    *sound.GetSamples(1) = 77;
    sound.Load(path);
    EXPECT_EQ(prompts.messages, QStringList{message.isEmpty() ? "Error: Can not load " + path : message});
    EXPECT_EQ(SamplesOf(sound), (Samples{0, 77, 0}));
    EXPECT_EQ(sound.GetSampleRate(), 1234);
  }
  prompts.messages.clear();
  WaveSignal sound(nullptr, &prompts);
  sound.Load(QString());
  EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(WaveFileTest, HandMadeDataIsReadFrameByFrame) {
  const QByteArray samples = Le<std::int16_t>(300) + Le<std::int16_t>(-32768);
  const std::vector<std::pair<QByteArray, Samples>> cases = {
      {Wave(1, 8000, 8, 3, QByteArray("\x00\x80\xff", 3)), {-32768, 0, 32512}},
      // An odd data size: the partial last frame is dropped.
      {Wave(1, 8000, 16, 5, samples + "x"), {300, -32768}},
      // A size larger than the file: only the whole frames present.
      {Wave(1, 8000, 16, 1000, samples + "x"), {300, -32768}},
      {Wave(1, 8000, 16, 4, samples, "LIST" + Le(12) + "INFOICMT" + Le(0)), {300, -32768}},
      // The first "data" in the head wins, even inside another chunk.
      {Wave(1, 8000, 16, 4, Le<std::int16_t>(1) + Le<std::int16_t>(2), "LIST" + Le(8) + "data" + Le(2)), {0x6164}},
  };
  for (const auto& [bytes, expected] : cases) {
    SCOPED_TRACE(bytes.toHex().toStdString());
    WaveSignal sound(nullptr, &prompts);
    sound.Load(WriteFile("hand.wav", bytes));
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_EQ(SamplesOf(sound), expected);
  }
}

TEST_F(WaveFileTest, SaveWritesTheCanonical44ByteHeaderAndLoadsBack) {
  WaveSignal sound(nullptr, &prompts);
  sound.SetLength(3);
  sound.SetFormat(11025);
  std::copy_n(Samples{1, -2, 32767}.begin(), 3, sound.GetSamples(0));
  sound.Save(Path("golden.wav"));
  EXPECT_EQ(ReadAll(Path("golden.wav")), QByteArray::fromHex("52494646 2a000000 57415645 666d7420 10000000 01000100 112b0000"
                                                          "22560000 02001000 64617461 06000000 0100feff ff7f"));
  WaveSignal again(nullptr, &prompts);
  again.Load(Path("golden.wav"));
  EXPECT_EQ(SamplesOf(again), (Samples{1, -2, 32767}));
  EXPECT_EQ(again.GetSampleRate(), 11025);

  // A longer "fmt " and another chunk in a sox file do not reach the written file: it is sox's own.
  const QByteArray bytes = ReadAll(SoxFile("source.wav", "-r 16000 -b 16 -c 1", "0.3 sine 440 gain -3")), data = bytes.mid(44);
  sound.Load(WriteFile("padded.wav", Riff("fmt " + Le(18) + bytes.mid(20, 16) + Le<std::uint16_t>(0) + "LIST" + Le(4) +
                                          "INFO" + "data" + Le(static_cast<std::uint32_t>(data.size())) + data)));
  sound.Save(Path("copy.wav"));
  EXPECT_EQ(ReadAll(Path("copy.wav")), bytes);
  EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(WaveFileTest, FailedSaveKeepsTheExistingFile) {
  const QString target = WriteFile("keep.wav", "precious");
  WaveSignal sound(nullptr, &prompts);
  sound.SetLength(100000);
  sound.SetFormat(44100);
  // The file size limit makes the write fail part way (as a full disk would).
  rlimit previous;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
  const rlimit limited = {50000, previous.rlim_max};
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  sound.Save(target);
  setrlimit(RLIMIT_FSIZE, &previous);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(ReadAll(target), "precious");
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"keep.wav"});

  sound.Save(Path("no-such-folder/out.wav"));
  EXPECT_EQ(prompts.messages,
            (QStringList{"Error: Can not create " + target, "Error: Can not create " + Path("no-such-folder/out.wav")}));
}
