#pragma once
// The current sound of kadenzo in the window: the samples of a SoundStore
// with their waveform view, loading and saving with the window's questions and
// messages, and playback.

#include <cstdint>
#include <functional>
#include <memory>

#include <QAudio>
#include <QString>

#include "SoundStore.h"

class KadenzoPrompts;
class PictureWidget;
class QImage;
class QObject;
class QRect;

// The channel taken from two-channel files (0 left, 1 right, kBothChannels
// both as a stereo sound); lives for the whole program, set by the channel
// question and reset to 0 by other files.
extern int LoadChannel;

class TSignalBase {
 public:
  explicit TSignalBase(QImage* canvas) : m_pCanvas(canvas) {}
  virtual ~TSignalBase() = default;
  TSignalBase(const TSignalBase&) = delete;
  TSignalBase& operator=(const TSignalBase&) = delete;

  // Null means the sound's own canvas. The base draws the empty picture: grey
  // with a black diagonal cross.
  virtual void Draw(QImage* canvas = nullptr);
  virtual void Load(const QString& fileName) = 0;
  virtual void Save(const QString& fileName) = 0;
  virtual QImage* GetCanvas() const { return m_pCanvas; }
  virtual void SetCanvas(QImage* canvas) { m_pCanvas = canvas; }
  // Length and duration in the control's hint; null control: nothing.
  virtual void UpdateHint(PictureWidget* control) = 0;

 protected:
  QImage* m_pCanvas;  // not owned
};

class WaveSignal : public TSignalBase, public SoundStore {
 public:
  // The prompts show the reader's and writer's messages and ask the channel
  // question; they must outlive the sound.
  WaveSignal(QImage* canvas, KadenzoPrompts* prompts);
  // Stops playback before the samples are freed.
  ~WaveSignal() override;

  void Draw(QImage* canvas = nullptr) override;
  void Load(const QString& fileName) override;
  void Save(const QString& fileName) override;
  // Length in frames and duration in the control's hint.
  void UpdateHint(PictureWidget* control) override;
  // Replaces the samples by count zero samples (stopping playback first).
  virtual void SetLength(int count);

  // Plays the samples once on the default output, from frame firstFrame
  // (clamped to the sound) to the end. At the end of the sound `done` is
  // called on window's thread through its event queue (not if window is
  // gone). True when the sound is playing afterwards.
  bool Play(QObject* window, std::function<void()> done, int firstFrame = 0);
  void Stop();
  bool IsPlaying() const { return m_bPlaying; }
  // The frame being heard, from the output's count of the time it has
  // played; -1 when not playing.
  int PlayingFrame() const;

  // The frames the view shows: count frames from first, clamped to the sound;
  // a count of 0 (or more than the sound) shows the whole sound.
  void SetView(int first, int count);
  int ViewFirst() const;
  int ViewCount() const;

 protected:
  // Draws one channel (first: 0 left, 1 right) into r: a min-to-max bar per
  // pixel column when there are more frames than columns, else the samples
  // joined by lines, with marks when they are more than about 3 pixels apart.
  void DrawRange(QImage& canvas, const QRect& r, int first);
  // True when the output device reported success.
  static bool CheckResult(QAudio::Error code) { return code == QAudio::NoError; }
  void ShowMessage(const QString& text, const QString& caption) const;

  KadenzoPrompts* m_pPrompts;  // not owned
  bool m_bPlaying = false;
  struct Playback;  // the output device while playing
  std::unique_ptr<Playback> m_pPlayback;
  int m_iViewFirst = 0;
  int m_iViewCount = 0;  // 0: the whole sound
};

// A WaveSignal of two channels is drawn as the left channel above the right.
// StereoWaveSignal starts out as such a sound: two interleaved channels (left
// first) at 44100 Hz; m_iLength counts the samples of both.
class StereoWaveSignal : public WaveSignal {
 public:
  StereoWaveSignal(QImage* canvas, KadenzoPrompts* prompts);

  // Not implemented: says so and changes nothing.
  void Load(const QString& fileName) override;
  void SetSampleRate(int rate);
};
