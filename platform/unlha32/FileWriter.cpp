#include "platform/unlha32/FileWriter.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>

#include "platform/unlha32/unlha32.h"

namespace corvane::lha {
namespace {

// The file-size limit of the process. A write past it would raise SIGXFSZ, which ends the whole process
// unless the caller ignores it, so the writer stops short of it and reports a full disk instead.
uint64_t FileSizeLimit() {
  struct rlimit limit {};
  if (::getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
    return std::numeric_limits<uint64_t>::max();
  return static_cast<uint64_t>(limit.rlim_cur);
}

// Writes all of `size` bytes, going on after short and interrupted writes.
int WriteAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return WriteFailure(errno);
    if (n == 0) return UNLHA_ERROR_WRITE;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return 0;
}

}  // namespace

int WriteFailure(int error) {
  return error == ENOSPC || error == EDQUOT || error == EFBIG ? UNLHA_ERROR_DISK_FULL : UNLHA_ERROR_WRITE;
}

TFileWriter::TFileWriter(int fd) : fd_(fd), limit_(FileSizeLimit()) {
  buffer_.reserve(kBufferSize);
}

bool TFileWriter::Fits(uint64_t offset, size_t size) const {
  return offset <= limit_ && size <= limit_ - offset;
}

int TFileWriter::Write(const uint8_t* data, size_t size) {
  if (buffer_.size() + size > kBufferSize) {
    if (const int status = Flush()) return status;
    if (size >= kBufferSize) {
      if (!Fits(position_, size)) return UNLHA_ERROR_DISK_FULL;
      if (const int status = WriteAll(fd_, data, size)) return status;
      position_ += size;
      return 0;
    }
  }
  // Past the size limit the data could never be written: say so now, not a buffer later.
  if (!Fits(position_, buffer_.size() + size)) return UNLHA_ERROR_DISK_FULL;
  buffer_.insert(buffer_.end(), data, data + size);
  return 0;
}

int TFileWriter::Flush() {
  if (buffer_.empty()) return 0;
  if (const int status = WriteAll(fd_, buffer_.data(), buffer_.size())) return status;
  position_ += buffer_.size();
  buffer_.clear();
  return 0;
}

int TFileWriter::WriteAt(uint64_t offset, const std::string& data) {
  if (const int status = Flush()) return status;
  if (!Fits(offset, data.size())) return UNLHA_ERROR_DISK_FULL;
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n =
        ::pwrite(fd_, data.data() + done, data.size() - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return WriteFailure(errno);
    if (n == 0) return UNLHA_ERROR_WRITE;
    done += static_cast<size_t>(n);
  }
  return 0;
}

int TFileWriter::Truncate(uint64_t offset) {
  if (const int status = Flush()) return status;
  if (::ftruncate(fd_, static_cast<off_t>(offset)) != 0 ||
      ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0)
    return UNLHA_ERROR_WRITE;
  position_ = offset;
  return 0;
}

void TFileWriter::Reserve(uint64_t size) {
  // Small files gain nothing worth a system call; nothing is reserved past the file-size limit.
  const uint64_t from = Position();
  if (size < (1 << 20) || !Fits(from, size)) return;
  if (::fallocate(fd_, FALLOC_FL_KEEP_SIZE, static_cast<off_t>(from), static_cast<off_t>(size)) == 0)
    reservedEnd_ = std::max(reservedEnd_, from + size);
}

int TFileWriter::TrimReserve() {
  if (const int status = Flush()) return status;
  if (reservedEnd_ <= position_) return 0;
  reservedEnd_ = 0;
  return ::ftruncate(fd_, static_cast<off_t>(position_)) == 0 ? 0 : UNLHA_ERROR_WRITE;
}

}  // namespace corvane::lha
