#pragma once
// The BGA kind: BGA32.DLL, exports prefixed "Bga".

#include "archive/Archives.h"

namespace corvane {

class TBGA32 : public TDllArchiver {
 public:
  TBGA32();

  void LoadDLL() override;
  int Compress(TWindowHandle owner, const std::string& archiveName, std::string& outputBuffer,
               bool useResponseFile, const TFileItems& files, const std::string& baseDirectory,
               const TArchiverOptions& options) override;
  int Remove(TWindowHandle owner, const std::string& archiveName, std::string& outputBuffer,
             bool useResponseFile, const TFileItems& files, const std::string& baseDirectory,
             const TArchiverOptions& options) override;
  int BuildSelfExtractor(TWindowHandle owner, const std::string& archiveName, std::string& outputBuffer,
                         const std::string& target, const TArchiverOptions& options) override;
};

}  // namespace corvane
