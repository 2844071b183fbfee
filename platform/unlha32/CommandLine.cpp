#include "platform/unlha32/CommandLine.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

#include "platform/unlha32/unlha32.h"

namespace corvane::lha {
namespace {

struct TToken {
  std::string text;
  bool quoted = false;  // began with a quote: a name, whatever it starts with inside the quotes
};

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Reads the quoted part that starts at s[i] (a quote) into `out`; "" inside stands for one quote. Returns
// the index after the closing quote, or s.size() when the text ends first.
size_t ReadQuoted(const std::string& s, size_t i, std::string& out, bool& closed) {
  closed = false;
  for (++i; i < s.size(); ++i) {
    if (s[i] != '"') {
      out.push_back(s[i]);
    } else if (i + 1 < s.size() && s[i + 1] == '"') {
      out.push_back('"');
      ++i;
    } else {
      closed = true;
      return i + 1;
    }
  }
  return i;
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
    while (i < s.size() && !IsBlank(s[i])) {
      if (s[i] == '"') {
        bool closed = false;
        i = ReadQuoted(s, i, t.text, closed);
      } else {
        t.text.push_back(s[i++]);
      }
    }
    tokens.push_back(std::move(t));
  }
  return tokens;
}

// One name per line: a line that starts with a quote holds a quoted name as the command writes it (which
// may then span lines), any other line is a name without the blanks at its ends. 0, UNLHA_ERROR_FILE_OPEN
// when the file cannot be read, UNLHA_ERROR_COMMAND for an unclosed quote or text after a closing one.
int ReadResponseFile(const std::string& path, std::vector<std::string>& names) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return UNLHA_ERROR_FILE_OPEN;
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) return UNLHA_ERROR_FILE_OPEN;
  const std::string text = content.str();
  size_t i = 0;
  for (;;) {
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i >= text.size()) return 0;
    std::string name;
    if (text[i] == '"') {
      bool closed = false;
      i = ReadQuoted(text, i, name, closed);
      while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
      if (!closed || (i < text.size() && text[i] != '\r' && text[i] != '\n')) return UNLHA_ERROR_COMMAND;
    } else {
      const size_t end = std::min(text.find_first_of("\r\n", i), text.size());
      name = text.substr(i, end - i);
      while (!name.empty() && IsBlank(name.back())) name.pop_back();
      i = end;
    }
    if (!name.empty()) names.push_back(std::move(name));
  }
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
    // Only an unquoted "-" starts a switch: the archive layer writes text values as -jx"*.tmp", and a
    // quoted token is a name even when it starts with "-".
    if (!t.quoted && t.text.size() >= 2 && t.text[0] == '-') {
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
    // Likewise only an unquoted "@" names a response file (@"list"); "@x.txt" in quotes is a file.
    if (!t.quoted && t.text.size() > 1 && t.text[0] == '@') {
      if (const int status = ReadResponseFile(t.text.substr(1), c.files)) return status;
      continue;
    }
    if (!t.text.empty()) c.files.push_back(t.text);
  }
  return haveArchive ? 0 : UNLHA_ERROR_COMMAND;
}

namespace {

// Member names are UTF-8 by the time they are matched: the end of the character starting at `at`.
size_t NextCharacter(const std::string& name, size_t at) {
  ++at;
  while (at < name.size() && (static_cast<unsigned char>(name[at]) & 0xC0) == 0x80) ++at;
  return at;
}

}  // namespace

bool MatchWildcard(const std::string& pattern, const std::string& name) {
  if (pattern == "*" || pattern == "*.*") return true;
  // Iterative matching with one backtrack point for the last '*'. '?' takes a whole character and a
  // backtrack moves by whole characters, so "?.txt" matches "表.txt" and never half of a character.
  size_t p = 0, n = 0, star = std::string::npos, mark = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '?') {
      ++p;
      n = NextCharacter(name, n);
    } else if (p < pattern.size() && pattern[p] == name[n]) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      mark = n;
    } else if (star != std::string::npos) {
      p = star + 1;
      n = mark = NextCharacter(name, mark);
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace corvane::lha
