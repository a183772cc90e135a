// WAV files: files written by sox read back against sox's own decoding,
// hand-made broken heads, the written header byte for byte, and round trips.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>

#include <csignal>
#include <sys/resource.h>
#include <vector>

#include "ScriptedKadenzoPrompts.h"
#include "WaveSignal.h"

namespace {

using Samples = std::vector<std::int16_t>;

class WaveFileTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    LoadChannel = 0;
  }

  QString Path(const QString& name) const { return dir.filePath(name); }

  // A file made by sox: "sox -n <format options> name synth <synth options>".
  QString SoxFile(const QString& name, const QStringList& format, const QStringList& synth) {
    const QString path = Path(name);
    const QStringList args = QStringList{QStringLiteral("-D"), QStringLiteral("-n")} + format + QStringList{path} +
                             QStringList{QStringLiteral("synth")} + synth;
    EXPECT_EQ(QProcess::execute(QStringLiteral("sox"), args), 0) << args.join(' ').toStdString();
    return path;
  }

  // sox's own decoding of one channel (counted from 1) as 16-bit samples.
  Samples SoxDecode(const QString& path, int channel) {
    const QString raw = Path(QStringLiteral("decoded.raw"));
    const QStringList args = {QStringLiteral("-D"), path, QStringLiteral("-t"), QStringLiteral("raw"),
                              QStringLiteral("-e"), QStringLiteral("signed-integer"), QStringLiteral("-b"),
                              QStringLiteral("16"), QStringLiteral("-L"), raw, QStringLiteral("remix"),
                              QString::number(channel)};
    EXPECT_EQ(QProcess::execute(QStringLiteral("sox"), args), 0);
    const QByteArray bytes = ReadAll(raw);
    Samples samples(static_cast<std::size_t>(bytes.size() / 2));
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = qFromLittleEndian<std::int16_t>(bytes.constData() + 2 * i);
    return samples;
  }

  static QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

  QString WriteFile(const QString& name, const QByteArray& bytes) {
    QFile file(Path(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return file.fileName();
  }

  // A sound that already holds something, to see that a refused file changes nothing.
  void Prefill(WaveSignal& sound) {
    sound.SetLength(3);
    sound.SetFormat(1234);
    *sound.GetSamples(1) = 77;
  }
  static void ExpectPrefilled(const WaveSignal& sound) {
    EXPECT_EQ(sound.GetLength(), 3);
    EXPECT_EQ(sound.GetSampleRate(), 1234);
    EXPECT_EQ(*sound.GetSamples(1), 77);
  }

  QTemporaryDir dir;
  ScriptedKadenzoPrompts prompts;
};

Samples SamplesOf(const WaveSignal& sound) { return {sound.GetSamples(0), sound.GetSamples(0) + sound.GetLength()}; }

QByteArray Le32(std::uint32_t v) {
  QByteArray b(4, 0);
  qToLittleEndian(v, b.data());
  return b;
}
QByteArray Le16(std::uint16_t v) {
  QByteArray b(2, 0);
  qToLittleEndian(v, b.data());
  return b;
}

// "fmt " chunk of 16 bytes.
QByteArray FmtChunk(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits) {
  const std::uint16_t align = static_cast<std::uint16_t>(channels * bits / 8);
  return "fmt " + Le32(16) + Le16(1) + Le16(channels) + Le32(rate) + Le32(rate * align) + Le16(align) + Le16(bits);
}

QByteArray Riff(const QByteArray& chunks) { return "RIFF" + Le32(static_cast<std::uint32_t>(chunks.size() + 4)) + "WAVE" + chunks; }

}  // namespace

