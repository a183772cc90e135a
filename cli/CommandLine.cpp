#include "CommandLine.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>

namespace cli {

namespace {

constexpr int kBarWidth = 40;

constexpr const char* kMayBeEmpty = "may be empty";

bool MayBeEmpty(CLI::Option* option) {
  try {
    option->get_validator(kMayBeEmpty);
    return true;
  } catch (const CLI::OptionNotFound&) {
    return false;
  }
}

// CLI11 reads an empty value as the type's default (0 for a number), so
// `--frequency ""` from an unset script variable would quietly make white
// noise. An empty value is a usage error instead, unless the option says
// otherwise.
void RefuseEmptyValues(CLI::App& app) {
  const CLI::Validator nonEmpty([](std::string& value) { return value.empty() ? "an empty value" : std::string(); },
                                "");
  for (CLI::Option* option :
       app.get_options([](CLI::Option* o) { return o->get_type_size() != 0 && !MayBeEmpty(o); })) {
    option->check(nonEmpty);
  }
  // Option groups are unnamed subcommands holding their own options.
  for (CLI::App* group : app.get_subcommands([](CLI::App*) { return true; })) RefuseEmptyValues(*group);
}

}  // namespace

std::string Version() { return KIT_VERSION; }

void AddVersion(CLI::App& app) {
  app.set_version_flag("--version", app.get_name() + " " + Version());
}

CLI::Option* AllowEmpty(CLI::Option* option) {
  return option->check(CLI::Validator([](std::string&) { return std::string(); }, "", kMayBeEmpty));
}

std::optional<int> Parse(CLI::App& app, int argc, const char* const* argv) {
  RefuseEmptyValues(app);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& request) {
    app.exit(request);
    return kDone;
  } catch (const CLI::CallForAllHelp& request) {
    app.exit(request);
    return kDone;
  } catch (const CLI::CallForVersion& request) {
    app.exit(request);
    return kDone;
  } catch (const CLI::ParseError& error) {
    app.exit(error);
    return kUsage;
  }
  return std::nullopt;
}

int Refuse(const std::string& message) {
  std::cerr << message << '\n';
  return kRefused;
}

TerminalProgress::TerminalProgress(bool quiet) : m_bShown(!quiet && ::isatty(STDERR_FILENO) == 1) {}

void TerminalProgress::Begin(std::int64_t steps) {
  m_iSteps = steps > 0 ? steps : 1;
  m_iDone = 0;
  m_iPercent = -1;
  Draw(0);
}

bool TerminalProgress::Step() {
  if (m_iDone < m_iSteps) ++m_iDone;
  Draw(static_cast<int>(100 * m_iDone / m_iSteps));
  return true;
}

void TerminalProgress::End() {
  if (!m_bShown || m_iPercent < 0) return;
  std::fprintf(stderr, "\r%*s\r", kBarWidth + 8, "");
  std::fflush(stderr);
  m_iPercent = -1;
}

void TerminalProgress::Draw(int percent) {
  if (!m_bShown || percent == m_iPercent) return;
  m_iPercent = percent;
  const int filled = percent * kBarWidth / 100;
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.resize(kBarWidth, '.');
  std::fprintf(stderr, "\r[%s] %3d%%", bar.c_str(), percent);
  std::fflush(stderr);
}

}  // namespace cli
