#pragma once
// What the wizard's GUI tests share: scripted dialogs, a recording shell and mail hand-off, a sandbox of
// temporary folders for the program, the settings and the desktop data, and the form under test.

#include <QPushButton>
#include <QString>
#include <QTemporaryDir>
#include <QTest>
#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/UnitForm.h"

namespace corvane {

class TScriptedDialogs : public TDialogs {
 public:
  struct Message {
    TMsgKind Kind;
    QString Text;
    TMsgButtons Buttons;
  };
  bool MessageBox(TMsgKind kind, const QString& text, TMsgButtons buttons) override;
  void ErrorBox(const QString& message) override;
  std::optional<QString> OpenFile(const QString& filter) override;

  // Answers for the next questions (true = "OK"); "OK" when none is queued.
  std::deque<bool> Answers;
  // Files the next open dialogs return ("" = cancelled); cancelled when none is queued.
  std::deque<QString> Files;
  std::vector<Message> Messages;
  std::vector<QString> Errors;  // as the default error box shows them
  std::vector<QString> Filters;
};

class TRecordingShell : public TShell {
 public:
  bool OpenFolder(const std::filesystem::path& folder) override;
  std::string FailureReason() const override { return Reason; }
  std::vector<std::filesystem::path> Opened;
  // What the next openings answer: success, or failure for Reason.
  bool Succeed = true;
  std::string Reason;
};

class TRecordingMail : public TMailHandoff {
 public:
  bool Hand(const TMailMessage& message, bool showDialog) override;
  std::vector<TMailMessage> Messages;
  std::vector<bool> ShowDialog;
  std::string FailureReason() const override { return Reason; }
  // Whether the program's windows were all disabled during each hand-off.
  std::vector<bool> WindowsDisabled;
  // What the next hand-offs answer: success, or failure for Reason.
  bool Succeed = true;
  std::string Reason;
};

// Temporary program, key, configuration and data folders, set in the environment while it lives.
class TSandbox {
 public:
  TSandbox();
  ~TSandbox();
  std::filesystem::path Root() const;
  std::filesystem::path ProgramFolder() const { return Root() / "program"; }
  std::filesystem::path KeyFolder() const { return ProgramFolder() / "Key"; }
  std::filesystem::path ConfigHome() const { return Root() / "config"; }
  std::filesystem::path DataHome() const { return Root() / "data"; }
  std::filesystem::path SettingsFile() const { return ConfigHome() / "Tessaly" / "Corvane.ini"; }
  // A folder for users' files, created on first use.
  std::filesystem::path Documents() const;

 private:
  QTemporaryDir dir_;
};

// The form with its fakes. Start() creates it (running FormCreate), Stop() destroys it (FormDestroy).
class TWizard {
 public:
  TWizard() = default;
  ~TWizard();
  TForm1& Start(const QStringList& arguments = {});
  void Stop();
  TForm1& Form() { return *form_; }

  template <typename W>
  W* Find(const char* name) {
    W* w = form_->findChild<W*>(QLatin1String(name));
    if (!w) qFatal("no widget named %s", name);
    return w;
  }
  // A mouse click on the named button, as a user would give it (nothing happens when it is disabled).
  void Click(const char* button);
  // Chooses item index of a radio group by clicking it.
  void Choose(const char* radioGroup, int index);
  QString Page() const;

  TScriptedDialogs Dialogs;
  TRecordingShell Shell;
  TRecordingMail Mail;
  int Terminated = 0;
  // How many message boxes the user had seen when the program was last told to end.
  std::size_t MessagesBeforeTerminated = 0;

 private:
  std::unique_ptr<TForm1> form_;
};

// The text of a new public-key file (a real 256-bit key, made on the spot).
std::string NewPublicKeyText();
// The fingerprint of a public-key file, as the wizard shows it.
QString FingerprintOf(const std::filesystem::path& keyFile);
// The known-answer containers and keys (testdata/vectors/container).
std::filesystem::path Vectors();
// A path as the form shows it.
QString Q(const std::filesystem::path& path);

std::string ReadAll(const std::filesystem::path& path);
void WriteAll(const std::filesystem::path& path, const std::string& content);

}  // namespace corvane
