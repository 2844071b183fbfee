#include "archive/Rar32.h"

#include "archive/ArchiverDll.h"

namespace corvane {

TRar32::TRar32() {
  TRar32::LoadDLL();
}

void TRar32::LoadDLL() {
  binding_ = LoadSharedArchiverDll("RAR 形式書庫", "UNRAR32.DLL", "Unrar");
}

int TRar32::ExpandToMemory(TWindowHandle owner, const std::string& archiveName,
                           const TArchiverOptions& options, const std::string& entryName, void* buffer,
                           std::uint32_t bufferSize, std::uint64_t* fileTime, std::uint32_t* attributes,
                           std::uint32_t* writeSize) {
  return ExtractEntryToMemory(owner, archiveName, options, entryName, buffer, bufferSize, fileTime,
                              attributes, writeSize);
}

}  // namespace corvane
