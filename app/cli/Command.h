#pragma once
// corvane-cli's commands: one class per command, each declaring its arguments on its own CLI11
// subcommand and running one flow. Commands write results to Out and one line per failure to Err.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/flows/FlowCommon.h"

namespace CLI {
class App;
}

namespace corvane {

class SettingsStore;
class TKOVA;
class TProgressBar;

// What a running command works with.
class TCliContext {
 public:
  TCliContext(std::ostream& out, std::ostream& err, TKOVA& kova, SettingsStore& settings);
  ~TCliContext();

  std::ostream& Out;
  std::ostream& Err;
  TKOVA& Kova;
  SettingsStore& Settings;
  bool Quiet = false;
  // A progress bar is drawn on Err (only when Err is a terminal and Quiet is off).
  bool ShowProgress = false;
  // Where the answers to questions come from: the terminal corvane-cli runs on, or null when it does not
  // run on one (then nothing is replaced without --force).
  std::istream* Terminal = nullptr;

  // Prints a result line (a path) unless Quiet.
  void PrintResult(const std::string& line);
  // Prints one failure line: "corvane-cli: <message>" with line breaks folded into blanks.
  void PrintError(const std::string& message);
  // Consent to replace something: on a terminal, the question is asked on Err and "y" or "yes" agrees.
  // Otherwise, and when the user declines, the refusal is printed (followed by kForceHint when there is
  // no terminal, by "中止しました。" when the user declined) and the answer is false.
  bool Consent(const std::string& question, const std::string& refusal);
  // Prints a warning line on Err the same way, also when Quiet: something the user should know before it
  // is done.
  void PrintWarning(const std::string& message) { PrintError(message); }
  // Prints a notice line on Err the same way, unless Quiet.
  void PrintNotice(const std::string& message) {
    if (!Quiet) PrintError(message);
  }
  // Progress for the flows: draws the bar when shown, and cancels once an interrupt was requested.
  TFlowProgress Progress();
  // Ends the bar's line, if one is drawn.
  void EndProgress();

 private:
  std::unique_ptr<TProgressBar> fBar;
};

// What a refusal to replace something without consent ends with.
inline constexpr const char* kForceHint = " 置き換えるには --force を付けて下さい。";

// The files one command call has written, known by identity (device and inode), so another spelling of a
// path or a link to it is recognised too.
class TWrittenFiles {
 public:
  void Add(const std::filesystem::path& file);
  // Whether what has this name now is one of them.
  bool Contains(const std::filesystem::path& file) const;

 private:
  std::set<std::pair<uint64_t, uint64_t>> fFiles;
};

class TCommand {
 public:
  virtual ~TCommand() = default;
  virtual std::string Name() const = 0;
  virtual std::string Description() const = 0;
  // Declares the command's arguments; parsed values land in the command's fields.
  virtual void Configure(CLI::App& command) = 0;
  // Runs the command: 0 on success, 1 on failure (reported on context.Err).
  virtual int Execute(TCliContext& context) = 0;
};

// The command table: every command corvane-cli offers, in the order --help lists them.
std::vector<std::unique_ptr<TCommand>> MakeCommands();

// Asks running work to stop at its next progress report (set from a signal handler).
void RequestInterrupt();
bool InterruptRequested();
void ClearInterrupt();

// Runs corvane-cli with the given arguments (args[0] is the program name). Returns the exit status:
// 0 success, 1 failure, 2 usage error. The program folder and the settings file follow CORVANE_HOME and
// XDG_CONFIG_HOME. Questions are asked only when `terminal` (the terminal's input) is given.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           bool errIsTerminal = false, std::istream* terminal = nullptr);

}  // namespace corvane
