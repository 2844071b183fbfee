#include "archive/Zip32.h"

#include "archive/ArchiverDll.h"

namespace corvane {

namespace {
// The program-wide slot of the ZIP binding, which stands for all three libraries.
constexpr const char* kZipSlot = "UNZIP32.DLL";
}  // namespace

TZip32::TZip32() {
  TZip32::LoadDLL();
}

void TZip32::LoadDLL() {
  auto& slot = ArchiverDllSlot(kZipSlot);
  if (!slot) {
    slot = std::make_shared<TZipDll>();
    slot->Load();
  }
  binding_ = slot;
}

TZipDll& TZip32::Zip() const {
  return static_cast<TZipDll&>(Binding());
}

void TZip32::RequireExpand() const {
  Zip().Load();
  if (!Zip().CanExpand())
    throw EArchiver("ZIP 形式書庫の解凍には UNZIP32.DLL または LMZIP32.DLL が必要です。");
}

void TZip32::RequireCompress() const {
  Zip().Load();
  if (!Zip().CanCompress())
    throw EArchiver("ZIP 形式書庫の作成には ZIP32J.DLL または LMZIP32.DLL が必要です。");
}

int TZip32::RunPackLetter(const std::string& letter, TWindowHandle owner, const std::string& archiveName,
                          std::string& outputBuffer, bool useResponseFile, const TFileItems& files,
                          const std::string& baseDirectory, const TArchiverOptions& options) {
  RequireCompress();
  LastCommand = BuildCommand(letter, archiveName, useResponseFile, files, baseDirectory, options);
  return Zip().RunPackCommand(owner, LastCommand, outputBuffer.data(),
                              static_cast<std::uint32_t>(outputBuffer.size()));
}

int TZip32::Expand(TWindowHandle owner, const std::string& archiveName, std::string& outputBuffer,
                   bool useResponseFile, const TFileItems& files, const std::string& baseDirectory,
                   const TArchiverOptions& options) {
  RequireExpand();
  return RunLetter("x", owner, archiveName, outputBuffer, useResponseFile, files, baseDirectory, options);
}

int TZip32::Compress(TWindowHandle owner, const std::string& archiveName, std::string& outputBuffer,
                     bool useResponseFile, const TFileItems& files, const std::string& baseDirectory,
                     const TArchiverOptions& options) {
  return RunPackLetter("a", owner, archiveName, outputBuffer, useResponseFile, files, baseDirectory, options);
}

int TZip32::Remove(TWindowHandle owner, const std::string& archiveName, std::string& outputBuffer,
                   bool useResponseFile, const TFileItems& files, const std::string&,
                   const TArchiverOptions& options) {
  return RunPackLetter("d", owner, archiveName, outputBuffer, useResponseFile, files, "", options);
}

int TZip32::Freshen(TWindowHandle owner, const std::string& archiveName, std::string& outputBuffer,
                    bool useResponseFile, const TFileItems& files, const std::string& baseDirectory,
                    const TArchiverOptions& options) {
  return RunPackLetter("f", owner, archiveName, outputBuffer, useResponseFile, files, baseDirectory, options);
}

int TZip32::BuildSelfExtractor(TWindowHandle owner, const std::string& archiveName, std::string& outputBuffer,
                               const std::string& target, const TArchiverOptions& options) {
  RequireSfxStub("ZIP", target, target == "DOS" ? "sfx16.dat" : "sfx32gui.dat");
  return RunPackLetter("s", owner, archiveName, outputBuffer, false, {std::string()}, target, options);
}

int TZip32::ExpandToMemory(TWindowHandle owner, const std::string& archiveName,
                           const TArchiverOptions& options, const std::string& entryName, void* buffer,
                           std::uint32_t bufferSize, std::uint64_t* fileTime, std::uint32_t* attributes,
                           std::uint32_t* writeSize) {
  RequireExpand();
  return ExtractEntryToMemory(owner, archiveName, options, entryName, buffer, bufferSize, fileTime,
                              attributes, writeSize);
}

}  // namespace corvane
