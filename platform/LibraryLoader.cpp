#include "platform/LibraryLoader.h"

#include <dlfcn.h>
#include <link.h>

#include <cctype>
#include <system_error>

namespace corvane {

std::filesystem::path ExecutableFolder() {
  std::error_code error;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::current_path() : exe.parent_path();
}

std::string LinuxLibraryName(const std::string& dllName) {
  std::string stem = dllName;
  const auto dot = stem.rfind('.');
  if (dot != std::string::npos) stem.erase(dot);
  for (auto& c : stem) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return "lib" + stem + ".so";
}

namespace {
std::filesystem::path& SearchFolderOverride() {
  static std::filesystem::path folder;
  return folder;
}
}  // namespace

void SetLibrarySearchFolder(const std::filesystem::path& folder) {
  SearchFolderOverride() = folder;
}

const std::filesystem::path& LibrarySearchFolder() {
  return SearchFolderOverride();
}

TSharedLibrary::~TSharedLibrary() {
  Unload();
}

bool TSharedLibrary::Load(const std::string& fileName) {
  Unload();
  const bool overridden = !SearchFolderOverride().empty();
  const auto local = (overridden ? SearchFolderOverride() : ExecutableFolder()) / fileName;
  std::error_code missing;
  if (std::filesystem::exists(local, missing)) handle_ = dlopen(local.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_ && !overridden && fileName.find('/') == std::string::npos)
    handle_ = dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) return false;

  // The module's full path, as the dynamic loader resolved it.
  link_map* map = nullptr;
  if (dlinfo(handle_, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name && *map->l_name)
    path_ = map->l_name;
  else
    path_ = fileName;
  return true;
}

void TSharedLibrary::Unload() {
  if (handle_) dlclose(handle_);
  handle_ = nullptr;
  path_.clear();
}

void* TSharedLibrary::Symbol(const char* name) const {
  return handle_ ? dlsym(handle_, name) : nullptr;
}

}  // namespace corvane
