// Not a test: scripts/screenshot runs it under a virtual X server. It makes a
// sound with "&Create", applies the Test curve (or, given a sound file, learns
// the rhythm of that file) and runs "&Rhythm" through the real window, then
// writes a PNG of the window.
#include <QApplication>
#include <QPushButton>
#include <QTest>

#include <cstdio>

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
  if (argc == 3) {
    prompts.fileNames = {QString::fromLocal8Bit(argv[2])};
    QTest::mouseClick(form.LearnButton, Qt::LeftButton);
  } else {
    QTest::mouseClick(form.TestButton, Qt::LeftButton);
  }
  QTest::mouseClick(form.RhythmButton, Qt::LeftButton);
  QTest::qWait(200);
  for (const QString& message : prompts.messages) std::fprintf(stderr, "message: %s\n", qPrintable(message));
  return prompts.messages.isEmpty() && form.grab().save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
}
