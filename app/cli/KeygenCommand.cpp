#include <CLI/CLI.hpp>

#include "app/cli/Commands.h"
#include "app/flows/KeyPairFlow.h"
#include "platform/Folders.h"

namespace corvane {

namespace {

// Only plain decimal numbers: CLI11's own integer reading would take "0400" as octal.
std::string CheckStrength(const std::string& text) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos) {
    return "the key strength must be a decimal number of bits";
  }
  const int bits = std::stoi(text);
  if (bits < kMinNewKeyStrength || bits > kMaxNewKeyStrength) {
    return "the key strength must be " + std::to_string(kMinNewKeyStrength) + " to " +
           std::to_string(kMaxNewKeyStrength) + " bits";
  }
  return "";
}

class TKeygenCommand : public TCommand {
 public:
  std::string Name() const override { return "keygen"; }
  std::string Description() const override {
    return "Create your key pair: NAME.KVK in the program folder, the private key in the settings";
  }

  void Configure(CLI::App& command) override {
    command.add_option("--bits", fBits, "Key strength in bits, 256 to 2048")
        ->default_str(std::to_string(kDefaultKeyStrength))
        ->check(CLI::Validator(CheckStrength, "BITS", "KeyStrength"));
    command.add_flag("--force", fForce,
                     "Replace the private key already stored, and a NAME.KVK that is not its public key");
    command.add_option("NAME", fName, "File name of the public key, your e-mail address")->required();
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
