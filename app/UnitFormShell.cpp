#include "app/UnitFormShell.h"

#include <QDesktopServices>
#include <QUrl>
#include <system_error>

#include "app/UnitFormPaths.h"
#include "platform/ProgramRunner.h"

namespace corvane {

namespace fs = std::filesystem;

namespace {

// What an exit status of xdg-open means for the user.
std::string XdgOpenFailure(int status) {
  switch (status) {
    case 2:
      return "フォルダがありません。";
    case 3:
      return "フォルダを開くプログラムが見つかりません。";
    default:
      return "フォルダを開くプログラムが失敗しました（xdg-open の終了コード " + std::to_string(status) +
             "）。";
  }
}

}  // namespace

TDesktopShell::TDesktopShell()
    : runner_([](const QString& program, const QStringList& arguments) {
        return RunProgram(program, arguments, kOpenWaitMs);
      }) {}

TDesktopShell::TDesktopShell(TRunner runner) : runner_(std::move(runner)) {}

bool TDesktopShell::OpenFolder(const fs::path& folder) {
  reason_.clear();
  std::error_code error;
  if (!fs::is_directory(folder, error)) {
    reason_ = "フォルダがありません。";
    return false;
  }
  const QUrl url = QUrl::fromLocalFile(PathText(folder));
  const int status = runner_(QStringLiteral("xdg-open"), {url.toString(QUrl::FullyEncoded)});
  if (status == 0 || status == kProgramStillRunning) return true;
  if (status == -1) {
    // xdg-open could not be run: the desktop may still know another way.
    if (QDesktopServices::openUrl(url)) return true;
    reason_ = "フォルダを開くプログラム（xdg-open）を実行できませんでした。";
    return false;
  }
  reason_ = XdgOpenFailure(status);
  return false;
}

}  // namespace corvane
