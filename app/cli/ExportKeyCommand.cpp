#include <CLI/CLI.hpp>

#include "app/cli/Commands.h"
#include "app/flows/KeyTransfer.h"

namespace corvane {

namespace {

class TExportKeyCommand : public TCommand {
 public:
  std::string Name() const override { return "export-key"; }
  std::string Description() const override {
    return "Write your key pair as a registry export (.reg) that Windows' registry editor imports";
  }

  void Configure(CLI::App& command) override {
    command.add_flag("--force", fForce, "Replace an existing file");
    command.add_option("FILE", fFile, "The registry export to write, e.g. corvane-key.reg")->required();
  }

  int Execute(TCliContext& context) override {
    const TPublicKey publicKey = ExportKeyPair(context.Settings, fFile, fForce);
    context.PrintResult(fFile);
    context.PrintResult("指紋: " + KeyFingerprint(publicKey));
    context.PrintResult(
        "このファイルには秘密鍵が含まれています。人に渡したり共有のフォルダに置いたりせず、鍵を移し終えたら削"
        "除して下さい。");
    return 0;
  }

 private:
  bool fForce = false;
  std::string fFile;
};

}  // namespace

std::unique_ptr<TCommand> MakeExportKeyCommand() {
  return std::make_unique<TExportKeyCommand>();
}

}  // namespace corvane
