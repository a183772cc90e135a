#include "WindowCommandLine.h"

#include <cstdio>
#include <cstring>

#include <QCommandLineParser>
#include <QCoreApplication>

namespace {

bool AsksForHelpOrVersion(const char* argument) {
  for (const char* option : {"-h", "--help", "--help-all", "-v", "--version"}) {
    if (std::strcmp(argument, option) == 0) return true;
  }
  return false;
}

void Print(std::FILE* stream, const QString& text) {
  std::fputs(text.toLocal8Bit().constData(), stream);
  std::fflush(stream);
}

}  // namespace

void UseOffscreenPlatformForHelp(int argc, char** argv) {
  if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) return;
  for (int i = 1; i < argc; ++i) {
    if (AsksForHelpOrVersion(argv[i])) {
      qputenv("QT_QPA_PLATFORM", "offscreen");
      return;
    }
  }
}

WindowCommandLine ParseWindowCommandLine(const QString& program, const QString& description, const QString& fileSyntax,
                                         const QString& fileHelp) {
  QCommandLineParser parser;
  parser.setApplicationDescription(description);
  const QCommandLineOption helpOption = parser.addHelpOption();
  const QCommandLineOption versionOption = parser.addVersionOption();
  parser.addPositionalArgument(fileSyntax, fileHelp, QStringLiteral("[") + fileSyntax + QStringLiteral("]"));

  WindowCommandLine result;
  const auto usageError = [&](const QString& message) {
    Print(stderr, program + QStringLiteral(": ") + message + QStringLiteral("\n") +
                      QStringLiteral("Run with --help for more information.\n"));
    result.exitCode = 2;
    return result;
  };
  if (!parser.parse(QCoreApplication::arguments())) return usageError(parser.errorText());
  if (parser.isSet(helpOption)) {
    Print(stdout, parser.helpText());
    result.exitCode = 0;
    return result;
  }
  if (parser.isSet(versionOption)) {
    Print(stdout, program + QStringLiteral(" ") + QCoreApplication::applicationVersion() + QStringLiteral("\n"));
    result.exitCode = 0;
    return result;
  }
  const QStringList files = parser.positionalArguments();
  if (files.size() > 1) return usageError(QStringLiteral("only one file can be opened"));
  if (!files.isEmpty()) result.fileName = files.front();
  return result;
}
