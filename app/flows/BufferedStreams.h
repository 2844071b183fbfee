#pragma once
// File streams with a large buffer in front of the descriptor. The cipher layer reads and writes in pieces
// of 8 KiB; gathering them into 1 MiB reads and writes saves most of the system calls on large files.
// The bytes read and written are exactly those of an unbuffered stream.

#include <filesystem>
#include <string>

#include "symmetric/Streams.h"

namespace corvane {

// Reads a file sequentially through the buffer.
class TBufferedFileReader : public TStream {
 public:
  explicit TBufferedFileReader(const std::filesystem::path& path);

  std::size_t Read(void* buffer, std::size_t count) override;
  void Write(const void* buffer, std::size_t count) override;  // raises EFileError: read-only
  uint64_t Size() const override { return fFile.Size(); }
  uint64_t Position() const override { return fPosition; }
  void Seek(uint64_t position) override;

 private:
  TFileStream fFile;
  std::string fBuffer;
  std::size_t fStart = 0, fEnd = 0;  // unread bytes of the buffer
  uint64_t fPosition = 0;
};

// Writes a file sequentially through the buffer: a new file (mode 0600) with fmCreate, an existing one
// from its start, not truncated, with fmOpenWrite. Close() writes what is left and reports any failure;
// destroying the stream without Close() drops the unwritten rest.
class TBufferedFileWriter : public TStream {
 public:
  explicit TBufferedFileWriter(const std::filesystem::path& path, TFileMode mode = TFileMode::fmCreate);

  std::size_t Read(void* buffer, std::size_t count) override;  // raises EFileError: write-only
  void Write(const void* buffer, std::size_t count) override;
  uint64_t Size() const override;
  uint64_t Position() const override { return fFile.Position() + fBuffer.size(); }
  void Seek(uint64_t position) override;
  void Close();

 private:
  void Flush();

  TFileStream fFile;
  std::string fBuffer;
};

}  // namespace corvane
