#include "app/UnitFormDialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace corvane {

QString ErrorBoxText(const QString& message) {
  static const QString kPunctuation = QStringLiteral(".!?。！？．…");
  if (!message.isEmpty() && kPunctuation.contains(message.back())) return message;
  return message + QLatin1Char('.');
}

QString MessageTitle(TMsgKind kind) {
  switch (kind) {
    case TMsgKind::mkWarning:
      return QStringLiteral("警告");
    case TMsgKind::mkError:
      return QStringLiteral("エラー");
    case TMsgKind::mkInformation:
      break;
  }
  return QStringLiteral("情報");
}

TQtDialogs::TQtDialogs(QWidget* parent) : parent_(parent) {}

TQtDialogs::~TQtDialogs() = default;

bool TQtDialogs::MessageBox(TMsgKind kind, const QString& text, TMsgButtons buttons) {
  QMessageBox box(parent_);
  box.setWindowTitle(MessageTitle(kind));
  box.setText(text);
  box.setIcon(kind == TMsgKind::mkWarning ? QMessageBox::Warning
              : kind == TMsgKind::mkError ? QMessageBox::Critical
                                          : QMessageBox::Information);
  QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
  if (buttons == TMsgButtons::mbOKCancel)
    box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
  box.setDefaultButton(ok);
  box.exec();
  return box.clickedButton() == ok;
}

void TQtDialogs::ErrorBox(const QString& message) {
  QMessageBox box(parent_);
  box.setWindowTitle(QStringLiteral("Corvane"));
  box.setText(ErrorBoxText(message));
  box.setIcon(QMessageBox::Critical);
  box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
  box.exec();
}

std::optional<QString> TQtDialogs::OpenFile(const QString& filter) {
  // A fresh dialog each run: the file name starts empty, the folder is the one shown last.
  QFileDialog dialog(parent_);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  if (!lastFolder_.isEmpty()) dialog.setDirectory(lastFolder_);
  dialog.setNameFilter(filter);
  const bool accepted = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
  lastFolder_ = dialog.directory().absolutePath();
  if (!accepted) return std::nullopt;
  return QFileInfo(dialog.selectedFiles().first()).absoluteFilePath();
}

}  // namespace corvane
