#include <CLI/CLI.hpp>

#include "app/cli/Commands.h"
#include "app/flows/KeyTransfer.h"

namespace corvane {

namespace {

class TExportKeyCommand : public TCommand {
 public:
  std::string Name() const override { return "export-key"; }
  std::string Description() const override {
    return "鍵ペアを Windows のレジストリ エディタが読み込めるレジストリ書き出し（.reg）に書き出す";
  }

  void Configure(CLI::App& command) override {
    command.add_flag("--force", fForce, "既にあるファイルを置き換える");
    command.add_option("FILE", fFile, "書き出すファイル（例: corvane-key.reg）")->required();
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
