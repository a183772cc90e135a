#pragma once
// The command line of the two window programs: --help, --version and at most
// one file to open. Exit codes as the command-line programs': 0 after --help
// or --version, 2 after a usage error.

#include <optional>

#include <QString>

// Before the application object exists: a program asked only for --help or
// --version shows no window, so it starts on the offscreen platform and needs
// no display.
void UseOffscreenPlatformForHelp(int argc, char** argv);

struct WindowCommandLine {
  std::optional<int> exitCode;  // set when the program should end at once
  QString fileName;             // empty when no file was named
};

// Parses the running application's arguments (Qt's own already removed).
// --help and --version print on standard output, a usage error on standard
// error; program is the name they show, with the application's version.
WindowCommandLine ParseWindowCommandLine(const QString& program, const QString& description, const QString& fileSyntax,
                                         const QString& fileHelp);
