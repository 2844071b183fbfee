#pragma once
// The YZ1 kind: YYZ32.DLL, else YZ1.DLL (the first that loads), exports prefixed "Yz1".

#include "archive/Archives.h"

namespace corvane {

class TYZ1 : public TDllArchiver {
 public:
  TYZ1();

  // Raises EArchiver when neither library loads; a later creation tries both again.
  void LoadDLL() override;
  int Compress(TWindowHandle owner, const std::string& archiveName, std::string& outputBuffer,
               bool useResponseFile, const TFileItems& files, const std::string& baseDirectory,
               const TArchiverOptions& options) override;
  // Needs the stub "yzw32cui.sfx" or "yzdec.exe" ("yzdos16.sfx" for the target "DOS") in the program's
  // folder.
  int BuildSelfExtractor(TWindowHandle owner, const std::string& archiveName, std::string& outputBuffer,
                         const std::string& target, const TArchiverOptions& options) override;
};

}  // namespace corvane
