// What the user is told when the desktop lets the wizard down: a mail hand-off or a folder opening that
// failed is reported before anything else happens, and a key name that cannot be a file is refused before
// the question about the stored key. The desktop shell itself reads xdg-open's exit status.

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QStackedWidget>
#include <QUrl>

#include "app/UnitFormFileList.h"
#include "app/UnitFormShell.h"
#include "app/flows/FlowCommon.h"
#include "app/tests/gui/WizardTestKit.h"

using namespace corvane;
namespace fs = std::filesystem;

namespace {

// Encrypts notes.txt for Alice through pages 3 and 5 and stops on the after-encryption page.
fs::path EncryptForAlice(TWizard& w, const TSandbox& sandbox) {
  WriteAll(sandbox.KeyFolder() / "alice@example.com.KVK", ReadAll(Vectors() / "alice@example.com.KVK"));
  const fs::path source = sandbox.Documents() / "notes.txt";
  WriteAll(source, "notes");
  TForm1& form = w.Start();
  w.Choose("RadioGroup1", 1);
  w.Click("Button2");
  form.FileListBox1->setCurrentRow(0);
  w.Click("Button7");
  w.Dialogs.Files.push_back(Q(source));
  w.Click("Button14");
  w.Click("Button11");
  return sandbox.Documents() / (form.ContainerStem() + ".KVX");
}

// A stand-in for xdg-open first on the path: it writes its argument to a file beside it and exits with
// the given status.
class TXdgOpenStub {
 public:
  explicit TXdgOpenStub(int exitStatus) : path_(qgetenv("PATH")) {
    QFile stub(dir_.filePath(QStringLiteral("xdg-open")));
    stub.open(QIODevice::WriteOnly);
    stub.write(QStringLiteral("#!/bin/sh\nprintf %s \"$1\" > \"%1\"\nexit %2\n")
                   .arg(Argument(), QString::number(exitStatus))
                   .toUtf8());
    stub.close();
    stub.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("PATH", dir_.path().toUtf8() + ":" + path_);
  }
  ~TXdgOpenStub() { qputenv("PATH", path_); }
  QString Argument() const { return dir_.filePath(QStringLiteral("argument")); }

 private:
  QTemporaryDir dir_;
  QByteArray path_;
};

}  // namespace

class OutcomesTest : public QObject {
  Q_OBJECT

 private slots:
  void afterEncryptionFailure_data();
  void afterEncryptionFailure();
  void endPageFolderFailure_data();
  void endPageFolderFailure();
  void keyNameCheckedFirst_data();
  void keyNameCheckedFirst();
  void desktopShellReadsXdgOpen_data();
  void desktopShellReadsXdgOpen();
};

void OutcomesTest::afterEncryptionFailure_data() {
  QTest::addColumn<int>("choice");
  QTest::addColumn<QString>("reason");
  QTest::newRow("mail: no mail program") << 2 << QStringLiteral("メールソフトが見つかりません。");
  QTest::newRow("open folder: no file manager")
      << 1 << QStringLiteral("フォルダを開くプログラムが見つかりません。");
}

// The program still ends, but only after the user has been told what did not happen.
void OutcomesTest::afterEncryptionFailure() {
  QFETCH(int, choice);
  QFETCH(QString, reason);
  TSandbox sandbox;
  TWizard w;
  const fs::path container = EncryptForAlice(w, sandbox);
  QCOMPARE(w.Page(), QStringLiteral("TabSheet6"));
  w.Mail.Succeed = w.Shell.Succeed = false;
  w.Mail.Reason = w.Shell.Reason = reason.toStdString();
  w.Choose("RadioGroup2", choice);
  w.Click("Button13");
  QCOMPARE(w.Mail.Messages.size() + w.Shell.Opened.size(), 1u);
  QCOMPARE(w.Dialogs.Messages.size(), 1u);
  const TScriptedDialogs::Message& m = w.Dialogs.Messages[0];
  QCOMPARE(m.Kind, TMsgKind::mkError);
  QCOMPARE(m.Buttons, TMsgButtons::mbOK);
  QVERIFY2(m.Text.contains(reason), qPrintable(m.Text));
  // Where the container is, so the user can attach it or find it by hand.
  QVERIFY2(m.Text.contains(Q(choice == 2 ? container : container.parent_path())), qPrintable(m.Text));
  QCOMPARE(w.Terminated, 1);
  QCOMPARE(w.MessagesBeforeTerminated, 1u);
}

void OutcomesTest::endPageFolderFailure_data() {
  QTest::addColumn<QString>("page");
  QTest::addColumn<QString>("button");
  QTest::addColumn<QString>("folder");
  QTest::newRow("key pair created") << "TabSheet7"
                                    << "Button15"
                                    << "/home/u/Corvane";
  QTest::newRow("container decrypted") << "TabSheet8"
                                       << "Button17"
                                       << "/home/u/mail/";
}

