#include "app/UnitFormShell.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

namespace corvane {

bool TDesktopShell::OpenFolder(const std::filesystem::path& folder) {
  return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(folder.string())));
}

}  // namespace corvane
