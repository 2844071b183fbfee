#pragma once
// TArchiveFile packs files into one archive and lists and extracts an archive's entries by driving the
// archiver library of the archive's kind. TArchiver is the family of per-kind archivers behind it.

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "archive/ArchiveMember.h"
#include "archive/ArchiverErrors.h"
#include "archive/ArchiverOptions.h"
#include "common/Exception.h"
#include "platform/unlha32/unlha32.h"

namespace corvane {

// The archive kinds. The values are stored as one byte.
enum class TArchiverType : std::uint8_t {
  atLha,
  atZip,
  atCab,
  atArj,
  atTar,
  atTgz,
  atBZ2,
  atRar,
  atBga,
  atYz1,
  atGCA,
  atBel,
  at7z,
  atNone,
  atAutoDetect,
};

// The owner handed to the archiver libraries: an opaque pointer, null for none.
using TWindowHandle = void*;
// An archive opened for listing; null when none.
using TArchiveHandle = void*;

// Status of a pack whose file selection was cancelled through OnProgress.
constexpr std::int32_t kStatusCancelled = 0x8020;
// Status of a pack or extraction that found no room on the disk, or passed the file-size limit; the
// caller tells the user, naming the folder they chose.
constexpr std::int32_t kStatusDiskFull = UNLHA_ERROR_DISK_FULL;

// The name of a listing entry: the bytes of its name field up to the first code 0 (at most 513 bytes, so a
// field without terminator is still read safely).
std::string ArchiveEntryName(const TArchiveEntry& entry);

// One archiver object per component and kind. Operations a kind does not support raise EArchiver.
class TArchiver {
 public:
  virtual ~TArchiver() = default;
  TArchiver(const TArchiver&) = delete;
  TArchiver& operator=(const TArchiver&) = delete;

  virtual void LoadDLL();
  virtual void FreeDLL();
  virtual TArchiveHandle OpenListing(TWindowHandle owner, const std::string& archiveName, std::uint32_t mode);
  virtual int FirstEntry(TArchiveHandle handle, TArchiveEntry& entry, const std::string& wildcard);
  virtual int NextEntry(TArchiveHandle handle, TArchiveEntry& entry);
  virtual int CloseListing(TArchiveHandle handle);
  virtual int Expand(TWindowHandle owner, const std::string& archiveName, std::string& outputBuffer,
                     bool useResponseFile, const TFileItems& files, const std::string& baseDirectory,
                     const TArchiverOptions& options) = 0;
  virtual int Compress(TWindowHandle owner, const std::string& archiveName, std::string& outputBuffer,
                       bool useResponseFile, const TFileItems& files, const std::string& baseDirectory,
                       const TArchiverOptions& options);
  virtual int Remove(TWindowHandle owner, const std::string& archiveName, std::string& outputBuffer,
                     bool useResponseFile, const TFileItems& files, const std::string& baseDirectory,
                     const TArchiverOptions& options);
  virtual int Freshen(TWindowHandle owner, const std::string& archiveName, std::string& outputBuffer,
                      bool useResponseFile, const TFileItems& files, const std::string& baseDirectory,
                      const TArchiverOptions& options);
  virtual int BuildSelfExtractor(TWindowHandle owner, const std::string& archiveName,
                                 std::string& outputBuffer, const std::string& target,
                                 const TArchiverOptions& options);
  virtual int ExpandToMemory(TWindowHandle owner, const std::string& archiveName,
                             const TArchiverOptions& options, const std::string& entryName, void* buffer,
                             std::uint32_t bufferSize, std::uint64_t* fileTime, std::uint32_t* attributes,
                             std::uint32_t* writeSize);
  virtual int Verify(const std::string& archiveName, int mode, int modeFlags);
  // One stored entry opened for reading in pieces; null with the library's status when it cannot be
  // (UNLHA_ERROR_METHOD for a kind or an entry that must be extracted instead).
  virtual std::unique_ptr<TArchiveMember> OpenMember(const std::string& archiveName,
                                                     const std::string& entryName, int& status);
  virtual bool AttachOwnerWindow(TWindowHandle window, void* callback);
  virtual bool DetachOwnerWindow(TWindowHandle window);
  virtual void EnsureLoaded();

  // The owner given to the library for progress reports; null when none is attached.
  TWindowHandle OwnerWindow = nullptr;
  // The command text of the last command built.
  std::string LastCommand;

