// Opens the real Vistemp window, loads a coloured chart (a frame, a red and a
// blue curve) as a PNG through the window's own Load command (the open dialog
// answered by script), picks the red curve with a click in pick mode, and
// writes a PNG of the window with the trace over the picture.
// Usage: vistemp_screenshot OUTPUT.png
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <tuple>
#include <cstdio>

#include "ScriptedPrompts.h"
#include "TracedPictureView.h"
#include "vtMain.h"

namespace {

// A chart: axes in a frame, a red beat curve with a fast attack and a decay,
// and a blue curve below it.
QImage Drawing() {
  QImage image(600, 300, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(Qt::black, 2));
  painter.drawRect(20, 10, 560, 270);
  for (const auto& [colour, base, size] : {std::tuple{QColor(220, 30, 30), 150.0, 120.0},
                                           std::tuple{QColor(30, 60, 210), 260.0, 70.0}}) {
    painter.setPen(QPen(colour, 3));
    QPointF previous(40, base);
    for (int x = 41; x < 560; ++x) {
      const double t = (x - 40) / 520.0;
      const double level = std::exp(-6 * t) * std::min(1.0, 20 * t) + 0.4 * std::exp(-200 * (t - 0.6) * (t - 0.6));
      const QPointF point(x, base - size * level);
      painter.drawLine(previous, point);
      previous = point;
    }
  }
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Vistemp"));
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
    return 2;
  }
  QTemporaryDir folder;
  const QString picture = QDir(folder.path()).filePath(QStringLiteral("chart.png"));
  if (!folder.isValid() || !Drawing().save(picture, "PNG")) return 1;

  ScriptedPrompts prompts;
  prompts.fileNames = {picture};
  vistemp::TForm1 form(&prompts);
  form.show();
  if (!QTest::qWaitForWindowExposed(&form)) return 1;
  QTest::mouseClick(form.LoadButton, Qt::LeftButton);
  // Pick the red curve at its attack, then trace it.
  QTest::mouseClick(form.PickCheckBox, Qt::LeftButton, {}, QPoint(6, form.PickCheckBox->height() / 2));
  const QRectF area = form.PictureView->PictureArea();
  const double scale = area.width() / 600.0;
  const QImage chart = Drawing();
  int redRow = 0;
  const auto isRed = [&](int y) { return qRed(chart.pixel(300, y)) > 150 && qGreen(chart.pixel(300, y)) < 100; };
  while (redRow < chart.height() && !isRed(redRow)) ++redRow;
  QTest::mouseClick(form.PictureView, Qt::LeftButton, {},
                    QPointF(area.left() + 300.5 * scale, area.top() + (redRow + 1.5) * scale).toPoint());
  QTest::mouseClick(form.ResampleCheckBox, Qt::LeftButton, {}, QPoint(6, form.ResampleCheckBox->height() / 2));
  QTest::qWait(200);
  return form.grab().save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
}
