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
    command.add_flag("--force", fForce, "同じ名前で別の鍵がインストールされていれば置き換える");
    command.add_option("FILE", fFile, "受信者の .KVK ファイル")->required();
  }

  // A recipient's key is never swapped silently: both fingerprints are shown first.
  int Execute(TCliContext& context) override {
    TInstalledKey installed;
    try {
      installed = InstallPublicKey(fFile, KeyFolder(), fForce);
    } catch (const EKeyDiffers& differs) {
      if (!context.Consent(differs.what() + std::string("置き換えますか？"), differs.what())) return 1;
      installed = InstallPublicKey(fFile, KeyFolder(), true);
    }
    context.PrintResult(installed.Path.string());
    context.PrintResult("指紋: " + installed.Fingerprint);
    return 0;
  }

 private:
  bool fForce = false;
  std::string fFile;
};

}  // namespace

std::unique_ptr<TCommand> MakeInstallCommand() {
  return std::make_unique<TInstallCommand>();
}

}  // namespace corvane