void OutcomesTest::endPageFolderFailure() {
  QFETCH(QString, page);
  QFETCH(QString, button);
  QFETCH(QString, folder);
  TSandbox sandbox;
  TWizard w;
  TForm1& form = w.Start();
  form.Label7->setText(QStringLiteral("/home/u/Corvane/bob.KVK"));
  form.Label11->setText(QStringLiteral("/home/u/mail/"));
  form.Pages->setCurrentWidget(form.findChild<QWidget*>(page));
  w.Shell.Succeed = false;
  w.Shell.Reason = "フォルダがありません。";
  w.Click(qPrintable(button));
  QCOMPARE(w.Shell.Opened, (std::vector<fs::path>{folder.toStdString()}));
  QCOMPARE(w.Dialogs.Messages.size(), 1u);
  QCOMPARE(w.Dialogs.Messages[0].Kind, TMsgKind::mkError);
  QVERIFY2(w.Dialogs.Messages[0].Text.contains(folder) &&
               w.Dialogs.Messages[0].Text.contains(QStringLiteral("フォルダがありません。")),
           qPrintable(w.Dialogs.Messages[0].Text));
  QCOMPARE(w.Page(), page);
  QCOMPARE(w.Terminated, 0);
}

void OutcomesTest::keyNameCheckedFirst_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<bool>("usable");
  QTest::newRow("empty") << QString() << false;
  QTest::newRow(".") << "." << false;
  QTest::newRow("..") << ".." << false;
  QTest::newRow("a folder part") << "mail/alice" << false;
  QTest::newRow("NUL") << QStringLiteral("alice") + QChar(0) + QStringLiteral("x") << false;
  // 252 + ".KVK" is one byte more than a file name may have; 251 is the longest name.
  QTest::newRow("too long") << QString(84, QChar(0x3042)) << false;
  QTest::newRow("longest") << QString(83, QChar(0x3042)) + QStringLiteral("xx") << true;
}

// With a key stored: an unusable name is an error before the question, a usable one gets the question.
void OutcomesTest::keyNameCheckedFirst() {
  QFETCH(QString, name);
  QFETCH(bool, usable);
  TSandbox sandbox;
  WriteAll(sandbox.SettingsFile(), ReadAll(Vectors() / "private-key.ini"));
  const std::string settings = ReadAll(sandbox.SettingsFile());
  TWizard w;
  w.Dialogs.Answers = {false};  // the question, if it comes, is declined
  TForm1& form = w.Start();
  w.Choose("RadioGroup1", 0);
  w.Click("Button2");
  form.EdtBit->setValue(256);
  form.Edit1->setText(name);
  w.Click("Button6");
  QCOMPARE(w.Dialogs.Messages.size(), usable ? 1u : 0u);
  if (usable) QCOMPARE(w.Dialogs.Messages[0].Text, QString::fromUtf8(kReplaceKeyQuestionText));
  QCOMPARE(w.Dialogs.Errors.size(), usable ? 0u : 1u);
  QCOMPARE(w.Page(), QStringLiteral("TabSheet2"));
  QVERIFY(form.Button6->isEnabled());
  QCOMPARE(ReadAll(sandbox.SettingsFile()), settings);
  QVERIFY(fs::is_empty(sandbox.ProgramFolder()));
}

void OutcomesTest::desktopShellReadsXdgOpen_data() {
  QTest::addColumn<bool>("folderExists");
  QTest::addColumn<int>("exitStatus");
  QTest::addColumn<bool>("opened");
  QTest::addColumn<QString>("reason");
  QTest::newRow("opened") << true << 0 << true << QString();
  QTest::newRow("no program for folders")
      << true << 3 << false << QStringLiteral("フォルダを開くプログラムが見つかりません。");
  QTest::newRow("the program failed") << true << 4 << false << QStringLiteral("終了コード 4");
  QTest::newRow("no such folder") << false << 0 << false << QStringLiteral("フォルダがありません。");
}

void OutcomesTest::desktopShellReadsXdgOpen() {
  QFETCH(bool, folderExists);
  QFETCH(int, exitStatus);
  QFETCH(bool, opened);
  QFETCH(QString, reason);
  TSandbox sandbox;
  const fs::path folder = sandbox.Documents() / "受信 箱";
  if (folderExists) fs::create_directories(folder);
  TXdgOpenStub stub(exitStatus);
  TDesktopShell shell;
  QCOMPARE(shell.OpenFolder(folder), opened);
  QVERIFY2(QString::fromStdString(shell.FailureReason()).contains(reason), shell.FailureReason().c_str());
  QCOMPARE(QString::fromStdString(shell.FailureReason()).isEmpty(), opened);
  // xdg-open is asked only for a folder that exists, and gets it as a file URL.
  QFile argument(stub.Argument());
  QCOMPARE(argument.open(QIODevice::ReadOnly), folderExists);
  if (folderExists) QCOMPARE(QUrl(QString::fromUtf8(argument.readAll())).toLocalFile(), Q(folder));
}

QTEST_MAIN(OutcomesTest)
#include "OutcomesTest.moc"
