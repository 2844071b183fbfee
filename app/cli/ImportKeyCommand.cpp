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
    return "Take your key pair from a registry export (.reg) and write NAME.KVK into the program folder";
  }

  void Configure(CLI::App& command) override {
    command.add_option("--name", fName, "File name of the public key, your e-mail address")->required();
    command.add_flag("--force", fForce,
                     "Replace the private key already stored, and a NAME.KVK that is not its public key");
    command.add_option("FILE", fFile, "A registry export holding the key pair")->required();
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
