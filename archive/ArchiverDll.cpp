#include "archive/ArchiverDll.h"

#include <chrono>
#include <map>

#include "archive/Archives.h"

namespace corvane {

namespace {

using CommandProc = decltype(&::Unlha);
using OpenArchiveProc = decltype(&::UnlhaOpenArchive);
using CloseArchiveProc = decltype(&::UnlhaCloseArchive);
using FindFirstProc = decltype(&::UnlhaFindFirst);
using FindNextProc = decltype(&::UnlhaFindNext);
using CheckArchiveProc = decltype(&::UnlhaCheckArchive);
using SetOwnerWindowExProc = decltype(&::UnlhaSetOwnerWindowEx);
using KillOwnerWindowExProc = decltype(&::UnlhaKillOwnerWindowEx);
using TimeExProc = decltype(&::UnlhaGetWriteTimeEx);
using SizeExProc = decltype(&::UnlhaGetOriginalSizeEx);
using ArchiveTypeProc = decltype(&::UnlhaGetArchiveType);
using ExtractMemProc = decltype(&::UnlhaExtractMem);
using OpenMemberProc = decltype(&::UnlhaOpenMember);
using ReadMemberProc = decltype(&::UnlhaReadMember);
using CloseMemberProc = decltype(&::UnlhaCloseMember);
using SetPasswordProc = int (*)(void* owner, const char* password);
using PasswordDialogProc = int (*)(void* owner, char* buffer, std::uint32_t length);

// Seconds from 1601-01-01 (the FILETIME epoch) to 1970-01-01.
constexpr std::int64_t kFileTimeEpochOffset = 11644473600;

std::string FormatMessage2(const std::string& pattern, const std::string& first, const std::string& second) {
  std::string text = pattern;
  text.replace(text.find("%0:s"), 4, first);
  text.replace(text.find("%1:s"), 4, second);
  return text;
}

// The path the loader reports for the running program, used when a binding has no module of its own.
std::string ProgramPath() {
  std::error_code error;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : exe.string();
}

std::map<std::string, std::shared_ptr<TArchiverDll>>& Slots() {
  static std::map<std::string, std::shared_ptr<TArchiverDll>> slots;
  return slots;
}

}  // namespace

TArchiverDll::TArchiverDll(std::string description, std::string libraryName, std::string exportPrefix)
    : description_(std::move(description)),
      libraryName_(std::move(libraryName)),
      exportPrefix_(std::move(exportPrefix)) {}

TArchiverDll::~TArchiverDll() {
  TArchiverDll::Unload();
}

void TArchiverDll::Load() {
  if (module_.Loaded()) return;
  if (!module_.Load(LinuxLibraryName(libraryName_)))
    throw ENoArchiverDLL(FormatMessage2("%0:s を扱うには %1:s が 必要です。", description_, libraryName_));
}

void TArchiverDll::Unload() {
  ClearEntries();
  module_.Unload();
}

void* TArchiverDll::LookUp(const std::string& exportName) const {
  return module_.Symbol(exportName.c_str());
}

std::string TArchiverDll::EntryNotFoundMessage(const std::string& exportName) const {
  const std::string path = module_.Loaded() ? module_.Path() : ProgramPath();
  return FormatMessage2("%0:s に %1:s のエントリが見つかりません。", path, exportName);
}

bool TArchiverDll::ResolveEntry(TDllEntry slot, const std::string& exportName, bool required) {
  if (Entry(slot)) return true;
  if (void* address = LookUp(exportName)) {
    EntrySlot(slot) = address;
    return true;
  }
  if (!required) return false;
  throw EEntryNotFound(EntryNotFoundMessage(exportName));
}

int TArchiverDll::RunCommand(void* owner, const std::string& command, char* buffer, std::uint32_t length) {
  auto run = Required<CommandProc>(TDllEntry::deCommand, "", true);
  return run(owner, command.c_str(), length == 0 ? nullptr : buffer, length);
}

int TArchiverDll::CheckArchive(const std::string& archiveName, int mode) {
  return Required<CheckArchiveProc>(TDllEntry::deCheckArchive, "CheckArchive", true)(archiveName.c_str(),
                                                                                     mode);
}

int TArchiverDll::CloseArchive(void* archive) {
  return Required<CloseArchiveProc>(TDllEntry::deCloseArchive, "CloseArchive", true)(archive);
}

int TArchiverDll::ExtractMem(void* owner, const std::string& command, void* buffer, std::uint32_t bufferSize,
                             std::uint64_t* fileTime, std::uint32_t* attributes, std::uint32_t* writeSize) {
  auto extract = Required<ExtractMemProc>(TDllEntry::deExtractMem, "ExtractMem", false);
  return extract(owner, command.c_str(), buffer, bufferSize, fileTime, attributes, writeSize);
}

int TArchiverDll::FindFirst(void* archive, const std::string& wildcard, TArchiveEntry& entry) {
  auto find = Required<FindFirstProc>(TDllEntry::deFindFirst, "FindFirst", true);
  const int status = find(archive, wildcard.c_str(), &entry);
  if (status == 0) CompleteEntry(archive, entry);
  return status;
}

int TArchiverDll::FindNext(void* archive, TArchiveEntry& entry) {
  auto find = Required<FindNextProc>(TDllEntry::deFindNext, "FindNext", false);
  const int status = find(archive, &entry);
  if (status == 0) CompleteEntry(archive, entry);
  return status;
}

int TArchiverDll::KillOwnerWindowEx(void* window) {
  return Required<KillOwnerWindowExProc>(TDllEntry::deKillOwnerWindowEx, "KillOwnerWindowEx", false)(window);
}

void* TArchiverDll::OpenArchive(void* owner, const std::string& archiveName, std::uint32_t mode) {
  auto open = Required<OpenArchiveProc>(TDllEntry::deOpenArchive, "OpenArchive", true);
  const std::string name = archiveName;  // the library gets a copy it may not alter ours through
  return open(owner, name.c_str(), mode);
}

int TArchiverDll::SetOwnerWindowEx(void* window, void* callback) {
  return Required<SetOwnerWindowExProc>(TDllEntry::deSetOwnerWindowEx, "SetOwnerWindowEx", false)(window,
                                                                                                  callback);
}

bool TArchiverDll::GetWriteTimeEx(void* archive, std::uint64_t& fileTime) {
  auto get = Optional<TimeExProc>(TDllEntry::deGetWriteTimeEx, "GetWriteTimeEx");
  return get && get(archive, &fileTime) != 0;
}

bool TArchiverDll::GetCreateTimeEx(void* archive, std::uint64_t& fileTime) {
  auto get = Optional<TimeExProc>(TDllEntry::deGetCreateTimeEx, "GetCreateTimeEx");
  return get && get(archive, &fileTime) != 0;
}

bool TArchiverDll::GetAccessTimeEx(void* archive, std::uint64_t& fileTime) {
  auto get = Optional<TimeExProc>(TDllEntry::deGetAccessTimeEx, "GetAccessTimeEx");
  return get && get(archive, &fileTime) != 0;
}

bool TArchiverDll::GetOriginalSizeEx(void* archive, std::uint64_t& size) {
  auto get = Optional<SizeExProc>(TDllEntry::deGetOriginalSizeEx, "GetOriginalSizeEx");
  return get && get(archive, &size) != 0;
}

bool TArchiverDll::GetCompressedSizeEx(void* archive, std::uint64_t& size) {
  auto get = Optional<SizeExProc>(TDllEntry::deGetCompressedSizeEx, "GetCompressedSizeEx");
  return get && get(archive, &size) != 0;
}

int TArchiverDll::GetArchiveType(const std::string& archiveName) {
  return Required<ArchiveTypeProc>(TDllEntry::deGetArchiveType, "GetArchiveType", true)(archiveName.c_str());
}

void* TArchiverDll::OpenMember(const std::string& archiveName, const std::string& memberName,
                               std::uint64_t& size, int& status) {
  Load();
  size = 0;
  auto open = Optional<OpenMemberProc>(TDllEntry::deOpenMember, "OpenMember");
  status = UNLHA_ERROR_METHOD;
  return open ? open(archiveName.c_str(), memberName.c_str(), &size, &status) : nullptr;
}

int TArchiverDll::ReadMember(void* member, void* buffer, std::uint32_t size, std::uint32_t& got) {
  got = 0;
  auto read = Optional<ReadMemberProc>(TDllEntry::deReadMember, "ReadMember");
  return read ? read(member, buffer, size, &got) : UNLHA_ERROR_HANDLE;
}

int TArchiverDll::CloseMember(void* member) {
  auto close = Optional<CloseMemberProc>(TDllEntry::deCloseMember, "CloseMember");
  return close ? close(member) : UNLHA_ERROR_HANDLE;
}

void TArchiverDll::CompleteEntry(void* archive, TArchiveEntry& entry) {
  // Work on local copies: the record is packed, so its 64-bit fields may not be aligned.
  const std::uint64_t stamped = DosDateTimeToFileTime(entry.wDate, entry.wTime);
  std::uint64_t value = 0;
  entry.ftWriteTime = GetWriteTimeEx(archive, value) ? value : stamped;
  entry.ftAccessTime = GetAccessTimeEx(archive, value) ? value : stamped;
  entry.ftCreateTime = GetCreateTimeEx(archive, value) ? value : stamped;
  entry.llOriginalSize = GetOriginalSizeEx(archive, value) ? value : entry.dwOriginalSize;
  entry.llCompressedSize = GetCompressedSizeEx(archive, value) ? value : entry.dwCompressedSize;
}

std::uint64_t DosDateTimeToFileTime(std::uint16_t dosDate, std::uint16_t dosTime) {
  using namespace std::chrono;
  const year_month_day date{year{1980 + (dosDate >> 9)}, month{static_cast<unsigned>((dosDate >> 5) & 0x0F)},
                            day{static_cast<unsigned>(dosDate & 0x1F)}};
  const int hours = dosTime >> 11;
  const int minutes = (dosTime >> 5) & 0x3F;
  const int seconds = (dosTime & 0x1F) * 2;
  if (!date.ok() || hours > 23 || minutes > 59 || seconds > 59) return 0;
  const std::int64_t unixSeconds =
      static_cast<std::int64_t>(sys_days(date).time_since_epoch().count()) * 86400 + hours * 3600 +
      minutes * 60 + seconds;
  return static_cast<std::uint64_t>(unixSeconds + kFileTimeEpochOffset) * 10000000u;
}

// ---- ZIP ----

TZipDll::TZipDll() : TArchiverDll("ZIP 形式書庫", "UNZIP32.DLL", "UnZip") {}

void TZipDll::Load() {
  if (!unzip_.Loaded()) unzip_.Load(LinuxLibraryName("UNZIP32.DLL"));
  if (!zip_.Loaded()) zip_.Load(LinuxLibraryName("ZIP32J.DLL"));
  if (!lmzip_.Loaded()) lmzip_.Load(LinuxLibraryName("LMZIP32.DLL"));
}

void TZipDll::Unload() {
  TArchiverDll::Unload();
  unzip_.Unload();
  zip_.Unload();
  lmzip_.Unload();
}

int TZipDll::Run(TSharedLibrary& preferred, const char* exportName, void* owner, const std::string& command,
                 char* buffer, std::uint32_t length) {
  Load();
  TSharedLibrary& library = preferred.Loaded() ? preferred : lmzip_;
  auto run = reinterpret_cast<CommandProc>(library.Symbol(exportName));
  if (!run) throw EEntryNotFound(EntryNotFoundMessage(exportName));
  return run(owner, command.c_str(), length == 0 ? nullptr : buffer, length);
}

int TZipDll::RunCommand(void* owner, const std::string& command, char* buffer, std::uint32_t length) {
  return Run(unzip_, "UnZip", owner, command, buffer, length);
}

int TZipDll::RunPackCommand(void* owner, const std::string& command, char* buffer, std::uint32_t length) {
  return Run(zip_, "Zip", owner, command, buffer, length);
}

void* TZipDll::LookUp(const std::string& exportName) const {
  std::string lmzipName = exportName;
  if (lmzipName.size() > 2 && lmzipName[2] == 'Z') lmzipName[2] = 'z';
  if (void* address = lmzip_.Symbol(lmzipName.c_str())) return address;
  if (void* address = unzip_.Symbol(exportName.c_str())) return address;
  return zip_.Symbol(exportName.c_str());
}

std::string TZipDll::EntryNotFoundMessage(const std::string& exportName) const {
  return exportName + " のエントリが DLL に見つかりませんでした。";
}

// ---- YZ1 ----

TYZ1Dll::TYZ1Dll(std::string libraryName) : TArchiverDll("YZ1 形式書庫", std::move(libraryName), "Yz1") {}

int TYZ1Dll::SetDefaultPassword(void* owner, const std::string& password) {
  auto set = reinterpret_cast<SetPasswordProc>(LookUp(ExportPrefix() + "SetDefaultPassword"));
  return set ? set(owner, password.c_str()) : -1;
}

int TYZ1Dll::PasswordDialog(void* owner, char* buffer, std::uint32_t length) {
  auto dialog = reinterpret_cast<PasswordDialogProc>(LookUp(ExportPrefix() + "PasswordDialog"));
  return dialog ? dialog(owner, buffer, length) : -1;
}

// ---- program-wide bindings ----

std::shared_ptr<TArchiverDll>& ArchiverDllSlot(const std::string& libraryName) {
  return Slots()[libraryName];
}

std::shared_ptr<TArchiverDll> LoadSharedArchiverDll(const std::string& description,
                                                    const std::string& libraryName,
                                                    const std::string& exportPrefix) {
  auto& slot = ArchiverDllSlot(libraryName);
  if (slot) return slot;
  slot = std::make_shared<TArchiverDll>(description, libraryName, exportPrefix);
  slot->Load();
  return slot;
}

void ReleaseArchiverDlls() {
  Slots().clear();
}

}  // namespace corvane
