#include "platform/unlha32/ByteSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace corvane::lha {

bool TMemorySource::ReadAt(uint64_t offset, void* buffer, size_t size) const {
  if (offset > size_ || size > size_ - offset) return false;
  if (size) std::memcpy(buffer, data_ + offset, size);
  return true;
}

TFileSource::~TFileSource() {
  if (fd_ >= 0) ::close(fd_);
}

bool TFileSource::Open(const std::string& path) {
  // Without O_NONBLOCK, opening a named pipe would wait for a writer; regular files ignore the flag.
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd_ < 0) return false;
  struct stat st {};
  if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    return false;
  }
  size_ = static_cast<uint64_t>(st.st_size);
  return true;
}

bool TFileSource::ReadAt(uint64_t offset, void* buffer, size_t size) const {
  if (fd_ < 0 || offset > size_ || size > size_ - offset) return false;
  auto* out = static_cast<uint8_t*>(buffer);
  while (size > 0) {
    const ssize_t n = ::pread(fd_, out, size, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    out += n;
    offset += static_cast<uint64_t>(n);
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace corvane::lha
