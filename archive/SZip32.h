#pragma once
// The 7z kind: 7-zip32.dll (lib7-zip32.so), exports prefixed "SevenZip".

#include "archive/Archives.h"

namespace corvane {

class TSevenZip32 : public TDllArchiver {
 public:
  TSevenZip32();

  void LoadDLL() override;
  int Compress(TWindowHandle owner, const std::string& archiveName, std::string& outputBuffer,
               bool useResponseFile, const TFileItems& files, const std::string& baseDirectory,
               const TArchiverOptions& options) override;
  int Remove(TWindowHandle owner, const std::string& archiveName, std::string& outputBuffer,
             bool useResponseFile, const TFileItems& files, const std::string& baseDirectory,
             const TArchiverOptions& options) override;
  // The stub "7z.sfx" has no known folder here, so a self-extractor is always refused; a 16-bit target
  // ("DOS") is refused with its own message.
  int BuildSelfExtractor(TWindowHandle owner, const std::string& archiveName, std::string& outputBuffer,
                         const std::string& target, const TArchiverOptions& options) override;
};

}  // namespace corvane
