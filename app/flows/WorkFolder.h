#pragma once
// Files a flow produces are made complete out of sight and then put in place in one step: intermediates
// live in a private folder inside the target folder (same file system, so placing is a rename) that is
// removed with its content on every path.

#include <filesystem>
#include <string>

#include "symmetric/Streams.h"

namespace corvane {

class TWorkFolder {
 public:
  // Creates ".corvane-XXXXXX" (mode 0700) in parent; raises EFileError when parent is not writable.
  explicit TWorkFolder(const std::filesystem::path& parent);
  ~TWorkFolder();
  TWorkFolder(const TWorkFolder&) = delete;
  TWorkFolder& operator=(const TWorkFolder&) = delete;

  const std::filesystem::path& Path() const { return fPath; }
  std::filesystem::path operator/(const std::string& name) const { return fPath / name; }

 private:
  std::filesystem::path fPath;
};

// Renames a complete file to its final name. With replace, an existing file of that name is replaced in
// one step; without, an existing file raises EOutputExists and is left untouched (checked atomically, so a
// file that appears meanwhile is not overwritten either). Other failures raise EFileError.
void PlaceFile(const std::filesystem::path& from, const std::filesystem::path& to, bool replace);

// Encrypts a whole file into a new file (mode 0600) under a key text. The destination is a
// file in a work folder, placed later: it is not flushed to the device here, since an intermediate is
// deleted anyway and a placed result is renamed only once complete.
void EncryptFileInto(const std::filesystem::path& source, const std::filesystem::path& destination,
                     const std::string& keyText, const TStreamProgress& progress);

// Decrypts a file in a work folder over itself and makes it private (mode 0600). Output is written only
// behind what has already been read, so no ciphertext is overwritten before it is used; not writing a
// second copy of a large payload saves a third of the disk traffic of decryption.
void DecryptFileInPlace(const std::filesystem::path& file, const std::string& keyText,
                        const TStreamProgress& progress);

// Writes data to path through a temporary file in the same folder renamed into place (replacing);
// new files get mode 0666 less the umask. Raises EFileError.
void WriteFileAtomically(const std::filesystem::path& path, const std::string& data);

}  // namespace corvane
