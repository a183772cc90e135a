#pragma once
// The loaded picture fitted into the widget, with the traced profile and the
// region drawn over it. Mouse work is reported in picture pixels: a click, a
// rectangle dragged, a double-click. The widget keeps no conversion state of
// its own; the window tells it what to show.

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QWidget>
#include <optional>
#include <vector>

class TracedPictureView : public QWidget {
  Q_OBJECT

 public:
  explicit TracedPictureView(QWidget* parent = nullptr);

  void SetPicture(const QImage& picture);
  // The trace: one height per column of the traced rectangle (0: no ink), as
  // counted from its bottom row; drawn in the given colour.
  void SetTrace(const std::vector<double>& heights, const QRect& traced, const QColor& colour);
  // The region shown as a dashed frame; nullopt shows none.
  void SetRegion(const std::optional<QRect>& region);

  // Where the picture is drawn inside the widget.
  QRectF PictureArea() const;
  // The picture pixel under a widget position, limited to the picture.
  QPoint PixelAt(const QPointF& position) const;

 signals:
  void PixelClicked(QPoint pixel);
  void RegionDragged(QRect pixels);
  void RegionCleared();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  QRect Dragged() const;

  QImage m_picture;
  std::vector<double> m_heights;
  QRect m_traced;
  QColor m_traceColour;
  std::optional<QRect> m_region;
  std::optional<QPointF> m_pressedAt;
  QPointF m_dragTo;
  bool m_bDragging = false;
};
