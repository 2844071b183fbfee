#include "symmetric/Streams.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>

#include "common/FileErrors.h"

namespace corvane {

namespace {

int OpenFlags(TFileMode mode) {
  switch (mode) {
    case TFileMode::fmOpenRead:
      return O_RDONLY;
    case TFileMode::fmCreate:
      return O_WRONLY | O_CREAT | O_TRUNC;
    case TFileMode::fmOpenWrite:
      return O_WRONLY;
  }
  return O_RDONLY;
}

}  // namespace

TFileStream::TFileStream(const std::filesystem::path& path, TFileMode mode) : fPath(path) {
  do fHandle = ::open(path.c_str(), OpenFlags(mode) | O_CLOEXEC, 0600);
  while (fHandle < 0 && errno == EINTR);
  if (fHandle < 0) Fail(mode == TFileMode::fmCreate ? TFileAction::faCreate : TFileAction::faOpen);
  struct stat info;
  if (::fstat(fHandle, &info) == 0 && S_ISDIR(info.st_mode)) {
    ::close(fHandle);
    fHandle = -1;
    errno = EISDIR;
    Fail(TFileAction::faOpen);
  }
}

TFileStream::~TFileStream() {
  if (fHandle >= 0) ::close(fHandle);
}

void TFileStream::Fail(TFileAction action) const {
  ThrowFileError(action, fPath, errno);
}

std::size_t TFileStream::Read(void* buffer, std::size_t count) {
  auto* p = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    const ssize_t got = ::read(fHandle, p + done, count - done);
    if (got < 0) {
      if (errno == EINTR) continue;
      Fail(TFileAction::faRead);
    }
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  fPosition += done;
  return done;
}

void TFileStream::Write(const void* buffer, std::size_t count) {
  const auto* p = static_cast<const char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    const ssize_t put = ::write(fHandle, p + done, count - done);
    if (put < 0) {
      if (errno == EINTR) continue;
      Fail(TFileAction::faWrite);
    }
    done += static_cast<std::size_t>(put);
    fPosition += static_cast<std::size_t>(put);
  }
}

uint64_t TFileStream::Size() const {
  struct stat info;
  if (::fstat(fHandle, &info) != 0) Fail(TFileAction::faSize);
  return static_cast<uint64_t>(info.st_size);
}

uint64_t TFileStream::Position() const {
  return fPosition;
}

void TFileStream::Seek(uint64_t position) {
  if (position > static_cast<uint64_t>(std::numeric_limits<off_t>::max())) {
    errno = EINVAL;
    Fail(TFileAction::faSeek);
  }
  if (::lseek(fHandle, static_cast<off_t>(position), SEEK_SET) < 0) Fail(TFileAction::faSeek);
  fPosition = position;
}

void TFileStream::Reserve(uint64_t size) {
  const auto limit = static_cast<uint64_t>(std::numeric_limits<off_t>::max());
  if (size == 0 || fPosition > limit || size > limit - fPosition) return;
  ::fallocate(fHandle, FALLOC_FL_KEEP_SIZE, static_cast<off_t>(fPosition), static_cast<off_t>(size));
}

void TFileStream::Sync() {
  if (::fsync(fHandle) != 0) Fail(TFileAction::faWrite);
}

void TFileStream::Close() {
  if (fHandle < 0) return;
  const int handle = fHandle;
  fHandle = -1;
  if (::close(handle) != 0 && errno != EINTR) Fail(TFileAction::faWrite);
}

std::size_t TMemoryStream::Read(void* buffer, std::size_t count) {
  if (fPosition >= fData.size()) return 0;
  const std::size_t available = fData.size() - static_cast<std::size_t>(fPosition);
  const std::size_t n = count < available ? count : available;
  std::memcpy(buffer, fData.data() + fPosition, n);
  fPosition += n;
  return n;
}

void TMemoryStream::Write(const void* buffer, std::size_t count) {
  if (count == 0) return;
  const auto at = static_cast<std::size_t>(fPosition);
  if (fData.size() < at + count) fData.resize(at + count);
  std::memcpy(fData.data() + at, buffer, count);
  fPosition += count;
}

void TMemoryStream::Seek(uint64_t position) {
  if (position > fData.max_size()) throw EFileError("メモリ上のデータの範囲を超えた位置には移せません。");
  fPosition = position;
}

}  // namespace corvane
