#pragma once
// Bindings to the archiver libraries: each loads its library file on demand, looks its exports up by exact
// name, caches their addresses, performs the calls and completes the listing record.

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/LibraryLoader.h"
#include "platform/unlha32/unlha32.h"

namespace corvane {

// The slots of the export table, in table order.
enum class TDllEntry : std::uint8_t {
  deCommand,
  deOpenArchive,
  deCloseArchive,
  deFindFirst,
  deFindNext,
  deExtractMem,
  deCheckArchive,
  deSetOwnerWindowEx,
  deKillOwnerWindowEx,
  deGetWriteTimeEx,
  deGetCreateTimeEx,
  deGetAccessTimeEx,
  deGetOriginalSizeEx,
  deGetCompressedSizeEx,
  deGetArchiveType,
  // Reading a stored member in pieces: not in every library.
  deOpenMember,
  deReadMember,
  deCloseMember,
};
constexpr std::size_t kDllEntryCount = 18;

// The table of cached export addresses.
class TCustomArchiverDll {
 public:
  virtual ~TCustomArchiverDll() = default;

  void* Entry(TDllEntry slot) const { return entries_[static_cast<std::size_t>(slot)]; }

 protected:
  void*& EntrySlot(TDllEntry slot) { return entries_[static_cast<std::size_t>(slot)]; }
  void ClearEntries() { entries_.fill(nullptr); }

 private:
  std::array<void*, kDllEntryCount> entries_{};
};

// The binding of one library file (a name such as "UNLHA32.DLL", loaded as libunlha32.so) whose exports
// share one prefix ("Unlha", "UnlhaOpenArchive", ...).
class TArchiverDll : public TCustomArchiverDll {
 public:
  TArchiverDll(std::string description, std::string libraryName, std::string exportPrefix);
  ~TArchiverDll() override;
  TArchiverDll(const TArchiverDll&) = delete;
  TArchiverDll& operator=(const TArchiverDll&) = delete;

  // Loads the library unless it is loaded; raises ENoArchiverDLL when it cannot be loaded.
  virtual void Load();
  // Forgets every export address and releases the library.
  virtual void Unload();

  // Runs a command text; a buffer of length 0 is passed to the library as a null pointer.
  virtual int RunCommand(void* owner, const std::string& command, char* buffer, std::uint32_t length);
  virtual int CheckArchive(const std::string& archiveName, int mode);
  virtual int CloseArchive(void* archive);
  virtual int ExtractMem(void* owner, const std::string& command, void* buffer, std::uint32_t bufferSize,
                         std::uint64_t* fileTime, std::uint32_t* attributes, std::uint32_t* writeSize);
  // On success (0) the record's last 40 bytes are completed (CompleteEntry).
  virtual int FindFirst(void* archive, const std::string& wildcard, TArchiveEntry& entry);
  virtual int FindNext(void* archive, TArchiveEntry& entry);
  virtual int KillOwnerWindowEx(void* window);
  virtual void* OpenArchive(void* owner, const std::string& archiveName, std::uint32_t mode);
  virtual int SetOwnerWindowEx(void* window, void* callback);
  // Optional exports: false without a call when the library lacks them.
  virtual bool GetWriteTimeEx(void* archive, std::uint64_t& fileTime);
  virtual bool GetCreateTimeEx(void* archive, std::uint64_t& fileTime);
  virtual bool GetAccessTimeEx(void* archive, std::uint64_t& fileTime);
  virtual bool GetOriginalSizeEx(void* archive, std::uint64_t& size);
  virtual bool GetCompressedSizeEx(void* archive, std::uint64_t& size);
  virtual int GetArchiveType(const std::string& archiveName);
  // Reading one stored member in pieces (optional exports; see UnlhaOpenMember). Without them OpenMember
  // answers null with UNLHA_ERROR_METHOD in `status`, as for a member that is to be extracted instead, and
  // the other two UNLHA_ERROR_HANDLE.
  virtual void* OpenMember(const std::string& archiveName, const std::string& memberName, std::uint64_t& size,
                           int& status);
  virtual int ReadMember(void* member, void* buffer, std::uint32_t size, std::uint32_t& got);
  virtual int CloseMember(void* member);

