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
#include <cstddef>

#include "WaveSignal.h"

// The sink reads the sound's own samples through a buffer that borrows them.
struct WaveSignal::Playback {
  int firstFrame = 0;
  QBuffer buffer;
  std::unique_ptr<QAudioSink> sink;
  // Receives the sink's state changes and ticks after the sink has turned
  // idle: the sink is idle once it has handed the last sample to the server,
  // which still holds a fraction of a second of sound, so the poll waits until
  // the sink reports it played (or a deadline passes).
  std::unique_ptr<QTimer> endPoll = std::make_unique<QTimer>();
  QDeadlineTimer endDeadline;
  bool endNoticed = false;

  // The poll goes first: that drops whatever the sink has queued for it and
  // any end notice still on its way to the window. Only then is the sink
  // stopped; it may run the event loop while it closes.
  ~Playback() {
    endPoll.reset();
    if (sink) sink->stop();
  }
};

namespace {

constexpr int kEndPollMs = 10;
// The sink's count of played time may stop a little short of the length.
constexpr qint64 kEndToleranceUs = 2000;
// How long past the expected end the poll waits for the sink's count.
constexpr qint64 kEndGraceMs = 1000;
// Qt's PulseAudio sink feeds the server in periods of 20 ms and divides by a
// period's size in bytes, which is zero below one frame per 20 ms: the program
// dies of a division by zero. Such rates are refused like any other format the
// device cannot take.
constexpr unsigned kLowestPlayableRate = 50;

}  // namespace

// Construction and destruction live here, where the playback state is complete.
WaveSignal::WaveSignal(QImage* canvas, KadenzoPrompts* prompts)
    : TSignalBase(canvas), m_pPrompts(prompts) {}

WaveSignal::~WaveSignal() { Stop(); }

bool WaveSignal::Play(QObject* window, std::function<void()> done, int firstFrame) {
  if (m_bPlaying) return true;
  if (!m_pSamples || m_iLength == 0 || m_Format.nSamplesPerSec < kLowestPlayableRate || m_Format.nChannels == 0) {
    return false;
  }
  const int frames = m_iLength / m_Format.nChannels;
  if (frames == 0) return false;
  firstFrame = std::clamp(firstFrame, 0, frames - 1);

  const QAudioDevice device = QMediaDevices::defaultAudioOutput();
  if (device.isNull()) return false;
  QAudioFormat format;
  format.setSampleRate(static_cast<int>(m_Format.nSamplesPerSec));
  format.setChannelCount(m_Format.nChannels);
  format.setSampleFormat(QAudioFormat::Int16);

  auto playback = std::make_unique<Playback>();
  playback->firstFrame = firstFrame;
  const std::ptrdiff_t firstSample = static_cast<std::ptrdiff_t>(firstFrame) * m_Format.nChannels;
  playback->buffer.setData(QByteArray::fromRawData(reinterpret_cast<const char*>(m_pSamples.get() + firstSample),
                                                   static_cast<qsizetype>(m_iLength - firstSample) * 2));
  if (!playback->buffer.open(QIODevice::ReadOnly)) return false;
  playback->sink = std::make_unique<QAudioSink>(device, format);
  QAudioSink* sink = playback->sink.get();

  // The end of the sound (or a device failing while it plays) reaches the
  // window once, through its event queue, unless Stop came first.
  Playback* state = playback.get();
  QTimer* poll = state->endPoll.get();
  const qint64 lengthUs = static_cast<qint64>(frames - firstFrame) * 1000000 / m_Format.nSamplesPerSec;
  const auto deliver = [state, poll, window = QPointer<QObject>(window), done = std::move(done)] {
    if (state->endNoticed) return;
    state->endNoticed = true;
    state->sink->disconnect(poll);
    poll->disconnect();
    poll->stop();
    if (!window) return;
    QMetaObject::invokeMethod(
        window.data(),
        [pending = QPointer<QTimer>(poll), done] {
          if (pending && done) done();
        },
        Qt::QueuedConnection);
  };
  poll->setInterval(kEndPollMs);
  QObject::connect(poll, &QTimer::timeout, poll, [state, lengthUs, deliver] {
    if (state->sink->processedUSecs() >= lengthUs - kEndToleranceUs || state->endDeadline.hasExpired()) deliver();
  });
  QObject::connect(
      sink, &QAudioSink::stateChanged, poll,
      [state, poll, lengthUs, deliver](QAudio::State now) {
        if (now == QAudio::StoppedState) {
          deliver();
        } else if (now == QAudio::ActiveState) {
          poll->stop();
        } else if (now == QAudio::IdleState && !poll->isActive()) {
          const qint64 leftMs = std::max<qint64>(lengthUs - state->sink->processedUSecs(), 0) / 1000;
          state->endDeadline.setRemainingTime(leftMs + kEndGraceMs);
          poll->start();
        }
      },
      Qt::QueuedConnection);

  sink->start(&playback->buffer);
  // A device that opened and then failed is closed at once, with the playback state.
  if (!CheckResult(sink->error()) || sink->state() == QAudio::StoppedState) return false;
  m_pPlayback = std::move(playback);
  m_bPlaying = true;
  return true;
}

int WaveSignal::PlayingFrame() const {
  if (!m_bPlaying || !m_pPlayback) return -1;
  const qint64 played = m_pPlayback->sink->processedUSecs() * m_Format.nSamplesPerSec / 1000000;
  const int frames = m_iLength / m_Format.nChannels;
  return static_cast<int>(std::min<qint64>(m_pPlayback->firstFrame + played, frames - 1));
}

void WaveSignal::Stop() {
  // Idle before the device is closed, so that a nested call finds nothing to do.
  std::unique_ptr<Playback> playback = std::move(m_pPlayback);
  m_bPlaying = false;
  playback.reset();
}
