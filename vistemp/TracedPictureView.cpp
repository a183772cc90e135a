#include "TracedPictureView.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

TracedPictureView::TracedPictureView(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(false);
}

void TracedPictureView::SetPicture(const QImage& picture) {
  m_picture = picture;
  m_region.reset();
  m_heights.clear();
  update();
}

void TracedPictureView::SetTrace(const std::vector<double>& heights, const QRect& traced, const QColor& colour) {
  m_heights = heights;
  m_traced = traced;
  m_traceColour = colour;
  update();
}

void TracedPictureView::SetRegion(const std::optional<QRect>& region) {
  m_region = region;
  update();
}

QRectF TracedPictureView::PictureArea() const {
  if (m_picture.isNull()) return {};
  const double scale = std::min(static_cast<double>(width()) / m_picture.width(),
                                static_cast<double>(height()) / m_picture.height());
  const QSizeF size(m_picture.width() * scale, m_picture.height() * scale);
  return QRectF(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), size);
}

QPoint TracedPictureView::PixelAt(const QPointF& position) const {
  const QRectF area = PictureArea();
  if (area.isEmpty()) return {};
  const double scale = area.width() / m_picture.width();
  const int x = static_cast<int>(std::floor((position.x() - area.left()) / scale));
  const int y = static_cast<int>(std::floor((position.y() - area.top()) / scale));
  return QPoint(std::clamp(x, 0, m_picture.width() - 1), std::clamp(y, 0, m_picture.height() - 1));
}

QRect TracedPictureView::Dragged() const {
  return QRect(PixelAt(*m_pressedAt), PixelAt(m_dragTo)).normalized();
}

void TracedPictureView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Window));
  const QRectF area = PictureArea();
  if (area.isEmpty()) return;
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(area, m_picture);

  // Picture pixel (x, y) covers [x, x + 1) x [y, y + 1) before scaling.
  const double scale = area.width() / m_picture.width();
  const auto toWidget = [&](double x, double y) { return QPointF(area.left() + x * scale, area.top() + y * scale); };

  painter.setRenderHint(QPainter::Antialiasing);
  QPainterPath trace;
  bool open = false;
  const int bottom = m_traced.y() + m_traced.height();
  for (std::size_t i = 0; i < m_heights.size(); ++i) {
    if (m_heights[i] == 0.0) {
      open = false;
      continue;
    }
    const QPointF point = toWidget(m_traced.x() + static_cast<double>(i) + 0.5, bottom - m_heights[i] + 0.5);
    if (open) {
      trace.lineTo(point);
    } else {
      trace.moveTo(point);
      // A lone column still shows as a short mark.
      trace.lineTo(point + QPointF(0.01, 0));
      open = true;
    }
  }
  painter.setPen(QPen(m_traceColour, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  painter.drawPath(trace);

  const auto frame = [&](const QRect& pixels, const QColor& colour) {
    painter.setPen(QPen(colour, 1.0, Qt::DashLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(toWidget(pixels.x(), pixels.y()),
                            toWidget(pixels.x() + pixels.width(), pixels.y() + pixels.height())));
  };
  if (m_region) frame(*m_region, m_traceColour);
  if (m_bDragging) frame(Dragged(), Qt::darkGray);
}

void TracedPictureView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || m_picture.isNull()) return;
  m_pressedAt = event->position();
  m_dragTo = event->position();
  m_bDragging = false;
}

void TracedPictureView::mouseMoveEvent(QMouseEvent* event) {
  if (!m_pressedAt) return;
  m_dragTo = event->position();
  if ((m_dragTo - *m_pressedAt).manhattanLength() >= QApplication::startDragDistance()) m_bDragging = true;
  if (m_bDragging) update();
}

void TracedPictureView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !m_pressedAt) return;
  m_dragTo = event->position();
  if ((m_dragTo - *m_pressedAt).manhattanLength() >= QApplication::startDragDistance()) m_bDragging = true;
  const bool dragged = m_bDragging;
  const QRect rectangle = Dragged();
  const QPoint pixel = PixelAt(m_dragTo);
  m_pressedAt.reset();
  m_bDragging = false;
  update();
  if (dragged) {
    emit RegionDragged(rectangle);
  } else if (PictureArea().contains(m_dragTo)) {
    emit PixelClicked(pixel);
  }
}

void TracedPictureView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || m_picture.isNull()) return;
  m_pressedAt.reset();
  emit RegionCleared();
}
