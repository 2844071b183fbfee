#pragma once
// The LHA kind: UNLHA32.DLL (libunlha32.so), exports prefixed "Unlha".

#include "archive/Archives.h"

namespace corvane {

// The command text of an LHA operation: the letter, then each item preceded by a blank: "-+", every set
// switch in a fixed order (n forced to 1 while an owner window is attached), the user options, the quoted
// archive name, the quoted base directory, the quoted names (or the quoted "@response file"), the user file
// list. Raises EAssertionFailed before anything is written when jso is unset, or jse on extraction ("x").
std::string BuildLhaCommand(const std::string& letter, const std::string& archiveName, bool useResponseFile,
                            const TFileItems& items, const std::string& baseDirectory,
                            const TArchiverOptions& options, bool ownerWindowAttached);

class TLha32 : public TDllArchiver {
 public:
  TLha32();

  void LoadDLL() override;
  TArchiveHandle OpenListing(TWindowHandle owner, const std::string& archiveName,
                             std::uint32_t mode) override;
  int Expand(TWindowHandle owner, const std::string& archiveName, std::string& outputBuffer,
             bool useResponseFile, const TFileItems& files, const std::string& baseDirectory,
             const TArchiverOptions& options) override;
  int Compress(TWindowHandle owner, const std::string& archiveName, std::string& outputBuffer,
               bool useResponseFile, const TFileItems& files, const std::string& baseDirectory,
               const TArchiverOptions& options) override;
  int Remove(TWindowHandle owner, const std::string& archiveName, std::string& outputBuffer,
             bool useResponseFile, const TFileItems& files, const std::string& baseDirectory,
             const TArchiverOptions& options) override;
  int Freshen(TWindowHandle owner, const std::string& archiveName, std::string& outputBuffer,
              bool useResponseFile, const TFileItems& files, const std::string& baseDirectory,
              const TArchiverOptions& options) override;
  int BuildSelfExtractor(TWindowHandle owner, const std::string& archiveName, std::string& outputBuffer,
                         const std::string& target, const TArchiverOptions& options) override;
  int ExpandToMemory(TWindowHandle owner, const std::string& archiveName, const TArchiverOptions& options,
                     const std::string& entryName, void* buffer, std::uint32_t bufferSize,
                     std::uint64_t* fileTime, std::uint32_t* attributes, std::uint32_t* writeSize) override;

 protected:
  std::string BuildCommand(const std::string& letter, const std::string& archiveName, bool useResponseFile,
                           const TFileItems& files, const std::string& baseDirectory,
                           const TArchiverOptions& options) override;
};

}  // namespace corvane
