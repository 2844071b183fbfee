#include "platform/MailHandoff.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>

namespace corvane {

namespace {

QString Text(const std::string& s) {
  return QString::fromStdString(s);
}

// "Name <address>" when the recipient has a display name, else the bare address.
QString Mailbox(const TMailRecipient& r) {
  if (r.Name.empty()) return Text(r.Address);
  return Text(r.Name) + QStringLiteral(" <") + Text(r.Address) + QLatin1Char('>');
}

int RunProcess(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  if (!process.waitForStarted()) return -1;
  // xdg-email may run the mail program in the foreground until its compose window closes. The caller's
  // windows keep painting meanwhile: the wait runs the event loop (the caller has disabled its windows).
  if (QCoreApplication::instance() && process.state() != QProcess::NotRunning) {
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    if (process.state() != QProcess::NotRunning) loop.exec();
  }
  process.waitForFinished(-1);
  if (process.exitStatus() != QProcess::NormalExit) return -1;
  return process.exitCode();
}

}  // namespace

QStringList XdgEmailArguments(const TMailMessage& message) {
  QStringList args{QStringLiteral("--utf8")};
  // Every recipient goes after its option: xdg-email refuses a bare argument without "@" (the address
  // "bob" of a key named bob.KVK) or starting with "-", and would take one starting with "mailto:" as the
  // whole message.
  for (const TMailRecipient& r : message.Recipients) {
    switch (r.Class) {
      case TMailRecipientClass::rcCC:
        args << QStringLiteral("--cc") << Mailbox(r);
        break;
      case TMailRecipientClass::rcBCC:
        args << QStringLiteral("--bcc") << Mailbox(r);
        break;
      default:
        args << QStringLiteral("--to") << Mailbox(r);
    }
  }
  if (!message.Subject.empty()) args << QStringLiteral("--subject") << Text(message.Subject);
  if (!message.NoteText.empty()) args << QStringLiteral("--body") << Text(message.NoteText);
  for (const TMailAttachment& f : message.Files) args << QStringLiteral("--attach") << Text(f.PathName);
  return args;
}

TXdgEmailHandoff::TXdgEmailHandoff() : runner_(RunProcess) {}

TXdgEmailHandoff::TXdgEmailHandoff(TRunner runner) : runner_(std::move(runner)) {}

bool TXdgEmailHandoff::Hand(const TMailMessage& message, bool /*showDialog*/) {
  // xdg-email always opens the compose window: the user sends the message, nothing is sent silently.
  return runner_(QStringLiteral("xdg-email"), XdgEmailArguments(message)) == 0;
}

}  // namespace corvane
