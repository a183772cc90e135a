#pragma once
// Running a window program with command lines that end at once (--help,
// --version, usage errors) and checking how each ends.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <initializer_list>

struct CommandLineCase {
  QStringList arguments;
  int exitCode;
  QByteArray output;  // the start of standard output
};

// A usage error (exit code 2) writes nothing on standard output.
inline void ExpectCommandLines(const QString& program, std::initializer_list<CommandLineCase> cases) {
  for (const CommandLineCase& c : cases) {
    SCOPED_TRACE(c.arguments.join(' ').toStdString());
    QProcess process;
    process.start(program, c.arguments);
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), c.exitCode) << process.readAllStandardError().toStdString();
    const QByteArray output = process.readAllStandardOutput();
    EXPECT_TRUE(output.startsWith(c.output)) << output.toStdString();
    if (c.exitCode == 2) {
      EXPECT_TRUE(output.isEmpty());
    }
  }
}
