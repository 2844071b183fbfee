#include "archive/Bga32.h"

#include "archive/ArchiverDll.h"

namespace corvane {

TBGA32::TBGA32() {
  TBGA32::LoadDLL();
}

void TBGA32::LoadDLL() {
  binding_ = LoadSharedArchiverDll("BGA 形式書庫", "BGA32.DLL", "Bga");
}

int TBGA32::Compress(TWindowHandle owner, const std::string& archiveName, std::string& outputBuffer,
                     bool useResponseFile, const TFileItems& files, const std::string& baseDirectory,
                     const TArchiverOptions& options) {
  return RunLetter("a", owner, archiveName, outputBuffer, useResponseFile, files, baseDirectory, options);
}

int TBGA32::Remove(TWindowHandle owner, const std::string& archiveName, std::string& outputBuffer,
                   bool useResponseFile, const TFileItems& files, const std::string&,
                   const TArchiverOptions& options) {
  return RunLetter("d", owner, archiveName, outputBuffer, useResponseFile, files, "", options);
}

int TBGA32::BuildSelfExtractor(TWindowHandle owner, const std::string& archiveName, std::string& outputBuffer,
                               const std::string& target, const TArchiverOptions& options) {
  return RunSelfExtractor(owner, archiveName, outputBuffer, target, options);
}

}  // namespace corvane
