#include "platform/unlha32/TempFile.h"

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace corvane::lha {

TTempFile::~TTempFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!path_.empty()) ::unlink(path_.c_str());
}

bool TTempFile::Create(const std::string& finalPath) {
  const size_t slash = finalPath.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string() : finalPath.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? finalPath : finalPath.substr(slash + 1);
  for (int attempt = 0; attempt < 16; ++attempt) {
    unsigned int r = 0;
    if (::getrandom(&r, sizeof r, 0) != static_cast<ssize_t>(sizeof r))
      r ^= static_cast<unsigned>(::getpid()) * 2654435761u + static_cast<unsigned>(attempt);
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".%08x.tmp", r);
    const std::string path = dir + "." + base.substr(0, 200) + suffix;
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ >= 0) {
      path_ = path;
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

bool TTempFile::Commit(const std::string& finalPath) {
  if (fd_ < 0) return false;
  const bool closed = ::close(fd_) == 0;
  fd_ = -1;
  // Without an fsync the rename still never exposes a partial file to a crashing process; ext4 and
  // similar file systems also order the data before the rename that replaces an existing file.
  if (!closed || ::rename(path_.c_str(), finalPath.c_str()) != 0) return false;
  path_.clear();
  return true;
}

}  // namespace corvane::lha
