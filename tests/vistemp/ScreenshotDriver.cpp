// Opens the real Vistemp window, loads a drawing through the window's own Load
// command (the open dialog answered by script) and writes a PNG of the window.
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
#include <cstdio>

#include "ScriptedPrompts.h"
#include "vtMain.h"

namespace {

// A hand-drawn looking beat: a fast attack, a decay and a second smaller bump.
QImage Drawing() {
  QImage image(400, 120, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setPen(QPen(Qt::black, 2));
  QPointF previous(0, 110);
  for (int x = 1; x < image.width(); ++x) {
    const double t = x / 400.0;
    const double level = std::exp(-6 * t) * std::min(1.0, 20 * t) + 0.4 * std::exp(-200 * (t - 0.6) * (t - 0.6));
    const QPointF point(x, 110 - 100 * level);
    painter.drawLine(previous, point);
    previous = point;
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
  const QString picture = QDir(folder.path()).filePath(QStringLiteral("drawing.bmp"));
  if (!folder.isValid() || !Drawing().save(picture, "BMP")) return 1;

  ScriptedPrompts prompts;
  prompts.fileNames = {picture};
  vistemp::TForm1 form(&prompts);
  form.show();
  if (!QTest::qWaitForWindowExposed(&form)) return 1;
  QTest::mouseClick(form.LoadButton, Qt::LeftButton);
  QTest::mouseClick(form.ResampleCheckBox, Qt::LeftButton, {}, QPoint(6, form.ResampleCheckBox->height() / 2));
  QTest::qWait(200);
  return form.grab().save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
}
