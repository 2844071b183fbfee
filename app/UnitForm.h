#pragma once
// TForm1: the nine-page wizard. Pages change only through the buttons; each handler keeps its form name.

#include <QStringList>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "app/SendMail.h"
#include "app/UnitFormDialogs.h"
#include "platform/MailHandoff.h"
#include "platform/SettingsStore.h"
#include "platform/Shell.h"

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QStackedWidget;

namespace corvane {

class TFileListBox;
class TKOVA;
class TProgressWork;

// What the form uses of the desktop. Null members get the real implementations.
struct TFormServices {
  TDialogs* Dialogs = nullptr;
  TShell* Shell = nullptr;
  TMailHandoff* Mail = nullptr;
  SettingsStore* Settings = nullptr;
  // Ends the program (the message loop stops; the form is destroyed on the way out).
  std::function<void()> Terminate;
};

class TForm1 : public QWidget {
  Q_OBJECT

 public:
  // Runs FormCreate with the program's command-line arguments (without the program name).
  TForm1(const QStringList& arguments, TFormServices services = {}, QWidget* parent = nullptr);
  // Runs FormDestroy.
  ~TForm1() override;

  // The form's controls, named as on the form.
  QStackedWidget* Pages;
  QWidget* TabSheet1;
  QWidget* TabSheet2;
  QWidget* TabSheet3;
  QWidget* TabSheet4;
  QWidget* TabSheet5;
  QWidget* TabSheet6;
  QWidget* TabSheet7;
  QWidget* TabSheet8;
  QWidget* TabSheet9;
  QGroupBox* RadioGroup1;
  QGroupBox* RadioGroup2;
  QSpinBox* EdtBit;
  QLineEdit* Edit1;
  QLineEdit* Edit2;
  QLineEdit* Edit4;
  TFileListBox* FileListBox1;
  QLabel* Label7;
  QLabel* Label11;
  QCheckBox* CheckBox1;
  QCheckBox* CheckBox2;
  QPushButton* Button2;
  QPushButton* Button3;
  QPushButton* Button4;
  QPushButton* Button5;
  QPushButton* Button6;
  QPushButton* Button7;
  QPushButton* Button8;
  QPushButton* Button9;
  QPushButton* Button10;
  QPushButton* Button11;
  QPushButton* Button12;
  QPushButton* Button13;
  QPushButton* Button14;
  QPushButton* Button15;
  QPushButton* Button16;
  QPushButton* Button17;
  QPushButton* Button18;
  QPushButton* Button19;
  QPushButton* Button20;
  TSendMail SendMail1;

  // The chosen item of a radio group, -1 when none is chosen.
  static int ItemIndex(const QGroupBox* radioGroup);
  // The stem of the last container written (file name without ".KVX").
  const std::string& ContainerStem() const { return containerStem_; }

 public slots:
  void Button2Click();
  void Button3Click();
  void Button4Click();
  void Button5Click();
  void Button6Click();
  void Button7Click();
  void Button8Click();
  void Button9Click();
  void Button11Click();
  void Button12Click();
  void Button13Click();
  void Button14Click();
  void Button15Click();
  void Button16Click();
  void Button19Click();
  void Button20Click();

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void BuildPages();
  void ConnectHandlers();
  void FormCreate(const QStringList& arguments);
  void FormDestroy();
  void InstallKeyFile(const QString& path);
  // Asks whether an existing file may be replaced; true for "OK".
  bool AskToReplace(const std::filesystem::path& file);
  void ReadCheckBoxSettings();
  // Runs a handler body; an exception leaving it is shown in the default error box.
  void Guarded(const std::function<void()>& body);
  void Show(QWidget* page);
  // Opens a file-manager window on the folder, or says in an error box that it could not.
  void ShowFolder(const std::filesystem::path& folder);
  // Runs work off the user-interface thread behind a modal progress dialog (UnitFormWork.h).
  void RunLong(const QString& caption, const std::function<void(TProgressWork&)>& work);

  TFormServices services_;
  std::unique_ptr<TDialogs> ownDialogs_;
  std::unique_ptr<TShell> ownShell_;
  std::unique_ptr<TMailHandoff> ownMail_;
  std::unique_ptr<SettingsStore> ownSettings_;
  std::unique_ptr<TKOVA> kova_;
  std::string containerStem_;
};

// The form's font: "ＭＳ Ｐゴシック" at 12 pixels where installed, else a Japanese Gothic font.
QFont WizardFont();

}  // namespace corvane
