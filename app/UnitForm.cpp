// TForm1: start-up, shutdown and the page transitions. The flows' handlers are in UnitFormFlows.cpp.

#include "app/UnitForm.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <filesystem>
#include <system_error>

#include "app/UnitFormFileList.h"
#include "app/UnitFormPaths.h"
#include "app/UnitFormShell.h"
#include "app/UnitFormWork.h"
#include "app/flows/FlowCommon.h"
#include "app/flows/PublicKeyFile.h"
#include "bigint/BigIntRandom.h"
#include "common/Exception.h"
#include "platform/Folders.h"
#include "pubkey/Kova.h"

// Links the icons into programs that use the form from the static library.
static void InitIconResources() {
  Q_INIT_RESOURCE(corvane);
}

namespace corvane {

namespace fs = std::filesystem;

namespace {

bool EndsWithExactly(const QString& text, const char* suffix) {
  return text.endsWith(QLatin1String(suffix), Qt::CaseSensitive);
}

QString KeyDiffersQuestion(const EKeyDiffers& differs) {
  const QString installed = differs.InstalledFingerprint().empty()
                                ? QStringLiteral("インストール済みのファイルは使える鍵ではありません。")
                                : QStringLiteral("インストール済みの鍵の指紋: ") +
                                      QString::fromStdString(differs.InstalledFingerprint());
  return PathText(differs.Installed().filename()) +
         QStringLiteral(" と同じ名前で、別の鍵が既にインストールされています。\n") + installed +
         QStringLiteral("\n新しい鍵の指紋: ") + QString::fromStdString(differs.NewFingerprint()) +
         QStringLiteral("\n置き換えますか？");
}

}  // namespace

TForm1::TForm1(const QStringList& arguments, TFormServices services, QWidget* parent)
    : QWidget(parent), SendMail1(nullptr), services_(std::move(services)) {
  if (!services_.Dialogs) {
    ownDialogs_ = std::make_unique<TQtDialogs>(this);
    services_.Dialogs = ownDialogs_.get();
  }
  if (!services_.Shell) {
    ownShell_ = std::make_unique<TDesktopShell>();
    services_.Shell = ownShell_.get();
  }
  if (!services_.Mail) {
    ownMail_ = std::make_unique<TXdgEmailHandoff>();
    services_.Mail = ownMail_.get();
  }
  if (!services_.Settings) {
    ownSettings_ = std::make_unique<IniSettingsStore>();
    services_.Settings = ownSettings_.get();
  }
  if (!services_.Terminate) services_.Terminate = [] { QCoreApplication::quit(); };
  InitIconResources();
  setWindowIcon(QIcon(QStringLiteral(":/icons/MAINICON.svg")));
  SendMail1 = TSendMail(services_.Mail);
  SendMail1.ShowDialog = true;
  BuildPages();
  ConnectHandlers();
  FormCreate(arguments);
}

TForm1::~TForm1() {
  try {
    FormDestroy();
  } catch (const std::exception& e) {
    // The window is gone; the error still reaches the user.
    services_.Dialogs->ErrorBox(QString::fromStdString(e.what()));
  }
}

void TForm1::ConnectHandlers() {
  connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
  connect(Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
  connect(Button4, &QPushButton::clicked, this, &TForm1::Button4Click);
  connect(Button5, &QPushButton::clicked, this, &TForm1::Button5Click);
  connect(Button10, &QPushButton::clicked, this, &TForm1::Button5Click);
  connect(Button6, &QPushButton::clicked, this, &TForm1::Button6Click);
  connect(Button7, &QPushButton::clicked, this, &TForm1::Button7Click);
  connect(Button8, &QPushButton::clicked, this, &TForm1::Button8Click);
  connect(Button9, &QPushButton::clicked, this, &TForm1::Button9Click);
  connect(Button11, &QPushButton::clicked, this, &TForm1::Button11Click);
  connect(Button12, &QPushButton::clicked, this, &TForm1::Button12Click);
  connect(Button13, &QPushButton::clicked, this, &TForm1::Button13Click);
  connect(Button14, &QPushButton::clicked, this, &TForm1::Button14Click);
  connect(Button15, &QPushButton::clicked, this, &TForm1::Button15Click);
  connect(Button17, &QPushButton::clicked, this, &TForm1::Button15Click);
  connect(Button16, &QPushButton::clicked, this, &TForm1::Button16Click);
  connect(Button18, &QPushButton::clicked, this, &TForm1::Button16Click);
  connect(Button19, &QPushButton::clicked, this, &TForm1::Button19Click);
  connect(Button20, &QPushButton::clicked, this, &TForm1::Button20Click);
}

void TForm1::Guarded(const std::function<void()>& body) {
  try {
    body();
  } catch (const std::exception& e) {
    services_.Dialogs->ErrorBox(QString::fromStdString(e.what()));
  } catch (...) {
    services_.Dialogs->ErrorBox(QStringLiteral("予期しないエラーが発生しました"));
  }
}

void TForm1::Show(QWidget* page) {
  Pages->setCurrentWidget(page);
}

void TForm1::RunLong(const QString& caption, const std::function<void(TProgressWork&)>& work) {
  TProgressWork progress(this, caption);
  progress.Run([&] { work(progress); });
}

void TForm1::FormCreate(const QStringList& arguments) {
  const QString a = arguments.isEmpty() ? QString() : arguments.first();
  if (EndsWithExactly(a, ".KVK")) InstallKeyFile(a);
  kova_ = std::make_unique<TKOVA>();
  Show(TabSheet1);
  Guarded([&] {
    ReadCheckBoxSettings();
    FileListBox1->SetDirectory(PathText(KeyFolder()));
    RandomReseedFromClock();
    if (EndsWithExactly(a, ".KVX")) {
      // Made absolute now: later steps change folders.
      Edit4->setText(QFileInfo(a).absoluteFilePath());
      Button8->setEnabled(true);
      Show(TabSheet4);
    }
  });
}

void TForm1::InstallKeyFile(const QString& path) {
  const fs::path source = TextPath(path);
  services_.Dialogs->MessageBox(TMsgKind::mkInformation,
                                PathText(source.filename()) + QStringLiteral("をインストールします。"),
                                TMsgButtons::mbOK);
  try {
    try {
      InstallPublicKey(source, KeyFolder());
    } catch (const EKeyDiffers& differs) {
      // Another key under a recipient's name is never swapped in silently.
      if (!services_.Dialogs->MessageBox(TMsgKind::mkWarning, KeyDiffersQuestion(differs),
                                         TMsgButtons::mbOKCancel))
        return;
      InstallPublicKey(source, KeyFolder(), true);
    }
  } catch (const std::exception& e) {
    // A key that did not arrive must not look installed.
    services_.Dialogs->MessageBox(TMsgKind::mkError, QString::fromStdString(e.what()), TMsgButtons::mbOK);
  }
}

void TForm1::ReadCheckBoxSettings() {
  SettingsStore& settings = *services_.Settings;
  settings.OpenKey(kCorvaneKeyPath);
  try {
    CheckBox1->setChecked(StrToBool(settings.ReadString("Setting", "KVK", "0")));
    CheckBox2->setChecked(StrToBool(settings.ReadString("Setting", "KVX", "0")));
  } catch (...) {
    settings.CloseKey();
    throw;
  }
  settings.CloseKey();
}

void TForm1::FormDestroy() {
  SettingsStore& settings = *services_.Settings;
  settings.OpenKey(kCorvaneKeyPath);
  settings.WriteStrings(
      "Setting", {{"KVK", BoolToStr(CheckBox1->isChecked())}, {"KVX", BoolToStr(CheckBox2->isChecked())}});
  settings.CloseKey();
}

void TForm1::keyPressEvent(QKeyEvent* event) {
  // "適用(&A)" is the settings page's default button.
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && Pages->currentWidget() == TabSheet9 && Button20->isEnabled()) {
    Button20->click();
    return;
  }
  QWidget::keyPressEvent(event);
}

void TForm1::Button2Click() {
  switch (ItemIndex(RadioGroup1)) {
    case 0:
      Show(TabSheet2);
      break;
    case 1:
      // Keys installed since start-up are listed too.
      FileListBox1->SetDirectory(PathText(KeyFolder()));
      Show(TabSheet3);
      break;
    case 2:
      Show(TabSheet4);
      break;
    case 3:
      Show(TabSheet9);
      break;
    default:
      break;
  }
}

void TForm1::Button3Click() {
  Show(TabSheet1);
}
void TForm1::Button4Click() {
  Show(TabSheet1);
}
void TForm1::Button5Click() {
  Show(TabSheet1);
}
void TForm1::Button19Click() {
  Show(TabSheet1);
}

void TForm1::Button7Click() {
  if (!FileListBox1->FileName().isEmpty()) Show(TabSheet5);
}

void TForm1::Button12Click() {
  Show(TabSheet5);
}

void TForm1::Button9Click() {
  if (auto file = services_.Dialogs->OpenFile(QStringLiteral("KOVA Encrypted files (*.KVX)"))) {
    Edit4->setText(*file);
    Button8->setEnabled(true);
  }
}

void TForm1::Button14Click() {
  if (auto file = services_.Dialogs->OpenFile(QStringLiteral("すべてのファイル (*)"))) {
    Edit2->setText(*file);
    Button11->setEnabled(true);
  }
}

void TForm1::Button13Click() {
  Guarded([&] {
    const fs::path recipient = TextPath(FileListBox1->FileName());
    const std::string k = CutLastFour(recipient.filename().string());
    const fs::path folder = TextPath(Edit2->text()).parent_path();
    const fs::path container = folder / (containerStem_ + ".KVX");
    switch (ItemIndex(RadioGroup2)) {
      case 1:
        ShowFolder(folder);
        break;
      case 2:
        SendMail1.ToAddress = k;
        SendMail1.AttachFiles.push_back(container.string());
        // The program ends either way, but not before the user knows the mail did not go out.
        if (!SendMail1.Send()) {
          services_.Dialogs->MessageBox(TMsgKind::mkError,
                                        QStringLiteral("暗号ファイルをメールソフトに渡せませんでした。") +
                                            QString::fromStdString(SendMail1.LastError()) +
                                            QStringLiteral("\n暗号ファイルは ") + PathText(container) +
                                            QStringLiteral(" にあります。"),
                                        TMsgButtons::mbOK);
        }
        break;
      default:
        break;
    }
  });
  services_.Terminate();
}

void TForm1::Button15Click() {
  const bool keyPage = sender() == Button15 || Pages->currentWidget() == TabSheet7;
  const QString shown = keyPage ? Label7->text() : Label11->text();
  const fs::path folder = keyPage ? TextPath(shown).parent_path() : TextPath(shown);
  ShowFolder(folder);
}

void TForm1::ShowFolder(const fs::path& folder) {
  if (services_.Shell->OpenFolder(folder)) return;
  services_.Dialogs->MessageBox(TMsgKind::mkError,
                                QStringLiteral("フォルダ ") + PathText(folder) +
                                    QStringLiteral(" を開けませんでした。") +
                                    QString::fromStdString(services_.Shell->FailureReason()),
                                TMsgButtons::mbOK);
}

void TForm1::Button16Click() {
  services_.Terminate();
}

}  // namespace corvane
