// Loading and saving WaveSignal as WAV files, with the window's questions and
// messages around the window-free reader and writer.
#include <QFile>

#include "KadenzoPrompts.h"
#include "SoundFile.h"
#include "WaveSignal.h"

int LoadChannel = 0;

namespace {

const QString kErrorCaption = QStringLiteral("Error");

std::string LocalName(const QString& fileName) { return QFile::encodeName(fileName).toStdString(); }

}  // namespace

void WaveSignal::Load(const QString& fileName) {
  WaveFileContent content = ReadSoundFile(LocalName(fileName));
  const QString refusal = QString::fromStdString(ReadRefusalMessage(content, fileName.toStdString()));
  if (content.result == WaveReadResult::CannotLoad) {
    if (!fileName.isEmpty()) ShowMessage(refusal, kErrorCaption);
    return;
  }
  if (content.format.nChannels == 2) {
    if (m_pPrompts) m_pPrompts->AskChannel(fileName, LoadChannel);
  } else {
    LoadChannel = 0;
  }
  if (content.result != WaveReadResult::Loaded) {
    ShowMessage(refusal, kErrorCaption);
    return;
  }
  const int rate = static_cast<int>(content.format.nSamplesPerSec);
  Stop();
  if (content.format.nChannels == 2 && LoadChannel == kBothChannels) {
    SetFormat(rate, 2);
    TakeSamples(std::move(content.samples), 2 * content.frames);
    return;
  }
  LargeArray<std::int16_t> samples = TakeWaveChannel(content, LoadChannel);
  SetFormat(rate);
  TakeSamples(std::move(samples), content.frames);
}

void WaveSignal::Save(const QString& fileName) {
  if (!WriteWaveFile(*this, LocalName(fileName))) {
    ShowMessage(QStringLiteral("Can not create ") + fileName, kErrorCaption);
  }
}

void StereoWaveSignal::Load(const QString&) {
  ShowMessage(QStringLiteral("StereoWaveSignal::Load"), QStringLiteral("not implemented"));
}
