// The three flows through the pages, end to end in temporary folders: key pair (with the replacement
// question both ways), encryption and the three after-encryption choices, decryption (success, a container
// for another key, an existing output file).

#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QStackedWidget>

#include "app/UnitFormFileList.h"
#include "app/flows/EncryptionFlow.h"
#include "app/flows/FlowCommon.h"
#include "app/tests/gui/WizardTestKit.h"

using namespace corvane;
namespace fs = std::filesystem;

namespace {

// Alice's private key in the settings, as the vectors keep it.
void StoreAlicesKey(const TSandbox& sandbox) {
  WriteAll(sandbox.SettingsFile(), ReadAll(Vectors() / "private-key.ini"));
}

// Creates a key pair through page 2 and answers the replacement question with `answer`.
void CreateKeyPair(TWizard& w, const QString& name, int bits) {
  w.Choose("RadioGroup1", 0);
  w.Click("Button2");
  w.Form().EdtBit->setValue(bits);
  w.Form().Edit1->setText(name);
  w.Click("Button6");
}

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

class FlowsTest : public QObject {
  Q_OBJECT

 private slots:
  void keyPair();
  void replacingTheKeyAsks();
  void foreignPublicKeyFileAsks();
  void decryptsContainer_data();
  void decryptsContainer();
  void containerForAnotherKey();
  void existingOutputAsks();
  void damagedContainerRefused();
  void encryptThenChoose_data();
  void encryptThenChoose();
  void encryptionErrorKeepsPage();
  void existingContainerAsks();
  void hiddenOutputNameAsks();
  void foreignContainerRefusedBeforeAnyQuestion();
};

namespace {

// Encrypts source for Alice's vector key, as a sender would.
fs::path EncryptForAlice(const fs::path& source) {
  TKOVA kova;
  return EncryptFileForRecipient({Vectors() / "alice@example.com.KVK", source}, kova).Container;
}

// Runs the encryption pages with the first recipient and source.
void EncryptThroughPages(TWizard& w, const fs::path& source) {
  w.Choose("RadioGroup1", 1);
  w.Click("Button2");
  w.Form().FileListBox1->setCurrentRow(0);
  w.Click("Button7");
  w.Dialogs.Files.push_back(Q(source));
  w.Click("Button14");
  w.Click("Button11");
}

}  // namespace

void FlowsTest::keyPair() {
  TSandbox sandbox;
  TWizard w;
  TForm1& form = w.Start();
  w.Choose("RadioGroup1", 0);
  w.Click("Button2");
  // A typed strength below the range is pulled to the nearer bound.
  form.EdtBit->setFocus();
  form.EdtBit->selectAll();
  QTest::keyClicks(form.EdtBit, QStringLiteral("99"));
  QTest::keyClicks(form.Edit1, QStringLiteral("alice@example.com"));
  w.Click("Button6");
  QVERIFY2(w.Dialogs.Errors.empty(), w.Dialogs.Errors.empty() ? "" : qPrintable(w.Dialogs.Errors[0]));
  QVERIFY(w.Dialogs.Messages.empty());  // no key yet: no question
  QCOMPARE(w.Page(), QStringLiteral("TabSheet7"));
  const fs::path file = sandbox.ProgramFolder() / "alice@example.com.KVK";
  QCOMPARE(w.Form().Label7->text(), Q(file));
  // The caption is the path; its tooltip adds the fingerprint the key's users compare.
  QCOMPARE(w.Form().Label7->toolTip(), Q(file) + QStringLiteral("\n指紋: ") + FingerprintOf(file));
  QVERIFY(w.Form().Button6->isEnabled());
  const std::string text = ReadAll(file);
  const std::vector<std::string> lines = SplitLines(text);
  QCOMPARE(lines.size(), 3u);
  QCOMPARE(lines[1], std::string("65537"));
  QCOMPARE(lines[2], std::string("256"));
  QVERIFY(text.ends_with("\r\n256\r\n"));
  const std::string ini = ReadAll(sandbox.SettingsFile());
  QVERIFY2(ini.find("KeyStrength=256") != std::string::npos, ini.c_str());
  w.Click("Button15");
  QCOMPARE(w.Shell.Opened, (std::vector<fs::path>{sandbox.ProgramFolder()}));
  QCOMPARE(w.Page(), QStringLiteral("TabSheet7"));
}

void FlowsTest::replacingTheKeyAsks() {
  TSandbox sandbox;
  StoreAlicesKey(sandbox);
  const std::string before = ReadAll(sandbox.SettingsFile());
  TWizard w;
  w.Dialogs.Answers = {false};
  w.Start();
  CreateKeyPair(w, QStringLiteral("bob"), 256);
  QCOMPARE(w.Dialogs.Messages.size(), 1u);
  QCOMPARE(w.Dialogs.Messages[0].Kind, TMsgKind::mkWarning);
  QCOMPARE(w.Dialogs.Messages[0].Buttons, TMsgButtons::mbOKCancel);
  QCOMPARE(w.Dialogs.Messages[0].Text, QString::fromUtf8(kReplaceKeyQuestionText));
  QCOMPARE(w.Page(), QStringLiteral("TabSheet2"));
  QVERIFY(w.Form().Button6->isEnabled());
  QVERIFY(!fs::exists(sandbox.ProgramFolder() / "bob.KVK"));
  QVERIFY(ReadAll(sandbox.SettingsFile()).find("KeyStrength=1024") != std::string::npos);

  w.Dialogs.Answers = {true};
  w.Click("Button6");
  QCOMPARE(w.Dialogs.Messages.size(), 2u);
  QCOMPARE(w.Page(), QStringLiteral("TabSheet7"));
  QVERIFY(fs::exists(sandbox.ProgramFolder() / "bob.KVK"));
  const std::string after = ReadAll(sandbox.SettingsFile());
  QVERIFY(after != before);
  QVERIFY(after.find("KeyStrength=256") != std::string::npos);
}

// No key is stored, but the program folder holds someone else's bob.KVK: it is replaced only when the
// user agrees, and before the key is made.
void FlowsTest::foreignPublicKeyFileAsks() {
  TSandbox sandbox;
  const std::string foreign = NewPublicKeyText();
  WriteAll(sandbox.ProgramFolder() / "bob.KVK", foreign);
  TWizard w;
  w.Dialogs.Answers = {false};
  w.Start();
  CreateKeyPair(w, QStringLiteral("bob"), 256);
  QCOMPARE(w.Dialogs.Messages.size(), 1u);
  QCOMPARE(w.Dialogs.Messages[0].Kind, TMsgKind::mkWarning);
  QCOMPARE(w.Dialogs.Messages[0].Buttons, TMsgButtons::mbOKCancel);
  QVERIFY(w.Dialogs.Messages[0].Text.contains(Q(sandbox.ProgramFolder() / "bob.KVK")));
  QCOMPARE(w.Page(), QStringLiteral("TabSheet2"));
  QCOMPARE(ReadAll(sandbox.ProgramFolder() / "bob.KVK"), foreign);
  QVERIFY(!fs::exists(sandbox.SettingsFile()));

  w.Dialogs.Answers = {true};
  w.Click("Button6");
  QCOMPARE(w.Page(), QStringLiteral("TabSheet7"));
  QVERIFY(ReadAll(sandbox.ProgramFolder() / "bob.KVK") != foreign);
  QVERIFY(ReadAll(sandbox.SettingsFile()).find("KeyStrength=256") != std::string::npos);
}

void FlowsTest::decryptsContainer_data() {
  QTest::addColumn<QString>("container");
  QTest::addColumn<bool>("fromCommandLine");
  QTest::newRow("picked, session key first") << "letter_alice@example.com.KVX" << false;
  QTest::newRow("command line, payload first") << "enc-first-level0/letter_alice@example.com.KVX" << true;
}

void FlowsTest::decryptsContainer() {
  QFETCH(QString, container);
  QFETCH(bool, fromCommandLine);
  TSandbox sandbox;
  StoreAlicesKey(sandbox);
  const fs::path copy = sandbox.Documents() / "letter_alice@example.com.KVX";
  WriteAll(copy, ReadAll(Vectors() / container.toStdString()));
  TWizard w;
  if (fromCommandLine) {
    w.Start({Q(copy)});
  } else {
    w.Start();
    w.Choose("RadioGroup1", 2);
    w.Click("Button2");
    w.Dialogs.Files.push_back(Q(copy));
    w.Click("Button9");
  }
  QCOMPARE(w.Page(), QStringLiteral("TabSheet4"));
  w.Click("Button8");
  QVERIFY2(w.Dialogs.Errors.empty(), w.Dialogs.Errors.empty() ? "" : qPrintable(w.Dialogs.Errors[0]));
  QVERIFY(w.Dialogs.Messages.empty());
  QCOMPARE(w.Page(), QStringLiteral("TabSheet8"));
  QCOMPARE(w.Form().Label11->text(), Q(sandbox.Documents() / ""));
  QVERIFY(w.Form().Button8->isEnabled());
  QCOMPARE(ReadAll(sandbox.Documents() / "letter.txt"), ReadAll(Vectors() / "letter.txt"));
  // The container and the decrypted file, nothing else.
  QCOMPARE(Names(sandbox.Documents()),
           (std::vector<std::string>{"letter.txt", "letter_alice@example.com.KVX"}));
  w.Click("Button17");
  QCOMPARE(w.Shell.Opened, (std::vector<fs::path>{sandbox.Documents() / ""}));
  w.Click("Button18");
  QCOMPARE(w.Terminated, 1);
}

void FlowsTest::containerForAnotherKey() {
  TSandbox sandbox;
  const fs::path copy = sandbox.Documents() / "letter_alice@example.com.KVX";
  WriteAll(copy, ReadAll(Vectors() / "letter_alice@example.com.KVX"));
  TWizard w;
  w.Start();
  CreateKeyPair(w, QStringLiteral("someone"), 256);
  QCOMPARE(w.Page(), QStringLiteral("TabSheet7"));
  w.Start({Q(copy)});
  w.Click("Button8");
  QCOMPARE(w.Dialogs.Messages.size(), 1u);
  QCOMPARE(w.Dialogs.Messages[0].Kind, TMsgKind::mkError);
  QCOMPARE(w.Dialogs.Messages[0].Buttons, TMsgButtons::mbOK);
  QCOMPARE(w.Dialogs.Messages[0].Text, QString::fromUtf8(kNotForYourKeyText));
  QCOMPARE(w.Page(), QStringLiteral("TabSheet4"));
  QVERIFY(!w.Form().Button8->isEnabled());
  QCOMPARE(Names(sandbox.Documents()), (std::vector<std::string>{"letter_alice@example.com.KVX"}));
  // Choosing the container again enables the button again.
  w.Dialogs.Files.push_back(Q(copy));
  w.Click("Button9");
  QVERIFY(w.Form().Button8->isEnabled());
}

void FlowsTest::existingOutputAsks() {
  TSandbox sandbox;
  StoreAlicesKey(sandbox);
  const fs::path copy = sandbox.Documents() / "letter_alice@example.com.KVX";
  WriteAll(copy, ReadAll(Vectors() / "letter_alice@example.com.KVX"));
  WriteAll(sandbox.Documents() / "letter.txt", "mine");
  TWizard w;
  w.Start({Q(copy)});
  w.Dialogs.Answers = {false};
  w.Click("Button8");
  QCOMPARE(w.Dialogs.Messages.size(), 1u);
  QCOMPARE(w.Dialogs.Messages[0].Kind, TMsgKind::mkWarning);
  QCOMPARE(w.Dialogs.Messages[0].Buttons, TMsgButtons::mbOKCancel);
  QVERIFY(w.Dialogs.Messages[0].Text.contains(QStringLiteral("letter.txt")));
  QCOMPARE(ReadAll(sandbox.Documents() / "letter.txt"), std::string("mine"));
  QCOMPARE(w.Page(), QStringLiteral("TabSheet4"));
  QVERIFY(w.Form().Button8->isEnabled());  // nothing happened: the user may try again

  w.Dialogs.Answers = {true};
  w.Click("Button8");
  QCOMPARE(w.Page(), QStringLiteral("TabSheet8"));
  QCOMPARE(ReadAll(sandbox.Documents() / "letter.txt"), ReadAll(Vectors() / "letter.txt"));

  // A link that leads nowhere has the name too: the same question, and OK replaces the link itself.
  fs::remove(sandbox.Documents() / "letter.txt");
  fs::create_symlink(sandbox.Documents() / "nowhere", sandbox.Documents() / "letter.txt");
  w.Form().Button8->setEnabled(true);
  w.Dialogs.Answers = {true};
  w.Click("Button8");
  QVERIFY(w.Dialogs.Errors.empty());
  QCOMPARE(w.Dialogs.Messages.size(), 3u);
  QVERIFY(!fs::is_symlink(sandbox.Documents() / "letter.txt"));
  QCOMPARE(ReadAll(sandbox.Documents() / "letter.txt"), ReadAll(Vectors() / "letter.txt"));
  QVERIFY(!fs::exists(sandbox.Documents() / "nowhere"));
}

void FlowsTest::damagedContainerRefused() {
  TSandbox sandbox;
  StoreAlicesKey(sandbox);
  std::string bytes = ReadAll(Vectors() / "letter_alice@example.com.KVX");
  bytes[bytes.size() - 20] ^= 0x55;  // inside the last member's data
  const fs::path copy = sandbox.Documents() / "letter_alice@example.com.KVX";
  WriteAll(copy, bytes);
  TWizard w;
  w.Start({Q(copy)});
  w.Click("Button8");
  QCOMPARE(w.Page(), QStringLiteral("TabSheet4"));
  QVERIFY(!w.Form().Button8->isEnabled());
  QCOMPARE(w.Dialogs.Messages.size() + w.Dialogs.Errors.size(), 1u);
  QCOMPARE(Names(sandbox.Documents()), (std::vector<std::string>{"letter_alice@example.com.KVX"}));

  // Not an archive at all: an error, the page stays.
  WriteAll(copy, "not an archive");
  w.Dialogs.Files.push_back(Q(copy));
  w.Click("Button9");
  w.Click("Button8");
  QCOMPARE(w.Page(), QStringLiteral("TabSheet4"));
  QCOMPARE(w.Dialogs.Messages.size() + w.Dialogs.Errors.size(), 2u);
}

void FlowsTest::encryptThenChoose_data() {
  QTest::addColumn<int>("choice");
  QTest::newRow("none") << -1;
  QTest::newRow("finish") << 0;
  QTest::newRow("open folder") << 1;
  QTest::newRow("mail") << 2;
}

void FlowsTest::encryptThenChoose() {
  QFETCH(int, choice);
  TSandbox sandbox;
  StoreAlicesKey(sandbox);
  WriteAll(sandbox.KeyFolder() / "alice@example.com.KVK", ReadAll(Vectors() / "alice@example.com.KVK"));
  const fs::path source = sandbox.Documents() / "notes.txt";
  WriteAll(source, std::string(100000, 'x') + "the end");
  TWizard w;
  TForm1& form = w.Start();
  w.Choose("RadioGroup1", 1);
  w.Click("Button2");
  form.FileListBox1->setCurrentRow(0);
  w.Click("Button7");
  w.Dialogs.Files.push_back(Q(source));
  w.Click("Button14");
  w.Click("Button11");
  QVERIFY2(w.Dialogs.Errors.empty(), w.Dialogs.Errors.empty() ? "" : qPrintable(w.Dialogs.Errors[0]));
  QCOMPARE(w.Page(), QStringLiteral("TabSheet6"));
  QCOMPARE(form.ContainerStem(), std::string("notes_alice@example.com"));
  const fs::path container = sandbox.Documents() / "notes_alice@example.com.KVX";
  QCOMPARE(Names(sandbox.Documents()),
           (std::vector<std::string>{"notes.txt", "notes_alice@example.com.KVX"}));
  // Back to the source page and once more: the container is made again.
  w.Click("Button12");
  QCOMPARE(w.Page(), QStringLiteral("TabSheet5"));
  w.Click("Button11");
  QCOMPARE(w.Page(), QStringLiteral("TabSheet6"));

  if (choice >= 0) w.Choose("RadioGroup2", choice);
  w.Click("Button13");
  QCOMPARE(w.Terminated, 1);
  QCOMPARE(w.Shell.Opened.size(), choice == 1 ? 1u : 0u);
  QCOMPARE(w.Mail.Messages.size(), choice == 2 ? 1u : 0u);
  if (choice == 1) QCOMPARE(w.Shell.Opened[0], sandbox.Documents());
  if (choice == 2) {
    const TMailMessage& m = w.Mail.Messages[0];
    QCOMPARE(m.Recipients.size(), 1u);
    QCOMPARE(m.Recipients[0], (TMailRecipient{TMailRecipientClass::rcTo, "", "alice@example.com"}));
    QVERIFY(m.Subject.empty() && m.NoteText.empty());
    QCOMPARE(m.Flags, kMailReceiptRequested);
    QCOMPARE(m.Files.size(), 1u);
    QCOMPARE(m.Files[0], (TMailAttachment{1, 0xFFFFFFFFu, container.string()}));
    QVERIFY(w.Mail.ShowDialog[0]);
    QVERIFY(w.Mail.WindowsDisabled[0]);
    QVERIFY(form.isEnabled());  // enabled again after the hand-off
  }

  // The container decrypts with Alice's key to the source's bytes.
  const std::string original = ReadAll(source);
  fs::remove(source);
  TWizard reader;
  reader.Start({Q(container)});
  reader.Click("Button8");
  QCOMPARE(reader.Page(), QStringLiteral("TabSheet8"));
  QCOMPARE(ReadAll(source), original);
}

void FlowsTest::encryptionErrorKeepsPage() {
  TSandbox sandbox;
  WriteAll(sandbox.KeyFolder() / "short.KVK", "123\r\n65537\r\n");
  WriteAll(sandbox.Documents() / "a.txt", "abc");
  TWizard w;
  TForm1& form = w.Start();
  w.Choose("RadioGroup1", 1);
  w.Click("Button2");
  form.FileListBox1->setCurrentRow(0);
  w.Click("Button7");
  w.Dialogs.Files.push_back(Q(sandbox.Documents() / "a.txt"));
  w.Click("Button14");
  w.Click("Button11");
  QCOMPARE(w.Dialogs.Errors.size(), 1u);
  QVERIFY(w.Dialogs.Errors[0].endsWith(QLatin1Char('.')) ||
          w.Dialogs.Errors[0].endsWith(QStringLiteral("。")));
  QCOMPARE(w.Page(), QStringLiteral("TabSheet5"));
  QVERIFY(form.Button11->isEnabled());
  QCOMPARE(Names(sandbox.Documents()), (std::vector<std::string>{"a.txt"}));
}

void FlowsTest::existingContainerAsks() {
  TSandbox sandbox;
  WriteAll(sandbox.KeyFolder() / "alice@example.com.KVK", ReadAll(Vectors() / "alice@example.com.KVK"));
  const fs::path source = sandbox.Documents() / "notes.txt";
  const fs::path container = sandbox.Documents() / "notes_alice@example.com.KVX";
  WriteAll(source, "new");
  WriteAll(container, "a container the user already has");
  TWizard w;
  w.Start();
  w.Dialogs.Answers = {false};
  EncryptThroughPages(w, source);
  QCOMPARE(w.Dialogs.Messages.size(), 1u);
  QCOMPARE(w.Dialogs.Messages[0].Kind, TMsgKind::mkWarning);
  QCOMPARE(w.Dialogs.Messages[0].Buttons, TMsgButtons::mbOKCancel);
  QVERIFY(w.Dialogs.Messages[0].Text.contains(QStringLiteral("notes_alice@example.com.KVX")));
  QCOMPARE(w.Page(), QStringLiteral("TabSheet5"));
  QCOMPARE(ReadAll(container), std::string("a container the user already has"));
  QCOMPARE(Names(sandbox.Documents()),
           (std::vector<std::string>{"notes.txt", "notes_alice@example.com.KVX"}));

  w.Dialogs.Answers = {true};
  w.Click("Button11");
  QVERIFY(w.Dialogs.Errors.empty());
  QCOMPARE(w.Page(), QStringLiteral("TabSheet6"));
  QVERIFY(ReadAll(container) != "a container the user already has");
}

void FlowsTest::hiddenOutputNameAsks() {
  TSandbox sandbox;
  StoreAlicesKey(sandbox);
  const fs::path source = sandbox.Root() / ".bashrc";
  WriteAll(source, "echo hi");
  const fs::path container = sandbox.Documents() / "holiday_photos_me@x.KVX";
  fs::rename(EncryptForAlice(source), container);
  TWizard w;
  w.Start({Q(container)});
  w.Dialogs.Answers = {false};
  w.Click("Button8");
  // The question names the file before anything is written; "キャンセル" writes nothing.
  QCOMPARE(w.Dialogs.Messages.size(), 1u);
  QCOMPARE(w.Dialogs.Messages[0].Kind, TMsgKind::mkWarning);
  QCOMPARE(w.Dialogs.Messages[0].Buttons, TMsgButtons::mbOKCancel);
  QVERIFY(w.Dialogs.Messages[0].Text.contains(Q(sandbox.Documents() / ".bashrc")));
  QCOMPARE(Names(sandbox.Documents()), (std::vector<std::string>{"holiday_photos_me@x.KVX"}));
  QCOMPARE(w.Page(), QStringLiteral("TabSheet4"));
  QVERIFY(w.Form().Button8->isEnabled());

  w.Dialogs.Answers = {true};
  w.Click("Button8");
  QCOMPARE(w.Page(), QStringLiteral("TabSheet8"));
  QCOMPARE(ReadAll(sandbox.Documents() / ".bashrc"), std::string("echo hi"));
}

void FlowsTest::foreignContainerRefusedBeforeAnyQuestion() {
  TSandbox sandbox;
  const fs::path copy = sandbox.Documents() / "letter_alice@example.com.KVX";
  WriteAll(copy, ReadAll(Vectors() / "letter_alice@example.com.KVX"));
  WriteAll(sandbox.Documents() / "letter.txt", "mine");
  TWizard w;
  w.Start();
  CreateKeyPair(w, QStringLiteral("someone"), 256);  // not Alice's key
  w.Start({Q(copy)});
  w.Click("Button8");
  // Only the refusal: no question about replacing a file for a container that is not the user's.
  QCOMPARE(w.Dialogs.Messages.size(), 1u);
  QCOMPARE(w.Dialogs.Messages[0].Kind, TMsgKind::mkError);
  QCOMPARE(w.Dialogs.Messages[0].Text, QString::fromUtf8(kNotForYourKeyText));
  QCOMPARE(ReadAll(sandbox.Documents() / "letter.txt"), std::string("mine"));
}

QTEST_MAIN(FlowsTest)
#include "FlowsTest.moc"