 protected:
  TArchiver() = default;
};

// The archive component: one archive file at a time.
class TArchiveFile {
 public:
  // Progress of a running operation: State, the library's progress record, and Abort to ask for a stop.
  using TArchiverProgressEvent =
      std::function<void(TArchiveFile& Sender, std::int32_t State, TUnlhaProgress* lpEis, bool& Abort)>;

  TArchiveFile();
  ~TArchiveFile();
  TArchiveFile(const TArchiveFile&) = delete;
  TArchiveFile& operator=(const TArchiveFile&) = delete;

  // The archive file. Writing it first selects a kind from the name's extension (a name whose extension is
  // not an archive extension, such as ".KVX", leaves the kind alone), then stores the name.
  const std::string& FileName() const { return fileName_; }
  void SetFileName(const std::string& name);

  // Length of the output buffer handed to the library on every command (0: no buffer).
  std::int32_t OutputSize() const { return static_cast<std::int32_t>(outputBuffer_.size()); }
  void SetOutputSize(std::int32_t size);
  const std::string& OutputBuffer() const { return outputBuffer_; }

  // The option set used when an operation is given none.
  TArchiverOptions& Options() { return *options_; }

  // Writing a kind creates a fresh archiver of that kind (loading its library; a missing library raises
  // ENoArchiverDLL and changes nothing). atNone changes nothing; atAutoDetect finds the kind from the
  // file's content before the next pack or listing; atGCA and atBel raise EArchiver.
  TArchiverType ArchiverType() const { return archiverType_; }
  void SetArchiverType(TArchiverType type);

  // Receives kSelectedFileState (0x805) for each file the component selects for packing, then the
  // library's states while a command runs. Setting Abort stops the work (kStatusCancelled). An exception
  // thrown by the handler stops the library and reaches the caller once the library has returned.
  TArchiverProgressEvent OnProgress;

  // Packs the files (patterns; selected by the component unless the set's PackFilter is pfArchiver).
  // Returns 0 on success, kStatusCancelled when OnProgress stopped the selection, else the library's status.
  // Nothing selected: the library is not called and 0 is returned. The selected names reach the command
  // sorted without regard to ASCII case (so "/full/path/x.Enc" comes before "stem.RJN"); only regular files
  // (and links to them) are selected. A name holding a code 0 cannot be put in a command text: EArchiver,
  // before the library is called. A full disk is kStatusDiskFull, with no archive written or changed.
  std::int32_t CompressFiles(TWindowHandle owner, const TArchiverOptions* options,
                             const std::string& baseDirectory, const TFileItems& files);
  // Extracts the named entries (all entries when the items name none). Returns the library's status: 0 when
  // every entry was written intact, nonzero for a damaged archive, an unsafe name, a write failure, ...;
  // kStatusDiskFull when the disk filled up (the entry being written is removed, no later one written).
  std::int32_t ExpandFiles(TWindowHandle owner, const TArchiverOptions* options,
                           const std::string& baseDirectory, const TFileItems& files);

  // Opens the archive for listing: 0 when the library gave a handle, 1 when it did not.
  int OpenListing(TWindowHandle owner, std::uint32_t mode);
  // 0 = the entry was filled, -1 = no (further) entry, other = the library's error code.
  int FirstEntry(const std::string& wildcard, TArchiveEntry& entry);
  int NextEntry(TArchiveEntry& entry);
  void CloseListing();

  // The named entry (as the listing names it) of the archive, opened for reading in pieces straight into
  // the caller's buffers when it is stored; else null with the library's status (UNLHA_ERROR_METHOD for an
  // entry, or a kind, that must be extracted instead). No progress is reported.
  std::unique_ptr<TArchiveMember> OpenMember(const std::string& entryName, int& status);

  // The exact command text of the last pack or extract.
  const std::string& LastCommand() const { return lastCommand_; }
  TArchiveHandle ListHandle() const { return listHandle_; }
  TArchiver* Archiver() const { return archiver_.get(); }

  // Hands a progress report to OnProgress when one is assigned.
  void NotifyProgress(std::int32_t State, TUnlhaProgress* lpEis, bool& Abort);

  // The kind of an archive: from the extension (byExtension true; ".exe" is looked into), or from the
  // file's content through every kind's library that is present (atNone when none recognises it).
  static TArchiverType DetectKind(const std::string& name, bool byExtension);

