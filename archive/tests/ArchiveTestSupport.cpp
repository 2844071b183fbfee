#include "archive/tests/ArchiveTestSupport.h"

#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <ctime>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "archive/ArchiverDll.h"
#include "platform/LibraryLoader.h"

namespace corvane::test {

TempDir::TempDir() {
  std::random_device device;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const auto candidate = fs::temp_directory_path() / ("corvane-archive-" + std::to_string(device()));
    if (fs::create_directory(candidate)) {
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("no temporary folder");
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

void WriteFile(const fs::path& path, const std::string& content) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << content;
  if (!file) throw std::runtime_error("cannot write " + path.string());
}

std::string ReadFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

void SetLocalWriteTime(const fs::path& path, int year, int month, int day, int hour, int minute, int second) {
  std::tm local{};
  local.tm_year = year - 1900;
  local.tm_mon = month - 1;
  local.tm_mday = day;
  local.tm_hour = hour;
  local.tm_min = minute;
  local.tm_sec = second;
  local.tm_isdst = -1;
  const std::time_t when = std::mktime(&local);
  utimbuf times{when, when};
  if (utime(path.c_str(), &times) != 0) throw std::runtime_error("cannot set the time of " + path.string());
}

void UseLibraryFolder(const fs::path& folder) {
  ReleaseArchiverDlls();
  SetLibrarySearchFolder(folder);
}

void ResetLibraries() {
  ReleaseArchiverDlls();
  SetLibrarySearchFolder({});
}

fs::path FakeFolder(const std::string& variant) {
  return fs::path(ARCHIVE_FAKES_DIR) / variant;
}

fs::path NoLibraryFolder() {
  const auto folder = fs::path(ARCHIVE_FAKES_DIR) / "none";
  fs::create_directories(folder);
  return folder;
}

fs::path RealLibraryFolder() {
  return fs::path(UNLHA32_DIR);
}

bool RealLibraryBuilt() {
  return fs::exists(RealLibraryFolder() / "libunlha32.so");
}

FakeLibrary::FakeLibrary(const std::string& variant) {
  const auto path = FakeFolder(variant) / "libunlha32.so";
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) throw std::runtime_error("cannot load " + path.string());
}

FakeLibrary::~FakeLibrary() {
  dlclose(handle_);
}

void FakeLibrary::Reset() const {
  Get<void (*)()>("FakeReset")();
}
std::string FakeLibrary::LastCommand() const {
  return Get<const char* (*)()>("FakeLastCommand")();
}
void* FakeLibrary::LastOutput() const {
  return Get<void* (*)()>("FakeLastOutput")();
}
std::uint32_t FakeLibrary::LastOutputSize() const {
  return Get<std::uint32_t (*)()>("FakeLastOutputSize")();
}
int FakeLibrary::CommandCalls() const {
  return Get<int (*)()>("FakeCommandCalls")();
}
std::string FakeLibrary::OpenedPath() const {
  return Get<const char* (*)()>("FakeOpenedPath")();
}
void* FakeLibrary::RegisteredOwner() const {
  return Get<void* (*)()>("FakeRegisteredOwner")();
}
int FakeLibrary::OpenListings() const {
  return Get<int (*)()>("FakeOpenListings")();
}
void FakeLibrary::SetStatus(int status) const {
  Get<void (*)(int)>("FakeSetStatus")(status);
}

}  // namespace corvane::test
