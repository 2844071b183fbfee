#pragma once
// The CAB kind: CAB32.DLL, exports prefixed "Cab".

#include "archive/Archives.h"

namespace corvane {

class TCab32 : public TDllArchiver {
 public:
  TCab32();

  void LoadDLL() override;
  int Compress(TWindowHandle owner, const std::string& archiveName, std::string& outputBuffer,
               bool useResponseFile, const TFileItems& files, const std::string& baseDirectory,
               const TArchiverOptions& options) override;
  int BuildSelfExtractor(TWindowHandle owner, const std::string& archiveName, std::string& outputBuffer,
                         const std::string& target, const TArchiverOptions& options) override;
  int ExpandToMemory(TWindowHandle owner, const std::string& archiveName, const TArchiverOptions& options,
                     const std::string& entryName, void* buffer, std::uint32_t bufferSize,
                     std::uint64_t* fileTime, std::uint32_t* attributes, std::uint32_t* writeSize) override;
};

}  // namespace corvane
