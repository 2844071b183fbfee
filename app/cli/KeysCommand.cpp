#include <CLI/CLI.hpp>
#include <ostream>

#include "app/cli/Commands.h"
#include "app/flows/PublicKeyCheck.h"
#include "platform/Folders.h"

namespace corvane {

namespace {

class TKeysCommand : public TCommand {
 public:
  std::string Name() const override { return "keys"; }
  std::string Description() const override {
    return "鍵フォルダにある受信者の一覧を、鍵の指紋と共に表示する";
  }
  void Configure(CLI::App&) override {}

  // One line per recipient: the name --to takes, a tab, the fingerprint ("-" for a file that is not a
  // usable key, which is also reported on the error stream, and makes the status 1 as any failed file
  // does). The list is the command's result, so --quiet does not hide it.
  int Execute(TCliContext& context) override {
    int status = 0;
    for (const TRecipient& recipient : ListRecipients(KeyFolder())) {
      std::string fingerprint = "-";
      try {
        fingerprint = KeyFingerprint(LoadPublicKeyFile(recipient.File));
      } catch (const Exception& error) {
        context.PrintError(error.what());
        status = 1;
      }
      context.Out << recipient.Name << '\t' << fingerprint << '\n';
    }
    context.Out << std::flush;
    return status;
  }
};

}  // namespace

std::unique_ptr<TCommand> MakeKeysCommand() {
  return std::make_unique<TKeysCommand>();
}

}  // namespace corvane
