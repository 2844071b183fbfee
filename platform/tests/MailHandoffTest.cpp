// The xdg-email hand-off: the command built from a message, and success only on a zero exit status.

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "platform/MailHandoff.h"

namespace corvane {
namespace {

TMailMessage Message() {
  TMailMessage m;
  m.Recipients = {{TMailRecipientClass::rcTo, "", "bob@example.com"},
                  {TMailRecipientClass::rcCC, "Carol", "carol@example.com"},
                  {TMailRecipientClass::rcBCC, "", "dave@example.com"}};
  m.Subject = "件名";
  m.NoteText = "本文";
  m.Files = {{1, 0xFFFFFFFFu, "/home/a/x y.KVX"}, {1, 0, "/home/a/z.KVX"}};
  return m;
}

TEST(MailHandoff, CommandCarriesRecipientsSubjectBodyAndAttachments) {
  const QStringList expected{"--utf8",
                             "--to",
                             "bob@example.com",
                             "--cc",
                             "Carol <carol@example.com>",
                             "--bcc",
                             "dave@example.com",
                             "--subject",
                             QStringLiteral("件名"),
                             "--body",
                             QStringLiteral("本文"),
                             "--attach",
                             "/home/a/x y.KVX",
                             "--attach",
                             "/home/a/z.KVX"};
  EXPECT_EQ(XdgEmailArguments(Message()), expected);
}

TEST(MailHandoff, EmptySubjectAndBodyAreLeftOut) {
  TMailMessage m;
  m.Recipients = {{TMailRecipientClass::rcTo, "", "bob"}};
  m.Files = {{1, 0xFFFFFFFFu, "/c/report_bob.KVX"}};
  EXPECT_EQ(XdgEmailArguments(m), (QStringList{"--utf8", "--to", "bob", "--attach", "/c/report_bob.KVX"}));
}

// xdg-email itself accepts what the wizard hands it: addresses without "@" (a key named bob.KVK) or that
// look like options. No mail program starts: xdg-mime knows none and xdg-open can open nothing (stubs
// first on the path), so xdg-email falls back to the "browser", a command that prints the mailto: URL.
TEST(MailHandoff, XdgEmailAcceptsEveryAddress) {
  if (QStandardPaths::findExecutable("xdg-email").isEmpty()) GTEST_SKIP() << "xdg-email is not installed";
  QTemporaryDir stubs;
  ASSERT_TRUE(stubs.isValid());
  for (const auto& [name, body] : {std::pair{"xdg-mime", "exit 0"}, {"xdg-open", "exit 3"}}) {
    QFile stub(stubs.filePath(name));
    ASSERT_TRUE(stub.open(QIODevice::WriteOnly));
    stub.write(QByteArray("#!/bin/sh\n") + body + "\n");
    stub.close();
    stub.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  }
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const char* desktop :
       {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION", "GNOME_DESKTOP_SESSION_ID"})
    environment.remove(desktop);
  environment.insert("PATH", stubs.path() + ":" + environment.value("PATH"));
  environment.insert("BROWSER", "echo");
  for (const char* address : {"bob", "bob@example.com", "-bob", "mailto:eve@example.com"}) {
    TMailMessage m;
    m.Recipients = {{TMailRecipientClass::rcTo, "", address}};
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start("xdg-email", XdgEmailArguments(m));
    ASSERT_TRUE(process.waitForFinished(30000)) << address;
    EXPECT_EQ(process.exitCode(), 0) << address << ": " << process.readAllStandardError().toStdString();
  }
}

TEST(MailHandoff, SuccessOnlyOnZeroExitStatus) {
  for (const auto& [exitStatus, success] : {std::pair{0, true}, {1, false}, {3, false}, {-1, false}}) {
    const int status = exitStatus;
    QString program;
    QStringList arguments;
    TXdgEmailHandoff handoff([&](const QString& p, const QStringList& a) {
      program = p;
      arguments = a;
      return status;
    });
    EXPECT_EQ(handoff.Hand(Message(), true), success) << status;
    EXPECT_EQ(program, "xdg-email");
    EXPECT_EQ(arguments, XdgEmailArguments(Message()));
  }
}

}  // namespace
}  // namespace corvane
