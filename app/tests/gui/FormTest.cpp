// The form itself: controls and captions, every page transition, the pickers, start-up with each kind of
// argument, and the two settings kept across runs.

#include <QCheckBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>

#include "app/UnitFormFileList.h"
#include "app/tests/gui/WizardTestKit.h"

using namespace corvane;
namespace fs = std::filesystem;

class FormTest : public QObject {
  Q_OBJECT

 private slots:
  void windowAndPages();
  void controls_data();
  void controls();
  void captionsFit();
  void transitions_data();
  void transitions();
  void recipientNeededToGoOn();
  void pickers();
  void startWithoutArgument();
  void startWithPublicKeyFile();
  void startWithAnotherKeyOfTheSameNameAsks();
  void recipientTooltipsShowFingerprints();
  void startWithLowerCaseKeyName();
  void startWithContainer();
  void settingsSavedAtShutdown();
  void settingsRead_data();
  void settingsRead();
  void damagedSettingStillOpens();
  void endPages();
  void applyFileTypes();
};

void FormTest::windowAndPages() {
  TSandbox sandbox;
  TWizard w;
  TForm1& form = w.Start();
  QCOMPARE(form.windowTitle(), QStringLiteral("Corvane"));
  QCOMPARE(form.size(), QSize(442, 243));
  QCOMPARE(form.minimumSize(), form.maximumSize());
  QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
  QVERIFY(form.windowFlags() & Qt::WindowMinimizeButtonHint);
  QCOMPARE(form.pos(), QPoint(292, 147));
  QCOMPARE(form.font().pixelSize(), 12);
  QVERIFY(!form.windowIcon().isNull());
  auto* pages = w.Find<QStackedWidget>("Pages");
  QCOMPARE(pages->count(), 9);
  for (int i = 0; i < 9; ++i)
    QCOMPARE(pages->widget(i)->objectName(), QStringLiteral("TabSheet%1").arg(i + 1));
  QCOMPARE(w.Page(), QStringLiteral("TabSheet1"));
}

void FormTest::controls_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("caption");
  QTest::addColumn<QRect>("geometry");
  QTest::addColumn<bool>("enabled");
  const QRect back(256, 192, 73, 25), next(336, 192, 73, 25), browse(308, 92, 53, 21);
  struct Row {
    const char* name;
    const char* caption;
    QRect geometry;
    bool enabled;
  };
  const Row rows[] = {
      {"Button2", "次へ(&>)", next, true},  {"Button3", "戻る(&<)", back, true},
      {"Button6", "次へ(&>)", next, true},  {"Button4", "戻る(&<)", back, true},
      {"Button7", "次へ(&>)", next, true},  {"Button5", "戻る(&<)", back, true},
      {"Button8", "解読", next, false},     {"Button9", "参照", browse, true},
      {"Button10", "戻る(&<)", back, true}, {"Button11", "暗号化", next, false},
      {"Button14", "参照", browse, true},   {"Button12", "戻る(&<)", back, true},
      {"Button13", "次へ(&>)", next, true}, {"Button15", "開く(&O)", back, true},
      {"Button16", "終了(&X)", next, true}, {"Button17", "開く(&O)", back, true},
      {"Button18", "終了(&X)", next, true}, {"Button19", "戻る(&<)", back, true},
      {"Button20", "適用(&A)", next, true},
  };
  for (const Row& r : rows)
    QTest::newRow(r.name) << QString::fromLatin1(r.name) << QString::fromUtf8(r.caption) << r.geometry
                          << r.enabled;
}

void FormTest::controls() {
  QFETCH(QString, name);
  QFETCH(QString, caption);
  QFETCH(QRect, geometry);
  QFETCH(bool, enabled);
  TSandbox sandbox;
  TWizard w;
  w.Start();
  auto* button = w.Find<QPushButton>(qPrintable(name));
  QCOMPARE(button->text(), caption);
  QCOMPARE(button->geometry(), geometry);
  QCOMPARE(button->isEnabled(), enabled);
}

