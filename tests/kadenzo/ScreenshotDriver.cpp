// Not a test: scripts/screenshot runs it under a virtual X server. It makes a
// sound with "&Create", applies the Test curve and draws a stroke over the
// envelope picture with the mouse (or, given a sound file, learns the rhythm of
// that file), runs "&Rhythm" through the real window, enlarged, zooms the
// waveform in around its middle, sets where "&Play" starts with a click and,
// where a sound server answers, plays from there for a moment; then writes a
// PNG of the window.
#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QWheelEvent>

#include <cstdio>

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
  QTest::mouseClick(form.NoiseButton, Qt::LeftButton);
  form.resize(form.width() + 200, form.height() + 120);
  QTest::qWait(100);
  if (argc == 3) {
    prompts.fileNames = {QString::fromLocal8Bit(argv[2])};
    QTest::mouseClick(form.LearnButton, Qt::LeftButton);
  } else {
    QTest::mouseClick(form.TestButton, Qt::LeftButton);
    // A zigzag drawn across the second half of the picture.
    PictureWidget* picture = form.RhythmImage;
    const int w = picture->width(), h = picture->height();
    QTest::mousePress(picture, Qt::LeftButton, {}, QPoint(w / 2, h - 1));
    for (int i = 1; i <= 8; ++i) {
      const QPoint at(w / 2 + i * (w / 2 - 1) / 8, i % 2 == 1 ? h / 8 : h - 1 - h / 8);
      QMouseEvent move(QEvent::MouseMove, QPointF(at), picture->mapToGlobal(QPointF(at)), Qt::NoButton,
                       Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(picture, &move);
    }
    QTest::mouseRelease(picture, Qt::LeftButton, {}, QPoint(w - 1, h - 1 - h / 8));
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
