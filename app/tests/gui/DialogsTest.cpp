// The real dialogs behind the seam: message-box titles and buttons, the default error box, and the one
// open-file dialog shared by both pickers.

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <functional>

#include "app/UnitFormTranslation.h"
#include "app/tests/gui/WizardTestKit.h"

using namespace corvane;

namespace {

// Runs `answer` on the first modal dialog of type D that opens.
template <typename D>
void WhenOpen(std::function<void(D*)> answer) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, [poll, answer] {
    if (auto* d = qobject_cast<D*>(QApplication::activeModalWidget())) {
      poll->stop();
      poll->deleteLater();
      answer(d);
    }
  });
  poll->start(10);
}

QStringList ButtonTexts(QMessageBox* box) {
  QStringList texts;
  for (QAbstractButton* b : box->buttons()) texts << b->text();
  return texts;
}

QPushButton* ButtonNamed(QMessageBox* box, const QString& text) {
  for (QAbstractButton* b : box->buttons())
    if (b->text() == text) return qobject_cast<QPushButton*>(b);
  return nullptr;
}

}  // namespace

class DialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void errorBoxText_data();
  void errorBoxText();
  void messageBoxes_data();
  void messageBoxes();
  void errorBox();
  void longTextFitsTheScreen_data();
  void longTextFitsTheScreen();
  void qtSpeaksJapanese();
  void openDialogKeepsItsFolder();
};

void DialogsTest::errorBoxText_data() {
  QTest::addColumn<QString>("message");
  QTest::addColumn<QString>("shown");
  QTest::newRow("plain") << "disk full"
                         << "disk full.";
  QTest::newRow("period") << "done."
                          << "done.";
  QTest::newRow("question") << "really?"
                            << "really?";
  QTest::newRow("japanese full stop") << "ありません。"
                                      << "ありません。";
  QTest::newRow("japanese, none") << "'x' は正しい論理型ではありません"
                                  << "'x' は正しい論理型ではありません.";
  QTest::newRow("empty") << ""
                         << ".";
}

void DialogsTest::errorBoxText() {
  QFETCH(QString, message);
  QFETCH(QString, shown);
  QCOMPARE(ErrorBoxText(message), shown);
}

void DialogsTest::messageBoxes_data() {
  QTest::addColumn<int>("kind");
  QTest::addColumn<bool>("withCancel");
  QTest::addColumn<QString>("press");
  QTest::addColumn<QString>("title");
  QTest::addColumn<bool>("answer");
  QTest::newRow("warning, OK") << int(TMsgKind::mkWarning) << true << "OK"
                               << "警告" << true;
  QTest::newRow("warning, cancel") << int(TMsgKind::mkWarning) << true << "キャンセル"
                                   << "警告" << false;
  QTest::newRow("error") << int(TMsgKind::mkError) << false << "OK"
                         << "エラー" << true;
  QTest::newRow("information") << int(TMsgKind::mkInformation) << false << "OK"
                               << "情報" << true;
}

void DialogsTest::messageBoxes() {
  QFETCH(int, kind);
  QFETCH(bool, withCancel);
  QFETCH(QString, press);
  QFETCH(QString, title);
  QFETCH(bool, answer);
  QWidget parent;
  TQtDialogs dialogs(&parent);
  QString seenTitle, seenText;
  QStringList seenButtons;
  WhenOpen<QMessageBox>([&](QMessageBox* box) {
    seenTitle = box->windowTitle();
    seenText = box->text();
    seenButtons = ButtonTexts(box);
    QTest::mouseClick(ButtonNamed(box, press), Qt::LeftButton);
  });
  const bool got = dialogs.MessageBox(static_cast<TMsgKind>(kind), QStringLiteral("本文"),
                                      withCancel ? TMsgButtons::mbOKCancel : TMsgButtons::mbOK);
  QCOMPARE(got, answer);
  QCOMPARE(seenTitle, title);
  QCOMPARE(seenText, QStringLiteral("本文"));
  seenButtons.sort();
  const QStringList expected = withCancel ? QStringList{"OK", "キャンセル"} : QStringList{"OK"};
  QCOMPARE(seenButtons, expected);
}

void DialogsTest::errorBox() {
  QWidget parent;
  TQtDialogs dialogs(&parent);
  QString title, text;
  QStringList buttons;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  WhenOpen<QMessageBox>([&](QMessageBox* box) {
    title = box->windowTitle();
    text = box->text();
    buttons = ButtonTexts(box);
    icon = box->icon();
    QTest::mouseClick(box->buttons().first(), Qt::LeftButton);
  });
  dialogs.ErrorBox(QStringLiteral("Cannot open file \"x\""));
  QCOMPARE(title, QStringLiteral("Corvane"));
  QCOMPARE(text, QStringLiteral("Cannot open file \"x\"."));
  QCOMPARE(buttons, QStringList{"OK"});
  QCOMPARE(icon, QMessageBox::Critical);
}