TEST_F(WaveFileTest, FilesWrittenBySoxLoadAsSoxDecodesThem) {
  struct Case {
    QString name;
    QStringList format;
    QStringList synth;
    int rate;
  };
  const std::vector<Case> cases = {
      {"u8-mono.wav", {"-r", "8000", "-b", "8", "-c", "1"}, {"0.05", "sine", "440"}, 8000},
      {"s16-mono.wav", {"-r", "22050", "-b", "16", "-c", "1"}, {"0.05", "sine", "440", "gain", "-1"}, 22050},
      // Four 8-bit channels: sox writes WAVE_FORMAT_EXTENSIBLE with a "fact" chunk before "data".
      {"u8-quad.wav", {"-r", "11025", "-b", "8", "-c", "4"}, {"0.05", "sine", "300", "sine", "400", "sine", "500", "sine", "600"}, 11025},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name.toStdString());
    const QString path = SoxFile(c.name, c.format, c.synth);
    WaveSignal sound(nullptr, &prompts);
    sound.Load(path);
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join('\n').toStdString();
    EXPECT_TRUE(prompts.channelQuestions.isEmpty());
    EXPECT_EQ(sound.GetSampleRate(), c.rate);
    EXPECT_EQ(+sound.GetFormat().nChannels, 1);
    EXPECT_EQ(+sound.GetFormat().nAvgBytesPerSec, static_cast<std::uint32_t>(2 * c.rate));
    const Samples expected = SoxDecode(path, 1);
    ASSERT_GT(expected.size(), 100u);
    EXPECT_EQ(SamplesOf(sound), expected);
  }
  EXPECT_EQ(ReadAll(Path("u8-quad.wav")).mid(20, 2), Le16(0xFFFE));
}

TEST_F(WaveFileTest, TwoChannelFileAsksForTheChannelAndOtherFilesResetIt) {
  const QString stereo = SoxFile("stereo.wav", {"-r", "44100", "-b", "16", "-c", "2"}, {"0.05", "sine", "440", "sine", "1000"});
  const QString mono = SoxFile("mono.wav", {"-r", "44100", "-b", "16", "-c", "1"}, {"0.01", "sine", "440"});
  const Samples left = SoxDecode(stereo, 1);
  const Samples right = SoxDecode(stereo, 2);
  ASSERT_NE(left, right);

  WaveSignal sound(nullptr, &prompts);
  prompts.channels = {1};
  sound.Load(stereo);
  EXPECT_EQ(prompts.channelQuestions, QStringList{stereo});
  EXPECT_EQ(LoadChannel, 1);
  EXPECT_EQ(SamplesOf(sound), right);
  EXPECT_EQ(+sound.GetFormat().nChannels, 1);
  EXPECT_EQ(+sound.GetFormat().nBlockAlign, 2);
  EXPECT_EQ(+sound.GetFormat().nAvgBytesPerSec, 88200u);

  // The dialog closed without an answer keeps the last choice.
  sound.Load(stereo);
  EXPECT_EQ(SamplesOf(sound), right);
  prompts.channels = {0};
  sound.Load(stereo);
  EXPECT_EQ(SamplesOf(sound), left);

  LoadChannel = 1;
  sound.Load(mono);
  EXPECT_EQ(LoadChannel, 0);
  EXPECT_EQ(prompts.channelQuestions.size(), 3);

  // Saved as a mono file.
  sound.Load(stereo);
  sound.Save(Path("saved.wav"));
  EXPECT_EQ(SoxDecode(Path("saved.wav"), 1), left);
  EXPECT_EQ(ReadAll(Path("saved.wav")).mid(22, 2), Le16(1));
}

TEST_F(WaveFileTest, UnsupportedSampleLayoutsAreStrange) {
  const std::vector<QString> files = {
      SoxFile("s16-three.wav", {"-r", "8000", "-b", "16", "-c", "3"}, {"0.01", "sine", "300", "sine", "400", "sine", "500"}),
      SoxFile("s24-mono.wav", {"-r", "8000", "-b", "24", "-c", "1"}, {"0.01", "sine", "300"}),
      WriteFile("no-channels.wav", Riff(FmtChunk(0, 8000, 16) + "data" + Le32(4) + QByteArray(4, 1))),
  };
  for (const QString& file : files) {
    SCOPED_TRACE(file.toStdString());
    prompts.messages.clear();
    WaveSignal sound(nullptr, &prompts);
    Prefill(sound);
    sound.Load(file);
    EXPECT_EQ(prompts.messages, QStringList{"Error: Strange kind of data!"});
    ExpectPrefilled(sound);
  }
}

