#include "platform/Folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <system_error>

#include "platform/LibraryLoader.h"

namespace corvane {
namespace fs = std::filesystem;

namespace {

// An environment path that is set, non-empty and absolute; otherwise an empty path.
fs::path AbsoluteEnvPath(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return {};
  fs::path path(value);
  return path.is_absolute() ? path : fs::path();
}

bool WritableFolder(const fs::path& folder) {
  return !folder.empty() && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

}  // namespace

fs::path HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr) {
    return entry->pw_dir;
  }
  return "/";
}

fs::path ConfigHome() {
  fs::path path = AbsoluteEnvPath("XDG_CONFIG_HOME");
  return path.empty() ? HomeFolder() / ".config" : path;
}

fs::path DataHome() {
  fs::path path = AbsoluteEnvPath("XDG_DATA_HOME");
  return path.empty() ? HomeFolder() / ".local" / "share" : path;
}

bool SystemProgramFolder(const fs::path& folder) {
  std::error_code error;
  const fs::path real = fs::weakly_canonical(folder, error);
  const std::string path = (error ? folder : real).string();
  for (const std::string root : {"/usr", "/bin", "/sbin", "/lib", "/lib64", "/opt"}) {
    if (path == root || path.starts_with(root + "/")) return true;
  }
  return false;
}

fs::path ProgramFolder() {
  // CORVANE_HOME may be relative (scripts use it so); it is taken against the current folder.
  if (const char* home = std::getenv("CORVANE_HOME"); home != nullptr && *home != '\0') {
    return fs::absolute(home);
  }
  const fs::path executableFolder = ExecutableFolder();
  if (WritableFolder(executableFolder) && !SystemProgramFolder(executableFolder)) return executableFolder;
  fs::path folder = DataHome() / "Corvane";
  std::error_code ignored;  // a folder we cannot create shows up as a clear error at the first write
  fs::create_directories(folder, ignored);
  return folder;
}

fs::path KeyFolder() {
  return ProgramFolder() / "Key";
}

fs::path SettingsFile() {
  return ConfigHome() / "Tessaly" / "Corvane.ini";
}

}  // namespace corvane
