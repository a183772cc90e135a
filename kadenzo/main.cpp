// kadenzo: imposes a rhythm on a sound.
#include <QApplication>

#include "CommandGuard.h"
#include "Precondition.h"
#include "kdMain.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kadenzor"));
  SetPreconditionReporter(&ShowPreconditionFailure);

  kadenzo::TForm1 form;
  form.show();
  return QApplication::exec();
}
