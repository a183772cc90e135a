#include "Precondition.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void WriteToStandardError(const char* message) {
  std::fputs(message, stderr);
  std::fputc('\n', stderr);
}

PreconditionReporter g_reporter = &WriteToStandardError;

}  // namespace

PreconditionReporter SetPreconditionReporter(PreconditionReporter reporter) {
  PreconditionReporter previous = g_reporter;
  g_reporter = reporter ? reporter : &WriteToStandardError;
  return previous;
}

void PreconditionFailed(const char* condition, const char* source, int line) {
  const std::string message = std::string("Assertion failed: ") + condition + ", file " + source +
                              ", line " + std::to_string(line);
  g_reporter(message.c_str());
  std::fflush(nullptr);
  std::_Exit(3);
}
