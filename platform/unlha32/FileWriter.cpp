#include "platform/unlha32/FileWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/unlha32/unlha32.h"

namespace corvane::lha {
namespace {

// Writes all of `size` bytes, going on after short and interrupted writes; false on failure.
bool WriteAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

int TFileWriter::Write(const uint8_t* data, size_t size) {
  if (buffer_.size() + size > kBufferSize) {
    if (const int status = Flush()) return status;
    if (size >= kBufferSize) {
      if (!WriteAll(fd_, data, size)) return UNLHA_ERROR_WRITE;
      position_ += size;
      return 0;
    }
  }
  buffer_.insert(buffer_.end(), data, data + size);
  return 0;
}

int TFileWriter::Flush() {
  if (buffer_.empty()) return 0;
  if (!WriteAll(fd_, buffer_.data(), buffer_.size())) return UNLHA_ERROR_WRITE;
  position_ += buffer_.size();
  buffer_.clear();
  return 0;
}

int TFileWriter::WriteAt(uint64_t offset, const std::string& data) {
  if (const int status = Flush()) return status;
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n =
        ::pwrite(fd_, data.data() + done, data.size() - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return UNLHA_ERROR_WRITE;
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
  // Small files gain nothing worth a system call.
  if (size < (1 << 20)) return;
  const uint64_t from = Position();
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
