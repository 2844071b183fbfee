#pragma once
// LHA member headers: reading levels 0, 1 and 2, writing level 2.

#include <cstdint>
#include <string>

#include "platform/unlha32/ByteSource.h"

namespace corvane::lha {

struct TMember {
  std::string name;         // UTF-8 path with '/' separators (directory entries without trailing '/')
  bool nameDecoded = true;  // false: the stored bytes fit no encoding, `name` shows them with U+FFFD
  std::string method;       // five characters, e.g. "-lh5-"
  uint64_t compressedSize = 0;
  uint64_t originalSize = 0;
  int64_t unixTime = 0;   // last write, seconds since 1970 UTC
  uint32_t dosStamp = 0;  // last write as MS-DOS date (high half) and time (low half), local time
  uint16_t crc = 0;
  uint8_t os = 0;
  uint8_t level = 0;
  bool hasMode = false;
  uint16_t mode = 0;  // Unix st_mode bits (type and permissions)
  bool hasWindowsTimes = false;
  uint64_t createTime = 0, writeTime = 0, accessTime = 0;  // FILETIME
  uint64_t headerOffset = 0;
  uint64_t dataOffset = 0;  // first byte after the header; the member occupies [headerOffset, DataEnd())

  bool IsDirectory() const { return method == "-lhd-"; }
  bool IsSymlink() const { return hasMode && (mode & 0170000) == 0120000; }
  uint64_t DataEnd() const { return dataOffset + compressedSize; }
};

enum class THeaderResult { kMember, kEnd, kDamaged };

// Reads the header at `offset`. kEnd for the end-of-archive byte or the end of the input; kDamaged for
// anything malformed, including data that would run past the end of the input.
THeaderResult ReadHeader(const TByteSource& source, uint64_t offset, TMember& member);

// A level-2 header for `member` (name, method, sizes, crc, unixTime, mode). The name is stored as
// EncodeName gives it, with a code-page record.
std::string BuildLevel2Header(const TMember& member);

// Time conversions used by headers and listings.
uint64_t UnixToFileTime(int64_t unixTime);
uint32_t UnixToDosStamp(int64_t unixTime);  // local time
int64_t DosStampToUnix(uint32_t stamp);     // local time

}  // namespace corvane::lha
