// kadenzo: imposes a rhythm on a sound.
#include <QApplication>

#include "CommandGuard.h"
#include "Precondition.h"
#include "WindowCommandLine.h"
#include "kdMain.h"

int main(int argc, char** argv) {
  UseOffscreenPlatformForHelp(argc, argv);
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kadenzor"));
  QApplication::setApplicationVersion(QStringLiteral(KIT_VERSION));
  const WindowCommandLine commandLine = ParseWindowCommandLine(
      QStringLiteral("kadenzo"), QStringLiteral("Imposes a rhythm on a sound."), QStringLiteral("FILE"),
      QStringLiteral("A sound to load (WAV or another sound file), or an envelope file (.env)."));
  if (commandLine.exitCode) return *commandLine.exitCode;
  SetPreconditionReporter(&ShowPreconditionFailure);

  kadenzo::TForm1 form;
  form.show();
  if (!commandLine.fileName.isEmpty()) form.OpenFile(commandLine.fileName);
  return QApplication::exec();
}
