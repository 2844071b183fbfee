// corvane-cli: the key-pair, encryption and decryption flows from the command line.

#include <signal.h>
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "app/cli/Command.h"

namespace {

// Interrupting asks the running flow to stop at its next progress report, so it removes its intermediates
// instead of leaving them behind; a second interrupt ends the program at once.
void OnInterrupt(int signalNumber) {
  if (corvane::InterruptRequested()) {
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
    return;
  }
  corvane::RequestInterrupt();
}

}  // namespace

int main(int argc, char** argv) {
  signal(SIGINT, OnInterrupt);
  signal(SIGTERM, OnInterrupt);
  signal(SIGHUP, OnInterrupt);
  const std::vector<std::string> args(argv, argv + argc);
  // Questions are asked only of someone at a terminal; a script gets a refusal instead.
  const bool interactive = isatty(STDIN_FILENO) != 0 && isatty(STDERR_FILENO) != 0;
  return corvane::RunCli(args, std::cout, std::cerr, isatty(STDERR_FILENO) != 0,
                         interactive ? &std::cin : nullptr);
}
