#pragma once
// File streams with a large buffer in front of the descriptor. The cipher layer reads and writes in pieces
// of 8 KiB; gathering them into 1 MiB reads and writes saves most of the system calls on large files.
// The bytes read and written are exactly those of an unbuffered stream. And whole-file encryption and
// decryption through the pipelined streams, which read and write straight from their own large buffers
// on a second thread beside the cipher.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "symmetric/StreamPipeline.h"
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

// Encrypts a regular file into a new file (mode 0600; an existing one is truncated) under a key text:
// the bytes of EncryptFileStream, with options.payload seeing the ciphertext as it is written (on the
// second thread) and options.progress reporting on the calling thread. Returns the bytes encrypted: the
// source's size when it was opened. A source that shrank or grew meanwhile raises ESourceChanged (with
// the stream layer's message; the flow may replace it with one naming the file). The destination's blocks are
// reserved in one step first; it is not flushed to the device, and on a failure it is left as far as it
// was written (the caller removes it).
uint64_t EncryptFilePipelined(const std::filesystem::path& source, const std::filesystem::path& destination,
                              std::string_view keyText, const TPipelineOptions& options);

// Decrypts a file over itself: each piece is written back only after it was read (the second thread
// reads ahead of its own writing), so no ciphertext is overwritten before it is used. options.payload
// sees the ciphertext as read, before it is decrypted, on the calling thread. Returns the bytes decrypted,
// as above. The mode of the file is not changed.
uint64_t DecryptFileInPlacePipelined(const std::filesystem::path& file, std::string_view keyText,
                                     const TPipelineOptions& options);

}  // namespace corvane
