#include <CLI/CLI.hpp>

#include "app/cli/Commands.h"
#include "app/flows/KeyPairFlow.h"
#include "platform/Folders.h"

namespace corvane {

namespace {

// Only plain decimal numbers: CLI11's own integer reading would take "0400" as octal.
std::string CheckStrength(const std::string& text) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos) {
    return "鍵の強度はビット数を10進数で指定して下さい";
  }
  const int bits = std::stoi(text);
  if (bits < kMinNewKeyStrength || bits > kMaxNewKeyStrength) {
    return "鍵の強度は " + std::to_string(kMinNewKeyStrength) + "〜" + std::to_string(kMaxNewKeyStrength) +
           " ビットで指定して下さい";
  }
  return "";
}

class TKeygenCommand : public TCommand {
 public:
  std::string Name() const override { return "keygen"; }
  std::string Description() const override {
    return "鍵ペアを作成する（公開鍵 NAME.KVK はプログラムフォルダに、秘密鍵は設定に保存される）";
  }

  void Configure(CLI::App& command) override {
    command.add_option("--bits", fBits, "鍵の強度（ビット数、256〜2048）")
        ->default_str(std::to_string(kDefaultKeyStrength))
        ->check(CLI::Validator(CheckStrength, "BITS", "KeyStrength"));
    command.add_flag("--force", fForce, "保存済みの秘密鍵と、その公開鍵ではない NAME.KVK を置き換える");
    command.add_option("NAME", fName, "公開鍵のファイル名（自分の電子メールアドレス）")->required();
  }

  int Execute(TCliContext& context) override {
    TKeyPairRequest request;
    request.KeyStrength = std::stoi(fBits);
    request.Name = fName;
    request.ReplaceExistingKey = fForce;
    request.ReplaceExistingFile = fForce;
    // Both questions come before the long generation.
    if (!fForce && PrivateKeyExists(context.Settings)) {
      if (!context.Consent(kReplaceKeyQuestionText, kKeyExistsText)) return 1;
      request.ReplaceExistingKey = true;
    }
    if (const auto foreign = ForeignPublicKeyFile(fName, context.Settings, ProgramFolder());
        foreign && !fForce) {
      if (!context.Consent(ReplaceFileQuestionText(*foreign), EOutputExists(*foreign).what())) return 1;
      request.ReplaceExistingFile = true;
    }
    const TKeyPairResult result =
        CreateKeyPair(request, context.Kova, context.Settings, ProgramFolder(), context.Progress());
    context.EndProgress();
    context.PrintResult(result.PublicKeyFile.string());
    context.PrintResult("指紋: " + result.Fingerprint);
    return 0;
  }

 private:
  std::string fBits = std::to_string(kDefaultKeyStrength);
  bool fForce = false;
  std::string fName;
};

}  // namespace

std::unique_ptr<TCommand> MakeKeygenCommand() {
  return std::make_unique<TKeygenCommand>();
}

}  // namespace corvane
