// Playing a WaveSignal once on the default audio output.
#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QByteArray>
#include <QMediaDevices>
#include <QObject>
#include <QPointer>

#include "WaveSignal.h"

// The sink reads the sound's own samples through a buffer that borrows them;
// the sink is declared last so that it goes before the buffer it reads.
struct WaveSignal::Playback {
  QBuffer buffer;
  std::unique_ptr<QAudioSink> sink;
};

// Construction and destruction live here, where the playback state is complete.
WaveSignal::WaveSignal(QImage* canvas, KadenzoPrompts* prompts)
    : TSignalBase(canvas), m_pPrompts(prompts) {}

WaveSignal::~WaveSignal() { Stop(); }

bool WaveSignal::Play(QObject* window, std::function<void()> done) {
  if (m_bPlaying) return true;
  if (!m_pSamples || m_iLength == 0 || m_Format.nSamplesPerSec == 0 || m_Format.nChannels == 0) return false;

  const QAudioDevice device = QMediaDevices::defaultAudioOutput();
  if (device.isNull()) return false;
  QAudioFormat format;
  format.setSampleRate(static_cast<int>(m_Format.nSamplesPerSec));
  format.setChannelCount(m_Format.nChannels);
  format.setSampleFormat(QAudioFormat::Int16);

  auto playback = std::make_unique<Playback>();
  playback->buffer.setData(QByteArray::fromRawData(reinterpret_cast<const char*>(m_pSamples.get()),
                                                   static_cast<qsizetype>(m_iLength) * 2));
  if (!playback->buffer.open(QIODevice::ReadOnly)) return false;
  playback->sink = std::make_unique<QAudioSink>(device, format);
  QAudioSink* sink = playback->sink.get();

  // The end of the sound (or a device failing while it plays) reaches the
  // window through its event queue. A sink that Stop has already destroyed
  // delivers nothing, so a stop by the user is not followed by a second one.
  QObject::connect(sink, &QAudioSink::stateChanged, sink,
                   [sink, window = QPointer<QObject>(window), done](QAudio::State state) {
                     if (state != QAudio::IdleState && state != QAudio::StoppedState) return;
                     if (!window) return;
                     QMetaObject::invokeMethod(
                         window.data(),
                         [guard = QPointer<QAudioSink>(sink), done] {
                           if (guard && done) done();
                         },
                         Qt::QueuedConnection);
                   },
                   Qt::QueuedConnection);

  sink->start(&playback->buffer);
  if (!CheckResult(sink->error()) || sink->state() == QAudio::StoppedState) {
    // A device that opened and then failed is closed at once.
    sink->disconnect();
    sink->stop();
    return false;
  }
  m_pPlayback = std::move(playback);
  m_bPlaying = true;
  return true;
}

void WaveSignal::Stop() {
  if (m_bPlaying && m_pPlayback) {
    QAudioSink* sink = m_pPlayback->sink.get();
    sink->disconnect();
    sink->stop();
  }
  m_pPlayback.reset();
  m_bPlaying = false;
}
