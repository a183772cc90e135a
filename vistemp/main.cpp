// Vistemp: turns a BMP drawing of a curve into an envelope file for kadenzo.
#include <QApplication>

#include "CommandGuard.h"
#include "Precondition.h"
#include "WindowCommandLine.h"
#include "vtMain.h"

int main(int argc, char** argv) {
  UseOffscreenPlatformForHelp(argc, argv);
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Vistemp"));
  QApplication::setApplicationVersion(QStringLiteral(KIT_VERSION));
  const WindowCommandLine commandLine = ParseWindowCommandLine(
      QStringLiteral("Vistemp"), QStringLiteral("Turns a drawing of a curve into an envelope file for kadenzo."),
      QStringLiteral("PICTURE"), QStringLiteral("A picture to load and trace."));
  if (commandLine.exitCode) return *commandLine.exitCode;
  SetPreconditionReporter(&ShowPreconditionFailure);

  vistemp::TForm1 form;
  form.show();
  if (!commandLine.fileName.isEmpty()) form.OpenFile(commandLine.fileName);
  return QApplication::exec();
}
