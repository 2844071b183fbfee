#include "app/cli/Commands.h"

namespace corvane {

std::vector<std::unique_ptr<TCommand>> MakeCommands() {
  std::vector<std::unique_ptr<TCommand>> commands;
  commands.push_back(MakeKeygenCommand());
  commands.push_back(MakeInstallCommand());
  commands.push_back(MakeKeysCommand());
  commands.push_back(MakeEncryptCommand());
  commands.push_back(MakeDecryptCommand());
  commands.push_back(MakeFingerprintCommand());
  commands.push_back(MakeExportKeyCommand());
  commands.push_back(MakeImportKeyCommand());
  return commands;
}

}  // namespace corvane
