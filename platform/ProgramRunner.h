#pragma once
// Running a desktop helper (xdg-email, xdg-open) and reading its exit status, with the caller's event loop
// kept running so its windows paint meanwhile.

#include <QString>
#include <QStringList>

namespace corvane {

// The status RunProgram answers for a program that has not ended within the wait; it is left running.
inline constexpr int kProgramStillRunning = -2;

// Runs program with arguments and answers its exit status: -1 when it could not be started or did not
// end normally. Waits at most waitMs milliseconds (-1: until it ends). Its output goes where ours goes; it
// reads nothing.
int RunProgram(const QString& program, const QStringList& arguments, int waitMs = -1);

}  // namespace corvane
