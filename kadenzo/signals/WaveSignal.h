#pragma once
// The current sound of kadenzo: signed 16-bit mono samples with their format
// record, the conversion of numeric results into samples, the waveform view,
// WAV files and playback.

#include <cstdint>
#include <functional>
#include <memory>

#include <QAudio>
#include <QString>

#include "LargeArray.h"

class Block;
class KadenzoPrompts;
class PictureWidget;
class QImage;
class QObject;
class QRect;

// The platform's 18-byte packed PCM format record.
#pragma pack(push, 1)
struct WAVEFORMATEX {
  std::uint16_t wFormatTag;
  std::uint16_t nChannels;
  std::uint32_t nSamplesPerSec;
  std::uint32_t nAvgBytesPerSec;
  std::uint16_t nBlockAlign;
  std::uint16_t wBitsPerSample;
  std::uint16_t cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);

// The channel taken from two-channel files (0 left, 1 right); lives for the
// whole program, set by the channel question and reset to 0 by other files.
extern int LoadChannel;

// The position just after the first occurrence of the four-byte tag among the
// first count positions of head (its start + 4), or 0 when it does not occur.
int FindTag(const char* head, const char* tag, int count);

// Reads the head of a WAV file: the format record after "fmt " and the data
// size after "data", both found in the first 8000 bytes. Returns the data size
// in bytes, 0 when the file cannot be read or its head is unusable (a missing
// tag, a field outside the bytes read, a size of 2^31 or more, a rate of 0 or
// of 2^31 or more).
std::int32_t ReadWaveHeader(const QString& fileName, WAVEFORMATEX& format,
                            std::int64_t* dataOffset = nullptr);

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

class WaveSignal : public TSignalBase {
 public:
  // The prompts show the reader's and writer's messages and ask the channel
  // question; they must outlive the sound.
  WaveSignal(QImage* canvas, KadenzoPrompts* prompts);
  // Stops playback before the samples are freed.
  ~WaveSignal() override;

  void Draw(QImage* canvas = nullptr) override;
  void Load(const QString& fileName) override;
  void Save(const QString& fileName) override;
  void UpdateHint(PictureWidget* control) override;
  // Replaces the samples by count zero samples (stopping playback first).
  virtual void SetLength(int count);

  int GetSampleRate() const { return static_cast<int>(m_Format.nSamplesPerSec); }
  int GetLength() const { return m_iLength; }
  std::int16_t* GetSamples(int index) { return m_pSamples.get() + index; }
  const std::int16_t* GetSamples(int index) const { return m_pSamples.get() + index; }
  const WAVEFORMATEX& GetFormat() const { return m_Format; }

  // 16-bit mono PCM at the given rate.
  void SetFormat(int rate);
  // Fill the existing samples peak-normalised to 32767 (truncated toward zero);
  // false, with the samples unchanged, when the peak is 0. A shorter block is
  // repeated, a longer one cut; SetFromFloats reads GetLength() values.
  bool SetFromBlock(const Block& block, int rate);
  bool SetFromFloats(const float* values, int rate);

  // Plays the samples once on the default output. At the end of the sound
  // `done` is called on window's thread through its event queue (not if window
  // is gone). True when the sound is playing afterwards.
  bool Play(QObject* window, std::function<void()> done);
  void Stop();
  bool IsPlaying() const { return m_bPlaying; }

 protected:
  // Draws one channel (first: 0 left, 1 right) into r: a min-to-max bar per
  // pixel column when there are more frames than columns, else the samples
  // joined by lines, with marks when they are more than about 3 pixels apart.
  void DrawRange(QImage& canvas, const QRect& r, int first);
  // True when the output device reported success.
  static bool CheckResult(QAudio::Error code) { return code == QAudio::NoError; }
  void ShowMessage(const QString& text, const QString& caption) const;

  KadenzoPrompts* m_pPrompts;  // not owned
  LargeArray<std::int16_t> m_pSamples;
  int m_iLength = 0;
  bool m_bPlaying = false;
  WAVEFORMATEX m_Format = {};
  struct Playback;  // the output device while playing
  std::unique_ptr<Playback> m_pPlayback;
};

// Two interleaved channels (left first); m_iLength counts the samples of both.
// Drawn as the left channel above the right; saved by the WaveSignal writer.
class StereoWaveSignal : public WaveSignal {
 public:
  StereoWaveSignal(QImage* canvas, KadenzoPrompts* prompts);

  void Draw(QImage* canvas = nullptr) override;
  // Not implemented: says so and changes nothing.
  void Load(const QString& fileName) override;
  void SetSampleRate(int rate);
};
