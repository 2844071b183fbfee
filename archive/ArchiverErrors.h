#pragma once
// The exceptions of the archive layer. Each carries one message text meant for the user.

#include <string>

#include "common/Exception.h"

namespace corvane {

class EArchiver : public Exception {
  using Exception::Exception;
};
// An archiver library file could not be loaded.
class ENoArchiverDLL : public EArchiver {
  using EArchiver::EArchiver;
};
// A required export is missing from a loaded library.
class EEntryNotFound : public EArchiver {
  using EArchiver::EArchiver;
};
// A self-extractor stub file is missing.
class ESfxNoRequiredFile : public EArchiver {
 public:
  ESfxNoRequiredFile(const std::string& kindWord, const std::string& target, const std::string& stubFile);
  std::string KindWord, Target, StubFile;
};

// The library found no room for what it was writing (the status kStatusDiskFull): the file system or the
// user's quota is full, or a file would pass the size limit. Nothing half-written is left. The message
// says so and names the folder, which should be the one the user chose, never a work folder of ours.
class EArchiverDiskFull : public EArchiver {
 public:
  explicit EArchiverDiskFull(const std::string& folder);
  std::string Folder;
};

}  // namespace corvane
