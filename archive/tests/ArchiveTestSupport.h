#pragma once
// Helpers shared by the archive tests: temporary folders, the current directory, and the stand-in
// archiver libraries of bin/archive-fakes/.

#include <dlfcn.h>

#include <cstdint>
#include <filesystem>
#include <string>

namespace corvane::test {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const fs::path& Path() const { return path_; }
  fs::path operator/(const std::string& name) const { return path_ / name; }

 private:
  fs::path path_;
};

// Makes a folder current for its lifetime.
class CurrentDirectory {
 public:
  explicit CurrentDirectory(const fs::path& folder) : saved_(fs::current_path()) { fs::current_path(folder); }
  ~CurrentDirectory() { fs::current_path(saved_); }
  CurrentDirectory(const CurrentDirectory&) = delete;
  CurrentDirectory& operator=(const CurrentDirectory&) = delete;

 private:
  fs::path saved_;
};

void WriteFile(const fs::path& path, const std::string& content);
std::string ReadFile(const fs::path& path);
// Sets a file's last-write time from a local wall-clock time.
void SetLocalWriteTime(const fs::path& path, int year, int month, int day, int hour, int minute, int second);

// Forgets every program-wide library binding and makes libraries be looked for only in the folder.
void UseLibraryFolder(const fs::path& folder);
// Back to the usual library search, with no bindings left.
void ResetLibraries();

// The folder of one stand-in library variant: "complete", "no-write-time", "no-find-next".
fs::path FakeFolder(const std::string& variant);
// An empty folder: no library can be found in it.
fs::path NoLibraryFolder();
// The folder of the real LHA library, and whether it has been built.
fs::path RealLibraryFolder();
bool RealLibraryBuilt();

// The recording exports of the stand-in library currently loaded from a variant folder.
class FakeLibrary {
 public:
  explicit FakeLibrary(const std::string& variant);
  ~FakeLibrary();
  FakeLibrary(const FakeLibrary&) = delete;
  FakeLibrary& operator=(const FakeLibrary&) = delete;

  void Reset() const;
  std::string LastCommand() const;
  void* LastOutput() const;
  std::uint32_t LastOutputSize() const;
  int CommandCalls() const;
  std::string OpenedPath() const;
  void* RegisteredOwner() const;
  int OpenListings() const;
  void SetStatus(int status) const;

 private:
  template <typename Proc>
  Proc Get(const char* name) const {
    return reinterpret_cast<Proc>(dlsym(handle_, name));
  }
  void* handle_ = nullptr;
};

}  // namespace corvane::test