// Captions, item order, ranges and initial states of the other controls.
void FormTest::captionsFit() {
  TSandbox sandbox;
  TWizard w;
  TForm1& form = w.Start();
  QCOMPARE(w.Find<QGroupBox>("RadioGroup1")->title(), QStringLiteral("処理を選択して下さい。"));
  QCOMPARE(w.Find<QGroupBox>("RadioGroup1")->geometry(), QRect(24, 16, 385, 161));
  const QStringList tasks{QStringLiteral("公開鍵・秘密鍵のセットを作成する。"),
                          QStringLiteral("ファイルを暗号化する。"), QStringLiteral("ファイルを復号化する。"),
                          QStringLiteral("設定を行う。")};
  for (int i = 0; i < tasks.size(); ++i)
    QCOMPARE(w.Find<QRadioButton>(qPrintable(QStringLiteral("RadioGroup1_Item%1").arg(i)))->text(), tasks[i]);
  QCOMPARE(TForm1::ItemIndex(form.RadioGroup1), -1);
  const QStringList actions{QStringLiteral("このまま終了する。"),
                            QStringLiteral("ファイルのあるフォルダを開く。"),
                            QStringLiteral("メールに添付する。")};
  for (int i = 0; i < actions.size(); ++i)
    QCOMPARE(w.Find<QRadioButton>(qPrintable(QStringLiteral("RadioGroup2_Item%1").arg(i)))->text(),
             actions[i]);
  QCOMPARE(TForm1::ItemIndex(form.RadioGroup2), -1);
  QCOMPARE(form.RadioGroup2->title(), QStringLiteral("暗号化したファイルの処理を選択して下さい。"));

  QCOMPARE(form.EdtBit->minimum(), 256);
  QCOMPARE(form.EdtBit->maximum(), 2048);
  QCOMPARE(form.EdtBit->value(), 1024);
  QCOMPARE(form.EdtBit->singleStep(), 1);
  QVERIFY(form.Edit1->text().isEmpty());
  QVERIFY(form.Edit2->isReadOnly());
  QVERIFY(form.Edit4->isReadOnly());
  QCOMPARE(form.FileListBox1->selectionMode(), QAbstractItemView::SingleSelection);
  QVERIFY(form.Label7->text().isEmpty());
  QVERIFY(form.Label11->text().isEmpty());
  QCOMPARE(form.CheckBox1->text(), QStringLiteral("暗号化用鍵ファイル（KVKファイル）を関連づける。"));
  QCOMPARE(form.CheckBox2->text(), QStringLiteral("暗号ファイル（KVXファイル）の解読を関連づける。"));
  QVERIFY(form.Button20->isDefault());
  QCOMPARE(form.TabSheet4->findChild<QGroupBox*>()->geometry(), QRect(24, 8, 385, 161));
  QCOMPARE(form.TabSheet5->findChild<QGroupBox*>()->geometry(), QRect(24, 8, 385, 161));

  // Every fixed caption is shown whole inside its control and its page.
  const QStringList labels{QStringLiteral("暗号強度"),
                           QStringLiteral("ファイル名(E-mailアドレス)"),
                           QStringLiteral("解読したいファイル"),
                           QStringLiteral("暗号元ファイル"),
                           QStringLiteral("公開鍵の作成は無事終了しました。"),
                           QStringLiteral("公開鍵ファイルは"),
                           QStringLiteral("にあります。"),
                           QStringLiteral("ファイルの復号化は無事終了しました。"),
                           QStringLiteral("復号化されたファイルは")};
  QStringList found;
  for (QLabel* l : form.findChildren<QLabel*>()) {
    if (l->text().isEmpty()) continue;
    found << l->text();
    QVERIFY2(l->sizeHint().width() <= l->width(), qPrintable(l->text()));
    QVERIFY2(l->geometry().right() < l->parentWidget()->width(), qPrintable(l->text()));
  }
  for (const QString& text : labels) QVERIFY2(found.contains(text), qPrintable(text));
  for (QPushButton* b : form.findChildren<QPushButton*>()) {
    // The style's minimum width is not the caption's: the caption itself must fit.
    const int textWidth = b->fontMetrics().horizontalAdvance(QString(b->text()).remove(QLatin1Char('&')));
    QVERIFY2(textWidth + 8 <= b->width(), qPrintable(b->objectName()));
  }
  for (QAbstractButton* b : form.findChildren<QAbstractButton*>()) {
    if (qobject_cast<QPushButton*>(b)) continue;
    QVERIFY2(b->sizeHint().width() <= b->width(), qPrintable(b->objectName()));
    QVERIFY2(b->geometry().right() < b->parentWidget()->width(), qPrintable(b->objectName()));
  }
  for (QGroupBox* g : form.findChildren<QGroupBox*>())
    QVERIFY2(g->fontMetrics().horizontalAdvance(g->title()) < g->width() - 16, qPrintable(g->title()));
}

