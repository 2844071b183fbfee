#include <CLI/CLI.hpp>

#include "app/cli/Commands.h"
#include "app/flows/PublicKeyCheck.h"

namespace corvane {

namespace {

class TFingerprintCommand : public TCommand {
 public:
  std::string Name() const override { return "fingerprint"; }
  std::string Description() const override {
    return "公開鍵ファイルの指紋を表示する（持ち主の示す指紋と比べるため）";
  }

  void Configure(CLI::App& command) override {
    command.add_option("FILE", fFile, "A public-key file (.KVK)")->required();
  }

  // The fingerprint is the command's result, so --quiet does not hide it.
  int Execute(TCliContext& context) override {
    context.Out << KeyFingerprint(LoadPublicKeyFile(fFile)) << '\n' << std::flush;
    return 0;
  }

 private:
  std::string fFile;
};

}  // namespace

std::unique_ptr<TCommand> MakeFingerprintCommand() {
  return std::make_unique<TFingerprintCommand>();
}

}  // namespace corvane
