#include "app/tests/gui/WizardTestKit.h"

#include <QApplication>
#include <QGroupBox>
#include <QRadioButton>
#include <QStackedWidget>
#include <fstream>
#include <sstream>

#include "app/flows/PublicKeyCheck.h"
#include "pubkey/Kova.h"

namespace corvane {

namespace fs = std::filesystem;

bool TScriptedDialogs::MessageBox(TMsgKind kind, const QString& text, TMsgButtons buttons) {
  Messages.push_back({kind, text, buttons});
  if (Answers.empty()) return true;
  const bool answer = Answers.front();
  Answers.pop_front();
  return answer;
}

void TScriptedDialogs::ErrorBox(const QString& message) {
  Errors.push_back(ErrorBoxText(message));
}

std::optional<QString> TScriptedDialogs::OpenFile(const QString& filter) {
  Filters.push_back(filter);
  if (Files.empty()) return std::nullopt;
  const QString file = Files.front();
  Files.pop_front();
  if (file.isEmpty()) return std::nullopt;
  return file;
}

bool TRecordingShell::OpenFolder(const fs::path& folder) {
  Opened.push_back(folder);
  return Succeed;
}

bool TRecordingMail::Hand(const TMailMessage& message, bool showDialog) {
  Messages.push_back(message);
  ShowDialog.push_back(showDialog);
  bool allDisabled = true;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && w->isEnabled()) allDisabled = false;
  WindowsDisabled.push_back(allDisabled);
  return Succeed;
}

TSandbox::TSandbox() {
  fs::create_directories(ProgramFolder());
  qputenv("CORVANE_HOME", QByteArray::fromStdString(ProgramFolder().string()));
  qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(ConfigHome().string()));
  qputenv("XDG_DATA_HOME", QByteArray::fromStdString(DataHome().string()));
}

TSandbox::~TSandbox() {
  qunsetenv("CORVANE_HOME");
  qunsetenv("XDG_CONFIG_HOME");
  qunsetenv("XDG_DATA_HOME");
}

fs::path TSandbox::Root() const {
  return dir_.path().toStdString();
}

fs::path TSandbox::Documents() const {
  fs::create_directories(Root() / "documents");
  return Root() / "documents";
}

TWizard::~TWizard() {
  Stop();
}

TForm1& TWizard::Start(const QStringList& arguments) {
  Stop();
  TFormServices services;
  services.Dialogs = &Dialogs;
  services.Shell = &Shell;
  services.Mail = &Mail;
  services.Terminate = [this] {
    ++Terminated;
    MessagesBeforeTerminated = Dialogs.Messages.size() + Dialogs.Errors.size();
  };
  form_ = std::make_unique<TForm1>(arguments, services);
  form_->show();
  return *form_;
}

void TWizard::Stop() {
  form_.reset();
}

void TWizard::Click(const char* button) {
  QTest::mouseClick(Find<QPushButton>(button), Qt::LeftButton);
}

void TWizard::Choose(const char* radioGroup, int index) {
  const QString name = QLatin1String(radioGroup) + QStringLiteral("_Item") + QString::number(index);
  auto* radio = form_->findChild<QRadioButton*>(name);
  if (!radio) qFatal("no radio item %s", qPrintable(name));
  QTest::mouseClick(radio, Qt::LeftButton);
}

QString TWizard::Page() const {
  return form_->Pages->currentWidget()->objectName();
}

std::string NewPublicKeyText() {
  TKOVA kova;
  kova.SetKeyStrength(256);
  kova.GenerateKeys();
  std::string n, g;
  kova.GetPublicKey(n, g);
  return PublicKeyFileText({n, g, "256"});
}

QString FingerprintOf(const fs::path& keyFile) {
  return QString::fromStdString(KeyFingerprint(LoadPublicKeyFile(keyFile)));
}

fs::path Vectors() {
  const QByteArray dir = qgetenv("CORVANE_VECTORS");
  return fs::path(dir.isEmpty() ? CORVANE_VECTORS_FALLBACK : dir.toStdString()) / "container";
}

QString Q(const fs::path& path) {
  return QString::fromStdString(path.string());
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteAll(const fs::path& path, const std::string& content) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << content;
}

}  // namespace corvane
