#pragma once
// The tar family: TAR32.DLL, exports prefixed "Tar", for tar, gzip-compressed and bzip2-compressed archives.

#include "archive/Archives.h"

namespace corvane {

class TTar32 : public TDllArchiver {
 public:
  TTar32();

  void LoadDLL() override;
  int Compress(TWindowHandle owner, const std::string& archiveName, std::string& outputBuffer,
               bool useResponseFile, const TFileItems& files, const std::string& baseDirectory,
               const TArchiverOptions& options) override;
  // Needs the stub "kmtarsef.exe" in the program's folder.
  int BuildSelfExtractor(TWindowHandle owner, const std::string& archiveName, std::string& outputBuffer,
                         const std::string& target, const TArchiverOptions& options) override;
  int ExpandToMemory(TWindowHandle owner, const std::string& archiveName, const TArchiverOptions& options,
                     const std::string& entryName, void* buffer, std::uint32_t bufferSize,
                     std::uint64_t* fileTime, std::uint32_t* attributes, std::uint32_t* writeSize) override;
};

class TTgz32 : public TTar32 {};

class TBZ232 : public TTar32 {
 public:
  // Refused: bzip2 archives cannot be made self-extracting.
  int BuildSelfExtractor(TWindowHandle owner, const std::string& archiveName, std::string& outputBuffer,
                         const std::string& target, const TArchiverOptions& options) override;
};

}  // namespace corvane
