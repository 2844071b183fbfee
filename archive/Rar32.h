#pragma once
// The RAR kind: UNRAR32.DLL, exports prefixed "Unrar"; listing and extraction only.

#include "archive/Archives.h"

namespace corvane {

class TRar32 : public TDllArchiver {
 public:
  TRar32();

  void LoadDLL() override;
  int ExpandToMemory(TWindowHandle owner, const std::string& archiveName, const TArchiverOptions& options,
                     const std::string& entryName, void* buffer, std::uint32_t bufferSize,
                     std::uint64_t* fileTime, std::uint32_t* attributes, std::uint32_t* writeSize) override;
};

}  // namespace corvane
