#pragma once
// The recipient list: the public-key files (*.KVK) of one folder, sorted by name without regard to case.

#include <QListWidget>
#include <QString>

namespace corvane {

class TFileListBox : public QListWidget {
  Q_OBJECT

 public:
  explicit TFileListBox(QWidget* parent = nullptr);
  // Lists the files (not folders) of the folder whose names end in ".KVK" (any case). A folder that
  // does not exist gives an empty list. The selected name stays selected when it is still listed.
  void SetDirectory(const QString& folder);
  const QString& Directory() const { return directory_; }
  // The selected file's full path, or "" when nothing is selected.
  QString FileName() const;

 private:
  QString directory_;
};

}  // namespace corvane
