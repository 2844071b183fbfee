#pragma once
// The ZIP kind: UNZIP32.DLL for listing and extraction, ZIP32J.DLL for packing, LMZIP32.DLL for both;
// each is loaded when present.

#include "archive/Archives.h"

namespace corvane {

class TZipDll;

class TZip32 : public TDllArchiver {
 public:
  TZip32();

  void LoadDLL() override;
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
  // Needs the stub "sfx32gui.dat" (or "sfx16.dat" for the target "DOS") in the program's folder.
  int BuildSelfExtractor(TWindowHandle owner, const std::string& archiveName, std::string& outputBuffer,
                         const std::string& target, const TArchiverOptions& options) override;
  int ExpandToMemory(TWindowHandle owner, const std::string& archiveName, const TArchiverOptions& options,
                     const std::string& entryName, void* buffer, std::uint32_t bufferSize,
                     std::uint64_t* fileTime, std::uint32_t* attributes, std::uint32_t* writeSize) override;

 private:
  TZipDll& Zip() const;
  // Runs a packing command (letter a, d, f or s) through the packing library.
  int RunPackLetter(const std::string& letter, TWindowHandle owner, const std::string& archiveName,
                    std::string& outputBuffer, bool useResponseFile, const TFileItems& files,
                    const std::string& baseDirectory, const TArchiverOptions& options);
  void RequireExpand() const;
  void RequireCompress() const;
};

}  // namespace corvane