TEST_F(WaveFileTest, UnusableHeadsAreRefusedAndChangeNothing) {
  const QByteArray fmt = FmtChunk(1, 8000, 16);
  const QByteArray junk = "JUNK" + Le32(8000) + QByteArray(8000, 0);
  const std::vector<std::pair<QString, QByteArray>> cases = {
      {"no-fmt.wav", Riff("fmx " + fmt.mid(4) + "data" + Le32(4) + QByteArray(4, 1))},
      {"no-data.wav", Riff(fmt + "dat " + Le32(4) + QByteArray(4, 1))},
      {"size-cut.wav", Riff(fmt + "data" + QByteArray(2, 1))},
      {"fmt-cut.wav", Riff("data" + Le32(4) + QByteArray(4, 1) + fmt.left(14))},
      {"zero-size.wav", Riff(fmt + "data" + Le32(0) + QByteArray(4, 1))},
      {"huge-size.wav", Riff(fmt + "data" + Le32(0x80000000u) + QByteArray(4, 1))},
      {"zero-rate.wav", Riff(FmtChunk(1, 0, 16) + "data" + Le32(4) + QByteArray(4, 1))},
      {"negative-rate.wav", Riff(FmtChunk(1, 0x80000000u, 16) + "data" + Le32(4) + QByteArray(4, 1))},
      {"data-beyond-head.wav", Riff(fmt + junk + "data" + Le32(4) + QByteArray(4, 1))},
      {"empty.wav", QByteArray()},
  };
  for (const auto& [name, bytes] : cases) {
    SCOPED_TRACE(name.toStdString());
    prompts.messages.clear();
    const QString path = WriteFile(name, bytes);
    WaveSignal sound(nullptr, &prompts);
    Prefill(sound);
    sound.Load(path);
    EXPECT_EQ(prompts.messages, QStringList{"Error: Can not load " + path});
    ExpectPrefilled(sound);
  }
  prompts.messages.clear();
  WaveSignal sound(nullptr, &prompts);
  sound.Load(Path("missing.wav"));
  EXPECT_EQ(prompts.messages, QStringList{"Error: Can not load " + Path("missing.wav")});
  prompts.messages.clear();
  sound.Load(QString());
  EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(WaveFileTest, HandMadeDataIsReadFrameByFrame) {
  struct Case {
    QString name;
    QByteArray bytes;
    Samples expected;
  };
  QByteArray odd;
  for (int i = 0; i < 1001; ++i) odd.append(static_cast<char>(i));
  const QByteArray list = "LIST" + Le32(12) + "INFOICMT" + Le32(0);
  const std::vector<Case> cases = {
      {"u8.wav", Riff(FmtChunk(1, 8000, 8) + "data" + Le32(3) + QByteArray("\x00\x80\xff", 3)), {-32768, 0, 32512}},
      // A data size of 1001 bytes: the partial last frame is dropped.
      {"odd.wav", Riff(FmtChunk(1, 8000, 16) + "data" + Le32(1001) + odd), {}},
      // A size larger than the file: only the whole frames present.
      {"short.wav", Riff(FmtChunk(1, 8000, 16) + "data" + Le32(1000) + Le16(5) + Le16(0xFFFF) + "x"), {5, -1}},
      {"list.wav", Riff(FmtChunk(1, 8000, 16) + list + "data" + Le32(4) + Le16(300) + Le16(0x8000)), {300, -32768}},
      // The first "data" in the head wins, even inside another chunk.
      {"inside.wav", Riff(FmtChunk(1, 8000, 16) + "LIST" + Le32(8) + "data" + Le32(2) + "data" + Le32(4) + Le16(1) + Le16(2)),
       {0x6164}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name.toStdString());
    WaveSignal sound(nullptr, &prompts);
    sound.Load(WriteFile(c.name, c.bytes));
    EXPECT_TRUE(prompts.messages.isEmpty());
    if (c.name == "odd.wav") {
      ASSERT_EQ(sound.GetLength(), 500);
      EXPECT_EQ(*sound.GetSamples(499), qFromLittleEndian<std::int16_t>(odd.constData() + 998));
    } else {
      EXPECT_EQ(SamplesOf(sound), c.expected);
    }
  }
}

TEST_F(WaveFileTest, TruncatedSoxFileGivesTheFramesItHolds) {
  const QString path = SoxFile("full.wav", {"-r", "8000", "-b", "16", "-c", "2"}, {"0.05", "sine", "440", "sine", "880"});
  const Samples right = SoxDecode(path, 2);
  QByteArray bytes = ReadAll(path);
  bytes.chop(bytes.size() - (44 + 4 * 50 + 3));
  prompts.channels = {1};
  WaveSignal sound(nullptr, &prompts);
  sound.Load(WriteFile("cut.wav", bytes));
  EXPECT_EQ(SamplesOf(sound), Samples(right.begin(), right.begin() + 50));
}

TEST_F(WaveFileTest, SaveWritesTheCanonical44ByteHeader) {
  WaveSignal sound(nullptr, &prompts);
  sound.SetLength(3);
  sound.SetFormat(11025);
  *sound.GetSamples(0) = 1;
  *sound.GetSamples(1) = -2;
  *sound.GetSamples(2) = 32767;
  sound.Save(Path("golden.wav"));
  EXPECT_TRUE(prompts.messages.isEmpty());
  const unsigned char golden[] = {'R', 'I', 'F', 'F', 42,   0,    0,   0,   'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
                                  16,  0,   0,   0,   1,    0,    1,   0,   0x11, 0x2B, 0, 0, 0x22, 0x56, 0, 0,
                                  2,   0,   16,  0,   'd',  'a',  't', 'a', 6,   0,   0,   0,   1,   0,   0xFE, 0xFF,
                                  0xFF, 0x7F};
  EXPECT_EQ(ReadAll(Path("golden.wav")), QByteArray(reinterpret_cast<const char*>(golden), sizeof golden));
}

TEST_F(WaveFileTest, LoadAndSaveRoundTripTheSamples) {
  const QString path = SoxFile("source.wav", {"-r", "16000", "-b", "16", "-c", "1"}, {"0.3", "sine", "440", "gain", "-3"});
  // Another chunk and a longer "fmt " in the source do not reach the written file.
  QByteArray bytes = ReadAll(path);
  const QByteArray data = bytes.mid(44);
  const QByteArray padded = Riff("fmt " + Le32(18) + bytes.mid(20, 16) + Le16(0) + "LIST" + Le32(4) + "INFO" + "data" +
                                 Le32(static_cast<std::uint32_t>(data.size())) + data);
  WaveSignal sound(nullptr, &prompts);
  sound.Load(WriteFile("padded.wav", padded));
  sound.Save(Path("copy.wav"));
  const QByteArray copy = ReadAll(Path("copy.wav"));
  EXPECT_EQ(copy, bytes.left(44) + data);
  EXPECT_EQ(copy.size(), 44 + 2 * sound.GetLength());
  EXPECT_EQ(qFromLittleEndian<std::uint32_t>(copy.constData() + 4), static_cast<std::uint32_t>(36 + 2 * sound.GetLength()));
  EXPECT_EQ(SoxDecode(Path("copy.wav"), 1), SoxDecode(path, 1));

  WaveSignal again(nullptr, &prompts);
  again.Load(Path("copy.wav"));
  EXPECT_EQ(SamplesOf(again), SamplesOf(sound));
  EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(WaveFileTest, FailedSaveKeepsTheExistingFile) {
  const QString target = WriteFile("keep.wav", QByteArray("precious"));
  WaveSignal sound(nullptr, &prompts);
  sound.SetLength(100000);
  sound.SetFormat(44100);

  // The file size limit makes the write fail part way (as a full disk would).
  rlimit previous;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limited = previous;
  limited.rlim_cur = 50000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  sound.Save(target);
  setrlimit(RLIMIT_FSIZE, &previous);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_EQ(prompts.messages, QStringList{"Error: Can not create " + target});
  EXPECT_EQ(ReadAll(target), QByteArray("precious"));
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"keep.wav"});

  prompts.messages.clear();
  sound.Save(Path("no-such-folder/out.wav"));
  EXPECT_EQ(prompts.messages, QStringList{"Error: Can not create " + Path("no-such-folder/out.wav")});
}
