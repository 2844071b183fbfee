#pragma once
// Loading of archiver libraries by file name: dlopen/dlsym with exact export names.
// A library is looked for first in the running executable's folder, then on the system's library path.

#include <filesystem>
#include <string>

namespace corvane {

// The running executable's folder (from /proc/self/exe).
std::filesystem::path ExecutableFolder();

// The Linux file name of a library the desktop platform names "NAME.DLL": "libname.so".
std::string LinuxLibraryName(const std::string& dllName);

// Makes libraries be looked for only in this folder (tests point it at folders of stand-in libraries);
// an empty path restores the usual search: the executable's folder, then the system's library path.
void SetLibrarySearchFolder(const std::filesystem::path& folder);
const std::filesystem::path& LibrarySearchFolder();

class TSharedLibrary {
 public:
  TSharedLibrary() = default;
  ~TSharedLibrary();
  TSharedLibrary(const TSharedLibrary&) = delete;
  TSharedLibrary& operator=(const TSharedLibrary&) = delete;

  // Loads the library "fileName" (a Linux file name such as "libunlha32.so"); false when it is not found
  // or cannot be loaded. Any library already held is unloaded first.
  bool Load(const std::string& fileName);
  void Unload();
  bool Loaded() const { return handle_ != nullptr; }
  // The export with exactly this name, or nullptr.
  void* Symbol(const char* name) const;
  // The full path of the loaded module ("" when nothing is loaded).
  const std::string& Path() const { return path_; }

 private:
  void* handle_ = nullptr;
  std::string path_;
};

}  // namespace corvane
