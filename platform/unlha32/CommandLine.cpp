#include "platform/unlha32/CommandLine.h"

#include <cctype>
#include <fstream>
#include <sstream>

#include "platform/unlha32/unlha32.h"

namespace corvane::lha {
namespace {

struct TToken {
  std::string text;
  bool quoted = false;  // began with a quote: never a switch
};

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Splits on blanks outside quotes; quotes are removed, also inside a token (-jx"*.bak").
std::vector<TToken> Tokenize(const std::string& s) {
  std::vector<TToken> tokens;
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && IsBlank(s[i])) ++i;
    if (i >= s.size()) break;
    TToken t;
    t.quoted = s[i] == '"';
    bool inQuote = false;
    bool any = false;
    while (i < s.size() && (inQuote || !IsBlank(s[i]))) {
      if (s[i] == '"') {
        inQuote = !inQuote;
        any = true;
      } else {
        t.text.push_back(s[i]);
      }
      ++i;
    }
    if (!t.text.empty() || any) tokens.push_back(std::move(t));
  }
  return tokens;
}

bool ReadResponseFile(const std::string& path, std::vector<std::string>& names) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    while (!line.empty() && IsBlank(line.back())) line.pop_back();
    size_t start = 0;
    while (start < line.size() && IsBlank(line[start])) ++start;
    line = line.substr(start);
    if (line.size() >= 2 && line.front() == '"' && line.back() == '"') line = line.substr(1, line.size() - 2);
    if (!line.empty()) names.push_back(line);
  }
  return true;
}

void ApplySwitch(const std::string& s, TCommand& c) {
  if (s.size() == 5 && s.compare(0, 3, "-lh") == 0 && s[4] == '-' &&
      (s[3] == '0' || s[3] == '4' || s[3] == '5' || s[3] == '6' || s[3] == '7')) {
    c.method = s;
  } else if (s == "-x" || s == "-x1" || s == "-x2") {
    c.pathMode = 1;
  } else if (s == "-x0") {
    c.pathMode = 0;
  } else if (s == "-r" || s == "-r1" || s == "-r2") {
    c.recurse = true;
  } else if (s == "-r0") {
    c.recurse = false;
  } else if (s.compare(0, 3, "-jx") == 0 && s.size() > 3) {
    c.excludes.push_back(s.substr(3));
  }
  // Every other switch is accepted and has no effect here.
}

}  // namespace

int ParseCommand(const char* text, bool letterRequired, TCommand& c) {
  if (!text) return UNLHA_ERROR_COMMAND;
  const std::vector<TToken> tokens = Tokenize(text);
  size_t i = 0;
  if (i < tokens.size() && !tokens[i].quoted && tokens[i].text.size() == 1 &&
      std::isalpha(static_cast<unsigned char>(tokens[i].text[0]))) {
    c.letter = static_cast<char>(std::tolower(static_cast<unsigned char>(tokens[i].text[0])));
    ++i;
  } else if (letterRequired) {
    return UNLHA_ERROR_COMMAND;
  }
  bool haveArchive = false, afterArchive = false;
  for (; i < tokens.size(); ++i) {
    const TToken& t = tokens[i];
    // Switches with a text value come quoted ("-jx*.tmp", "-w/dir/"), and every switch precedes the archive
    // name; after it, a quoted token is always a name, even one that starts with '-'.
    if ((!t.quoted || !haveArchive) && t.text.size() >= 2 && t.text[0] == '-') {
      ApplySwitch(t.text, c);
      continue;
    }
    if (!haveArchive) {
      if (t.text.empty()) return UNLHA_ERROR_COMMAND;
      c.archive = t.text;
      haveArchive = afterArchive = true;
      continue;
    }
    const bool justAfterArchive = afterArchive;
    afterArchive = false;
    if (justAfterArchive && !t.text.empty() && (t.text.back() == '/' || t.text.back() == '\\')) {
      c.baseDir = t.text;
      for (char& ch : c.baseDir)
        if (ch == '\\') ch = '/';
      continue;
    }
    if (t.text.size() > 1 && t.text[0] == '@') {
      if (!ReadResponseFile(t.text.substr(1), c.files)) return UNLHA_ERROR_FILE_OPEN;
      continue;
    }
    if (!t.text.empty()) c.files.push_back(t.text);
  }
  return haveArchive ? 0 : UNLHA_ERROR_COMMAND;
}

bool MatchWildcard(const std::string& pattern, const std::string& name) {
  if (pattern == "*" || pattern == "*.*") return true;
  // Iterative matching with one backtrack point for the last '*'.
  size_t p = 0, n = 0, star = std::string::npos, mark = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      mark = n;
    } else if (star != std::string::npos) {
      p = star + 1;
      n = ++mark;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace corvane::lha
