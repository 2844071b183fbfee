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

 private:
  static constexpr size_t kBufferSize = 1 << 18;
  int fd_;
  uint64_t position_ = 0;  // bytes already handed to the kernel
  std::vector<uint8_t> buffer_;
};

}  // namespace corvane::lha
