#pragma once
// Long work (key generation, encrypting, decrypting) on a worker thread behind a modal progress dialog,
// so the window keeps painting. The caller's thread waits in a local event loop; what the work throws is
// thrown again on the caller's thread, so handlers report it as if the work had run in place.

#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>

class QProgressDialog;
class QWidget;

namespace corvane {

class TProgressWork {
 public:
  TProgressWork(QWidget* parent, const QString& caption);
  ~TProgressWork();
  TProgressWork(const TProgressWork&) = delete;
  TProgressWork& operator=(const TProgressWork&) = delete;

  // Work that ends sooner than this shows no dialog at all.
  static inline int DialogDelayMs = 400;

  // Runs work on a worker thread and returns when it has finished.
  void Run(const std::function<void()>& work);

  // From the worker: what is being done and the share done so far (total 0 shows a busy indicator).
  void Progress(const QString& label, uint64_t done, uint64_t total);
  // From the worker: true once the user has pressed "キャンセル".
  bool Cancelled() const { return cancelled_.load(); }

 private:
  QWidget* parent_;
  QProgressDialog* dialog_;
  std::atomic<bool> cancelled_{false};
  std::atomic<int> shownPercent_{-2};
  QString shownLabel_;  // worker side only
};

}  // namespace corvane
