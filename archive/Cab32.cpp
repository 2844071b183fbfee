#include "archive/Cab32.h"

#include "archive/ArchiverDll.h"

namespace corvane {

TCab32::TCab32() {
  TCab32::LoadDLL();
}

void TCab32::LoadDLL() {
  binding_ = LoadSharedArchiverDll("CAB 形式書庫", "CAB32.DLL", "Cab");
}

int TCab32::Compress(TWindowHandle owner, const std::string& archiveName, std::string& outputBuffer,
                     bool useResponseFile, const TFileItems& files, const std::string& baseDirectory,
                     const TArchiverOptions& options) {
  return RunLetter("a", owner, archiveName, outputBuffer, useResponseFile, files, baseDirectory, options);
}

int TCab32::BuildSelfExtractor(TWindowHandle owner, const std::string& archiveName, std::string& outputBuffer,
                               const std::string& target, const TArchiverOptions& options) {
  return RunSelfExtractor(owner, archiveName, outputBuffer, target, options);
}

int TCab32::ExpandToMemory(TWindowHandle owner, const std::string& archiveName,
                           const TArchiverOptions& options, const std::string& entryName, void* buffer,
                           std::uint32_t bufferSize, std::uint64_t* fileTime, std::uint32_t* attributes,
                           std::uint32_t* writeSize) {
  return ExtractEntryToMemory(owner, archiveName, options, entryName, buffer, bufferSize, fileTime,
                              attributes, writeSize);
}

}  // namespace corvane
