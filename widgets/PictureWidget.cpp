#include "PictureWidget.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QToolTip>
#include <QWheelEvent>

PictureWidget::PictureWidget(QWidget* parent) : QWidget(parent) {
  m_image = QImage(1, 1, QImage::Format_RGB32);
  m_image.fill(Qt::white);
}

bool PictureWidget::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    if (m_hintShown && !m_hint.isEmpty()) {
      QToolTip::showText(help->globalPos(), m_hint, this);
    } else {
      QToolTip::hideText();
    }
    return true;
  }
  return QWidget::event(event);
}

void PictureWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(0, 0, m_image);
}

void PictureWidget::mousePressEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  emit MousePressed(p.x(), p.y(), event->button());
}

void PictureWidget::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  emit MouseMoved(p.x(), p.y(), event->buttons());
}

void PictureWidget::mouseDoubleClickEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  emit DoubleClicked(p.x(), p.y());
}

void PictureWidget::wheelEvent(QWheelEvent* event) {
  emit WheelTurned(event->position().toPoint().x(), event->angleDelta().y() / 120.0);
}

void PictureWidget::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  emit MouseReleased(p.x(), p.y(), event->button());
}

void PictureWidget::resizeEvent(QResizeEvent* event) {
  const QSize size = event->size().expandedTo(QSize(1, 1));
  if (size != m_image.size()) {
    m_image = QImage(size, QImage::Format_RGB32);
    m_image.fill(Qt::white);
    emit Resized();
  }
}
