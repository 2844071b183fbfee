#include "platform/unlha32/LhaArchive.h"

#include <cctype>

#include "platform/unlha32/CommandLine.h"
#include "platform/unlha32/unlha32.h"

namespace corvane::lha {

std::vector<std::string> Components(const std::string& name) {
  std::vector<std::string> parts;
  std::string part;
  const auto take = [&] {
    if (!part.empty() && part != ".") parts.push_back(part);
    part.clear();
  };
  for (char c : name) {
    if (c == '/')
      take();
    else
      part.push_back(c);
  }
  take();
  return parts;
}

int ScanArchive(const TByteSource& source, std::vector<TMember>& members) {
  members.clear();
  if (source.Size() == 0) return UNLHA_ERROR_NOT_ARCHIVE;
  uint64_t offset = 0;
  for (;;) {
    TMember m;
    switch (ReadHeader(source, offset, m)) {
      case THeaderResult::kEnd:
        // The end mark alone is an empty archive; data that merely starts with a zero byte is not one,
        // so an update never replaces such a file.
        return members.empty() && source.Size() > 1 ? UNLHA_ERROR_NOT_ARCHIVE : 0;
      case THeaderResult::kDamaged:
        return UNLHA_ERROR_NOT_ARCHIVE;
      case THeaderResult::kMember:
        offset = m.DataEnd();
        members.push_back(std::move(m));
        break;
    }
  }
}

bool IsSafeMemberName(const std::string& name) {
  if (name.empty() || name.find('\0') != std::string::npos) return false;
  if (name[0] == '/') return false;
  if (name.size() >= 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0]))) return false;
  const auto parts = Components(name);
  if (parts.empty()) return false;
  for (const auto& p : parts)
    if (p == "..") return false;
  return true;
}

std::string BareName(const std::string& name) {
  const auto parts = Components(name);
  return parts.empty() ? std::string() : parts.back();
}

bool NamesMember(const std::string& pattern, const std::string& name) {
  return MatchWildcard(pattern, name) ||
         (pattern.find('/') == std::string::npos && MatchWildcard(pattern, BareName(name)));
}

std::string StoredName(const std::string& given, bool bare) {
  if (bare) return BareName(given);
  std::string out;
  for (const auto& p : Components(given)) {
    if (p == "..") continue;
    if (!out.empty()) out.push_back('/');
    out += p;
  }
  return out;
}

}  // namespace corvane::lha
