#pragma once
// Random-access input for the archive reader: an archive file or a block of memory. Reads never go past
// the end; a short read is reported, not filled.

#include <cstddef>
#include <cstdint>
#include <string>

namespace corvane::lha {

class TByteSource {
 public:
  virtual ~TByteSource() = default;
  virtual uint64_t Size() const = 0;
  // Reads exactly `size` bytes at `offset`; false when they are not all there.
  virtual bool ReadAt(uint64_t offset, void* buffer, size_t size) const = 0;
};

class TMemorySource final : public TByteSource {
 public:
  TMemorySource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint64_t Size() const override { return size_; }
  bool ReadAt(uint64_t offset, void* buffer, size_t size) const override;

 private:
  const uint8_t* data_;
  size_t size_;
};

class TFileSource final : public TByteSource {
 public:
  TFileSource() = default;
  ~TFileSource() override;
  TFileSource(const TFileSource&) = delete;
  TFileSource& operator=(const TFileSource&) = delete;
  // Opens a regular file for reading; false when it cannot be opened or is not a regular file.
  bool Open(const std::string& path);
  uint64_t Size() const override { return size_; }
  bool ReadAt(uint64_t offset, void* buffer, size_t size) const override;

 private:
  int fd_ = -1;
  uint64_t size_ = 0;
};

}  // namespace corvane::lha
