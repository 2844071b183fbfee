#pragma once
// The desktop's "open" on a folder: xdg-open, whose exit status says whether a file manager took it, or
// QDesktopServices where xdg-open cannot be run.

#include <QString>
#include <QStringList>
#include <functional>

#include "platform/Shell.h"

namespace corvane {

class TDesktopShell : public TShell {
 public:
  // Runs a program with arguments and answers its exit status (-1 when it could not be run).
  using TRunner = std::function<int(const QString& program, const QStringList& arguments)>;
  // How long xdg-open is waited for. One still running then has handed the folder to a file manager
  // that runs in the foreground: that counts as opened.
  static constexpr int kOpenWaitMs = 5000;

  TDesktopShell();
  explicit TDesktopShell(TRunner runner);
  bool OpenFolder(const std::filesystem::path& folder) override;
  std::string FailureReason() const override { return reason_; }

 private:
  TRunner runner_;
  std::string reason_;
};

}  // namespace corvane
