#include "WaveView.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>
#include <utility>

#include "LocaleNumbers.h"

namespace {

// Long enough to be seen, short enough to leave the sound in sight.
constexpr int kTickLength = 4;

QPen Pen(const QColor& colour, Qt::PenStyle style = Qt::SolidLine) {
  QPen pen(colour, 0, style);
  pen.setCapStyle(Qt::FlatCap);
  return pen;
}

}  // namespace

WaveView::WaveView(QWidget* parent) : PictureWidget(parent) {}

void WaveView::SetFrames(std::int64_t first, std::int64_t count) {
  m_iFirst = first;
  m_iCount = std::max<std::int64_t>(count, 0);
  update();
}

void WaveView::SetPeriodStarts(std::vector<std::int64_t> starts) {
  m_PeriodStarts = std::move(starts);
  update();
}

void WaveView::SetPlayStart(std::optional<std::int64_t> frame) {
  m_PlayStart = frame;
  update();
}

void WaveView::SetPlayCursor(std::optional<std::int64_t> frame) {
  if (frame == m_PlayCursor) return;
  m_PlayCursor = frame;
  update();
}

// The sound draws column x over the frames [trunc(x s), trunc((x + 1) s)) of
// the view when there are s > 1 frames per column, and frame f at column
// trunc(f / s + 0.5) otherwise.
std::int64_t WaveView::FrameAt(int x) const {
  const int width = Image().width();
  if (m_iCount == 0 || width <= 0) return 0;
  const double s = static_cast<double>(m_iCount) / width;
  x = std::clamp(x, 0, width - 1);
  const auto offset = static_cast<std::int64_t>(s > 1 ? x * s : x * s + 0.5);
  return m_iFirst + std::min(offset, m_iCount - 1);
}

std::optional<int> WaveView::ColumnOf(std::int64_t frame) const {
  const int width = Image().width();
  const std::int64_t offset = frame - m_iFirst;
  if (m_iCount == 0 || width <= 0 || offset < 0 || offset >= m_iCount) return std::nullopt;
  const double s = static_cast<double>(m_iCount) / width;
  if (s <= 1) return static_cast<int>(offset / s + 0.5);
  int x = static_cast<int>(offset / s);
  // The division may land one column off the truncated bounds.
  while (x > 0 && static_cast<std::int64_t>(x * s) > offset) --x;
  while (x + 1 < width && static_cast<std::int64_t>((x + 1) * s) <= offset) ++x;
  return x;
}

void WaveView::paintEvent(QPaintEvent* event) {
  PictureWidget::paintEvent(event);
  if (m_iCount == 0) return;
  QPainter painter(this);
  // Lines leave out their end point: drawn to the row past the last.
  const int bottom = height();

  // Periods in view, one tick per column however many begin in it: a dotted
  // line over the sound, solid at the edges.
  const auto begin = std::lower_bound(m_PeriodStarts.begin(), m_PeriodStarts.end(), m_iFirst);
  const auto end = std::lower_bound(begin, m_PeriodStarts.end(), m_iFirst + m_iCount);
  std::optional<int> last;
  for (auto start = begin; start != end; ++start) {
    const std::optional<int> x = ColumnOf(*start);
    if (!x || x == last) continue;
    last = x;
    painter.setPen(Pen(kTickColour, Qt::DotLine));
    painter.drawLine(*x, 0, *x, bottom);
    painter.setPen(Pen(kTickColour));
    painter.drawLine(*x, 0, *x, kTickLength);
    painter.drawLine(*x, bottom - kTickLength, *x, bottom);
  }

  const auto mark = [&](std::optional<std::int64_t> frame, const QColor& colour) {
    if (!frame) return;
    if (const std::optional<int> x = ColumnOf(*frame)) {
      painter.setPen(Pen(colour));
      painter.drawLine(*x, 0, *x, bottom);
    }
  };
  mark(m_PlayStart, kStartColour);
  mark(m_PlayCursor, kCursorColour);
}

TimeAxis::TimeAxis(QWidget* parent) : QWidget(parent) {
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void TimeAxis::SetSpan(std::int64_t first, std::int64_t count, int rate) {
  m_iFirst = first;
  m_iCount = count;
  m_iRate = rate;
  update();
}

QSize TimeAxis::sizeHint() const { return {100, fontMetrics().height() + kTickLength + 2}; }

std::vector<TimeAxis::Label> TimeAxis::Labels() const {
  std::vector<Label> labels;
  const int w = width();
  if (m_iCount <= 0 || m_iRate <= 0 || w <= 0) return labels;
  // The labels keep at least the width of a long one apart.
  const int spacing = fontMetrics().horizontalAdvance(QStringLiteral("0000.000 s")) + 8;
  const double seconds = static_cast<double>(m_iCount) / m_iRate;
  const double least = seconds * spacing / w;
  const double decade = std::pow(10.0, std::floor(std::log10(least)));
  double step = 10 * decade;
  for (const double multiple : {1.0, 2.0, 5.0}) {
    if (multiple * decade >= least) {
      step = multiple * decade;
      break;
    }
  }
  const int decimals = std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9)));
  const double from = static_cast<double>(m_iFirst) / m_iRate;
  const double to = static_cast<double>(m_iFirst + m_iCount) / m_iRate;
  for (auto k = static_cast<std::int64_t>(std::ceil(from / step - 1e-9)); k * step <= to + 1e-9 * step; ++k) {
    const double t = k * step;
    const int x = static_cast<int>((t * m_iRate - m_iFirst) / m_iCount * w);
    if (x >= 0 && x < w) labels.push_back({x, FormatFixed(t, decimals) + QStringLiteral(" s")});
  }
  return labels;
}

void TimeAxis::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().window());
  painter.setPen(Pen(palette().windowText().color()));
  const QFontMetrics metrics = fontMetrics();
  for (const Label& label : Labels()) {
    painter.drawLine(label.x, 0, label.x, kTickLength);
    // Right of its tick, or left of it where the axis ends.
    const int textWidth = metrics.horizontalAdvance(label.text);
    const int left = label.x + 3 + textWidth <= width() ? label.x + 3 : label.x - 2 - textWidth;
    painter.drawText(left, kTickLength + metrics.ascent(), label.text);
  }
}
