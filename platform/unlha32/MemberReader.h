#pragma once
// One stored (-lh0-) member read in pieces straight into the caller's buffers, for a caller that
// transforms the bytes on their way (a decryption): no copy of the member is written first. The CRC-16 is
// taken of exactly the bytes handed out and checked when the last of them has been read.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/unlha32/ByteSource.h"
#include "platform/unlha32/LhaHeader.h"

namespace corvane::lha {

class TMemberReader {
 public:
  // Finds the first member whose name (as a listing gives it) is `name`. 0, or UNLHA_ERROR_FILE_OPEN (no
  // readable regular file), UNLHA_ERROR_NOT_ARCHIVE (not an archive, or a damaged header),
  // UNLHA_ERROR_NOT_FOUND (no file of that name), UNLHA_ERROR_UNSAFE_NAME (a symbolic link),
  // UNLHA_ERROR_METHOD (a compressed member) or UNLHA_ERROR_BROKEN_DATA (a stored member whose two sizes
  // differ).
  int Open(const std::string& archivePath, const std::string& name);
  // The same within an archive already open (or in memory), which must outlive the reader.
  int Open(const TByteSource& archive, const std::string& name);
  uint64_t Size() const { return member_.originalSize; }
  // Up to `size` bytes from where the last read ended; `got` is their count, 0 once everything was read.
  // 0, UNLHA_ERROR_FILE_OPEN when the archive cannot be read, or UNLHA_ERROR_CRC (with the last bytes in
  // the buffer) when the member's bytes do not match its CRC.
  int Read(uint8_t* buffer, size_t size, size_t& got);

 private:
  TFileSource file_;
  const TByteSource* source_ = nullptr;
  TMember member_;
  uint64_t done_ = 0;
  uint16_t crc_ = 0;
};

}  // namespace corvane::lha
