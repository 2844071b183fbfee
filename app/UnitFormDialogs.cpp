#include "app/UnitFormDialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTextBoundaryFinder>
#include <vector>

namespace corvane {

QString ErrorBoxText(const QString& message) {
  static const QString kPunctuation = QStringLiteral(".!?。！？．…");
  if (!message.isEmpty() && kPunctuation.contains(message.back())) return message;
  return message + QLatin1Char('.');
}

namespace {

// The text with places to wrap added, so a box can hold long paths and names within its width.
QString WrappableText(const QString& text) {
  // A run this long without a place to wrap already fills a good part of a box line.
  constexpr int kMaxRun = 16;
  const QChar kBreak(0x200B);  // zero-width space: a place to wrap, invisible
  // Where the text may already wrap (spaces, between Japanese characters, ...).
  std::vector<bool> wraps(text.size() + 1, false);
  QTextBoundaryFinder lines(QTextBoundaryFinder::Line, text);
  for (qsizetype at = lines.toNextBoundary(); at != -1; at = lines.toNextBoundary()) wraps[at] = true;

  QString out;
  out.reserve(text.size() + text.size() / 8);
  int run = 0;
  QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
  for (qsizetype start = 0, end = graphemes.toNextBoundary(); end != -1;
       start = end, end = graphemes.toNextBoundary()) {
    const QStringView grapheme = QStringView(text).mid(start, end - start);
    out += grapheme;
    if (wraps[end]) {
      run = 0;
      continue;
    }
    // Paths wrap after a separator, other long words every kMaxRun characters.
    const bool separator = grapheme == u"/" || grapheme == u"\\";
    if (separator || ++run >= kMaxRun) {
      out += kBreak;
      run = 0;
    }
  }
  return out;
}

// Puts a message into a box so that the box fits on the screen and every word can be read: plain text (a
// file name is never markup), wrappable; past kMaxBoxChars its middle is elided and the whole text is
// under the box's details.
void SetBoxText(QMessageBox& box, const QString& text) {
  constexpr qsizetype kMaxBoxChars = 600;
  box.setTextFormat(Qt::PlainText);
  if (text.size() <= kMaxBoxChars) {
    box.setText(WrappableText(text));
    return;
  }
  qsizetype head = kMaxBoxChars / 2, tail = kMaxBoxChars / 2;
  if (text[head - 1].isHighSurrogate()) --head;
  if (text[text.size() - tail].isLowSurrogate()) --tail;
  box.setText(WrappableText(text.left(head) + QChar(0x2026) + text.right(tail)));
  box.setDetailedText(text);
}

}  // namespace

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
  SetBoxText(box, text);
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
  SetBoxText(box, ErrorBoxText(message));
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
