#include "platform/ProgramRunner.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

namespace corvane {

int RunProgram(const QString& program, const QStringList& arguments, int waitMs) {
  // On the heap: a program still running after the wait must outlive this call (destroying a QProcess
  // kills its program).
  auto* process = new QProcess;
  process->setProcessChannelMode(QProcess::ForwardedChannels);
  process->setStandardInputFile(QProcess::nullDevice());
  process->start(program, arguments);
  if (!process->waitForStarted()) {
    delete process;
    return -1;
  }
  if (QCoreApplication::instance()) {
    QEventLoop loop;
    QObject::connect(process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    if (waitMs >= 0) deadline.start(waitMs);
    if (process->state() != QProcess::NotRunning) loop.exec();
  } else {
    process->waitForFinished(waitMs);
  }
  if (process->state() != QProcess::NotRunning) {
    // Goes when its program ends; if ours ends first, the object is left behind so its program lives on.
    QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
    return kProgramStillRunning;
  }
  const int status = process->exitStatus() == QProcess::NormalExit ? process->exitCode() : -1;
  delete process;
  return status;
}

}  // namespace corvane
