#include "app/cli/Command.h"

#include <sys/stat.h>

#include <CLI/CLI.hpp>
#include <istream>
#include <ostream>

#include "app/cli/ProgressBar.h"
#include "platform/SettingsStore.h"
#include "pubkey/Kova.h"

namespace corvane {

namespace {

std::atomic<bool> gInterrupt{false};

constexpr const char* kVersionText = "corvane-cli " CORVANE_VERSION;

}  // namespace

void RequestInterrupt() {
  gInterrupt = true;
}
bool InterruptRequested() {
  return gInterrupt;
}
void ClearInterrupt() {
  gInterrupt = false;
}

TCliContext::TCliContext(std::ostream& out, std::ostream& err, TKOVA& kova, SettingsStore& settings)
    : Out(out), Err(err), Kova(kova), Settings(settings) {}

TCliContext::~TCliContext() = default;

void TCliContext::PrintResult(const std::string& line) {
  if (!Quiet) Out << line << '\n' << std::flush;
}

void TCliContext::PrintError(const std::string& message) {
  EndProgress();
  std::string line = message;
  for (char& c : line) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  Err << "corvane-cli: " << line << '\n' << std::flush;
}

bool TCliContext::Consent(const std::string& question, const std::string& refusal) {
  if (!Terminal) {
    PrintError(refusal + kForceHint);
    return false;
  }
  EndProgress();
  Err << question << " [y/N] " << std::flush;
  std::string answer;
  std::getline(*Terminal, answer);
  if (answer == "y" || answer == "Y" || answer == "yes" || answer == "YES" || answer == "はい") return true;
  PrintError("中止しました。");
  return false;
}

TFlowProgress TCliContext::Progress() {
  if (ShowProgress && !fBar) fBar = std::make_unique<TProgressBar>(Err);
  return [this](TFlowStage stage, uint64_t done, uint64_t total) {
    if (fBar) fBar->Update(stage, done, total);
    return !InterruptRequested();
  };
}

void TCliContext::EndProgress() {
  if (fBar) fBar->Finish();
}

void TWrittenFiles::Add(const std::filesystem::path& file) {
  struct stat info {};
  if (::stat(file.c_str(), &info) == 0) fFiles.emplace(info.st_dev, info.st_ino);
}

bool TWrittenFiles::Contains(const std::filesystem::path& file) const {
  struct stat info {};
  return ::stat(file.c_str(), &info) == 0 && fFiles.count({info.st_dev, info.st_ino}) != 0;
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool errIsTerminal,
           std::istream* terminal) {
  CLI::App app("Corvane: 電子メールでファイルをやり取りする相手との公開鍵暗号によるファイル暗号化",
               args.empty() ? "corvane-cli" : args.front());
  app.set_version_flag("--version", kVersionText);
  bool quiet = false;
  app.add_flag("-q,--quiet", quiet, "パスと進み具合を表示しない（失敗は表示する）");
  app.require_subcommand(1);
  app.fallthrough();

  std::vector<std::unique_ptr<TCommand>> commands = MakeCommands();
  std::vector<std::pair<CLI::App*, TCommand*>> registered;
  for (const auto& command : commands) {
    CLI::App* sub = app.add_subcommand(command->Name(), command->Description());
    command->Configure(*sub);
    registered.emplace_back(sub, command.get());
  }

  // CLI11 parses from the back of a reversed list; argv[0] is not part of it.
  std::vector<std::string> reversed(args.rbegin(), args.rend());
  if (!reversed.empty()) reversed.pop_back();
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& error) {
    const int code = app.exit(error, out, err);
    return code == 0 ? 0 : 2;
  }

  TKOVA kova;
  IniSettingsStore settings;
  TCliContext context(out, err, kova, settings);
  context.Quiet = quiet;
  context.ShowProgress = errIsTerminal && !quiet;
  context.Terminal = terminal;
  for (const auto& [sub, command] : registered) {
    if (!sub->parsed()) continue;
    try {
      const int status = command->Execute(context);
      context.EndProgress();
      return status;
    } catch (const EKeyExists& error) {
      // Refusals to replace without consent say how to give it.
      context.PrintError(error.what() + std::string(kForceHint));
      return 1;
    } catch (const EOutputExists& error) {
      context.PrintError(error.what() + std::string(kForceHint));
      return 1;
    } catch (const std::exception& error) {
      context.PrintError(error.what());
      return 1;
    }
  }
  return 2;
}

}  // namespace corvane