// Each row: the radio item chosen on page 1 (-1: none), then the buttons clicked, and the page reached.
void FormTest::transitions_data() {
  QTest::addColumn<int>("task");
  QTest::addColumn<QStringList>("clicks");
  QTest::addColumn<QString>("page");
  auto row = [](const char* name, int task, QStringList clicks, const char* page) {
    QTest::newRow(name) << task << clicks << QString::fromLatin1(page);
  };
  row("1: nothing chosen stays", -1, {"Button2"}, "TabSheet1");
  row("1 -> 2", 0, {"Button2"}, "TabSheet2");
  row("1 -> 3", 1, {"Button2"}, "TabSheet3");
  row("1 -> 4", 2, {"Button2"}, "TabSheet4");
  row("1 -> 9", 3, {"Button2"}, "TabSheet9");
  row("2 back", 0, {"Button2", "Button3"}, "TabSheet1");
  row("3 back", 1, {"Button2", "Button4"}, "TabSheet1");
  row("3 nothing selected stays", 1, {"Button2", "Button7"}, "TabSheet3");
  row("4 back", 2, {"Button2", "Button5"}, "TabSheet1");
  row("4 decrypt disabled", 2, {"Button2", "Button8"}, "TabSheet4");
  row("9 back", 3, {"Button2", "Button19"}, "TabSheet1");
  row("9 apply stays", 3, {"Button2", "Button20"}, "TabSheet9");
  row("back and on again", 3, {"Button2", "Button19", "Button2"}, "TabSheet9");
}

void FormTest::transitions() {
  QFETCH(int, task);
  QFETCH(QStringList, clicks);
  QFETCH(QString, page);
  TSandbox sandbox;
  TWizard w;
  w.Start();
  if (task >= 0) w.Choose("RadioGroup1", task);
  for (const QString& button : clicks) w.Click(qPrintable(button));
  QCOMPARE(w.Page(), page);
  QVERIFY(w.Dialogs.Errors.empty());
}