 private:
  void AutoDetect();
  void RequireArchiver() const;
  const TArchiverOptions& OptionsOrDefault(const TArchiverOptions* options) const;
  void AttachProgressWindow();
  void DetachProgressWindow();
  std::int32_t Pack(TWindowHandle owner, const TFileItems& files, const std::string& baseDirectory,
                    const TArchiverOptions& options);
  std::int32_t RunCommand(const std::function<std::int32_t()>& command);
  static int ProgressProcedure(void* owner, std::uint32_t state, TUnlhaProgress* record);

  std::string fileName_;
  std::string outputBuffer_;
  std::unique_ptr<TArchiverOptions> options_;
  TArchiverType archiverType_ = TArchiverType::atAutoDetect;
  std::unique_ptr<TArchiver> archiver_;
  std::string lastCommand_;
  // Stands in for a hidden window whose procedure receives the library's progress reports.
  std::unique_ptr<TUnlhaOwnerWindow> progressWindow_;
  std::exception_ptr progressError_;
  TArchiveHandle listHandle_ = nullptr;
};

class TArchiverDll;

// The common base of the kinds that drive one library binding: listing, extraction, checking and the owner
// window go straight to the binding; the command operations a kind supports build their text with
// BuildCommand and run it.
class TDllArchiver : public TArchiver {
 public:
  void FreeDLL() override;
  TArchiveHandle OpenListing(TWindowHandle owner, const std::string& archiveName,
                             std::uint32_t mode) override;
  int FirstEntry(TArchiveHandle handle, TArchiveEntry& entry, const std::string& wildcard) override;
  int NextEntry(TArchiveHandle handle, TArchiveEntry& entry) override;
  int CloseListing(TArchiveHandle handle) override;
  int Expand(TWindowHandle owner, const std::string& archiveName, std::string& outputBuffer,
             bool useResponseFile, const TFileItems& files, const std::string& baseDirectory,
             const TArchiverOptions& options) override;
  int Verify(const std::string& archiveName, int mode, int modeFlags) override;
  std::unique_ptr<TArchiveMember> OpenMember(const std::string& archiveName, const std::string& entryName,
                                             int& status) override;
  bool AttachOwnerWindow(TWindowHandle window, void* callback) override;
  bool DetachOwnerWindow(TWindowHandle window) override;

  // The binding; raises EArchiver after FreeDLL.
  TArchiverDll& Binding() const;

 protected:
  TDllArchiver() = default;
  // The command text of a letter (LastCommand receives it).
  virtual std::string BuildCommand(const std::string& letter, const std::string& archiveName,
                                   bool useResponseFile, const TFileItems& files,
                                   const std::string& baseDirectory, const TArchiverOptions& options);
  // Builds the letter's command, keeps it as LastCommand and runs it through the binding.
  int RunLetter(const std::string& letter, TWindowHandle owner, const std::string& archiveName,
                std::string& outputBuffer, bool useResponseFile, const TFileItems& files,
                const std::string& baseDirectory, const TArchiverOptions& options);
  // Runs a command text through the binding with the output buffer (none when it is empty).
  virtual int Run(TWindowHandle owner, const std::string& command, std::string& outputBuffer);
  // Extracts one entry through the library's ExtractMem with a command naming the entry (no letter).
  int ExtractEntryToMemory(TWindowHandle owner, const std::string& archiveName,
                           const TArchiverOptions& options, const std::string& entryName, void* buffer,
                           std::uint32_t bufferSize, std::uint64_t* fileTime, std::uint32_t* attributes,
                           std::uint32_t* writeSize);
  // The self-extractor command: letter "s", the target in place of the base directory, no names.
  int RunSelfExtractor(TWindowHandle owner, const std::string& archiveName, std::string& outputBuffer,
                       const std::string& target, const TArchiverOptions& options);
  // Raises ESfxNoRequiredFile unless the stub file lies in the program's folder.
  static void RequireSfxStub(const std::string& kindWord, const std::string& target,
                             const std::string& stubFile);

  std::shared_ptr<TArchiverDll> binding_;
};

// A new archiver object of the kind (its library loaded); null for kinds without an archiver.
std::unique_ptr<TArchiver> CreateArchiver(TArchiverType type);

}  // namespace corvane
