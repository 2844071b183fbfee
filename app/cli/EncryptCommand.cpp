#include <CLI/CLI.hpp>

#include "app/cli/Commands.h"
#include "app/flows/EncryptionFlow.h"
#include "app/flows/PublicKeyFile.h"
#include "platform/Folders.h"

namespace corvane {

namespace {

class TEncryptCommand : public TCommand {
 public:
  std::string Name() const override { return "encrypt"; }
  std::string Description() const override {
    return "Encrypt files for a recipient; each container is written beside its source";
  }

  void Configure(CLI::App& command) override {
    command.add_option("--to", fRecipient, "Recipient: a name in the key folder, or a path to a .KVK file")
        ->required();
    command.add_option("FILE", fFiles, "Files to encrypt")->required();
  }

  // Every file is tried; the status is 1 when any of them failed.
  int Execute(TCliContext& context) override {
    const std::filesystem::path keyFile = ResolveRecipient(fRecipient, KeyFolder());
    int status = 0;
    for (const std::string& file : fFiles) {
      try {
        const TEncryptResult result =
            EncryptFileForRecipient({keyFile, file}, context.Kova, context.Progress());
        context.EndProgress();
        context.PrintResult(result.Container.string());
      } catch (const std::exception& error) {
        context.PrintError(error.what());
        status = 1;
        if (InterruptRequested()) break;
      }
    }
    return status;
  }

 private:
  std::string fRecipient;
  std::vector<std::string> fFiles;
};

}  // namespace

std::unique_ptr<TCommand> MakeEncryptCommand() {
  return std::make_unique<TEncryptCommand>();
}

}  // namespace corvane