void FormTest::recipientNeededToGoOn() {
  TSandbox sandbox;
  WriteAll(sandbox.KeyFolder() / "bob.KVK", "1\r\n2\r\n3\r\n");
  WriteAll(sandbox.KeyFolder() / "Alice.KVK", "1\r\n2\r\n3\r\n");
  WriteAll(sandbox.KeyFolder() / "carol.KVK", "1\r\n2\r\n3\r\n");
  WriteAll(sandbox.KeyFolder() / "notes.txt", "");
  fs::create_directories(sandbox.KeyFolder() / "folder.KVK");
  TWizard w;
  TForm1& form = w.Start();
  w.Choose("RadioGroup1", 1);
  w.Click("Button2");
  QStringList listed;
  for (int i = 0; i < form.FileListBox1->count(); ++i) listed << form.FileListBox1->item(i)->text();
  QCOMPARE(listed, (QStringList{"Alice.KVK", "bob.KVK", "carol.KVK"}));
  QVERIFY(form.FileListBox1->FileName().isEmpty());
  form.FileListBox1->setCurrentRow(1);
  QCOMPARE(form.FileListBox1->FileName().toStdString(), (sandbox.KeyFolder() / "bob.KVK").string());
  w.Click("Button7");
  QCOMPARE(w.Page(), QStringLiteral("TabSheet5"));
  w.Click("Button11");  // disabled until a source is chosen
  QCOMPARE(w.Page(), QStringLiteral("TabSheet5"));
  w.Click("Button10");
  QCOMPARE(w.Page(), QStringLiteral("TabSheet1"));
  // Nothing is reset when pages are left: the selection is still there.
  w.Click("Button2");
  QCOMPARE(form.FileListBox1->FileName().toStdString(), (sandbox.KeyFolder() / "bob.KVK").string());
}

void FormTest::pickers() {
  TSandbox sandbox;
  TWizard w;
  TForm1& form = w.Start();
  w.Choose("RadioGroup1", 2);
  w.Click("Button2");
  w.Click("Button9");  // cancelled
  QVERIFY(form.Edit4->text().isEmpty());
  QVERIFY(!form.Button8->isEnabled());
  w.Dialogs.Files.push_back(QStringLiteral("/some/where/letter_bob.KVX"));
  w.Click("Button9");
  QCOMPARE(form.Edit4->text(), QStringLiteral("/some/where/letter_bob.KVX"));
  QVERIFY(form.Button8->isEnabled());
  w.Click("Button9");  // cancelled again: the choice stays
  QCOMPARE(form.Edit4->text(), QStringLiteral("/some/where/letter_bob.KVX"));
  QVERIFY(form.Button8->isEnabled());

  form.Pages->setCurrentWidget(form.TabSheet5);
  w.Dialogs.Files.push_back(QStringLiteral("/some/where/report.doc"));
  w.Click("Button14");
  QCOMPARE(form.Edit2->text(), QStringLiteral("/some/where/report.doc"));
  QVERIFY(form.Button11->isEnabled());
  QCOMPARE(w.Dialogs.Filters,
           (std::vector<QString>{
               QStringLiteral("KOVA Encrypted files (*.KVX)"), QStringLiteral("KOVA Encrypted files (*.KVX)"),
               QStringLiteral("KOVA Encrypted files (*.KVX)"), QStringLiteral("すべてのファイル (*)")}));
}

void FormTest::startWithoutArgument() {
  TSandbox sandbox;
  TWizard w;
  w.Start();
  QCOMPARE(w.Page(), QStringLiteral("TabSheet1"));
  QVERIFY(w.Dialogs.Messages.empty());
  QVERIFY(w.Dialogs.Errors.empty());
}

void FormTest::startWithPublicKeyFile() {
  TSandbox sandbox;
  const fs::path key = sandbox.Documents() / "bob@example.com.KVK";
  const std::string text = NewPublicKeyText();
  WriteAll(key, text);
  TWizard w;
  TForm1& form = w.Start({QString::fromStdString(key.string())});
  QCOMPARE(w.Dialogs.Messages.size(), 1u);
  QCOMPARE(w.Dialogs.Messages[0].Kind, TMsgKind::mkInformation);
  QCOMPARE(w.Dialogs.Messages[0].Buttons, TMsgButtons::mbOK);
  QCOMPARE(w.Dialogs.Messages[0].Text, QStringLiteral("bob@example.com.KVKをインストールします。"));
  // The key folder did not exist: it is created, and the copy is whole.
  QCOMPARE(ReadAll(sandbox.KeyFolder() / "bob@example.com.KVK"), text);
  QCOMPARE(w.Page(), QStringLiteral("TabSheet1"));
  QCOMPARE(form.FileListBox1->count(), 1);
  QCOMPARE(form.FileListBox1->item(0)->text(), QStringLiteral("bob@example.com.KVK"));

  // A file that cannot be read, or is no usable key, is reported instead of ignored.
  WriteAll(sandbox.Documents() / "weak.KVK", "123\r\n65537\r\n1024\r\n");
  for (const char* name : {"missing.KVK", "weak.KVK"}) {
    TWizard again;
    again.Start({QString::fromStdString((sandbox.Documents() / name).string())});
    QCOMPARE(again.Dialogs.Messages.size(), 2u);
    QCOMPARE(again.Dialogs.Messages[1].Kind, TMsgKind::mkError);
    QVERIFY(again.Dialogs.Messages[1].Text.contains(QString::fromLatin1(name)));
    QCOMPARE(again.Form().FileListBox1->count(), 1);
    QCOMPARE(again.Page(), QStringLiteral("TabSheet1"));
  }
}

