#pragma once
// Files a flow produces are made complete out of sight and then put in place in one step: intermediates
// live in a private folder inside the target folder (same file system, so placing is a rename) that is
// removed with its content on every path.
//
// A process killed midway cannot remove its work folder, which may hold plaintext. Each work folder is
// therefore marked as its owner's: a marker file inside it stays locked (flock) for as long as the owning
// object lives, and the kernel drops the lock when the process ends, however it ends. Before a flow makes
// its own work folder it removes the marked ones in that folder whose lock is free. A folder without the
// marker, one that is not a real folder of ours, or one whose owner is alive is never touched.

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <utility>

#include "app/flows/FlowCommon.h"
#include "archive/ArchiverErrors.h"
#include "symmetric/StreamPipeline.h"
#include "symmetric/Streams.h"

namespace corvane {

// Every work folder's name: this prefix and six letters or digits.
inline constexpr const char* kWorkFolderPrefix = ".corvane-";

// Whether a name has the form of a work folder's name.
bool WorkFolderName(const std::string& name);

// The longest file name the folder's file system takes (NAME_MAX when it does not say).
std::size_t MaxNameLength(const std::filesystem::path& folder);

// Removes the work folders in parent whose owner process has ended. Never raises: a folder that cannot be
// looked into is left alone.
void RemoveAbandonedWorkFolders(const std::filesystem::path& parent);

class TWorkFolder {
 public:
  // Removes abandoned work folders in parent, then creates ".corvane-XXXXXX" (mode 0700) there, marked as
  // this process's. Raises EFileError (EDiskFull when the disk is full) naming parent when it cannot.
  explicit TWorkFolder(const std::filesystem::path& parent);
  ~TWorkFolder();
  TWorkFolder(const TWorkFolder&) = delete;
  TWorkFolder& operator=(const TWorkFolder&) = delete;

  const std::filesystem::path& Path() const { return fPath; }
  std::filesystem::path operator/(const std::string& name) const { return fPath / name; }

  // Runs work on files in the work folder. A file error about a path inside it is reported against the
  // user's folder instead, so no message shows the work path: EDiskFull when the disk is full, EFileError
  // otherwise. An archive error naming a file in it names the file as if it were in the user's folder.
  // Other errors pass unchanged.
  template <typename F>
  decltype(auto) Run(F&& work) const {
    try {
      return std::forward<F>(work)();
    } catch (const EFileError& error) {
      ThrowForFolder(error);
      throw;
    } catch (const EArchiver& error) {
      ThrowForFolder(error);
      throw;
    }
  }

  // The permission bits a new file gets in this folder: 0666 less the umask (or what a default ACL gives).
  mode_t NewFileMode() const;

 private:
  // Raises the error restated for the user's folder when it concerns a path inside the work folder.
  void ThrowForFolder(const EFileError& error) const;
  // Raises it again with the work folder's part cut out of the paths it names (the archive layer names
  // the files it was given, and those are in the work folder).
  void ThrowForFolder(const EArchiver& error) const;

  std::filesystem::path fParent;
  std::filesystem::path fPath;
  int fFolder = -1;  // the work folder, opened: removal works from it, whatever happens to its name
  int fOwner = -1;   // the marker, locked while this object lives
};

// Renames a complete file to its final name. With replace, an existing file of that name is replaced in
// one step; without, an existing file raises EOutputExists and is left untouched (checked atomically, so a
// file that appears meanwhile is not overwritten either). Other failures raise EFileError.
void PlaceFile(const std::filesystem::path& from, const std::filesystem::path& to, bool replace);

// A name in the work folder for the version of file that exists now: a hard link to it, or a copy where
// the file system cannot link (another file system, no hard links, a file the user may not link). Later
// reads of the result see that version, whatever replaces the file meanwhile. The file must be a regular
// file (EFileError naming it otherwise). A copy reports progress as extraction.
std::filesystem::path KeepCurrentVersion(const std::filesystem::path& file, const TWorkFolder& work,
                                         const std::string& name, const TFlowProgress& progress);

// Encrypts a whole file into a new file (mode 0600) under a key text. The destination is a file in a work
// folder, placed later: it is not flushed to the device here, since an intermediate is deleted anyway and
// a placed result is renamed only once complete. A source whose size changes while it is read (it is
// being written, or it is a special file whose size says nothing) raises ESourceChanged naming it.
// The reading and writing overlap the cipher on a second thread; payload, when given, sees the ciphertext
// in order as it is written.
void EncryptFileInto(const std::filesystem::path& source, const std::filesystem::path& destination,
                     const std::string& keyText, const TStreamProgress& progress,
                     const TPayloadHook& payload = {});

// Decrypts a file in a work folder over itself and makes it private (mode 0600). Output is written only
// behind what has already been read, so no ciphertext is overwritten before it is used; not writing a
// second copy of a large payload saves a third of the disk traffic of decryption.
// payload, when given, sees the ciphertext in order before it is decrypted.
void DecryptFileInPlace(const std::filesystem::path& file, const std::string& keyText,
                        const TStreamProgress& progress, const TPayloadHook& payload = {});

// Decrypts a stream (a stored member read straight from its container) into a new file in a work folder
// (mode 0600), not flushed, as above; payload, when given, sees the ciphertext in order as it is read.
void DecryptStreamInto(TStream& source, const std::filesystem::path& destination, const std::string& keyText,
                       const TStreamProgress& progress, const TPayloadHook& payload = {});

// Writes data to path through a temporary file in the same folder renamed into place (replacing);
// new files get mode 0666 less the umask. The temporary name is never longer than the system allows,
// whatever the length of path's name. Raises EFileError.
void WriteFileAtomically(const std::filesystem::path& path, const std::string& data);

// Writes data to a new file in a work folder (mode 0600). Flushed to the device only with `flush`, for a
// file that is itself put in place (an intermediate is removed with its folder, and what is made from it
// is placed only once complete). Raises EFileError.
void WriteWorkFile(const std::filesystem::path& path, const std::string& data, bool flush = false);

}  // namespace corvane
