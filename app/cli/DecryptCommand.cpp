#include <CLI/CLI.hpp>

#include "app/cli/Commands.h"
#include "app/flows/DecryptionFlow.h"

namespace corvane {

namespace {

class TDecryptCommand : public TCommand {
 public:
  std::string Name() const override { return "decrypt"; }
  std::string Description() const override {
    return "Decrypt containers made for your key; each file is written into its container's folder";
  }

  void Configure(CLI::App& command) override {
    command.add_flag("--force", fForce, "Replace an existing file of the decrypted file's name");
    command.add_option("CONTAINER", fContainers, "Containers (.KVX) to decrypt")->required();
  }

  // Every container is tried; the status is 1 when any of them failed.
  int Execute(TCliContext& context) override {
    int status = 0;
    for (const std::string& container : fContainers) {
      try {
        const TDecryptResult result =
            DecryptContainer({container, fForce}, context.Kova, context.Settings, context.Progress());
        context.EndProgress();
        context.PrintResult(result.OutputFile.string());
      } catch (const EOutputExists& error) {
        context.PrintError(std::string(error.what()) + " 置き換えるには --force を付けて下さい。");
        status = 1;
      } catch (const std::exception& error) {
        context.PrintError(error.what());
        status = 1;
        if (InterruptRequested()) break;
      }
    }
    return status;
  }

 private:
  bool fForce = false;
  std::vector<std::string> fContainers;
};

}  // namespace

std::unique_ptr<TCommand> MakeDecryptCommand() {
  return std::make_unique<TDecryptCommand>();
}

}  // namespace corvane
