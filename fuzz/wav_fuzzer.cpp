// The sound file reading of "&Load" on arbitrary bytes: it must neither crash
// nor read outside its buffers, and it always holds 16-bit samples. A sound it
// accepts is drawn, saved and read back unchanged.
#include <QDir>
#include <QFile>
#include <QImage>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <unistd.h>

#include "KadenzoPrompts.h"
#include "WaveSignal.h"

namespace {

// Answers the channel question with the channel the input's last byte names.
class FuzzPrompts : public KadenzoPrompts {
 public:
  int answer = 0;
  void ShowMessage(const QString&, const QString&) override {}
  QString AskFileName(const FileDialogOptions&) override { return QString(); }
  void AskChannel(const QString&, int& channel) override { channel = answer; }
  bool AskModel(double*, double*, double*) override { return false; }
};

// The input and the saved copy, removed when the fuzzer ends.
struct ScratchFiles {
  QString input = Path("in.wav");
  QString output = Path("out.wav");
  ~ScratchFiles() {
    QFile::remove(input);
    QFile::remove(output);
  }
  static QString Path(const char* name) {
    return QDir::tempPath() + QStringLiteral("/wav_fuzzer_%1_").arg(getpid()) + QLatin1String(name);
  }
};

bool WriteFile(const QString& path, const std::uint8_t* data, std::size_t size) {
  std::FILE* file = std::fopen(QFile::encodeName(path).constData(), "wb");
  if (!file) return false;
  const bool written = std::fwrite(data, 1, size, file) == size;
  return std::fclose(file) == 0 && written;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const ScratchFiles files;
  if (!WriteFile(files.input, data, size)) return 0;

  FuzzPrompts prompts;
  prompts.answer = size > 0 ? data[size - 1] % 2 : 0;
  QImage image(64, 32, QImage::Format_RGB32);
  WaveSignal sound(&image, &prompts);
  sound.Load(files.input);
  // A PCM frame takes at least one byte of the file; compressed formats
  // (ADPCM, FLAC) give more samples than bytes, within the reader's memory check.
  if (sound.GetLength() > 0 && sound.GetFormat().wBitsPerSample != 16) std::abort();
  sound.Draw();

  // The reader takes the first "data" anywhere in the head, so a rate whose
  // bytes spell "data" cannot come back; real rates are far below that.
  if (sound.GetLength() > 0 && sound.GetSampleRate() < (1 << 24)) {
    sound.Save(files.output);
    WaveSignal copy(nullptr, &prompts);
    copy.Load(files.output);
    if (copy.GetLength() != sound.GetLength() || copy.GetSampleRate() != sound.GetSampleRate() ||
        std::memcmp(copy.GetSamples(0), sound.GetSamples(0), static_cast<std::size_t>(sound.GetLength()) * 2) != 0) {
      std::abort();
    }
  }
  return 0;
}
