#pragma once
// Buffered output to a file descriptor that can go back to rewrite a header or cut off a tail.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/unlha32/Sink.h"

namespace corvane::lha {

// The status for a write, create or close that failed with `error` (an errno value):
// UNLHA_ERROR_DISK_FULL when there is no room (ENOSPC, EDQUOT, EFBIG), else UNLHA_ERROR_WRITE.
int WriteFailure(int error);

class TFileWriter final : public TSink {
 public:
  // `fd` is a new, empty file: positions count from its start.
  explicit TFileWriter(int fd);
  ~TFileWriter() override = default;
  // UNLHA_ERROR_DISK_FULL when there is no room, also when the data would pass the process's file-size
  // limit (checked before writing, so SIGXFSZ is never raised); UNLHA_ERROR_WRITE on other failures.
  int Write(const uint8_t* data, size_t size) override;
  int Write(const std::string& s) { return Write(reinterpret_cast<const uint8_t*>(s.data()), s.size()); }
  int Flush();
  uint64_t Position() const { return position_ + buffer_.size(); }
  // Writes `data` at an earlier offset without moving the end.
  int WriteAt(uint64_t offset, const std::string& data);
  // Drops everything from `offset` on; later writes continue there.
  int Truncate(uint64_t offset);
  // Tells the file system that about `size` more bytes are coming, so it allocates their blocks in one
  // step instead of page by page as they are written (much cheaper on ext4). Only a hint: nothing is
  // reported, the file's size does not change, and what is left over is released by TrimReserve().
  void Reserve(uint64_t size);
  // Releases blocks reserved beyond what was written; 0 or UNLHA_ERROR_WRITE.
  int TrimReserve();

 private:
  static constexpr size_t kBufferSize = 1 << 18;
  // Whether `size` bytes from `offset` stay within the file-size limit.
  bool Fits(uint64_t offset, size_t size) const;

  int fd_;
  uint64_t limit_;         // the process's file-size limit in bytes
  uint64_t position_ = 0;  // bytes already handed to the kernel
  uint64_t reservedEnd_ = 0;
  std::vector<uint8_t> buffer_;
};

}  // namespace corvane::lha
