// Long work off the user-interface thread: results and exceptions come back to the caller, the dialog's
// "キャンセル" reaches the work, quitting stops it, and the form takes no clicks meanwhile.

#include <QApplication>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "app/UnitFormFileList.h"
#include "app/UnitFormWork.h"
#include "app/tests/gui/WizardTestKit.h"

using namespace corvane;
using namespace std::chrono_literals;

namespace {

QProgressDialog* ShownProgressDialog() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* d = qobject_cast<QProgressDialog*>(w); d && d->isVisible()) return d;
  return nullptr;
}

}  // namespace

class ProgressWorkTest : public QObject {
  Q_OBJECT

 private slots:
  void runsOffTheUiThread();
  void rethrowsOnTheCaller();
  void cancelReachesTheWork();
  void quittingCancelsTheWork();
  void formTakesNoClicksMeanwhile();
  void cancellingEncryption();
};

void ProgressWorkTest::runsOffTheUiThread() {
  QWidget form;
  TProgressWork work(&form, QStringLiteral("…"));
  QThread* ran = nullptr;
  work.Run([&] { ran = QThread::currentThread(); });
  QVERIFY(ran != nullptr);
  QVERIFY(ran != QThread::currentThread());
  QVERIFY(!work.Cancelled());
}

void ProgressWorkTest::rethrowsOnTheCaller() {
  QWidget form;
  TProgressWork work(&form, QStringLiteral("…"));
  QVERIFY_THROWS_EXCEPTION(std::invalid_argument, work.Run([] { throw std::invalid_argument("bad"); }));
}

void ProgressWorkTest::cancelReachesTheWork() {
  QWidget form;
  form.show();
  TProgressWork work(&form, QStringLiteral("鍵を作成しています…"));
  int shown = 0;
  // The dialog shows for long work; its cancel button is pressed as a user would.
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (QProgressDialog* d = ShownProgressDialog()) {
      ++shown;
      QCOMPARE(d->labelText(), QStringLiteral("25%"));
      QCOMPARE(d->value(), 25);
      QTest::mouseClick(d->findChild<QPushButton*>(), Qt::LeftButton);
      poll.stop();
    }
  });
  poll.start(50);
  work.Run([&] {
    work.Progress(QStringLiteral("25%"), 1, 4);
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (!work.Cancelled() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(5ms);
  });
  QVERIFY(work.Cancelled());
  QCOMPARE(shown, 1);
  QVERIFY(!ShownProgressDialog());
}

// The application quits while work runs (its window closed before the dialog showed): the work is asked
// to stop rather than holding the quitting program until it is done.
void ProgressWorkTest::quittingCancelsTheWork() {
  QWidget form;
  TProgressWork work(&form, QStringLiteral("…"));
  bool stoppedEarly = false;
  QTimer::singleShot(0, [&] {
    QTimer::singleShot(50, [] { QCoreApplication::quit(); });
    work.Run([&] {
      const auto deadline = std::chrono::steady_clock::now() + 20s;
      while (!work.Cancelled() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(5ms);
      stoppedEarly = std::chrono::steady_clock::now() < deadline;
    });
  });
  QCoreApplication::exec();  // ends with the quit; later event loops run again
  QVERIFY(work.Cancelled());
  QVERIFY(stoppedEarly);
}

void ProgressWorkTest::formTakesNoClicksMeanwhile() {
  QWidget form;
  auto* button = new QPushButton(QStringLiteral("x"), &form);
  form.show();
  int clicks = 0;
  QObject::connect(button, &QPushButton::clicked, [&] { ++clicks; });
  TProgressWork work(&form, QStringLiteral("…"));
  std::atomic<bool> clicked{false};
  QTimer::singleShot(0, [&] {
    QTest::mouseClick(button, Qt::LeftButton);
    clicked = true;
  });
  work.Run([&] {
    while (!clicked) std::this_thread::sleep_for(1ms);
  });
  QCOMPARE(clicks, 0);
  QTest::mouseClick(button, Qt::LeftButton);
  QCOMPARE(clicks, 1);
}

// Encrypting a large file, cancelled from the progress dialog as soon as it shows: no error, the page
// stays, nothing is left beside the source.
void ProgressWorkTest::cancellingEncryption() {
  TSandbox sandbox;
  const std::filesystem::path vectors =
      std::filesystem::path(qEnvironmentVariable("CORVANE_VECTORS", CORVANE_VECTORS_FALLBACK).toStdString());
  WriteAll(sandbox.KeyFolder() / "alice.KVK", ReadAll(vectors / "container" / "alice@example.com.KVK"));
  const std::filesystem::path source = sandbox.Documents() / "big.bin";
  WriteAll(source, std::string(64 << 20, 'z'));
  TWizard w;
  TForm1& form = w.Start();
  w.Choose("RadioGroup1", 1);
  w.Click("Button2");
  form.FileListBox1->setCurrentRow(0);
  w.Click("Button7");
  w.Dialogs.Files.push_back(QString::fromStdString(source.string()));
  w.Click("Button14");
  TProgressWork::DialogDelayMs = 0;
  bool cancelled = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (QProgressDialog* d = ShownProgressDialog()) {
      QTest::mouseClick(d->findChild<QPushButton*>(), Qt::LeftButton);
      cancelled = true;
      poll.stop();
    }
  });
  poll.start(0);
  w.Click("Button11");
  TProgressWork::DialogDelayMs = 400;
  QVERIFY(cancelled);
  QVERIFY(w.Dialogs.Errors.empty());
  QCOMPARE(w.Page(), QStringLiteral("TabSheet5"));
  QVERIFY(form.Button11->isEnabled());
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(sandbox.Documents()))
    names.push_back(e.path().filename().string());
  QCOMPARE(names, std::vector<std::string>{"big.bin"});
}

QTEST_MAIN(ProgressWorkTest)
#include "ProgressWorkTest.moc"
