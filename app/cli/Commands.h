#pragma once
// The commands of corvane-cli, one class each; MakeCommands (Command.h) lists them in one table.

#include <memory>

#include "app/cli/Command.h"

namespace corvane {

std::unique_ptr<TCommand> MakeKeygenCommand();
std::unique_ptr<TCommand> MakeInstallCommand();
std::unique_ptr<TCommand> MakeKeysCommand();
std::unique_ptr<TCommand> MakeEncryptCommand();
std::unique_ptr<TCommand> MakeDecryptCommand();
std::unique_ptr<TCommand> MakeFingerprintCommand();
std::unique_ptr<TCommand> MakeExportKeyCommand();
std::unique_ptr<TCommand> MakeImportKeyCommand();

}  // namespace corvane
