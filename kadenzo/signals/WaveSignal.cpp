#include "WaveSignal.h"

#include <QImage>
#include <QPainter>
#include <QPen>
#include <QRect>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>

#include "KadenzoPrompts.h"
#include "LocaleNumbers.h"
#include "PictureWidget.h"

namespace {

// A one-pixel cosmetic pen whose lines leave out their last pixel, so that a
// bar from y1 to y1 + 1 is one pixel high.
QPen CosmeticPen(const QColor& colour) {
  QPen pen(colour, 0);
  pen.setCapStyle(Qt::FlatCap);
  return pen;
}

// Line from (x1, y1) to (x2, y2) without the end point; nothing when they meet.
void LineWithoutEnd(QPainter& painter, int x1, int y1, int x2, int y2) {
  if (x1 != x2 || y1 != y2) painter.drawLine(x1, y1, x2, y2);
}

struct SampleRange {
  int hi = -32768;
  int lo = 32767;
};

// Sixteen samples side by side: element-wise comparisons compile to vector
// instructions at any optimisation level.
using SampleLanes = std::int16_t __attribute__((vector_size(32)));
constexpr int kLanes = sizeof(SampleLanes) / sizeof(std::int16_t);

// Largest and smallest of count contiguous samples, sixteen running lanes
// merged at the end, for the long columns of a long sound.
SampleRange ScanSamples(const std::int16_t* samples, int count) {
  SampleLanes hi, lo;
  for (int j = 0; j < kLanes; ++j) {
    hi[j] = std::numeric_limits<std::int16_t>::min();
    lo[j] = std::numeric_limits<std::int16_t>::max();
  }
  int i = 0;
  for (; i + kLanes <= count; i += kLanes) {
    SampleLanes v;
    std::memcpy(&v, samples + i, sizeof v);
    hi = v > hi ? v : hi;
    lo = v < lo ? v : lo;
  }
  SampleRange range;
  for (int j = 0; j < kLanes; ++j) {
    range.hi = std::max<int>(range.hi, hi[j]);
    range.lo = std::min<int>(range.lo, lo[j]);
  }
  for (; i < count; ++i) {
    range.hi = std::max<int>(range.hi, samples[i]);
    range.lo = std::min<int>(range.lo, samples[i]);
  }
  return range;
}

}  // namespace

void TSignalBase::Draw(QImage* canvas) {
  if (!canvas) canvas = GetCanvas();
  if (!canvas || canvas->isNull()) return;
  QPainter painter(canvas);
  const QRect r = canvas->rect();
  painter.fillRect(r, QColor(128, 128, 128));
  painter.setPen(CosmeticPen(Qt::black));
  const int right = r.left() + r.width();
  const int bottom = r.top() + r.height();
  LineWithoutEnd(painter, r.left(), r.top(), right, bottom);
  LineWithoutEnd(painter, right, r.top(), r.left(), bottom);
}

void WaveSignal::ShowMessage(const QString& text, const QString& caption) const {
  if (m_pPrompts) m_pPrompts->ShowMessage(text, caption);
}

void WaveSignal::SetLength(int count) {
  Stop();
  SoundStore::SetLength(count);
}

void WaveSignal::Draw(QImage* canvas) {
  if (!canvas) canvas = m_pCanvas;
  if (!canvas || canvas->isNull()) return;
  if (!m_pSamples || m_iLength == 0) {
    TSignalBase::Draw(canvas);
    return;
  }
  const QRect r = canvas->rect();
  if (GetChannels() != 2) {
    DrawRange(*canvas, r, 0);
    return;
  }
  const int right = r.left() + r.width();
  const int bottom = r.top() + r.height();
  const int middle = bottom / 2;
  DrawRange(*canvas, QRect(QPoint(r.left(), r.top()), QPoint(right - 1, middle - 1)), 0);
  DrawRange(*canvas, QRect(QPoint(r.left(), middle), QPoint(right - 1, bottom - 1)), 1);
}

void WaveSignal::DrawRange(QImage& canvas, const QRect& r, int first) {
  const int left = r.left();
  const int top = r.top();
  const int right = left + r.width();
  const int bottom = top + r.height();
  QPainter painter(&canvas);
  painter.fillRect(r, Qt::white);
  painter.setPen(CosmeticPen(QColor(0, 0, 255)));
  painter.setBrush(Qt::white);

  const int channels = GetChannels();
  // The frames in view; the whole sound unless zoomed.
  const int frames = ViewCount();
  if (right <= left || frames == 0 || first >= channels) return;
  const double s = static_cast<double>(frames) / (right - left);
  const double k = (bottom - top) / 65535.0;
  const int y0 = (top + bottom) / 2;
  const auto yOf = [&](int v) { return static_cast<int>(y0 - v * k); };
  const std::int16_t* samples = m_pSamples.get() + static_cast<std::ptrdiff_t>(ViewFirst()) * channels;

  if (s > 1) {
    for (int x = left; x < right; ++x) {
      const int a = static_cast<int>(x * s);
      const int b = std::min(static_cast<int>((x + 1) * s), frames);
      SampleRange range;
      if (channels == 1) {
        range = ScanSamples(samples + a, b - a);
      } else {
        for (int i = a * channels + first; i < b * channels; i += channels) {
          range.hi = std::max<int>(range.hi, samples[i]);
          range.lo = std::min<int>(range.lo, samples[i]);
        }
      }
      const int y1 = yOf(range.hi);
      int y2 = yOf(range.lo);
      if (y1 == y2) y2 = y1 + 1;
      LineWithoutEnd(painter, x, y1, x, y2);
    }
    return;
  }

  // At least one pixel per frame; frame f of the channel sits at f / s.
  const bool marks = s < 0.33;
  QPoint previous;
  for (int f = 0; f < frames; ++f) {
    const QPoint point(static_cast<int>(f / s + 0.5), yOf(samples[f * channels + first]));
    if (f > 0) LineWithoutEnd(painter, previous.x(), previous.y(), point.x(), point.y());
    if (marks) painter.drawEllipse(QRect(point.x() - 2, point.y() - 2, 3, 3));
    previous = point;
  }
}

void WaveSignal::SetView(int first, int count) {
  const int frames = GetFrames();
  m_iViewCount = count <= 0 || count >= frames ? 0 : count;
  m_iViewFirst = m_iViewCount == 0 ? 0 : std::clamp(first, 0, frames - m_iViewCount);
}

int WaveSignal::ViewFirst() const { return m_iViewFirst; }

int WaveSignal::ViewCount() const {
  const int frames = GetFrames();
  return m_iViewCount == 0 ? frames : std::min(m_iViewCount, frames - m_iViewFirst);
}

void WaveSignal::UpdateHint(PictureWidget* control) {
  if (!control) return;
  if (!m_pSamples) {
    control->SetHintShown(false);
    return;
  }
  control->SetHintShown(true);
  QString hint = QString::number(GetFrames()) + QStringLiteral(" counts");
  if (m_Format.nSamplesPerSec != 0) {
    const double seconds = static_cast<double>(GetFrames()) / m_Format.nSamplesPerSec;
    hint += QStringLiteral("\n") + FormatFixedPrecision(seconds, 8, 2) + QStringLiteral(" sec");
  }
  control->SetHint(hint);
}

StereoWaveSignal::StereoWaveSignal(QImage* canvas, KadenzoPrompts* prompts)
    : WaveSignal(canvas, prompts) {
  SetSampleRate(44100);
}

void StereoWaveSignal::SetSampleRate(int rate) { SetFormat(rate, 2); }
