// Vistemp: turns a BMP drawing of a curve into an envelope file for kadenzo.
#include <QApplication>
#include <QMessageBox>
#include <cstdio>

#include "Precondition.h"
#include "vtMain.h"

namespace {

// A broken precondition is a programming error: say so on the terminal and in
// a message box before the program ends.
void ShowPreconditionFailure(const char* message) {
  std::fprintf(stderr, "%s\n", message);
  QMessageBox::critical(nullptr, QApplication::applicationName(), QString::fromLocal8Bit(message));
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Vistemp"));
  SetPreconditionReporter(&ShowPreconditionFailure);

  vistemp::TForm1 form;
  form.show();
  return QApplication::exec();
}
