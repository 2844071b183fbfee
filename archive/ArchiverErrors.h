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

}  // namespace corvane
