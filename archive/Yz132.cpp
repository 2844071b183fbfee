#include "archive/Yz132.h"

#include "archive/ArchiverDll.h"

namespace corvane {

namespace {
const char* const kLibraries[] = {"YYZ32.DLL", "YZ1.DLL"};
}  // namespace

TYZ1::TYZ1() {
  TYZ1::LoadDLL();
}

void TYZ1::LoadDLL() {
  for (const char* library : kLibraries) {
    auto& slot = ArchiverDllSlot(library);
    if (slot) {
      binding_ = slot;
      return;
    }
    slot = std::make_shared<TYZ1Dll>(library);
    try {
      slot->Load();
      binding_ = slot;
      return;
    } catch (const ENoArchiverDLL&) {
      slot.reset();
    }
  }
  throw EArchiver(std::string("Yz1 形式書庫を扱うには ") + kLibraries[0] + " か " + kLibraries[1] +
                  " が必要です。");
}

int TYZ1::Compress(TWindowHandle owner, const std::string& archiveName, std::string& outputBuffer,
                   bool useResponseFile, const TFileItems& files, const std::string& baseDirectory,
                   const TArchiverOptions& options) {
  return RunLetter("a", owner, archiveName, outputBuffer, useResponseFile, files, baseDirectory, options);
}

int TYZ1::BuildSelfExtractor(TWindowHandle owner, const std::string& archiveName, std::string& outputBuffer,
                             const std::string& target, const TArchiverOptions& options) {
  if (target == "DOS") {
    RequireSfxStub("YZ1", target, "yzdos16.sfx");
  } else {
    try {
      RequireSfxStub("YZ1", target, "yzw32cui.sfx");
    } catch (const ESfxNoRequiredFile&) {
      RequireSfxStub("YZ1", target, "yzdec.exe");
    }
  }
  return RunSelfExtractor(owner, archiveName, outputBuffer, target, options);
}

}  // namespace corvane
