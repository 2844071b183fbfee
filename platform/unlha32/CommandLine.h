#pragma once
// The command text: letter, switches, quoted archive name, optional base directory, names or @file.

#include <string>
#include <vector>

namespace corvane::lha {

struct TCommand {
  char letter = 0;  // lower case; 0 when the text has none (memory extraction)
  std::string archive;
  std::string baseDir;  // "" or ending in '/'
  std::vector<std::string> files;
  std::vector<std::string> excludes;  // -jx patterns
  int pathMode = -1;  // -x0: 0 (bare names), -x1: 1 (relative paths), -1: the letter's default
  bool recurse = false;
  std::string method = "-lh5-";
};

// Fills `command` from `text` (the grammar is described at Unlha in unlha32.h: a quoted token is always a
// name; switches and response files are the unquoted -... and @... tokens). Returns 0, UNLHA_ERROR_COMMAND
// for a text without archive name (or without the letter when `letterRequired`) or a malformed response
// file, UNLHA_ERROR_FILE_OPEN for an unreadable response file.
int ParseCommand(const char* text, bool letterRequired, TCommand& command);

// Wildcard match of a whole name: '*' any run, '?' one character (names are UTF-8); "*.*" also matches names
// without a dot.
bool MatchWildcard(const std::string& pattern, const std::string& name);

}  // namespace corvane::lha
