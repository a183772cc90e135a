#pragma once
// Precondition failures of the block library are programming errors, not results.
// They are reported as
//   Assertion failed: <condition>, file <source>, line <number>
// and end the program with exit code 3. The reporting step can be replaced (the
// programs show the text in a message box); ending the program cannot.

using PreconditionReporter = void (*)(const char* message);

// Installs a reporter and returns the previous one; nullptr restores the default,
// which writes the message and a newline to standard error.
PreconditionReporter SetPreconditionReporter(PreconditionReporter reporter);

[[noreturn]] void PreconditionFailed(const char* condition, const char* source, int line);

// The condition is spelled out separately so that the message carries the exact
// text of the check, independent of how the expression is written in C++.
#define BLOCK_REQUIRE(cond, text) \
  ((cond) ? static_cast<void>(0) : ::PreconditionFailed(text, __FILE_NAME__, __LINE__))
