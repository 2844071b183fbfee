#include "archive/SZip32.h"

#include "archive/ArchiverDll.h"

namespace corvane {

TSevenZip32::TSevenZip32() {
  TSevenZip32::LoadDLL();
}

void TSevenZip32::LoadDLL() {
  binding_ = LoadSharedArchiverDll("7z 形式書庫", "7-zip32.dll", "SevenZip");
}

int TSevenZip32::Compress(TWindowHandle owner, const std::string& archiveName, std::string& outputBuffer,
                          bool useResponseFile, const TFileItems& files, const std::string& baseDirectory,
                          const TArchiverOptions& options) {
  return RunLetter("a", owner, archiveName, outputBuffer, useResponseFile, files, baseDirectory, options);
}

int TSevenZip32::Remove(TWindowHandle owner, const std::string& archiveName, std::string& outputBuffer,
                        bool useResponseFile, const TFileItems& files, const std::string&,
                        const TArchiverOptions& options) {
  return RunLetter("d", owner, archiveName, outputBuffer, useResponseFile, files, "", options);
}

int TSevenZip32::BuildSelfExtractor(TWindowHandle, const std::string&, std::string&,
                                    const std::string& target, const TArchiverOptions&) {
  if (target == "DOS") throw EArchiver("16bit SFX を作成することはできません。");
  throw ESfxNoRequiredFile("7z", target, "7z.sfx");
}

}  // namespace corvane
