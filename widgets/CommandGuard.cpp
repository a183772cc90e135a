#include "CommandGuard.h"

#include <cstdio>
#include <exception>
#include <new>

#include <QApplication>
#include <QMessageBox>

#include "Prompts.h"

void RunGuarded(Prompts& prompts, const std::function<void()>& command) {
  try {
    command();
  } catch (const std::bad_alloc&) {
    prompts.ShowMessage(QStringLiteral("Out of memory"));
  } catch (const std::exception& error) {
    prompts.ShowMessage(QString::fromUtf8(error.what()));
  }
}

void ShowPreconditionFailure(const char* message) {
  std::fprintf(stderr, "%s\n", message);
  QMessageBox::critical(nullptr, QApplication::applicationName(), QString::fromLocal8Bit(message));
}
