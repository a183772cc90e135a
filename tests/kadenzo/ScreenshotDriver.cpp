// Not a test: scripts/screenshot runs it under a virtual X server. With a kept
// seed, so that every run gives the same picture, it makes a sound with
// "&Create", applies the Test curve and draws a second beat over the envelope
// picture with the mouse (or, given a sound file, learns the rhythm of that
// file), runs "&Rhythm" through the real window, enlarged, zooms the waveform
// in around its middle, sets where "&Play" starts with a click and, where a
// sound server answers, plays from there for a moment; then writes a PNG of
// the window.
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QWheelEvent>

#include <cstdio>
#include <iterator>

#include "PictureWidget.h"
#include "ScriptedKadenzoPrompts.h"
#include "kdMain.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kadenzor"));
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: %s OUTPUT.png [LEARN-FROM.wav]\n", argv[0]);
    return 2;
  }
  ScriptedKadenzoPrompts prompts;
  prompts.modelAnswer = true;
  prompts.modelDuration = 4;
  prompts.modelFrequency = 1000;
  prompts.modelBand = 400;

  kadenzo::TForm1 form(&prompts);
  form.show();
  if (!QTest::qWaitForWindowExposed(&form)) return 1;
  QTest::mouseClick(form.KeepSeedBox, Qt::LeftButton, {}, QPoint(6, form.KeepSeedBox->height() / 2));
  form.SeedEdit->clear();
  QTest::keyClicks(form.SeedEdit, QStringLiteral("2026"));
  QTest::mouseClick(form.NoiseButton, Qt::LeftButton);
  form.resize(form.width() + 200, form.height() + 120);
  QTest::qWait(100);
  if (argc == 3) {
    prompts.fileNames = {QString::fromLocal8Bit(argv[2])};
    QTest::mouseClick(form.LearnButton, Qt::LeftButton);
  } else {
    QTest::mouseClick(form.TestButton, Qt::LeftButton);
    // Over the second half: a sharp beat at half the period, decaying, and a
    // smaller one at three quarters.
    PictureWidget* picture = form.RhythmImage;
    const int w = picture->width(), h = picture->height();
    const auto at = [&](double x, double level) {
      return QPoint(static_cast<int>(x * (w - 1)), static_cast<int>((1 - level) * (h - 1)));
    };
    const QPoint stroke[] = {at(0.5, 1.0),  at(0.56, 0.55), at(0.68, 0.2),
                             at(0.75, 0.6), at(0.82, 0.25), at(1.0, 0.05)};
    QTest::mousePress(picture, Qt::LeftButton, {}, stroke[0]);
    for (const QPoint& point : stroke) {
      QMouseEvent move(QEvent::MouseMove, QPointF(point), picture->mapToGlobal(QPointF(point)), Qt::NoButton,
                       Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(picture, &move);
    }
    QTest::mouseRelease(picture, Qt::LeftButton, {}, stroke[std::size(stroke) - 1]);
  }
  form.PeriodEdit->setText(QStringLiteral("0.25"));
  QTest::mouseClick(form.RhythmButton, Qt::LeftButton);
  // Three notches in around the middle: about half of the sound in view.
  WaveView* wave = form.Image1;
  const QPointF middle(wave->width() / 2, wave->height() / 2);
  QWheelEvent wheel(middle, wave->mapToGlobal(middle), QPoint(), QPoint(0, 3 * 120), Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false);
  QApplication::sendEvent(wave, &wheel);
  QTest::mouseClick(wave, Qt::LeftButton, {}, QPoint(wave->width() / 4, wave->height() / 2));
  QTest::mouseClick(form.PlayBtn, Qt::LeftButton);
  QTest::qWait(700);
  for (const QString& message : prompts.messages) std::fprintf(stderr, "message: %s\n", qPrintable(message));
  return prompts.messages.isEmpty() && form.grab().save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
}
