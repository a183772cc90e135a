#pragma once
// What the kit's command-line programs share: CLI11 parsing with the exit
// codes of the kit (0 done, 1 refused with the window's own message, 2 a
// usage error), and a progress bar on standard error when it is a terminal.

#include <CLI/CLI.hpp>

#include <cstdint>
#include <optional>
#include <string>

#include "Progress.h"

namespace cli {

enum ExitCode : int { kDone = 0, kRefused = 1, kUsage = 2 };

// The kit's version, as --version prints it.
std::string Version();

// Adds --version to app (CLI11 adds --help itself).
void AddVersion(CLI::App& app);

// Lets the option take an empty value, which Parse otherwise refuses.
CLI::Option* AllowEmpty(CLI::Option* option);

// Parses the command line. An exit code when the program should stop at once:
// kDone after --help or --version (printed on standard output), kUsage after a
// usage error (an empty value among them, printed on standard error); nothing
// when the work can start.
std::optional<int> Parse(CLI::App& app, int argc, const char* const* argv);

// Prints the message on standard error and gives kRefused.
int Refuse(const std::string& message);

// A bar of how far the work has gone, redrawn on standard error whenever a
// whole percent more is done; silent when standard error is no terminal or
// when quiet.
class TerminalProgress : public Progress {
 public:
  explicit TerminalProgress(bool quiet);
  void Begin(std::int64_t steps) override;
  bool Step() override;
  void End() override;

 private:
  void Draw(int percent);

  bool m_bShown;
  std::int64_t m_iSteps = 1;
  std::int64_t m_iDone = 0;
  int m_iPercent = -1;
};

}  // namespace cli
