#include "app/UnitFormWork.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <exception>
#include <thread>

namespace corvane {

namespace {

// Until the progress dialog shows (short work never shows it), the user's clicks and keys must not reach
// the form: a second click on an action button would start the work again. Other windows (the dialog,
// message boxes) get their input.
class TInputBlocker : public QObject {
 public:
  explicit TInputBlocker(QWidget* form) : form_(form) { qApp->installEventFilter(this); }
  ~TInputBlocker() override { qApp->removeEventFilter(this); }

  bool eventFilter(QObject* target, QEvent* event) override {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::Wheel:
      case QEvent::Shortcut:
      case QEvent::ShortcutOverride: {
        auto* widget = qobject_cast<QWidget*>(target);
        return widget && form_ && (widget == form_ || form_->isAncestorOf(widget));
      }
      default:
        return false;
    }
  }

 private:
  QWidget* form_;
};

}  // namespace

TProgressWork::TProgressWork(QWidget* parent, const QString& caption)
    : parent_(parent), dialog_(new QProgressDialog(parent)) {
  dialog_->setWindowTitle(QStringLiteral("Corvane"));
  dialog_->setLabelText(caption);
  dialog_->setCancelButton(new QPushButton(QStringLiteral("キャンセル"), dialog_));
  dialog_->setWindowModality(Qt::ApplicationModal);
  dialog_->setAutoClose(false);
  dialog_->setAutoReset(false);
  // Shown by Run after a delay, not by the dialog's own timer.
  dialog_->setMinimumDuration(24 * 3600 * 1000);
  dialog_->setRange(0, 0);
  QObject::connect(dialog_, &QProgressDialog::canceled, [this] { cancelled_ = true; });
}

TProgressWork::~TProgressWork() {
  delete dialog_;
}

void TProgressWork::Run(const std::function<void()>& work) {
  QEventLoop loop;
  std::exception_ptr failure;
  TInputBlocker blocker(parent_);
  QTimer delay;
  delay.setSingleShot(true);
  QObject::connect(&delay, &QTimer::timeout, dialog_, &QWidget::show);
  delay.start(DialogDelayMs);
  std::atomic<bool> finished{false};
  std::thread worker([&] {
    try {
      work();
    } catch (...) {
      failure = std::current_exception();
    }
    finished = true;
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  loop.exec();
  // The loop also ends early when the application quits (its window closed before the dialog showed):
  // the work is then asked to stop, so the quitting program does not wait for all of it.
  if (!finished) cancelled_ = true;
  worker.join();
  dialog_->hide();
  if (failure) std::rethrow_exception(failure);
}

void TProgressWork::Progress(const QString& label, uint64_t done, uint64_t total) {
  const int percent = total == 0 ? -1 : static_cast<int>(done * 100 / total);
  // Only changes cross to the user-interface thread, not every buffer.
  const bool newLabel = label != shownLabel_;
  if (shownPercent_.exchange(percent) == percent && !newLabel) return;
  shownLabel_ = label;
  QMetaObject::invokeMethod(
      dialog_,
      [this, percent, label, newLabel] {
        if (newLabel) dialog_->setLabelText(label);
        if (percent < 0) {
          dialog_->setRange(0, 0);
        } else {
          dialog_->setRange(0, 100);
          dialog_->setValue(percent);
        }
      },
      Qt::QueuedConnection);
}

}  // namespace corvane
