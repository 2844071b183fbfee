// Running a desktop helper: its exit status comes back, a program that cannot run is -1, and one still
// running after the wait is left running.

#include "platform/ProgramRunner.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

namespace corvane {
namespace {

int Shell(const char* script, int waitMs = -1) {
  return RunProgram(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QString::fromUtf8(script)}, waitMs);
}

TEST(ProgramRunner, ExitStatusComesBack) {
  const struct {
    const char* script;
    int status;
  } cases[] = {{"exit 0", 0}, {"exit 3", 3}, {"exit 255", 255}, {"kill -9 $$", -1}};
  for (const auto& c : cases) EXPECT_EQ(Shell(c.script), c.status) << c.script;
  EXPECT_EQ(RunProgram(QStringLiteral("corvane-no-such-program"), {}), -1);
}

// With an application the wait runs its event loop and ends at the deadline; the program goes on.
TEST(ProgramRunner, StillRunningAfterTheWait) {
  int argc = 1;
  char name[] = "ProgramRunnerTest";
  char* argv[] = {name, nullptr};
  QCoreApplication application(argc, argv);
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString done = dir.filePath(QStringLiteral("done"));
  const QByteArray script = "sleep 0.5; touch '" + done.toUtf8() + "'";
  EXPECT_EQ(Shell(script.constData(), 50), kProgramStillRunning);
  EXPECT_FALSE(QFileInfo::exists(done));
  EXPECT_EQ(Shell("exit 4", 5000), 4);
  // The left program finishes its work; its process object goes once it has ended.
  QElapsedTimer clock;
  clock.start();
  while (!QFileInfo::exists(done) && clock.elapsed() < 10000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  EXPECT_TRUE(QFileInfo::exists(done));
  const qint64 seen = clock.elapsed();
  while (clock.elapsed() < seen + 300) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace
}  // namespace corvane
