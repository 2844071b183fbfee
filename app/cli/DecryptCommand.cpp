#include <CLI/CLI.hpp>

#include "app/cli/Commands.h"
#include "app/flows/DecryptionFlow.h"

namespace corvane {

namespace {

class TDecryptCommand : public TCommand {
 public:
  std::string Name() const override { return "decrypt"; }
  std::string Description() const override {
    return "自分の鍵用の暗号ファイルを復号化する（ファイルは暗号ファイルと同じフォルダに作られる）";
  }

  void Configure(CLI::App& command) override {
    command.add_flag("--force", fForce,
                     "復号化したファイルと同じ名前のファイルを置き換え、ドットで始まる名前（隠しファイル）も"
                     "作成する");
    command.add_option("CONTAINER", fContainers, "復号化する暗号ファイル（.KVX）")->required();
  }

  // Every container is tried; the status is 1 when any of them failed. The session key is checked before
  // anything is said about the output, so a container that is not the user's is reported as such.
  int Execute(TCliContext& context) override {
    TWrittenFiles written;
    int status = 0;
    for (const std::string& container : fContainers) {
      try {
        if (!Decrypt(context, container, written)) status = 1;
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
  // False after a refusal it has reported.
  bool Decrypt(TCliContext& context, const std::string& container, TWrittenFiles& written) {
    const std::unique_ptr<TPreparedDecryption> prepared =
        PrepareDecryption(container, context.Kova, context.Settings, context.Progress());
    const std::filesystem::path output = prepared->OutputFile();
    context.EndProgress();
    // Two containers of one call that decrypt to one name never overwrite each other.
    if (written.Contains(output)) {
      context.PrintError("ファイル " + output.string() + " はこのコマンドで既に復号化したため、" + container +
                         " は復号化しません。別々に復号化して下さい。");
      return false;
    }
    if (prepared->HiddenName()) {
      if (!fForce) {
        context.PrintError(HiddenOutputNameText(output) + " 作成するには --force を付けて下さい。");
        return false;
      }
      context.PrintWarning(HiddenOutputNameText(output) + " --force により " + output.string() +
                           " を作成します。");
    }
    const TDecryptResult result = prepared->Finish({fForce, fForce}, context.Progress());
    context.EndProgress();
    written.Add(result.OutputFile);
    if (!result.Tagged) {
      context.PrintNotice(container +
                          " には改ざんを検出するための検査値がありません（以前の形式の暗号ファイル）。");
    }
    context.PrintResult(result.OutputFile.string());
    return true;
  }

  bool fForce = false;
  std::vector<std::string> fContainers;
};

}  // namespace

std::unique_ptr<TCommand> MakeDecryptCommand() {
  return std::make_unique<TDecryptCommand>();
}

}  // namespace corvane
