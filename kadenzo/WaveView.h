#pragma once
// The waveform picture of kadenzo's window with what the window marks over
// it, and the time axis under it. The marks are painted over the picture (not
// into it) across its whole height, so that they cross both halves of a
// two-channel sound and leave the sound's own drawing as it is.

#include <cstdint>
#include <optional>
#include <vector>

#include <QColor>
#include <QString>
#include <QWidget>

#include "PictureWidget.h"

class WaveView : public PictureWidget {
  Q_OBJECT

 public:
  explicit WaveView(QWidget* parent = nullptr);

  // The frames the picture shows: count frames from first (count 0: none).
  void SetFrames(std::int64_t first, std::int64_t count);
  // The first frames of the rhythm's periods, in order; a thin tick marks each.
  void SetPeriodStarts(std::vector<std::int64_t> starts);
  const std::vector<std::int64_t>& PeriodStarts() const { return m_PeriodStarts; }
  // Where "&Play" starts, marked while it is set.
  void SetPlayStart(std::optional<std::int64_t> frame);
  std::optional<std::int64_t> PlayStart() const { return m_PlayStart; }
  // The frame being heard, marked while playing.
  void SetPlayCursor(std::optional<std::int64_t> frame);
  std::optional<std::int64_t> PlayCursor() const { return m_PlayCursor; }

  // The frame under column x (clamped to the view), as the sound's drawing
  // places frames; 0 without frames.
  std::int64_t FrameAt(int x) const;
  // The column where frame is drawn, or none outside the view.
  std::optional<int> ColumnOf(std::int64_t frame) const;

  static inline const QColor kTickColour{0, 150, 0};
  static inline const QColor kStartColour{150, 0, 150};
  static inline const QColor kCursorColour{230, 0, 0};

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::int64_t m_iFirst = 0;
  std::int64_t m_iCount = 0;
  std::vector<std::int64_t> m_PeriodStarts;
  std::optional<std::int64_t> m_PlayStart;
  std::optional<std::int64_t> m_PlayCursor;
};

// Seconds under the waveform picture: a labelled tick at every multiple of a
// step of 1, 2 or 5 times a power of ten seconds, the smallest step that keeps
// the labels apart, for the frames in view.
class TimeAxis : public QWidget {
  Q_OBJECT

 public:
  explicit TimeAxis(QWidget* parent = nullptr);

  // count frames from first at rate frames per second (count 0: no sound).
  void SetSpan(std::int64_t first, std::int64_t count, int rate);

  struct Label {
    int x;  // the tick's column
    QString text;
    bool operator==(const Label&) const = default;
  };
  // The labels at the present width.
  std::vector<Label> Labels() const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::int64_t m_iFirst = 0;
  std::int64_t m_iCount = 0;
  int m_iRate = 0;
};
