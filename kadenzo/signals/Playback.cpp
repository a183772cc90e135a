// Playing a WaveSignal once on the default audio output.
#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QByteArray>
#include <QDeadlineTimer>
#include <QMediaDevices>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <algorithm>

#include "WaveSignal.h"

// The sink reads the sound's own samples through a buffer that borrows them.
// Members are destroyed bottom-up: the poll, then the sink, then the buffer it reads.
struct WaveSignal::Playback {
  QBuffer buffer;
  std::unique_ptr<QAudioSink> sink;
  // The sink turns idle once it has handed the last sample to the server,
  // which still holds a fraction of a second of sound; the poll waits until
  // the sink reports it played (or a deadline passes).
  QTimer endPoll;
  QDeadlineTimer endDeadline;
};

namespace {

constexpr int kEndPollMs = 10;
// The sink's count of played time may stop a little short of the length.
constexpr qint64 kEndToleranceUs = 2000;
// How long past the expected end the poll waits for the sink's count.
constexpr qint64 kEndGraceMs = 1000;

}  // namespace

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
  // window once, through its event queue. Everything below runs only while
  // the sink lives; a sink that Stop has destroyed delivers nothing, so a stop
  // by the user is not followed by a second stop.
  Playback* state = playback.get();
  const qint64 lengthUs = static_cast<qint64>(m_iLength / m_Format.nChannels) * 1000000 / m_Format.nSamplesPerSec;
  const auto deliver = [state, window = QPointer<QObject>(window), done = std::move(done)] {
    state->sink->disconnect();
    state->endPoll.stop();
    if (!window) return;
    QMetaObject::invokeMethod(
        window.data(),
        [sink = QPointer<QAudioSink>(state->sink.get()), done] {
          if (sink && done) done();
        },
        Qt::QueuedConnection);
  };
  state->endPoll.setInterval(kEndPollMs);
  QObject::connect(&state->endPoll, &QTimer::timeout, sink, [state, lengthUs, deliver] {
    if (state->sink->processedUSecs() >= lengthUs - kEndToleranceUs || state->endDeadline.hasExpired()) deliver();
  });
  QObject::connect(
      sink, &QAudioSink::stateChanged, sink,
      [state, lengthUs, deliver](QAudio::State now) {
        if (now == QAudio::StoppedState) {
          deliver();
        } else if (now == QAudio::ActiveState) {
          state->endPoll.stop();
        } else if (now == QAudio::IdleState && !state->endPoll.isActive()) {
          const qint64 leftMs = std::max<qint64>(lengthUs - state->sink->processedUSecs(), 0) / 1000;
          state->endDeadline.setRemainingTime(leftMs + kEndGraceMs);
          state->endPoll.start();
        }
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
  // Idle before the device is touched, so that a nested call finds nothing to do.
  const std::unique_ptr<Playback> playback = std::move(m_pPlayback);
  m_bPlaying = false;
  if (playback) {
    playback->sink->disconnect();
    playback->sink->stop();
  }
}
