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
    return "ファイルを受信者向けに暗号化する（暗号ファイルは元のファイルと同じフォルダに作られる）";
  }

  void Configure(CLI::App& command) override {
    command.add_option("--to", fRecipient, "受信者: 鍵フォルダにある名前、または .KVK ファイルのパス")
        ->required();
    command.add_flag("--force", fForce, "同じ名前の暗号ファイルが既にあれば置き換える");
    command.add_option("FILE", fFiles, "暗号化するファイル")->required();
  }

  // Every file is tried; the status is 1 when any of them failed. Two files that give one container name
  // (report.txt and report.doc) never overwrite each other: the second is refused, --force or not.
  int Execute(TCliContext& context) override {
    const std::filesystem::path keyFile = ResolveRecipient(fRecipient, KeyFolder());
    TWrittenFiles written;
    int status = 0;
    for (const std::string& file : fFiles) {
      try {
        const TEncryptRequest request{keyFile, file, fForce};
        const std::filesystem::path container = ContainerFileFor(request);
        if (written.Contains(container)) {
          context.PrintError("暗号ファイル " + container.string() + " はこのコマンドで既に作成したため、" +
                             file + " は暗号化しません。別々に暗号化して下さい。");
          status = 1;
          continue;
        }
        const TEncryptResult result = EncryptFileForRecipient(request, context.Kova, context.Progress());
        context.EndProgress();
        written.Add(result.Container);
        context.PrintResult(result.Container.string());
      } catch (const EOutputExists& error) {
        context.PrintError(std::string(error.what()) + kForceHint);
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
  std::string fRecipient;
  bool fForce = false;
  std::vector<std::string> fFiles;
};

}  // namespace

std::unique_ptr<TCommand> MakeEncryptCommand() {
  return std::make_unique<TEncryptCommand>();
}

}  // namespace corvane
