// main() of the Qt tests: one QApplication for the whole program (offscreen
// unless the environment says otherwise), then every GoogleTest case. They
// start in the C locale whatever the desktop's (QApplication takes that from
// the environment); a case that needs another sets it itself.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLocale>
#include <clocale>

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  // Death tests re-run the program instead of forking a process with Qt's threads.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  std::setlocale(LC_ALL, "C");
  QLocale::setDefault(QLocale::c());
  return RUN_ALL_TESTS();
}
