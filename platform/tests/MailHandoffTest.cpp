// The xdg-email hand-off: the command built from a message, and success only on a zero exit status.

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <utility>

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

// A desktop without a mail program: xdg-mime knows none and xdg-open can open nothing (stubs first on the
// path), no desktop session is named, and `browser` is what xdg-email tries last.
QProcessEnvironment NoMailProgram(const QTemporaryDir& stubs, const QString& browser) {
  for (const auto& [name, body] : {std::pair{"xdg-mime", "exit 0"}, {"xdg-open", "exit 3"}}) {
    QFile stub(stubs.filePath(name));
    EXPECT_TRUE(stub.open(QIODevice::WriteOnly));
    stub.write(QByteArray("#!/bin/sh\n") + body + "\n");
    stub.close();
    stub.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  }
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const char* desktop :
       {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION", "GNOME_DESKTOP_SESSION_ID"})
    environment.remove(desktop);
  environment.insert("PATH", stubs.path() + ":" + environment.value("PATH"));
  environment.insert("BROWSER", browser);
  return environment;
}

// This process's environment replaced while it lives.
class TScopedEnvironment {
 public:
  explicit TScopedEnvironment(const QProcessEnvironment& environment)
      : saved_(QProcessEnvironment::systemEnvironment()) {
    Apply(environment);
  }
  ~TScopedEnvironment() { Apply(saved_); }

 private:
  static void Apply(const QProcessEnvironment& environment) {
    for (const QString& name : QProcessEnvironment::systemEnvironment().keys())
      if (!environment.contains(name)) qunsetenv(qPrintable(name));
    for (const QString& name : environment.keys())
      qputenv(qPrintable(name), environment.value(name).toLocal8Bit());
  }
  QProcessEnvironment saved_;
};

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
// look like options. No mail program starts, so xdg-email falls back to the "browser", a command that
// prints the mailto: URL.
TEST(MailHandoff, XdgEmailAcceptsEveryAddress) {
  if (QStandardPaths::findExecutable("xdg-email").isEmpty()) GTEST_SKIP() << "xdg-email is not installed";
  QTemporaryDir stubs;
  ASSERT_TRUE(stubs.isValid());
  const QProcessEnvironment environment = NoMailProgram(stubs, "echo");
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

// Success only on a zero exit status; a failure says what went wrong, in the user's words.
TEST(MailHandoff, SuccessOnlyOnZeroExitStatus) {
  const struct {
    int exitStatus;
    bool success;
    const char* reason;
  } cases[] = {
      {0, true, ""},
      {1, false, "xdg-email の終了コード 1"},
      {2, false, "添付するファイルを読み込めません。"},
      {3, false, "メールソフトが見つかりません。"},
      {-1, false, "xdg-email を実行できませんでした"},
  };
  for (const auto& c : cases) {
    QString program;
    QStringList arguments;
    TXdgEmailHandoff handoff([&](const QString& p, const QStringList& a) {
      program = p;
      arguments = a;
      return c.exitStatus;
    });
    EXPECT_EQ(handoff.Hand(Message(), true), c.success) << c.exitStatus;
    EXPECT_EQ(program, "xdg-email");
    EXPECT_EQ(arguments, XdgEmailArguments(Message()));
    EXPECT_NE(handoff.FailureReason().find(c.reason), std::string::npos) << handoff.FailureReason();
    EXPECT_EQ(handoff.FailureReason().empty(), c.success);
  }
}

// The real xdg-email on a desktop without a mail program: the hand-off fails and says so.
TEST(MailHandoff, NoMailProgramIsReported) {
  if (QStandardPaths::findExecutable("xdg-email").isEmpty()) GTEST_SKIP() << "xdg-email is not installed";
  QTemporaryDir stubs;
  ASSERT_TRUE(stubs.isValid());
  TMailMessage m;
  m.Recipients = {{TMailRecipientClass::rcTo, "", "bob"}};
  TXdgEmailHandoff handoff;
  {
    TScopedEnvironment noMailProgram(NoMailProgram(stubs, "false"));
    EXPECT_FALSE(handoff.Hand(m, true));
  }
  EXPECT_NE(handoff.FailureReason().find("メールソフトが見つかりません。"), std::string::npos)
      << handoff.FailureReason();
}

}  // namespace
}  // namespace corvane
