#include <CLI/CLI.hpp>
#include <ostream>

#include "app/cli/Commands.h"
#include "app/flows/PublicKeyFile.h"
#include "platform/Folders.h"

namespace corvane {

namespace {

class TKeysCommand : public TCommand {
 public:
  std::string Name() const override { return "keys"; }
  std::string Description() const override { return "鍵フォルダにある受信者の一覧を表示する"; }
  void Configure(CLI::App&) override {}

  // The list is the command's result, so --quiet does not hide it.
  int Execute(TCliContext& context) override {
    for (const std::string& name : ListRecipients(KeyFolder())) context.Out << name << '\n';
    context.Out << std::flush;
    return 0;
  }
};

}  // namespace

std::unique_ptr<TCommand> MakeKeysCommand() {
  return std::make_unique<TKeysCommand>();
}

}  // namespace corvane
