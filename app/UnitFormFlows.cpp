// The handlers that do the work: key pair (Button6), encryption (Button11), decryption (Button8) and the
// file types (Button20).

#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSpinBox>
#include <filesystem>

#include "app/UnitForm.h"
#include "app/UnitFormFileList.h"
#include "app/UnitFormPaths.h"
#include "app/UnitFormWork.h"
#include "app/flows/DecryptionFlow.h"
#include "app/flows/EncryptionFlow.h"
#include "app/flows/KeyPairFlow.h"
#include "common/Exception.h"
#include "platform/FileTypes.h"
#include "platform/Folders.h"

namespace corvane {

namespace fs = std::filesystem;

namespace {

std::string ResourceText(const QString& name) {
  QFile file(name);
  if (!file.open(QIODevice::ReadOnly)) throw EFileError(name.toStdString() + " を読み込めません。");
  return file.readAll().toStdString();
}

QString StageText(TFlowStage stage) {
  switch (stage) {
    case TFlowStage::stKeyGeneration:
      return QStringLiteral("鍵を作成しています…");
    case TFlowStage::stEncrypting:
      return QStringLiteral("ファイルを暗号化しています…");
    case TFlowStage::stPacking:
      return QStringLiteral("暗号ファイルを作成しています…");
    case TFlowStage::stExtracting:
      return QStringLiteral("暗号ファイルを展開しています…");
    case TFlowStage::stDecrypting:
      break;
  }
  return QStringLiteral("ファイルを復号化しています…");
}

// The flows' progress shown in the dialog; the dialog's "キャンセル" stops the flow.
TFlowProgress ShowProgress(TProgressWork& work) {
  return [&work](TFlowStage stage, uint64_t done, uint64_t total) {
    work.Progress(StageText(stage), done, total);
    return !work.Cancelled();
  };
}

void ApplyFileType(TFileTypeRegistry& registry, bool associate, const TFileType& type) {
  if (associate) {
    registry.Register(type, TextPath(QCoreApplication::applicationFilePath()));
  } else {
    registry.Unregister(type);
  }
  registry.NotifyDesktop();
}

}  // namespace

void TForm1::Button20Click() {
  Guarded([&] {
    TFileTypeRegistry registry;
    ApplyFileType(registry, CheckBox1->isChecked(),
                  PublicKeyFileType(ResourceText(QStringLiteral(":/icons/SUB01.svg"))));
    ApplyFileType(registry, CheckBox2->isChecked(),
                  ContainerFileType(ResourceText(QStringLiteral(":/icons/SUB02.svg"))));
  });
}

void TForm1::Button6Click() {
  Guarded([&] {
    TKeyPairRequest request;
    request.Name = Edit1->text().toStdString();
    // A name that cannot be a file is refused before the user is asked to give up the stored key.
    CheckFileName(request.Name);
    request.ReplaceExistingKey = PrivateKeyExists(*services_.Settings);
    if (request.ReplaceExistingKey &&
        !services_.Dialogs->MessageBox(TMsgKind::mkWarning, QString::fromUtf8(kReplaceKeyQuestionText),
                                       TMsgButtons::mbOKCancel)) {
      return;
    }
    // A value still being typed counts as entered, pulled into the range.
    EdtBit->interpretText();
    request.KeyStrength = EdtBit->value();
    if (const auto foreign = ForeignPublicKeyFile(request.Name, *services_.Settings, ProgramFolder())) {
      if (!services_.Dialogs->MessageBox(TMsgKind::mkWarning,
                                         QString::fromStdString(ReplaceFileQuestionText(*foreign)),
                                         TMsgButtons::mbOKCancel)) {
        return;
      }
      request.ReplaceExistingFile = true;
    }
    // No second generation while one runs; the button comes back on every path.
    Button6->setEnabled(false);
    const auto enableAgain = qScopeGuard([&] { Button6->setEnabled(true); });
    TKeyPairResult result;
    try {
      RunLong(StageText(TFlowStage::stKeyGeneration), [&](TProgressWork& work) {
        result = CreateKeyPair(request, *kova_, *services_.Settings, ProgramFolder(), ShowProgress(work));
      });
    } catch (const ECancelled&) {
      return;
    }
    Label7->setText(PathText(result.PublicKeyFile));
    // A long path does not fit the page; the fingerprint is what the key's users compare.
    Label7->setToolTip(Label7->text() + QStringLiteral("\n指紋: ") +
                       QString::fromStdString(result.Fingerprint));
    Show(TabSheet7);
  });
}

void TForm1::Button11Click() {
  Guarded([&] {
    TEncryptRequest request;
    request.RecipientKeyFile = TextPath(FileListBox1->FileName());
    request.SourceFile = TextPath(Edit2->text());
    // Asked before the work starts: replacing a container the user already has needs consent.
    const fs::path container = ContainerFileFor(request);
    if (NameTaken(container)) {
      if (!AskToReplace(container)) return;
      request.ReplaceExisting = true;
    }
    TEncryptResult result;
    try {
      RunLong(StageText(TFlowStage::stEncrypting), [&](TProgressWork& work) {
        result = EncryptFileForRecipient(request, *kova_, ShowProgress(work));
      });
    } catch (const ECancelled&) {
      return;
    }
    containerStem_ = result.ContainerStem;
    Show(TabSheet6);
  });
}

bool TForm1::AskToReplace(const fs::path& file) {
  return services_.Dialogs->MessageBox(TMsgKind::mkWarning,
                                       PathText(file) + QStringLiteral(" は既に存在します。上書きしますか？"),
                                       TMsgButtons::mbOKCancel);
}

void TForm1::Button8Click() {
  // Disabled while it works; enabled again on success, when the user stops before anything happened, or
  // by choosing a container again. After a refusal or an error it stays disabled.
  Button8->setEnabled(false);
  Guarded([&] {
    try {
      const fs::path container = TextPath(Edit4->text());
      // The session key is recovered first: questions about the output are asked only about a container
      // that is the user's.
      std::unique_ptr<TPreparedDecryption> prepared;
      RunLong(StageText(TFlowStage::stExtracting), [&](TProgressWork& work) {
        prepared = PrepareDecryption(container, *kova_, *services_.Settings, ShowProgress(work));
      });
      TOutputConsent consent;
      const fs::path output = prepared->OutputFile();
      if (prepared->HiddenName()) {
        // The sender chose the name: the question shows it before anything is written.
        if (!services_.Dialogs->MessageBox(TMsgKind::mkWarning,
                                           QString::fromStdString(HiddenOutputNameText(output)) +
                                               QStringLiteral("\n%1 を作成しますか？").arg(PathText(output)),
                                           TMsgButtons::mbOKCancel)) {
          Button8->setEnabled(true);
          return;
        }
        consent.HiddenName = true;
      }
      if (prepared->OutputExists()) {
        if (!AskToReplace(output)) {
          Button8->setEnabled(true);
          return;
        }
        consent.ReplaceExisting = true;
      }
      TDecryptResult result;
      RunLong(StageText(TFlowStage::stExtracting),
              [&](TProgressWork& work) { result = prepared->Finish(consent, ShowProgress(work)); });
      prepared.reset();
      Label11->setText(PathText(result.OutputFolder / ""));
      Label11->setToolTip(Label11->text());
      Show(TabSheet8);
      Button8->setEnabled(true);
    } catch (const ECancelled&) {
      Button8->setEnabled(true);
    } catch (const ENotForYourKey& e) {
      services_.Dialogs->MessageBox(TMsgKind::mkError, QString::fromUtf8(e.what()), TMsgButtons::mbOK);
    } catch (const EContainerError& e) {
      services_.Dialogs->MessageBox(TMsgKind::mkError, QString::fromUtf8(e.what()), TMsgButtons::mbOK);
    }
  });
}

}  // namespace corvane