  bool Loaded() const { return module_.Loaded(); }
  // The full path of the loaded module ("" before loading).
  const std::string& ModulePath() const { return module_.Path(); }
  const std::string& Description() const { return description_; }
  const std::string& LibraryName() const { return libraryName_; }
  const std::string& ExportPrefix() const { return exportPrefix_; }

 protected:
  // True when the slot holds the export's address (looked up and cached now if needed). A missing export
  // raises EEntryNotFound when required, else answers false and is looked for again next time.
  bool ResolveEntry(TDllEntry slot, const std::string& exportName, bool required);
  // The address of a required export, loading the library first when asked to.
  template <typename Proc>
  Proc Required(TDllEntry slot, const char* suffix, bool loadFirst) {
    if (loadFirst) Load();
    ResolveEntry(slot, exportPrefix_ + suffix, true);
    return reinterpret_cast<Proc>(Entry(slot));
  }
  // The address of an optional export, or null.
  template <typename Proc>
  Proc Optional(TDllEntry slot, const char* suffix) {
    return ResolveEntry(slot, exportPrefix_ + suffix, false) ? reinterpret_cast<Proc>(Entry(slot)) : nullptr;
  }
  // The address of an export in the library (or libraries) of this binding, or null.
  virtual void* LookUp(const std::string& exportName) const;
  // The message of a missing required export.
  virtual std::string EntryNotFoundMessage(const std::string& exportName) const;
  void CompleteEntry(void* archive, TArchiveEntry& entry);

  TSharedLibrary module_;

 private:
  std::string description_;
  std::string libraryName_;
  std::string exportPrefix_;
};

// The ZIP binding: up to three libraries, each loaded when present. Packing commands go to "Zip"
// (ZIP32J.DLL, else LMZIP32.DLL), other commands to "UnZip" (UNZIP32.DLL, else LMZIP32.DLL); the other
// exports are "UnZip" + suffix, looked for in LMZIP32.DLL (as "Unzip" + suffix), UNZIP32.DLL, ZIP32J.DLL.
class TZipDll : public TArchiverDll {
 public:
  TZipDll();
  void Load() override;
  void Unload() override;
  int RunCommand(void* owner, const std::string& command, char* buffer, std::uint32_t length) override;
  int RunPackCommand(void* owner, const std::string& command, char* buffer, std::uint32_t length);
  bool CanExpand() const { return unzip_.Loaded() || lmzip_.Loaded(); }
  bool CanCompress() const { return zip_.Loaded() || lmzip_.Loaded(); }

 protected:
  void* LookUp(const std::string& exportName) const override;
  std::string EntryNotFoundMessage(const std::string& exportName) const override;

 private:
  int Run(TSharedLibrary& preferred, const char* exportName, void* owner, const std::string& command,
          char* buffer, std::uint32_t length);

  TSharedLibrary unzip_;
  TSharedLibrary zip_;
  TSharedLibrary lmzip_;
};

// The YZ1 binding, which also offers the library's password exports.
class TYZ1Dll : public TArchiverDll {
 public:
  TYZ1Dll(std::string libraryName);
  // Both answer -1 without a call when the library lacks the export.
  int SetDefaultPassword(void* owner, const std::string& password);
  int PasswordDialog(void* owner, char* buffer, std::uint32_t length);
};

// FILETIME (100 ns units since 1601-01-01) of an MS-DOS date and time, taken as they are (no time-zone
// adjustment); 0 when they do not form a valid date and time.
std::uint64_t DosDateTimeToFileTime(std::uint16_t dosDate, std::uint16_t dosTime);

// A kind's LoadDLL: when the program-wide slot of the library file is empty, creates the binding, stores it
// and loads it (ENoArchiverDLL passes on, the binding stays in its slot); when the slot is filled, nothing
// more. So the first archiver of a kind whose library is missing fails at creation, later ones are created
// and fail at their first call that loads.
std::shared_ptr<TArchiverDll> LoadSharedArchiverDll(const std::string& description,
                                                    const std::string& libraryName,
                                                    const std::string& exportPrefix);
// The program-wide slot of a library file, empty when none was made. Archivers share the binding with the
// slot, so emptying a slot never leaves an archiver with a dangling binding.
std::shared_ptr<TArchiverDll>& ArchiverDllSlot(const std::string& libraryName);
// Destroys every program-wide binding (for tests that change the library search folder).
void ReleaseArchiverDlls();

}  // namespace corvane