// A recipient's key is never swapped silently: the question shows both fingerprints.
void FormTest::startWithAnotherKeyOfTheSameNameAsks() {
  TSandbox sandbox;
  const std::string installed = NewPublicKeyText();
  WriteAll(sandbox.KeyFolder() / "bob.KVK", installed);
  const fs::path key = sandbox.Documents() / "bob.KVK";
  WriteAll(key, NewPublicKeyText());
  const QString oldPrint = FingerprintOf(sandbox.KeyFolder() / "bob.KVK"), newPrint = FingerprintOf(key);
  TWizard w;
  w.Dialogs.Answers = {true, false};
  w.Start({QString::fromStdString(key.string())});
  QCOMPARE(w.Dialogs.Messages.size(), 2u);
  const TScriptedDialogs::Message& question = w.Dialogs.Messages[1];
  QCOMPARE(question.Kind, TMsgKind::mkWarning);
  QCOMPARE(question.Buttons, TMsgButtons::mbOKCancel);
  QVERIFY2(question.Text.contains(oldPrint) && question.Text.contains(newPrint), qPrintable(question.Text));
  QVERIFY(question.Text.contains(QStringLiteral("置き換えますか？")));
  QCOMPARE(ReadAll(sandbox.KeyFolder() / "bob.KVK"), installed);
  QCOMPARE(w.Page(), QStringLiteral("TabSheet1"));

  w.Dialogs.Messages.clear();
  w.Dialogs.Answers = {true, true};
  w.Start({QString::fromStdString(key.string())});
  QCOMPARE(w.Dialogs.Messages.size(), 2u);
  QCOMPARE(ReadAll(sandbox.KeyFolder() / "bob.KVK"), ReadAll(key));
  // The same key again: no question.
  w.Dialogs.Messages.clear();
  w.Start({QString::fromStdString(key.string())});
  QCOMPARE(w.Dialogs.Messages.size(), 1u);
  QVERIFY(w.Dialogs.Errors.empty());
}

void FormTest::recipientTooltipsShowFingerprints() {
  TSandbox sandbox;
  WriteAll(sandbox.KeyFolder() / "alice.KVK", NewPublicKeyText());
  WriteAll(sandbox.KeyFolder() / "bob.kvk", NewPublicKeyText());
  WriteAll(sandbox.KeyFolder() / "junk.KVK", "1\r\n2\r\n3\r\n");
  TWizard w;
  TForm1& form = w.Start();
  w.Choose("RadioGroup1", 1);
  w.Click("Button2");
  QCOMPARE(form.FileListBox1->count(), 3);
  QCOMPARE(form.FileListBox1->item(0)->toolTip(),
           QStringLiteral("指紋: ") + FingerprintOf(sandbox.KeyFolder() / "alice.KVK"));
  QCOMPARE(form.FileListBox1->item(1)->toolTip(),
           QStringLiteral("指紋: ") + FingerprintOf(sandbox.KeyFolder() / "bob.kvk"));
  // A file that is no usable key says why.
  QVERIFY2(form.FileListBox1->item(2)->toolTip().contains(QStringLiteral("junk.KVK")),
           qPrintable(form.FileListBox1->item(2)->toolTip()));
  QVERIFY(!form.FileListBox1->item(2)->toolTip().contains(QStringLiteral("指紋")));
  // The entries' captions are the file names, as before.
  QCOMPARE(form.FileListBox1->item(1)->text(), QStringLiteral("bob.kvk"));
}

