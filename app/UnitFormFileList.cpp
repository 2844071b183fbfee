#include "app/UnitFormFileList.h"

#include <QDir>
#include <QFileIconProvider>

#include "app/UnitFormPaths.h"
#include "app/flows/PublicKeyCheck.h"

namespace corvane {

namespace {

// What an entry's tooltip says: the key's fingerprint, or why the file is not a usable key.
QString FingerprintTip(const QString& file) {
  try {
    return QStringLiteral("指紋: ") +
           QString::fromStdString(KeyFingerprint(LoadPublicKeyFile(TextPath(file))));
  } catch (const std::exception& e) {
    return QString::fromStdString(e.what());
  }
}

}  // namespace

TFileListBox::TFileListBox(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
}

void TFileListBox::SetDirectory(const QString& folder) {
  const QString selected = currentItem() && currentItem()->isSelected() ? currentItem()->text() : QString();
  directory_ = folder;
  clear();
  QDir dir(folder);
  const QStringList names =
      dir.entryList({QStringLiteral("*.KVK")}, QDir::Files | QDir::Hidden, QDir::Name | QDir::IgnoreCase);
  const QIcon glyph = QFileIconProvider().icon(QFileIconProvider::File);
  for (const QString& name : names) {
    auto* item = new QListWidgetItem(glyph, name, this);
    item->setToolTip(FingerprintTip(dir.filePath(name)));
    if (name == selected) setCurrentItem(item);
  }
}

QString TFileListBox::FileName() const {
  const QList<QListWidgetItem*> items = selectedItems();
  if (items.isEmpty()) return QString();
  return QDir(directory_).filePath(items.first()->text());
}

}  // namespace corvane
