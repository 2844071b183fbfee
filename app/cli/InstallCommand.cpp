#include <CLI/CLI.hpp>

#include "app/cli/Commands.h"
#include "app/flows/PublicKeyFile.h"
#include "platform/Folders.h"

namespace corvane {

namespace {

class TInstallCommand : public TCommand {
 public:
  std::string Name() const override { return "install"; }
  std::string Description() const override { return "受信者の公開鍵ファイルを鍵フォルダにインストールする"; }

  void Configure(CLI::App& command) override {
    command.add_option("FILE", fFile, "受信者の .KVK ファイル")->required();
  }

  int Execute(TCliContext& context) override {
    context.PrintResult(InstallPublicKey(fFile, KeyFolder()).string());
    return 0;
  }

 private:
  std::string fFile;
};

}  // namespace

std::unique_ptr<TCommand> MakeInstallCommand() {
  return std::make_unique<TInstallCommand>();
}

}  // namespace corvane
