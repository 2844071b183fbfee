#include "platform/unlha32/MemberReader.h"

#include <algorithm>
#include <vector>

#include "platform/unlha32/Crc16.h"
#include "platform/unlha32/LhaArchive.h"
#include "platform/unlha32/LhaMethod.h"
#include "platform/unlha32/unlha32.h"

namespace corvane::lha {

int TMemberReader::Open(const std::string& archivePath, const std::string& name) {
  if (!file_.Open(archivePath)) return UNLHA_ERROR_FILE_OPEN;
  return Open(file_, name);
}

int TMemberReader::Open(const TByteSource& archive, const std::string& name) {
  std::vector<TMember> members;
  if (const int status = ScanArchive(archive, members)) return status;
  const auto named = [&name](const TMember& m) {
    return m.nameDecoded && !m.IsDirectory() && m.name == name;
  };
  const auto found = std::find_if(members.begin(), members.end(), named);
  if (found == members.end()) return UNLHA_ERROR_NOT_FOUND;
  if (found->IsSymlink()) return UNLHA_ERROR_UNSAFE_NAME;
  const TMethod* method = FindMethod(found->method);
  if (!method || method->dictionaryBits != 0) return UNLHA_ERROR_METHOD;
  if (found->compressedSize != found->originalSize) return UNLHA_ERROR_BROKEN_DATA;
  member_ = std::move(*found);
  source_ = &archive;
  return 0;
}

int TMemberReader::Read(uint8_t* buffer, size_t size, size_t& got) {
  got = static_cast<size_t>(std::min<uint64_t>(size, member_.originalSize - done_));
  if (got > 0) {
    if (!source_->ReadAt(member_.dataOffset + done_, buffer, got)) {
      got = 0;
      return UNLHA_ERROR_FILE_OPEN;
    }
    crc_ = Crc16(crc_, buffer, got);
    done_ += got;
  }
  // Every read at the end answers the mismatch, so a caller cannot miss it (nor an empty member's).
  return done_ == member_.originalSize && crc_ != member_.crc ? UNLHA_ERROR_CRC : 0;
}

}  // namespace corvane::lha
