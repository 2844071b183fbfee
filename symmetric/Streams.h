#pragma once
// Byte streams the cipher layer reads and writes: a small interface, a file implementation over a POSIX
// descriptor and an in-memory one. Positions and sizes are 64-bit, so files of any size stream whole.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "common/Exception.h"
#include "common/FileErrors.h"

namespace corvane {

// Called after each piece with the bytes done so far and the total; returning false cancels the work,
// which then throws ECancelled.
using TStreamProgress = std::function<bool(uint64_t done, uint64_t total)>;

class ECancelled : public Exception {
 public:
  ECancelled() : Exception("処理を中止しました。") {}
};

class TStream {
 public:
  virtual ~TStream() = default;

  // Reads up to `count` bytes at the current position. Returns fewer only at the end of the stream, so a
  // short read always means the end was reached. Throws EFileError on a read error.
  virtual std::size_t Read(void* buffer, std::size_t count) = 0;
  // Writes all `count` bytes at the current position or throws EFileError.
  virtual void Write(const void* buffer, std::size_t count) = 0;
  virtual uint64_t Size() const = 0;
  virtual uint64_t Position() const = 0;
  virtual void Seek(uint64_t position) = 0;
};

enum class TFileMode {
  fmOpenRead,   // an existing file, read-only
  fmCreate,     // created or truncated, write-only; mode 0600 when created
  fmOpenWrite,  // an existing file, write-only, not truncated
};

class TFileStream : public TStream {
 public:
  TFileStream(const std::filesystem::path& path, TFileMode mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  std::size_t Read(void* buffer, std::size_t count) override;
  void Write(const void* buffer, std::size_t count) override;
  uint64_t Size() const override;
  uint64_t Position() const override;
  void Seek(uint64_t position) override;

  // Tells the file system that `size` more bytes are coming from the current position, so it allocates
  // their blocks in one step rather than page by page as they are written. Only a hint: nothing is
  // reported and the file's size does not change.
  void Reserve(uint64_t size);
  // Flushes written data to the device; throws EFileError when the system reports a failure.
  void Sync();
  // Closes the descriptor, reporting a deferred write error that a silent close would lose.
  void Close();
  const std::filesystem::path& Path() const { return fPath; }

 private:
  [[noreturn]] void Fail(TFileAction action) const;

  std::filesystem::path fPath;
  int fHandle = -1;
  uint64_t fPosition = 0;
};

// A growable byte string as a stream; writing past the end extends it.
class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::string data) : fData(std::move(data)) {}

  std::size_t Read(void* buffer, std::size_t count) override;
  void Write(const void* buffer, std::size_t count) override;
  uint64_t Size() const override { return fData.size(); }
  uint64_t Position() const override { return fPosition; }
  void Seek(uint64_t position) override;

  const std::string& Data() const { return fData; }

 private:
  std::string fData;
  uint64_t fPosition = 0;
};

}  // namespace corvane
