#pragma once
// How the programs survive their own errors. A command's handler runs inside
// RunGuarded: an exception that escapes it (a floating-point condition of the
// conversion, an allocation that failed) is shown in a message box and the
// program goes on. A precondition failure of the block library is a
// programming error: ShowPreconditionFailure puts its text in a message box
// before the library ends the program.

#include <functional>

class Prompts;

void RunGuarded(Prompts& prompts, const std::function<void()>& command);

// A PreconditionReporter: standard error, then a modal message box.
void ShowPreconditionFailure(const char* message);