void FormTest::startWithLowerCaseKeyName() {
  TSandbox sandbox;
  const fs::path key = sandbox.Documents() / "bob.kvk";
  WriteAll(key, "1\r\n2\r\n3\r\n");
  TWizard w;
  w.Start({QString::fromStdString(key.string())});
  QVERIFY(w.Dialogs.Messages.empty());
  QVERIFY(!fs::exists(sandbox.KeyFolder() / "bob.kvk"));
  QCOMPARE(w.Page(), QStringLiteral("TabSheet1"));
  w.Start({QStringLiteral("KVK")});  // shorter than the suffix
  QVERIFY(w.Dialogs.Messages.empty());
}

void FormTest::startWithContainer() {
  TSandbox sandbox;
  const QString container = QString::fromStdString((sandbox.Documents() / "letter_bob.KVX").string());
  TWizard w;
  TForm1& form = w.Start({container});
  QCOMPARE(w.Page(), QStringLiteral("TabSheet4"));
  QCOMPARE(form.Edit4->text(), container);
  QVERIFY(form.Button8->isEnabled());
  QVERIFY(w.Dialogs.Messages.empty());
  w.Click("Button5");
  QCOMPARE(w.Page(), QStringLiteral("TabSheet1"));
  w.Start({QStringLiteral("letter_bob.kvx")});
  QCOMPARE(w.Page(), QStringLiteral("TabSheet1"));
}

void FormTest::settingsSavedAtShutdown() {
  TSandbox sandbox;
  TWizard w;
  TForm1& form = w.Start();
  w.Choose("RadioGroup1", 3);
  w.Click("Button2");
  QTest::mouseClick(form.CheckBox2, Qt::LeftButton);
  w.Stop();  // without "適用(&A)"
  const std::string ini = ReadAll(sandbox.SettingsFile());
  QVERIFY2(ini.find("KVK=0") != std::string::npos, ini.c_str());
  QVERIFY2(ini.find("KVX=-1") != std::string::npos, ini.c_str());
  TForm1& next = w.Start();
  QVERIFY(!next.CheckBox1->isChecked());
  QVERIFY(next.CheckBox2->isChecked());
  // Nothing was applied to the desktop.
  QVERIFY(!fs::exists(sandbox.DataHome() / "mime"));
}

void FormTest::settingsRead_data() {
  QTest::addColumn<QString>("value");
  QTest::addColumn<bool>("checked");
  QTest::newRow("1") << "1" << true;
  QTest::newRow("-1") << "-1" << true;
  QTest::newRow("True") << "True" << true;
  QTest::newRow("0") << "0" << false;
  QTest::newRow("false") << "false" << false;
}

void FormTest::settingsRead() {
  QFETCH(QString, value);
  QFETCH(bool, checked);
  TSandbox sandbox;
  WriteAll(sandbox.SettingsFile(), "[Setting]\nKVK=" + value.toStdString() + "\nKVX=0\n");
  TWizard w;
  TForm1& form = w.Start();
  QCOMPARE(form.CheckBox1->isChecked(), checked);
  QVERIFY(!form.CheckBox2->isChecked());
  QVERIFY(w.Dialogs.Errors.empty());
}

