#include "app/UnitFormShell.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

#include "app/UnitFormPaths.h"

namespace corvane {

bool TDesktopShell::OpenFolder(const std::filesystem::path& folder) {
  return QDesktopServices::openUrl(QUrl::fromLocalFile(PathText(folder)));
}

}  // namespace corvane
