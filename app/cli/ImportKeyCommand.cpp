#include <CLI/CLI.hpp>

#include "app/cli/Commands.h"
#include "app/flows/KeyTransfer.h"
#include "platform/Folders.h"

namespace corvane {

namespace {

class TImportKeyCommand : public TCommand {
 public:
  std::string Name() const override { return "import-key"; }
  std::string Description() const override {
    return "レジストリ書き出し（.reg）から鍵ペアを取り込み、NAME.KVK をプログラムフォルダに書く";
  }

  void Configure(CLI::App& command) override {
    command.add_option("--name", fName, "公開鍵のファイル名（自分の電子メールアドレス）")->required();
    command.add_flag("--force", fForce, "保存済みの秘密鍵と、その公開鍵ではない NAME.KVK を置き換える");
    command.add_option("FILE", fFile, "鍵ペアを収めたレジストリ書き出し")->required();
  }

  // The export is read and checked before anything is asked.
  int Execute(TCliContext& context) override {
    const TImportedKey imported = ReadKeyExport(fFile);
    bool replaceKey = fForce, replaceFile = fForce;
    if (!fForce && OtherKeyStored(context.Settings, imported.Key)) {
      if (!context.Consent(kReplaceKeyByImportQuestionText, kKeyExistsText)) return 1;
      replaceKey = true;
    }
    if (const auto foreign = ForeignPublicKeyFile(fName, context.Settings, ProgramFolder(), &imported.Public);
        foreign && !fForce) {
      if (!context.Consent(ReplaceFileQuestionText(*foreign), EOutputExists(*foreign).what())) return 1;
      replaceFile = true;
    }
    const TKeyPairResult result =
        ImportKeyPair(imported, fName, context.Settings, ProgramFolder(), replaceKey, replaceFile);
    context.PrintResult(result.PublicKeyFile.string());
    context.PrintResult("指紋: " + result.Fingerprint);
    return 0;
  }

 private:
  std::string fName;
  bool fForce = false;
  std::string fFile;
};

}  // namespace

std::unique_ptr<TCommand> MakeImportKeyCommand() {
  return std::make_unique<TImportKeyCommand>();
}

}  // namespace corvane
