#pragma once
// The wizard's dialogs behind one small interface: message boxes, the default error box and the shared
// open-file dialog. Tests substitute a scripted implementation that records what was shown.

#include <QString>
#include <optional>

class QWidget;

namespace corvane {

enum class TMsgKind { mkWarning, mkError, mkInformation };
enum class TMsgButtons { mbOK, mbOKCancel };

class TDialogs {
 public:
  virtual ~TDialogs() = default;
  // A modal message box titled by its kind; true when the user answered "OK".
  virtual bool MessageBox(TMsgKind kind, const QString& text, TMsgButtons buttons) = 0;
  // The box that reports an exception leaving a handler: caption "Corvane", error icon, "OK".
  virtual void ErrorBox(const QString& message) = 0;
  // Runs the one open-file dialog with a name filter ("" offers all files); the chosen file's full path,
  // or nothing when the user cancels.
  virtual std::optional<QString> OpenFile(const QString& filter) = 0;
};

// The message of the default error box: "." is added unless the text already ends in punctuation.
QString ErrorBoxText(const QString& message);

// The title of a message box of the given kind: "警告", "エラー" or "情報".
QString MessageTitle(TMsgKind kind);

class TQtDialogs : public TDialogs {
 public:
  explicit TQtDialogs(QWidget* parent);
  ~TQtDialogs() override;
  bool MessageBox(TMsgKind kind, const QString& text, TMsgButtons buttons) override;
  void ErrorBox(const QString& message) override;
  std::optional<QString> OpenFile(const QString& filter) override;

 private:
  QWidget* parent_;
  // What the open dialog showed last: both pickers share it, so each run starts where the previous ended.
  QString lastFolder_;
};

}  // namespace corvane
