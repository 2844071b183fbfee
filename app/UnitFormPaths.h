#pragma once
// Paths between Qt's texts and the file system. QFile's conversions follow the system's file-name
// encoding, so a file picked or shown in the wizard is the one the flows open.

#include <QFile>
#include <QString>
#include <filesystem>

namespace corvane {

inline QString PathText(const std::filesystem::path& path) {
  return QFile::decodeName(QByteArray::fromStdString(path.native()));
}

inline std::filesystem::path TextPath(const QString& text) {
  return std::filesystem::path(QFile::encodeName(text).toStdString());
}

}  // namespace corvane