void DialogsTest::longTextFitsTheScreen_data() {
  QTest::addColumn<bool>("errorBox");
  QTest::addColumn<QString>("text");
  const QString folder = QStringLiteral("/home/user/") + QString(229, QLatin1Char('a'));  // 240 characters
  QTest::newRow("error box, one long name") << true << folder;
  QTest::newRow("question, Japanese around a path")
      << false << folder + QStringLiteral("/report.txt は既に存在します。上書きしますか？");
  QTest::newRow("path longer than a box can show")
      << true << QStringLiteral("/") + QString(4095, QChar(0x3042));
}

// A box holds its text within the screen's width and height: long names and paths wrap, and nothing runs
// off the box's edge.
void DialogsTest::longTextFitsTheScreen() {
  QFETCH(bool, errorBox);
  QFETCH(QString, text);
  QWidget parent;
  parent.resize(442, 243);
  parent.show();
  TQtDialogs dialogs(&parent);
  QRect box, screen;
  QSize label, labelNeeds;
  QString details;
  WhenOpen<QMessageBox>([&](QMessageBox* b) {
    box = b->frameGeometry();
    screen = b->screen()->availableGeometry();
    const auto* l = b->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    label = l->size();
    labelNeeds = QSize(l->minimumSizeHint().width(), l->heightForWidth(l->width()));
    details = b->detailedText();
    b->buttons().first()->click();
  });
  if (errorBox) {
    dialogs.ErrorBox(text);
  } else {
    dialogs.MessageBox(TMsgKind::mkWarning, text, TMsgButtons::mbOKCancel);
  }
  QVERIFY2(box.width() <= screen.width() && box.height() <= screen.height(),
           qPrintable(QStringLiteral("box %1 x %2 on a screen of %3 x %4")
                          .arg(box.width())
                          .arg(box.height())
                          .arg(screen.width())
                          .arg(screen.height())));
  QVERIFY2(box.width() <= 2 * parent.width(), qPrintable(QString::number(box.width())));
  QVERIFY2(labelNeeds.width() <= label.width() && labelNeeds.height() <= label.height(),
           qPrintable(QStringLiteral("label %1 x %2 needs %3 x %4")
                          .arg(label.width())
                          .arg(label.height())
                          .arg(labelNeeds.width())
                          .arg(labelNeeds.height())));
  // A text too long for any box is shown with its middle left out, and whole under the details.
  if (text.size() > 1000) QVERIFY(details.startsWith(text));
}

// Qt's own dialogs speak Japanese under any locale: the file dialog's labels and buttons.
void DialogsTest::qtSpeaksJapanese() {
  QVERIFY2(InstallQtTranslation(*QCoreApplication::instance()),
           "Qt's Japanese translation (qt6-translations-l10n) is not installed");
  QFileDialog dialog;
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  const QString lookIn = dialog.findChild<QLabel*>(QStringLiteral("lookInLabel"))->text();
  QVERIFY2(lookIn != QStringLiteral("Look in:") && !lookIn.isEmpty(), qPrintable(lookIn));
  QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("キャンセル"));
  QCOMPARE(QLocale().language(), QLocale::Japanese);
}

void DialogsTest::openDialogKeepsItsFolder() {
  TSandbox sandbox;
  WriteAll(sandbox.Documents() / "letter_bob.KVX", "x");
  WriteAll(sandbox.Documents() / "notes.txt", "y");
  QWidget parent;
  TQtDialogs dialogs(&parent);
  const QString folder = QString::fromStdString(sandbox.Documents().string());
  QStringList filters;
  QString startFolder;
  // The dialog reads folders in the background: the file is chosen again until the dialog takes it.
  QTimer answer;
  QObject::connect(&answer, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      box->buttons().first()->click();
    } else if (auto* d = qobject_cast<QFileDialog*>(modal)) {
      if (filters.isEmpty()) {
        filters = d->nameFilters();
        d->setDirectory(folder);
      }
      // Typed into the file name box, as a user would.
      if (auto* name = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
        name->setText(QStringLiteral("letter_bob.KVX"));
        QMetaObject::invokeMethod(d, "accept");
      }
    }
  });
  answer.start(50);
  QCOMPARE(dialogs.OpenFile(QStringLiteral("KOVA Encrypted files (*.KVX)")), folder + "/letter_bob.KVX");
  answer.stop();
  QCOMPARE(filters, QStringList{"KOVA Encrypted files (*.KVX)"});

  // The next run starts in the folder the last one showed, with no file name; cancelling gives nothing.
  bool nameCleared = false;
  WhenOpen<QFileDialog>([&](QFileDialog* d) {
    startFolder = QDir(d->directory()).absolutePath();
    nameCleared = d->selectedFiles().isEmpty() || QFileInfo(d->selectedFiles().first()).isDir();
    d->reject();
  });
  QVERIFY(!dialogs.OpenFile(QString()).has_value());
  QCOMPARE(startFolder, folder);
  QVERIFY(nameCleared);
}

QTEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
