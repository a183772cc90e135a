#pragma once
// A picture control: a widget that owns a QImage of its own size, shows it, and
// reports mouse presses, moves with a button held, and releases in image pixels. Drawing code paints into Image() and
// then calls update(). The hint (tool tip) can be switched off while its text
// is kept.

#include <QImage>
#include <QString>
#include <QWidget>

class PictureWidget : public QWidget {
  Q_OBJECT

 public:
  explicit PictureWidget(QWidget* parent = nullptr);

  // The picture. It keeps its address for the widget's life; on a resize it is
  // replaced by a white picture of the new size and Resized() is emitted so
  // that its owner can draw it again.
  QImage& Image() { return m_image; }
  const QImage& Image() const { return m_image; }

  void SetHint(const QString& text) { m_hint = text; }
  const QString& Hint() const { return m_hint; }
  void SetHintShown(bool shown) { m_hintShown = shown; }
  bool HintShown() const { return m_hintShown; }

 signals:
  void MousePressed(int x, int y, Qt::MouseButton button);
  // Only while a button is held (the widget does not track the bare pointer).
  void MouseMoved(int x, int y, Qt::MouseButtons buttons);
  void DoubleClicked(int x, int y);
  // Wheel turns at column x, in notches (positive away from the user).
  void WheelTurned(int x, double notches);
  void MouseReleased(int x, int y, Qt::MouseButton button);
  void Resized();

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QImage m_image;
  QString m_hint;
  bool m_hintShown = false;
};
