// Loading one channel of a ten-minute 16-bit stereo WAV file and saving the
// result as a mono file. The file is KIT_BENCH_WAV when set (bench/wav_vs_sox.sh
// makes it with sox and times sox on it too), otherwise one written here.

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <cstdint>
#include <random>
#include <vector>

#include "KadenzoPrompts.h"
#include "WaveSignal.h"

namespace {

constexpr int kRate = 44100;
constexpr int kFrames = 600 * kRate;

// Answers "Right" to the channel question; nothing else is asked.
class RightChannel : public KadenzoPrompts {
 public:
  void ShowMessage(const QString&, const QString&) override {}
  QString AskFileName(const FileDialogOptions&) override { return QString(); }
  void AskChannel(const QString&, int& channel) override { channel = 1; }
  bool AskModel(double*, double*, double*) override { return false; }
};

void Put32(std::vector<char>& b, std::size_t at, std::uint32_t v) { qToLittleEndian(v, b.data() + at); }
void Put16(std::vector<char>& b, std::size_t at, std::uint16_t v) { qToLittleEndian(v, b.data() + at); }

QString WriteStereoFile(const QString& path) {
  const std::size_t dataBytes = static_cast<std::size_t>(kFrames) * 4;
  std::vector<char> bytes(44 + dataBytes);
  std::copy_n("RIFF", 4, bytes.data());
  Put32(bytes, 4, static_cast<std::uint32_t>(dataBytes + 36));
  std::copy_n("WAVEfmt ", 8, bytes.data() + 8);
  Put32(bytes, 16, 16);
  Put16(bytes, 20, 1);
  Put16(bytes, 22, 2);
  Put32(bytes, 24, kRate);
  Put32(bytes, 28, kRate * 4);
  Put16(bytes, 32, 4);
  Put16(bytes, 34, 16);
  std::copy_n("data", 4, bytes.data() + 36);
  Put32(bytes, 40, static_cast<std::uint32_t>(dataBytes));
  std::mt19937 engine(1);
  for (std::size_t i = 44; i < bytes.size(); ++i) bytes[i] = static_cast<char>(engine());
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return QString();
  file.write(bytes.data(), static_cast<qint64>(bytes.size()));
  return path;
}

class WavFiles {
 public:
  WavFiles() {
    const QString given = qEnvironmentVariable("KIT_BENCH_WAV");
    source = given.isEmpty() ? WriteStereoFile(dir.filePath("stereo.wav")) : given;
    target = dir.filePath("mono.wav");
  }
  QTemporaryDir dir;
  QString source;
  QString target;
};

WavFiles& Files() {
  static WavFiles files;
  return files;
}

void LoadTenMinutesStereo(benchmark::State& state) {
  RightChannel prompts;
  for (auto _ : state) {
    WaveSignal sound(nullptr, &prompts);
    sound.Load(Files().source);
    benchmark::DoNotOptimize(sound.GetLength());
  }
  state.SetItemsProcessed(state.iterations() * kFrames);
  state.SetLabel("items = frames");
}

void SaveTenMinutesMono(benchmark::State& state) {
  RightChannel prompts;
  WaveSignal sound(nullptr, &prompts);
  sound.Load(Files().source);
  for (auto _ : state) sound.Save(Files().target);
  state.SetItemsProcessed(state.iterations() * kFrames);
  state.SetLabel("items = frames");
}

}  // namespace

BENCHMARK(LoadTenMinutesStereo)->Unit(benchmark::kMillisecond);
BENCHMARK(SaveTenMinutesMono)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