void FormTest::damagedSettingStillOpens() {
  TSandbox sandbox;
  WriteAll(sandbox.SettingsFile(), "[Setting]\nKVK=yes please\n");
  TWizard w;
  w.Start({QString::fromStdString((sandbox.Documents() / "x.KVX").string())});
  QCOMPARE(w.Dialogs.Errors,
           (std::vector<QString>{QStringLiteral("'yes please' は正しい論理型ではありません.")}));
  // The rest of start-up is skipped; the window opens on the first page all the same.
  QCOMPARE(w.Page(), QStringLiteral("TabSheet1"));
  QVERIFY(!w.Form().Button8->isEnabled());
}

void FormTest::endPages() {
  TSandbox sandbox;
  TWizard w;
  TForm1& form = w.Start();
  form.Label7->setText(QStringLiteral("/home/u/Corvane/bob.KVK"));
  form.Label11->setText(QStringLiteral("/home/u/mail/"));
  form.Pages->setCurrentWidget(form.TabSheet7);
  w.Click("Button15");
  QCOMPARE(w.Page(), QStringLiteral("TabSheet7"));
  form.Pages->setCurrentWidget(form.TabSheet8);
  w.Click("Button17");
  QCOMPARE(w.Page(), QStringLiteral("TabSheet8"));
  QCOMPARE(w.Shell.Opened, (std::vector<fs::path>{"/home/u/Corvane", "/home/u/mail/"}));
  QCOMPARE(w.Terminated, 0);
  w.Click("Button18");
  form.Pages->setCurrentWidget(form.TabSheet7);
  w.Click("Button16");
  QCOMPARE(w.Terminated, 2);
}

void FormTest::applyFileTypes() {
  TSandbox sandbox;
  TWizard w;
  TForm1& form = w.Start();
  w.Choose("RadioGroup1", 3);
  w.Click("Button2");
  const fs::path kvkEntry = sandbox.DataHome() / "applications" / "corvane-kvk.desktop";
  const fs::path kvxEntry = sandbox.DataHome() / "applications" / "corvane-kvx.desktop";
  const fs::path kvxIcon =
      sandbox.DataHome() / "icons/hicolor/scalable/mimetypes/application-x-corvane-kvx.svg";
  QTest::mouseClick(form.CheckBox1, Qt::LeftButton);
  QTest::mouseClick(form.CheckBox2, Qt::LeftButton);
  w.Click("Button20");
  QVERIFY(w.Dialogs.Errors.empty());
  QVERIFY(w.Dialogs.Messages.empty());
  QCOMPARE(w.Page(), QStringLiteral("TabSheet9"));
  QVERIFY(fs::exists(kvkEntry));
  QVERIFY(fs::exists(kvxEntry));
  // The container icon is the program's own, from its resources.
  QVERIFY(ReadAll(kvxIcon).find("<svg") != std::string::npos);
  const std::string exec = "Exec=\"" + QCoreApplication::applicationFilePath().toStdString() + "\" %f";
  QVERIFY(ReadAll(kvxEntry).find(exec) != std::string::npos);
  QVERIFY(ReadAll(sandbox.ConfigHome() / "mimeapps.list")
              .find("application/x-corvane-kvx=corvane-kvx.desktop;") != std::string::npos);

  // Unchecking one and pressing Enter (the page's default button) removes just that one.
  QTest::mouseClick(form.CheckBox1, Qt::LeftButton);
  QTest::keyClick(&form, Qt::Key_Return);
  QVERIFY(!fs::exists(kvkEntry));
  QVERIFY(fs::exists(kvxEntry));
  QCOMPARE(w.Page(), QStringLiteral("TabSheet9"));

  // A piece that cannot be written is reported in the error box.
  QTest::mouseClick(form.CheckBox1, Qt::LeftButton);
  fs::remove_all(sandbox.DataHome() / "mime");
  WriteAll(sandbox.DataHome() / "mime", "a file where a folder belongs");
  w.Click("Button20");
  QCOMPARE(w.Dialogs.Errors.size(), 1u);
  QCOMPARE(w.Page(), QStringLiteral("TabSheet9"));
}

QTEST_MAIN(FormTest)
#include "FormTest.moc"
