#include "archive/Tar32.h"

#include "archive/ArchiverDll.h"

namespace corvane {

TTar32::TTar32() {
  TTar32::LoadDLL();
}

void TTar32::LoadDLL() {
  binding_ = LoadSharedArchiverDll("tar/tgz/taz/bz2 形式書庫", "TAR32.DLL", "Tar");
}

int TTar32::Compress(TWindowHandle owner, const std::string& archiveName, std::string& outputBuffer,
                     bool useResponseFile, const TFileItems& files, const std::string& baseDirectory,
                     const TArchiverOptions& options) {
  return RunLetter("a", owner, archiveName, outputBuffer, useResponseFile, files, baseDirectory, options);
}

int TTar32::BuildSelfExtractor(TWindowHandle owner, const std::string& archiveName, std::string& outputBuffer,
                               const std::string& target, const TArchiverOptions& options) {
  RequireSfxStub("TAR", target, "kmtarsef.exe");
  return RunSelfExtractor(owner, archiveName, outputBuffer, target, options);
}

int TTar32::ExpandToMemory(TWindowHandle owner, const std::string& archiveName,
                           const TArchiverOptions& options, const std::string& entryName, void* buffer,
                           std::uint32_t bufferSize, std::uint64_t* fileTime, std::uint32_t* attributes,
                           std::uint32_t* writeSize) {
  return ExtractEntryToMemory(owner, archiveName, options, entryName, buffer, bufferSize, fileTime,
                              attributes, writeSize);
}

int TBZ232::BuildSelfExtractor(TWindowHandle, const std::string&, std::string&, const std::string&,
                               const TArchiverOptions&) {
  throw EArchiver("BZ2 形式書庫は自己解凍形式にできません。");
}

}  // namespace corvane
