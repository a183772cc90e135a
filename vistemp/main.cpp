// Vistemp: turns a BMP drawing of a curve into an envelope file for kadenzo.
#include <QApplication>

#include "CommandGuard.h"
#include "Precondition.h"
#include "vtMain.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Vistemp"));
  SetPreconditionReporter(&ShowPreconditionFailure);

  vistemp::TForm1 form;
  form.show();
  return QApplication::exec();
}
