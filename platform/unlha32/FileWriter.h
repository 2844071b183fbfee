#pragma once
// Buffered output to a file descriptor that can go back to rewrite a header or cut off a tail.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/unlha32/Sink.h"

namespace corvane::lha {

class TFileWriter final : public TSink {
 public:
  explicit TFileWriter(int fd) : fd_(fd) { buffer_.reserve(kBufferSize); }
  ~TFileWriter() override = default;
  // UNLHA_ERROR_WRITE on failure.
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
  int fd_;
  uint64_t position_ = 0;  // bytes already handed to the kernel
  uint64_t reservedEnd_ = 0;
  std::vector<uint8_t> buffer_;
};

}  // namespace corvane::lha
