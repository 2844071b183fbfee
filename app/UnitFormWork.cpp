#include "app/UnitFormWork.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QProgressDialog>
#include <QPushButton>
#include <exception>
#include <thread>

namespace corvane {

TProgressWork::TProgressWork(QWidget* parent, const QString& caption)
    : parent_(parent), dialog_(new QProgressDialog(parent)) {
  dialog_->setWindowTitle(QStringLiteral("Corvane"));
  dialog_->setLabelText(caption);
  dialog_->setCancelButton(new QPushButton(QStringLiteral("キャンセル"), dialog_));
  dialog_->setWindowModality(Qt::ApplicationModal);
  dialog_->setAutoClose(false);
  dialog_->setAutoReset(false);
  dialog_->setMinimumDuration(0);
  dialog_->setRange(0, 0);
  QObject::connect(dialog_, &QProgressDialog::canceled, [this] { cancelled_ = true; });
}

TProgressWork::~TProgressWork() {
  delete dialog_;
}

void TProgressWork::Run(const std::function<void()>& work) {
  QEventLoop loop;
  std::exception_ptr failure;
  dialog_->show();
  std::thread worker([&] {
    try {
      work();
    } catch (...) {
      failure = std::current_exception();
    }
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  loop.exec();
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

bool TProgressWork::Ask(const std::function<bool()>& question) {
  bool answer = false;
  QMetaObject::invokeMethod(
      dialog_, [&] { answer = question(); }, Qt::BlockingQueuedConnection);
  return answer;
}

}  // namespace corvane
