#include "platform/unlha32/TempFile.h"

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "platform/unlha32/MemberName.h"

namespace corvane::lha {
namespace {

// The dot in front and ".XXXXXXXX.tmp" behind the final name.
constexpr size_t kDecoration = 1 + 13;

// The longest name the folder takes (NAME_MAX: 255 bytes on most file systems, fewer on some).
size_t LongestName(const std::string& dir) {
  const long longest = ::pathconf(dir.empty() ? "." : dir.c_str(), _PC_NAME_MAX);
  return longest > 0 ? static_cast<size_t>(longest) : 255;
}

}  // namespace

TTempFile::~TTempFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!path_.empty()) ::unlink(path_.c_str());
}

bool TTempFile::Create(const std::string& finalPath) {
  const size_t slash = finalPath.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string() : finalPath.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? finalPath : finalPath.substr(slash + 1);
  // The temporary name keeps as much of the final one as leaves room for the decoration, so any final
  // name the folder takes also gets a temporary name it takes.
  const size_t longest = LongestName(dir);
  size_t keep = std::min(base.size(), longest > kDecoration ? longest - kDecoration : 0);
  for (int attempt = 0; attempt < 16; ++attempt) {
    unsigned int r = 0;
    if (::getrandom(&r, sizeof r, 0) != static_cast<ssize_t>(sizeof r))
      r ^= static_cast<unsigned>(::getpid()) * 2654435761u + static_cast<unsigned>(attempt);
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".%08x.tmp", r);
    const std::string path = dir + "." + Utf8Prefix(base, keep) + suffix;
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ >= 0) {
      path_ = path;
      return true;
    }
    error_ = errno;
    // A file system that takes fewer bytes than it says: try again with a shorter name.
    if (error_ == ENAMETOOLONG && keep > 0) {
      keep /= 2;
      continue;
    }
    if (error_ != EEXIST) return false;
  }
  return false;
}

bool TTempFile::Commit(const std::string& finalPath) {
  if (fd_ < 0) return false;
  const bool closed = ::close(fd_) == 0;
  if (!closed) error_ = errno;
  fd_ = -1;
  // Without an fsync the rename still never exposes a partial file to a crashing process; ext4 and
  // similar file systems also order the data before the rename that replaces an existing file.
  if (!closed) return false;
  if (::rename(path_.c_str(), finalPath.c_str()) != 0) {
    error_ = errno;
    return false;
  }
  path_.clear();
  return true;
}

}  // namespace corvane::lha
